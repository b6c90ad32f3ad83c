#include "project/ProjectDocumentController.h"

#include "ProjectFixture.h"
#include "ProjectTestSupport.h"
#include "support/DefaultsKeys.h"
#include "document/KELFilePrefsManager.h"
#include "document/MyDocument.h"
#include "document/MyDocumentController.h"
#include "document/Tab.h"
#include "document/TabView.h"
#include "document/TabbedEditorController.h"
#include "kit/Alert.h"
#include "kit/NotificationCenter.h"
#include "kit/UserDefaults.h"
#include "kit/document/WindowRestoration.h"
#include "project/DirectoryItem.h"
#include "project/ProjectOutlineModel.h"
#include "project/ProjectServices.h"
#include "project/ProjectSystem.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QMainWindow>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QPointer>
#include <QTest>

using projecttest::makeTree;
using projecttest::writeFile;

namespace {

class ProjectDocumentControllerTest : public projecttest::ProjectFixture {
protected:
    void SetUp() override
    {
        ProjectFixture::SetUp();
        if (HasFatalFailure())
            return;
        ProjectServices::shared().askToReplace = [this](const QList<ProjectFilePair>& pairs) { replacePairs += pairs; };
        kit::Alert::setResponderForTesting([this](const kit::Alert& alert) {
            alerts << alert.messageText() + " | " + alert.informativeText();
            return kit::Alert::FirstButtonReturn;
        });
    }
    void TearDown() override
    {
        ProjectFixture::TearDown();
        kit::Alert::setResponderForTesting(nullptr);
    }
    ProjectDocumentController* openProject()
    {
        kit::Error error;
        controller->openDocumentWithContentsOfURL(QUrl::fromLocalFile(root), true, &error);
        EXPECT_TRUE(error.isNull());
        return ProjectDocumentController::projectForDirectory(root);
    }
    static QStringList rowNames(ProjectOutlineModel* model, const QModelIndex& parent = QModelIndex())
    {
        QStringList list;
        for (int row = 0; row < model->rowCount(parent); ++row)
            list << model->index(row, 0, parent).data().toString();
        return list;
    }
    static QMimeData* urls(const QStringList& paths)
    {
        auto* data = new QMimeData;
        QList<QUrl> list;
        for (const QString& path : paths)
            list << QUrl::fromLocalFile(path);
        data->setUrls(list);
        return data;
    }

