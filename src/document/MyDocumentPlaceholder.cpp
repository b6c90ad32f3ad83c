#include "document/MyDocumentPlaceholder.h"

#include "document/KELFilePrefsManager.h"
#include "support/UtilityFunctions.h"

#include <QHashFunctions>

MyDocumentPlaceholder::MyDocumentPlaceholder(const std::optional<QString>& fileName) : m_fileName(fileName)
{
    // Reads go through the per-file encodings even before any document opened.
    static const bool lookupInstalled = [] {
        KELFilePrefsManager::installFileEncodingLookup();
        return true;
    }();
    Q_UNUSED(lookupInstalled);
}

QUrl MyDocumentPlaceholder::fileURL() const
{
    if (!m_fileName || m_fileName->isEmpty())
        return QUrl();
    return QUrl::fromLocalFile(*m_fileName);
}

std::optional<QString> MyDocumentPlaceholder::docContents()
{
    const QUrl url = fileURL();
    if (url.isEmpty())
        return std::nullopt;
    kit::StringEncoding used = m_encoding;
    std::optional<QString> text = UtilityFunctions::stringContentsForURL(url, &used, nullptr);
    if (text)
        m_encoding = used;
    return text;
}

kit::StringEncoding MyDocumentPlaceholder::encoding()
{
    if (m_encoding == 0)
        docContents();
    return m_encoding;
}

bool MyDocumentPlaceholder::isEqualToContents(const DocumentContents& other) const
{
    const auto* placeholder = dynamic_cast<const MyDocumentPlaceholder*>(&other);
    if (!placeholder)
        return false;
    if (placeholder == this)
        return true;
    return !fileURL().isEmpty() && fileURL() == placeholder->fileURL();
}

size_t MyDocumentPlaceholder::contentsHash() const
{
    const QUrl url = fileURL();
    return url.isEmpty() ? DocumentContents::contentsHash() : size_t(qHash(url));
}
