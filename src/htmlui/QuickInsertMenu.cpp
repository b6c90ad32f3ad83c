#include "htmlui/QuickInsertMenu.h"

#include "html/QuickInsertManager.h"
#include "kit/ActionRouter.h"

#include <QMenu>

namespace {
// Menus read "&" as the mark of a shortcut letter; the entries for "&" and "&amp;" show
// their name as it is.
QString menuTitle(const QString& name)
{
    QString title = name;
    return title.replace(QLatin1Char('&'), QStringLiteral("&&"));
}

QMenu*& sharedMenu()
{
    static QMenu* menu = nullptr;
    return menu;
}
} // namespace

QMenu* QuickInsertMenu::menuFromItem(const QuickInsertItem* folder, QMenu* into)
{
    QMenu* menu = into ? into : new QMenu;
    menu->setTitle(menuTitle(folder->name()));
    for (const auto& child : folder->subItems()) {
        if (child->isFolder()) {
            QMenu* sub = menuFromItem(child.get(), new QMenu(menu));
            menu->addMenu(sub);
            continue;
        }
        QAction* item = menu->addAction(menuTitle(child->name()));
        item->setData(child->text());
        kit::ActionRouter::shared().attachAction(item, QStringLiteral("quickInsert:"));
    }
    return menu;
}

QMenu* QuickInsertMenu::quickInsertMenu()
{
    QuickInsertManager& manager = QuickInsertManager::sharedInstance();
    QMenu*& menu = sharedMenu();
    if (menu && !manager.hasChanged())
        return menu;
    if (!menu) {
        menu = new QMenu(QStringLiteral("Symbols"));
        kit::ActionRouter::shared().attachMenu(menu);
    }
    for (QAction* a : menu->actions()) {
        menu->removeAction(a);
        if (a->menu())
            a->menu()->deleteLater();
        if (a->parent() == menu)
            a->deleteLater();
    }
    QAction* title = menu->addAction(QStringLiteral("Symbols"));
    title->setEnabled(false);
    menuFromItem(manager.rootItem(), menu);
    menu->setTitle(QStringLiteral("Symbols"));
    for (QMenu* sub : menu->findChildren<QMenu*>())
        kit::ActionRouter::shared().attachMenu(sub);
    manager.resetHasChanged();
    return menu;
}
