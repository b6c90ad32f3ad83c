#include "ImageMapFixture.h"
#include "componentui/KELImageMapCircle.h"
#include "componentui/KELImageMapPolygon.h"
#include "componentui/KELImageMapRectangle.h"

#include <QImage>
#include <QPainter>
#include <gtest/gtest.h>

using namespace imagemaptest;

namespace {

QString kindOf(const KELImageMapShape* shape)
{
    if (!shape)
        return QStringLiteral("none");
    if (dynamic_cast<const KELImageMapRectangle*>(shape))
        return QStringLiteral("rectangle");
    if (dynamic_cast<const KELImageMapCircle*>(shape))
        return QStringLiteral("circle");
    if (dynamic_cast<const KELImageMapPolygon*>(shape))
        return QStringLiteral("polygon");
    return QStringLiteral("other");
}

QString pointsText(const QList<QPointF>& points)
{
    QStringList parts;
    for (const QPointF& p : points)
        parts.append(QStringLiteral("%1,%2").arg(p.x()).arg(p.y()));
    return parts.join(QLatin1Char(' '));
}

/// A shape whose undo registrations are recorded.
struct RecordedShape {
    explicit RecordedShape(const kit::KeyValueObjectPtr& r) : region(r), shape(KELImageMapShape::shapeWithShapeController(r))
    {
        if (shape)
            shape->setUndoRegistration([this](const kit::KeyValueObjectPtr& controller, const QString& keyPath, const QString& name, bool grouped) {
                registrations.append(Registration { controller, keyPath, name, grouped, describe(controller) });
            });
    }
    kit::KeyValueObjectPtr region;
    std::unique_ptr<KELImageMapShape> shape;
    QList<Registration> registrations;
};

} // namespace

TEST(KELImageMapShapeTest, TheRegionsShapeValuePicksTheKindExactly)
{
    const struct {
        const char* value;
        const char* kind;
    } cases[] = {
        { "rectangle", "rectangle" },
        { "circle", "circle" },
        { "polygon", "polygon" },
        { "Rectangle", "none" },
        { "poly", "none" },
        { "", "none" },
        { " circle", "none" },
    };
    for (const auto& c : cases) {
        auto r = region(QString::fromLatin1(c.value));
        EXPECT_EQ(kindOf(KELImageMapShape::shapeWithShapeController(r).get()), QString::fromLatin1(c.kind)) << c.value;
    }
    EXPECT_EQ(KELImageMapShape::shapeWithShapeController(nullptr), nullptr);
    // A region without a shape editor at all.
    EXPECT_EQ(KELImageMapShape::shapeWithShapeController(std::make_shared<kit::KeyValueObject>()), nullptr);
}

TEST(KELImageMapShapeTest, GeometryComesFromTheRegionsVariables)
{
    const struct {
        kit::KeyValueObjectPtr region;
        const char* vertices;
        const char* location;
        QRectF bounds;
        QPointF inside;
        QPointF outside;
    } cases[] = {
        { rectangle(10, 20, 110, 70), "10,20 10,70 110,70 110,20", "10,20", QRectF(10, 20, 100, 50), QPointF(50, 40), QPointF(5, 40) },
        // Crossed corners still make a region that draws and is hit.
        { rectangle(110, 70, 10, 20), "110,70 110,20 10,20 10,70", "110,70", QRectF(10, 20, 100, 50), QPointF(50, 40), QPointF(120, 40) },
        { circle(50, 50, 10), "40,40 40,60 60,60 60,40", "50,50", QRectF(40, 40, 20, 20), QPointF(52, 52), QPointF(41, 41) },
        { polygon({ QPointF(10, 10), QPointF(110, 10), QPointF(10, 110) }), "10,10 110,10 10,110", "10,10", QRectF(10, 10, 100, 100),
            QPointF(30, 30), QPointF(90, 90) },
    };
    for (const auto& c : cases) {
        auto shape = KELImageMapShape::shapeWithShapeController(c.region);
        ASSERT_TRUE(shape) << describe(c.region).toStdString();
        const std::string name = describe(c.region).toStdString();
        EXPECT_EQ(pointsText(shape->shapeVertices()), QString::fromLatin1(c.vertices)) << name;
        EXPECT_EQ(pointsText({ shape->shapeLocation() }), QString::fromLatin1(c.location)) << name;
        EXPECT_EQ(shape->bounds(), c.bounds) << name;
        EXPECT_TRUE(shape->shapeContainsPoint(c.inside)) << name;
        EXPECT_FALSE(shape->shapeContainsPoint(c.outside)) << name;
    }
}

TEST(KELImageMapShapeTest, SelfCrossingPolygonIsFilledByWinding)
{
    // A five-pointed star drawn in one stroke: its centre is wound twice, so it
    // belongs to the region (an even-odd rule would leave a hole there).
    auto shape = KELImageMapShape::shapeWithShapeController(
        polygon({ QPointF(100, 10), QPointF(153, 172), QPointF(15, 72), QPointF(185, 72), QPointF(47, 172) }));
    ASSERT_TRUE(shape);
    EXPECT_TRUE(shape->shapeContainsPoint(QPointF(100, 100)));
    EXPECT_TRUE(shape->shapeContainsPoint(QPointF(100, 40)));
    EXPECT_FALSE(shape->shapeContainsPoint(QPointF(30, 160)));
}

