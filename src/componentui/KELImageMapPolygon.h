#pragma once

#include "componentui/KELImageMapShape.h"

/// A region with "vertexCount" corners, each a vertex editor of "vertices" with "x"
/// and "y". Fewer than three corners make no area: such a polygon has no path, no
/// handles and is never hit.
class KELImageMapPolygon : public KELImageMapShape {
public:
    explicit KELImageMapPolygon(kit::KeyValueObjectPtr shapeController) : KELImageMapShape(std::move(shapeController)) { }

    /// Keeps a polygon region at its declared vertex count with usable corners:
    /// from the filled-in corners (or a default triangle when fewer than three are),
    /// the longest edge is split at its middle until there are enough, and every
    /// vertex editor gets its corner. Registered as one undo step of the region's
    /// "vertexCount" editor. Corners are read from the first knownVertices editors
    /// only (-1: all): editors the list has just made for a larger count hold
    /// defaults, not corners of this polygon.
    static void updatePolygonVertices(const kit::KeyValueObjectPtr& shapeController, const UndoRegistration& registration, qint64 knownVertices = -1);
    /// The corners for the count: the given ones (or the default triangle), with
    /// the longest edge split at its middle until there are enough.
    static QList<QPointF> verticesForCount(QList<QPointF> points, qint64 count);
    /// More corners than this are never made.
    static constexpr qint64 MaximumVertexCount = 1000;

    qint64 numberOfVertices() const;
    /// The vertex editor at the index; null when the list has none there.
    kit::KeyValueObjectPtr vertexControllerAtIndex(qint64 index) const;
    QPointF vertexAtIndex(qint64 index) const;
    void setVertex(const QPointF& point, qint64 index);

    QPainterPath shapePath() const override;
    QList<QPointF> shapeVertices() const override;
    QPointF shapeLocation() const override;
    /// Moves every corner with the first one.
    void moveShapeToLocation(const QPointF& location) override;
    void moveVertex(qint64 index, const QPointF& location) override;

private:
    /// The corners whose editors exist, up to the vertex count.
    QList<QPointF> points() const;
};
