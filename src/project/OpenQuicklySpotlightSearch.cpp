#include "project/OpenQuicklySpotlightSearch.h"

#include "document/MyDocumentPlaceholder.h"

#include <QFileInfo>
#include <QHash>

OpenQuicklySpotlightSearch::OpenQuicklySpotlightSearch(const QString& searchString)
    : m_query(SystemFileSearch::make()), m_searchString(searchString)
{
    connect(m_query.get(), &SystemFileSearch::resultsChanged, this, [this](const QStringList& paths) {
        if (m_running)
            updateResults(paths);
    });
    connect(m_query.get(), &SystemFileSearch::finished, this, [this] {
        if (m_running && m_delegate)
            m_delegate->searchComplete();
    });
}

OpenQuicklySpotlightSearch::~OpenQuicklySpotlightSearch()
{
    m_running = false;
    m_query->stop();
}

bool OpenQuicklySpotlightSearch::isAvailable() const
{
    return m_query->isAvailable();
}

void OpenQuicklySpotlightSearch::setSearchString(const QString& text)
{
    m_query->stop();
    m_running = false;
    m_searchString = text;
}

void OpenQuicklySpotlightSearch::start()
{
    m_running = true;
    m_query->start(m_searchString);
}

void OpenQuicklySpotlightSearch::stop()
{
    m_running = false;
    m_query->stop();
    setCurrentResults({});
}

void OpenQuicklySpotlightSearch::updateResults(const QStringList& paths)
{
    if (m_delegate)
        m_delegate->willUpdateSearchResults();
    QHash<QString, OpenQuicklyResultRef> old;
    for (const OpenQuicklyResultRef& result : currentResults())
        old.insert(result->fileName(), result);
    QHash<QString, QList<std::shared_ptr<DocumentContents>>> groups;
    QStringList order;
    for (const QString& path : paths) {
        const QString name = QFileInfo(path).fileName();
        if (!groups.contains(name))
            order << name;
        groups[name] << std::make_shared<MyDocumentPlaceholder>(path);
    }
    QList<OpenQuicklyResultRef> results;
    for (const QString& name : std::as_const(order)) {
        // The same object for a name already shown keeps its row selected.
        OpenQuicklyResultRef result = old.value(name);
        if (!result)
            result = std::make_shared<OpenQuicklyResult>(name);
        result->setDocuments(groups.value(name));
        results << result;
    }
    setCurrentResults(results);
    if (m_delegate)
        m_delegate->didUpdateSearchResults();
}
