#include "project/OpenQuicklyLocalSearch.h"

#include "document/MyDocument.h"
#include "document/MyDocumentController.h"
#include "project/ProjectDocumentController.h"
#include "editor/FindParameters.h"
#include "editor/OGRegularExpression.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QPointer>
#include <QSet>
#include <algorithm>
#include <iterator>
#include <thread>
#include <utility>

namespace {
std::function<void()>& workerGate()
{
    static std::function<void()> gate;
    return gate;
}

bool isAscii(const QString& text)
{
    for (QChar c : text) {
        if (c.unicode() > 0x7f)
            return false;
    }
    return true;
}

// The file list's order: names ignoring case (ties in a fixed order).
bool comesBefore(const OpenQuicklyResultRef& a, const OpenQuicklyResultRef& b)
{
    const int order = a->fileName().compare(b->fileName(), Qt::CaseInsensitive);
    return order != 0 ? order < 0 : a->fileName() < b->fileName();
}

// A quick test that the pieces between the "*" of a typed text occur in a name
// in order (the first at the start unless the text starts with "*"). A name that
// fails cannot match the expression, so most names never reach it. Only plain
// ASCII is judged here; anything else goes to the expression.
class WildcardPrefilter {
public:
    explicit WildcardPrefilter(const QString& text)
        : m_anchored(!text.startsWith(QLatin1Char('*'))), m_usable(isAscii(text))
    {
        for (const QString& piece : text.split(QLatin1Char('*'))) {
            if (!piece.isEmpty())
                m_pieces << piece;
        }
        if (m_anchored && text.split(QLatin1Char('*')).constFirst().isEmpty())
            m_anchored = false;
    }
    bool mayMatch(const QString& name) const
    {
        if (!m_usable || !isAscii(name))
            return true;
        qsizetype from = 0;
        for (qsizetype i = 0; i < m_pieces.size(); ++i) {
            if (i == 0 && m_anchored) {
                if (!name.startsWith(m_pieces[i], Qt::CaseInsensitive))
                    return false;
                from = m_pieces[i].size();
                continue;
            }
            const qsizetype at = name.indexOf(m_pieces[i], from, Qt::CaseInsensitive);
            if (at < 0)
                return false;
            from = at + m_pieces[i].size();
        }
        return true;
    }

private:
    QStringList m_pieces;
    bool m_anchored;
    bool m_usable;
};
} // namespace

// The last rows made of the projects' files, with the listings they came from.
struct ProjectRowsCache {
    QMutex mutex;
    bool made = false;
    QList<std::pair<const void*, quint64>> key;
    QList<OpenQuicklyResultRef> rows;
};

ProjectRowsCache& projectRowsCache()
{
    static ProjectRowsCache cache;
    return cache;
}

struct OpenQuicklyLocalSearch::State {
    // What the candidates are made of, taken on the main thread.
    struct Open {
        std::shared_ptr<DocumentContents> document;
        QString name;
        QString path;
    };
    QList<Open> openDocuments;
    QList<ProjectFileIndex::Reader> projects;
    bool populated = false; // under allResultsLock

    QMutex allResultsLock;
    QMutex searchStringLock;
    QMutex updateResultsLock;
    QMutex searchTokenLock;
    QMutex performUpdateLock;

    QList<OpenQuicklyResultRef> allResults;
    QString searchString;
    // The running worker's list; removed rows are left as null until published.
    QList<OpenQuicklyResultRef> updateResults;
    // updateResults is the run's first rows (sorted, some removed), then the rows it
    // added (sorted, as allResults is): one merge gives the list in order.
    qsizetype initialCount = 0;
    QHash<QString, qsizetype> updateIndex;
    bool resultsNeedUpdate = false;
    std::shared_ptr<SearchToken> searchToken;

