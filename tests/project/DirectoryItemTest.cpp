#include "project/DirectoryItem.h"

#include "ProjectTestSupport.h"
#include "support/DefaultsKeys.h"
#include "document/KELFilePrefsManager.h"
#include "document/MyDocument.h"
#include "document/MyDocumentController.h"
#include "kit/UserDefaults.h"
#include "project/ProjectServices.h"
#include "support/KELExtensionType.h"
#include "support/KELFileTypeManager.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QTemporaryDir>

using projecttest::makeTree;
using projecttest::writeFile;

namespace {

class DirectoryItemTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        kit::UserDefaults::standard().resetForTesting();
        kit::UserDefaults::standard().setValue(KELDefaultFileExtensionKey, QStringLiteral("html"));
        ProjectServices::shared() = ProjectServices::plainServices();
        root = dir.path();
    }
    void TearDown() override { KELFileTypeManager::sharedInstance().resetToDefaults(); }

    static QStringList names(const DirectoryItem& item)
    {
        QStringList list;
        for (DirectoryItem* child : item.containedItems())
            list << child->itemName();
        return list;
    }

    QTemporaryDir dir;
    QString root;
};

TEST_F(DirectoryItemTest, ListingLeavesOutDotFilesTemporaryFilesAndHiddenTypes)
{
    auto& types = KELFileTypeManager::sharedInstance();
    KELFileTypeManager::ExtensionTypeList list = types.allExtensionTypes();
    list.prepend(std::make_shared<KELExtensionType>(QStringLiteral("bak"), KELHiddenTypeName));
    types.setExtensionTypes(list);
    makeTree(root, {".git/", ".htaccess", "KelpStudioTemp_000001.html", "KELPendrakeTemp.css", "old.bak", "index.html",
                    "images/"});
    DirectoryItem item(root);
    EXPECT_TRUE(item.updateContainedItems());
    EXPECT_EQ(names(item), (QStringList{"images", "index.html"}));
}

TEST_F(DirectoryItemTest, DisplayOrderIgnoresCaseAndReadsNumbers)
{
    makeTree(root, {"Page10.html", "page2.html", "Images/", "a.html", "A.html"});
    DirectoryItem item(root);
    item.updateContainedItems();
    // Names that differ only in case are two nodes.
    EXPECT_EQ(names(item), (QStringList{"A.html", "a.html", "Images", "page2.html", "Page10.html"}));
}

TEST_F(DirectoryItemTest, RefreshKeepsNodesAndReportsOnlyRealChanges)
{
    makeTree(root, {"a.html", "b/", "b/c.html"});
    DirectoryItem item(root);
    item.updateContainedItems();
    DirectoryItem* a = item.containedItemWithName("a.html");
    DirectoryItem* b = item.containedItemWithName("b");
    ASSERT_TRUE(a && b);
    EXPECT_FALSE(item.updateContainedItems()) << "an unchanged folder reports no change";

    writeFile(root + "/A.html");
    EXPECT_TRUE(item.updateContainedItems());
    EXPECT_EQ(item.containedItemWithName("a.html"), a);
    EXPECT_EQ(item.containedItemWithName("b"), b);
    EXPECT_NE(item.containedItemWithName("A.html"), nullptr);
    EXPECT_EQ(item.childCount(), 3);

    QFile::remove(root + "/a.html");
    EXPECT_TRUE(item.updateContainedItems());
    EXPECT_EQ(item.containedItemWithName("a.html"), nullptr);
    EXPECT_EQ(item.containedItemWithName("A.html")->row(), 0);
    EXPECT_EQ(item.containedItemWithName("b")->row(), 1);
}

TEST_F(DirectoryItemTest, VanishedFolderKeepsItsChildrenUntilItsParentDropsIt)
{
    makeTree(root, {"site/", "site/index.html"});
    DirectoryItem item(root);
    DirectoryItem* site = item.itemForPath(root + "/site");
    ASSERT_TRUE(site);
    site->updateContainedItems();
    QDir(root + "/site").removeRecursively();
    EXPECT_FALSE(site->updateContainedItems());
    EXPECT_EQ(site->childCount(), 1);
    EXPECT_TRUE(item.updateContainedItems());
    EXPECT_EQ(item.childCount(), 0);
}

TEST_F(DirectoryItemTest, LookupByPathIsExactAndReportsReading)
{
    makeTree(root, {"Site/index.html", "Site/INDEX.HTML"});
    DirectoryItem item(root);
    item.updateContainedItems();
    bool updated = false;
    DirectoryItem* lower = item.itemForPath(root + "/Site/index.html", &updated);
    ASSERT_TRUE(lower);
    EXPECT_TRUE(updated) << "the folder Site had to be read";
    EXPECT_EQ(lower->itemName(), "index.html");
    updated = false;
    DirectoryItem* upper = item.itemForPath(root + "/Site/INDEX.HTML", &updated);
    ASSERT_TRUE(upper);
    EXPECT_NE(upper, lower);
    EXPECT_FALSE(updated);
    EXPECT_EQ(item.itemForPath(root + "/site/index.html"), nullptr) << "another letter case is another path";
    EXPECT_EQ(item.itemForPath(root + "/Site/missing.html"), nullptr);
    EXPECT_EQ(item.itemForPath(QFileInfo(root).absolutePath()), nullptr);
    EXPECT_EQ(item.itemForPath(root), &item);
}

