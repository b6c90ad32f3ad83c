#include "project/ProjectOutlineView.h"

#include "ProjectTestSupport.h"
#include "support/DefaultsKeys.h"
#include "document/KELFilePrefsManager.h"
#include "document/MyDocument.h"
#include "document/MyDocumentController.h"
#include "kit/Alert.h"
#include "kit/UserDefaults.h"
#include "project/DirectoryItem.h"
#include "project/ProjectDocumentController.h"
#include "project/ProjectOutlineModel.h"
#include "project/ProjectServices.h"
#include "project/ProjectSystem.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QClipboard>
#include <QCoreApplication>
#include <QLineEdit>
#include <QMainWindow>
#include <QMenu>
#include <QTemporaryDir>
#include <QTest>

using projecttest::makeTree;

namespace {

class ProjectOutlineViewTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        root = dir.path();
        kit::UserDefaults::standard().resetForTesting();
        kit::UserDefaults::standard().setValue(KELDefaultFileExtensionKey, QStringLiteral("html"));
        KELFilePrefsManager::resetSharedForTesting();
        kit::DocumentController::resetSharedForTesting();
        DocumentWindowController::setFadeDurationForTesting(0);
        controller = new MyDocumentController(QCoreApplication::instance());
        KELInstallProjectServices();
        ProjectServices::shared() = ProjectServices::plainServices();
        ProjectServices::shared().moveToTrash = [this](const QList<QUrl>& urls, QStringList*) {
            for (const QUrl& url : urls) {
                trashed << url.toLocalFile();
                QFileInfo(url.toLocalFile()).isDir() ? QDir(url.toLocalFile()).removeRecursively() : QFile::remove(url.toLocalFile());
            }
            return QList<QUrl>();
        };
        kit::Alert::setResponderForTesting([this](const kit::Alert& alert) {
            alerts << alert.messageText() + " | " + alert.informativeText();
            return answer;
        });
    }
    void TearDown() override
    {
        for (DocumentWindowController* window : controller->projectDocuments())
            window->closeWindowNow();
        kit::Alert::setResponderForTesting(nullptr);
        kit::DocumentController::resetSharedForTesting();
    }
    ProjectDocumentController* open()
    {
        project = ProjectDocumentController::openProject(root, true);
        view = project->fileOutlineView();
        return project;
    }
    void select(const QStringList& paths)
    {
        view->selectionModel()->clearSelection();
        for (const QString& path : paths) {
            DirectoryItem* item = project->itemForPath(root + "/" + path);
            ASSERT_TRUE(item) << path.toStdString();
            for (DirectoryItem* p = item->parent(); p && p->parent(); p = p->parent())
                view->expand(project->outlineModel()->indexForItem(p));
            view->selectionModel()->select(project->outlineModel()->indexForItem(item), QItemSelectionModel::Select | QItemSelectionModel::Rows);
            view->selectionModel()->setCurrentIndex(project->outlineModel()->indexForItem(item), QItemSelectionModel::NoUpdate);
        }
    }

    QTemporaryDir dir;
    QString root;
    MyDocumentController* controller = nullptr;
    ProjectDocumentController* project = nullptr;
    ProjectOutlineView* view = nullptr;
    QStringList alerts;
    QStringList trashed;
    int answer = kit::Alert::FirstButtonReturn;
};

TEST_F(ProjectOutlineViewTest, MoveToTrashAsksWithTheRightQuestion)
{
    makeTree(root, {"site/a.html", "site/b.html", "c.html", "d.html"});
    ASSERT_TRUE(open());
    struct Case {
        QStringList selection;
        const char* question;
    };
    const Case cases[] = {
        {{"site", "site/a.html"}, "Are you sure that you want to move 'site' and all of its contents to the Trash?"},
        {{"c.html"}, "Are you sure that you want to move 'c.html' to the Trash?"},
        {{"c.html", "d.html"}, "Are you sure that you want to move the selected items and their contents to the Trash?"},
    };
    answer = kit::Alert::SecondButtonReturn; // Cancel: nothing happens
    for (const Case& c : cases) {
        alerts.clear();
        select(c.selection);
        view->deleteSelection();
        ASSERT_EQ(alerts.size(), 1);
        EXPECT_EQ(alerts.first(), QStringLiteral("Confirm Delete | ") + QString::fromLatin1(c.question));
    }
    EXPECT_TRUE(trashed.isEmpty());

    answer = kit::Alert::FirstButtonReturn;
    select({"site", "site/a.html"});
    QTest::keyClick(view, Qt::Key_Backspace);
    EXPECT_EQ(trashed, QStringList{root + "/site"});
    ASSERT_TRUE(QTest::qWaitFor([&] { return bool(!project->itemForPath(root + "/site")); }, 60000));
}

