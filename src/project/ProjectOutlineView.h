#pragma once
// The file tree of a project window: a one-column tree of DirectoryItem nodes
// with the tree's menus (add file, action, context menu with Open With), the
// file commands behind them, keys (Return opens, Delete trashes, Tab renames),
// in-place renaming, dragging files out and dropping files in.

#include <QList>
#include <QMimeData>
#include <QSet>
#include <QTimer>
#include <QTreeView>
#include <QUrl>

class DirectoryItem;
class ProjectOutlineModel;
class ProjectOutlineView;
class QMenu;

/// What the tree asks of its window (the project window).
class ProjectOutlineViewDelegate {
public:
    virtual ~ProjectOutlineViewDelegate() = default;
    virtual DirectoryItem* rootDirectoryItem() const = 0;
    /// Show mode 0 shows, 1 opens, 2 opens as text.
    virtual void outlineViewShowItem(ProjectOutlineView* view, DirectoryItem* item, int mode) = 0;
    /// The double action (Return, double click): opens the selection.
    virtual void updateCurrentDocument() = 0;
    virtual bool writeItemsToPasteboard(const QList<DirectoryItem*>& items, QMimeData* data) = 0;
    virtual bool performPaste(const QMimeData* data, DirectoryItem* item) = 0;
    /// The operation a drop would do (none, copy or move); may retarget it.
    virtual Qt::DropAction validateDrop(const QMimeData* data, Qt::DropActions mask, DirectoryItem** item, int* childIndex) = 0;
    virtual bool acceptDrop(const QMimeData* data, Qt::DropActions mask, DirectoryItem* item, int childIndex) = 0;
    virtual void wasSourceForDragOperation(Qt::DropAction operation) = 0;
};

class ProjectOutlineView : public QTreeView {
    Q_OBJECT
public:
    explicit ProjectOutlineView(QWidget* parent = nullptr);

    void setOutlineDelegate(ProjectOutlineViewDelegate* delegate) { m_delegate = delegate; }
    ProjectOutlineViewDelegate* outlineDelegate() const { return m_delegate; }
    ProjectOutlineModel* outlineModel() const;

    // -- Selection
    QList<DirectoryItem*> selectedItems() const;
    QStringList selectedPaths() const;
    /// The path of the current selected row; empty when none.
    QString selectedPath() const;
    DirectoryItem* selectedItem() const;
    QList<QUrl> selectedFileURLs() const;
    /// The nodes of the expanded rows, in row order (walks the shown tree).
    QList<DirectoryItem*> expandedItems() const;
    /// The expanded folders, kept as rows open and close; it includes folders left
    /// open inside a collapsed one (they show open again with it).
    const QSet<const DirectoryItem*>& expandedItemSet() const { return m_expanded; }
    void selectItem(const DirectoryItem* item);
    bool isItemExpanded(const DirectoryItem* item) const;
    /// Expands the node; one already expanded is read again with its expanded descendants.
    void expandItem(DirectoryItem* item);
    /// Expands the folder and every folder below it ("*"), reading them as needed.
    void expandAllBelow(DirectoryItem* item);
    /// Expands the folders of the paths (other paths are passed by).
    void expandPaths(const QStringList& paths);
    /// Folders still waiting to be expanded: large expansions go a few folders at a
    /// time, so the window keeps painting and answering keys.
    bool isExpanding() const { return !m_pendingExpansions.isEmpty(); }
    /// A name is being edited in place.
    bool isEditingName() const { return state() == QAbstractItemView::EditingState; }

    // -- Menus
    /// Items for the add-file pop-up, the action pop-up and the context menu.
    QList<QAction*> makeAddFileMenuItems(QObject* parent);
    QList<QAction*> makeActionMenuItems(QObject* parent);
    QMenu* makeRightClickMenu(QWidget* parent);
    /// Enables the items of a menu made here for the present selection.
    void validateMenuItems(const QList<QAction*>& items);
    bool validateMenuItem(const QString& action);

    // -- Commands
    void collapseAll();
    void getInfo();
    void openAsText();
    void showInFinder();
    void addNewFile();
    void addNewFolder();
    void rename();
    void deleteSelection();
    void saveSelectedDocument();
    void saveSelectedDocumentAs();
    void previewSelected();
    void quickPreviewSelected();
    void copy();
    void paste();

Q_SIGNALS:
    /// A folder's row was expanded or collapsed, or an expanded one went away (the
    /// window watches expanded folders and remembers them).
    void expandedItemChanged(DirectoryItem* item, bool expanded);
    /// Every folder was collapsed.
    void allCollapsed();
    /// The pending expansions are done.
    void expansionFinished();

protected:
    bool event(QEvent* event) override;
    void rowsAboutToBeRemoved(const QModelIndex& parent, int start, int end) override;
    void keyPressEvent(QKeyEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void startDrag(Qt::DropActions supportedActions) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    struct PendingExpansion {
        QString path;
        bool below = false;  // and every folder below it
        bool reread = false; // shown again: read, not expanded
    };
    void addNew(bool folder);
    void expandPending();
    void readAgain(DirectoryItem* item);
    void forgetExpanded(DirectoryItem* item);
    static Qt::DropActions dropMask(const QDropEvent* event);
    DirectoryItem* itemAt(const QPoint& point) const;

    ProjectOutlineViewDelegate* m_delegate = nullptr;
    QSet<const DirectoryItem*> m_expanded;
    QList<PendingExpansion> m_pendingExpansions;
    QTimer m_expansionTimer;
    bool m_expandingPending = false;
};
