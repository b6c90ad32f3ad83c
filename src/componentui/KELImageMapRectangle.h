#pragma once

#include "componentui/KELImageMapShape.h"

/// A region from ("rectX1", "rectY1") to ("rectX2", "rectY2"); the corners may cross.
class KELImageMapRectangle : public KELImageMapShape {
public:
    explicit KELImageMapRectangle(kit::KeyValueObjectPtr shapeController) : KELImageMapShape(std::move(shapeController)) { }

    QPainterPath shapePath() const override;
    QList<QPointF> shapeVertices() const override;
    QPointF shapeLocation() const override;
    /// Moves the first corner there and keeps the size.
    void moveShapeToLocation(const QPointF& location) override;
    void moveVertex(qint64 index, const QPointF& location) override;
};
