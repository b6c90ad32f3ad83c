#pragma once
// The Open Quickly search through the open documents and the files of the open
// projects. The candidates are gathered on a worker (the projects' files come from
// their file indexes), so the panel shows at once; matching runs on a worker thread,
// one run at a time; a new text stops the running one, and results reach the panel
// on the main thread in batches, as often as it gets to them.

#include "project/OpenQuicklySearch.h"
#include "project/ProjectFileIndex.h"
#include "project/SearchToken.h"

#include <QHash>
#include <QMutex>
#include <QPointer>
#include <atomic>
#include <memory>

class OpenQuicklyLocalSearch : public OpenQuicklySearch {
    Q_OBJECT
public:
    /// Gathers the candidates from the documents and projects open now.
    explicit OpenQuicklyLocalSearch(const QString& searchString = QString());
    /// Over the given documents and the files of the given projects.
    OpenQuicklyLocalSearch(const QList<std::shared_ptr<DocumentContents>>& candidates, const QString& searchString,
        const QList<ProjectFileIndex::Reader>& projects = {});
    ~OpenQuicklyLocalSearch() override;

    void setSearchString(const QString& text) override;
    void start() override;
    void stop() override;
    bool isLocal() const override { return true; }
    bool isSearching() const { return m_isSearching; }
    std::shared_ptr<SearchToken> searchToken() const;
    void setSearchToken(std::shared_ptr<SearchToken> token);
    /// The number of file names (waits for the candidates: tests, benchmarks).
    qsizetype candidateCount() const;

    /// The pattern of a typed text: "*" matches any run, everything else itself,
    /// the whole name must match, case is ignored.
    static QString patternForSearchString(const QString& text);
    /// Matches the candidates on the calling thread (tests, benchmarks): the matching names.
    QStringList matchingFileNames(const QString& text) const;

    /// The rows made of the projects' files are kept for the next search while the
    /// projects' listings stay the same; this lets them go.
    static void releaseCachedRows();

    /// Tests: a hook the worker calls before each candidate.
    static void setWorkerGateForTesting(std::function<void()> gate);

private:
    struct State;
    void setCandidates(const QList<std::shared_ptr<DocumentContents>>& candidates, const QList<ProjectFileIndex::Reader>& projects);
    static void performUpdate(std::shared_ptr<State> state, std::shared_ptr<SearchToken> token, QPointer<OpenQuicklyLocalSearch> owner);
    void updateCurrentResults();
    void checkForSearchComplete();

    std::shared_ptr<State> m_state;
    bool m_isSearching = false;
};
