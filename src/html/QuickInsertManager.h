#pragma once
// Keeper of the Quick Insert tree: the factory tree, the tree the user edits in
// the preferences (stored under "Quick Insert Items" after every edit, so nothing
// waits for a clean quit), and the rules of moving items by dragging.

#include "html/QuickInsertItem.h"

#include <QList>
#include <QObject>
#include <memory>

class QuickInsertManager : public QObject
{
    Q_OBJECT
public:
    /// Made on first use from the stored tree.
    static QuickInsertManager& sharedInstance();
    /// Tests: forget the shared manager (the next use reads the stored tree again).
    static void resetSharedInstanceForTesting();

    /// The factory tree: "Symbols" with eight folders of characters and entities.
    static std::unique_ptr<QuickInsertItem> defaultItems();
    /// The factory tree as it is registered in the defaults.
    static QVariantMap defaultItemsArchive();

    QuickInsertManager();
    QuickInsertItem* rootItem() const { return m_rootItem.get(); }
    /// Set by every edit; cleared once the Symbols menu is rebuilt.
    bool hasChanged() const { return m_hasChanged; }
    void resetHasChanged() { m_hasChanged = false; }
    /// Writes the tree into the defaults.
    void archiveItems();
    /// Records an edit: marks the tree changed and stores it.
    void noteChange();

    /// A new leaf "Untitled" in the folder of `selected` (the item itself when it is
    /// a folder, its parent when a leaf, the root when none).
    QuickInsertItem* addQuickInsert(QuickInsertItem* selected);
    /// A new folder "Untitled" at the end of the root.
    QuickInsertItem* addQuickInsertFolder();
    /// Removes the items (each from its parent).
    void deleteItems(const QList<QuickInsertItem*>& items);
    /// Sets a column of an item: 0 the name, else the text (refused for a folder
    /// when not empty). Answers false when refused.
    bool setValue(QuickInsertItem* item, int column, const QString& value);

    /// The items of a drag, without those inside another dragged item.
    static QList<QuickInsertItem*> draggableItems(const QList<QuickInsertItem*>& items);
    /// Whether the dragged items may be dropped into `target` (null: the root) at
    /// `index` (-1: the end). A drop on a leaf goes after it in its folder: the
    /// target and index are changed to say so. Never into a dragged folder itself.
    bool validateDrop(const QList<QuickInsertItem*>& dragged, QuickInsertItem** target, qsizetype* index) const;
    /// Moves the dragged items to the target at the index; answers the moved items.
    QList<QuickInsertItem*> acceptDrop(const QList<QuickInsertItem*>& dragged, QuickInsertItem* target, qsizetype index);

Q_SIGNALS:
    void itemsChanged();

private:
    std::unique_ptr<QuickInsertItem> m_rootItem;
    bool m_hasChanged = false;
};
