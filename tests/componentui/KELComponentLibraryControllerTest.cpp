#include "componentui/KELComponentLibraryController.h"
#include "componentui/KELComponentLibraryListView.h"
#include "componentui/KELComponentLibrarySelectButton.h"
#include "componentui/KELComponentLibraryTileView.h"
#include "componentui/KELCoverFlowView.h"
#include "componentui/LibraryTestSupport.h"
#include "components/KELComponentSearchIndex.h"
#include "kit/NotificationCenter.h"
#include "kit/UserDefaults.h"
#include "support/DefaultsKeys.h"

#include <QButtonGroup>
#include <QLineEdit>
#include <QMainWindow>
#include <QMessageBox>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

using namespace librarytest;

namespace {

class KELComponentLibraryControllerTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        catalogue = makeCatalogue(dir.path(), {
            {QStringLiteral("Drop-down Menu"), QStringLiteral("Navigation"), QStringLiteral("Links under a bar")},
            {QStringLiteral("Tabs"), QStringLiteral("Layout"), QStringLiteral("Panels behind tabs")},
            {QStringLiteral("Image Map"), QStringLiteral("Images"), QStringLiteral("Regions of a picture")},
            {QStringLiteral("Simple List"), QStringLiteral("Text"), QStringLiteral("A menu of items")},
        });
        index = std::make_unique<KELComponentSearchIndex>(catalogue);
        kit::UserDefaults::standard().setValue(KELComponentLibrarySelectedViewKey, qlonglong(0));
        controller = std::make_unique<KELComponentLibraryController>(catalogue, index.get());
        controller->showWindow();
    }
    void TearDown() override
    {
        KELComponentLibraryController::openComponentHandler() = {};
        controller.reset();
        index.reset();
    }
    KELComponentLibraryTileView* tiles() const { return controller->tileView()->tileView(); }
    void type(const QString& text)
    {
        controller->toolbarSearchField()->setText(text);
        if (controller->searchToken()) {
            ASSERT_TRUE(waitFor([&] { return controller->searchToken()->searchComplete() && !controller->searchToken()->awaitingNotification(); }));
        }
        QCoreApplication::processEvents();
    }
    QTemporaryDir dir;
    QList<std::shared_ptr<KELComponent>> catalogue;
    std::unique_ptr<KELComponentSearchIndex> index;
    std::unique_ptr<KELComponentLibraryController> controller;
};

} // namespace

TEST_F(KELComponentLibraryControllerTest, SearchNarrowsAndBlankTextShowsEverything)
{
    EXPECT_EQ(tiles()->tileCount(), 4);
    const struct {
        const char* text;
        int tiles;
    } steps[] = {{"m", 3}, {"menu", 2}, {"menu bar", 1}, {"menu b", 1}, {"  ", 4}, {"zzz", 0}, {"", 4}};
    for (const auto& s : steps) {
        type(QString::fromUtf8(s.text));
        EXPECT_EQ(tiles()->tileCount(), s.tiles) << s.text;
    }
    EXPECT_EQ(controller->searchToken(), nullptr);
}

TEST_F(KELComponentLibraryControllerTest, ReopeningClearsTheSearch)
{
    type(QStringLiteral("tabs"));
    ASSERT_EQ(tiles()->tileCount(), 1);
    controller->window()->close();
    controller->showWindow();
    EXPECT_TRUE(controller->toolbarSearchField()->text().isEmpty());
    EXPECT_EQ(controller->searchToken(), nullptr);
    EXPECT_EQ(tiles()->tileCount(), 4);
}

TEST_F(KELComponentLibraryControllerTest, ResultsOfAReplacedSearchNeverReachTheViews)
{
    index->setRoundHook([] { QThread::msleep(30); });
    controller->toolbarSearchField()->setText(QStringLiteral("menu"));
    auto stale = controller->searchToken();
    type(QStringLiteral("tabs"));
    ASSERT_TRUE(stale->cancelled());
    ASSERT_TRUE(waitFor([&] { return index->runningSearches() == 0; }));
    QCoreApplication::processEvents();
    EXPECT_EQ(tiles()->tileCount(), 1);
    // Even a late notification of the old token changes nothing.
    stale->setSearchResults(catalogue);
    kit::NotificationCenter::defaultCenter().post(KELComponentSearchResultsUpdatedNotification, stale.get());
    EXPECT_EQ(tiles()->tileCount(), 1);
    EXPECT_EQ(controller->components().size(), 1);
}

TEST_F(KELComponentLibraryControllerTest, ChoosingOpensTheRightKindOfWindow)
{
    std::vector<std::pair<QString, KELComponentLibraryController::WindowKind>> opened;
    KELComponentLibraryController::openComponentHandler() = [&](const auto& component, auto kind) {
        opened.emplace_back(component->name().value_or(QString()), kind);
    };
    controller->componentWasSelected(nullptr);
    controller->componentWasSelected(catalogue[2]);
    controller->componentWasSelected(catalogue[1]);
    ASSERT_EQ(opened.size(), 2u);
    EXPECT_EQ(opened[0].first, QStringLiteral("Image Map"));
    EXPECT_EQ(opened[0].second, KELComponentLibraryController::WindowKind::ImageMap);
    EXPECT_EQ(opened[1].second, KELComponentLibraryController::WindowKind::Component);
}

