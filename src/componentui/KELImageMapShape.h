#pragma once
// One region of an image map on the canvas: a rectangle, a circle or a polygon.
// A shape keeps no geometry of its own: it reads the region's variables through
// the region's editor controller every time it draws or is hit, and writes every
// change back into them as decimal integer text, so the form, the generated map
// and the undo of the component window all see what the canvas does.

#include "kit/KeyValueObject.h"

#include <QList>
#include <QPainterPath>
#include <QPointF>
#include <QRectF>
#include <QString>
#include <functional>
#include <memory>

class QPainter;

/// The item at the index of an indexed editor (the regions of the table, the
/// vertices of a polygon); null past its end or when the object has no items.
kit::KeyValueObjectPtr imageMapItemAtIndex(const kit::KeyValueObjectPtr& indexedController, qint64 index);

class KELImageMapShape {
public:
    /// Records an undo step for keyPath of a region editor before its values
    /// change; grouped steps run together while the same region and key path go on
    /// changing (a whole drag is one step).
    using UndoRegistration = std::function<void(const kit::KeyValueObjectPtr& shapeController, const QString& keyPath,
        const QString& actionName, bool groupConsecutiveUndos)>;

    /// Handles are hit strictly closer than this on both axes.
    static constexpr qreal HandleHitDistance = 4;
    static constexpr qreal HandleSize = 6;
    /// Room around a shape for its outline and handles.
    static constexpr qreal DrawingMargin = 10;

    virtual ~KELImageMapShape();
    KELImageMapShape(const KELImageMapShape&) = delete;
    KELImageMapShape& operator=(const KELImageMapShape&) = delete;

    /// The shape the region's "shape.value" names ("rectangle", "circle" or
    /// "polygon"); null for a missing region or any other value.
    static std::unique_ptr<KELImageMapShape> shapeWithShapeController(const kit::KeyValueObjectPtr& shapeController);

    const kit::KeyValueObjectPtr& shapeController() const { return m_shapeController; }
    void setUndoRegistration(UndoRegistration registration) { m_undoRegistration = std::move(registration); }

    /// Draws the shape in canvas coordinates; exposed limits the work to what is
    /// shown (in canvas coordinates too).
    void drawShape(QPainter& painter, const QRectF& exposed) const;

    bool selected() const { return m_selected; }
    void setSelected(bool selected) { m_selected = selected; }
    /// Whether the canvas has the keyboard focus: handles look stronger then.
    bool firstResponder() const { return m_firstResponder; }
    void setFirstResponder(bool firstResponder) { m_firstResponder = firstResponder; }

    bool shapeContainsPoint(const QPointF& point) const;
    bool resizeHandleContainsPoint(const QPointF& point) const;
    /// The handle under the point, the later one where handles overlap; -1 when
    /// none or when the shape is not selected.
    qint64 resizeHandleForPoint(const QPointF& point) const;
    QRectF bounds() const;

    virtual void handleMouseDown(const QPointF& point);
    void handleMouseDragged(const QPointF& point);
    void handleMouseUp(const QPointF& point);
    qint64 mouseDownVertex() const { return m_mouseDownVertex; }

    /// Empty in the base and wherever the region has no usable geometry.
    virtual QPainterPath shapePath() const;
    /// The handles, in order.
    virtual QList<QPointF> shapeVertices() const;
    virtual QPointF shapeLocation() const;
    /// Registers the undo step; each kind then writes its variables.
    virtual void moveShapeToLocation(const QPointF& location);
    virtual void moveVertex(qint64 index, const QPointF& location);

    /// Half away from zero, saturated to the integers a region variable holds.
    static qint64 roundedCoordinate(qreal value);

protected:
    explicit KELImageMapShape(kit::KeyValueObjectPtr shapeController);

    qint64 integerValue(const QString& keyPath) const;
    /// Writes "%ld" of the value at the key path of the region.
    void setIntegerValue(const QString& keyPath, qint64 value);

    QPointF m_mouseDownPoint;
    QPointF m_initialShapePoint;

private:
    void registerUndo(const QString& keyPath, const QString& actionName);

    kit::KeyValueObjectPtr m_shapeController;
    UndoRegistration m_undoRegistration;
    bool m_selected = false;
    bool m_firstResponder = false;
    qint64 m_mouseDownVertex = -1;
};
