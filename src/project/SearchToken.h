#pragma once
// One run of the local Open Quickly search: its text, the rows shown when it
// started, and whether it was stopped (once stopped, it stays stopped).

#include "project/OpenQuicklyResult.h"

#include <QList>
#include <QString>

class SearchToken {
public:
    SearchToken(QString searchString, QList<OpenQuicklyResultRef> initialResults)
        : m_searchString(std::move(searchString)), m_initialResults(std::move(initialResults))
    {
    }
    const QString& searchString() const { return m_searchString; }
    const QList<OpenQuicklyResultRef>& initialResults() const { return m_initialResults; }
    // Read and written under the search's token lock.
    bool isStopped() const { return m_isStopped; }
    void stop() { m_isStopped = true; }

private:
    QString m_searchString;
    QList<OpenQuicklyResultRef> m_initialResults;
    bool m_isStopped = false;
};
