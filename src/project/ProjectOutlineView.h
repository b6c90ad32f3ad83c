#pragma once
// The file tree of a project window: a one-column tree of DirectoryItem nodes
// with the tree's menus (add file, action, context menu with Open With), the
// file commands behind them, keys (Return opens, Delete trashes, Tab renames),
// in-place renaming, dragging files out and dropping files in.

#include <QList>
#include <QMimeData>
#include <QSet>
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
    QList<DirectoryItem*> expandedItems() const;
    void selectItem(const DirectoryItem* item);
    bool isItemExpanded(const DirectoryItem* item) const;
    /// Reads the node and its expanded descendants, then expands it.
    void expandItem(DirectoryItem* item);
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
    /// Rows the user collapsed or expanded (the window watches expanded folders).
    void expandedItemsChanged();

protected:
    bool event(QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void startDrag(Qt::DropActions supportedActions) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    void addNew(bool folder);
    static Qt::DropActions dropMask(const QDropEvent* event);
    DirectoryItem* itemAt(const QPoint& point) const;

    ProjectOutlineViewDelegate* m_delegate = nullptr;
};
