#include "project/ProjectFileIndex.h"

#include "ProjectFixture.h"
#include "ProjectTestSupport.h"
#include "document/KELFilePrefsManager.h"
#include "document/MyDocumentController.h"
#include "kit/UserDefaults.h"
#include "project/DirectoryItem.h"
#include "project/ProjectDocumentController.h"
#include "project/ProjectOutlineModel.h"
#include "project/ProjectServices.h"
#include "project/ProjectSystem.h"
#include "support/KELExtensionType.h"
#include "support/KELFileTypeManager.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <thread>

using projecttest::makeTree;
using projecttest::writeFile;

namespace {

class ProjectFileIndexTest : public projecttest::ProjectFixture {
protected:
    void SetUp() override
    {
        ProjectFixture::SetUp();
        if (HasFatalFailure())
            return;
    }
    void TearDown() override
    {
        ProjectFixture::TearDown();
        KELFileTypeManager::sharedInstance().resetToDefaults();
    }
    QStringList files(const ProjectFileIndex& index) const
    {
        QStringList list;
        const std::shared_ptr<const QStringList> paths = index.reader().files();
        for (const QString& path : *paths)
            list << path.mid(root.size() + 1);
        return list;
    }

};

TEST_F(ProjectFileIndexTest, ListsFilesDepthFirstInTheTreesOrderByTheTreesRules)
{
    auto& types = KELFileTypeManager::sharedInstance();
    KELFileTypeManager::ExtensionTypeList list = types.allExtensionTypes();
    list.prepend(std::make_shared<KELExtensionType>(QStringLiteral("bak"), KELHiddenTypeName));
    types.setExtensionTypes(list);
    makeTree(root, {"index.html", "Page10.html", "page2.html", "b/z.css", "b/a.js", ".git/config", ".htaccess",
                    "KelpStudioTemp_000001.html", "old.bak", "Images/logo.png", "empty/"});
    // A link back up the tree is listed once, not without end.
    ASSERT_TRUE(QFile::link(root, root + "/b/loop"));

    ProjectFileIndex index(root);
    EXPECT_FALSE(index.isReady());
    index.prepare();
    ASSERT_TRUE(QTest::qWaitFor([&] { return index.isReady(); }, 10000));
    EXPECT_EQ(files(index), (QStringList{"b/a.js", "b/z.css", "Images/logo.png", "index.html", "page2.html", "Page10.html"}));

    // A reader on another thread walks the disk as it is now, in the same order, and
    // may stop on the way; a walk to the end is kept.
    writeFile(root + "/b/new.html");
    QStringList walked;
    QStringList stopped;
    std::thread([reader = index.reader(), &walked, &stopped] {
        reader.walk([&stopped](const QString& path) {
            stopped << path;
            return stopped.size() < 2;
        });
        reader.walk([&walked](const QString& path) {
            walked << path;
            return true;
        });
    }).join();
    EXPECT_EQ(stopped.size(), 2);
    EXPECT_EQ(walked.size(), 7);
    EXPECT_EQ(walked.value(1), root + "/b/new.html");
    EXPECT_EQ(*index.reader().files(), walked);
    EXPECT_EQ(index.reader().lastFileCount(), 7);
}

TEST_F(ProjectFileIndexTest, FollowsTheTreesListingsOfFoldersThatAppearAndGo)
{
    makeTree(root, {"index.html", "site/a.html", "old/one.html", "old/deep/two.html"});
    ProjectDocumentController* project = ProjectDocumentController::openProject(root, true);
    ASSERT_TRUE(project);
    ProjectFileIndex* index = project->fileIndex();
    index->prepare();
    ASSERT_TRUE(QTest::qWaitFor([&] { return index->isReady(); }, 10000));
    project->fileOutlineView()->expand(project->outlineModel()->indexForItem(project->itemForPath(root + "/site")));

    // A file added in a shown folder, a folder moved in whole, a folder gone.
    writeFile(root + "/site/b.html");
    QTemporaryDir outside;
    makeTree(outside.path(), {"fresh/new.html", "fresh/inner/deeper.html"});
    ASSERT_TRUE(QDir().rename(outside.path() + "/fresh", root + "/fresh"));
    ASSERT_TRUE(QDir(root + "/old").removeRecursively());
    const QStringList expected{"fresh/inner/deeper.html", "fresh/new.html", "index.html", "site/a.html", "site/b.html"};
    QTest::qWaitFor([&] { return files(*index) == expected; }, 10000);
    ASSERT_EQ(files(*index), expected);
}

} // namespace
