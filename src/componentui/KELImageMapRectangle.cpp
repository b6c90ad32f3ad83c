#include "componentui/KELImageMapRectangle.h"

namespace {
const QString X1 = QStringLiteral("rectX1.value");
const QString Y1 = QStringLiteral("rectY1.value");
const QString X2 = QStringLiteral("rectX2.value");
const QString Y2 = QStringLiteral("rectY2.value");
}

QPainterPath KELImageMapRectangle::shapePath() const
{
    const qreal x1 = qreal(integerValue(X1)), y1 = qreal(integerValue(Y1));
    const qreal x2 = qreal(integerValue(X2)), y2 = qreal(integerValue(Y2));
    QPainterPath path;
    path.setFillRule(Qt::WindingFill);
    path.moveTo(x1, y1);
    path.lineTo(x1, y2);
    path.lineTo(x2, y2);
    path.lineTo(x2, y1);
    path.closeSubpath();
    return path;
}

QList<QPointF> KELImageMapRectangle::shapeVertices() const
{
    const qreal x1 = qreal(integerValue(X1)), y1 = qreal(integerValue(Y1));
    const qreal x2 = qreal(integerValue(X2)), y2 = qreal(integerValue(Y2));
    return { QPointF(x1, y1), QPointF(x1, y2), QPointF(x2, y2), QPointF(x2, y1) };
}

QPointF KELImageMapRectangle::shapeLocation() const
{
    return QPointF(qreal(integerValue(X1)), qreal(integerValue(Y1)));
}

void KELImageMapRectangle::moveShapeToLocation(const QPointF& location)
{
    KELImageMapShape::moveShapeToLocation(location);
    const qreal x1 = qreal(integerValue(X1)), y1 = qreal(integerValue(Y1));
    const qreal x2 = qreal(integerValue(X2)), y2 = qreal(integerValue(Y2));
    const qint64 newX1 = roundedCoordinate(location.x());
    const qint64 newY1 = roundedCoordinate(location.y());
    setIntegerValue(X1, newX1);
    setIntegerValue(Y1, newY1);
    setIntegerValue(X2, roundedCoordinate(x2 - x1 + qreal(newX1)));
    setIntegerValue(Y2, roundedCoordinate(y2 - y1 + qreal(newY1)));
}

void KELImageMapRectangle::moveVertex(qint64 index, const QPointF& location)
{
    KELImageMapShape::moveVertex(index, location);
    const qint64 x = roundedCoordinate(location.x());
    const qint64 y = roundedCoordinate(location.y());
    setIntegerValue(index == 0 || index == 1 ? X1 : X2, x);
    setIntegerValue(index == 0 || index == 3 ? Y1 : Y2, y);
}
