#include "componentui/KELImageMapShape.h"

#include "componentui/KELImageMapCircle.h"
#include "componentui/KELImageMapPolygon.h"
#include "componentui/KELImageMapRectangle.h"
#include "components/KELExpression.h"

#include <QImage>
#include <QPainter>
#include <cmath>
#include <limits>

kit::KeyValueObjectPtr imageMapItemAtIndex(const kit::KeyValueObjectPtr& indexedController, qint64 index)
{
    if (!indexedController || index < 0)
        return nullptr;
    if (const auto* indexed = dynamic_cast<const KELExpressionIndexed*>(indexedController.get()))
        return kit::KeyValueObject::toObject(indexed->objectAtIndex(index));
    // An editor that keeps its items only as a list value.
    const QVariantList items = indexedController->value(QStringLiteral("variableControllers")).toList();
    return index < items.size() ? kit::KeyValueObject::toObject(items.at(index)) : nullptr;
}

KELImageMapShape::KELImageMapShape(kit::KeyValueObjectPtr shapeController) : m_shapeController(std::move(shapeController)) { }

KELImageMapShape::~KELImageMapShape() = default;

std::unique_ptr<KELImageMapShape> KELImageMapShape::shapeWithShapeController(const kit::KeyValueObjectPtr& shapeController)
{
    if (!shapeController)
        return nullptr;
    const QString shape = KELExpression::stringValue(shapeController->valueForKeyPath(QStringLiteral("shape.value")));
    if (shape == QLatin1String("rectangle"))
        return std::make_unique<KELImageMapRectangle>(shapeController);
    if (shape == QLatin1String("circle"))
        return std::make_unique<KELImageMapCircle>(shapeController);
    if (shape == QLatin1String("polygon"))
        return std::make_unique<KELImageMapPolygon>(shapeController);
    return nullptr;
}

qint64 KELImageMapShape::roundedCoordinate(qreal value)
{
    if (!std::isfinite(value))
        return 0;
    constexpr qreal limit = 9.2e18;
    if (value >= limit)
        return std::numeric_limits<qint64>::max();
    if (value <= -limit)
        return std::numeric_limits<qint64>::min();
    return qint64(std::round(value)); // std::round goes half away from zero
}

qint64 KELImageMapShape::integerValue(const QString& keyPath) const
{
    return KELExpression::integerValue(m_shapeController->valueForKeyPath(keyPath));
}

void KELImageMapShape::setIntegerValue(const QString& keyPath, qint64 value)
{
    m_shapeController->setValueForKeyPath(keyPath, QString::number(value));
}

// --- Hit testing

bool KELImageMapShape::shapeContainsPoint(const QPointF& point) const
{
    const QPainterPath path = shapePath();
    return !path.isEmpty() && path.contains(point);
}

qint64 KELImageMapShape::resizeHandleForPoint(const QPointF& point) const
{
    if (!m_selected)
        return -1;
    const QList<QPointF> vertices = shapeVertices();
    for (qint64 i = vertices.size() - 1; i >= 0; --i) {
        const QPointF& v = vertices.at(i);
        if (std::abs(point.x() - v.x()) < HandleHitDistance && std::abs(point.y() - v.y()) < HandleHitDistance)
            return i;
    }
    return -1;
}

bool KELImageMapShape::resizeHandleContainsPoint(const QPointF& point) const
{
    return resizeHandleForPoint(point) != -1;
}

QRectF KELImageMapShape::bounds() const
{
    const QPainterPath path = shapePath();
    return path.isEmpty() ? QRectF() : path.boundingRect();
}

// --- Geometry of the base: none

QPainterPath KELImageMapShape::shapePath() const
{
    return QPainterPath();
}

QList<QPointF> KELImageMapShape::shapeVertices() const
{
    return {};
}

QPointF KELImageMapShape::shapeLocation() const
{
    return QPointF(0, 0);
}

void KELImageMapShape::registerUndo(const QString& keyPath, const QString& actionName)
{
    if (m_undoRegistration)
        m_undoRegistration(m_shapeController, keyPath, actionName, true);
}

void KELImageMapShape::moveShapeToLocation(const QPointF&)
{
    registerUndo(QStringLiteral("location"), QStringLiteral("Move Shape"));
}

void KELImageMapShape::moveVertex(qint64 index, const QPointF&)
{
    registerUndo(QStringLiteral("size.%1").arg(index), QStringLiteral("Resize Shape"));
}

// --- Mouse gestures

void KELImageMapShape::handleMouseDown(const QPointF& point)
{
    m_mouseDownVertex = resizeHandleForPoint(point);
    m_mouseDownPoint = point;
    if (m_mouseDownVertex == -1) {
        m_initialShapePoint = shapeLocation();
    } else {
        const QList<QPointF> vertices = shapeVertices();
        m_initialShapePoint = m_mouseDownVertex < vertices.size() ? vertices.at(m_mouseDownVertex) : shapeLocation();
    }
}

void KELImageMapShape::handleMouseDragged(const QPointF& point)
{
    const QPointF target = m_initialShapePoint + (point - m_mouseDownPoint);
    // A click without a move writes nothing and leaves no undo step.
    if (target == m_initialShapePoint)
        return;
    if (m_mouseDownVertex == -1)
        moveShapeToLocation(target);
    else
        moveVertex(m_mouseDownVertex, target);
}

void KELImageMapShape::handleMouseUp(const QPointF& point)
{
    handleMouseDragged(point);
    m_mouseDownVertex = -1;
}

// --- Drawing

void KELImageMapShape::drawShape(QPainter& painter, const QRectF& exposed) const
{
    const QPainterPath path = shapePath();
    if (path.isEmpty())
        return;
    // The shape is drawn into a layer of its own so that its handles replace the
    // fill under them instead of mixing with it; the layer covers only what is
    // shown, so a huge region costs no more than the window.
    const QRectF area = path.boundingRect().adjusted(-DrawingMargin, -DrawingMargin, DrawingMargin, DrawingMargin) & exposed;
    const QRect layerRect = area.toAlignedRect();
    if (layerRect.isEmpty())
        return;
    QImage layer(layerRect.size(), QImage::Format_ARGB32_Premultiplied);
    if (layer.isNull())
        return;
    layer.fill(Qt::transparent);
    {
        QPainter p(&layer);
        p.setRenderHint(QPainter::Antialiasing);
        p.translate(-layerRect.topLeft());
        p.save();
        // Clipped to the path, the 2-point outline shows its inner point only.
        p.setClipPath(path);
        p.fillPath(path, QColor::fromRgbF(1, 1, 1, 0.4));
        p.strokePath(path, QPen(Qt::black, 2));
        p.restore();
        if (m_selected) {
            const qreal alpha = m_firstResponder ? 1.0 : 0.5;
            p.setCompositionMode(QPainter::CompositionMode_Source);
            for (const QPointF& v : shapeVertices()) {
                const QRectF square(v.x() - HandleSize / 2, v.y() - HandleSize / 2, HandleSize, HandleSize);
                QPainterPath handle;
                handle.addRect(square);
                p.save();
                p.setClipRect(square);
                p.fillPath(handle, QColor::fromRgbF(1, 1, 1, alpha));
                p.strokePath(handle, QPen(QColor::fromRgbF(0, 0, 0, alpha), 2));
                p.restore();
            }
        }
    }
    painter.drawImage(layerRect.topLeft(), layer);
}
