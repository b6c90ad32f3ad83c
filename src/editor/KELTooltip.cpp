#include "editor/KELTooltip.h"

#include "support/InterfaceHelpers.h"

#include <QAbstractTextDocumentLayout>
#include <QGuiApplication>
#include <QPainter>
#include <QPainterPath>
#include <QPropertyAnimation>
#include <QScreen>
#include <cmath>

KELTooltipView::KELTooltipView(
    const QString& text, qreal width, int direction, const QHash<QString, QImage>& images, QWidget* parent)
    : QWidget(parent)
    , m_direction(direction)
{
    m_text.setDefaultFont(font());
    m_text.setDocumentMargin(0);
    for (auto it = images.constBegin(); it != images.constEnd(); ++it)
        m_text.addResource(QTextDocument::ImageResource, QUrl(it.key()), it.value());
    m_text.setTextWidth(width - 26.0);
    if (Qt::mightBeRichText(text))
        m_text.setHtml(text);
    else
        m_text.setPlainText(text);
    const qreal textHeight = m_text.size().height();
    const qreal height = textHeight + 16.0 > MinimumHeight ? textHeight + 16.0 : MinimumHeight;
    resize(int(width), int(std::ceil(height)));
    m_arrowPosition = this->height() * 0.5;
    setAttribute(Qt::WA_TranslucentBackground);
}

QRectF KELTooltipView::bodyRect() const
{
    const qreal x = m_direction == 0 ? ArrowMargin : 0.0;
    return QRectF(x, 0, width() - ArrowMargin, height());
}

qreal KELTooltipView::clampedArrowPosition() const
{
    if (ArrowMargin > m_arrowPosition)
        return ArrowMargin;
    return std::min(m_arrowPosition, height() - ArrowMargin);
}

void KELTooltipView::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const QRectF body = bodyRect();
    const qreal x0 = body.left(), x1 = body.right(), y0 = body.top(), y1 = body.bottom();
    const qreal a = clampedArrowPosition();
    QPainterPath path;
    path.moveTo(x0, y0);
    path.lineTo(x1, y0);
    if (m_direction == 1) {
        path.lineTo(x1, a - ArrowSize);
        path.lineTo(x1 + ArrowSize, a);
        path.lineTo(x1, a + ArrowSize);
    }
    path.lineTo(x1, y1);
    path.lineTo(x0, y1);
    if (m_direction == 0) {
        path.lineTo(x0, a + ArrowSize);
        path.lineTo(x0 - ArrowSize, a);
        path.lineTo(x0, a - ArrowSize);
    }
    path.closeSubpath();
    p.fillPath(path, QColor::fromRgbF(0.95f, 0.95f, 0.95f, 1.0f));
    p.setClipPath(path);
    p.strokePath(path, QPen(QColor::fromRgbF(0.8f, 0.8f, 0.8f, 1.0f), 4.0));
    p.setClipping(false);
    p.translate(body.left() + TextInset, TextInset);
    m_text.drawContents(&p);
}

KELTooltip::Placement KELTooltip::placement(const QPoint& anchor, int offset, qreal height, const QRect& frame)
{
    Placement out;
    qreal x;
    if (anchor.x() - frame.x() > BubbleWidth + offset) {
        x = anchor.x() - offset - BubbleWidth;
        out.direction = 1;
    } else {
        x = anchor.x() + offset;
        out.direction = 0;
    }
    const int h = int(std::ceil(height));
    int y = anchor.y() - int(std::floor(h * 0.5));
    if (!frame.isNull()) {
        if (y < frame.top())
            y = frame.top();
        else if (y + h > frame.top() + frame.height())
            y = frame.top() + frame.height() - h;
    }
    out.frame = QRect(int(x), y, int(BubbleWidth), h);
    out.arrowPosition = anchor.y() - y;
    return out;
}

KELTooltip::KELTooltip(const QString& text, const QPoint& anchor, int offset, const QHash<QString, QImage>& images)
    : QWidget(nullptr, Qt::ToolTip | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint)
{
    setAttribute(Qt::WA_TranslucentBackground);
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setAttribute(Qt::WA_ShowWithoutActivating);
    const QRect frame = screenVisibleFrameForPoint(anchor);
    // Measure first: the side decides the direction, the height the vertical place.
    KELTooltipView probe(text, BubbleWidth, 0, images);
    const Placement place = placement(anchor, offset, probe.height(), frame);
    m_view = new KELTooltipView(text, BubbleWidth, place.direction, images, this);
    m_view->move(0, 0);
    m_view->setArrowPosition(place.arrowPosition);
    setGeometry(place.frame.x(), place.frame.y(), m_view->width(), m_view->height());
    setWindowOpacity(0.0);
}

KELTooltip::~KELTooltip()
{
    if (m_animation)
        m_animation->stop();
}

void KELTooltip::startFade(qreal to, int ms, bool closeAtEnd)
{
    if (m_animation) {
        m_animation->stop();
        m_animation->deleteLater();
    }
    auto* anim = new QPropertyAnimation(this, "windowOpacity", this);
    anim->setDuration(ms);
    anim->setStartValue(windowOpacity());
    anim->setEndValue(to);
    if (closeAtEnd)
        connect(anim, &QPropertyAnimation::finished, this, [this] { closeNow(); });
    m_animation = anim;
    anim->start();
}

void KELTooltip::orderFront()
{
    m_fadingOut = false;
    show();
    raise();
    startFade(1.0, FadeInMs, false);
}

void KELTooltip::performClose()
{
    m_fadingOut = true;
    startFade(0.0, FadeOutMs, true);
}

void KELTooltip::closeNow()
{
    if (m_animation) {
        m_animation->stop();
        m_animation->deleteLater();
    }
    hide();
}