TEST(KELImageMapShapeTest, PolygonWithoutAreaHasNoPathNoHandlesAndIsNeverHit)
{
    auto missingEditors = polygon({ QPointF(10, 10), QPointF(110, 10), QPointF(10, 110) });
    // The count runs ahead of the vertex editors.
    setCount(kit::KeyValueObject::toObject(missingEditors->value(QStringLiteral("vertexCount"))), 5);
    auto lagging = polygon({ QPointF(10, 10), QPointF(110, 10) });
    setCount(kit::KeyValueObject::toObject(lagging->value(QStringLiteral("vertexCount"))), 3);
    const struct {
        const char* name;
        kit::KeyValueObjectPtr region;
        bool hasArea;
    } cases[] = {
        { "no vertices", polygon({}), false },
        { "two vertices", polygon({ QPointF(10, 10), QPointF(110, 110) }), false },
        { "count ahead of two editors", lagging, false },
        { "count ahead of three editors", missingEditors, true },
    };
    for (const auto& c : cases) {
        RecordedShape recorded(c.region);
        ASSERT_TRUE(recorded.shape) << c.name;
        KELImageMapShape& shape = *recorded.shape;
        shape.setSelected(true);
        const QString before = describe(c.region);
        EXPECT_EQ(!shape.shapePath().isEmpty(), c.hasArea) << c.name;
        EXPECT_EQ(shape.shapeContainsPoint(QPointF(30, 30)), c.hasArea) << c.name;
        EXPECT_EQ(shape.resizeHandleForPoint(QPointF(10, 10)), c.hasArea ? 0 : -1) << c.name;
        if (c.hasArea)
            continue;
        EXPECT_EQ(shape.bounds(), QRectF()) << c.name;
        // Dragging it writes nothing and records no undo step.
        shape.handleMouseDown(QPointF(10, 10));
        shape.handleMouseDragged(QPointF(40, 40));
        shape.handleMouseUp(QPointF(50, 50));
        shape.moveShapeToLocation(QPointF(70, 70));
        shape.moveVertex(0, QPointF(70, 70));
        EXPECT_EQ(describe(c.region), before) << c.name;
        EXPECT_TRUE(recorded.registrations.isEmpty()) << c.name;
        // And it draws nothing.
        QImage image(200, 200, QImage::Format_ARGB32_Premultiplied);
        image.fill(Qt::transparent);
        {
            QPainter painter(&image);
            shape.drawShape(painter, QRectF(0, 0, 200, 200));
        }
        QImage blank(200, 200, QImage::Format_ARGB32_Premultiplied);
        blank.fill(Qt::transparent);
        EXPECT_EQ(image, blank) << c.name;
    }
}

TEST(KELImageMapShapeTest, HandlesAreHitOnlyWhenSelectedCloserThanFourPointsLaterFirst)
{
    // Handles 1 (10,20) and 2 (12,20) lie 2 points apart.
    auto shape = KELImageMapShape::shapeWithShapeController(rectangle(10, 10, 12, 20));
    ASSERT_TRUE(shape);
    EXPECT_EQ(shape->resizeHandleForPoint(QPointF(10, 10)), -1);
    shape->setSelected(true);
    const struct {
        QPointF point;
        qint64 handle;
    } cases[] = {
        { QPointF(10, 10), 3 }, // on handle 0 and within 4 of handle 3 (12,10): the later wins
        { QPointF(11, 20), 2 },
        { QPointF(6.1, 20), 1 },
        { QPointF(6, 20), -1 }, // exactly 4 away
        { QPointF(10, 16.1), 2 },
        { QPointF(30, 30), -1 },
    };
    for (const auto& c : cases)
        EXPECT_EQ(shape->resizeHandleForPoint(c.point), c.handle) << c.point.x() << "," << c.point.y();
    EXPECT_TRUE(shape->resizeHandleContainsPoint(QPointF(11, 20)));
    EXPECT_FALSE(shape->resizeHandleContainsPoint(QPointF(30, 30)));
}