    QStringList alerts;
    QList<ProjectFilePair> replacePairs;
};

TEST_F(ProjectDocumentControllerTest, FolderOpensAsOneProjectWindowWithItsTree)
{
    makeTree(root, {"index.html", "css/site.css", ".git/config"});
    ProjectDocumentController* project = openProject();
    ASSERT_TRUE(project);
    EXPECT_EQ(controller->projectDocuments().size(), 1);
    EXPECT_TRUE(project->window()->isVisible());
    EXPECT_EQ(rowNames(project->outlineModel()), (QStringList{"css", "index.html"}));
    EXPECT_EQ(project->window()->windowTitle(), QFileInfo(root).fileName());
    EXPECT_EQ(controller->projectDocumentContainingPath(root + "/css/site.css"), project);

    // Opening the folder again brings the same window.
    EXPECT_EQ(openProject(), project);
    EXPECT_EQ(controller->projectDocuments().size(), 1);
}

TEST_F(ProjectDocumentControllerTest, ChangesOnDiskShowWhileTheWindowIsOpen)
{
    makeTree(root, {"index.html", "site/", "site/a.html"});
    ProjectDocumentController* project = openProject();
    ASSERT_TRUE(project);
    ProjectOutlineModel* model = project->outlineModel();
    const QModelIndex site = model->indexForItem(project->itemForPath(root + "/site"));
    project->fileOutlineView()->expand(site);
    EXPECT_TRUE(project->watchedFolders().contains(root + "/site"));

    writeFile(root + "/new.html");
    writeFile(root + "/site/b.html");
    ASSERT_TRUE(QTest::qWaitFor([&] { return bool(rowNames(model).contains("new.html")); }, 60000));
    ASSERT_TRUE(QTest::qWaitFor([&] { return bool(rowNames(model, site).contains("b.html")); }, 60000));

    // Expanded rows and the selection stay on their nodes across the refresh.
    project->selectFileInTree(root + "/site/a.html", false, false);
    QFile::remove(root + "/index.html");
    ASSERT_TRUE(QTest::qWaitFor([&] { return bool(!rowNames(model).contains("index.html")); }, 60000));
    EXPECT_TRUE(project->fileOutlineView()->isExpanded(model->indexForItem(project->itemForPath(root + "/site"))));
    EXPECT_EQ(project->fileOutlineView()->selectedPath(), root + "/site/a.html");
}

TEST_F(ProjectDocumentControllerTest, CopyNames)
{
    struct Case {
        const char* existing;
        const char* destination;
        bool folder;
        const char* expected;
    };
    const Case cases[] = {
        {"", "a.html", false, "a copy.html"},
        {"a copy.html", "a.html", false, "a copy 2.html"},
        {"", "a copy 3.html", false, "a copy 4.html"},
        {"", "a copy.html", false, "a copy 2.html"},
        {"", "f", true, "f copy"},
        {"", "README", false, "README copy"},
        {"", "a copy 0.html", false, "a copy 0 copy.html"},
        {"", "site.v2", true, "site.v2 copy"},
        // "copy" as the whole name, or its first word, is a name, not a copy suffix.
        {"", "copy.html", false, "copy copy.html"},
        {"", "copy 3.html", false, "copy 3 copy.html"},
        {"copy copy.html", "copy.html", false, "copy copy 2.html"},
        {"", "copy copy.html", false, "copy copy 2.html"},
        {"", " copy.html", false, " copy copy.html"},
        {"", "my copy", true, "my copy 2"},
    };
    for (const Case& c : cases) {
        QTemporaryDir here;
        // A copy onto its own place: the item exists under the destination name.
        if (c.folder)
            QDir().mkpath(here.filePath(QString::fromUtf8(c.destination)));
        else
            writeFile(here.filePath(QString::fromUtf8(c.destination)));
        if (*c.existing)
            writeFile(here.filePath(QString::fromUtf8(c.existing)));
        EXPECT_EQ(ProjectDocumentController::copyPathForDestination(here.filePath(QString::fromUtf8(c.destination)), c.folder),
                  here.filePath(QString::fromUtf8(c.expected)))
            << c.destination;
    }
}

TEST_F(ProjectDocumentControllerTest, PasteIntoTheSameFolderMakesCopies)
{
    makeTree(root, {"index.html", "img/logo.txt"});
    ProjectDocumentController* project = openProject();
    ASSERT_TRUE(project);
    std::unique_ptr<QMimeData> data(urls({root + "/index.html"}));
    for (int i = 0; i < 3; ++i)
        EXPECT_TRUE(project->performPaste(data.get(), nullptr));
    EXPECT_TRUE(QFile::exists(root + "/index copy.html"));
    EXPECT_TRUE(QFile::exists(root + "/index copy 2.html"));
    EXPECT_TRUE(QFile::exists(root + "/index copy 3.html"));
    std::unique_ptr<QMimeData> folder(urls({root + "/img"}));
    EXPECT_TRUE(project->performPaste(folder.get(), nullptr));
    EXPECT_TRUE(QFile::exists(root + "/img copy/logo.txt"));
    EXPECT_TRUE(rowNames(project->outlineModel()).contains("img copy"));
}

TEST_F(ProjectDocumentControllerTest, NothingMovesOrCopiesIntoItself)
{
    makeTree(root, {"a/b/c.html"});
    ProjectDocumentController* project = openProject();
    ASSERT_TRUE(project);
    DirectoryItem* b = project->itemForPath(root + "/a/b");
    ASSERT_TRUE(b);
    for (Qt::DropActions mask : {Qt::DropActions(Qt::MoveAction), Qt::DropActions(Qt::CopyAction)}) {
        alerts.clear();
        EXPECT_FALSE(project->performFileOperation(mask, {root + "/a"}, b, true));
        ASSERT_EQ(alerts.size(), 1);
        const QString verb = mask & Qt::MoveAction ? "move" : "copy";
        EXPECT_EQ(alerts.first(), QStringLiteral("%1 Error | You cannot %2 \"b\" in this location because you cannot %2 an item into itself")
                                      .arg(verb == "move" ? "Move" : "Copy", verb));
    }
    EXPECT_TRUE(QFile::exists(root + "/a/b/c.html"));
    EXPECT_FALSE(QFile::exists(root + "/a/b/a"));
    // Drop validation refuses the same.
    std::unique_ptr<QMimeData> data(urls({root + "/a"}));
    DirectoryItem* target = b;
    int index = -1;
    EXPECT_EQ(project->validateDrop(data.get(), Qt::MoveAction, &target, &index), Qt::IgnoreAction);
}

TEST_F(ProjectDocumentControllerTest, ClashGoesToTheReplaceQuestionAndMovesNothing)
{
    makeTree(root, {"a.html", "sub/a.html"});
    writeFile(root + "/a.html", "outer");
    writeFile(root + "/sub/a.html", "inner");
    ProjectDocumentController* project = openProject();
    ASSERT_TRUE(project);
    EXPECT_TRUE(project->performFileOperation(Qt::MoveAction, {root + "/a.html"}, project->itemForPath(root + "/sub"), true));
    ASSERT_EQ(replacePairs.size(), 1);
    EXPECT_EQ(replacePairs.first().oldPath, root + "/a.html");
    EXPECT_EQ(replacePairs.first().newPath, root + "/sub/a.html");
    EXPECT_TRUE(replacePairs.first().move);
    QFile inner(root + "/sub/a.html");
    ASSERT_TRUE(inner.open(QIODevice::ReadOnly));
    EXPECT_EQ(inner.readAll(), QByteArray("inner"));
    EXPECT_TRUE(QFile::exists(root + "/a.html"));
}

TEST_F(ProjectDocumentControllerTest, MovesAndCopiesIntoAFolder)
{
    makeTree(root, {"f/x.html", "f/y.html", "dest/", "page.html"});
    ProjectDocumentController* project = openProject();
    ASSERT_TRUE(project);
    DirectoryItem* dest = project->itemForPath(root + "/dest");
    // A folder and one of its files: the folder only.
    EXPECT_TRUE(project->performFileOperation(Qt::CopyAction, {root + "/f", root + "/f/x.html"}, dest, false));
    EXPECT_TRUE(QFile::exists(root + "/dest/f/x.html"));
    EXPECT_FALSE(QFile::exists(root + "/dest/x.html"));
    // Onto a file: into the file's folder.
    EXPECT_TRUE(project->performFileOperation(Qt::MoveAction, {root + "/page.html"}, project->itemForPath(root + "/dest/f/y.html"), true));
    EXPECT_TRUE(QFile::exists(root + "/dest/f/page.html"));
    EXPECT_FALSE(QFile::exists(root + "/page.html"));
    // A move onto its own place does nothing.
    EXPECT_TRUE(project->performFileOperation(Qt::MoveAction, {root + "/dest/f/page.html"}, project->itemForPath(root + "/dest/f"), true));
    EXPECT_TRUE(QFile::exists(root + "/dest/f/page.html"));
    EXPECT_FALSE(QFile::exists(root + "/dest/f/page copy.html"));
}

TEST_F(ProjectDocumentControllerTest, DropValidationRetargets)
{
    makeTree(root, {"a.html", "b.html", "sub/c.html"});
    ProjectDocumentController* project = openProject();
    ASSERT_TRUE(project);
    std::unique_ptr<QMimeData> outside(urls({dir.path() + "/sub/c.html"}));

    // Onto a file row of the root: between the siblings, below the file.
    DirectoryItem* target = project->itemForPath(root + "/b.html");
    int index = -1;
    EXPECT_EQ(project->validateDrop(outside.get(), Qt::CopyAction | Qt::MoveAction, &target, &index), Qt::MoveAction);
    EXPECT_EQ(target, nullptr);
    EXPECT_EQ(index, 2);

    // A move onto the folder the file already lies in: onto the folder itself.
    target = project->itemForPath(root + "/sub/c.html");
    index = 5;
    EXPECT_EQ(project->validateDrop(outside.get(), Qt::MoveAction, &target, &index), Qt::MoveAction);
    EXPECT_EQ(target, project->itemForPath(root + "/sub"));
    EXPECT_EQ(index, -1);

    EXPECT_EQ(project->validateDrop(outside.get(), Qt::CopyAction, &target, &index), Qt::CopyAction);
    QMimeData empty;
    EXPECT_EQ(project->validateDrop(&empty, Qt::CopyAction, &target, &index), Qt::IgnoreAction);
}

TEST_F(ProjectDocumentControllerTest, RenameFromTheTreeAlertsAndSelects)
{
    makeTree(root, {"a.html", "b.html"});
    ProjectDocumentController* project = openProject();
    ASSERT_TRUE(project);
    project->renameItem(project->itemForPath(root + "/a.html"), "b.html");
    ASSERT_EQ(alerts.size(), 1);
    EXPECT_EQ(alerts.first(), "File Name Exists | A file already exists with the specified file name.");
    project->renameItem(project->itemForPath(root + "/a.html"), "");
    EXPECT_EQ(alerts.last(), "Rename Error | The file must be given a name.");
    alerts.clear();
    // Through the model, as the tree's editor does it.
    ProjectOutlineModel* model = project->outlineModel();
    EXPECT_TRUE(model->setData(model->indexForItem(project->itemForPath(root + "/a.html")), QStringLiteral("z.html")));
    EXPECT_TRUE(alerts.isEmpty());
    EXPECT_TRUE(QFile::exists(root + "/z.html"));
    EXPECT_EQ(rowNames(model), (QStringList{"b.html", "z.html"}));
    EXPECT_EQ(project->fileOutlineView()->selectedPath(), root + "/z.html");
}

TEST_F(ProjectDocumentControllerTest, NavigatorHeightAndSplitterRules)
{
    EXPECT_EQ(ProjectDocumentController::navigatorHeightForShowing(std::nullopt, 600), 150);
    EXPECT_EQ(ProjectDocumentController::navigatorHeightForShowing(30.0, 600), 100);
    EXPECT_EQ(ProjectDocumentController::navigatorHeightForShowing(900.0, 600), 600);
    EXPECT_EQ(ProjectDocumentController::navigatorHeightForShowing(220.0, 600), 220);
    EXPECT_EQ(ProjectDocumentController::constrainMainSplitPosition(900, 1000), 1000);
    EXPECT_EQ(ProjectDocumentController::constrainMainSplitPosition(40, 1000), 0);
    EXPECT_EQ(ProjectDocumentController::constrainMainSplitPosition(300, 1000), 300);
}

TEST_F(ProjectDocumentControllerTest, TextFilesOpenInTheWindowAndItStaysWithoutThem)
{
    makeTree(root, {"index.html"});
    ProjectDocumentController* project = openProject();
    ASSERT_TRUE(project);
    project->selectFileInTree(root + "/index.html", true, true);
    project->updateCurrentDocument();
    MyDocument* document = project->currentDocument();
    ASSERT_TRUE(document);
    EXPECT_EQ(document->filePath(), root + "/index.html");
    EXPECT_EQ(document->windowController(), project);
    EXPECT_EQ(project->window()->windowTitle(), QFileInfo(root).fileName() + QStringLiteral(" \u2014 index.html"));
    // A file of the project opened from elsewhere goes to the project window.
    EXPECT_EQ(controller->getWindowControllerForDocument(document), project);

    QPointer<ProjectDocumentController> alive(project);
    document->closeWithWindowUpdate();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !alive || alive->documents().isEmpty(); }, 60000));
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    ASSERT_TRUE(alive);
    EXPECT_TRUE(project->documents().isEmpty());
    EXPECT_TRUE(project->window()->isVisible());
}

