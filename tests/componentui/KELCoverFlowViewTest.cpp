#include "componentui/KELComponentLibrarySelectButton.h"
#include "componentui/KELCoverFlowImage.h"
#include "componentui/KELCoverFlowImageLoader.h"
#include "componentui/KELCoverFlowView.h"
#include "componentui/LibraryTestSupport.h"

#include <QPainter>
#include <QStackedWidget>
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

// A picture whose top-left quarter is clear.
QImage cornerImage()
{
    QImage image(64, 64, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::blue);
    QPainter painter(&image);
    painter.setCompositionMode(QPainter::CompositionMode_Source);
    painter.fillRect(0, 0, 32, 32, Qt::transparent);
    return image;
}

class KELCoverFlowViewTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        catalogue = makeCatalogue(dir.path(), {
            {QStringLiteral("Tabs"), {}, QStringLiteral("Panels")},
            {QStringLiteral("audio"), {}, {}},
            {QStringLiteral("Simple List"), {}, {}},
            {QStringLiteral("Image Map"), {}, {}},
            {QStringLiteral("Simple Font"), {}, {}},
            {QStringLiteral("Menu"), {}, {}},
        });
        source.list = catalogue;
        view.setImageLoader(&loader);
        view.resize(900, 500);
        view.setDataSource(&source);
        view.setDelegate(&source);
        view.reloadComponents();
    }
    QStringList order() const
    {
        QStringList list;
        for (const auto& image : view.desktopImages())
            list << image->name();
        return list;
    }
    QString selectedName() const
    {
        auto component = view.selectedComponent();
        return component ? component->name().value_or(QString()) : QString();
    }
    std::shared_ptr<KELComponent> named(const QString& name) const
    {
        for (const auto& c : catalogue)
            if (c->name() == name)
                return c;
        return nullptr;
    }
    QTemporaryDir dir;
    QList<std::shared_ptr<KELComponent>> catalogue;
    Source source;
    KELCoverFlowImageLoader loader {[](const QString&) { return QImage(); }};
    KELCoverFlowView view;
};

} // namespace

TEST_F(KELCoverFlowViewTest, ShowsComponentsSortedByNameWithTheCount)
{
    EXPECT_EQ(order(), QStringList({"audio", "Image Map", "Menu", "Simple Font", "Simple List", "Tabs"}));
    EXPECT_EQ(view.countText(), QStringLiteral("6 Components"));
    EXPECT_EQ(selectedName(), QStringLiteral("audio"));
    EXPECT_EQ(view.headerText(), QStringLiteral("audio"));
    EXPECT_TRUE(view.selectButton()->isEnabled());
    EXPECT_FALSE(view.scroller()->isHidden());

    source.list = {named(QStringLiteral("Tabs"))};
    view.reloadComponents();
    EXPECT_EQ(view.countText(), QStringLiteral("1 Component"));
    EXPECT_TRUE(view.scroller()->isHidden());
    EXPECT_EQ(view.scroller()->sliderPosition(), 0);

    source.list.clear();
    view.reloadComponents();
    EXPECT_EQ(view.countText(), QStringLiteral("0 Components"));
    EXPECT_EQ(view.noSearchResultsText(), QStringLiteral("No Search Results"));
    EXPECT_EQ(view.selectedComponent(), nullptr);
    EXPECT_TRUE(view.headerText().isEmpty());
    EXPECT_FALSE(view.selectButton()->isEnabled());
    view.select();
    EXPECT_TRUE(source.chosen.isEmpty());
}

TEST_F(KELCoverFlowViewTest, NarrowingKeepsTheSelectionOrMovesToTheNextName)
{
    view.moveSelection(3); // Simple Font
    ASSERT_EQ(selectedName(), QStringLiteral("Simple Font"));
    source.list = {named("Tabs"), named("Simple Font"), named("audio")};
    view.reloadComponents();
    EXPECT_EQ(selectedName(), QStringLiteral("Simple Font"));
    source.list = {named("Tabs"), named("audio"), named("Menu")};
    view.reloadComponents();
    EXPECT_EQ(selectedName(), QStringLiteral("Tabs")); // the first not sorting before it
    source.list = {named("audio")};
    view.reloadComponents();
    EXPECT_EQ(selectedName(), QStringLiteral("audio")); // all sort before: the last
}

