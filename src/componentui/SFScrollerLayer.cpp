#include "componentui/SFScrollerLayer.h"

#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QTimer>

SFScrollerLayer::SFScrollerLayer(QObject* parent) : QObject(parent)
{
    m_delayTimer = new QTimer(this);
    m_delayTimer->setSingleShot(true);
    m_delayTimer->setInterval(500);
    m_repeatTimer = new QTimer(this);
    m_repeatTimer->setInterval(100);
    connect(m_delayTimer, &QTimer::timeout, this, [this] { periodicMouseDownEvent(); });
    connect(m_repeatTimer, &QTimer::timeout, this, [this] { periodicMouseDownEvent(); });
}

void SFScrollerLayer::setScrollerContent(SFScrollerContent* content)
{
    m_scrollerContent = content;
    scrollContentResized();
}

void SFScrollerLayer::setFrame(const QRectF& frame)
{
    m_frame = frame;
    scrollContentResized();
}

QRectF SFScrollerLayer::trayRect() const
{
    return QRectF(20, 0, std::max(0.0, m_frame.width() - 40), m_frame.height());
}

QRectF SFScrollerLayer::sliderRect() const
{
    return QRectF(m_sliderX, 1, m_sliderWidth, std::max(0.0, m_frame.height() - 2));
}

void SFScrollerLayer::setSliderWidth(double fraction)
{
    m_fraction = fraction;
    m_sliderWidth = std::max(MinimumSliderWidth, trayRect().width() * fraction);
    setSliderPosition(m_sliderX);
}

void SFScrollerLayer::setSliderPosition(double x)
{
    const double tray = trayRect().width();
    if (x < 0)
        x = 0;
    if (x + m_sliderWidth > tray)
        x = tray - m_sliderWidth;
    m_sliderX = x;
    Q_EMIT needsDisplay();
}

void SFScrollerLayer::moveSlider(double dx)
{
    const double x = m_sliderX + dx;
    setSliderPosition(x);
    const double range = trayRect().width() - m_sliderWidth;
    if (m_scrollerContent)
        m_scrollerContent->scrollToPosition(range > 0 ? x / range : 0);
}

bool SFScrollerLayer::mouseDownAtPointInSuperlayer(QPointF point)
{
    if (m_hidden || !m_scrollerContent)
        return false;
    const QPointF p = point - m_frame.topLeft();
    m_mouseDownPointForCurrentEvent = p;
    m_mouseOverSelectedInput = true;
    m_inputMode = Idle;
    const QRectF tray = trayRect();
    if (tray.contains(p)) {
        const QPointF t = p - tray.topLeft();
        if (sliderRect().contains(t)) {
            m_inputMode = DraggingSlider;
            return true;
        }
        if (t.x() >= m_sliderX) {
            m_inputMode = PageRight;
            m_scrollerContent->moveScrollView(m_scrollerContent->visibleWidth());
        } else {
            m_inputMode = PageLeft;
            m_scrollerContent->moveScrollView(-m_scrollerContent->visibleWidth());
        }
        startMouseDownTimer();
        return true;
    }
    if (leftArrowRect().contains(p)) {
        m_leftHighlight = true;
        m_inputMode = LeftArrow;
        m_scrollerContent->moveScrollView(-m_scrollerContent->stepSize());
        startMouseDownTimer();
        Q_EMIT needsDisplay();
        return true;
    }
    if (rightArrowRect().contains(p)) {
        m_rightHighlight = true;
        m_inputMode = RightArrow;
        m_scrollerContent->moveScrollView(m_scrollerContent->stepSize());
        startMouseDownTimer();
        Q_EMIT needsDisplay();
        return true;
    }
    return false;
}

void SFScrollerLayer::startMouseDownTimer()
{
    m_repeatTimer->stop();
    m_delayTimer->start();
}

void SFScrollerLayer::periodicMouseDownEvent()
{
    if (m_inputMode == Idle || !m_scrollerContent) {
        m_repeatTimer->stop();
        return;
    }
    if (m_mouseOverSelectedInput) {
        if (m_inputMode == LeftArrow)
            m_scrollerContent->moveScrollView(-m_scrollerContent->stepSize());
        else if (m_inputMode == RightArrow)
            m_scrollerContent->moveScrollView(m_scrollerContent->stepSize());
        const QPointF t = m_mouseDownPointForCurrentEvent - trayRect().topLeft();
        if (m_inputMode == PageLeft || m_inputMode == PageRight) {
            // Paging stops once the slider has reached the pointer.
            if (sliderRect().contains(QPointF(t.x(), sliderRect().center().y())))
                m_inputMode = Idle;
            if (m_inputMode == PageLeft && t.x() < m_sliderX)
                m_scrollerContent->moveScrollView(-m_scrollerContent->visibleWidth());
            else if (m_inputMode == PageRight && t.x() > m_sliderX)
                m_scrollerContent->moveScrollView(m_scrollerContent->visibleWidth());
        }
    }
    if (!m_repeatTimer->isActive() && m_inputMode != Idle)
        m_repeatTimer->start();
}

void SFScrollerLayer::mouseDragged(QPointF point)
{
    const QPointF p = point - m_frame.topLeft();
    switch (m_inputMode) {
    case DraggingSlider:
        moveSlider(p.x() - m_mouseDownPointForCurrentEvent.x());
        m_mouseDownPointForCurrentEvent = p;
        break;
    case PageLeft:
    case PageRight:
        m_mouseOverSelectedInput = trayRect().contains(p);
        m_mouseDownPointForCurrentEvent = p;
        break;
    case LeftArrow:
        m_leftHighlight = leftArrowRect().contains(p);
        m_mouseOverSelectedInput = m_leftHighlight;
        Q_EMIT needsDisplay();
        break;
    case RightArrow:
        m_rightHighlight = rightArrowRect().contains(p);
        m_mouseOverSelectedInput = m_rightHighlight;
        Q_EMIT needsDisplay();
        break;
    default:
        break;
    }
}

