#pragma once
// The window of a project: a folder on disk shown as a file tree beside the
// tabbed editor, with the code navigator below the tree. There is no project
// file: what a project remembers lives in the user defaults (frame, splitter,
// expanded rows, under names formed from the folder path) and in the project's
// record of the project settings store (navigator, its height, the tabs).
// Changes made on disk while the window is open show in the tree at once: the
// folders shown are watched.

#include "document/DocumentWindowController.h"
#include "document/KELSplitView.h"
#include "project/ProjectOutlineView.h"

#include <QFileSystemWatcher>
#include <QPointer>
#include <QSet>
#include <QTimer>
#include <QToolButton>
#include <memory>
#include <optional>

class DirectoryItem;
class KELFilePrefs;
class ProjectFileIndex;
class ProjectOutlineModel;


inline const QString KELOpenFileExternallyAlertKey = QStringLiteral("KELOpenFileExternallyAlertKey");
inline const QString KELProjectDocumentControllerUsesTabsKey = QStringLiteral("KELProjectDocumentControllerUsesTabs");
inline const QString KELProjectDocumentControllerDirectoryKey = QStringLiteral("directory");

class ProjectDocumentController : public DocumentWindowController, public ProjectOutlineViewDelegate {
    Q_OBJECT
public:
    static inline const QString RestorationClassName = QStringLiteral("ProjectDocumentController");

    ProjectDocumentController(const QString& directory, bool usesTabs);
    explicit ProjectDocumentController(const QString& directory);
    ~ProjectDocumentController() override;

    /// "Use Tabbed Interface in Projects".
    static bool shouldUseTabs();
    static QString expandedItemAutosaveNameForDirectory(const QString& directory);
    static QString frameAutosaveNameForDirectory(const QString& directory);
    static QString splitViewAutosaveNameForDirectory(const QString& directory);
    /// The defaults key under which the expanded rows are kept.
    static QString expandedItemsDefaultsKey(const QString& directory);

    /// The open project window of exactly this folder, else a new one (registered
    /// and shown when display is set).
    static ProjectDocumentController* openProject(const QString& directory, bool display);
    static ProjectDocumentController* projectForDirectory(const QString& directory);
    /// Remakes a window saved at the last quit; none when its folder is gone.
    static ProjectDocumentController* restoreWindow(const QVariantMap& savedWindow);

    // -- Identity
    QString directory() const override { return m_directory; }
    bool isProjectWindow() const override { return true; }
    DirectoryItem* rootDirectoryItem() const override { return m_root.get(); }
    ProjectOutlineView* fileOutlineView() const { return m_outline; }
    ProjectOutlineModel* outlineModel() const { return m_model; }
    QList<MyDocument*> availableDocuments() const { return documents(); }
    KELFilePrefs& projectPrefs() const;
    /// "ProjectFileLinkPboardType" followed by the folder path.
    const QString& dragString() const { return m_dragString; }
    /// The window's documents and tabs; the project's other files are in fileIndex().
    QList<std::shared_ptr<DocumentContents>> allDocumentsAndPlaceholders() const override;

    // -- Tree queries and refresh
    /// The node of the path (reading folders on the way); null when not in the tree.
    DirectoryItem* itemForPath(const QString& path);
    void redisplayItemForFileName(const QString& path);
    void updateItemsOnPath(const QString& path);
    void selectFileInTree(const QString& path, bool makeFirstResponder, bool scrollToFile);
    void setNeedsDirectoryUpdate() override { setNeedsDirectoryUpdate(true); }
    void setNeedsDirectoryUpdate(bool needed);
    /// Reads the root and the expanded folders again (many folders a few at a time).
    void updateDirectory();
    /// The folders watched for changes on disk (the root and the expanded folders).
    QStringList watchedFolders() const;
    /// Expanded folders the system would not watch (too many watches, no permission):
    /// read again whenever the window comes forward.
    const QSet<QString>& unwatchedFolders() const { return m_unwatchedFolders; }
    /// Folders still waiting to be read again.
    bool isReadingFolders() const { return !m_foldersToRead.isEmpty(); }
    /// The project's files, listed off the main thread (Open Quickly, Batch Find).
    ProjectFileIndex* fileIndex() const { return m_fileIndex; }

    /// Saves every document of the window (File > Save All).
    void saveAll();
    /// The least height of the navigator pane below the tree.
    static constexpr int MinimumNavigatorHeight = 22;