TEST_F(KELCoverFlowViewTest, RemovedComponentsLoseTheirLayersAndGetNewOnesWhenBack)
{
    const KELCoverFlowImage* menu = view.desktopImages().at(2).get();
    ASSERT_EQ(menu->name(), QStringLiteral("Menu"));
    EXPECT_TRUE(view.hasLayerForDesktopImage(menu));
    source.list.removeAll(named("Menu"));
    view.reloadComponents();
    EXPECT_FALSE(view.hasLayerForDesktopImage(menu));
    source.list = catalogue;
    view.reloadComponents();
    const KELCoverFlowImage* back = view.desktopImages().at(2).get();
    EXPECT_TRUE(view.hasLayerForDesktopImage(back));
    EXPECT_EQ(back->name(), QStringLiteral("Menu"));
}

TEST_F(KELCoverFlowViewTest, KeysMoveJumpTypeAheadAndChoose)
{
    QTest::keyClick(&view, Qt::Key_Right);
    EXPECT_EQ(selectedName(), QStringLiteral("Image Map"));
    QTest::keyClick(&view, Qt::Key_Right, Qt::ControlModifier);
    EXPECT_EQ(selectedName(), QStringLiteral("Tabs"));
    QTest::keyClick(&view, Qt::Key_Right);
    EXPECT_EQ(selectedName(), QStringLiteral("Tabs"));
    QTest::keyClick(&view, Qt::Key_Left, Qt::ControlModifier);
    EXPECT_EQ(selectedName(), QStringLiteral("audio"));
    EXPECT_EQ(view.animationDuration(), 600);
    QTest::keyClick(&view, Qt::Key_Right, Qt::ShiftModifier);
    EXPECT_EQ(view.animationDuration(), 2000);

    // "s" then "i" within a second searches "si"; after a pause "i" alone.
    QTest::keyClicks(&view, QStringLiteral("si"));
    EXPECT_EQ(view.searchString(), QStringLiteral("si"));
    EXPECT_EQ(selectedName(), QStringLiteral("Simple Font"));
    view.setLastSearchDate(QDateTime::currentDateTimeUtc().addMSecs(-1500));
    QTest::keyClick(&view, Qt::Key_I);
    EXPECT_EQ(view.searchString(), QStringLiteral("i"));
    EXPECT_EQ(selectedName(), QStringLiteral("Image Map"));
    view.setLastSearchDate({});
    QTest::keyClicks(&view, QStringLiteral("zz"));
    EXPECT_EQ(selectedName(), QStringLiteral("Tabs")); // past every name: the last

    QTest::keyClick(&view, Qt::Key_Return);
    ASSERT_EQ(source.chosen.size(), 1);
    EXPECT_EQ(source.chosen.first(), named("Tabs"));
}

TEST_F(KELCoverFlowViewTest, WheelAndScrollerPositions)
{
    const struct {
        double delta;
        qint64 steps;
    } wheel[] = {{0.3, -1}, {-2.7, 2}, {1.0, -1}, {-0.2, 1}, {0.0, 0}, {3.9, -3}};
    for (const auto& c : wheel)
        EXPECT_EQ(KELCoverFlowView::wheelSteps(c.delta), c.steps) << c.delta;

    const struct {
        double fraction;
        qint64 index;
    } positions[] = {{-1, 0}, {0, 0}, {0.5, 3}, {0.99, 5}, {1.0, 5}, {7, 5}, {0.34, 2}};
    for (const auto& c : positions) {
        view.scrollToPosition(c.fraction);
        EXPECT_EQ(view.selectedIndex(), c.index) << c.fraction;
    }
    // One picture per move, whatever the distance.
    view.moveScrollView(0.001);
    EXPECT_EQ(view.selectedIndex(), 3);
    view.moveScrollView(-100);
    EXPECT_EQ(view.selectedIndex(), 2);
}

