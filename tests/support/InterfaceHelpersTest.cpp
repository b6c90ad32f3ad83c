#include "support/InterfaceHelpers.h"

#include <QFontMetricsF>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QScreen>
#include <QVBoxLayout>
#include <gtest/gtest.h>

namespace {

TEST(InterfaceHelpers, ConstrainScrollPointCentresSmallDocumentsAndClampsLargeOnes)
{
    struct Case
    {
        QPointF proposed;
        QSizeF bounds;
        QSizeF document;
        QPointF expected;
    } cases[] = {
        { QPointF(50, 70), QSizeF(100, 100), QSizeF(400, 300), QPointF(50, 70) }, // larger both ways: free
        { QPointF(-20, 500), QSizeF(100, 100), QSizeF(400, 300), QPointF(0, 200) }, // clamped into the extent
        { QPointF(30, 40), QSizeF(200, 100), QSizeF(50, 300), QPointF(-75, 40) }, // narrower only: centred across
        { QPointF(0, 0), QSizeF(201, 101), QSizeF(50, 50), QPointF(std::round(-75.5), std::round(-25.5)) },
    };
    for (const Case& c : cases)
        EXPECT_EQ(constrainScrollPoint(c.proposed, c.bounds, c.document), c.expected);
}

TEST(InterfaceHelpers, PathStrings)
{
    const QString arrow = QStringLiteral(" \u279E ");
    EXPECT_EQ(pathDisplayString(QStringLiteral("/"), true, false, -1), QString());
    EXPECT_EQ(pathDisplayString(QStringLiteral("/site"), true, false, -1), QStringLiteral("site"));
    EXPECT_EQ(pathDisplayString(QStringLiteral("/a/b/Tool.app"), true, false, -1),
        QStringLiteral("a") + arrow + QStringLiteral("b") + arrow + QStringLiteral("Tool"));
    EXPECT_EQ(pathDisplayString(QStringLiteral("/a/b/c"), false, true, 2), QStringLiteral("b\nc"));

    QFont font;
    const QString full = pathDisplayString(QStringLiteral("/home/user/site/index.html"), true, false, -1);
    const qreal fullWidth = QFontMetricsF(font).horizontalAdvance(full);
    EXPECT_EQ(
        pathDisplayStringFittingWidth(QStringLiteral("/home/user/site/index.html"), font, true, -1, fullWidth + 8),
        full);
    const QString two = pathDisplayString(QStringLiteral("/home/user/site/index.html"), true, false, 2);
    EXPECT_EQ(pathDisplayStringFittingWidth(QStringLiteral("/home/user/site/index.html"), font, true, -1,
                  QFontMetricsF(font).horizontalAdvance(two) + 8),
        two);
    EXPECT_EQ(pathDisplayStringFittingWidth(QStringLiteral("/home/user/site/index.html"), font, true, -1, 1),
        QStringLiteral("index.html"));
}

TEST(InterfaceHelpers, ScreensAndViews)
{
    ASSERT_FALSE(QGuiApplication::screens().isEmpty());
    EXPECT_EQ(screenForPoint(QPoint(-100000, -100000)), QGuiApplication::screens().first());
    EXPECT_EQ(screenForRect(QRect(-100000, -100000, 5, 5)), QGuiApplication::screens().first());
    EXPECT_FALSE(screenVisibleFrameForPoint(QPoint(-5, -5)).isNull());

    QWidget parent;
    auto* layout = new QVBoxLayout(&parent);
    auto* old = new QWidget;
    layout->addWidget(old);
    auto* replacement = new QWidget;
    replaceViewMatchingFrame(old, replacement);
    EXPECT_EQ(layout->indexOf(replacement), 0);
    EXPECT_EQ(layout->indexOf(old), -1);
    replaceViewMatchingFrame(replacement, replacement); // the same view: nothing happens
    EXPECT_EQ(layout->indexOf(replacement), 0);
    delete old;

    // The gradient runs from the bottom edge (t = 0) to the top edge (t = 1).
    QImage image(10, 100, QImage::Format_ARGB32);
    image.fill(Qt::transparent);
    QPainter p(&image);
    drawVerticalGradientInRect(&p, QRectF(0, 0, 10, 100), [](double t) {
        return std::array<double, 4> { t, 0, 1 - t, 1 };
    });
    p.end();
    EXPECT_GT(qRed(image.pixel(5, 1)), 240);
    EXPECT_GT(qBlue(image.pixel(5, 98)), 240);
}

} // namespace

namespace {

TEST(InterfaceHelpers, MenuPathTitles)
{
    EXPECT_EQ(menuPathString(QStringLiteral("/opt/tools/Browser.app"), true), QStringLiteral("Browser \u2014 tools"));
    EXPECT_EQ(menuPathString(QStringLiteral("/opt/tools/site"), false), QStringLiteral("site"));
}

} // namespace

