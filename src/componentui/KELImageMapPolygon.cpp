#include "componentui/KELImageMapPolygon.h"

#include "components/KELExpression.h"

#include <cmath>

namespace {
const QString X = QStringLiteral("x.value");
const QString Y = QStringLiteral("y.value");
}

qint64 KELImageMapPolygon::numberOfVertices() const
{
    return integerValue(QStringLiteral("vertexCount.count"));
}

kit::KeyValueObjectPtr KELImageMapPolygon::vertexControllerAtIndex(qint64 index) const
{
    return imageMapItemAtIndex(kit::KeyValueObject::toObject(shapeController()->value(QStringLiteral("vertices"))), index);
}

QPointF KELImageMapPolygon::vertexAtIndex(qint64 index) const
{
    const kit::KeyValueObjectPtr vertex = vertexControllerAtIndex(index);
    if (!vertex)
        return QPointF();
    return QPointF(qreal(KELExpression::integerValue(vertex->valueForKeyPath(X))), qreal(KELExpression::integerValue(vertex->valueForKeyPath(Y))));
}

void KELImageMapPolygon::setVertex(const QPointF& point, qint64 index)
{
    const kit::KeyValueObjectPtr vertex = vertexControllerAtIndex(index);
    if (!vertex)
        return;
    vertex->setValueForKeyPath(X, QString::number(roundedCoordinate(point.x())));
    vertex->setValueForKeyPath(Y, QString::number(roundedCoordinate(point.y())));
}

QList<QPointF> KELImageMapPolygon::points() const
{
    // The vertex list may lag behind the count while it grows; the corners stop
    // at the first missing editor so that indexes stay those of the editors.
    QList<QPointF> result;
    const qint64 n = numberOfVertices();
    for (qint64 i = 0; i < n; ++i) {
        const kit::KeyValueObjectPtr vertex = vertexControllerAtIndex(i);
        if (!vertex)
            break;
        result.append(QPointF(qreal(KELExpression::integerValue(vertex->valueForKeyPath(X))),
            qreal(KELExpression::integerValue(vertex->valueForKeyPath(Y)))));
    }
    if (result.size() < 3)
        result.clear();
    return result;
}

QPainterPath KELImageMapPolygon::shapePath() const
{
    const QList<QPointF> corners = points();
    QPainterPath path;
    path.setFillRule(Qt::WindingFill);
    if (corners.isEmpty())
        return path;
    path.moveTo(corners.first());
    for (qsizetype i = 1; i < corners.size(); ++i)
        path.lineTo(corners.at(i));
    path.closeSubpath();
    return path;
}

QList<QPointF> KELImageMapPolygon::shapeVertices() const
{
    return points();
}

QPointF KELImageMapPolygon::shapeLocation() const
{
    const QList<QPointF> corners = points();
    return corners.isEmpty() ? QPointF(0, 0) : corners.first();
}

void KELImageMapPolygon::moveShapeToLocation(const QPointF& location)
{
    const QList<QPointF> corners = points();
    if (corners.isEmpty())
        return;
    KELImageMapShape::moveShapeToLocation(location);
    const QPointF delta = location - corners.first();
    for (qsizetype i = 0; i < corners.size(); ++i)
        setVertex(corners.at(i) + delta, i);
}

void KELImageMapPolygon::moveVertex(qint64 index, const QPointF& location)
{
    if (index < 0 || index >= points().size())
        return;
    KELImageMapShape::moveVertex(index, location);
    setVertex(location, index);
}

QList<QPointF> KELImageMapPolygon::verticesForCount(QList<QPointF> points, qint64 count)
{
    if (points.size() < 3)
        points = { QPointF(10, 10), QPointF(110, 10), QPointF(10, 110) };
    count = std::min(count, MaximumVertexCount);
    while (points.size() < count) {
        qsizetype longest = 0;
        qreal longestLength = -1;
        for (qsizetype i = 0; i < points.size(); ++i) {
            const QPointF d = points.at((i + 1) % points.size()) - points.at(i);
            const qreal length = d.x() * d.x() + d.y() * d.y();
            if (length > longestLength) { // the first of equal edges wins
                longest = i;
                longestLength = length;
            }
        }
        const QPointF mid = (points.at(longest) + points.at((longest + 1) % points.size())) / 2;
        points.insert(longest + 1, QPointF(qreal(roundedCoordinate(mid.x())), qreal(roundedCoordinate(mid.y()))));
    }
    return points;
}

void KELImageMapPolygon::updatePolygonVertices(const kit::KeyValueObjectPtr& shapeController, const UndoRegistration& registration, qint64 knownVertices)
{
    if (!shapeController)
        return;
    const qint64 n = std::min(KELExpression::integerValue(shapeController->valueForKeyPath(QStringLiteral("vertexCount.count"))), MaximumVertexCount);
    if (registration) {
        if (const kit::KeyValueObjectPtr countEditor = kit::KeyValueObject::toObject(shapeController->value(QStringLiteral("vertexCount"))))
            registration(countEditor, QStringLiteral("textValue"), QStringLiteral("Change Number of Vertices"), true);
    }
    const kit::KeyValueObjectPtr vertices = kit::KeyValueObject::toObject(shapeController->value(QStringLiteral("vertices")));
    QList<QPointF> points;
    const qint64 readable = knownVertices < 0 ? n : std::min(n, knownVertices);
    for (qint64 i = 0; i < readable; ++i) {
        const kit::KeyValueObjectPtr vertex = imageMapItemAtIndex(vertices, i);
        if (!vertex)
            continue;
        const QVariant x = vertex->valueForKeyPath(X);
        const QVariant y = vertex->valueForKeyPath(Y);
        if (!KELExpression::stringValue(x).isEmpty() && !KELExpression::stringValue(y).isEmpty())
            points.append(QPointF(qreal(KELExpression::integerValue(x)), qreal(KELExpression::integerValue(y))));
    }
    points = verticesForCount(points, n);
    for (qint64 i = 0; i < n; ++i) {
        // A vertex editor the list has not made yet is skipped.
        const kit::KeyValueObjectPtr vertex = imageMapItemAtIndex(vertices, i);
        if (!vertex)
            continue;
        vertex->setValueForKeyPath(X, QString::number(qint64(std::trunc(points.at(i).x()))));
        vertex->setValueForKeyPath(Y, QString::number(qint64(std::trunc(points.at(i).y()))));
    }
}