TEST_F(KELCoverFlowViewTest, ClicksHitOnlyOpaquePartsOfPictures)
{
    QTemporaryDir pictures;
    auto a = makeComponent(pictures.path(), {QStringLiteral("A"), {}, {}, cornerImage()});
    auto b = makeComponent(pictures.path(), {QStringLiteral("B"), {}, {}, cornerImage()});
    KELCoverFlowImageLoader realLoader;
    view.setImageLoader(&realLoader);
    source.list = {a, b};
    view.reloadComponents();
    view.show();
    ASSERT_TRUE(waitFor([&] {
        return view.desktopImages().size() == 2 && view.desktopImages().at(0)->hasImage() && view.desktopImages().at(1)->hasImage();
    }));
    view.moveSelection(-1);
    view.finishAnimation();
    ASSERT_EQ(selectedName(), QStringLiteral("A"));
    // Points on the selected picture (A), in picture coordinates (y down).
    const QTransform t = view.pictureTransform(0);
    const QPoint clearCorner = t.map(QPointF(20, 20)).toPoint();
    const QPoint opaque = t.map(QPointF(120, 120)).toPoint();
    QTest::mouseClick(&view, Qt::LeftButton, {}, clearCorner);
    EXPECT_EQ(selectedName(), QStringLiteral("A"));
    QTest::mouseDClick(&view, Qt::LeftButton, {}, clearCorner);
    EXPECT_TRUE(source.chosen.isEmpty()); // the first click hit nothing
    // A double click reaches a widget as a press, a release and a double-click event.
    QTest::mouseClick(&view, Qt::LeftButton, {}, opaque);
    QTest::mouseDClick(&view, Qt::LeftButton, {}, opaque);
    ASSERT_EQ(source.chosen.size(), 1);
    EXPECT_EQ(source.chosen.first(), a);
    // A click on the turned neighbour selects it.
    const QPoint neighbour = view.pictureTransform(1).map(QPointF(120, 120)).toPoint();
    QTest::mouseClick(&view, Qt::LeftButton, {}, neighbour);
    EXPECT_EQ(selectedName(), QStringLiteral("B"));
    view.hide();
    realLoader.stop();
}

TEST_F(KELCoverFlowViewTest, FullScreenShowsTheViewAloneAndEscapeBringsItHome)
{
    QWidget window;
    auto* stack = new QStackedWidget(&window);
    stack->addWidget(new QWidget);
    stack->addWidget(&view);
    stack->addWidget(new QWidget);
    stack->setCurrentWidget(&view);
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));

    view.fullScreenAction();
    ASSERT_TRUE(view.isInFullScreenMode());
    QWidget* host = view.window();
    EXPECT_NE(host, &window);
    EXPECT_TRUE(host->windowState() & Qt::WindowFullScreen);
    EXPECT_EQ(stack->indexOf(&view), -1);
    EXPECT_EQ(selectedName(), QStringLiteral("audio"));

    // The keys still move the pictures; Escape leaves full screen.
    QTest::keyClick(&view, Qt::Key_Right);
    EXPECT_EQ(selectedName(), QStringLiteral("Image Map"));
    QTest::keyClick(&view, Qt::Key_Escape);
    EXPECT_FALSE(view.isInFullScreenMode());
    EXPECT_EQ(view.window(), &window);
    EXPECT_EQ(stack->indexOf(&view), 1);
    EXPECT_EQ(stack->currentWidget(), &view);

    // Closing the full-screen window brings the view home too.
    view.fullScreenAction();
    ASSERT_TRUE(view.isInFullScreenMode());
    view.window()->close();
    EXPECT_TRUE(QTest::qWaitFor([&] { return !view.isInFullScreenMode(); }, 5000));
    EXPECT_EQ(stack->indexOf(&view), 1);

    stack->removeWidget(&view);
    view.setParent(nullptr);
}

TEST_F(KELCoverFlowViewTest, ReadersSeeEachComponentAndTheSelectedOne)
{
    view.show();
    AccessibleEventLog log;
    QAccessibleInterface* flow = QAccessible::queryAccessibleInterface(&view);
    ASSERT_TRUE(flow);
    EXPECT_EQ(flow->role(), QAccessible::List);
    // The pictures first, then the view's own controls.
    ASSERT_GE(flow->childCount(), int(view.desktopImages().size()));
    QStringList names;
    for (int i = 0; i < int(view.desktopImages().size()); ++i)
        names << flow->child(i)->text(QAccessible::Name);
    EXPECT_EQ(names, order());
    const int tabs = int(order().indexOf(QStringLiteral("Tabs")));
    EXPECT_EQ(flow->child(tabs)->text(QAccessible::Description), QStringLiteral("Panels"));
    EXPECT_TRUE(flow->child(int(view.selectedIndex()))->state().selected);

    view.moveSelection(1);
    const int now = int(view.selectedIndex());
    EXPECT_TRUE(flow->child(now)->state().selected);
    EXPECT_FALSE(flow->child(now - 1)->state().selected);
    ASSERT_FALSE(log.ofType(QAccessible::Selection, &view).isEmpty());
    EXPECT_EQ(log.ofType(QAccessible::Selection, &view).last().child, now);
    // The selected picture faces the reader in the middle of the view.
    EXPECT_TRUE(QRect(view.mapToGlobal(QPoint(0, 0)), view.size()).contains(flow->child(now)->rect().center()));
    flow->child(0)->actionInterface()->doAction(QAccessibleActionInterface::pressAction());
    EXPECT_EQ(view.selectedIndex(), 0);
}
