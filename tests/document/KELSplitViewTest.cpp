#include "document/KELSplitView.h"

#include <gtest/gtest.h>

#include <QWidget>

namespace {

struct Panes {
    KELSplitView split{Qt::Horizontal};
    Panes(int count)
    {
        for (int i = 0; i < count; ++i)
            split.addWidget(new QWidget);
        split.resize(600, 300);
        QList<int> sizes(count, 600 / count);
        split.setSizes(sizes);
        split.show();
    }
};

} // namespace

TEST(KELSplitViewTest, DividersMoveOnlyWhereTargetsAreGiven)
{
    Panes panes(3);
    const QList<QRect> before = panes.split.subviewFrames();
    // Two targets for three panes: only the first divider is covered.
    KELSplitViewAnimation animation(&panes.split, {QRect(0, 0, 100, 300), QRect(101, 0, 200, 300)});
    animation.startAnimation();
    EXPECT_TRUE(panes.split.isAnimating());
    animation.setCurrentProgress(1.0);
    EXPECT_FALSE(panes.split.isAnimating());
    const QList<QRect> after = panes.split.subviewFrames();
    EXPECT_EQ(after.at(0).width(), 100);
    // The second divider stays where it was.
    EXPECT_EQ(after.at(2).x(), before.at(2).x());
}

TEST(KELSplitViewTest, HalfWayFollowsTheEasedValueAndStoppingLeavesTheDividers)
{
    Panes panes(2);
    const QList<QRect> before = panes.split.subviewFrames();
    KELSplitViewAnimation animation(&panes.split, {QRect(0, 0, 0, 300), panes.split.rect()});
    animation.startAnimation();
    animation.setCurrentProgress(0.5);
    const int halfWay = panes.split.subviewFrames().at(0).width();
    EXPECT_LT(halfWay, before.at(0).width());
    EXPECT_GT(halfWay, 0);
    EXPECT_TRUE(panes.split.isAnimating());
    animation.stopAnimation();
    EXPECT_FALSE(panes.split.isAnimating());
    EXPECT_EQ(panes.split.subviewFrames().at(0).width(), halfWay);

    // A target equal to the start leaves its divider still.
    const QList<QRect> now = panes.split.subviewFrames();
    KELSplitViewAnimation still(&panes.split, now);
    still.startAnimation();
    still.setCurrentProgress(0.7);
    EXPECT_EQ(panes.split.subviewFrames().at(0).width(), halfWay);
}
