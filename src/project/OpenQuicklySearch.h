#pragma once
// What the Open Quickly panel talks to: a search over some place that turns a
// typed text into rows of file names.

#include "project/OpenQuicklyResult.h"

#include <QList>
#include <QObject>
#include <QString>
#include <memory>

class OpenQuicklySearchDelegate {
public:
    virtual ~OpenQuicklySearchDelegate() = default;
    /// Before currentResults changes.
    virtual void willUpdateSearchResults() {}
    /// After currentResults changed.
    virtual void didUpdateSearchResults() {}
    /// No more changes are coming for the current text.
    virtual void searchComplete() {}
};

class OpenQuicklySearch : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;
    virtual void setSearchString(const QString& text) = 0;
    virtual void start() = 0;
    virtual void stop() = 0;
    OpenQuicklySearchDelegate* delegate() const { return m_delegate; }
    void setDelegate(OpenQuicklySearchDelegate* delegate) { m_delegate = delegate; }
    const QList<OpenQuicklyResultRef>& currentResults() const { return m_currentResults; }
    void setCurrentResults(QList<OpenQuicklyResultRef> results) { m_currentResults = std::move(results); }
    /// Whether this search looks through the open documents and projects.
    virtual bool isLocal() const = 0;

protected:
    OpenQuicklySearchDelegate* m_delegate = nullptr;
    QList<OpenQuicklyResultRef> m_currentResults;
};
