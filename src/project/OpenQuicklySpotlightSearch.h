#pragma once
// The Open Quickly search through the whole computer's file names, grouped by
// name, behind the system file search.

#include "project/OpenQuicklySearch.h"
#include "project/SystemFileSearch.h"

#include <memory>

class OpenQuicklySpotlightSearch : public OpenQuicklySearch {
    Q_OBJECT
public:
    explicit OpenQuicklySpotlightSearch(const QString& searchString = QString());
    ~OpenQuicklySpotlightSearch() override;

    void setSearchString(const QString& text) override;
    void start() override;
    /// Stops the query and empties the list.
    void stop() override;
    bool isLocal() const override { return false; }
    bool isAvailable() const;

    /// The found paths become rows, keeping the rows of names still found.
    void updateResults(const QStringList& paths);

private:
    std::unique_ptr<SystemFileSearch> m_query;
    QString m_searchString;
    bool m_running = false;
};
