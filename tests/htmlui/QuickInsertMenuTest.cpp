// The Symbols menu shows every Quick Insert entry by its own name, "&" included: a
// menu would otherwise take the ampersand for the mark of a shortcut letter.

#include "app/RegisteredDefaults.h"
#include "html/QuickInsertItem.h"
#include "html/QuickInsertManager.h"
#include "htmlui/QuickInsertMenu.h"
#include "kit/UserDefaults.h"

#include <QAction>
#include <QMenu>
#include <gtest/gtest.h>

namespace {

// The names a menu shows: its items' texts without mnemonic marks, folders by title.
void collect(const QMenu* menu, QStringList& shown)
{
    for (const QAction* action : menu->actions()) {
        if (action->isSeparator())
            continue;
        shown.append(action->iconText());
        if (action->menu())
            collect(action->menu(), shown);
    }
}

void collect(const QuickInsertItem* item, QStringList& names)
{
    for (const auto& child : item->subItems()) {
        names.append(child->name());
        if (child->isFolder())
            collect(child.get(), names);
    }
}

} // namespace

TEST(QuickInsertMenuTest, EntriesShowTheirNamesAmpersandsIncluded)
{
    kit::UserDefaults::standard().resetForTesting();
    KELRegisterDefaults();
    QuickInsertManager::resetSharedInstanceForTesting();
    QuickInsertManager& manager = QuickInsertManager::sharedInstance();
    QuickInsertItem* added = manager.addQuickInsert(nullptr);
    ASSERT_TRUE(manager.setValue(added, 0, QStringLiteral("R&D &amp; more")));

    QStringList names { QStringLiteral("Symbols") };
    collect(manager.rootItem(), names);
    ASSERT_TRUE(names.contains(QStringLiteral("&"))) << "the factory entries hold the ampersand";
    QStringList shown;
    collect(QuickInsertMenu::quickInsertMenu(), shown);
    EXPECT_EQ(shown, names);
    QuickInsertManager::resetSharedInstanceForTesting();
}
