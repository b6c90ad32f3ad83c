#include "document/TabView.h"

#include "AccessibleEventLog.h"

#include "document/MyDocumentController.h"
#include "kit/NotificationCenter.h"
#include "kit/document/WindowController.h"

#include <gtest/gtest.h>

#include <QAccessible>

#include <QFontMetricsF>

#include <QFile>
#include <QMenu>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QVBoxLayout>
#include <cmath>
#include <memory>

namespace {

// A window holding one bar, placed at a fixed spot on the offscreen screen.
struct BarWindow {
    std::unique_ptr<QWidget> window;
    TabView* bar = nullptr;
    BarWindow(QPoint topLeft, int width, const QStringList& paths)
    {
        window = std::make_unique<QWidget>();
        auto* layout = new QVBoxLayout(window.get());
        layout->setContentsMargins(0, 0, 0, 0);
        bar = new TabView;
        layout->addWidget(bar);
        layout->addStretch();
        window->setGeometry(QRect(topLeft, QSize(width, 100)));
        for (const QString& path : paths)
            bar->addTab(new Tab(path));
        window->show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(window.get()));
        bar->finishAnimation();
    }
    QStringList names() const
    {
        QStringList names;
        for (Tab* tab : bar->activeTabs())
            names << (tab->isPlaceholder() ? QStringLiteral("_") : tab->name());
        return names;
    }
    QPoint centerOf(qsizetype index) const
    {
        return bar->rectForTab(bar->activeTabs()[index]).center().toPoint();
    }
};

} // namespace

TEST(TabViewTest, LayoutTable)
{
    struct Case {
        double width;
        qsizetype tabs;
        qint64 left;
        qsizetype selected;
        double tabWidth;
        qint64 visible;
        bool scrollers;
        qint64 expectedLeft;
        double offset;
    };
    const Case cases[] = {
        {400, 5, 0, -1, 80.2, 5, false, 0, 0},      // fits exactly
        {400, 6, 0, -1, 90.25, 4, true, 0, 0},      // overflow: U = 361, 4 visible
        {1000, 1, 0, 0, 200, 1, false, 0, 0},       // capped at 200
        {30, 3, 0, -1, 80, 0, true, 0, 0},          // narrower than the arrows
        {400, 6, 0, 5, 90.25, 4, true, 2, -180},    // selection off to the right becomes the last visible
        {400, 6, 2, 0, 90.25, 4, true, 0, 0},       // selection off to the left becomes the first
        {400, 6, 5, -1, 90.25, 4, true, 2, -180},   // left tab clamped so the last tab shows
        {0, 0, 0, -1, 200, 0, false, 0, 0},         // no tabs
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(QStringLiteral("width %1, %2 tabs, selected %3").arg(c.width).arg(c.tabs).arg(c.selected).toStdString());
        const KELTabLayout layout = TabView::computeLayout(c.width, c.tabs, c.left, c.selected, true);
        EXPECT_NEAR(layout.tabWidth, c.tabWidth, 1e-9);
        EXPECT_EQ(layout.numVisibleTabs, c.visible);
        EXPECT_EQ(layout.scrollersVisible, c.scrollers);
        EXPECT_EQ(layout.leftVisibleTab, c.expectedLeft);
        EXPECT_EQ(layout.scrollOffset, c.offset);
        ASSERT_EQ(layout.tabX.size(), c.tabs);
        for (qsizetype k = 0; k < c.tabs; ++k) {
            // Whole-number edges, each tab starting where the previous ends.
            EXPECT_EQ(layout.tabXRight[k], std::trunc(double(k + 1) * layout.tabWidth));
            EXPECT_EQ(layout.tabX[k], k == 0 ? 0.0 : layout.tabXRight[k - 1]);
        }
    }
}

