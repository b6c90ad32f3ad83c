#pragma once
// The file tree of a project as an item model: one row per DirectoryItem, with
// its children read from the disk only when a folder is first expanded (or
// looked up). Changes of the tree arrive as row insertions, removals and moves,
// so expanded rows and the selection stay on the same nodes across a refresh.

#include "project/DirectoryItem.h"

#include <QAbstractItemModel>
#include <QHash>
#include <QIcon>
#include <functional>

class ProjectOutlineModel : public QAbstractItemModel, public DirectoryItemObserver {
    Q_OBJECT
public:
    /// Whether a file opens in the editor (false dims its row).
    static constexpr int OpenableRole = Qt::UserRole + 1;
    /// The node's path.
    static constexpr int PathRole = Qt::UserRole + 2;
    /// The file's document has unsaved changes.
    static constexpr int EditedRole = Qt::UserRole + 3;

    explicit ProjectOutlineModel(DirectoryItem* root, QObject* parent = nullptr);
    ~ProjectOutlineModel() override;

    DirectoryItem* rootItem() const { return m_root; }
    /// The node of an index (the root for an invalid index).
    DirectoryItem* itemForIndex(const QModelIndex& index) const;
    QModelIndex indexForItem(const DirectoryItem* item) const;

    /// Renames a node (the window's rename with its alerts).
    using RenameHandler = std::function<void(DirectoryItem* item, const QString& name)>;
    void setRenameHandler(RenameHandler handler) { m_renameHandler = std::move(handler); }
    /// Hears every listing of a folder (the project's file index follows the tree).
    void setListingHandler(std::function<void(DirectoryItem* item)> handler) { m_listingHandler = std::move(handler); }
    /// Redraws the node's row (its icon or edited state changed).
    void redisplayItem(const DirectoryItem* item);

    QModelIndex index(int row, int column, const QModelIndex& parent = QModelIndex()) const override;
    QModelIndex parent(const QModelIndex& child) const override;
    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    bool hasChildren(const QModelIndex& parent = QModelIndex()) const override;
    bool canFetchMore(const QModelIndex& parent) const override;
    void fetchMore(const QModelIndex& parent) override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role = Qt::EditRole) override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    Qt::DropActions supportedDropActions() const override;
    Qt::DropActions supportedDragActions() const override;
    QStringList mimeTypes() const override;

    // DirectoryItemObserver
    void directoryItemWillRemoveChildren(DirectoryItem* parent, int first, int last) override;
    void directoryItemDidRemoveChildren(DirectoryItem* parent) override;
    void directoryItemWillInsertChildren(DirectoryItem* parent, int first, int last) override;
    void directoryItemDidInsertChildren(DirectoryItem* parent) override;
    void directoryItemWillMoveChild(DirectoryItem* parent, int from, int to) override;
    void directoryItemDidMoveChild(DirectoryItem* parent) override;
    void directoryItemDidList(DirectoryItem* item) override;

    /// Whether the file opens in the editor: folders always, files unless "Binary".
    bool isOpenable(const DirectoryItem* item) const;

private:
    QIcon iconFor(const DirectoryItem* item) const;

    DirectoryItem* m_root;
    RenameHandler m_renameHandler;
    std::function<void(DirectoryItem* item)> m_listingHandler;
    mutable QHash<const DirectoryItem*, bool> m_openable;
    mutable QHash<QString, QIcon> m_icons;
};
