#include "ImageMapFixture.h"
#include "componentui/KELImageMapCircle.h"
#include "componentui/KELImageMapPolygon.h"
#include "componentui/KELImageMapRectangle.h"
#include "componentui/KELImageMapView.h"
#include "support/InterfaceHelpers.h"

#include <QScrollArea>
#include <QScrollBar>
#include <QBuffer>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

#include "AccessibleEventLog.h"
#include <QAccessible>

using namespace imagemaptest;

namespace {

/// A canvas in a centring scroll area whose clip view is exactly the area's size.
struct Canvas {
    explicit Canvas(const kit::KeyValueObjectPtr& r, QSize clip = QSize(600, 500)) : root(r)
    {
        area.setFrameShape(QFrame::NoFrame);
        area.setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        area.setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        area.resize(clip);
        view = new KELImageMapView;
        view->setRootController(root);
        view->setUndoRegistration([this](const kit::KeyValueObjectPtr& controller, const QString& keyPath, const QString& name, bool grouped) {
            registrations.append(Registration { controller, keyPath, name, grouped, describe(controller) });
        });
        area.setWidget(view);
        area.show();
        view->updateImageMap();
    }
    QPoint at(qreal x, qreal y) const { return view->widgetPointForCanvasPoint(QPointF(x, y)).toPoint(); }
    void click(qreal x, qreal y) { QTest::mouseClick(view, Qt::LeftButton, {}, at(x, y)); }
    void drag(QPointF from, const QList<QPointF>& to)
    {
        QTest::mousePress(view, Qt::LeftButton, {}, at(from.x(), from.y()));
        // Positions are taken before each step: the canvas may grow and shift.
        for (const QPointF& p : to)
            QTest::mouseMove(view, at(p.x(), p.y()));
        QTest::mouseRelease(view, Qt::LeftButton, {}, at(to.last().x(), to.last().y()));
    }
    qint64 tableSelection() const { return KELExpression::integerValue(root->valueForKeyPath(QStringLiteral("regions.selectedIndex"))); }
    QStringList regions() const
    {
        QStringList lines;
        for (qsizetype i = 0; regionAt(root, i); ++i)
            lines.append(describe(regionAt(root, i)));
        return lines;
    }
    QList<bool> selectedFlags() const
    {
        QList<bool> flags;
        for (const auto& shape : view->shapes())
            flags.append(shape && shape->selected());
        return flags;
    }

    kit::KeyValueObjectPtr root;
    KELCenteredClipView area;
    KELImageMapView* view = nullptr;
    QList<Registration> registrations;
};

kit::KeyValueObjectPtr fourRegions()
{
    // A rectangle, a circle inside it, a triangle beside them and a region whose
    // shape the canvas does not know, over the rectangle's right half.
    auto unknown = rectangle(200, 20, 300, 120);
    unknown->setValueForKeyPath(QStringLiteral("shape.value"), QStringLiteral("hexagon"));
    return imageMap(400, 300,
        { rectangle(20, 20, 300, 120), circle(100, 70, 30), polygon({ QPointF(20, 150), QPointF(200, 150), QPointF(20, 280) }), unknown });
}

} // namespace

TEST(KELImageMapViewTest, CanvasCoversImageAndShapesAndBalancesTheImageInSpareRoom)
{
    const struct {
        const char* name;
        kit::KeyValueObjectPtr root;
        QSize clip;
        QRectF bounds;
    } cases[] = {
        { "all inside, clip as large as the canvas", imageMap(400, 300, { rectangle(20, 20, 300, 120), circle(200, 150, 50) }), QSize(420, 320),
            QRectF(-10, -10, 420, 320) },
        // The circle sticks out 50 points on the right; 200 spare points: the left grows by 50.
        { "sticking out right", imageMap(400, 300, { circle(420, 150, 30) }), QSize(670, 320), QRectF(-60, -10, 520, 320) },
        // Only 20 spare points: the left grows by what there is.
        { "little room", imageMap(400, 300, { circle(420, 150, 30) }), QSize(490, 320), QRectF(-30, -10, 490, 320) },
        // Sticking out above: the bottom grows.
        { "sticking out above", imageMap(400, 300, { rectangle(100, -40, 200, 50) }), QSize(420, 600), QRectF(-10, -50, 420, 400) },
        // An unknown shape and an empty polygon take no room.
        { "shapes without area", imageMap(100, 80, { region(QStringLiteral("star"), { { "rectX1", 500 }, { "rectX2", 900 } }), polygon({}) }),
            QSize(120, 100), QRectF(-10, -10, 120, 100) },
    };
    for (const auto& c : cases) {
        Canvas canvas(c.root, c.clip);
        EXPECT_EQ(canvas.view->canvasBounds(), c.bounds) << c.name;
        EXPECT_EQ(canvas.view->size(), c.bounds.size().toSize()) << c.name;
    }
}