TEST_F(DirectoryItemTest, RenameResults)
{
    makeTree(root, {"index.html", "Index.html", "other.html", "page.html"});
    DirectoryItem item(root);
    item.updateContainedItems();
    DirectoryItem* page = item.containedItemWithName("page.html");
    ASSERT_TRUE(page);

    EXPECT_EQ(page->setName("page.html"), DirectoryItem::RenameDone);
    EXPECT_EQ(page->setName(""), DirectoryItem::RenameEmptyName);
    EXPECT_EQ(page->setName("other.html"), DirectoryItem::RenameNameExists);
    EXPECT_TRUE(QFile::exists(root + "/page.html"));

    // A case-only rename onto an existing file of that name never replaces it.
    DirectoryItem* index = item.containedItemWithName("index.html");
    ASSERT_TRUE(index);
    EXPECT_EQ(index->setName("Index.html"), DirectoryItem::RenameNameExists);
    QFile existing(root + "/Index.html");
    ASSERT_TRUE(existing.open(QIODevice::ReadOnly));
    EXPECT_EQ(existing.readAll(), QByteArray("<p>x</p>\n"));

    EXPECT_EQ(page->setName("PAGE.html"), DirectoryItem::RenameDone);
    EXPECT_EQ(page->path(), root + "/PAGE.html");
    EXPECT_TRUE(QFile::exists(root + "/PAGE.html"));
    EXPECT_FALSE(QFile::exists(root + "/page.html"));

    EXPECT_EQ(page->setName("a/b.html"), DirectoryItem::RenameDone);
    EXPECT_TRUE(QFile::exists(root + "/a:b.html"));
}

TEST_F(DirectoryItemTest, FailedMoveGivesRenameErrorAndKeepsThePath)
{
    makeTree(root, {"page.html"});
    DirectoryItem item(root);
    item.updateContainedItems();
    DirectoryItem* page = item.containedItemWithName("page.html");
    ProjectServices::shared().movePath = [](const QString&, const QString&, kit::Error*) { return false; };
    EXPECT_EQ(page->setName("new.html"), DirectoryItem::RenameFailed);
    EXPECT_EQ(page->path(), root + "/page.html");
}

TEST_F(DirectoryItemTest, RenamedFolderCarriesItsChildren)
{
    makeTree(root, {"zeta/", "zeta/x.html", "b.html"});
    DirectoryItem item(root);
    DirectoryItem* x = item.itemForPath(root + "/zeta/x.html");
    DirectoryItem* zeta = item.containedItemWithName("zeta");
    ASSERT_TRUE(x && zeta);
    EXPECT_EQ(zeta->setName("alpha"), DirectoryItem::RenameDone);
    EXPECT_EQ(x->path(), root + "/alpha/x.html");
    // A refresh keeps the renamed node and moves it to its sorted place.
    item.updateContainedItems();
    EXPECT_EQ(item.containedItemWithName("alpha"), zeta);
    EXPECT_EQ(zeta->row(), 0);
}

TEST_F(DirectoryItemTest, UntitledNamesSkipTakenOnes)
{
    makeTree(root, {"Untitled.html", "Untitled3.html", "Untitled"});
    DirectoryItem item(root);
    DirectoryItem* file = item.createUntitledDocument();
    ASSERT_TRUE(file);
    EXPECT_EQ(file->itemName(), "Untitled2.html");
    DirectoryItem* next = item.createUntitledDocument();
    ASSERT_TRUE(next);
    EXPECT_EQ(next->itemName(), "Untitled4.html");
    DirectoryItem* folder = item.createUntitledFolder();
    ASSERT_TRUE(folder);
    EXPECT_EQ(folder->itemName(), "Untitled2");
    EXPECT_TRUE(folder->isFolder());
}

TEST_F(DirectoryItemTest, UntitledNameNeverOverwritesAnUnlistedFile)
{
    // Dot files and hidden types are not in the tree but still on disk.
    kit::UserDefaults::standard().setValue(KELDefaultFileExtensionKey, QString());
    makeTree(root, {"Untitled"});
    DirectoryItem item(root);
    DirectoryItem* file = item.createUntitledDocument();
    ASSERT_TRUE(file);
    EXPECT_EQ(file->itemName(), "Untitled2");
}

TEST_F(DirectoryItemTest, PlacesAndFilePathsCoverTheWholeSubtree)
{
    makeTree(root, {"index.html", "css/site.css", "css/deep/more.css", "logo.png"});
    writeFile(root + "/logo.png", "not really");
    DirectoryItem item(root);
    const QStringList files = item.allFilePaths();
    EXPECT_EQ(files.size(), 4);
    // Images are not text documents.
    const auto contents = item.allDocumentsAndPlaceholders();
    QStringList paths;
    for (const auto& c : contents)
        paths << c->fileURL().toLocalFile();
    EXPECT_EQ(paths, (QStringList{root + "/css/deep/more.css", root + "/css/site.css", root + "/index.html"}));
}

TEST_F(DirectoryItemTest, UpdateItemsOnPathReadsOnlyTheWayDown)
{
    makeTree(root, {"a/b/c.html", "other/x.html"});
    DirectoryItem item(root);
    DirectoryItem* b = item.itemForPath(root + "/a/b");
    DirectoryItem* other = item.containedItemWithName("other");
    ASSERT_TRUE(b && other);
    EXPECT_FALSE(other->hasUpdatedContainedItems());
    writeFile(root + "/a/b/new.html");
    EXPECT_TRUE(item.updateItemsOnPath(root + "/a/b/new.html"));
    EXPECT_NE(b->containedItemWithName("new.html"), nullptr);
    EXPECT_FALSE(other->hasUpdatedContainedItems());
}

} // namespace
