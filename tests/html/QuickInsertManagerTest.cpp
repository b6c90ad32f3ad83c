// Quick Insert: the factory tree, moving items by dragging, and the tree kept in
// the defaults after every edit.

#include "support/DefaultsKeys.h"
#include "html/QuickInsertManager.h"
#include "kit/UserDefaults.h"

#include <gtest/gtest.h>

namespace {

class QuickInsertManagerTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        kit::UserDefaults::standard().resetForTesting();
        kit::UserDefaults::standard().registerDefaults(
            { { KELQuickInsertItemsKey, QuickInsertManager::defaultItemsArchive() } });
        QuickInsertManager::resetSharedInstanceForTesting();
    }
    void TearDown() override { QuickInsertManager::resetSharedInstanceForTesting(); }
};

const QuickInsertItem* child(const QuickInsertItem* folder, const QString& name)
{
    for (const auto& c : folder->subItems())
        if (c->name() == name)
            return c.get();
    return nullptr;
}

QStringList namesOf(const QuickInsertItem* folder)
{
    QStringList names;
    for (const auto& c : folder->subItems())
        names.append(c->name());
    return names;
}

TEST_F(QuickInsertManagerTest, FactoryTreeHasItsFoldersLeavesAndNames)
{
    const auto root = QuickInsertManager::defaultItems();
    EXPECT_EQ(root->name(), QStringLiteral("Symbols"));
    const struct {
        const char* folder;
        size_t leaves;
    } folders[] = { { "International Vowels (lowercase)", 23 }, { "International Vowels (uppercase)", 23 },
        { "International Letters", 14 }, { "Punctuation", 12 }, { "Mathematics", 25 }, { "Mathematics 2", 24 },
        { "Greek (lowercase)", 25 }, { "Greek (uppercase)", 24 } };
    ASSERT_EQ(root->subItems().size(), std::size(folders));
    size_t total = 0;
    for (size_t i = 0; i < std::size(folders); ++i) {
        EXPECT_EQ(root->subItems()[i]->name(), QString::fromUtf8(folders[i].folder));
        EXPECT_EQ(root->subItems()[i]->subItems().size(), folders[i].leaves) << folders[i].folder;
        for (const auto& leaf : root->subItems()[i]->subItems()) {
            EXPECT_TRUE(leaf->text().startsWith(QLatin1Char('&')) && leaf->text().endsWith(QLatin1Char(';')));
            EXPECT_EQ(leaf->parent(), root->subItems()[i].get());
        }
        total += folders[i].leaves;
    }
    EXPECT_EQ(total, 170u);

    // Leaf name, text, by folder and position: the literal names and the leaves out of turn.
    const struct {
        int folder, leaf;
        const char* name;
        const char* text;
    } leaves[] = { { 0, 0, "à", "&agrave;" }, { 0, 10, "ì", "&igrave;" }, { 0, 13, "ï", "&iuml;" },
        { 0, 14, "ò", "&ograve;" }, { 0, 18, "ö", "&ouml;" }, { 3, 0, "\"", "&quot;" }, { 3, 1, "&", "&amp;" },
        { 3, 2, "Trademark", "&trade;" }, { 3, 3, "Nonbreaking Space", "&nbsp;" }, { 3, 4, "¡", "&iexcl;" },
        { 4, 3, "¹ (superscript 1)", "&sup1;" }, { 5, 23, "⋅ (dot operator)", "&sdot;" },
        { 7, 23, "Ω", "&Omega;" } };
    for (const auto& l : leaves) {
        const QuickInsertItem* item = root->subItems()[size_t(l.folder)]->subItems()[size_t(l.leaf)].get();
        EXPECT_EQ(item->name(), QString::fromUtf8(l.name)) << l.text;
        EXPECT_EQ(item->text(), QString::fromUtf8(l.text));
    }
}