TEST(TabViewTest, SelectionPostsOncePerChangeAndClosingSelectsNeighbour)
{
    TabView bar;
    bar.resize(600, 24);
    int posts = 0;
    const quint64 id = kit::NotificationCenter::defaultCenter().addObserver(
        KELSelectedTabDidChangeNotification, &bar, [&](const kit::Notification&) { ++posts; });
    auto* a = new Tab(QStringLiteral("/x/a.html"));
    auto* b = new Tab(QStringLiteral("/x/b.html"));
    auto* c = new Tab(QStringLiteral("/x/c.html"));
    bar.addTab(a);
    bar.addTab(b);
    bar.addTab(c);
    EXPECT_EQ(posts, 3);
    bar.setSelectedTab(c);
    EXPECT_EQ(posts, 3);
    bar.setSelectedTab(b);
    bar.removeTab(b); // the tab now at the same index
    EXPECT_EQ(bar.selectedTab(), c);
    bar.removeTab(c); // past the end: the last one
    EXPECT_EQ(bar.selectedTab(), a);
    bar.removeTab(a);
    EXPECT_EQ(bar.selectedTab(), nullptr);
    EXPECT_EQ(posts, 7);
    EXPECT_EQ(bar.tabWithPath(QStringLiteral("/x/a.html")), nullptr);
    kit::NotificationCenter::defaultCenter().removeObserver(id);
}

TEST(TabViewTest, TabNamesAndPathsAreExact)
{
    TabView bar;
    auto* tab = new Tab(QStringLiteral("/site/Index.html"));
    bar.addTab(tab);
    EXPECT_EQ(bar.tabWithPath(QStringLiteral("/site/Index.html")), tab);
    EXPECT_EQ(bar.tabWithPath(QStringLiteral("/site/index.html")), nullptr);
    EXPECT_EQ(tab->description(), QStringLiteral("Index.html (/site)"));
    Tab bare(QStringLiteral("index.html"));
    EXPECT_EQ(bare.description(), QStringLiteral("index.html"));
    Tab empty{QString()};
    EXPECT_EQ(empty.name(), QString());
}

TEST(TabViewTest, RestoreSkipsMissingFilesAndFallsBackToFirstTab)
{
    QTemporaryDir dir;
    const QString kept1 = dir.filePath(QStringLiteral("one.html"));
    const QString kept2 = dir.filePath(QStringLiteral("two.css"));
    for (const QString& path : {kept1, kept2}) {
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    }
    const QString missing = dir.filePath(QStringLiteral("gone.html"));
    QVariantMap state;
    {
        TabView source;
        source.addTab(new Tab(kept1));
        source.addTab(new Tab(missing));
        auto* image = new Tab(kept2);
        image->setIsImage(true);
        source.addTab(image);
        source.setSelectedTab(source.tabWithPath(missing));
        source.encodeWithCoder(state);
    }
    TabView restored;
    restored.restoreWithCoder(state);
    ASSERT_EQ(restored.numTabs(), 2);
    EXPECT_EQ(restored.tabs()[0]->path(), kept1);
    EXPECT_EQ(restored.tabs()[1]->path(), kept2);
    EXPECT_TRUE(restored.tabs()[1]->isImage());
    EXPECT_EQ(restored.selectedTab(), restored.tabs()[0]); // the selected one was skipped
    restored.restoreWithCoder({}); // restoration runs once
    EXPECT_EQ(restored.numTabs(), 2);

    QVariantMap onlyMissing;
    {
        TabView source;
        source.addTab(new Tab(missing));
        source.encodeWithCoder(onlyMissing);
    }
    TabView empty;
    empty.restoreWithCoder(onlyMissing);
    EXPECT_EQ(empty.numTabs(), 0);
    EXPECT_EQ(empty.selectedTab(), nullptr);
}

