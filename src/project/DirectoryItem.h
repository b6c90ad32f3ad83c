#pragma once
// One node of a project's file tree: a file or a folder under the project
// folder. A folder's children are read from the disk when first needed and read
// again on refresh; nodes that still exist keep their identity, so expanded rows
// and the selection survive a refresh. Names are compared exactly: "a.html" and
// "A.html" are two files.

#include "editor/DocumentContents.h"

#include <QHash>
#include <QIcon>
#include <QList>
#include <QSet>
#include <QString>
#include <memory>
#include <vector>

class DirectoryItem;
class MyDocument;

/// Hears every change of a node's children (the tree's outline model).
class DirectoryItemObserver {
public:
    virtual ~DirectoryItemObserver() = default;
    virtual void directoryItemWillRemoveChildren(DirectoryItem* parent, int first, int last) = 0;
    virtual void directoryItemDidRemoveChildren(DirectoryItem* parent) = 0;
    virtual void directoryItemWillInsertChildren(DirectoryItem* parent, int first, int last) = 0;
    virtual void directoryItemDidInsertChildren(DirectoryItem* parent) = 0;
    /// The child at from moves so that it ends up before the child now at to.
    virtual void directoryItemWillMoveChild(DirectoryItem* parent, int from, int to) = 0;
    virtual void directoryItemDidMoveChild(DirectoryItem* parent) = 0;
    /// The folder was read from the disk (whether or not its children changed).
    virtual void directoryItemDidList(DirectoryItem*) {}
};

class DirectoryItem {
public:
    explicit DirectoryItem(const QString& path, DirectoryItem* parent = nullptr);
    ~DirectoryItem();
    DirectoryItem(const DirectoryItem&) = delete;
    DirectoryItem& operator=(const DirectoryItem&) = delete;

    // Results of setName().
    enum RenameResult { RenameDone = 0, RenameNameExists = 2, RenameFailed = 3, RenameEmptyName = 4 };

    const QString& path() const { return m_path; }
    void setPath(const QString& path);
    QString itemName() const;
    QIcon iconImage() const;
    bool isFolder() const { return m_isFolder; }
    bool isImage() const { return m_isImage; }
    DirectoryItem* parent() const { return m_parent; }
    bool hasUpdatedContainedItems() const { return m_hasUpdatedContainedItems; }

    // -- Children
    int childCount() const { return int(m_children.size()); }
    DirectoryItem* childAt(int index) const;
    /// The node's place among its parent's children (0 for the root).
    int row() const { return m_row; }
    QList<DirectoryItem*> containedItems() const;
    /// The child with exactly this name.
    DirectoryItem* containedItemWithName(const QString& name) const;
    /// Display order: by name ignoring case, digit runs by value (file2 before file10).
    int compareForDisplaySort(const DirectoryItem& other) const;
    /// The same order for two names.
    static int compareNames(const QString& a, const QString& b);
    static bool isListedName(const QString& name);

    /// Reads the folder; answers whether a child appeared or went away.
    bool updateContainedItems();
    /// Reads this node and every child in the set, recursively.
    bool updateExpandedChildrenWithExpandedItems(const QSet<const DirectoryItem*>& expanded);
    void updateAllChildren();
    /// Reads this node and the nodes on the way down to the path.
    bool updateItemsOnPath(const QString& path);
    /// The node of the path, reading folders on the way when needed (updated then
    /// tells whether any was read); null when the path is not under this node.
    DirectoryItem* itemForPath(const QString& path, bool* updated = nullptr);

    // -- Documents
    MyDocument* documentIfExists() const;
    /// The open document, else the file opened as text without display (folders,
    /// images, PDF, binary and hidden files: none).
    MyDocument* document() const;
    std::shared_ptr<DocumentContents> documentContents() const;
    /// This node's document or placeholder, then those of the whole subtree (read as needed).
    QList<std::shared_ptr<DocumentContents>> allDocumentsAndPlaceholders();
    /// The open documents of this node and the subtree read so far.
    QList<MyDocument*> availableDocuments() const;
    bool docEdited() const;
    /// The paths of every file in the subtree (read as needed).
    QStringList allFilePaths();

    // -- Changes on disk
    DirectoryItem* createUntitledDocument();
    DirectoryItem* createUntitledFolder();
    int setName(const QString& name);
    void updatePath();

    /// The root's observer (the outline model).
    void setObserver(DirectoryItemObserver* observer) { m_observer = observer; }
    DirectoryItemObserver* observer() const;

private:
    // A node whose kind the listing already knows (no look at the disk).
    DirectoryItem(const QString& path, DirectoryItem* parent, bool isFolder);
    void collectDocuments(QList<std::shared_ptr<DocumentContents>>& list, const QHash<QString, MyDocument*>& open);
    void collectFilePaths(QStringList& list);
    void renumber(int from);
    DirectoryItem* createUntitled(bool folder);

    DirectoryItem* m_parent = nullptr;
    std::vector<std::unique_ptr<DirectoryItem>> m_children;
    QString m_path;
    bool m_isFolder = false;
    bool m_isImage = false;
    bool m_hasUpdatedContainedItems = false;
    int m_row = 0;
    DirectoryItemObserver* m_observer = nullptr;
};
