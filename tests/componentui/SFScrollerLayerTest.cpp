#include "componentui/LibraryTestSupport.h"
#include "componentui/SFScrollerLayer.h"

#include <QElapsedTimer>
#include <QTest>
#include <gtest/gtest.h>

using namespace librarytest;

namespace {

// Content of n pictures, one visible, like the cover flow's.
class Pictures : public SFScrollerContent {
public:
    explicit Pictures(int count) : count(count) { }
    double contentWidth() const override { return 1.0; }
    double visibleWidth() const override { return count ? 1.0 / count : 1.0; }
    double stepSize() const override { return count ? 1.0 / count : 1.0; }
    void moveScrollView(double distance) override
    {
        moves << distance;
        selected = std::clamp(selected + (distance > 0 ? 1 : -1), 0, count - 1);
        if (scroller)
            scroller->scrollPositionChanged(count > 1 ? double(selected) / (count - 1) : 0);
    }
    void scrollToPosition(double fraction) override { positions << fraction; }

    int count;
    int selected = 0;
    QList<double> moves;
    QList<double> positions;
    SFScrollerLayer* scroller = nullptr;
};

} // namespace

TEST(SFScrollerLayerTest, HiddenWhenEverythingIsVisibleAndSliderNeverNarrowerThan24)
{
    const struct {
        int pictures;
        double width;
        bool hidden;
        double sliderWidth;
    } cases[] = {
        {0, 500, true, 0},
        {1, 500, true, 0},
        {100, 500, false, 24},  // tray 460: 4.6 points, raised to 24
        {100, 2440, false, 24}, // tray 2400: exactly 24
        {4, 440, false, 100},   // tray 400 / 4
    };
    for (const auto& c : cases) {
        Pictures content(c.pictures);
        SFScrollerLayer scroller;
        scroller.setFrame(QRectF(0, 0, c.width, 16));
        scroller.setScrollerContent(&content);
        EXPECT_EQ(scroller.isHidden(), c.hidden) << c.pictures;
        if (!c.hidden) {
            EXPECT_DOUBLE_EQ(scroller.sliderWidth(), c.sliderWidth) << c.pictures;
        } else {
            // A hidden scroller takes no press.
            EXPECT_FALSE(scroller.mouseDownAtPointInSuperlayer(QPointF(c.width / 2, 8)));
        }
    }
    SFScrollerLayer without;
    without.setFrame(QRectF(0, 0, 500, 16));
    EXPECT_TRUE(without.isHidden());
}

TEST(SFScrollerLayerTest, SliderStaysInTheTrayAndDraggingScrollsTheContent)
{
    Pictures content(4);
    SFScrollerLayer scroller;
    scroller.setFrame(QRectF(100, 50, 440, 16)); // tray 400 wide, slider 100
    scroller.setScrollerContent(&content);
    scroller.setSliderPosition(-30);
    EXPECT_EQ(scroller.sliderPosition(), 0);
    scroller.setSliderPosition(350);
    EXPECT_EQ(scroller.sliderPosition(), 300);

    scroller.setSliderPosition(0);
    // Host coordinates: the slider starts 20 into the scroller.
    ASSERT_TRUE(scroller.mouseDownAtPointInSuperlayer(QPointF(100 + 20 + 50, 58)));
    EXPECT_EQ(scroller.inputMode(), SFScrollerLayer::DraggingSlider);
    scroller.mouseDragged(QPointF(100 + 20 + 50 + 150, 58));
    EXPECT_EQ(scroller.sliderPosition(), 150);
    ASSERT_FALSE(content.positions.isEmpty());
    EXPECT_DOUBLE_EQ(content.positions.last(), 0.5);
    // The content moving meanwhile does not move the slider under the pointer.
    scroller.scrollPositionChanged(1.0);
    EXPECT_EQ(scroller.sliderPosition(), 150);
    scroller.mouseUp(QPointF());
    EXPECT_EQ(scroller.inputMode(), SFScrollerLayer::Idle);
    scroller.scrollPositionChanged(1.0);
    EXPECT_EQ(scroller.sliderPosition(), 300);
    EXPECT_FALSE(scroller.mouseDownAtPointInSuperlayer(QPointF(50, 58)));
}

TEST(SFScrollerLayerTest, ZeroRangeSendsPositionZero)
{
    Pictures content(2);
    SFScrollerLayer scroller;
    scroller.setFrame(QRectF(0, 0, 60, 16)); // tray 20: the 24-point slider fills it
    scroller.setScrollerContent(&content);
    scroller.moveSlider(5);
    ASSERT_FALSE(content.positions.isEmpty());
    EXPECT_EQ(content.positions.last(), 0);
}

TEST(SFScrollerLayerTest, HoldingTheTrayPagesUntilTheSliderReachesThePointer)
{
    Pictures content(10);
    SFScrollerLayer scroller;
    content.scroller = &scroller;
    scroller.setFrame(QRectF(0, 0, 440, 16)); // tray 400, slider 40
    scroller.setScrollerContent(&content);
    // Press right of the slider, about a third along: pages once at once.
    QElapsedTimer held;
    held.start();
    ASSERT_TRUE(scroller.mouseDownAtPointInSuperlayer(QPointF(20 + 150, 8)));
    EXPECT_EQ(scroller.inputMode(), SFScrollerLayer::PageRight);
    EXPECT_EQ(content.moves.size(), 1);
    QTest::qWait(300);
    if (held.elapsed() < 450) { // (a machine too busy to come back in time leaves nothing to check)
        EXPECT_EQ(content.moves.size(), 1); // the repeat waits half a second
    }
    ASSERT_TRUE(waitFor([&] { return scroller.inputMode() == SFScrollerLayer::Idle; }, 60000));
    // The slider stopped under the pointer and paging stopped with it.
    EXPECT_TRUE(scroller.sliderRect().contains(QPointF(150, 8)));
    const int moves = content.moves.size();
    EXPECT_GE(moves, 3);
    QTest::qWait(250);
    EXPECT_EQ(content.moves.size(), moves);
    scroller.mouseUp(QPointF());
}

TEST(SFScrollerLayerTest, DraggingOffAHeldArrowPausesItsRepeat)
{
    Pictures content(50);
    SFScrollerLayer scroller;
    scroller.setFrame(QRectF(0, 0, 440, 16));
    scroller.setScrollerContent(&content);
    content.selected = 25;
    ASSERT_TRUE(scroller.mouseDownAtPointInSuperlayer(QPointF(430, 8))); // right arrow, outside the tray
    EXPECT_EQ(scroller.inputMode(), SFScrollerLayer::RightArrow);
    EXPECT_TRUE(scroller.rightHighlightShown());
    scroller.mouseDragged(QPointF(430, 40)); // off the arrow
    EXPECT_FALSE(scroller.rightHighlightShown());
    QTest::qWait(750);
    EXPECT_EQ(content.moves.size(), 1);
    scroller.mouseDragged(QPointF(430, 8)); // back on it
    EXPECT_TRUE(scroller.rightHighlightShown());
    ASSERT_TRUE(waitFor([&] { return content.moves.size() >= 3; }, 60000));
    for (double move : content.moves)
        EXPECT_DOUBLE_EQ(move, 1.0 / 50);
    scroller.mouseUp(QPointF());
    EXPECT_FALSE(scroller.rightHighlightShown());
}