TEST_F(ProjectDocumentControllerTest, SavedWindowComesBack)
{
    makeTree(root, {"index.html", "sub/a.html"});
    ProjectDocumentController* project = openProject();
    ASSERT_TRUE(project);
    project->fileOutlineView()->expand(project->outlineModel()->indexForItem(project->itemForPath(root + "/sub")));
    const QVariantList saved = kit::WindowRestoration::encodeWindows({project});
    ASSERT_EQ(saved.size(), 1);
    project->closeWindowNow();
    EXPECT_TRUE(QTest::qWaitFor([&] { return controller->projectDocuments().isEmpty(); }, 60000));

    ProjectDocumentController* restored = ProjectDocumentController::restoreWindow(saved.first().toMap());
    ASSERT_TRUE(restored);
    EXPECT_EQ(restored->directory(), root);
    EXPECT_EQ(controller->projectDocuments().size(), 1);
    // The expanded rows come back under the folder's name.
    EXPECT_TRUE(restored->fileOutlineView()->isItemExpanded(restored->itemForPath(root + "/sub")));

    // A folder that is gone restores nothing.
    QVariantMap gone = saved.first().toMap();
    QVariantMap state = gone.value(kit::WindowRestoration::StateKey).toMap();
    state[KELProjectDocumentControllerDirectoryKey] = QUrl::fromLocalFile(root + "/missing").toString();
    gone[kit::WindowRestoration::StateKey] = state;
    EXPECT_EQ(ProjectDocumentController::restoreWindow(gone), nullptr);
}

