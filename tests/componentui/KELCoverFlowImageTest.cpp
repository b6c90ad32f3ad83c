#include "componentui/KELCoverFlowImage.h"
#include "componentui/KELCoverFlowImageLayout.h"
#include "componentui/KELCoverFlowImageLoader.h"
#include "componentui/LibraryTestSupport.h"
#include "kit/NotificationCenter.h"

#include <QPainter>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <atomic>
#include <thread>

using namespace librarytest;

namespace {

KELCoverFlowLayoutInput viewInput(qint64 count, qint64 selected)
{
    KELCoverFlowLayoutInput in;
    in.width = 1000;
    in.height = 400;
    in.desktopImageCount = count;
    in.selectedDesktopImage = selected;
    in.cellWidth = 160;
    in.cellHeight = 160;
    in.spacing = 5;
    return in;
}

// Counts the load notifications per image.
class LoadCounter {
public:
    LoadCounter()
    {
        m_id = kit::NotificationCenter::defaultCenter().addObserver(
            KELCoverFlowImageDidLoadNotification, nullptr, [this](const kit::Notification& n) { ++counts[n.object]; });
    }
    ~LoadCounter() { kit::NotificationCenter::defaultCenter().removeObserver(m_id); }
    std::map<const void*, int> counts;

private:
    quint64 m_id = 0;
};

// A picture whose top-left quarter is clear and the rest opaque red.
QImage cornerImage()
{
    QImage image(40, 20, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::red);
    QPainter painter(&image);
    painter.setCompositionMode(QPainter::CompositionMode_Source);
    painter.fillRect(0, 0, 20, 10, Qt::transparent);
    return image;
}

} // namespace

TEST(KELCoverFlowImageLayoutTest, NeighboursPackTowardsTheSelection)
{
    const auto& layout = KELCoverFlowImageLayout::layoutManager();
    const auto in = viewInput(9, 4);
    const auto p = layout.layoutSublayers(in);
    ASSERT_EQ(p.size(), 9);
    EXPECT_DOUBLE_EQ(p[5].x - p[4].x, 147);
    EXPECT_DOUBLE_EQ(p[4].x - p[3].x, 147);
    EXPECT_DOUBLE_EQ(p[6].x - p[5].x, 45);
    EXPECT_DOUBLE_EQ(p[3].x - p[2].x, 45);
    EXPECT_EQ(p[4].angle, 0);
    EXPECT_GT(p[3].angle, 0);
    EXPECT_LT(p[5].angle, 0);
    EXPECT_EQ(p[4].z, 100);
    // Nearer pictures lie in front of farther ones.
    EXPECT_GT(p[3].containerZ, p[2].containerZ);
    EXPECT_GT(p[5].containerZ, p[6].containerZ);
    EXPECT_DOUBLE_EQ(p[0].y, 400 / 2.0 - 15);
    // Scrolling to the answer puts the selected picture's middle in the middle.
    EXPECT_DOUBLE_EQ(p[4].x + 80 - layout.positionOfSelectedDesktopImage(in), 500);
}

TEST(KELCoverFlowImageLayoutTest, OneImageIsCentredAndNoneChangesNothing)
{
    const auto& layout = KELCoverFlowImageLayout::layoutManager();
    const auto one = layout.layoutSublayers(viewInput(1, 0));
    ASSERT_EQ(one.size(), 1);
    EXPECT_DOUBLE_EQ(one[0].x, 420);
    EXPECT_EQ(one[0].angle, 0);
    EXPECT_TRUE(layout.layoutSublayers(viewInput(0, 0)).isEmpty());
    EXPECT_FALSE(layout.desktopImageIndices(viewInput(0, 0), QRectF(0, 0, 1000, 400)));
}

