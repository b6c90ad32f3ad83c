#pragma once

#include "componentui/KELImageMapShape.h"

/// A region centred on ("circleX", "circleY") with "circleRadius"; its handles are
/// the corners of the square around it.
class KELImageMapCircle : public KELImageMapShape {
public:
    explicit KELImageMapCircle(kit::KeyValueObjectPtr shapeController) : KELImageMapShape(std::move(shapeController)) { }

    QPainterPath shapePath() const override;
    QList<QPointF> shapeVertices() const override;
    QPointF shapeLocation() const override;
    void moveShapeToLocation(const QPointF& location) override;
    /// Remembers the corner opposite the grabbed handle: it stays put while resizing.
    void handleMouseDown(const QPointF& point) override;
    void moveVertex(qint64 index, const QPointF& location) override;

private:
    QPointF m_dragPivot;
};
