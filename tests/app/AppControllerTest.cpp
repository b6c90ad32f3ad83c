#include "app/AppController.h"

#include "support/DefaultsKeys.h"
#include "app/KELBezierPath.h"
#include "app/MainMenu.h"
#include "document/TabView.h"
#include "editor/BatchTextFinder.h"
#include "editor/GoToLineNumber.h"
#include "kit/ActionRouter.h"
#include "kit/Alert.h"
#include "kit/UserDefaults.h"
#include "kit/document/DocumentController.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QDir>
#include <QFile>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QTemporaryDir>
#include <QTest>
#include <QVBoxLayout>

namespace {

class AppControllerTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        app.setFileOpenerForTesting([this](const QString& path, kit::Error*) {
            opened << QFileInfo(path).fileName();
            return !path.endsWith(QLatin1String("broken.html"));
        });
        app.setExternalOpenerForTesting([this](const QString& path) {
            external << QFileInfo(path).fileName();
            return true;
        });
        kit::Alert::setResponderForTesting([this](const kit::Alert& alert) {
            alerts << alert.messageText();
            return answer;
        });
        kit::UserDefaults::standard().removeValue(KELRecentProjectsKey);
    }
    void TearDown() override
    {
        app.setFileOpenerForTesting({});
        app.setExternalOpenerForTesting({});
        kit::Alert::setResponderForTesting({});
    }
    QString make(const QString& relative, bool folder = false)
    {
        const QString path = dir.filePath(relative);
        if (folder) {
            QDir().mkpath(path);
        } else {
            QDir().mkpath(QFileInfo(path).absolutePath());
            QFile f(path);
            f.open(QIODevice::WriteOnly);
            f.write("x");
        }
        return path;
    }
    QStringList recent() const { return kit::UserDefaults::standard().stringListValue(KELRecentProjectsKey); }

    AppController& app = AppController::sharedInstance();
    QTemporaryDir dir;
    QStringList opened, external, alerts;
    int answer = kit::Alert::FirstButtonReturn;
};

} // namespace

TEST_F(AppControllerTest, OpeningFilesWithoutATextExtension)
{
    const QString binary = make(QStringLiteral("data.bin"));
    const QString page = make(QStringLiteral("page.html"));
    struct Case {
        int answer;
        QStringList opened;
        QStringList external;
        AppController::OpenReply reply;
    };
    const Case cases[] = {
        {kit::Alert::FirstButtonReturn, {QStringLiteral("data.bin"), QStringLiteral("page.html")}, {}, AppController::OpenReplySuccess},
        {kit::Alert::SecondButtonReturn, {QStringLiteral("page.html")}, {}, AppController::OpenReplyCancel},
        {kit::Alert::ThirdButtonReturn, {QStringLiteral("page.html")}, {QStringLiteral("data.bin")}, AppController::OpenReplySuccess},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.answer);
        opened.clear();
        external.clear();
        alerts.clear();
        answer = c.answer;
        EXPECT_EQ(app.openFiles({binary, page}, true), c.reply);
        EXPECT_EQ(opened, c.opened);
        EXPECT_EQ(external, c.external);
        EXPECT_EQ(alerts, QStringList({QStringLiteral("The file \"data.bin\" does not have a file extension that Kelp Studio recognizes for text files.")}));
    }
    // Without the prompt the binary file goes to its application.
    opened.clear();
    external.clear();
    alerts.clear();
    EXPECT_EQ(app.openFiles({binary, page}, false), AppController::OpenReplySuccess);
    EXPECT_TRUE(alerts.isEmpty());
    EXPECT_EQ(external, QStringList({QStringLiteral("data.bin")}));
}

TEST_F(AppControllerTest, FailedAndMissingFiles)
{
    const QString broken = make(QStringLiteral("broken.html"));
    const QString good = make(QStringLiteral("good.html"));
    EXPECT_EQ(app.openFiles({broken, good, dir.filePath(QStringLiteral("missing.html"))}, true), AppController::OpenReplyFailure);
    EXPECT_EQ(opened, QStringList({QStringLiteral("broken.html"), QStringLiteral("good.html")})); // the rest still open
    EXPECT_EQ(alerts, QStringList({QStringLiteral("Error Opening Document")})); // the missing one fails silently
}