TEST(TabViewTest, ClickSelectsOnPressAndCloseNeedsReleaseInsideButton)
{
    BarWindow w(QPoint(0, 0), 600, {QStringLiteral("/p/a.html"), QStringLiteral("/p/b.html")});
    Tab* a = w.bar->activeTabs()[0];
    Tab* b = w.bar->activeTabs()[1];
    QWindow* handle = w.window->windowHandle();
    QTest::mousePress(handle, Qt::LeftButton, {}, w.centerOf(0));
    EXPECT_EQ(w.bar->selectedTab(), a);
    QTest::mouseRelease(handle, Qt::LeftButton, {}, w.centerOf(0));
    w.bar->repaint(); // lays out the close buttons
    ASSERT_FALSE(b->closeRect.isEmpty());

    // Pressing close and releasing elsewhere closes nothing.
    const QPoint close = b->closeRect.center().toPoint();
    QTest::mousePress(handle, Qt::LeftButton, {}, close);
    QTest::mouseMove(handle, close + QPoint(3, 0));
    QTest::mouseRelease(handle, Qt::LeftButton, {}, w.centerOf(0));
    EXPECT_EQ(w.bar->numTabs(), 2);
    EXPECT_EQ(w.bar->selectedTab(), a); // the press on the close button did not select

    QTest::mousePress(handle, Qt::LeftButton, {}, close);
    QTest::mouseRelease(handle, Qt::LeftButton, {}, close);
    EXPECT_EQ(w.bar->numTabs(), 1);
    // With one tab left and no empty bar allowed, no close button.
    w.bar->repaint();
    EXPECT_TRUE(w.bar->tabs()[0]->closeRect.isEmpty());
}

TEST(TabViewTest, ShortDragNeverStarts)
{
    BarWindow w(QPoint(0, 0), 600, {QStringLiteral("/p/a.html"), QStringLiteral("/p/b.html")});
    QWindow* handle = w.window->windowHandle();
    const QPoint start = w.centerOf(0);
    QTest::mousePress(handle, Qt::LeftButton, {}, start);
    QTest::mouseMove(handle, start + QPoint(6, 7)); // squared distance 85
    EXPECT_FALSE(w.bar->isDragging());
    QTest::mouseRelease(handle, Qt::LeftButton, {}, start + QPoint(6, 7));
    EXPECT_EQ(w.names(), QStringList({QStringLiteral("a.html"), QStringLiteral("b.html")}));
}

TEST(TabViewTest, PlaceholderGoesToEitherEndAndFollowsMidpoints)
{
    BarWindow w(QPoint(0, 0), 600, {QStringLiteral("/p/a"), QStringLiteral("/p/b"), QStringLiteral("/p/c")});
    w.bar->updatePlaceholderForDragPoint(QPointF(1, 10));
    EXPECT_EQ(w.bar->placeholderIndex(), 0);
    w.bar->updatePlaceholderForDragPoint(QPointF(599, 10));
    EXPECT_EQ(w.bar->placeholderIndex(), 3);
    w.bar->finishAnimation();
    // Tabs are 200 wide with the placeholder; the left half of "b" puts it before b.
    w.bar->removePlaceholders();
    w.bar->invalidateTabDimensionsWithScrollToSelection(false, false);
    w.bar->updatePlaceholderForDragPoint(QPointF(250, 10));
    EXPECT_EQ(w.names(), QStringList({QStringLiteral("a"), QStringLiteral("_"), QStringLiteral("b"), QStringLiteral("c")}));
    w.bar->updatePlaceholderForDragPoint(QPointF(400, 200)); // outside the bar
    EXPECT_EQ(w.bar->placeholderIndex(), -1);
}