TEST(KELImageMapViewTest, ClicksSelectWithTheSelectedShapeFirstAndTheLaterRegionNext)
{
    Canvas canvas(fourRegions());
    const struct {
        const char* name;
        QPointF point;
        qint64 selected;
        qint64 table; // the regions table's selection afterwards
    } steps[] = {
        { "the circle lies over the rectangle: the later region wins", QPointF(100, 70), 1, 1 },
        { "the rectangle alone", QPointF(250, 100), 0, 0 },
        // The selected rectangle's body takes the click over the circle beneath.
        { "the selected shape first", QPointF(100, 70), 0, 0 },
        { "empty canvas leaves the table's selection", QPointF(350, 250), -1, 0 },
        // The unknown region covers (200..300, 20..120) but is never hit.
        { "the unknown region is never hit", QPointF(290, 30), 0, 0 },
        { "the triangle", QPointF(40, 170), 2, 2 },
        { "outside the triangle's slope", QPointF(190, 270), -1, 2 },
    };
    for (const auto& s : steps) {
        canvas.click(s.point.x(), s.point.y());
        EXPECT_EQ(canvas.view->selectedShape(), s.selected) << s.name;
        EXPECT_EQ(canvas.tableSelection(), s.table) << s.name;
        QList<bool> expected { false, false, false, false };
        if (s.selected >= 0)
            expected[s.selected] = true;
        EXPECT_EQ(canvas.selectedFlags(), expected) << s.name;
    }
    EXPECT_FALSE(canvas.view->shapes()[3]);
    EXPECT_TRUE(canvas.registrations.isEmpty());
    // Clicks alone change no region.
    EXPECT_EQ(canvas.regions(), (QStringList { "rect 20,20,300,120", "circle 100,70,30", "polygon 20,150 200,150 20,280", "hexagon " }));
}

TEST(KELImageMapViewTest, MouseDragsMoveAndResizeTheRegions)
{
    const struct {
        const char* name;
        QPointF select; // a click first, when not null
        QPointF from;
        QList<QPointF> to;
        QStringList regions;
        const char* keyPath;
    } cases[] = {
        { "move the rectangle", QPointF(), QPointF(250, 100), { QPointF(260, 110), QPointF(280, 130) },
            { "rect 50,50,330,150", "circle 100,70,30", "polygon 20,150 200,150 20,280", "hexagon " }, "location" },
        { "resize the selected rectangle by its last corner", QPointF(250, 100), QPointF(300, 20), { QPointF(350, 5) },
            { "rect 20,5,350,120", "circle 100,70,30", "polygon 20,150 200,150 20,280", "hexagon " }, "size.3" },
        // Moved out of the image to the left: the canvas grows and the drag goes on.
        { "move the circle past the image's edge", QPointF(), QPointF(100, 70), { QPointF(0, 70), QPointF(-60, 70) },
            { "rect 20,20,300,120", "circle -60,70,30", "polygon 20,150 200,150 20,280", "hexagon " }, "location" },
        { "drag a triangle corner", QPointF(40, 170), QPointF(20, 280), { QPointF(30, 260), QPointF(40, 290) },
            { "rect 20,20,300,120", "circle 100,70,30", "polygon 20,150 200,150 40,290", "hexagon " }, "size.2" },
        { "a click on a shape changes nothing", QPointF(), QPointF(100, 70), { QPointF(100, 70) },
            { "rect 20,20,300,120", "circle 100,70,30", "polygon 20,150 200,150 20,280", "hexagon " }, nullptr },
    };
    for (const auto& c : cases) {
        Canvas canvas(fourRegions());
        if (!c.select.isNull())
            canvas.click(c.select.x(), c.select.y());
        canvas.drag(c.from, c.to);
        EXPECT_EQ(canvas.regions(), c.regions) << c.name;
        EXPECT_FALSE(canvas.view->hasActiveShape()) << c.name;
        if (!c.keyPath) {
            EXPECT_TRUE(canvas.registrations.isEmpty()) << c.name;
            continue;
        }
        ASSERT_FALSE(canvas.registrations.isEmpty()) << c.name;
        for (const Registration& r : canvas.registrations)
            EXPECT_EQ(r.keyPath, QString::fromLatin1(c.keyPath)) << c.name;
    }
    // The canvas follows a shape dragged out of the image.
    Canvas canvas(fourRegions());
    canvas.drag(QPointF(100, 70), { QPointF(-60, 70) });
    EXPECT_EQ(canvas.view->canvasBounds().left(), -100);
}

