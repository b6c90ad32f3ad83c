#pragma once
// The Symbols pane of the preferences: the Quick Insert tree with its names and
// texts, buttons to add leaves and folders and to delete, and reordering by
// dragging. Every edit is stored at once.

#include <QAbstractItemModel>
#include <QList>
#include <QWidget>

class QPushButton;
class QTreeView;
class QuickInsertItem;

class QuickInsertTreeModel : public QAbstractItemModel
{
    Q_OBJECT
public:
    explicit QuickInsertTreeModel(QObject* parent = nullptr);
    QuickInsertItem* itemForIndex(const QModelIndex& index) const;
    QModelIndex indexForItem(const QuickInsertItem* item, int column = 0) const;
    void reload();
    void beginResetModelForDelete() { beginResetModel(); }
    void endResetModelForDelete() { endResetModel(); }

    QModelIndex index(int row, int column, const QModelIndex& parent = {}) const override;
    QModelIndex parent(const QModelIndex& child) const override;
    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& = {}) const override { return 2; }
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role) override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    QStringList mimeTypes() const override;
    QMimeData* mimeData(const QModelIndexList& indexes) const override;
    Qt::DropActions supportedDropActions() const override { return Qt::MoveAction; }
    bool canDropMimeData(const QMimeData* data, Qt::DropAction action, int row, int column,
        const QModelIndex& parent) const override;
    bool dropMimeData(const QMimeData* data, Qt::DropAction action, int row, int column,
        const QModelIndex& parent) override;

    /// The items of the drag in progress.
    QList<QuickInsertItem*> draggedItems;
    /// The items a drop moved (the view selects them).
    QList<QuickInsertItem*> droppedItems;
};

class QuickInsertPreferences : public QWidget
{
    Q_OBJECT
public:
    QuickInsertPreferences();
    QTreeView* quickInsertOutlineView() const { return m_outline; }
    QuickInsertTreeModel* model() const { return m_model; }
    QPushButton* deleteSelectedButton() const { return m_delete; }

    void addQuickInsert();
    void addQuickInsertFolder();
    /// Asks first ("row" or "rows"), then deletes the selected items.
    void deleteSelectedQuickInsert();

private:
    QList<QuickInsertItem*> selectedItems() const;
    void editNew(QuickInsertItem* item);
    QTreeView* m_outline = nullptr;
    QuickInsertTreeModel* m_model = nullptr;
    QPushButton* m_add = nullptr;
    QPushButton* m_addFolder = nullptr;
    QPushButton* m_delete = nullptr;
};
