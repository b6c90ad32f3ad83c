#include "htmlui/KELCodeClipMenus.h"

#include "html/KELCodeClipsManager.h"
#include "kit/ActionRouter.h"

#include <QApplication>
#include <QKeyEvent>
#include <QMenu>

namespace {
const QString InsertCodeClipAction = QStringLiteral("insertCodeClip:");

bool isClipsMenu(const QMenu* menu)
{
    QString title = menu->title();
    title.remove(QLatin1Char('&'));
    return title == QLatin1String("Clips");
}
} // namespace

KELCodeClipMenus& KELCodeClipMenus::sharedInstance()
{
    static KELCodeClipMenus* instance = new KELCodeClipMenus;
    return *instance;
}

void KELCodeClipMenus::install()
{
    KELCodeClipMenus& menus = sharedInstance();
    KELCodeClipSource::setShared(&menus);
    if (qApp)
        qApp->installEventFilter(&menus);
}

QAction* KELCodeClipMenus::menuItemForClip(const KELCodeClip& clip, QObject* parent) const
{
    auto* item = new QAction(clip.name(), parent);
    item->setData(clip.content().isNull() ? QStringLiteral("") : clip.content());
    item->setProperty(ClipIdProperty, clip.id());
    if (clip.command() != KELCodeClip::NoCommand) {
        item->setShortcut(QKeySequence(Qt::CTRL | Qt::Key(Qt::Key_0 + clip.command())));
        // Shown in the menu only: the key itself is resolved from the store.
        item->setShortcutContext(Qt::WidgetShortcut);
    }
    return item;
}

QList<QAction*> KELCodeClipMenus::menuItemsForGroup(qint64 groupId, QObject* parent) const
{
    QList<QAction*> items;
    for (const KELCodeClip& clip : KELCodeClipsManager::sharedInstance().clipsInGroup(groupId))
        if (!clip.name().isEmpty())
            items.append(menuItemForClip(clip, parent));
    return items;
}

void KELCodeClipMenus::addItems(QMenu* menu, const QList<QAction*>& items)
{
    menu->addActions(items);
    if (menu->property(RouteItemsProperty).toBool())
        for (QAction* item : items) {
            kit::ActionRouter::shared().attachAction(item, InsertCodeClipAction);
            kit::ActionRouter::shared().validateAction(item);
        }
}

void KELCodeClipMenus::menuNeedsUpdate(QMenu* menu)
{
    if (!menu)
        return;
    const QVariant groupId = menu->property(GroupIdProperty);
    if (groupId.isValid()) {
        if (menu->actions().isEmpty())
            addItems(menu, menuItemsForGroup(groupId.toLongLong(), menu));
        return;
    }
    if (!isClipsMenu(menu))
        return;
    const QList<QAction*> actions = menu->actions();
    for (qsizetype i = actions.size() - 1; i >= 0; --i) {
        QAction* a = actions[i];
        if (a->property(ClipIdProperty).isValid() || a->property(ClipSeparatorProperty).toBool()
            || (a->menu() && a->menu()->property(GroupIdProperty).isValid())) {
            menu->removeAction(a);
            if (a->menu())
                a->menu()->deleteLater();
            if (a->parent() == menu)
                a->deleteLater();
        }
    }
    KELCodeClipsManager& store = KELCodeClipsManager::sharedInstance();
    // The clips stand apart from the menu's own commands.
    bool separate = !menu->actions().isEmpty() && !menu->actions().last()->isSeparator();
    auto separateOnce = [&] {
        if (separate)
            menu->addSeparator()->setProperty(ClipSeparatorProperty, true);
        separate = false;
    };
    for (const KELCodeClipGroup& group : store.groups()) {
        if (group.isDefault()) {
            const QList<QAction*> items = menuItemsForGroup(group.id(), menu);
            if (!items.isEmpty())
                separateOnce();
            addItems(menu, items);
            continue;
        }
        if (store.clipsInGroup(group.id()).isEmpty())
            continue;
        separateOnce();
        auto* sub = new QMenu(group.groupName(), menu);
        sub->setProperty(GroupIdProperty, group.id());
        sub->setProperty(RouteItemsProperty, menu->property(RouteItemsProperty));
        connect(sub, &QMenu::aboutToShow, this, [this, sub] { menuNeedsUpdate(sub); });
        menu->addMenu(sub);
    }
}

bool KELCodeClipMenus::menuHasKeyEquivalent(const QKeyEvent* event)
{
    if (!event || event->modifiers() != Qt::ControlModifier)
        return false;
    if (event->key() < Qt::Key_0 || event->key() > Qt::Key_9)
        return false;
    const QList<KELCodeClip> clips = KELCodeClipsManager::sharedInstance().findClipsWithCommand(event->key() - Qt::Key_0);
    if (clips.isEmpty())
        return false;
    kit::ActionRouter& router = kit::ActionRouter::shared();
    if (!router.targetForAction(InsertCodeClipAction))
        return false;
    QAction* item = menuItemForClip(clips.first(), this);
    const bool sent = router.sendAction(InsertCodeClipAction, item);
    item->deleteLater();
    return sent;
}

bool KELCodeClipMenus::eventFilter(QObject* watched, QEvent* event)
{
    // Only the window's own delivery: the same event also passes every parent.
    if ((event->type() == QEvent::ShortcutOverride || event->type() == QEvent::KeyPress) && watched->isWidgetType()
        && watched == QApplication::focusWidget()) {
        auto* key = static_cast<QKeyEvent*>(event);
        if (key->modifiers() == Qt::ControlModifier && key->key() >= Qt::Key_0 && key->key() <= Qt::Key_9
            && !KELCodeClipsManager::sharedInstance().findClipsWithCommand(key->key() - Qt::Key_0).isEmpty()) {
            if (event->type() == QEvent::ShortcutOverride) {
                // Keep the key from menus and other shortcuts: it arrives as a key press.
                event->accept();
                return true;
            }
            if (menuHasKeyEquivalent(key))
                return true;
        }
    }
    return QObject::eventFilter(watched, event);
}
