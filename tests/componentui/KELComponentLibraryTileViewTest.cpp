#include "componentui/KELComponentLibrarySelectButton.h"
#include "componentui/KELComponentLibraryTileView.h"
#include "componentui/LibraryTestSupport.h"

#include <QScrollBar>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

#include "AccessibleEventLog.h"
#include <QAccessible>

using namespace librarytest;

namespace {

class Source : public KELComponentViewDataSource, public KELComponentViewDelegate {
public:
    QList<std::shared_ptr<KELComponent>> components() const override { return list; }
    void componentWasSelected(const std::shared_ptr<KELComponent>& component) override { chosen << component; }
    QList<std::shared_ptr<KELComponent>> list;
    QList<std::shared_ptr<KELComponent>> chosen;
};

class KELComponentLibraryTileViewTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        QList<ComponentSpec> specs;
        for (const char* name : {"Tabs", "Audio", "Simple List", "Image Map", "Simple Font", "Menu", "Table", "Banner"})
            specs << ComponentSpec {QString::fromUtf8(name), {}, QStringLiteral("About %1").arg(QString::fromUtf8(name))};
        catalogue = makeCatalogue(dir.path(), specs);
        source.list = catalogue;
        view.setDataSource(&source);
        view.setDelegate(&source);
        view.resize(3 * 180 + 20, 400); // three columns beside the scroll bar's room
        view.show();
        tiles = view.tileView();
        tiles->setFocus();
        view.reloadComponents();
    }
    QString selectedName() const
    {
        auto component = view.selectedComponent();
        return component ? component->name().value_or(QString()) : QString();
    }
    std::shared_ptr<KELComponent> named(const char* name) const
    {
        for (const auto& c : catalogue)
            if (c->name() == QString::fromUtf8(name))
                return c;
        return nullptr;
    }
    QTemporaryDir dir;
    QList<std::shared_ptr<KELComponent>> catalogue;
    Source source;
    KELComponentLibraryTileScrollView view;
    KELComponentLibraryTileView* tiles = nullptr;
};

} // namespace

TEST_F(KELComponentLibraryTileViewTest, ColumnsFollowTheWidth)
{
    const struct {
        int width;
        qint64 columns;
        double columnWidth;
    } cases[] = {{100, 1, 100}, {359, 1, 359}, {360, 2, 180}, {545, 3, 545 / 3.0}, {900, 5, 180}};
    for (const auto& c : cases) {
        view.setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        view.resize(c.width, 400);
        QCoreApplication::processEvents();
        EXPECT_EQ(tiles->columns(), c.columns) << c.width;
        EXPECT_DOUBLE_EQ(tiles->columnWidth(), c.columnWidth) << c.width;
        // Room below the last row for the footer.
        EXPECT_GE(tiles->height(), tiles->rows() * 150 + 90);
    }
}

TEST_F(KELComponentLibraryTileViewTest, ArrowsStopAtTheEdgesAndStartAtTheFirstTile)
{
    ASSERT_EQ(tiles->columns(), 3);
    EXPECT_EQ(tiles->selectedIndex(), KELComponentLibraryTileView::NotFound);
    EXPECT_FALSE(view.selectButton()->isEnabled());
    const struct {
        Qt::Key key;
        qint64 index;
    } steps[] = {
        {Qt::Key_Down, 0}, // nothing selected: the first tile
        {Qt::Key_Left, 0}, {Qt::Key_Up, 0}, {Qt::Key_Right, 1}, {Qt::Key_Down, 4}, {Qt::Key_Down, 7},
        {Qt::Key_Down, 7}, // no tile below the last row
        {Qt::Key_Right, 7}, {Qt::Key_Up, 4}, {Qt::Key_Left, 3},
    };
    for (const auto& s : steps) {
        QTest::keyClick(tiles, s.key);
        EXPECT_EQ(tiles->selectedIndex(), s.index) << s.key;
    }
    EXPECT_TRUE(view.selectButton()->isEnabled());
    QTest::keyClick(tiles, Qt::Key_Return);
    ASSERT_EQ(source.chosen.size(), 1);
    EXPECT_EQ(source.chosen.first(), view.selectedComponent());
}

TEST_F(KELComponentLibraryTileViewTest, TypeAheadSelectsTheFirstNameNotBefore)
{
    QTest::keyClicks(tiles, QStringLiteral("ta"));
    EXPECT_EQ(selectedName(), QStringLiteral("Table"));
    EXPECT_EQ(tiles->searchString(), QStringLiteral("ta"));
    tiles->setLastSearchDate(QDateTime::currentDateTimeUtc().addMSecs(-1100));
    QTest::keyClick(tiles, Qt::Key_B);
    EXPECT_EQ(tiles->searchString(), QStringLiteral("b"));
    EXPECT_EQ(selectedName(), QStringLiteral("Banner"));
    tiles->setLastSearchDate({});
    QTest::keyClicks(tiles, QStringLiteral("zz"));
    EXPECT_EQ(selectedName(), QStringLiteral("Tabs")); // past every name: the last tile
}