// Closing a project window keeps its tabs for the next opening (Recent Projects
// opens the folder again): the window's state is saved before its documents
// close, and nothing saved later (as the window goes, at quit) forgets them.
TEST_F(ProjectDocumentControllerTest, ClosedWindowReopensWithItsTextTabs)
{
    kit::UserDefaults::standard().setValue(KELUseTabbedInterfaceInProjectsKey, true);
    makeTree(root, {"index.html", "sub/a.html", "sub/b.css"});
    const QStringList tabs {root + "/index.html", root + "/sub/a.html"};
    auto tabPaths = [](ProjectDocumentController* window) {
        QStringList paths;
        for (Tab* tab : window->tabbedEditor()->tabView()->tabs())
            paths << tab->path();
        return paths;
    };
    struct Case {
        const char* how;
        bool quitAfter; // the application quits after the window closed
    } cases[] = {{"window closed", false}, {"window closed, then the application quits", true}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.how);
        ProjectDocumentController* project = openProject();
        ASSERT_TRUE(project);
        ASSERT_TRUE(project->usesTabs());
        for (const QString& file : tabs) {
            project->selectFileInTree(file, true, true);
            project->updateCurrentDocument();
        }
        ASSERT_EQ(tabPaths(project), tabs);
        // As the user closes it: the window's close box.
        project->window()->close();
        ASSERT_TRUE(QTest::qWaitFor([&] { return controller->projectDocuments().isEmpty(); }, 10000));
        if (c.quitAfter) {
            kit::NotificationCenter::defaultCenter().post(QStringLiteral("KELApplicationWillTerminateNotification"), qApp);
        }
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        ASSERT_TRUE(controller->documents().isEmpty());

        ProjectDocumentController* again = openProject();
        ASSERT_TRUE(again);
        // The tabs come back (their documents are read as each is chosen).
        EXPECT_EQ(tabPaths(again), tabs);
        again->closeWindowNow();
        ASSERT_TRUE(QTest::qWaitFor([&] { return controller->projectDocuments().isEmpty(); }, 10000));
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
}

} // namespace