TEST_F(AppControllerTest, RecentProjectsKeepTenAndDropSettingsOfLeavers)
{
    QStringList folders;
    for (int i = 0; i < 11; ++i)
        folders << make(QStringLiteral("p%1").arg(i), true);
    auto& defaults = kit::UserDefaults::standard();
    const auto names = AppController::projectAutosaveNames(folders[0]);
    defaults.setValue(QStringLiteral("NSWindow Frame ") + names.frame, QStringLiteral("1 2 3 4"));
    defaults.setValue(QStringLiteral("NSOutlineView Items ") + names.outline, QStringList{QStringLiteral("x")});
    defaults.setValue(names.splitView, 120);
    for (const QString& folder : folders)
        app.addRecentProjectDirectory(folder);
    ASSERT_EQ(recent().size(), 10);
    EXPECT_EQ(recent().first(), folders[10]);
    EXPECT_FALSE(recent().contains(folders[0]));
    EXPECT_FALSE(defaults.value(QStringLiteral("NSWindow Frame ") + names.frame).isValid());
    EXPECT_FALSE(defaults.value(QStringLiteral("NSOutlineView Items ") + names.outline).isValid());
    EXPECT_FALSE(defaults.value(names.splitView).isValid());

    app.addRecentProjectDirectory(folders[5]); // moves to the top, no duplicate
    EXPECT_EQ(recent().first(), folders[5]);
    EXPECT_EQ(recent().count(folders[5]), 1);
    EXPECT_EQ(recent().size(), 10);

    QDir(folders[7]).removeRecursively(); // vanished on disk
    app.cleanupRecentProjects();
    EXPECT_FALSE(recent().contains(folders[7]));
}

TEST_F(AppControllerTest, RecentProjectsMenu)
{
    const QString a = make(QStringLiteral("one/site"), true);
    const QString b = make(QStringLiteral("two/site"), true);
    const QString c = make(QStringLiteral("three/blog"), true);
    EXPECT_EQ(AppController::recentProjectTitles({a, b, c}),
              QStringList({QStringLiteral("site \u2014 one"), QStringLiteral("site \u2014 two"), QStringLiteral("blog")}));
    QMenu menu;
    app.buildRecentProjectsMenu(&menu);
    ASSERT_EQ(menu.actions().size(), 1); // empty list: a disabled Clear Menu, no separator
    EXPECT_EQ(menu.actions()[0]->text(), QStringLiteral("Clear Menu"));
    EXPECT_FALSE(menu.actions()[0]->isEnabled());
    app.addRecentProjectDirectory(c);
    app.buildRecentProjectsMenu(&menu);
    ASSERT_EQ(menu.actions().size(), 3);
    EXPECT_TRUE(menu.actions()[1]->isSeparator());
    EXPECT_TRUE(menu.actions()[2]->isEnabled());
    menu.actions()[2]->trigger();
    EXPECT_TRUE(recent().isEmpty());
}

TEST_F(AppControllerTest, CloseKeysFollowTheTabsOfTheWindow)
{
    QMainWindow window;
    window.setMenuBar(KELBuildMenuBar(&window));
    auto* bar = new TabView;
    window.setCentralWidget(bar);
    QAction* closeWindow = KELFindMenuItem(window.menuBar(), QStringLiteral("closeWindow"));
    QAction* closeTab = KELFindMenuItem(window.menuBar(), QStringLiteral("closeTab"));
    ASSERT_TRUE(closeWindow && closeTab);
    bar->addTab(new Tab(QStringLiteral("/p/a.html"))); // the bar's notification updates the keys
    EXPECT_EQ(closeWindow->shortcut(), QKeySequence(QStringLiteral("Ctrl+W")));
    EXPECT_TRUE(closeWindow->shortcuts().contains(QKeySequence(QStringLiteral("Ctrl+Shift+W"))));
    EXPECT_TRUE(closeTab->shortcuts().isEmpty());
    bar->addTab(new Tab(QStringLiteral("/p/b.html")));
    EXPECT_EQ(closeTab->shortcut(), QKeySequence(QStringLiteral("Ctrl+W")));
    EXPECT_EQ(closeWindow->shortcuts(), QList<QKeySequence>({QKeySequence(QStringLiteral("Ctrl+Shift+W"))}));
    bar->removeTab(bar->selectedTab());
    EXPECT_EQ(closeWindow->shortcut(), QKeySequence(QStringLiteral("Ctrl+W")));
    // A project window with a single tab closes the tab with Ctrl+W.
    window.setProperty("kelpProjectWindow", true);
    app.updateCloseWindowCommands(&window);
    EXPECT_EQ(closeTab->shortcut(), QKeySequence(QStringLiteral("Ctrl+W")));
}

TEST_F(AppControllerTest, CommandsOfLaterWindowsAreShownDisabled)
{
    QMainWindow window;
    window.setMenuBar(KELBuildMenuBar(&window));
    auto* editor = new QWidget;
    window.setCentralWidget(editor);
    kit::ActionRouter::shared().setFocusOverrideForTesting(editor);
    int checked = 0;
    for (QAction* action : window.menuBar()->findChildren<QAction*>()) {
        const QString name = kit::ActionRouter::actionOf(action);
        if (!AppController::unavailableCommands().contains(name))
            continue;
        ++checked;
        EXPECT_FALSE(kit::ActionRouter::shared().validateAction(action)) << name.toStdString();
    }
    EXPECT_GE(checked, 2); // present in the menus
    QAction* preferences = nullptr;
    for (QAction* action : window.menuBar()->findChildren<QAction*>())
        if (kit::ActionRouter::actionOf(action) == QLatin1String("showPreferencePanel2:"))
            preferences = action;
    ASSERT_TRUE(preferences);
    EXPECT_TRUE(kit::ActionRouter::shared().validateAction(preferences));
    kit::ActionRouter::shared().setFocusOverrideForTesting(nullptr);
}

