#include "components/KELComponentSearchIndex.h"

#include "components/KELComponentManager.h"
#include "kit/Log.h"
#include "kit/NotificationCenter.h"

#include <QCoreApplication>
#include <QThreadPool>
#include <sqlite3.h>
#include <vector>

QString KELComponentSearchToken::searchQuery() const
{
    std::lock_guard lock(m_tokenLock);
    return m_searchQuery;
}

void KELComponentSearchToken::setSearchQuery(const QString& query)
{
    std::lock_guard lock(m_tokenLock);
    m_searchQuery = query;
}

QList<std::shared_ptr<KELComponent>> KELComponentSearchToken::searchResults() const
{
    std::lock_guard lock(m_tokenLock);
    return m_searchResults;
}

void KELComponentSearchToken::setSearchResults(QList<std::shared_ptr<KELComponent>> results)
{
    std::lock_guard lock(m_tokenLock);
    m_searchResults.swap(results);
}

// What the workers share with the index; they hold it, so it outlives a late worker.
struct KELComponentSearchIndex::State {
    sqlite3* db = nullptr;
    QList<std::shared_ptr<KELComponent>> components;
    // Pairs storing results and deciding to queue a delivery (workers) with
    // clearing the flag before posting (main thread).
    std::mutex notificationLock;
    std::mutex hookLock;
    std::function<void()> roundHook;
    std::atomic<bool> stopped {false};
    std::atomic<int> running {0};
    std::mutex tokensLock;
    std::vector<std::weak_ptr<KELComponentSearchToken>> tokens;

    ~State()
    {
        if (db)
            sqlite3_close(db);
    }
};

namespace {
KELComponentSearchIndex*& sharedIndex()
{
    static KELComponentSearchIndex* index = nullptr;
    return index;
}
} // namespace

KELComponentSearchIndex& KELComponentSearchIndex::sharedInstance()
{
    static KELComponentSearchIndex index(KELComponentManager::sharedInstance().components());
    sharedIndex() = &index;
    return index;
}

void KELComponentSearchIndex::stopSharedInstance()
{
    if (sharedIndex())
        sharedIndex()->stop();
}

KELComponentSearchIndex::KELComponentSearchIndex(QList<std::shared_ptr<KELComponent>> components)
    : m_state(std::make_shared<State>()), m_pool(std::make_unique<QThreadPool>())
{
    m_pool->setMaxThreadCount(4);
    m_state->components = std::move(components);
    // Searches read the one connection from several workers: let SQLite serialise them.
    if (sqlite3_open_v2(":memory:", &m_state->db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_FULLMUTEX,
                        nullptr) != SQLITE_OK
        || sqlite3_exec(m_state->db,
                        "CREATE VIRTUAL TABLE components USING fts5(path UNINDEXED, body, "
                        "tokenize='unicode61 remove_diacritics 2')",
                        nullptr, nullptr, nullptr) != SQLITE_OK) {
        kit::log(QStringLiteral("Component search index could not be made: %1")
                     .arg(QString::fromUtf8(m_state->db ? sqlite3_errmsg(m_state->db) : "out of memory")));
        return;
    }
    sqlite3_stmt* insert = nullptr;
    sqlite3_prepare_v2(m_state->db, "INSERT INTO components(rowid, path, body) VALUES (?1, ?2, ?3)", -1, &insert, nullptr);
    sqlite3_exec(m_state->db, "BEGIN", nullptr, nullptr, nullptr);
    for (qsizetype i = 0; i < m_state->components.size(); ++i) {
        const KELComponent& component = *m_state->components.at(i);
        const QByteArray path = component.path().toUtf8();
        const QByteArray body = component.searchIndexString().toUtf8();
        // The row id is the catalogue index, so a match maps straight back to its component.
        sqlite3_bind_int64(insert, 1, i + 1);
        sqlite3_bind_text(insert, 2, path.constData(), int(path.size()), SQLITE_TRANSIENT);
        sqlite3_bind_text(insert, 3, body.constData(), int(body.size()), SQLITE_TRANSIENT);
        if (sqlite3_step(insert) != SQLITE_DONE)
            kit::log(QStringLiteral("Failed to add component %1").arg(component.path()));
        sqlite3_reset(insert);
    }
    sqlite3_exec(m_state->db, "COMMIT", nullptr, nullptr, nullptr);
    sqlite3_finalize(insert);
}

KELComponentSearchIndex::~KELComponentSearchIndex()
{
    stop();
    if (sharedIndex() == this)
        sharedIndex() = nullptr;
}

void KELComponentSearchIndex::setRoundHook(std::function<void()> hook)
{
    std::lock_guard lock(m_state->hookLock);
    m_state->roundHook = std::move(hook);
}

int KELComponentSearchIndex::runningSearches() const
{
    return m_state->running.load();
}

