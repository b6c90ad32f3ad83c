#include "htmlui/QuickInsertPreferences.h"

#include "html/QuickInsertManager.h"
#include "kit/Alert.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QMimeData>
#include <QPushButton>
#include <QTimer>
#include <QTreeView>
#include <QVBoxLayout>

namespace {
const QString QuickInsertPboardType = QStringLiteral("application/x-kelp-quick-insert");
}

QuickInsertTreeModel::QuickInsertTreeModel(QObject* parent)
    : QAbstractItemModel(parent)
{
}

void QuickInsertTreeModel::reload()
{
    beginResetModel();
    endResetModel();
}

QuickInsertItem* QuickInsertTreeModel::itemForIndex(const QModelIndex& index) const
{
    return index.isValid() ? static_cast<QuickInsertItem*>(index.internalPointer())
                           : QuickInsertManager::sharedInstance().rootItem();
}

QModelIndex QuickInsertTreeModel::indexForItem(const QuickInsertItem* item, int column) const
{
    if (!item || !item->parent())
        return QModelIndex();
    return createIndex(int(item->parent()->indexOfSubItem(item)), column, const_cast<QuickInsertItem*>(item));
}

QModelIndex QuickInsertTreeModel::index(int row, int column, const QModelIndex& parent) const
{
    const QuickInsertItem* folder = itemForIndex(parent);
    if (!folder || row < 0 || row >= int(folder->subItems().size()) || column < 0 || column > 1)
        return QModelIndex();
    return createIndex(row, column, folder->subItems()[size_t(row)].get());
}

QModelIndex QuickInsertTreeModel::parent(const QModelIndex& child) const
{
    const QuickInsertItem* item = child.isValid() ? itemForIndex(child) : nullptr;
    return item ? indexForItem(item->parent()) : QModelIndex();
}

int QuickInsertTreeModel::rowCount(const QModelIndex& parent) const
{
    if (parent.column() > 0)
        return 0;
    const QuickInsertItem* item = itemForIndex(parent);
    return item && item->isFolder() ? int(item->subItems().size()) : 0;
}

QVariant QuickInsertTreeModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || (role != Qt::DisplayRole && role != Qt::EditRole))
        return QVariant();
    const QuickInsertItem* item = itemForIndex(index);
    return index.column() == 0 ? item->name() : (item->isFolder() ? QString() : item->text());
}

QVariant QuickInsertTreeModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return QVariant();
    return section == 0 ? tr("Name") : tr("Text");
}

bool QuickInsertTreeModel::setData(const QModelIndex& index, const QVariant& value, int role)
{
    if (!index.isValid() || role != Qt::EditRole || value.typeId() != QMetaType::QString)
        return false;
    if (!QuickInsertManager::sharedInstance().setValue(itemForIndex(index), index.column(), value.toString())) {
        QApplication::beep();
        return false;
    }
    Q_EMIT dataChanged(index, index);
    return true;
}

Qt::ItemFlags QuickInsertTreeModel::flags(const QModelIndex& index) const
{
    if (!index.isValid())
        return Qt::ItemIsDropEnabled;
    Qt::ItemFlags f = Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsDragEnabled | Qt::ItemIsEditable;
    if (itemForIndex(index)->isFolder())
        f |= Qt::ItemIsDropEnabled;
    return f;
}

QStringList QuickInsertTreeModel::mimeTypes() const { return { QuickInsertPboardType }; }

QMimeData* QuickInsertTreeModel::mimeData(const QModelIndexList& indexes) const
{
    QList<QuickInsertItem*> items;
    for (const QModelIndex& i : indexes)
        if (i.column() == 0)
            items.append(itemForIndex(i));
    const_cast<QuickInsertTreeModel*>(this)->draggedItems = QuickInsertManager::draggableItems(items);
    auto* data = new QMimeData;
    data->setData(QuickInsertPboardType, QByteArray::number(draggedItems.size()));
    return data;
}

bool QuickInsertTreeModel::canDropMimeData(
    const QMimeData* data, Qt::DropAction, int row, int, const QModelIndex& parent) const
{
    if (!data || !data->hasFormat(QuickInsertPboardType) || draggedItems.isEmpty())
        return false;
    QuickInsertItem* target = parent.isValid() ? itemForIndex(parent) : nullptr;
    qsizetype index = row;
    return QuickInsertManager::sharedInstance().validateDrop(draggedItems, &target, &index);
}