TEST(KELImageMapViewTest, ArrowKeysNudgeTheSelectedShapeByOnePoint)
{
    Canvas canvas(fourRegions());
    canvas.view->setFocus();
    // Nothing selected: nothing moves.
    for (Qt::Key key : { Qt::Key_Up, Qt::Key_Left })
        QTest::keyClick(canvas.view, key);
    const QStringList untouched = canvas.regions();
    EXPECT_TRUE(canvas.registrations.isEmpty());
    const struct {
        QPointF select;
        QList<Qt::Key> keys;
        qsizetype region;
        const char* after;
    } cases[] = {
        { QPointF(250, 100), { Qt::Key_Right, Qt::Key_Right, Qt::Key_Down }, 0, "rect 22,21,302,121" },
        { QPointF(100, 70), { Qt::Key_Up, Qt::Key_Left, Qt::Key_Left }, 1, "circle 98,69,30" },
        { QPointF(40, 170), { Qt::Key_Left, Qt::Key_Up }, 2, "polygon 19,149 199,149 19,279" },
    };
    for (const auto& c : cases) {
        canvas.click(350, 250); // empty canvas: the selected shape would take the next click
        canvas.click(c.select.x(), c.select.y());
        canvas.registrations.clear();
        const QString before = describe(regionAt(canvas.root, c.region));
        for (Qt::Key key : c.keys)
            QTest::keyClick(canvas.view, key);
        EXPECT_EQ(describe(regionAt(canvas.root, c.region)), QString::fromLatin1(c.after));
        ASSERT_EQ(canvas.registrations.size(), c.keys.size());
        EXPECT_EQ(canvas.registrations.first().before, before);
        for (const Registration& r : canvas.registrations) {
            EXPECT_EQ(r.actionName, QStringLiteral("Move Shape"));
            EXPECT_EQ(r.keyPath, QStringLiteral("location"));
            EXPECT_TRUE(r.grouped);
            EXPECT_EQ(r.region, regionAt(canvas.root, c.region));
        }
    }
    EXPECT_EQ(canvas.regions().mid(3), untouched.mid(3));
}

TEST(KELImageMapViewTest, SelectionFollowsTheRegionsTable)
{
    Canvas canvas(fourRegions());
    const auto table = kit::KeyValueObject::toObject(canvas.root->value(QStringLiteral("regions")));
    const struct {
        qint64 index;
        QList<bool> flags;
    } steps[] = {
        { 2, { false, false, true, false } },
        { 0, { true, false, false, false } },
        { 3, { false, false, false, false } }, // the unknown region: nothing to mark
        { -1, { false, false, false, false } },
        { 1, { false, true, false, false } },
    };
    for (const auto& s : steps) {
        table->setValue(QStringLiteral("selectedIndex"), qlonglong(s.index));
        EXPECT_EQ(canvas.view->selectedShape(), s.index);
        EXPECT_EQ(canvas.selectedFlags(), s.flags) << s.index;
    }
    // The selection survives a rebuild, and arrow keys move what the table chose.
    canvas.view->updateImageMap();
    EXPECT_EQ(canvas.selectedFlags(), (QList<bool> { false, true, false, false }));
    canvas.view->setFocus();
    QTest::keyClick(canvas.view, Qt::Key_Down);
    EXPECT_EQ(describe(regionAt(canvas.root, 1)), QStringLiteral("circle 100,71,30"));
    // Selecting a shape far away scrolls it into view.
    Canvas small(imageMap(400, 300, { rectangle(10, 10, 50, 50), circle(900, 700, 20) }), QSize(200, 150));
    kit::KeyValueObject::toObject(small.root->value(QStringLiteral("regions")))->setValue(QStringLiteral("selectedIndex"), qlonglong(1));
    const QRect visible(QPoint(small.area.horizontalScrollBar()->value(), small.area.verticalScrollBar()->value()), QSize(200, 150));
    EXPECT_TRUE(visible.contains(small.at(900, 700))) << visible.x() << "," << visible.y();
}