    // Builds allResults once (allResultsLock held): open documents first, then the
    // projects' files that are not open, grouped by name.
    void populateAllResultsLocked()
    {
        if (populated)
            return;
        populated = true;
        allResults = projectResults(projects);
        projects.clear();
        if (openDocuments.isEmpty())
            return;
        // The open documents join the rows of their names, in place of their files.
        QHash<QString, QList<OpenQuicklyResult::Entry>> openByName;
        QSet<QString> openPaths;
        for (const Open& open : std::as_const(openDocuments)) {
            if (!open.path.isEmpty())
                openPaths.insert(open.path);
            openByName[open.name].append(OpenQuicklyResult::Entry{open.document, open.path});
        }
        openDocuments.clear();
        auto joined = [&openPaths](const QString& name, QList<OpenQuicklyResult::Entry> entries,
                          const QList<OpenQuicklyResult::Entry>& files) {
            for (const OpenQuicklyResult::Entry& file : files) {
                if (!openPaths.contains(file.path))
                    entries.append(file);
            }
            std::stable_sort(entries.begin(), entries.end(), OpenQuicklyResult::compareEntriesForOpenQuickly);
            auto result = std::make_shared<OpenQuicklyResult>(name);
            result->setEntries(std::move(entries));
            return result;
        };
        for (OpenQuicklyResultRef& result : allResults) {
            auto open = openByName.find(result->fileName());
            if (open == openByName.end())
                continue;
            result = joined(result->fileName(), *open, result->entries());
            openByName.erase(open);
        }
        QList<OpenQuicklyResultRef> added;
        for (auto it = openByName.cbegin(); it != openByName.cend(); ++it)
            added << joined(it.key(), it.value(), {});
        std::sort(added.begin(), added.end(), comesBefore);
        QList<OpenQuicklyResultRef> merged;
        merged.reserve(allResults.size() + added.size());
        std::merge(allResults.cbegin(), allResults.cend(), added.cbegin(), added.cend(), std::back_inserter(merged), comesBefore);
        allResults = std::move(merged);
    }

    // The rows of the projects' files, in list order. Made again only when a listing
    // changed: a panel opened again soon finds them ready.
    static QList<OpenQuicklyResultRef> projectResults(const QList<ProjectFileIndex::Reader>& projects)
    {
        ProjectRowsCache& cache = projectRowsCache();
        auto versions = [&projects] {
            QList<std::pair<const void*, quint64>> key;
            for (const ProjectFileIndex::Reader& project : projects) {
                if (const auto version = project.listingVersion())
                    key << *version;
            }
            return key;
        };
        {
            const QList<std::pair<const void*, quint64>> key = versions();
            QMutexLocker lock(&cache.mutex);
            if (cache.made && cache.key == key && key.size() == projects.size())
                return cache.rows;
        }
        QList<std::shared_ptr<const QStringList>> lists;
        for (const ProjectFileIndex::Reader& project : projects)
            lists << project.files(); // waits for a first listing
        const QList<std::pair<const void*, quint64>> key = versions();
        QHash<QString, QList<OpenQuicklyResult::Entry>> byName;
        QSet<QString> seen;
        for (const std::shared_ptr<const QStringList>& files : std::as_const(lists)) {
            for (const QString& path : *files) {
                if (lists.size() > 1) {
                    if (seen.contains(path))
                        continue; // a project inside another lists it again
                    seen.insert(path);
                }
                byName[path.mid(path.lastIndexOf(QLatin1Char('/')) + 1)].append(OpenQuicklyResult::Entry{nullptr, path});
            }
        }
        QList<OpenQuicklyResultRef> rows;
        rows.reserve(byName.size());
        for (auto it = byName.begin(); it != byName.end(); ++it) {
            std::stable_sort(it->begin(), it->end(), OpenQuicklyResult::compareEntriesForOpenQuickly);
            auto result = std::make_shared<OpenQuicklyResult>(it.key());
            result->setEntries(std::move(*it));
            rows << result;
        }
        std::sort(rows.begin(), rows.end(), comesBefore);
        QMutexLocker lock(&cache.mutex);
        cache.key = key;
        cache.rows = rows;
        cache.made = true;
        return rows;
    }

    void resetUpdateResults(const QList<OpenQuicklyResultRef>& initial)
    {
        updateResults = initial;
        initialCount = initial.size();
        updateIndex.clear();
        for (qsizetype i = 0; i < updateResults.size(); ++i)
            updateIndex.insert(updateResults[i]->fileName(), i);
    }
};

OpenQuicklyLocalSearch::OpenQuicklyLocalSearch(const QString& searchString)
    : m_state(std::make_shared<State>())
{
    m_state->searchString = searchString;
    QList<std::shared_ptr<DocumentContents>> documents;
    QList<ProjectFileIndex::Reader> projects;
    if (MyDocumentController* controller = MyDocumentController::sharedDocumentController()) {
        documents = controller->allDocumentsAndPlaceholders();
        for (DocumentWindowController* window : controller->projectDocuments()) {
            if (auto* project = qobject_cast<ProjectDocumentController*>(window)) {
                project->fileIndex()->prepare();
                projects << project->fileIndex()->reader();
            }
        }
    }
    setCandidates(documents, projects);
}