TEST_F(KELComponentLibraryTileViewTest, ClicksMustLandOnAPicture)
{
    const QRectF image = tiles->imageRectForIndex(4);
    QTest::mouseClick(tiles, Qt::LeftButton, {}, image.center().toPoint());
    EXPECT_EQ(tiles->selectedIndex(), 4);
    // The tile's name band is not its picture.
    QTest::mouseClick(tiles, Qt::LeftButton, {}, tiles->tileRectForIndex(4).bottomLeft().toPoint() + QPoint(5, -10));
    EXPECT_EQ(tiles->selectedIndex(), KELComponentLibraryTileView::NotFound);
    QTest::mouseDClick(tiles, Qt::LeftButton, {}, tiles->imageRectForIndex(2).center().toPoint());
    ASSERT_EQ(source.chosen.size(), 1);
    EXPECT_EQ(source.chosen.first()->name(), QStringLiteral("Image Map")); // Audio, Banner, Image Map
}

TEST_F(KELComponentLibraryTileViewTest, SelectionFollowsItsComponentAcrossReloads)
{
    QTest::keyClicks(tiles, QStringLiteral("menu"));
    ASSERT_EQ(selectedName(), QStringLiteral("Menu"));
    source.list = {named("Tabs"), named("Menu")};
    view.reloadComponents();
    EXPECT_EQ(tiles->selectedIndex(), 0);
    EXPECT_EQ(selectedName(), QStringLiteral("Menu"));
    source.list = {named("Tabs")};
    view.reloadComponents();
    EXPECT_EQ(view.selectedComponent(), nullptr);
    EXPECT_FALSE(view.selectButton()->isEnabled());
    source.list.clear();
    view.reloadComponents();
    EXPECT_EQ(tiles->tileCount(), 0);
    QTest::keyClick(tiles, Qt::Key_Down);
    EXPECT_EQ(tiles->selectedIndex(), KELComponentLibraryTileView::NotFound);
}

TEST_F(KELComponentLibraryTileViewTest, KeyboardSelectTileScrollsItClearOfTheFooter)
{
    view.resize(3 * 180 + 20, 330);
    QCoreApplication::processEvents();
    QTest::keyClick(tiles, Qt::Key_Down);
    QTest::keyClick(tiles, Qt::Key_Down);
    QTest::keyClick(tiles, Qt::Key_Down); // the third row
    const QRectF tile = tiles->tileRectForIndex(tiles->selectedIndex());
    const int top = view.verticalScrollBar()->value();
    EXPECT_GE(view.viewport()->height() + top - 90, tile.bottom());
}

TEST(KELComponentLibrarySelectButtonTest, SpaceFlashesTheButtonAndSendsTheAction)
{
    KELComponentLibrarySelectButton button;
    button.show();
    QSignalSpy clicked(&button, &QAbstractButton::clicked);
    QTest::keyClick(&button, Qt::Key_Space);
    EXPECT_EQ(clicked.count(), 1);
    EXPECT_TRUE(button.forceSelectButton());
    EXPECT_TRUE(waitFor([&] { return !button.forceSelectButton(); }, 60000));
    button.setEnabled(false);
    button.submitAction();
    EXPECT_EQ(clicked.count(), 1);
}

TEST(KELComponentLibraryCountTest, SuffixOnlyForOtherThanOne)
{
    EXPECT_EQ(KELComponentCountText(0), QStringLiteral("0 Components"));
    EXPECT_EQ(KELComponentCountText(1), QStringLiteral("1 Component"));
    EXPECT_EQ(KELComponentCountText(7), QStringLiteral("7 Components"));
}

TEST_F(KELComponentLibraryTileViewTest, ReadersSeeEachComponentWithItsDescription)
{
    AccessibleEventLog log;
    QAccessibleInterface* list = QAccessible::queryAccessibleInterface(tiles);
    ASSERT_TRUE(list);
    EXPECT_EQ(list->role(), QAccessible::List);
    ASSERT_EQ(list->childCount(), tiles->tileCount());
    for (int i = 0; i < int(tiles->tileCount()); ++i) {
        QAccessibleInterface* item = list->child(i);
        EXPECT_EQ(item->role(), QAccessible::ListItem);
        EXPECT_EQ(item->text(QAccessible::Name), tiles->tileAt(i)->name());
        EXPECT_EQ(item->text(QAccessible::Description), QStringLiteral("About %1").arg(tiles->tileAt(i)->name()));
        EXPECT_EQ(item->rect(), QRect(tiles->mapToGlobal(tiles->tileRectForIndex(i).toAlignedRect().topLeft()),
                                      tiles->tileRectForIndex(i).toAlignedRect().size()));
    }
    // The keys move the selection; the reader hears of it and sees it.
    tiles->changeSelectedIndex(0);
    log.events.clear();
    QTest::keyClick(tiles, Qt::Key_Right);
    EXPECT_EQ(tiles->selectedIndex(), 1);
    EXPECT_TRUE(list->child(1)->state().selected);
    EXPECT_FALSE(list->child(0)->state().selected);
    ASSERT_FALSE(log.ofType(QAccessible::Selection, tiles).isEmpty());
    EXPECT_EQ(log.ofType(QAccessible::Selection, tiles).last().child, 1);
    if (tiles->hasFocus()) {
        ASSERT_FALSE(log.ofType(QAccessible::Focus, tiles).isEmpty());
        EXPECT_EQ(log.ofType(QAccessible::Focus, tiles).last().child, 1);
    }
    // A press selects.
    list->child(3)->actionInterface()->doAction(QAccessibleActionInterface::pressAction());
    EXPECT_EQ(tiles->selectedIndex(), 3);
}