TEST_F(KELComponentLibraryControllerTest, WithoutAComponentWindowTheUserIsTold)
{
    controller->componentWasSelected(catalogue[1]);
    QMessageBox* box = nullptr;
    ASSERT_TRUE(waitFor([&] {
        for (QWidget* w : QApplication::topLevelWidgets())
            if (auto* b = qobject_cast<QMessageBox*>(w); b && b->isVisible())
                box = b;
        return box != nullptr;
    }));
    EXPECT_TRUE(box->text().contains(QStringLiteral("not available yet")));
    box->close();
}

TEST_F(KELComponentLibraryControllerTest, TheViewChosenLastOpensNextTime)
{
    controller->selectView(KELComponentLibraryController::CoverFlowMode);
    KELComponentLibraryController another(catalogue, index.get());
    another.window();
    EXPECT_EQ(another.selectedView(), another.coverFlowView());
    EXPECT_EQ(kit::UserDefaults::standard().integerValue(KELComponentLibrarySelectedViewKey), 2);
}

TEST_F(KELComponentLibraryControllerTest, SwitchingViewsKeepsKeyboardFocus)
{
    QMainWindow* window = controller->window();
    window->activateWindow();
    QApplication::setActiveWindow(window);
    tiles()->setFocus();
    ASSERT_TRUE(waitFor([&] { return tiles()->hasFocus(); }));
    controller->viewModeSegmentedControl()->button(KELComponentLibraryController::ListMode)->click();
    EXPECT_EQ(controller->selectedView(), controller->listView());
    EXPECT_TRUE(controller->listView()->outlineView()->hasFocus());
    EXPECT_EQ(controller->listView()->activeGroups().size(), 4);
    controller->viewModeSegmentedControl()->button(KELComponentLibraryController::CoverFlowMode)->click();
    EXPECT_EQ(controller->selectedView(), controller->coverFlowView());
    EXPECT_TRUE(controller->coverFlowView()->hasFocus());
    EXPECT_EQ(controller->coverFlowView()->totalDesktopImages(), 4);
    // Without focus in the view, a switch leaves the focus where it is.
    controller->toolbarSearchField()->setFocus();
    controller->selectView(KELComponentLibraryController::TileMode);
    EXPECT_TRUE(controller->toolbarSearchField()->hasFocus());
    EXPECT_TRUE(controller->viewModeSegmentedControl()->button(KELComponentLibraryController::TileMode)->isChecked());
}

// A double click chooses once: on a tile, on a row of the list, and on the Select
// button of each view (one component window, not two).
TEST_F(KELComponentLibraryControllerTest, ADoubleClickChoosesOnce)
{
    int opened = 0;
    KELComponentLibraryController::openComponentHandler() = [&](const auto&, auto) { ++opened; };
    QMainWindow* window = controller->window();
    window->resize(900, 640);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(window));

    controller->selectView(KELComponentLibraryController::TileMode);
    QCoreApplication::processEvents();
    const QPoint tile = tiles()->imageRectForIndex(0).center().toPoint();
    // As the window system delivers it: a click, then the double click.
    QTest::mouseClick(tiles(), Qt::LeftButton, {}, tile);
    QTest::mouseDClick(tiles(), Qt::LeftButton, {}, tile);
    EXPECT_EQ(opened, 1) << "a tile";
    opened = 0;
    auto* button = controller->tileView()->selectButton();
    ASSERT_TRUE(button->isEnabled());
    QTest::mouseClick(button, Qt::LeftButton, {}, button->rect().center());
    QTest::mouseDClick(button, Qt::LeftButton, {}, button->rect().center());
    EXPECT_EQ(opened, 1) << "the tiles' Select button";

    controller->selectView(KELComponentLibraryController::ListMode);
    QCoreApplication::processEvents();
    KELComponentLibraryListView* list = controller->listView();
    QTreeWidget* outline = list->outlineView();
    outline->expandAll();
    QTreeWidgetItem* row = outline->topLevelItem(0)->child(0);
    ASSERT_TRUE(row);
    opened = 0;
    const QPoint at = outline->visualItemRect(row).center();
    QTest::mouseClick(outline->viewport(), Qt::LeftButton, {}, at);
    QTest::mouseDClick(outline->viewport(), Qt::LeftButton, {}, at);
    EXPECT_EQ(opened, 1) << "a row of the list";
    opened = 0;
    auto* listButton = list->iconView()->selectButton();
    ASSERT_TRUE(listButton->isVisible());
    QTest::mouseClick(listButton, Qt::LeftButton, {}, listButton->rect().center());
    QTest::mouseDClick(listButton, Qt::LeftButton, {}, listButton->rect().center());
    EXPECT_EQ(opened, 1) << "the list's Select button";
}
