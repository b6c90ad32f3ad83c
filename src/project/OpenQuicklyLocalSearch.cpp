#include "project/OpenQuicklyLocalSearch.h"

#include "document/MyDocument.h"
#include "document/MyDocumentController.h"
#include "editor/FindParameters.h"
#include "editor/OGRegularExpression.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QPointer>
#include <algorithm>
#include <thread>

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

struct OpenQuicklyLocalSearch::State {
    QMutex allResultsLock;
    QMutex searchStringLock;
    QMutex updateResultsLock;
    QMutex searchTokenLock;
    QMutex performUpdateLock;

    QList<OpenQuicklyResultRef> allResults;
    QString searchString;
    // The running worker's list; removed rows are left as null until published.
    QList<OpenQuicklyResultRef> updateResults;
    QHash<QString, qsizetype> updateIndex;
    bool resultsNeedUpdate = false;
    std::shared_ptr<SearchToken> searchToken;

    void resetUpdateResults(const QList<OpenQuicklyResultRef>& initial)
    {
        updateResults = initial;
        updateIndex.clear();
        for (qsizetype i = 0; i < updateResults.size(); ++i)
            updateIndex.insert(updateResults[i]->fileName(), i);
    }
};

OpenQuicklyLocalSearch::OpenQuicklyLocalSearch(const QString& searchString)
    : m_state(std::make_shared<State>())
{
    m_state->searchString = searchString;
    MyDocumentController* controller = MyDocumentController::sharedDocumentController();
    populateAllResults(controller ? controller->allDocumentsAndPlaceholders() : QList<std::shared_ptr<DocumentContents>>());
}

OpenQuicklyLocalSearch::OpenQuicklyLocalSearch(const QList<std::shared_ptr<DocumentContents>>& candidates, const QString& searchString)
    : m_state(std::make_shared<State>())
{
    m_state->searchString = searchString;
    populateAllResults(candidates);
}

OpenQuicklyLocalSearch::~OpenQuicklyLocalSearch()
{
    stop();
}

void OpenQuicklyLocalSearch::setWorkerGateForTesting(std::function<void()> gate)
{
    workerGate() = std::move(gate);
}

void OpenQuicklyLocalSearch::populateAllResults(const QList<std::shared_ptr<DocumentContents>>& candidates)
{
    QMutexLocker lock(&m_state->allResultsLock);
    QHash<QString, QList<std::shared_ptr<DocumentContents>>> byName;
    QStringList order;
    for (const std::shared_ptr<DocumentContents>& document : candidates) {
        if (!document)
            continue;
        const QUrl url = document->fileURL();
        const QString name = url.isEmpty() ? document->displayName() : QFileInfo(url.path()).fileName();
        auto it = byName.find(name);
        if (it == byName.end()) {
            order << name;
            it = byName.insert(name, {});
        }
        it->append(document);
    }
    m_state->allResults.clear();
    m_state->allResults.reserve(order.size());
    for (const QString& name : std::as_const(order)) {
        QList<std::shared_ptr<DocumentContents>> documents = byName.value(name);
        std::stable_sort(documents.begin(), documents.end(), [](const auto& a, const auto& b) {
            return OpenQuicklyResult::compareDocumentsForOpenQuickly(*a, *b);
        });
        auto result = std::make_shared<OpenQuicklyResult>(name);
        result->setDocuments(documents);
        m_state->allResults << result;
    }
}

qsizetype OpenQuicklyLocalSearch::candidateCount() const
{
    QMutexLocker lock(&m_state->allResultsLock);
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
        published.reserve(m_state->updateResults.size());
        for (const OpenQuicklyResultRef& result : std::as_const(m_state->updateResults)) {
            if (result)
                published << result;
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
    for (const OpenQuicklyResultRef& candidate : std::as_const(m_state->allResults)) {
        if (prefilter.mayMatch(candidate->fileName()) && expression->matchInString(candidate->fileName()))
            names << candidate->fileName();
    }
    return names;
}