TEST(KELImageMapViewTest, RebuildsFromTheVariablesButNotDuringADrag)
{
    Canvas canvas(fourRegions());
    auto rect = regionAt(canvas.root, 0);
    QTest::mousePress(canvas.view, Qt::LeftButton, {}, canvas.at(250, 100));
    QTest::mouseMove(canvas.view, canvas.at(260, 100));
    rect->setValueForKeyPath(QStringLiteral("shape.value"), QStringLiteral("circle"));
    canvas.view->updateImageMap();
    // Still the rectangle being dragged.
    EXPECT_TRUE(canvas.view->hasActiveShape());
    EXPECT_TRUE(dynamic_cast<const KELImageMapRectangle*>(canvas.view->shapes()[0].get()));
    QTest::mouseRelease(canvas.view, Qt::LeftButton, {}, canvas.at(270, 100));
    EXPECT_FALSE(canvas.view->hasActiveShape());
    // The next update after the drag takes the change.
    canvas.view->updateImageMap();
    EXPECT_TRUE(dynamic_cast<const KELImageMapCircle*>(canvas.view->shapes()[0].get()));
    // Fewer regions counted than the table holds: only the counted ones are drawn.
    setCount(kit::KeyValueObject::toObject(canvas.root->value(QStringLiteral("regionCount"))), 2);
    canvas.view->updateImageMap();
    EXPECT_EQ(canvas.view->shapes().size(), 2u);
    // More counted than the table holds yet: no shapes past its end.
    setCount(kit::KeyValueObject::toObject(canvas.root->value(QStringLiteral("regionCount"))), 9);
    canvas.view->updateImageMap();
    EXPECT_EQ(canvas.view->shapes().size(), 4u);
}

TEST(KELImageMapViewTest, DrawsTheImageAreaAndTheShapesButNothingForUnknownRegions)
{
    QTemporaryDir dir;
    QImage picture(40, 30, QImage::Format_RGB32);
    picture.fill(QColor(0, 0, 255));
    const QString picturePath = dir.filePath(QStringLiteral("map.png"));
    ASSERT_TRUE(picture.save(picturePath));
    QFile notAPicture(dir.filePath(QStringLiteral("notes.png")));
    ASSERT_TRUE(notAPicture.open(QIODevice::WriteOnly));
    notAPicture.write("not a picture");
    notAPicture.close();

    auto unknown = rectangle(50, 10, 70, 20);
    unknown->setValueForKeyPath(QStringLiteral("shape.value"), QStringLiteral("oval"));
    const struct {
        const char* name;
        QUrl url;
        QColor imageColour; // at a spot of the image no shape covers
    } cases[] = {
        { "a picture", QUrl::fromLocalFile(picturePath), QColor(0, 0, 255) },
        { "a file that is no picture", QUrl::fromLocalFile(notAPicture.fileName()), Qt::white },
        { "no picture", QUrl(), Qt::white },
    };
    for (const auto& c : cases) {
        Canvas canvas(imageMap(80, 60, { rectangle(10, 10, 30, 30), unknown }, c.url), QSize(100, 80));
        const QImage shot = canvas.view->grab().toImage();
        const auto colourAt = [&](qreal x, qreal y) { return QColor(shot.pixel(canvas.at(x, y))); };
        EXPECT_EQ(colourAt(5, 40), c.imageColour) << c.name;
        // The rectangle's outline, and its translucent white over the picture.
        EXPECT_EQ(colourAt(10, 20), QColor(Qt::black)) << c.name;
        if (c.imageColour != QColor(Qt::white)) {
            EXPECT_NE(colourAt(20, 20), c.imageColour) << c.name;
        }
        // The unknown region draws nothing, not even its outline.
        EXPECT_EQ(colourAt(50, 15), c.imageColour) << c.name;
        EXPECT_EQ(colourAt(60, 15), c.imageColour) << c.name;
        EXPECT_EQ(canvas.view->image().isNull(), c.imageColour == QColor(Qt::white)) << c.name;
    }
}