TEST(TabViewTest, SlideAnimationSpeedsAndSnap)
{
    TabView bar;
    bar.resize(139, 24); // W = 140: one tab of 100 visible between the arrows
    QList<Tab*> tabs;
    for (int i = 0; i < 5; ++i) {
        tabs << new Tab(QStringLiteral("/p/%1").arg(i));
        bar.addTab(tabs.last());
    }
    bar.setSelectedTab(tabs[0]);
    bar.invalidateTabDimensionsWithScrollToSelection(true);
    bar.finishAnimation();
    ASSERT_EQ(bar.scrollOffset(), 0);
    bar.setSelectedTab(tabs[3]);
    bar.invalidateTabDimensionsWithScrollToSelection(true);
    ASSERT_EQ(bar.targetScrollOffset(), -300);
    EXPECT_TRUE(bar.animationStep(0.01));
    EXPECT_NEAR(bar.scrollOffset(), -10, 1e-9); // 6 x 300 capped at 1000 points per second
    while (bar.targetScrollOffset() - bar.scrollOffset() < -40)
        bar.animationStep(0.01);
    const double before = bar.scrollOffset();
    bar.animationStep(0.01);
    const double speed = (before - bar.scrollOffset()) / 0.01;
    EXPECT_NEAR(speed, 6 * std::abs(bar.targetScrollOffset() - before), 1e-6);
    while (bar.targetScrollOffset() - bar.scrollOffset() < -2.5)
        bar.animationStep(0.01);
    const double near = bar.scrollOffset();
    bar.animationStep(0.001);
    EXPECT_NEAR(near - bar.scrollOffset(), 0.2, 1e-9); // at least 200 points per second
    while (bar.animationStep(0.001)) {
    }
    EXPECT_EQ(bar.scrollOffset(), -300); // snapped
}

TEST(TabViewTest, ContextMenuOfATab)
{
    BarWindow w(QPoint(0, 0), 600, {QStringLiteral("/p/a"), QStringLiteral("/p/b")});
    w.bar->setAllowsDragAcrossTabViews(true);
    std::unique_ptr<QMenu> menu(w.bar->menuForPoint(w.centerOf(0)));
    ASSERT_TRUE(menu);
    QStringList titles;
    for (QAction* a : menu->actions())
        titles << a->text();
    EXPECT_EQ(titles, QStringList({QStringLiteral("Select Tab"), QStringLiteral("Close Tab"),
                                   QStringLiteral("Open Tab in New Window")}));
    menu->actions()[0]->trigger();
    EXPECT_EQ(w.bar->selectedTab()->name(), QStringLiteral("a"));
    EXPECT_EQ(w.bar->menuForPoint(QPointF(590, 10)), nullptr); // no tab there
}

TEST(TabViewTest, DragReordersWithinOneBar)
{
    BarWindow w(QPoint(0, 0), 600, {QStringLiteral("/p/a"), QStringLiteral("/p/b"), QStringLiteral("/p/c")});
    QWindow* handle = w.window->windowHandle();
    const QPoint start = w.centerOf(0);
    const QPoint end(560, 12);
    QTest::mousePress(handle, Qt::LeftButton, {}, start);
    QTest::mouseMove(handle, start + QPoint(20, 0)); // starts the drag
    EXPECT_TRUE(w.bar->isDragging());
    EXPECT_EQ(w.bar->activeTabs().size(), 3); // the tab left, a placeholder came
    QTest::mouseMove(handle, QPoint(400, 12));
    QTest::mouseMove(handle, end);
    QTest::mouseRelease(handle, Qt::LeftButton, {}, end);
    EXPECT_FALSE(w.bar->isDragging());
    EXPECT_EQ(w.names(), QStringList({QStringLiteral("b"), QStringLiteral("c"), QStringLiteral("a")}));
    EXPECT_EQ(w.bar->numTabs(), 3);
}