bool QuickInsertTreeModel::dropMimeData(
    const QMimeData* data, Qt::DropAction action, int row, int column, const QModelIndex& parent)
{
    if (!canDropMimeData(data, action, row, column, parent))
        return false;
    QuickInsertItem* target = parent.isValid() ? itemForIndex(parent) : nullptr;
    qsizetype index = row;
    QuickInsertManager& manager = QuickInsertManager::sharedInstance();
    manager.validateDrop(draggedItems, &target, &index);
    beginResetModel();
    droppedItems = manager.acceptDrop(draggedItems, target, index);
    draggedItems.clear();
    endResetModel();
    // The view removes nothing after a move: the manager moved the items already.
    return true;
}

QuickInsertPreferences::QuickInsertPreferences()
{
    setObjectName(QStringLiteral("QuickInsertPreferences"));
    m_model = new QuickInsertTreeModel(this);
    m_outline = new QTreeView(this);
    m_outline->setModel(m_model);
    m_outline->setSelectionMode(QAbstractItemView::ExtendedSelection);
    m_outline->setDragDropMode(QAbstractItemView::InternalMove);
    m_outline->setDefaultDropAction(Qt::MoveAction);
    m_outline->setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed);
    m_outline->header()->setSectionResizeMode(0, QHeaderView::Stretch);
    m_add = new QPushButton(tr("Add"), this);
    m_addFolder = new QPushButton(tr("Add Folder"), this);
    m_delete = new QPushButton(tr("Delete"), this);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(m_add);
    buttons->addWidget(m_addFolder);
    buttons->addStretch();
    buttons->addWidget(m_delete);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_outline, 1);
    layout->addLayout(buttons);
    connect(m_add, &QPushButton::clicked, this, [this] { addQuickInsert(); });
    connect(m_addFolder, &QPushButton::clicked, this, [this] { addQuickInsertFolder(); });
    connect(m_delete, &QPushButton::clicked, this, [this] { deleteSelectedQuickInsert(); });
    auto updateDelete = [this] { m_delete->setEnabled(!selectedItems().isEmpty()); };
    connect(m_outline->selectionModel(), &QItemSelectionModel::selectionChanged, this, updateDelete);
    connect(m_model, &QAbstractItemModel::modelReset, this, [this, updateDelete] {
        // Select what a drop moved, once the view has its rows again.
        for (QuickInsertItem* item : std::as_const(m_model->droppedItems))
            m_outline->selectionModel()->select(m_model->indexForItem(item),
                QItemSelectionModel::Select | QItemSelectionModel::Rows);
        m_model->droppedItems.clear();
        updateDelete();
    });
    updateDelete();
}

QList<QuickInsertItem*> QuickInsertPreferences::selectedItems() const
{
    QList<QuickInsertItem*> items;
    for (const QModelIndex& i : m_outline->selectionModel()->selectedRows())
        items.append(m_model->itemForIndex(i));
    return items;
}

void QuickInsertPreferences::editNew(QuickInsertItem* item)
{
    m_model->reload();
    const QModelIndex index = m_model->indexForItem(item);
    m_outline->expand(index.parent());
    m_outline->selectionModel()->select(index, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    m_outline->setCurrentIndex(index);
    m_outline->edit(index);
}

void QuickInsertPreferences::addQuickInsert()
{
    const QList<QuickInsertItem*> selected = selectedItems();
    editNew(QuickInsertManager::sharedInstance().addQuickInsert(selected.isEmpty() ? nullptr : selected.first()));
}

void QuickInsertPreferences::addQuickInsertFolder()
{
    editNew(QuickInsertManager::sharedInstance().addQuickInsertFolder());
}

void QuickInsertPreferences::deleteSelectedQuickInsert()
{
    const QList<QuickInsertItem*> items = selectedItems();
    if (items.isEmpty())
        return;
    kit::Alert alert;
    alert.setMessageText(tr("Confirm Delete"));
    alert.setInformativeText(tr("Are you sure that you want to delete the selected %1? This action cannot be undone.")
                                 .arg(items.size() == 1 ? tr("row") : tr("rows")));
    alert.addButton(tr("Delete"));
    alert.addButton(tr("Cancel"));
    if (alert.runModal() != kit::Alert::FirstButtonReturn)
        return;
    m_outline->closePersistentEditor(m_outline->currentIndex());
    m_model->beginResetModelForDelete();
    QuickInsertManager::sharedInstance().deleteItems(items);
    m_model->endResetModelForDelete();
}