namespace {

// A project reopened with its navigator showing keeps its tree: the navigator takes
// its height once the window has its size. The navigator pane never gets smaller
// than 22 points.
TEST_F(ProjectDocumentControllerTest, ReopenedWithTheNavigatorShowingTheTreeStaysAndThePaneKeepsItsMinimum)
{
    DocumentWindowController::setCodeNavigatorFactory([](DocumentWindowController*) { return new QWidget; });
    makeTree(root, {"index.html", "a.html"});
    ProjectDocumentController* project = openProject();
    ASSERT_TRUE(project);
    project->window()->resize(800, 600);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(project->window()));
    project->showCodeNavigator(true, false);
    KELSplitView* left = project->leftSplitView();
    ASSERT_EQ(left->count(), 2);
    const int total = left->sizes().value(0) + left->sizes().value(1);
    left->setSizes({total - 180, 180});
    QCoreApplication::processEvents();
    QPointer<QWidget> closed = project->window();
    project->closeWindowNow();
    // The window goes (its deletion is posted) before the project opens again.
    ASSERT_TRUE(QTest::qWaitFor([&] {
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        return !closed || !closed->isVisible();
    }, 5000));

    project = openProject();
    ASSERT_TRUE(project);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(project->window()));
    left = project->leftSplitView();
    ASSERT_TRUE(QTest::qWaitFor([&] { return left->count() == 2 && left->sizes().value(1) > 0; }, 5000));
    EXPECT_TRUE(project->isShowingCodeNavigator());
    EXPECT_EQ(left->sizes().value(1), 180);
    EXPECT_GT(left->sizes().value(0), 100) << "the tree keeps its room";

    // Squeezed to nothing by its divider or a resize: 22 points stay.
    const int now = left->sizes().value(0) + left->sizes().value(1);
    left->setSizes({now - 5, 5});
    project->window()->resize(project->window()->width(), project->window()->height() - 10);
    ASSERT_TRUE(QTest::qWaitFor([&] { return left->sizes().value(1) == ProjectDocumentController::MinimumNavigatorHeight; }, 5000))
        << left->sizes().value(1);
    DocumentWindowController::setCodeNavigatorFactory({});
}

} // namespace