    // -- Showing files
    void showItemAtPath(const QString& path);
    void openAndDisplayDocumentWithURL(const QUrl& url) override;
    /// Mode 0 shows, 1 opens, 2 opens as text.
    void showItem(DirectoryItem* item, int mode);
    void updateCurrentDocument() override { updateCurrentDocument(true); }
    void updateCurrentDocument(bool openBinary);
    void outlineViewShowItem(ProjectOutlineView* view, DirectoryItem* item, int mode) override;
    void outlineViewSelectionDidChange();
    /// Renames the node with the alerts of a failed rename; the renamed row is selected.
    void renameItem(DirectoryItem* item, const QString& name);

    // -- Drops, paste and copy
    bool writeItemsToPasteboard(const QList<DirectoryItem*>& items, QMimeData* data) override;
    bool performPaste(const QMimeData* data, DirectoryItem* item) override;
    Qt::DropAction validateDrop(const QMimeData* data, Qt::DropActions mask, DirectoryItem** item, int* childIndex) override;
    bool acceptDrop(const QMimeData* data, Qt::DropActions mask, DirectoryItem* item, int childIndex) override;
    void wasSourceForDragOperation(Qt::DropAction operation) override;
    bool performFileOperation(Qt::DropActions mask, const QStringList& paths, DirectoryItem* item, bool isDrag);
    /// A free "copy" name for an item copied onto itself (the 1000th candidate untested).
    static QString copyPathForDestination(const QString& destination, bool isFolder);

    // -- Navigator and splitters
    bool isShowingCodeNavigator() const override;
    void showCodeNavigator(bool show, bool animate) override;
    /// The pane height for a stored splitter position and the column's height.
    static int navigatorHeightForShowing(std::optional<double> stored, int columnHeight);
    /// Main divider rules: the editor collapses below 150 points, the tree below 50.
    static int constrainMainSplitPosition(int proposed, int totalWidth);
    KELSplitView* splitView() const { return m_splitView; }
    KELSplitView* leftSplitView() const { return m_leftSplitView; }
    QToolButton* actionPopUpButton() const { return m_actionPopUp; }
    QToolButton* addFilePopUpButton() const { return m_addFilePopUp; }

    // -- Window
    void savePrefs();
    void synchronizeWindowTitleWithDocumentName() override;
    void documentDidChange(TabbedEditorController* editor) override;
    void windowDidLoad() override;
    void windowWillClose() override;
    /// The window's state (its tabs above all) is saved before the documents close.
    void windowShouldClose(std::function<void(bool)> done) override;
    void closeAllDocuments(std::function<void(bool didCloseAll)> done) override;
    QString restorationClassName() const override { return RestorationClassName; }
    void encodeRestorableState(QVariantMap& state) const override;
    void restoreState(const QVariantMap& state) override;
    bool validateAction(const QString& action, QAction* item) override;
    bool closesWithLastDocument() const override { return false; }

protected:
    QWidget* makeCentralView(QWidget* editorArea) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void updateWatchedFolders();
    void watchFolder(const QString& path);
    void unwatchFolder(const QString& path);
    void folderChangedOnDisk(const QString& path);
    void refreshChangedFolders();
    void readFolders(const QSet<QString>& paths);
    void readPendingFolders();
    void readFolder(const QString& path);
    void folderListedInTree(DirectoryItem* item);
    void saveExpandedItems();
    void savePrefsBeforeClosing();
    void restoreExpandedItems();
    void fileTypesDidChange();
    void alertOK(const QString& title, const QString& message);

    QString m_directory;
    QString m_dragString;
    std::unique_ptr<DirectoryItem> m_root;
    ProjectOutlineModel* m_model = nullptr;
    QPointer<ProjectOutlineView> m_outline;
    QPointer<KELSplitView> m_splitView;
    QPointer<KELSplitView> m_leftSplitView;
    QPointer<QToolButton> m_addFilePopUp;
    QPointer<QToolButton> m_actionPopUp;
    QPointer<QToolButton> m_codeNavigatorButton;
    QTimer m_directoryUpdateTimer;
    QTimer m_diskChangeTimer;
    QTimer m_readTimer;
    QTimer m_expandedSaveTimer;
    QFileSystemWatcher m_watcher;
    QSet<QString> m_watchedFolders;
    QSet<QString> m_unwatchedFolders;
    QSet<QString> m_changedFolders;
    QSet<QString> m_foldersToRead;
    ProjectFileIndex* m_fileIndex = nullptr;
    bool m_needsItemUpdate = false;
    bool m_windowLoaded = false;
    // The state was saved as the window began to close, while its tabs were open.
    bool m_prefsSavedForClose = false;
    // The navigator's height, waiting for the column to be laid out (a window
    // restored with its navigator showing is not sized yet).
    std::optional<int> m_pendingNavigatorHeight;
    void applyNavigatorHeight(int height);
    void giveKeyboardToDocument(MyDocument* document);
    void keepNavigatorMinimumHeight();
    QList<QObject*> m_observers;
};
