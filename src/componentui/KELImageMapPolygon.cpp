#include "componentui/KELImageMapPolygon.h"

#include "components/KELExpression.h"

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
