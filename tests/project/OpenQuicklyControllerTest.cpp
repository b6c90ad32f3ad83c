#include "project/OpenQuicklyController.h"

#include "ProjectFixture.h"
#include "ProjectTestSupport.h"
#include "document/KELFilePrefsManager.h"
#include "document/MyDocumentController.h"
#include "kit/UserDefaults.h"
#include "project/ProjectDocumentController.h"
#include "project/ProjectFileIndex.h"
#include "project/ProjectOutlineView.h"
#include "project/ProjectServices.h"
#include "project/ProjectSystem.h"

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QCoreApplication>
#include <QDialog>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QSignalSpy>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>

using projecttest::makeTree;

namespace {

class OpenQuicklyControllerTest : public projecttest::ProjectFixture {
protected:
    void SetUp() override
    {
        ProjectFixture::SetUp();
        if (HasFatalFailure())
            return;
        panel().localSearchButton()->setChecked(true);
    }
    void TearDown() override
    {
        panel().cancel();
        ProjectFixture::TearDown();
    }
    static OpenQuicklyController& panel() { return OpenQuicklyController::sharedInstance(); }
    static QStringList rows(QTableView* table)
    {
        QStringList list;
        for (int row = 0; row < table->model()->rowCount(); ++row)
            list << table->model()->index(row, 0).data().toString();
        return list;
    }

};

TEST_F(OpenQuicklyControllerTest, OffersTheProjectsFilesAndComesBackEmpty)
{
    makeTree(root, {"index.html", "blog/index.html", "blog/2019/post.html", "css/site.css"});
    ProjectDocumentController* project = ProjectDocumentController::openProject(root, true);
    ASSERT_TRUE(project);

    panel().showWindow();
    ASSERT_TRUE(panel().window()->isVisible());
    panel().fileRegexField()->setText(QStringLiteral("ind"));
    QTest::qWaitFor([&] { return rows(panel().fileTableView()) == QStringList{"index.html"}; }, 10000);
    ASSERT_EQ(rows(panel().fileTableView()), QStringList{"index.html"});
    // One name, two folders by path; the first folder row is picked and Open is enabled.
    QTest::qWaitFor([&] { return rows(panel().folderTableView()) == (QStringList{root + "/blog", root}); }, 10000);
    ASSERT_EQ(rows(panel().folderTableView()), (QStringList{root + "/blog", root}));
    EXPECT_TRUE(panel().openButton()->isEnabled());

    // Closed and shown again: no rows of the last search, nothing to open.
    panel().cancel();
    panel().showWindow();
    EXPECT_TRUE(panel().fileRegexField()->text().isEmpty());
    EXPECT_EQ(panel().fileTableView()->model()->rowCount(), 0);
    EXPECT_EQ(panel().folderTableView()->model()->rowCount(), 0);
    EXPECT_FALSE(panel().openButton()->isEnabled());

    // A file the tree adds while the panel is open shows up.
    panel().fileRegexField()->setText(QStringLiteral("Untitled"));
    project->fileOutlineView()->selectionModel()->clearSelection();
    project->fileOutlineView()->addNewFile();
    QTest::qWaitFor([&] { return rows(panel().fileTableView()).size() == 1; }, 10000);
    ASSERT_EQ(rows(panel().fileTableView()).size(), 1);
    EXPECT_TRUE(rows(panel().fileTableView()).first().startsWith(QStringLiteral("Untitled")));
}

} // namespace

// The busy indicator shows while a search runs and is out of sight otherwise (an
// empty bar would look like a button).

TEST_F(OpenQuicklyControllerTest, TheBusyIndicatorShowsOnlyWhileASearchRuns)
{
    OpenQuicklyController& openQuickly = panel();
    openQuickly.showWindow();
    QDialog* window = openQuickly.window();
    ASSERT_TRUE(window);
    ASSERT_TRUE(QTest::qWaitFor([&] { return window->isVisible(); }, 5000));
    auto* indicator = window->findChild<QProgressBar*>(QStringLiteral("progressIndicator"));
    ASSERT_TRUE(indicator);
    // The search among open documents and projects, which this machine always has.
    openQuickly.localSearchButton()->setChecked(true);
    openQuickly.changeLocalSearch();
    openQuickly.fileRegexField()->clear();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !indicator->isVisible(); }, 5000));

    QSignalSpy done(&openQuickly, &OpenQuicklyController::searchDidComplete);
    openQuickly.fileRegexField()->setText(QStringLiteral("index"));
    if (done.isEmpty()) {
        EXPECT_TRUE(indicator->isVisible());
    }
    ASSERT_TRUE(QTest::qWaitFor([&] { return !done.isEmpty(); }, 10000));
    EXPECT_FALSE(indicator->isVisible());
    // Room is kept for it: the field does not jump when it comes and goes.
    EXPECT_TRUE(indicator->sizePolicy().retainSizeWhenHidden());
    openQuickly.fileRegexField()->clear();
    window->close();
}
