#pragma once
// The shared "Symbols" menu of Quick Insert: built once from the stored tree and
// rebuilt (the same menu object) after the tree was edited.

class QMenu;
class QuickInsertItem;

namespace QuickInsertMenu {
/// The shared menu; its first item is "Symbols" with no action (the title of a
/// pull-down button), then the tree's items. Leaves send "quickInsert:" with their text.
QMenu* quickInsertMenu();
/// A menu of a folder's items (submenus for sub-folders).
QMenu* menuFromItem(const QuickInsertItem* folder, QMenu* into = nullptr);
} // namespace QuickInsertMenu