TEST(KELImageMapViewTest, PolygonVerticesKeepTheirCountByMidpointsOfTheLongestEdge)
{
    const struct {
        const char* name;
        QList<QPointF> points;
        qint64 count;
        const char* result;
    } cases[] = {
        { "three to five", { QPointF(0, 0), QPointF(100, 0), QPointF(0, 40) }, 5, "0,0 50,0 100,0 50,20 0,40" },
        { "too few: the default triangle", { QPointF(5, 5) }, 4, "10,10 110,10 60,60 10,110" },
        { "a tie goes to the first edge", { QPointF(0, 0), QPointF(10, 0), QPointF(10, 10), QPointF(0, 10) }, 5, "0,0 5,0 10,0 10,10 0,10" },
        { "halves round away from zero", { QPointF(0, 0), QPointF(-3, 0), QPointF(0, -1) }, 4, "0,0 -3,0 -2,-1 0,-1" },
        { "enough already", { QPointF(0, 0), QPointF(9, 0), QPointF(0, 9) }, 3, "0,0 9,0 0,9" },
    };
    for (const auto& c : cases) {
        QStringList parts;
        for (const QPointF& p : KELImageMapPolygon::verticesForCount(c.points, c.count))
            parts.append(QStringLiteral("%1,%2").arg(p.x()).arg(p.y()));
        EXPECT_EQ(parts.join(QLatin1Char(' ')), QString::fromLatin1(c.result)) << c.name;
    }
}

TEST(KELImageMapViewTest, VertexUpdateFillsTheVertexEditorsAsOneNamedStep)
{
    auto grown = polygon({ QPointF(0, 0), QPointF(100, 0), QPointF(0, 40) });
    appendEmptyVertex(grown);
    appendEmptyVertex(grown);
    setCount(kit::KeyValueObject::toObject(grown->value(QStringLiteral("vertexCount"))), 5);
    auto empty = polygon({ QPointF(0, 0), QPointF(0, 0), QPointF(0, 0) });
    for (qsizetype i = 0; i < 3; ++i) {
        auto vertices = std::dynamic_pointer_cast<Items>(kit::KeyValueObject::toObject(empty->value(QStringLiteral("vertices"))));
        vertices->items().at(i)->setValueForKeyPath(QStringLiteral("x.value"), QString());
    }
    // The count is ahead of the vertex editors: those that exist are filled.
    auto lagging = polygon({ QPointF(0, 0), QPointF(100, 0), QPointF(0, 40) });
    setCount(kit::KeyValueObject::toObject(lagging->value(QStringLiteral("vertexCount"))), 4);
    const struct {
        const char* name;
        kit::KeyValueObjectPtr region;
        const char* after; // describe() lists vertices up to the count that exist
    } cases[] = {
        { "grown from three to five", grown, "polygon 0,0 50,0 100,0 50,20 0,40" },
        { "empty fields", empty, "polygon 10,10 110,10 10,110" },
        { "editors lag behind", lagging, "polygon 0,0 100,0 50,20" },
    };
    for (const auto& c : cases) {
        QList<Registration> registrations;
        KELImageMapPolygon::updatePolygonVertices(c.region, [&](const kit::KeyValueObjectPtr& controller, const QString& keyPath, const QString& name, bool grouped) {
            registrations.append(Registration { controller, keyPath, name, grouped, QString() });
        });
        EXPECT_EQ(describe(c.region), QString::fromLatin1(c.after)) << c.name;
        ASSERT_EQ(registrations.size(), 1) << c.name;
        EXPECT_EQ(registrations.first().region, kit::KeyValueObject::toObject(c.region->value(QStringLiteral("vertexCount")))) << c.name;
        EXPECT_EQ(registrations.first().keyPath, QStringLiteral("textValue")) << c.name;
        EXPECT_EQ(registrations.first().actionName, QStringLiteral("Change Number of Vertices")) << c.name;
        EXPECT_TRUE(registrations.first().grouped) << c.name;
    }
}