TEST_F(ProjectOutlineViewTest, TabRenamesOneRowOnly)
{
    makeTree(root, {"a.html", "b.html"});
    ASSERT_TRUE(open());
    view->setFocus();
    select({"a.html", "b.html"});
    QTest::keyClick(view, Qt::Key_Tab);
    EXPECT_FALSE(view->isEditingName());
    select({"a.html"});
    QTest::keyClick(view, Qt::Key_Tab);
    EXPECT_TRUE(view->isEditingName());
    auto* editor = view->findChild<QLineEdit*>();
    ASSERT_TRUE(editor);
    editor->selectAll();
    QTest::keyClicks(editor, "renamed.html");
    QTest::keyClick(editor, Qt::Key_Return);
    EXPECT_FALSE(view->isEditingName());
    EXPECT_TRUE(QFile::exists(root + "/renamed.html"));
    EXPECT_EQ(view->selectedPath(), root + "/renamed.html") << "the same row stays selected";
}

TEST_F(ProjectOutlineViewTest, AddNewFileBesideTheSelectedFileAndStartRenaming)
{
    makeTree(root, {"sub/page.html"});
    ASSERT_TRUE(open());
    select({"sub/page.html"});
    view->addNewFile();
    EXPECT_TRUE(QFile::exists(root + "/sub/Untitled.html"));
    EXPECT_EQ(view->selectedPath(), root + "/sub/Untitled.html");
    EXPECT_TRUE(view->isEditingName());
    view->selectionModel()->clearSelection();
    view->addNewFolder();
    EXPECT_TRUE(QFileInfo(root + "/Untitled").isDir());
}

TEST_F(ProjectOutlineViewTest, MenuItemsFollowTheSelection)
{
    makeTree(root, {"page.html", "data.bin", "sub/"});
    QFile binary(root + "/data.bin");
    ASSERT_TRUE(binary.open(QIODevice::WriteOnly));
    binary.write(QByteArray("\x00\x01\x02\x03", 4));
    binary.close();
    ASSERT_TRUE(open());
    view->selectionModel()->clearSelection();
    for (const char* action : {"getInfo:", "rename:", "delete:", "copy:", "openAsText:", "saveSelectedDocument:"})
        EXPECT_FALSE(view->validateMenuItem(QString::fromLatin1(action))) << action;
    EXPECT_TRUE(view->validateMenuItem("collapseAll:"));
    select({"page.html"});
    for (const char* action : {"getInfo:", "rename:", "delete:", "copy:", "openAsText:", "previewSelected:"})
        EXPECT_TRUE(view->validateMenuItem(QString::fromLatin1(action))) << action;
    select({"data.bin"});
    EXPECT_FALSE(view->validateMenuItem("saveSelectedDocument:"));
    EXPECT_TRUE(view->validateMenuItem("openAsText:"));
    select({"sub"});
    EXPECT_FALSE(view->validateMenuItem("openAsText:"));

    QApplication::clipboard()->clear();
    EXPECT_FALSE(view->validateMenuItem("paste:"));
    select({"page.html"});
    view->copy();
    EXPECT_TRUE(view->validateMenuItem("paste:"));
    view->paste();
    EXPECT_TRUE(QFile::exists(root + "/page copy.html"));

    std::unique_ptr<QMenu> menu(view->makeRightClickMenu(nullptr));
    QStringList titles;
    for (QAction* action : menu->actions())
        if (!action->isSeparator())
            titles << action->text();
    EXPECT_EQ(titles, (QStringList{"Add New File", "Add New Folder", "Collapse All Folders", "Get Info", "Open As Text",
                                   "Open With…", "Show In File Manager", "Save", "Save As…", "Rename", "Move to Trash",
                                   "Preview", "Live Preview"}));
}