TEST(TabViewTest, DragMovesATabIntoAnotherWindow)
{
    BarWindow a(QPoint(0, 0), 600, {QStringLiteral("/p/a1"), QStringLiteral("/p/a2"), QStringLiteral("/p/a3")});
    BarWindow b(QPoint(700, 0), 500, {QStringLiteral("/q/b1")});
    a.bar->setAllowsDragAcrossTabViews(true);
    b.bar->setAllowsDragAcrossTabViews(true);
    struct Recorder : TabViewDelegate {
        QStringList events;
        void tabViewTabDraggedTo(TabView*, Tab* t) override { events << "to " + t->name(); }
        void tabViewTabDraggedFrom(TabView*, Tab* t) override { events << "from " + t->name(); }
    } ra, rb;
    a.bar->setDelegate(&ra);
    b.bar->setDelegate(&rb);
    QWindow* from = a.window->windowHandle();
    QWindow* to = b.window->windowHandle();
    const QPoint start = a.centerOf(1);
    QTest::mousePress(from, Qt::LeftButton, {}, start);
    QTest::mouseMove(from, start + QPoint(0, 15));
    QTest::mouseMove(to, QPoint(20, 12));
    QTest::mouseMove(to, QPoint(10, 12)); // left half of b1: before it
    QTest::mouseRelease(to, Qt::LeftButton, {}, QPoint(10, 12));
    EXPECT_EQ(a.names(), QStringList({QStringLiteral("a1"), QStringLiteral("a3")}));
    EXPECT_EQ(b.names(), QStringList({QStringLiteral("a2"), QStringLiteral("b1")}));
    EXPECT_EQ(a.bar->numTabs(), 2);
    EXPECT_EQ(b.bar->numTabs(), 2);
    EXPECT_EQ(b.bar->tabs().last()->tabView(), b.bar);
    EXPECT_EQ(ra.events, QStringList({QStringLiteral("from a2")}));
    EXPECT_EQ(rb.events, QStringList({QStringLiteral("to a2")}));
    EXPECT_TRUE(a.bar->activeTabs().contains(a.bar->selectedTab())); // the source selects a neighbour

    // A bar that does not allow drags across windows refuses them.
    b.bar->setAllowsDragAcrossTabViews(false);
    const QPoint again = a.centerOf(0);
    QTest::mousePress(from, Qt::LeftButton, {}, again);
    QTest::mouseMove(from, again + QPoint(0, 15));
    QTest::mouseMove(to, QPoint(20, 12));
    EXPECT_EQ(b.bar->placeholderIndex(), -1);
    QTest::mouseRelease(to, Qt::LeftButton, {}, QPoint(20, 12));
    EXPECT_EQ(a.names(), QStringList({QStringLiteral("a1"), QStringLiteral("a3")})); // back in place
    EXPECT_EQ(b.bar->numTabs(), 2);
}

TEST(TabTest, AttachesOnlyTheDocumentOpenInItsOwnWindow)
{
    kit::DocumentController::resetSharedForTesting();
    auto* controller = new MyDocumentController(qApp);
    QTemporaryDir dir;
    auto openDocument = [&](const QString& name) {
        QFile f(dir.filePath(name));
        f.open(QIODevice::WriteOnly);
        auto* d = new MyDocument;
        d->setFileURL(QUrl::fromLocalFile(f.fileName()));
        controller->addDocument(d);
        return d;
    };
    MyDocument* here = openDocument(QStringLiteral("here.html"));
    MyDocument* elsewhere = openDocument(QStringLiteral("elsewhere.html"));
    auto* window = new QWidget;
    auto* bar = new TabView(window);
    kit::WindowController own(window);
    kit::WindowController other(new QWidget);
    here->addWindowController(&own);
    elsewhere->addWindowController(&other);
    auto* hereTab = new Tab(here->fileURLPath());
    auto* elsewhereTab = new Tab(elsewhere->fileURLPath());
    bar->addTab(hereTab);
    bar->addTab(elsewhereTab);
    EXPECT_EQ(hereTab->safeDocument(), nullptr); // nothing attaches until asked
    EXPECT_EQ(hereTab->document(), here);
    EXPECT_EQ(elsewhereTab->document(), nullptr);
    EXPECT_EQ(bar->tabWithDocument(here), hereTab);
    // The attached document's edits show; its close takes the tab with it.
    here->closeWithWindowUpdate();
    EXPECT_EQ(bar->numTabs(), 1);
    here->removeWindowController(&own);
    elsewhere->removeWindowController(&other);
    kit::DocumentController::resetSharedForTesting();
}