namespace {

/// A loopback web server: each path answers with a status and a body.
class LoopbackServer {
public:
    LoopbackServer()
    {
        server.listen(QHostAddress::LocalHost);
        QObject::connect(&server, &QTcpServer::newConnection, [this] {
            while (QTcpSocket* socket = server.nextPendingConnection()) {
                QObject::connect(socket, &QTcpSocket::readyRead, socket, [this, socket] {
                    const QByteArray request = socket->readAll();
                    const QByteArray path = request.split(' ').value(1);
                    const auto [status, body] = answers.value(path, { 404, QByteArray("missing") });
                    socket->write("HTTP/1.1 " + QByteArray::number(status) + " X\r\nContent-Length: " + QByteArray::number(body.size())
                        + "\r\nConnection: close\r\n\r\n" + body);
                    socket->disconnectFromHost();
                });
            }
        });
    }
    QUrl url(const char* path) const { return QUrl(QStringLiteral("http://127.0.0.1:%1%2").arg(server.serverPort()).arg(QLatin1String(path))); }

    QTcpServer server;
    QHash<QByteArray, std::pair<int, QByteArray>> answers;
};

} // namespace

TEST(KELImageMapViewTest, RemoteImagesLoadAndFailuresLeaveTheAreaWhite)
{
    QImage picture(40, 30, QImage::Format_RGB32);
    picture.fill(QColor(0, 128, 0));
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    ASSERT_TRUE(picture.save(&buffer, "PNG"));
    LoopbackServer server;
    server.answers.insert("/map.png", { 200, png });
    server.answers.insert("/text.png", { 200, QByteArray("not a picture") });
    const struct {
        const char* path;
        bool loads;
    } cases[] = {
        { "/map.png", true },
        { "/text.png", false },
        { "/gone.png", false },
    };
    for (const auto& c : cases) {
        Canvas canvas(imageMap(80, 60, {}, server.url(c.path)), QSize(100, 80));
        EXPECT_TRUE(canvas.view->isFetchingImage()) << c.path;
        EXPECT_TRUE(QTest::qWaitFor([&] { return !canvas.view->isFetchingImage(); }, 60000)) << c.path;
        EXPECT_EQ(!canvas.view->image().isNull(), c.loads) << c.path;
        const QImage shot = canvas.view->grab().toImage();
        EXPECT_EQ(QColor(shot.pixel(canvas.at(40, 30))), c.loads ? QColor(0, 128, 0) : QColor(Qt::white)) << c.path;
    }
    // A new address drops the download under way; the old answer never shows.
    Canvas canvas(imageMap(80, 60, {}, server.url("/map.png")), QSize(100, 80));
    canvas.view->setImageURL(QUrl());
    EXPECT_FALSE(canvas.view->isFetchingImage());
    QTest::qWait(200);
    EXPECT_TRUE(canvas.view->image().isNull());
}

TEST(KELImageMapViewTest, HoldingADragPastTheEdgeScrollsAndKeepsMoving)
{
    Canvas canvas(imageMap(400, 300, { rectangle(20, 20, 60, 60) }), QSize(200, 150));
    ASSERT_EQ(canvas.area.horizontalScrollBar()->value(), 0);
    QTest::mousePress(canvas.view, Qt::LeftButton, {}, canvas.at(40, 40));
    // Past the clip view's right edge, then the mouse rests there.
    const QPoint outside(canvas.area.viewport()->width() + 20, canvas.at(40, 40).y());
    QTest::mouseMove(canvas.view, canvas.view->mapFrom(canvas.area.viewport(), outside));
    const qint64 firstX = KELExpression::integerValue(regionAt(canvas.root, 0)->valueForKeyPath(QStringLiteral("rectX1.value")));
    // Resting there, the view scrolls and the shape follows, one timer tick after another.
    auto x1 = [&] { return KELExpression::integerValue(regionAt(canvas.root, 0)->valueForKeyPath(QStringLiteral("rectX1.value"))); };
    EXPECT_TRUE(QTest::qWaitFor([&] { return canvas.area.horizontalScrollBar()->value() > 0 && x1() > firstX; }, 60000));
    const qint64 laterX = KELExpression::integerValue(regionAt(canvas.root, 0)->valueForKeyPath(QStringLiteral("rectX1.value")));
    EXPECT_GT(canvas.area.horizontalScrollBar()->value(), 0);
    EXPECT_GT(laterX, firstX);
    QTest::mouseRelease(canvas.view, Qt::LeftButton, {}, canvas.view->mapFrom(canvas.area.viewport(), outside));
    EXPECT_FALSE(canvas.view->hasActiveShape());
    // Released: the timer stops and nothing moves any more.
    const QString released = describe(regionAt(canvas.root, 0));
    QTest::qWait(4 * KELImageMapView::AutoscrollInterval);
    EXPECT_EQ(describe(regionAt(canvas.root, 0)), released);
}

