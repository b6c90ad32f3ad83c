#include "project/ProjectOutlineModel.h"

#include "support/KELFileTypeManager.h"

#include <QFileIconProvider>
#include <QFileInfo>

ProjectOutlineModel::ProjectOutlineModel(DirectoryItem* root, QObject* parent)
    : QAbstractItemModel(parent), m_root(root)
{
    if (m_root)
        m_root->setObserver(this);
}

ProjectOutlineModel::~ProjectOutlineModel()
{
    if (m_root && m_root->observer() == this)
        m_root->setObserver(nullptr);
}

DirectoryItem* ProjectOutlineModel::itemForIndex(const QModelIndex& index) const
{
    if (!index.isValid())
        return m_root;
    return static_cast<DirectoryItem*>(index.internalPointer());
}

QModelIndex ProjectOutlineModel::indexForItem(const DirectoryItem* item) const
{
    if (!item || item == m_root || !item->parent())
        return QModelIndex();
    return createIndex(item->row(), 0, const_cast<DirectoryItem*>(item));
}

void ProjectOutlineModel::redisplayItem(const DirectoryItem* item)
{
    m_openable.remove(item);
    const QModelIndex index = indexForItem(item);
    if (index.isValid())
        Q_EMIT dataChanged(index, index);
}

QModelIndex ProjectOutlineModel::index(int row, int column, const QModelIndex& parent) const
{
    if (column != 0)
        return QModelIndex();
    DirectoryItem* node = itemForIndex(parent);
    DirectoryItem* child = node ? node->childAt(row) : nullptr;
    return child ? createIndex(row, 0, child) : QModelIndex();
}

QModelIndex ProjectOutlineModel::parent(const QModelIndex& child) const
{
    if (!child.isValid())
        return QModelIndex();
    return indexForItem(itemForIndex(child)->parent());
}

int ProjectOutlineModel::rowCount(const QModelIndex& parent) const
{
    if (parent.column() > 0)
        return 0;
    DirectoryItem* node = itemForIndex(parent);
    return node ? node->childCount() : 0;
}

int ProjectOutlineModel::columnCount(const QModelIndex&) const
{
    return 1;
}

bool ProjectOutlineModel::hasChildren(const QModelIndex& parent) const
{
    DirectoryItem* node = itemForIndex(parent);
    if (!node)
        return false;
    // A folder not read yet may have children: it shows an expander.
    return node->isFolder() && (!node->hasUpdatedContainedItems() || node->childCount() > 0);
}

bool ProjectOutlineModel::canFetchMore(const QModelIndex& parent) const
{
    DirectoryItem* node = itemForIndex(parent);
    return node && node->isFolder() && !node->hasUpdatedContainedItems();
}

void ProjectOutlineModel::fetchMore(const QModelIndex& parent)
{
    if (DirectoryItem* node = itemForIndex(parent))
        node->updateContainedItems();
}

bool ProjectOutlineModel::isOpenable(const DirectoryItem* item) const
{
    if (!item || item->isFolder())
        return true;
    auto known = m_openable.constFind(item);
    if (known != m_openable.constEnd())
        return *known;
    const bool openable = KELFileTypeManager::sharedInstance().typeNameForPath(item->path()) != KELBinaryTypeName;
    m_openable.insert(item, openable);
    return openable;
}

QIcon ProjectOutlineModel::iconFor(const DirectoryItem* item) const
{
    // One icon per kind of file: asking the desktop for every row is slow.
    const QString key = item->isFolder() ? QStringLiteral("/") : KELFileTypeManager::pathExtension(item->path()).toLower();
    auto known = m_icons.constFind(key);
    if (known != m_icons.constEnd())
        return *known;
    static QFileIconProvider provider;
    const QIcon icon = item->isFolder() ? provider.icon(QFileIconProvider::Folder) : provider.icon(QFileInfo(item->path()));
    m_icons.insert(key, icon);
    return icon;
}

QVariant ProjectOutlineModel::data(const QModelIndex& index, int role) const
{
    DirectoryItem* item = index.isValid() ? itemForIndex(index) : nullptr;
    if (!item)
        return QVariant();
    switch (role) {
    case Qt::DisplayRole:
    case Qt::EditRole:
        return item->itemName();
    case Qt::DecorationRole:
        return iconFor(item);
    case Qt::ToolTipRole:
    case PathRole:
        return item->path();
    case OpenableRole:
        return isOpenable(item);
    case EditedRole:
        return item->docEdited();
    default:
        return QVariant();
    }
}

bool ProjectOutlineModel::setData(const QModelIndex& index, const QVariant& value, int role)
{
    if (role != Qt::EditRole || !index.isValid() || value.typeId() != QMetaType::QString)
        return false;
    if (m_renameHandler)
        m_renameHandler(itemForIndex(index), value.toString());
    return true;
}

Qt::ItemFlags ProjectOutlineModel::flags(const QModelIndex& index) const
{
    if (!index.isValid())
        return Qt::ItemIsDropEnabled;
    const Qt::ItemFlags flags =
        Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsEditable | Qt::ItemIsDragEnabled | Qt::ItemIsDropEnabled;
    // A file is never expanded (not even by "*"), nor remembered as expanded.
    const DirectoryItem* item = itemForIndex(index);
    return item && !item->isFolder() ? flags | Qt::ItemNeverHasChildren : flags;
}

Qt::DropActions ProjectOutlineModel::supportedDropActions() const
{
    return Qt::CopyAction | Qt::MoveAction;
}

Qt::DropActions ProjectOutlineModel::supportedDragActions() const
{
    return Qt::CopyAction | Qt::MoveAction;
}

QStringList ProjectOutlineModel::mimeTypes() const
{
    return {QStringLiteral("text/uri-list")};
}

// ---------------------------------------------------------------- tree changes

void ProjectOutlineModel::directoryItemWillRemoveChildren(DirectoryItem* parent, int first, int last)
{
    // Removed nodes are freed: a later node may get the same address.
    m_openable.clear();
    beginRemoveRows(indexForItem(parent), first, last);
}

void ProjectOutlineModel::directoryItemDidRemoveChildren(DirectoryItem*)
{
    endRemoveRows();
}

void ProjectOutlineModel::directoryItemWillInsertChildren(DirectoryItem* parent, int first, int last)
{
    beginInsertRows(indexForItem(parent), first, last);
}

void ProjectOutlineModel::directoryItemDidInsertChildren(DirectoryItem*)
{
    endInsertRows();
}

void ProjectOutlineModel::directoryItemWillMoveChild(DirectoryItem* parent, int from, int to)
{
    const QModelIndex index = indexForItem(parent);
    beginMoveRows(index, from, from, index, to);
}

void ProjectOutlineModel::directoryItemDidMoveChild(DirectoryItem*)
{
    endMoveRows();
}

void ProjectOutlineModel::directoryItemDidList(DirectoryItem* item)
{
    if (m_listingHandler)
        m_listingHandler(item);
}