QString KELComponentSearchIndex::normalizeQuery(const QString& query)
{
    QStringList terms;
    QString piece;
    auto flush = [&] {
        // An empty piece would make a bare "*", which the index rejects.
        if (!piece.isEmpty())
            terms << QLatin1Char('"') + piece + QStringLiteral("\"*");
        piece.clear();
    };
    for (qsizetype i = 0; i < query.size(); ++i) {
        const QChar c = query.at(i);
        if (c.isHighSurrogate() && i + 1 < query.size() && query.at(i + 1).isLowSurrogate()) {
            const char32_t code = QChar::surrogateToUcs4(c, query.at(i + 1));
            if (QChar::isLetterOrNumber(code)) {
                piece += c;
                piece += query.at(++i);
                continue;
            }
            ++i;
            flush();
            continue;
        }
        if (c.isLetterOrNumber())
            piece += c;
        else
            flush();
    }
    flush();
    // Quoted, so words such as OR, NOT or NEAR are looked up, not read as operators.
    return terms.join(QLatin1Char(' '));
}

void KELComponentSearchIndex::performSearch(const std::shared_ptr<KELComponentSearchToken>& token)
{
    if (!token || m_state->stopped.load())
        return;
    {
        std::lock_guard lock(m_state->tokensLock);
        std::erase_if(m_state->tokens, [](const auto& weak) { return weak.expired(); });
        m_state->tokens.push_back(token);
    }
    m_state->running.fetch_add(1);
    std::shared_ptr<State> state = m_state;
    m_pool->start([state, token] {
        searchIndex(state, token);
        state->running.fetch_sub(1);
    });
}

void KELComponentSearchIndex::stop()
{
    m_state->stopped.store(true);
    {
        std::lock_guard lock(m_state->tokensLock);
        for (const auto& weak : m_state->tokens)
            if (auto token = weak.lock())
                token->setCancelled(true);
        m_state->tokens.clear();
    }
    m_pool->waitForDone();
}

void KELComponentSearchIndex::searchIndex(const std::shared_ptr<State>& state,
                                          const std::shared_ptr<KELComponentSearchToken>& token)
{
    const QByteArray query = normalizeQuery(token->searchQuery()).toUtf8();
    sqlite3_stmt* statement = nullptr;
    // A query without words finds nothing; it still completes with one (empty) update.
    if (!query.isEmpty() && state->db) {
        if (sqlite3_prepare_v2(state->db, "SELECT rowid FROM components WHERE components MATCH ?1", -1, &statement,
                               nullptr) != SQLITE_OK) {
            kit::log(QStringLiteral("Component search failed: %1").arg(QString::fromUtf8(sqlite3_errmsg(state->db))));
            statement = nullptr;
        } else {
            sqlite3_bind_text(statement, 1, query.constData(), int(query.size()), SQLITE_TRANSIENT);
        }
    }
    QList<std::shared_ptr<KELComponent>> found;
    while (!token->cancelled()) {
        int round = 0;
        bool exhausted = !statement;
        while (!exhausted && round < RoundSize) {
            const int rc = sqlite3_step(statement);
            if (rc != SQLITE_ROW) {
                if (rc != SQLITE_DONE)
                    kit::log(QStringLiteral("Component search failed: %1")
                                 .arg(QString::fromUtf8(sqlite3_errmsg(state->db))));
                exhausted = true;
                break;
            }
            ++round;
            const sqlite3_int64 row = sqlite3_column_int64(statement, 0);
            if (row >= 1 && row <= state->components.size())
                found << state->components.at(row - 1);
        }
        if (round > 0 || exhausted) {
            std::lock_guard lock(state->notificationLock);
            token->setSearchResults(found);
            token->setSearchComplete(exhausted);
            if (!token->awaitingNotification()) {
                token->setAwaitingNotification(true);
                if (QCoreApplication* app = QCoreApplication::instance())
                    QMetaObject::invokeMethod(app, [state, token] { sendSearchResultNotification(state, token); },
                                              Qt::QueuedConnection);
            }
        }
        std::function<void()> hook;
        {
            std::lock_guard lock(state->hookLock);
            hook = state->roundHook;
        }
        if (hook)
            hook();
        if (exhausted)
            break;
    }
    if (statement)
        sqlite3_finalize(statement);
}

void KELComponentSearchIndex::sendSearchResultNotification(const std::shared_ptr<State>& state,
                                                           const std::shared_ptr<KELComponentSearchToken>& token)
{
    {
        std::lock_guard lock(state->notificationLock);
        token->setAwaitingNotification(false);
    }
    // Once cleared, a worker's next store queues another delivery, so the newest
    // results always follow. A cancelled token has nobody left to tell.
    if (!token->cancelled())
        kit::NotificationCenter::defaultCenter().post(KELComponentSearchResultsUpdatedNotification, token.get());
}