TEST(TabViewTest, NarrowTabsKeepTheirTitlesApart)
{
    const QFont font;
    const QStringList names = {QStringLiteral("index-of-the-site.html"), QStringLiteral("index-of-the-site.css"),
                               QStringLiteral("index-of-the-site.js")};
    const qreal narrow = QFontMetricsF(font).horizontalAdvance(names[0]) * 0.6;
    QStringList shown;
    for (const QString& name : names) {
        const QString title = TabView::displayTitle(name, font, narrow);
        EXPECT_LE(QFontMetricsF(font).horizontalAdvance(title), narrow) << title.toStdString();
        EXPECT_NE(title, name);
        shown << title;
    }
    shown.removeDuplicates();
    EXPECT_EQ(shown.size(), names.size());
    EXPECT_EQ(TabView::displayTitle(names[0], font, 1000), names[0]);
}

TEST(TabViewTest, ReadersSeeEachTabAndItsCloseButton)
{
    BarWindow w(QPoint(0, 0), 600, {QStringLiteral("/p/a.html"), QStringLiteral("/p/b.html")});
    AccessibleEventLog log;
    QAccessibleInterface* bar = QAccessible::queryAccessibleInterface(w.bar);
    ASSERT_TRUE(bar);
    EXPECT_EQ(bar->role(), QAccessible::PageTabList);
    ASSERT_EQ(bar->childCount(), 2);
    QAccessibleInterface* a = bar->child(0);
    QAccessibleInterface* b = bar->child(1);
    EXPECT_EQ(a->role(), QAccessible::PageTab);
    EXPECT_EQ(a->text(QAccessible::Name), QStringLiteral("a.html"));
    EXPECT_EQ(b->text(QAccessible::Name), QStringLiteral("b.html"));
    EXPECT_EQ(a->text(QAccessible::Description), w.bar->tabs()[0]->description());
    EXPECT_EQ(bar->indexOfChild(b), 1);
    EXPECT_EQ(b->parent(), bar);
    // The last added tab is the selected one; boxes are where the tabs are drawn.
    EXPECT_TRUE(b->state().selected);
    EXPECT_FALSE(a->state().selected);
    EXPECT_TRUE(a->rect().contains(w.bar->mapToGlobal(w.centerOf(0))));
    EXPECT_FALSE(a->rect().contains(w.bar->mapToGlobal(w.centerOf(1))));
    EXPECT_EQ(bar->childAt(a->rect().center().x(), a->rect().center().y()), a);

    // Pressing a tab selects it, and readers are told.
    ASSERT_TRUE(a->actionInterface());
    a->actionInterface()->doAction(QAccessibleActionInterface::pressAction());
    EXPECT_EQ(w.bar->selectedTab(), w.bar->tabs()[0]);
    EXPECT_TRUE(a->state().selected);
    const auto selections = log.ofType(QAccessible::Selection, w.bar);
    ASSERT_EQ(selections.size(), 1);
    EXPECT_EQ(selections[0].child, 0);

    // The close button of a tab closes that tab.
    ASSERT_EQ(b->childCount(), 1);
    QAccessibleInterface* close = b->child(0);
    EXPECT_EQ(close->role(), QAccessible::Button);
    EXPECT_EQ(close->text(QAccessible::Name), QStringLiteral("Close b.html"));
    EXPECT_EQ(close->parent(), b);
    close->actionInterface()->doAction(QAccessibleActionInterface::pressAction());
    EXPECT_EQ(w.bar->numTabs(), 1);
    EXPECT_EQ(bar->childCount(), 1);
    EXPECT_FALSE(b->isValid()); // the second place is empty now
    // A lone tab has no close button.
    EXPECT_EQ(bar->child(0)->childCount(), 0);
}