OpenQuicklyLocalSearch::OpenQuicklyLocalSearch(const QList<std::shared_ptr<DocumentContents>>& candidates,
    const QString& searchString, const QList<ProjectFileIndex::Reader>& projects)
    : m_state(std::make_shared<State>())
{
    m_state->searchString = searchString;
    setCandidates(candidates, projects);
}

void OpenQuicklyLocalSearch::releaseCachedRows()
{
    QList<OpenQuicklyResultRef> rows;
    {
        ProjectRowsCache& cache = projectRowsCache();
        QMutexLocker lock(&cache.mutex);
        rows = std::exchange(cache.rows, {});
        cache.key.clear();
        cache.made = false;
    }
    // Many rows take a while to free: not on the main thread.
    std::thread([rows = std::move(rows)] {}).detach();
}

OpenQuicklyLocalSearch::~OpenQuicklyLocalSearch()
{
    stop();
    // The candidates of a large project take a while to free: not on the main thread.
    std::thread([state = std::move(m_state)] {}).detach();
}

void OpenQuicklyLocalSearch::setWorkerGateForTesting(std::function<void()> gate)
{
    workerGate() = std::move(gate);
}

void OpenQuicklyLocalSearch::setCandidates(const QList<std::shared_ptr<DocumentContents>>& candidates,
    const QList<ProjectFileIndex::Reader>& projects)
{
    // Names and paths are read here, where the documents live; the rest is made on a
    // worker, which the first run waits for.
    for (const std::shared_ptr<DocumentContents>& document : candidates) {
        if (!document)
            continue;
        const QUrl url = document->fileURL();
        const QString path = url.isLocalFile() ? url.toLocalFile() : QString();
        const QString name = url.isEmpty() ? document->displayName() : QFileInfo(url.path()).fileName();
        m_state->openDocuments.append(State::Open{document, name, path});
    }
    m_state->projects = projects;
    std::thread([state = m_state] {
        QMutexLocker lock(&state->allResultsLock);
        state->populateAllResultsLocked();
    }).detach();
}

qsizetype OpenQuicklyLocalSearch::candidateCount() const
{
    QMutexLocker lock(&m_state->allResultsLock);
    m_state->populateAllResultsLocked();
    return m_state->allResults.size();
}

QString OpenQuicklyLocalSearch::patternForSearchString(const QString& text)
{
    return QStringLiteral("\\A(%1)\\z").arg(FindParameters::getRegexForSearchString(text, 1, false));
}

std::shared_ptr<SearchToken> OpenQuicklyLocalSearch::searchToken() const
{
    QMutexLocker lock(&m_state->searchTokenLock);
    return m_state->searchToken;
}

void OpenQuicklyLocalSearch::setSearchToken(std::shared_ptr<SearchToken> token)
{
    QMutexLocker lock(&m_state->searchTokenLock);
    m_state->searchToken = std::move(token);
}

void OpenQuicklyLocalSearch::setSearchString(const QString& text)
{
    {
        QMutexLocker lock(&m_state->searchStringLock);
        if (m_state->searchString != text)
            m_state->searchString = text;
    }
    stop();
    start();
}

void OpenQuicklyLocalSearch::start()
{
    if (m_isSearching)
        return;
    m_isSearching = true;
    QString text;
    {
        QMutexLocker lock(&m_state->searchStringLock);
        text = m_state->searchString;
    }
    auto token = std::make_shared<SearchToken>(text, m_currentResults);
    setSearchToken(token);
    std::thread(performUpdate, m_state, token, QPointer<OpenQuicklyLocalSearch>(this)).detach();
}

void OpenQuicklyLocalSearch::stop()
{
    if (!m_isSearching)
        return;
    m_isSearching = false;
    QMutexLocker lock(&m_state->searchTokenLock);
    if (m_state->searchToken)
        m_state->searchToken->stop();
}