TEST(KELCoverFlowImageLayoutTest, VisibleIndicesStayInsideTheList)
{
    const auto& layout = KELCoverFlowImageLayout::layoutManager();
    const struct {
        qint64 count, selected;
        QRectF rect;
        std::optional<std::pair<qint64, qint64>> expected;
    } cases[] = {
        {200, 0, QRectF(-1e6, 0, 2e6, 400), std::make_pair(qint64(0), qint64(199))},
        {200, 100, QRectF(1e9, 0, 1000, 400), std::nullopt},
        {200, 100, QRectF(-1e9, 0, 1000, 400), std::nullopt},
        {3, 1, QRectF(0, 0, 1000, 400), std::make_pair(qint64(0), qint64(2))},
    };
    for (const auto& c : cases)
        EXPECT_EQ(layout.desktopImageIndices(viewInput(c.count, c.selected), c.rect), c.expected) << c.count << " " << c.selected;
    // The selected picture's own place is always among the visible ones.
    const auto in = viewInput(200, 120);
    const double scroll = layout.positionOfSelectedDesktopImage(in);
    const auto visible = layout.desktopImageIndices(in, QRectF(scroll, 0, 1000, 400));
    ASSERT_TRUE(visible);
    EXPECT_LE(visible->first, 120);
    EXPECT_GE(visible->second, 120);
}

TEST(KELCoverFlowImageTest, ComparesNamesWithoutCase)
{
    QTemporaryDir dir;
    auto catalogue = makeCatalogue(dir.path(), {{QStringLiteral("tabs"), {}, {}}, {QStringLiteral("Tabs"), {}, {}},
                                                {QStringLiteral("Menu"), {}, {}}});
    KELCoverFlowImage a(catalogue[0]), b(catalogue[1]), c(catalogue[2]);
    EXPECT_EQ(a.compareWithDesktopImage(&b, {1, 0}), 0);
    EXPECT_EQ(c.compareWithDesktopImage(&a, {1, 0}), -1);
    EXPECT_EQ(a.compareWithDesktopImage(&c, {1, 0}), 1);
    EXPECT_EQ(a.compareWithDesktopImage(nullptr, {1, 0}), 1);
    EXPECT_EQ(a.compareWithDesktopImage(&c, {0, 1}), 0);
}

TEST(KELCoverFlowImageTest, AlphaAtPointIncludingTheFarEdges)
{
    QTemporaryDir dir;
    auto component = makeComponent(dir.path(), {QStringLiteral("Corner"), {}, {}, cornerImage()});
    auto image = std::make_shared<KELCoverFlowImage>(component);
    EXPECT_EQ(image->alphaAtImagePoint({0.1, 0.9}), 1.0); // no picture yet: opaque
    image->setPictures(KELCoverFlowImageLoader::readImage(image->path()), {});
    const struct {
        QPointF point;
        double alpha;
    } cases[] = {
        {{0.1, 0.9}, 0.0}, // the clear top-left quarter (y runs upwards)
        {{0.1, 0.1}, 1.0},
        {{0.9, 0.9}, 1.0},
        {{0.0, 1.0}, 0.0},
        {{1.0, 1.0}, 1.0}, // the right edge is the last column, not the next row
        {{1.0, 0.0}, 1.0},
        {{0.49, 0.51}, 0.0},
        {{-0.1, 0.9}, 1.0}, // outside the picture: opaque
    };
    for (const auto& c : cases)
        EXPECT_DOUBLE_EQ(image->alphaAtImagePoint(c.point), c.alpha) << c.point.x() << "," << c.point.y();
}

TEST(KELCoverFlowImageTest, ShadedCopyDarkensAndKeepsTransparency)
{
    const QImage shaded = KELCoverFlowImageLoader::shadedCopy(cornerImage());
    ASSERT_EQ(shaded.size(), QSize(40, 20));
    EXPECT_EQ(qAlpha(shaded.pixel(2, 2)), 0);
    const QRgb bottom = shaded.pixel(30, 19), top = shaded.pixel(30, 10);
    EXPECT_EQ(qAlpha(bottom), 255);
    // 60 % black at the bottom, near-opaque black towards the top.
    EXPECT_NEAR(qRed(bottom), 255 * 0.4, 12);
    EXPECT_LT(qRed(top), qRed(bottom));
    EXPECT_EQ(qGreen(bottom), 0);
}

