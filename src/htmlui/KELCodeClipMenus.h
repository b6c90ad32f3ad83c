#pragma once
// Clips outside their window: the Clips menus (rebuilt from the store each time
// they open, one submenu per group filled when first opened) and the Ctrl+digit
// shortcut of each clip, resolved from the store when the key is pressed.

#include "editor/KELCodeClipSource.h"
#include "html/KELCodeClip.h"

#include <QObject>

class QAction;
class QKeyEvent;
class QMenu;

class KELCodeClipMenus : public QObject, public KELCodeClipSource
{
    Q_OBJECT
public:
    /// The property of a menu item that holds its clip's id.
    static constexpr const char* ClipIdProperty = "kelpCodeClipId";
    /// The property of a group submenu that holds its group's id.
    static constexpr const char* GroupIdProperty = "kelpCodeClipGroupId";
    /// Set on a menu whose clip items send "insertCodeClip:" through the responder
    /// chain (the main menu's); without it the menu's owner handles its items.
    static constexpr const char* RouteItemsProperty = "kelpRouteCodeClipItems";
    /// Marks the separator put between a Clips menu's own items and its clips.
    static constexpr const char* ClipSeparatorProperty = "kelpCodeClipSeparator";

    static KELCodeClipMenus& sharedInstance();
    /// Registers the menus with the editor and watches Ctrl+digit application-wide.
    static void install();

    /// An item titled with the clip's name, its data the clip's content, its
    /// shortcut shown as Ctrl+digit.
    QAction* menuItemForClip(const KELCodeClip& clip, QObject* parent) const;
    /// Items for a group's clips in their order; clips without a name are left out.
    QList<QAction*> menuItemsForGroup(qint64 groupId, QObject* parent) const;
    /// Fills a group submenu once, or rebuilds a menu titled "Clips" (its fixed
    /// items stay): the default group's clips directly, every other group with
    /// clips as a submenu. Any other menu is left alone.
    void menuNeedsUpdate(QMenu* menu) override;

    /// Ctrl and a digit (no other modifier, not the keypad) inserts the first clip
    /// with that command into the focused editor; false when the key is not taken.
    bool menuHasKeyEquivalent(const QKeyEvent* event);

protected:
    void addItems(QMenu* menu, const QList<QAction*>& items);
    bool eventFilter(QObject* watched, QEvent* event) override;
};