TEST_F(ProjectOutlineViewTest, BinaryFilesAreDimmed)
{
    makeTree(root, {"page.html", "data.bin", "sub/"});
    QFile binary(root + "/data.bin");
    ASSERT_TRUE(binary.open(QIODevice::WriteOnly));
    binary.write(QByteArray("\x00\x01\x02\x03", 4));
    binary.close();
    ASSERT_TRUE(open());
    ProjectOutlineModel* model = project->outlineModel();
    auto openable = [&](const QString& name) {
        return model->indexForItem(project->itemForPath(root + "/" + name)).data(ProjectOutlineModel::OpenableRole).toBool();
    };
    EXPECT_TRUE(openable("page.html"));
    EXPECT_TRUE(openable("sub"));
    EXPECT_FALSE(openable("data.bin"));
}

QStringList expandedPaths(const ProjectOutlineView* view, const QString& root)
{
    QStringList paths;
    for (const DirectoryItem* item : view->expandedItemSet())
        paths << item->path().mid(root.size() + 1);
    paths.sort();
    return paths;
}

TEST_F(ProjectOutlineViewTest, StarOpensEveryFolderBelowAndOnlyFoldersAreRemembered)
{
    makeTree(root, {"a/b/c/d.html", "a/b/e.html", "a/f/g.html", "z/y.html", "top.html"});
    ASSERT_TRUE(open());
    const QString key = ProjectDocumentController::expandedItemsDefaultsKey(root);
    select({"a"});
    QTest::keyClick(view, Qt::Key_Asterisk);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !view->isExpanding(); }, 10000));
    const QStringList folders{"a", "a/b", "a/b/c", "a/f"};
    EXPECT_EQ(expandedPaths(view, root), folders);
    for (const QString& folder : folders)
        EXPECT_TRUE(project->watchedFolders().contains(root + "/" + folder)) << folder.toStdString();
    // Files are never expanded; the list is saved once the rows stop changing.
    EXPECT_FALSE(view->isExpanded(project->outlineModel()->indexForItem(project->itemForPath(root + "/a/b/e.html"))));
    QStringList saved;
    for (const QString& folder : folders)
        saved << root + "/" + folder;
    QTest::qWaitFor([&] { return kit::UserDefaults::standard().stringListValue(key) == saved; }, 10000);
    ASSERT_EQ(kit::UserDefaults::standard().stringListValue(key), saved);

    // A list kept the old way (files too, in row order, paths gone since) opens its folders.
    project->closeWindowNow();
    QCoreApplication::processEvents();
    kit::UserDefaults::standard().setValue(key, QStringList{root + "/a", root + "/a/b/e.html", root + "/gone", root + "/a/f",
                                                             root + "/a/f/g.html", root + "/top.html"});
    ASSERT_TRUE(open());
    ASSERT_TRUE(QTest::qWaitFor([&] { return !view->isExpanding(); }, 10000));
    EXPECT_EQ(expandedPaths(view, root), (QStringList{"a", "a/f"}));
}

TEST_F(ProjectOutlineViewTest, FoldersChangedBehindTheProgramsBackLeaveTheExpandedRows)
{
    makeTree(root, {"a/b/x.html", "c/d/y.html", "e.html"});
    ASSERT_TRUE(open());
    select({"a/b/x.html", "c/d/y.html"});
    ASSERT_TRUE(QTest::qWaitFor([&] { return !view->isExpanding(); }, 10000));
    ASSERT_EQ(expandedPaths(view, root), (QStringList{"a", "a/b", "c", "c/d"}));

    // Removed and renamed while shown: their rows, watches and expanded state go.
    ASSERT_TRUE(QDir(root + "/a/b").removeRecursively());
    ASSERT_TRUE(QDir().rename(root + "/c", root + "/renamed"));
    ASSERT_TRUE(QTest::qWaitFor([&] { return project->itemForPath(root + "/renamed") && !project->itemForPath(root + "/c"); }, 10000));
    QTest::qWaitFor([&] { return expandedPaths(view, root) == QStringList{"a"}; }, 10000);
    ASSERT_EQ(expandedPaths(view, root), QStringList{"a"});
    QStringList watched = project->watchedFolders();
    watched.sort();
    EXPECT_EQ(watched, (QStringList{root, root + "/a"}));
}

} // namespace
