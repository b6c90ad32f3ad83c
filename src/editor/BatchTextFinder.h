#pragma once
// The Batch Find window: searches every open document and the files of open projects at
// once (files read from disk when they are not open), lists the matches per file, opens a
// picked match, and replaces all or the selected matches.
//
// The search runs on a worker thread that holds shared ownership of the request and its
// sources; each text is fetched on the main thread, and every result comes back by a
// queued call. The worker and the window share only the atomic "finding" flag of the job.

#include "editor/FindParameters.h"
#include "kit/Types.h"

#include <QObject>
#include <QPointer>
#include <QSet>
#include <atomic>
#include <functional>
#include <memory>

class DocumentContents;
class QComboBox;
class QCheckBox;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QTreeWidget;
class QTreeWidgetItem;
class QWidget;

/// One row of the results: a file (no parent) or a match in it.
class BatchTextOutlineViewItem
{
public:
    BatchTextOutlineViewItem* parent = nullptr;
    QList<std::shared_ptr<BatchTextOutlineViewItem>> containedItemsArray;
    QString title;
    /// Where the match is marked in the title (NotFound: not marked).
    kit::Range titleMark {kit::NotFound, 0};
    std::shared_ptr<DocumentContents> document;
    /// The open document among the sources (main thread only): watched, so a closed
    /// document is never read.
    QPointer<QObject> openDocument;
    bool wasOpenDocument = false;
    /// The text the matches were found in (file items).
    std::shared_ptr<const QString> searchedText;
    kit::Range matchRange;

    qsizetype containedItemsCount() const { return containedItemsArray.size(); }
    QString generateFileNameTitle() const;
};

/// The 10 most recent distinct search texts, latest first, kept in the defaults.
class BatchTextFinderHistory
{
public:
    BatchTextFinderHistory();
    const QStringList& historyItems() const { return m_items; }
    void addHistoryItem(const QString& item);
    void setHistoryItems(const QStringList& items);

private:
    void trimHistoryItems();
    QStringList m_items;
};

class BatchTextFinder : public QObject
{
    Q_OBJECT
public:
    static BatchTextFinder& shared();
    ~BatchTextFinder() override;

    QWidget* window();
    void showWindow();

    // --- Widgets (created with the window).
    QComboBox* findComboBox() { window(); return m_findCombo; }
    QLineEdit* replaceField() { window(); return m_replaceField; }
    QLineEdit* fileField() { window(); return m_fileField; }
    QCheckBox* ignoreCaseButton() { window(); return m_ignoreCase; }
    QLabel* findStatusField() { window(); return m_status; }
    QProgressBar* progressIndicator() { window(); return m_progress; }
    QTreeWidget* searchResultsOutlineView() { window(); return m_outline; }

    // --- Commands.
    /// Starts a search; false when the text is empty or a pattern is invalid.
    bool find();
    void cancel();
    bool isFinding() const;
    void replaceAll();
    void replaceSelected();
    /// Replaces the given match items; answers the number replaced. Items whose text
    /// changed since the search are skipped and counted in skipped.
    qsizetype doReplaceForItems(const QList<BatchTextOutlineViewItem*>& items, qsizetype* skipped = nullptr);
    /// Searches again the files whose text changed since they were searched, and drops
    /// closed documents.
    void updateFindResults();
    void resetValues();

    const QList<std::shared_ptr<BatchTextOutlineViewItem>>& outlineViewItemsArray() const { return m_shownItems; }
    qsizetype numberOfResults() const;
    const BatchTextFinderHistory& history() const { return m_history; }

    /// The sources a search starts from: open documents and not-yet-loaded tabs, then the
    /// files of open projects that are not open.
    QList<std::shared_ptr<DocumentContents>> allSources() const;
    /// Files of the open projects (the project windows provide it).
    static void setProjectFilesProvider(std::function<QStringList()> provider);

    /// Opens the match or file of a row.
    void openItem(BatchTextOutlineViewItem* item);

Q_SIGNALS:
    /// A search or refresh ended (also when cancelled).
    void findFinished();

private:
    struct Job;
    BatchTextFinder();
    void startJob(const QList<std::shared_ptr<DocumentContents>>& sources, bool refresh);
    void addOutlineViewItem(quint64 jobId, std::shared_ptr<BatchTextOutlineViewItem> item, bool refresh);
    void jobFinished(quint64 jobId, bool refresh);
    void setFindingWidgets(bool finding);
    void reloadOutline();
    void scheduleUpdate();

    QPointer<QWidget> m_window;
    QComboBox* m_findCombo = nullptr;
    QLineEdit* m_replaceField = nullptr;
    QLineEdit* m_fileField = nullptr;
    QCheckBox* m_ignoreCase = nullptr;
    QPushButton* m_findButton = nullptr;
    QPushButton* m_replaceAllButton = nullptr;
    QPushButton* m_replaceSelectedButton = nullptr;
    QProgressBar* m_progress = nullptr;
    QLabel* m_status = nullptr;
    QTreeWidget* m_outline = nullptr;

    QList<std::shared_ptr<BatchTextOutlineViewItem>> m_shownItems;
    QList<std::shared_ptr<BatchTextOutlineViewItem>> m_allItems;
    std::optional<FindParameters> m_lastFindParameters;
    std::shared_ptr<Job> m_job;
    quint64 m_jobCounter = 0;
    bool m_updatePending = false;
    bool m_disableFindUpdates = false;
    BatchTextFinderHistory m_history;
};

/// The text shown for a match: the whole line when short, else 90 characters around
/// the match, else the line's two ends; white space shown as spaces. mark receives the
/// match's place in the snippet (NotFound when it is not marked).
QString batchFindSnippet(const QString& text, kit::Range match, kit::Range* mark);
