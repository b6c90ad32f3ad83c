#pragma once
// Word search over the catalogue: an in-memory full-text index built once, and
// searches that run on worker threads and hand growing result lists back to the
// main thread through their token and a notification.

#include "components/KELComponent.h"

#include <QList>
#include <QString>
#include <atomic>
#include <functional>
#include <memory>
#include <mutex>

class KELComponentManager;
class QThreadPool;

/// Posted on the main thread; the object is the token (KELComponentSearchToken*).
inline const QString KELComponentSearchResultsUpdatedNotification =
    QStringLiteral("KELComponentSearchResultsUpdatedNotification");

/// One search request. The worker holds it too, so it may outlive the window's interest in it.
class KELComponentSearchToken {
public:
    explicit KELComponentSearchToken(QString query) : m_searchQuery(std::move(query)) { }

    QString searchQuery() const;
    void setSearchQuery(const QString& query);
    /// The matches found so far, in the order the index returned them.
    QList<std::shared_ptr<KELComponent>> searchResults() const;
    void setSearchResults(QList<std::shared_ptr<KELComponent>> results);

    bool cancelled() const { return m_cancelled.load(); }
    void setCancelled(bool cancelled) { m_cancelled.store(cancelled); }
    bool awaitingNotification() const { return m_awaitingNotification.load(); }
    void setAwaitingNotification(bool awaiting) { m_awaitingNotification.store(awaiting); }
    bool searchComplete() const { return m_searchComplete.load(); }
    void setSearchComplete(bool complete) { m_searchComplete.store(complete); }

private:
    mutable std::mutex m_tokenLock;
    QString m_searchQuery;
    QList<std::shared_ptr<KELComponent>> m_searchResults;
    // Written by the worker, read by the main thread: atomics, not plain flags.
    std::atomic<bool> m_cancelled {false};
    std::atomic<bool> m_awaitingNotification {false};
    std::atomic<bool> m_searchComplete {false};
};

class KELComponentSearchIndex {
public:
    /// The index of the shared catalogue, built on first use.
    static KELComponentSearchIndex& sharedInstance();
    /// Stops the shared index's searches, if it was ever made (at quit).
    static void stopSharedInstance();

    /// Indexes the components (name, group and description).
    explicit KELComponentSearchIndex(QList<std::shared_ptr<KELComponent>> components);
    ~KELComponentSearchIndex();
    KELComponentSearchIndex(const KELComponentSearchIndex&) = delete;
    KELComponentSearchIndex& operator=(const KELComponentSearchIndex&) = delete;

    /// Starts the token's search on a worker; results arrive by notification.
    /// After stop() nothing starts.
    void performSearch(const std::shared_ptr<KELComponentSearchToken>& token);
    /// Cancels every running search and waits for the workers to end.
    void stop();
    /// Searches whose worker is still running.
    int runningSearches() const;

    /// Every word of the query as a quoted prefix term ("menu"* "bar"*); words are
    /// the runs of letters and digits, so punctuation never reaches the index's
    /// query syntax. Empty when the query has no word.
    static QString normalizeQuery(const QString& query);

    /// Called on the worker after each round of matches; lets a caller pace searches.
    void setRoundHook(std::function<void()> hook);

    /// Most matches handed over per round.
    static constexpr int RoundSize = 50;

private:
    struct State;
    static void searchIndex(const std::shared_ptr<State>& state, const std::shared_ptr<KELComponentSearchToken>& token);
    static void sendSearchResultNotification(const std::shared_ptr<State>& state,
                                             const std::shared_ptr<KELComponentSearchToken>& token);

    std::shared_ptr<State> m_state;
    std::unique_ptr<QThreadPool> m_pool;
};