TEST(KELCoverFlowImageTest, QueueLoadsEachRequestAndAnnouncesOnTheMainThread)
{
    QTemporaryDir dir;
    auto component = makeComponent(dir.path(), {QStringLiteral("Corner"), {}, {}, cornerImage()});
    std::atomic<int> loads {0};
    std::atomic<bool> release {false};
    KELCoverFlowImageLoader loader([&](const QString& path) {
        while (!release.load())
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        ++loads;
        return KELCoverFlowImageLoader::readImage(path);
    });
    auto image = std::make_shared<KELCoverFlowImage>(component);
    LoadCounter counter;
    // Requested twice before the loader reaches it: loaded and announced twice.
    image->requestImageOfSize({160, 160}, loader);
    image->requestImageOfSize({160, 160}, loader);
    release = true;
    ASSERT_TRUE(waitFor([&] { return counter.counts[image.get()] == 2; }));
    EXPECT_EQ(loads.load(), 2);
    EXPECT_TRUE(image->hasImage());
    EXPECT_FALSE(image->shadedImage().isNull());
    // Loaded at the same size: announced at once, nothing queued.
    image->requestImageOfSize({160, 160}, loader);
    EXPECT_EQ(counter.counts[image.get()], 3);
    EXPECT_EQ(loader.queuedCount(), 0);
    QCoreApplication::processEvents();
    EXPECT_EQ(loads.load(), 2);
}

TEST(KELCoverFlowImageTest, MissingPictureIsStillAnnounced)
{
    QTemporaryDir dir;
    auto component = makeComponent(dir.path(), {QStringLiteral("Plain"), {}, {}});
    KELCoverFlowImageLoader loader;
    auto image = std::make_shared<KELCoverFlowImage>(component);
    LoadCounter counter;
    image->requestImageOfSize({160, 160}, loader);
    ASSERT_TRUE(waitFor([&] { return counter.counts[image.get()] == 1; }));
    EXPECT_FALSE(image->hasImage());
}

TEST(KELCoverFlowImageTest, SweepDropsImagesNotRequestedAgain)
{
    QTemporaryDir dir;
    auto catalogue = makeCatalogue(dir.path(), {{QStringLiteral("A"), {}, {}}, {QStringLiteral("B"), {}, {}},
                                                {QStringLiteral("C"), {}, {}}});
    std::atomic<bool> release {false};
    KELCoverFlowImageLoader loader([&](const QString&) {
        while (!release.load())
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        return QImage();
    });
    auto busy = std::make_shared<KELCoverFlowImage>(catalogue[0]);
    auto a = std::make_shared<KELCoverFlowImage>(catalogue[1]);
    auto b = std::make_shared<KELCoverFlowImage>(catalogue[2]);
    busy->requestImageOfSize({1, 1}, loader);
    ASSERT_TRUE(waitFor([&] { return loader.queuedCount() == 0; })); // the loader holds it
    a->requestImageOfSize({1, 1}, loader);
    b->requestImageOfSize({1, 1}, loader);
    loader.sweep(); // both were requested since the last sweep: kept, marks cleared
    EXPECT_EQ(loader.queuedCount(), 2);
    b->requestImageOfSize({1, 1}, loader); // b is still visible, a scrolled away
    loader.sweep();
    EXPECT_EQ(loader.queuedCount(), 2); // b twice
    loader.sweep();
    EXPECT_EQ(loader.queuedCount(), 0);
    release = true;
}

TEST(KELCoverFlowImageTest, StopEndsABusyLoaderAndDropsItsQueue)
{
    QTemporaryDir dir;
    auto component = makeComponent(dir.path(), {QStringLiteral("Slow"), {}, {}});
    std::atomic<int> started {0};
    KELCoverFlowImageLoader loader([&](const QString&) {
        ++started;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        return QImage();
    });
    for (int i = 0; i < 20; ++i)
        std::make_shared<KELCoverFlowImage>(component)->requestImageOfSize({1, 1}, loader);
    ASSERT_TRUE(waitFor([&] { return started.load() > 0; }));
    loader.stop();
    EXPECT_FALSE(loader.isRunning());
    EXPECT_EQ(loader.queuedCount(), 0);
    EXPECT_LT(started.load(), 20);
    std::make_shared<KELCoverFlowImage>(component)->requestImageOfSize({1, 1}, loader);
    EXPECT_EQ(loader.queuedCount(), 0);
}