void OpenQuicklyLocalSearch::performUpdate(std::shared_ptr<State> state, std::shared_ptr<SearchToken> token,
                                           QPointer<OpenQuicklyLocalSearch> owner)
{
    // The owner is only used for queued calls that run on the main thread, where it is checked.
    QMutexLocker runLock(&state->performUpdateLock);
    bool stopped = false;
    {
        // Waiting workers do not get the lock in the order they asked: a run that
        // was overtaken by a newer one must leave the newer one's list alone.
        QMutexLocker lock(&state->searchTokenLock);
        stopped = token->isStopped();
    }
    if (!stopped) {
        QMutexLocker lock(&state->updateResultsLock);
        state->resetUpdateResults(token->initialResults());
    }
    const std::optional<OGRegularExpression> expression = OGRegularExpression::regularExpressionWithString(
        patternForSearchString(token->searchString()), OgreIgnoreCaseOption);
    {
        QMutexLocker allLock(&state->allResultsLock);
        state->populateAllResultsLocked();
        if (expression && !stopped) {
            const WildcardPrefilter prefilter(token->searchString());
            for (const OpenQuicklyResultRef& candidate : std::as_const(state->allResults)) {
                if (workerGate())
                    workerGate()();
                {
                    QMutexLocker lock(&state->searchTokenLock);
                    if (token->isStopped())
                        break;
                }
                const bool matches = prefilter.mayMatch(candidate->fileName())
                    && expression->matchInString(candidate->fileName()).has_value();
                QMutexLocker lock(&state->updateResultsLock);
                auto known = state->updateIndex.constFind(candidate->fileName());
                const bool listed = known != state->updateIndex.constEnd();
                bool changed = false;
                if (matches && !listed) {
                    state->updateIndex.insert(candidate->fileName(), state->updateResults.size());
                    state->updateResults << candidate;
                    changed = true;
                } else if (!matches && listed) {
                    state->updateResults[*known] = nullptr;
                    state->updateIndex.erase(known);
                    changed = true;
                }
                if (changed && !state->resultsNeedUpdate) {
                    state->resultsNeedUpdate = true;
                    QMetaObject::invokeMethod(qApp, [owner] {
                        if (owner)
                            owner->updateCurrentResults();
                    }, Qt::QueuedConnection);
                }
            }
        }
    }
    runLock.unlock();
    {
        QMutexLocker lock(&state->searchTokenLock);
        token->stop();
    }
    QMetaObject::invokeMethod(qApp, [owner] {
        if (owner)
            owner->checkForSearchComplete();
    }, Qt::QueuedConnection);
}

void OpenQuicklyLocalSearch::updateCurrentResults()
{
    if (m_delegate)
        m_delegate->willUpdateSearchResults();
    QList<OpenQuicklyResultRef> published;
    {
        QMutexLocker lock(&m_state->updateResultsLock);
        m_state->resultsNeedUpdate = false;
        const QList<OpenQuicklyResultRef>& rows = m_state->updateResults;
        published.reserve(rows.size());
        const qsizetype split = qMin(m_state->initialCount, rows.size());
        qsizetype i = 0;
        qsizetype j = split;
        while (i < split || j < rows.size()) {
            if (i < split && !rows[i]) {
                ++i;
            } else if (j < rows.size() && !rows[j]) {
                ++j;
            } else if (j >= rows.size() || (i < split && !comesBefore(rows[j], rows[i]))) {
                published << rows[i++];
            } else {
                published << rows[j++];
            }
        }
    }
    setCurrentResults(published);
    if (m_delegate)
        m_delegate->didUpdateSearchResults();
}

void OpenQuicklyLocalSearch::checkForSearchComplete()
{
    {
        QMutexLocker lock(&m_state->searchTokenLock);
        if (m_state->searchToken && !m_state->searchToken->isStopped())
            return; // a newer run is still going
    }
    if (m_delegate)
        m_delegate->searchComplete();
}

QStringList OpenQuicklyLocalSearch::matchingFileNames(const QString& text) const
{
    QStringList names;
    const std::optional<OGRegularExpression> expression = OGRegularExpression::regularExpressionWithString(
        patternForSearchString(text), OgreIgnoreCaseOption);
    if (!expression)
        return names;
    const WildcardPrefilter prefilter(text);
    QMutexLocker lock(&m_state->allResultsLock);
    m_state->populateAllResultsLocked();
    for (const OpenQuicklyResultRef& candidate : std::as_const(m_state->allResults)) {
        if (prefilter.mayMatch(candidate->fileName()) && expression->matchInString(candidate->fileName()))
            names << candidate->fileName();
    }
    return names;
}