TEST(RoundRectPathTest, RadiusIsClampedToHalfTheSmallerSide)
{
    const QRectF r(0, 0, 20, 10);
    EXPECT_EQ(KELRoundRectPath(r, 100), KELRoundRectPath(r, 5));
    EXPECT_NE(KELRoundRectPath(r, 3), KELRoundRectPath(r, 5));
    EXPECT_EQ(KELRoundRectPath(r, 0).boundingRect(), r);
}

TEST_F(AppControllerTest, PreviewCommandsGoToTheCurrentDocument)
{
    QMainWindow window;
    window.setMenuBar(KELBuildMenuBar(&window));
    auto* editor = new QWidget;
    window.setCentralWidget(editor);
    auto& router = kit::ActionRouter::shared();
    router.setFocusOverrideForTesting(editor);
    QAction* preview = KELFindMenuItem(window.menuBar(), QStringLiteral("preview"));
    ASSERT_TRUE(preview);
    EXPECT_FALSE(router.validateAction(preview)); // no document
    struct Document : kit::Responder {
        int previews = 0;
    } document;
    document.addAction(QStringLiteral("quickPreview:"), [&document](QObject*) { ++document.previews; },
                       [](QAction* item) {
                           item->setText(QStringLiteral("Preview"));
                           return true;
                       });
    router.setWindowResponder(&window, &document);
    EXPECT_TRUE(router.validateAction(preview));
    preview->trigger();
    EXPECT_EQ(document.previews, 1);
    router.setWindowResponder(&window, nullptr);
    router.setFocusOverrideForTesting(nullptr);
}

TEST_F(AppControllerTest, OpenRecentListsTheRecentDocuments)
{
    kit::DocumentController::resetSharedForTesting();
    auto* controller = new kit::DocumentController(qApp);
    controller->clearRecentDocuments();
    QMenu menu;
    app.buildRecentDocumentsMenu(&menu);
    ASSERT_EQ(menu.actions().size(), 1);
    EXPECT_FALSE(menu.actions()[0]->isEnabled());
    const QString a = make(QStringLiteral("one/index.html"));
    const QString b = make(QStringLiteral("two/index.html"));
    controller->noteNewRecentDocumentURL(QUrl::fromLocalFile(a));
    controller->noteNewRecentDocumentURL(QUrl::fromLocalFile(b));
    app.buildRecentDocumentsMenu(&menu);
    ASSERT_EQ(menu.actions().size(), 4);
    EXPECT_EQ(menu.actions()[0]->text(), QStringLiteral("index.html \u2014 two")); // newest first
    menu.actions()[1]->trigger();
    EXPECT_EQ(opened, QStringList({QStringLiteral("index.html")}));
    menu.actions()[3]->trigger(); // Clear Menu
    EXPECT_TRUE(controller->recentDocumentURLs().isEmpty());
    kit::DocumentController::resetSharedForTesting();
}

TEST_F(AppControllerTest, FindPanelsOpenFromTheirMenuItems)
{
    QMainWindow window;
    window.setMenuBar(KELBuildMenuBar(&window));
    auto* editor = new QWidget;
    window.setCentralWidget(editor);
    kit::ActionRouter::shared().setFocusOverrideForTesting(editor);
    QAction* goToLine = nullptr;
    QAction* batchFind = nullptr;
    QAction* find = nullptr;
    for (QAction* action : window.menuBar()->findChildren<QAction*>()) {
        const QString name = kit::ActionRouter::actionOf(action);
        if (name == QLatin1String("showGoToLineNumberPanel:"))
            goToLine = action;
        else if (name == QLatin1String("showBatchTextFinderPanel:"))
            batchFind = action;
        else if (name == QLatin1String("performFindPanelAction:") && action->data().toInt() == 1)
            find = action;
    }
    ASSERT_TRUE(goToLine && batchFind && find);
    EXPECT_TRUE(kit::ActionRouter::shared().validateAction(goToLine));
    EXPECT_TRUE(kit::ActionRouter::shared().validateAction(batchFind));
    // Find needs an editor to search in; a plain widget is none.
    EXPECT_FALSE(kit::ActionRouter::shared().validateAction(find));

    goToLine->trigger();
    EXPECT_TRUE(GoToLineNumber::shared().window()->isVisible());
    batchFind->trigger();
    EXPECT_TRUE(BatchTextFinder::shared().window()->isVisible());
    GoToLineNumber::shared().window()->hide();
    BatchTextFinder::shared().window()->hide();
    kit::ActionRouter::shared().setFocusOverrideForTesting(nullptr);
}
