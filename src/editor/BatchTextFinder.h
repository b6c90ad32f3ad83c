#pragma once
// The Batch Find window: searches every open document and the files of open projects at
// once (files read from disk when they are not open), lists the matches per file, opens a
// picked match, and replaces all or the selected matches.
//
// The search runs on a worker thread that holds shared ownership of the request. The
// unsaved text of an open document is fetched on the main thread; files are listed, read
// and searched on the worker, which sends what it found back in batches by queued calls,
// so the first results show at once and the window keeps answering. The worker and the
// window share only the atomic "finding" flag of the job.

#include "editor/FindParameters.h"
#include "kit/Types.h"

#include <QAbstractItemModel>
#include <QHash>
#include <QObject>
#include <QPointer>
#include <QSet>
#include <QTreeView>
#include <atomic>
#include <functional>
#include <memory>

class BatchFindResultsModel;
class DocumentContents;
class EditorDocument;
class QComboBox;
class QCheckBox;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;
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
    /// The source: an open document, or a file on disk (for a file the window makes it
    /// when it is first needed).
    std::shared_ptr<DocumentContents> document;
    /// The file of a file item; empty for a document that has none.
    QString filePath;
    /// The open document among the sources (main thread only): watched, so a closed
    /// document is never read.
    QPointer<QObject> openDocument;
    bool wasOpenDocument = false;
    /// The text of an open document when it was searched: an edit since shows as a
    /// difference.
    std::shared_ptr<const QString> searchedText;
    kit::Range matchRange;
    /// A file item's row in the results (main thread).
    int row = -1;

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

/// What a search needs of the open projects. Made on the main thread when a search
/// starts; list and decode run on the worker and touch nothing of the main thread.
struct BatchFindProjectFiles
{
    /// Hands the files of the open projects to visit in tree order, each as soon as its
    /// folder is read from the disk; visit answers false to stop.
    std::function<void(const std::function<bool(const QString& path)>& visit)> walk;
    /// About how many files walk will hand over (the last listings' count; 0: unknown).
    qsizetype expectedCount = 0;
    /// A file's text from its bytes, with the encoding the user chose for the file.
    std::function<std::optional<QString>(const QByteArray& data, const QString& path)> decode;
    /// Whether a file lies in an open project.
    std::function<bool(const QString& path)> contains;
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
    QPushButton* findButton() { window(); return m_findButton; }
    QTreeView* searchResultsOutlineView() { window(); return m_outline; }

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
    /// closed documents and the files of closed projects.
    void updateFindResults();
    void resetValues();
    /// Unless the window shows a search text, the text of the last find becomes it.
    void loadFindStringFromPasteboard();

    const QList<std::shared_ptr<BatchTextOutlineViewItem>>& outlineViewItemsArray() const { return m_shownItems; }
    qsizetype numberOfResults() const;
    /// Files searched that hold no match.
    qsizetype filesWithoutMatchesCount() const { return m_unmatchedFiles.size(); }
    const BatchTextFinderHistory& history() const { return m_history; }

    /// The project layer tells a search what the open projects hold.
    static void setProjectFilesProvider(std::function<BatchFindProjectFiles()> provider);
    /// A search stops after this many matches (so that one letter cannot fill the memory).
    static qsizetype resultLimit();
    static void setResultLimitForTesting(qsizetype limit);

    /// Opens the match or file of a row.
    void openItem(BatchTextOutlineViewItem* item);

Q_SIGNALS:
    /// A search or refresh ended (also when cancelled).
    void findFinished();
    /// Results of the running search reached the window.
    void resultsAdded();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    struct Job;
    struct Batch;
    BatchTextFinder();
    BatchFindProjectFiles projectFiles() const;
    void startJob(std::shared_ptr<Job> job);
    void takeBatch(quint64 jobId, std::shared_ptr<Batch> batch);
    void showPendingResults();
    void jobFinished(quint64 jobId, bool refresh, bool limited);
    void setFindingWidgets(bool finding);
    void addShownItems(const QList<std::shared_ptr<BatchTextOutlineViewItem>>& items);
    void replaceItem(const std::shared_ptr<BatchTextOutlineViewItem>& item);
    void removeShownItem(BatchTextOutlineViewItem* item);
    void removeShownItems(const QSet<BatchTextOutlineViewItem*>& items);
    void clearResults();
    void scheduleUpdate();
    void currentRowChanged();
    EditorDocument* openDocumentOf(BatchTextOutlineViewItem* file, bool display, QString* failure);

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
    QTreeView* m_outline = nullptr;
    BatchFindResultsModel* m_model = nullptr;

    // Files with matches, as shown.
    QList<std::shared_ptr<BatchTextOutlineViewItem>> m_shownItems;
    // Every file item searched with matches, and every open document searched.
    QList<std::shared_ptr<BatchTextOutlineViewItem>> m_allItems;
    QHash<QString, BatchTextOutlineViewItem*> m_itemsByPath;
    // Files searched without a match (only their paths are kept).
    QSet<QString> m_unmatchedFiles;
    // What arrived from the worker and is not shown yet.
    QList<std::shared_ptr<Batch>> m_pendingBatches;
    bool m_showScheduled = false;
    qint64 m_lastShown = 0;

    std::optional<FindParameters> m_lastFindParameters;
    std::shared_ptr<Job> m_job;
    quint64 m_jobCounter = 0;
    bool m_updatePending = false;
    bool m_disableFindUpdates = false;
    bool m_projectClosed = false;
    BatchTextFinderHistory m_history;
};

/// The text shown for a match: the whole line when short, else 90 characters around
/// the match, else the line's two ends; white space shown as spaces. mark receives the
/// match's place in the snippet (NotFound when it is not marked).
QString batchFindSnippet(const QString& text, kit::Range match, kit::Range* mark);