TEST(KELImageMapShapeTest, DragsMoveAndResizeThroughTheVariablesWithOneNamedUndoStep)
{
    const QList<QPointF> triangle { QPointF(10, 10), QPointF(110, 10), QPointF(10, 110) };
    const struct {
        const char* name;
        kit::KeyValueObjectPtr region;
        QPointF down;
        QList<QPointF> drags; // the last one is the mouse-up
        const char* after;
        const char* keyPath; // of every registration; none when nothing may be registered
    } cases[] = {
        { "click without moving", rectangle(10, 20, 110, 70), QPointF(50, 40), { QPointF(50, 40) }, "rect 10,20,110,70", nullptr },
        { "rectangle moves and keeps its size", rectangle(10, 20, 110, 70), QPointF(50, 40), { QPointF(60, 45), QPointF(75, 52) },
            "rect 35,32,135,82", "location" },
        { "half points round away from zero", rectangle(10, 20, 110, 70), QPointF(50, 40), { QPointF(49.5, 39.5) },
            "rect 10,20,110,70", "location" },
        { "rectangle handle 2 crosses handle 0", rectangle(10, 20, 110, 70), QPointF(110, 70), { QPointF(5, 3) }, "rect 10,20,5,3",
            "size.2" },
        { "rectangle handle 1 moves left and bottom", rectangle(10, 20, 110, 70), QPointF(11, 69), { QPointF(1, 90) },
            "rect 0,20,110,91", "size.1" },
        { "circle moves its centre", circle(50, 50, 10), QPointF(50, 50), { QPointF(65, 40) }, "circle 65,40,10", "location" },
        // The pivot is handle 2 (60,60); the larger distance is 20 across.
        { "circle handle 0 to (80,70)", circle(50, 50, 10), QPointF(40, 40), { QPointF(80, 70) }, "circle 70,70,10", "size.0" },
        { "circle handle 2 pulled down", circle(50, 50, 10), QPointF(60, 60), { QPointF(62, 100) }, "circle 70,70,30", "size.2" },
        { "polygon moves every vertex", polygon({ triangle[0], triangle[1], triangle[2] }), QPointF(30, 30), { QPointF(33, 26) },
            "polygon 13,6 113,6 13,106", "location" },
        { "polygon vertex moves alone", polygon({ triangle[0], triangle[1], triangle[2] }), QPointF(111, 11), { QPointF(150, 40) },
            "polygon 10,10 149,39 10,110", "size.1" },
    };
    for (const auto& c : cases) {
        RecordedShape recorded(c.region);
        ASSERT_TRUE(recorded.shape) << c.name;
        const QString before = describe(c.region);
        recorded.shape->setSelected(true);
        recorded.shape->handleMouseDown(c.down);
        for (qsizetype i = 0; i + 1 < c.drags.size(); ++i)
            recorded.shape->handleMouseDragged(c.drags.at(i));
        recorded.shape->handleMouseUp(c.drags.last());
        EXPECT_EQ(describe(c.region), QString::fromLatin1(c.after)) << c.name;
        EXPECT_EQ(recorded.shape->mouseDownVertex(), -1) << c.name;
        if (!c.keyPath) {
            EXPECT_TRUE(recorded.registrations.isEmpty()) << c.name;
            continue;
        }
        ASSERT_FALSE(recorded.registrations.isEmpty()) << c.name;
        // Registered before the first value changed, grouped, under the region.
        EXPECT_EQ(recorded.registrations.first().before, before) << c.name;
        for (const Registration& r : recorded.registrations) {
            EXPECT_EQ(r.region, c.region) << c.name;
            EXPECT_EQ(r.keyPath, QString::fromLatin1(c.keyPath)) << c.name;
            EXPECT_EQ(r.actionName, QString::fromLatin1(QByteArray(c.keyPath).startsWith("size") ? "Resize Shape" : "Move Shape")) << c.name;
            EXPECT_TRUE(r.grouped) << c.name;
        }
    }
}

TEST(KELImageMapShapeTest, DragBackToTheStartSendsNothingInThatStep)
{
    RecordedShape recorded(rectangle(10, 20, 110, 70));
    recorded.shape->handleMouseDown(QPointF(50, 40));
    recorded.shape->handleMouseDragged(QPointF(70, 40));
    EXPECT_EQ(describe(recorded.region), QStringLiteral("rect 30,20,130,70"));
    recorded.shape->handleMouseDragged(QPointF(50, 40));
    // The shape stays where the previous step put it.
    EXPECT_EQ(describe(recorded.region), QStringLiteral("rect 30,20,130,70"));
    EXPECT_EQ(recorded.registrations.size(), 1);
}

TEST(KELImageMapShapeTest, DrawsTranslucentFillAndHandlesThatShowTheFocus)
{
    auto region = rectangle(20, 20, 80, 80);
    auto shape = KELImageMapShape::shapeWithShapeController(region);
    const auto render = [&shape](bool selected, bool focus) {
        QImage image(100, 100, QImage::Format_ARGB32_Premultiplied);
        image.fill(Qt::black);
        shape->setSelected(selected);
        shape->setFirstResponder(focus);
        QPainter painter(&image);
        shape->drawShape(painter, QRectF(0, 0, 100, 100));
        painter.end();
        return image;
    };
    const QImage plain = render(false, false);
    // White at 0.4 over black inside, black outside, untouched by handles.
    EXPECT_NEAR(qRed(plain.pixel(50, 50)), 102, 2);
    EXPECT_EQ(plain.pixel(10, 50), qRgb(0, 0, 0));
    EXPECT_EQ(plain.pixel(20, 20), render(false, true).pixel(20, 20));
    // A handle's inside is white: opaque with the focus, half without.
    EXPECT_EQ(qRed(render(true, true).pixel(80, 80)), 255);
    EXPECT_NEAR(qRed(render(true, false).pixel(80, 80)), 128, 2);
}