void SFScrollerLayer::mouseUp(QPointF)
{
    m_leftHighlight = m_rightHighlight = false;
    m_inputMode = Idle;
    m_mouseOverSelectedInput = false;
    m_delayTimer->stop();
    m_repeatTimer->stop();
    Q_EMIT needsDisplay();
}

void SFScrollerLayer::scrollPositionChanged(double fraction)
{
    if (m_inputMode == DraggingSlider)
        return;
    setSliderPosition((trayRect().width() - m_sliderWidth) * fraction);
}

void SFScrollerLayer::scrollContentResized()
{
    if (m_scrollerContent && m_scrollerContent->visibleWidth() < m_scrollerContent->contentWidth()) {
        m_hidden = false;
        setSliderWidth(m_scrollerContent->visibleWidth() / m_scrollerContent->contentWidth());
    } else {
        m_hidden = true;
    }
    Q_EMIT needsDisplay();
}

namespace {
QColor white(double alpha)
{
    return QColor::fromRgbF(1, 1, 1, float(alpha));
}

// The glass: black with a soft highlight along the top edge.
void paintGlass(QPainter& painter, const QRectF& r)
{
    painter.fillRect(r, Qt::black);
    QLinearGradient top(r.topLeft(), r.topLeft() + QPointF(0, 6));
    top.setColorAt(0, white(0.27));
    top.setColorAt(1, white(0.17));
    QPainterPath highlight;
    highlight.moveTo(r.left(), r.top());
    highlight.cubicTo(r.left(), r.top() + 6, r.left() + 6, r.top() + 6, r.left() + 6, r.top() + 6);
    highlight.lineTo(r.right() - 6, r.top() + 6);
    highlight.cubicTo(r.right(), r.top() + 6, r.right(), r.top(), r.right(), r.top());
    highlight.closeSubpath();
    painter.fillPath(highlight, top);
}

// From p1 curving to p2, then on to p3.
QPainterPath bracket(QPointF p1, QPointF p2, QPointF p3)
{
    QPainterPath path(p1);
    path.cubicTo(QPointF(p2.x(), p1.y()), p2, p2);
    path.cubicTo(QPointF(p2.x(), p3.y()), p3, p3);
    return path;
}
} // namespace

void SFScrollerLayer::paint(QPainter& painter) const
{
    if (m_hidden)
        return;
    painter.save();
    painter.translate(m_frame.topLeft());
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF bounds(0, 0, m_frame.width(), m_frame.height());
    QPainterPath outline;
    outline.addRoundedRect(bounds.adjusted(0.5, 0.5, -0.5, -0.5), 8, 8);
    painter.setClipPath(outline);
    const double h = bounds.height();
    const QRectF tray = trayRect();
    painter.fillRect(tray, white(0.235));
    // Arrows, their inner edges hollowed into the bracket curve.
    for (bool left : {true, false}) {
        const QRectF r = left ? leftArrowRect() : rightArrowRect();
        painter.save();
        painter.translate(r.topLeft());
        const double s = h / 16;
        QPainterPath mask = left ? QPainterPath(QPointF(0, 0)) : QPainterPath(QPointF(26, 0));
        if (left) {
            mask.lineTo(26, 0);
            mask.connectPath(bracket({26, 0}, {20, 8 * s}, {26, h}));
            mask.lineTo(0, h);
        } else {
            mask.lineTo(0, 0);
            mask.connectPath(bracket({0, 0}, {6, 8 * s}, {0, h}));
            mask.lineTo(26, h);
        }
        mask.closeSubpath();
        painter.setClipPath(mask, Qt::IntersectClip);
        paintGlass(painter, QRectF(0, 0, 26, h));
        if ((left && m_leftHighlight) || (!left && m_rightHighlight))
            painter.fillRect(QRectF(0, 0, 26, h), white(0.235));
        painter.setPen(QPen(white(0.6), 1));
        painter.setBrush(white(0.6));
        QPolygonF triangle = left ? QPolygonF({QPointF(8, 8 * s), QPointF(14, 4 * s), QPointF(14, 12 * s)})
                                  : QPolygonF({QPointF(18, 8 * s), QPointF(12, 4 * s), QPointF(12, 12 * s)});
        painter.drawPolygon(triangle);
        painter.setBrush(Qt::NoBrush);
        painter.drawPath(left ? bracket({26, 1}, {20, 8 * s}, {26, h - 1}) : bracket({0, 1}, {6, 8 * s}, {0, h - 1}));
        painter.restore();
    }
    // The slider: glass with bracket-shaped caps.
    const QRectF slider = sliderRect().translated(tray.topLeft());
    painter.save();
    QPainterPath shape;
    shape.addRoundedRect(slider, slider.height() / 2, slider.height() / 2);
    painter.setClipPath(shape, Qt::IntersectClip);
    paintGlass(painter, slider);
    painter.restore();
    painter.setPen(QPen(white(0.6), 1));
    painter.drawRoundedRect(slider.adjusted(0.5, 0.5, -0.5, -0.5), slider.height() / 2, slider.height() / 2);
    painter.setClipping(false);
    painter.setPen(QPen(white(0.6), 1));
    painter.setBrush(Qt::NoBrush);
    painter.drawPath(outline);
    painter.restore();
}
