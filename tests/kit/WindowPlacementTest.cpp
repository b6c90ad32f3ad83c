#include "kit/WindowPlacement.h"

#include "kit/UserDefaults.h"
#include "kit/document/Document.h"
#include "kit/document/WindowController.h"

#include <QApplication>
#include <QScreen>
#include <QTest>
#include <QWidget>
#include <gtest/gtest.h>

namespace {

QRect screenArea()
{
    return QGuiApplication::primaryScreen()->availableGeometry();
}

} // namespace

// A frame is moved, never left, partly off its screen: off the bottom-left, with
// its title bar above the top, or larger than the screen.
TEST(WindowPlacementTest, FramesEndUpWhollyInsideTheArea)
{
    const QRect area(0, 0, 1600, 1000);
    struct Case {
        const char* what;
        QRect frame;
        QRect expected;
    } const cases[] = {
        {"inside", QRect(100, 100, 400, 300), QRect(100, 100, 400, 300)},
        {"below the bottom-left corner", QRect(-50, 900, 400, 300), QRect(0, 700, 400, 300)},
        {"title bar above the top", QRect(1330, -28, 270, 428), QRect(1330, 0, 270, 428)},
        {"off the right", QRect(1500, 200, 400, 300), QRect(1200, 200, 400, 300)},
        {"larger than the area", QRect(-10, -10, 2000, 1200), QRect(0, 0, 1600, 1000)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(kit::frameInsideArea(c.frame, area), c.expected);
    }
}

// A new window opens centred on the window it belongs to, wholly on the screen,
// and a cascade steps down from it and starts again at the corner at the edge.
TEST(WindowPlacementTest, CentredOnItsWindowAndCascadedOnScreen)
{
    const QRect area = screenArea();
    QWidget owner;
    owner.resize(area.width() / 2, area.height() / 2);
    owner.move(area.topLeft() + QPoint(10, 10));
    owner.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&owner));

    QWidget window;
    window.resize(200, 100);
    kit::centerWindow(&window, &owner);
    EXPECT_EQ(kit::windowFrame(&window).center(), kit::windowFrame(&owner).center());
    EXPECT_TRUE(area.contains(kit::windowFrame(&window)));

    // Near the edge: still wholly on screen.
    owner.move(area.right() - 50, area.bottom() - 50);
    kit::centerWindow(&window, &owner);
    EXPECT_TRUE(area.contains(kit::windowFrame(&window)));

    const QPoint next = kit::cascadeTopLeftFromPoint(&window, area.topLeft() + QPoint(30, 40));
    EXPECT_EQ(kit::windowFrame(&window).topLeft(), area.topLeft() + QPoint(30, 40));
    EXPECT_GT(next.x(), 30 + area.left());
    EXPECT_GT(next.y(), 40 + area.top());
    // Past the edge the cascade starts again at the corner.
    kit::cascadeTopLeftFromPoint(&window, area.bottomRight() - QPoint(10, 10));
    EXPECT_EQ(kit::windowFrame(&window).topLeft(), area.topLeft());
    // A null point leaves the window where it is.
    const QPoint here = kit::windowFrame(&window).topLeft();
    kit::cascadeTopLeftFromPoint(&window, QPoint());
    EXPECT_EQ(kit::windowFrame(&window).topLeft(), here);
}

// Placing a window the first time centres it unless it was put somewhere; a
// window shown again keeps its place but is kept on screen.
TEST(WindowPlacementTest, AWindowIsPlacedOnceAndKeptOnScreen)
{
    const QRect area = screenArea();
    QWidget owner;
    owner.resize(300, 200);
    owner.move(area.topLeft() + QPoint(40, 30));
    owner.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&owner));

    QWidget fresh;
    fresh.resize(120, 80);
    kit::placeWindow(&fresh, &owner);
    EXPECT_EQ(kit::windowFrame(&fresh).center(), kit::windowFrame(&owner).center());

    QWidget put;
    put.resize(120, 80);
    put.move(area.left() - 60, area.bottom() - 20); // partly below the bottom-left corner
    kit::placeWindow(&put, &owner);
    EXPECT_TRUE(area.contains(kit::windowFrame(&put)));
    EXPECT_EQ(kit::windowFrame(&put).left(), area.left());
    EXPECT_EQ(kit::windowFrame(&put).bottom(), area.bottom());

    // Shown again later: where the user left it.
    fresh.move(area.topLeft() + QPoint(5, 6));
    kit::placeWindow(&fresh, &owner);
    EXPECT_EQ(kit::windowFrame(&fresh).topLeft(), area.topLeft() + QPoint(5, 6));
}

// One window at a time holds a frame autosave name; the frame it keeps follows
// the window and comes back with the name.
TEST(WindowPlacementTest, AFrameAutosaveNameBelongsToOneWindowAndKeepsItsFrame)
{
    kit::UserDefaults::standard().resetForTesting();
    const QRect area = screenArea();
    const QString name = QStringLiteral("WindowPlacementTestFrame");
    kit::WindowController first(new QWidget);
    kit::WindowController second(new QWidget);
    ASSERT_TRUE(first.setWindowFrameAutosaveName(name));
    EXPECT_FALSE(second.setWindowFrameAutosaveName(name));
    EXPECT_TRUE(second.windowFrameAutosaveName().isEmpty());

    first.window()->resize(210, 110);
    first.window()->move(area.topLeft() + QPoint(33, 44));
    first.window()->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(first.window()));
    first.window()->move(area.topLeft() + QPoint(35, 46)); // moved by the user: kept at once
    QCoreApplication::processEvents();
    const QRect frame = kit::windowFrame(first.window());
    first.close();
    QCoreApplication::processEvents();

    // The name is free again, and the next window takes the frame with it.
    ASSERT_TRUE(second.setWindowFrameAutosaveName(name));
    second.window()->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(second.window()));
    EXPECT_EQ(second.window()->size(), QSize(210, 110));
    EXPECT_EQ(kit::windowFrame(second.window()), frame);
}

// A window without a window controller keeps its frame under its autosave name too.
TEST(WindowPlacementTest, AWindowKeepsItsFrameUnderItsName)
{
    kit::UserDefaults::standard().resetForTesting();
    const QRect area = screenArea();
    const QString name = QStringLiteral("WindowPlacementTestPanel");
    QRect frame;
    {
        QWidget panel(nullptr, Qt::Tool);
        EXPECT_FALSE(kit::keepWindowFrame(&panel, name)); // nothing saved yet
        panel.resize(230, 140);
        panel.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&panel));
        panel.move(area.topLeft() + QPoint(61, 72));
        QCoreApplication::processEvents();
        frame = kit::windowFrame(&panel);
        panel.hide();
    }
    QWidget again(nullptr, Qt::Tool);
    EXPECT_TRUE(kit::keepWindowFrame(&again, name));
    again.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&again));
    EXPECT_EQ(kit::windowFrame(&again), frame);
}
