#include "componentui/KELImageMapCircle.h"

#include <cmath>

namespace {
const QString X = QStringLiteral("circleX.value");
const QString Y = QStringLiteral("circleY.value");
const QString Radius = QStringLiteral("circleRadius.value");
}

QPainterPath KELImageMapCircle::shapePath() const
{
    const qreal x = qreal(integerValue(X)), y = qreal(integerValue(Y)), r = qreal(integerValue(Radius));
    QPainterPath path;
    path.setFillRule(Qt::WindingFill);
    path.addEllipse(QRectF(x - r, y - r, 2 * r, 2 * r));
    return path;
}

QList<QPointF> KELImageMapCircle::shapeVertices() const
{
    const qreal x = qreal(integerValue(X)), y = qreal(integerValue(Y)), r = qreal(integerValue(Radius));
    return { QPointF(x - r, y - r), QPointF(x - r, y + r), QPointF(x + r, y + r), QPointF(x + r, y - r) };
}

QPointF KELImageMapCircle::shapeLocation() const
{
    return QPointF(qreal(integerValue(X)), qreal(integerValue(Y)));
}

void KELImageMapCircle::moveShapeToLocation(const QPointF& location)
{
    KELImageMapShape::moveShapeToLocation(location);
    setIntegerValue(X, roundedCoordinate(location.x()));
    setIntegerValue(Y, roundedCoordinate(location.y()));
}

void KELImageMapCircle::handleMouseDown(const QPointF& point)
{
    KELImageMapShape::handleMouseDown(point);
    if (mouseDownVertex() != -1) {
        const QList<QPointF> vertices = shapeVertices();
        m_dragPivot = vertices.at((mouseDownVertex() + 2) % vertices.size());
    }
}

void KELImageMapCircle::moveVertex(qint64 index, const QPointF& location)
{
    KELImageMapShape::moveVertex(index, location);
    // The square keeps the opposite corner and follows the dragged one by the
    // larger of its two distances.
    const qreal dx = std::abs(location.x() - m_dragPivot.x());
    const qreal dy = std::abs(location.y() - m_dragPivot.y());
    const qint64 r = roundedCoordinate((dy > dx ? dy : dx) / 2);
    setIntegerValue(Radius, r);
    const qreal centreX = location.x() > m_dragPivot.x() ? m_dragPivot.x() + qreal(r) : m_dragPivot.x() - qreal(r);
    const qreal centreY = location.y() > m_dragPivot.y() ? m_dragPivot.y() + qreal(r) : m_dragPivot.y() - qreal(r);
    setIntegerValue(X, qint64(std::trunc(centreX)));
    setIntegerValue(Y, qint64(std::trunc(centreY)));
}