TEST_F(QuickInsertManagerTest, DropsNeverGoIntoTheDraggedFolderAndLeavesTakeDropsAfterThem)
{
    QuickInsertManager& m = QuickInsertManager::sharedInstance();
    QuickInsertItem* root = m.rootItem();
    QuickInsertItem* greek = root->subItems()[6].get();
    QuickInsertItem* math = root->subItems()[4].get();
    QuickInsertItem* alpha = greek->subItems()[0].get();

    QuickInsertItem* target = greek;
    qsizetype index = -1;
    EXPECT_FALSE(m.validateDrop({ greek }, &target, &index)); // into itself
    target = alpha;
    EXPECT_FALSE(m.validateDrop({ greek }, &target, &index)); // onto its own leaf
    target = math->subItems()[2].get();
    index = -1;
    EXPECT_TRUE(m.validateDrop({ alpha }, &target, &index));
    EXPECT_EQ(target, math);
    EXPECT_EQ(index, 3);
    target = nullptr;
    EXPECT_TRUE(m.validateDrop({ greek }, &target, &index));

    const QList<QuickInsertItem*> moved = m.acceptDrop({ alpha }, math, 3);
    ASSERT_EQ(moved.size(), 1);
    EXPECT_EQ(math->subItems()[3]->name(), QStringLiteral("α"));
    EXPECT_EQ(moved.first()->parent(), math);
    EXPECT_FALSE(child(greek, QStringLiteral("α")));

    // A folder dragged with one of its own leaves is moved once, its leaf with it.
    QuickInsertItem* beta = greek->subItems()[0].get();
    const QList<QuickInsertItem*> folderMoved = m.acceptDrop({ greek, beta }, math, -1);
    ASSERT_EQ(folderMoved.size(), 1);
    QuickInsertItem* movedGreek = folderMoved.first();
    EXPECT_EQ(math->subItems().back().get(), movedGreek);
    EXPECT_EQ(movedGreek->subItems().front()->name(), QStringLiteral("β"));
    EXPECT_EQ(root->subItems().size(), 7u);
    // Its links are whole: items are added and deleted inside it at once.
    QuickInsertItem* added = m.addQuickInsert(movedGreek->subItems().front().get());
    EXPECT_EQ(added->parent(), movedGreek);
    m.deleteItems({ movedGreek->subItems().front().get() });
    EXPECT_EQ(movedGreek->subItems().front()->name(), QStringLiteral("γ"));
}

TEST_F(QuickInsertManagerTest, EveryEditIsStoredAtOnce)
{
    QuickInsertManager& m = QuickInsertManager::sharedInstance();
    EXPECT_FALSE(m.hasChanged());
    QuickInsertItem* folder = m.addQuickInsertFolder();
    EXPECT_TRUE(m.hasChanged());
    EXPECT_TRUE(m.setValue(folder, 0, QStringLiteral("Arrows")));
    EXPECT_FALSE(m.setValue(folder, 1, QStringLiteral("text"))); // a folder has no text
    QuickInsertItem* leaf = m.addQuickInsert(folder);
    m.setValue(leaf, 0, QStringLiteral("→"));
    m.setValue(leaf, 1, QStringLiteral("&rarr;"));

    // A new manager (a later run) reads what was stored, links and all.
    QuickInsertManager::resetSharedInstanceForTesting();
    QuickInsertItem* root = QuickInsertManager::sharedInstance().rootItem();
    const QuickInsertItem* arrows = child(root, QStringLiteral("Arrows"));
    ASSERT_TRUE(arrows);
    EXPECT_EQ(namesOf(arrows), QStringList { QStringLiteral("→") });
    EXPECT_EQ(arrows->subItems().front()->text(), QStringLiteral("&rarr;"));
    EXPECT_EQ(arrows->subItems().front()->parent(), arrows);
    EXPECT_EQ(arrows->parent(), root);

    // A stored value that is not a tree gives the factory tree.
    kit::UserDefaults::standard().setValue(KELQuickInsertItemsKey, QStringLiteral("broken"));
    QuickInsertManager::resetSharedInstanceForTesting();
    EXPECT_EQ(QuickInsertManager::sharedInstance().rootItem()->subItems().size(), 8u);
}

} // namespace