TEST(KELImageMapViewTest, ClosingTheWindowEndsADrag)
{
    Canvas canvas(fourRegions());
    QTest::mousePress(canvas.view, Qt::LeftButton, {}, canvas.at(250, 100));
    QTest::mouseMove(canvas.view, canvas.at(260, 100));
    ASSERT_TRUE(canvas.view->hasActiveShape());
    canvas.area.close();
    EXPECT_FALSE(canvas.view->hasActiveShape());
    // The drag timer is gone with it: nothing moves any more.
    const QStringList closed = canvas.regions();
    QTest::qWait(4 * KELImageMapView::AutoscrollInterval);
    EXPECT_EQ(canvas.regions(), closed);
    // And the canvas is rebuilt again on the next update.
    regionAt(canvas.root, 0)->setValueForKeyPath(QStringLiteral("shape.value"), QStringLiteral("circle"));
    canvas.view->updateImageMap();
    EXPECT_TRUE(dynamic_cast<const KELImageMapCircle*>(canvas.view->shapes()[0].get()));
}

TEST(KELImageMapViewTest, ReadersSeeEachRegionByItsShapeAndLink)
{
    auto linked = [](kit::KeyValueObjectPtr region, const QString& link, const QString& alt) {
        region->setValue(QStringLiteral("href"), kit::KeyValueObject::fromObject(textEditor(link)));
        region->setValue(QStringLiteral("regionAlt"), kit::KeyValueObject::fromObject(textEditor(alt)));
        return region;
    };
    auto unknown = rectangle(200, 20, 300, 120);
    unknown->setValueForKeyPath(QStringLiteral("shape.value"), QStringLiteral("hexagon"));
    Canvas canvas(imageMap(400, 300, {
        linked(rectangle(20, 20, 120, 120), QStringLiteral("about.html"), QStringLiteral("About us")),
        unknown, // has no shape: not listed
        linked(circle(200, 150, 40), QString(), QString()),
        linked(polygon({QPointF(300, 200), QPointF(380, 200), QPointF(340, 280)}), QStringLiteral("map.html"), QString()),
    }));
    AccessibleEventLog log;
    QAccessibleInterface* map = QAccessible::queryAccessibleInterface(canvas.view);
    ASSERT_TRUE(map);
    ASSERT_EQ(map->childCount(), 3);
    QStringList names;
    for (int i = 0; i < 3; ++i)
        names << map->child(i)->text(QAccessible::Name);
    EXPECT_EQ(names, (QStringList{QStringLiteral("Rectangle, link about.html"), QStringLiteral("Circle, no link"),
                                  QStringLiteral("Polygon, link map.html")}));
    EXPECT_EQ(map->child(0)->text(QAccessible::Description), QStringLiteral("About us"));
    EXPECT_EQ(map->child(0)->role(), QAccessible::ListItem);
    // The box is the region's on screen.
    const QRect box = map->child(0)->rect();
    EXPECT_EQ(box.topLeft(), canvas.view->mapToGlobal(canvas.at(20, 20)));
    EXPECT_EQ(box.size(), QSize(100, 100));

    // Selecting a region from the table or by a press tells readers which one.
    map->child(2)->actionInterface()->doAction(QAccessibleActionInterface::pressAction());
    EXPECT_EQ(canvas.tableSelection(), 3);
    EXPECT_TRUE(map->child(2)->state().selected);
    EXPECT_FALSE(map->child(0)->state().selected);
    canvas.click(50, 50);
    EXPECT_TRUE(map->child(0)->state().selected);
    const auto selections = log.ofType(QAccessible::Selection, canvas.view);
    ASSERT_EQ(selections.size(), 2);
    EXPECT_EQ(selections[0].child, 2);
    EXPECT_EQ(selections[1].child, 0);
}
