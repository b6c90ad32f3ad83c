#include "project/OpenQuicklyResult.h"

#include "document/MyDocumentPlaceholder.h"

const QList<std::shared_ptr<DocumentContents>>& OpenQuicklyResult::documents() const
{
    if (!m_made) {
        m_documents.reserve(m_entries.size());
        for (const Entry& entry : m_entries)
            m_documents << (entry.document ? entry.document : std::make_shared<MyDocumentPlaceholder>(entry.path));
        m_made = true;
    }
    return m_documents;
}

void OpenQuicklyResult::setDocuments(QList<std::shared_ptr<DocumentContents>> documents)
{
    m_entries.clear();
    m_documents = std::move(documents);
    m_made = true;
}

void OpenQuicklyResult::setEntries(QList<Entry> entries)
{
    m_entries = std::move(entries);
    m_documents.clear();
    m_made = false;
}

bool OpenQuicklyResult::compareDocumentsForOpenQuickly(const DocumentContents& a, const DocumentContents& b)
{
    const QUrl urlA = a.fileURL();
    const QUrl urlB = b.fileURL();
    const bool hasA = !urlA.isEmpty();
    const bool hasB = !urlB.isEmpty();
    if (hasA && hasB)
        return urlA.path().compare(urlB.path(), Qt::CaseInsensitive) < 0;
    if (!hasA && !hasB)
        return a.displayName().compare(b.displayName(), Qt::CaseInsensitive) < 0;
    return !hasA;
}

bool OpenQuicklyResult::compareEntriesForOpenQuickly(const Entry& a, const Entry& b)
{
    const bool hasA = !a.path.isEmpty();
    const bool hasB = !b.path.isEmpty();
    if (hasA && hasB)
        return a.path.compare(b.path, Qt::CaseInsensitive) < 0;
    // Unsaved documents of one row share their name: they keep the order met.
    return !hasA && hasB;
}
