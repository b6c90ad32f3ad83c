#include "kit/text/ScrollView.h"

#include "kit/text/RulerView.h"
#include "kit/text/TextView.h"

#include <QResizeEvent>
#include <QScrollBar>
#include <cmath>

namespace kit {

ScrollView::ScrollView(QWidget* parent) : QAbstractScrollArea(parent)
{
    setFrameShape(QFrame::NoFrame);
    setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
}

ScrollView::~ScrollView() = default;

void ScrollView::setDocumentView(TextView* view)
{
    m_document = view;
    if (!view)
        return;
    setViewport(view);
    // Keyboard focus belongs to the document view, not to the frame around it.
    view->setFocusProxy(nullptr);
    setFocusProxy(view);
    view->m_scrollView = this;
    view->setAutoFillBackground(false);
    view->updateContainerWidth();
    updateScrollBars();
    tile();
}

QRectF ScrollView::documentVisibleRect() const
{
    return m_document ? m_document->visibleRect() : QRectF();
}

void ScrollView::setVerticalRulerView(RulerView* ruler)
{
    if (m_ruler == ruler)
        return;
    if (m_ruler)
        m_ruler->hide();
    m_ruler = ruler;
    if (ruler) {
        ruler->setParent(this);
        ruler->m_scrollView = this;
        ruler->m_clientView = m_document;
    }
    tile();
}

void ScrollView::setHasVerticalRuler(bool on)
{
    m_hasRuler = on;
    tile();
}

void ScrollView::setRulersVisible(bool on)
{
    m_rulersVisible = on;
    tile();
}

void ScrollView::setHasHorizontalScroller(bool on)
{
    m_hasHorizontal = on;
    setHorizontalScrollBarPolicy(on ? Qt::ScrollBarAsNeeded : Qt::ScrollBarAlwaysOff);
}

void ScrollView::tile()
{
    const bool show = m_ruler && m_hasRuler && m_rulersVisible;
    const int thickness = show ? int(std::ceil(m_ruler->requiredThickness())) : 0;
    setViewportMargins(thickness, 0, 0, 0);
    if (m_ruler) {
        m_ruler->setVisible(show);
        if (show) {
            const QRect cr = contentsRect();
            m_ruler->setGeometry(cr.left(), cr.top(), thickness, viewport()->height());
            m_ruler->update();
        }
    }
    updateScrollBars();
}

void ScrollView::updateScrollBars()
{
    if (!m_document)
        return;
    const int vh = viewport()->height();
    const int vw = viewport()->width();
    const int docH = int(std::ceil(m_document->documentHeight()));
    verticalScrollBar()->setRange(0, std::max(0, docH - vh));
    verticalScrollBar()->setPageStep(vh);
    verticalScrollBar()->setSingleStep(int(m_document->layoutManager()->lineHeight()));
    if (!m_document->wrapsLines()) {
        const int docW = int(std::ceil(m_document->layoutManager()->usedWidth() + 2 * m_document->textContainerInset().width()));
        horizontalScrollBar()->setRange(0, std::max(0, docW - vw));
        horizontalScrollBar()->setPageStep(vw);
        horizontalScrollBar()->setSingleStep(20);
    } else {
        horizontalScrollBar()->setRange(0, 0);
    }
}

void ScrollView::scrollToPoint(const QPointF& p)
{
    horizontalScrollBar()->setValue(int(p.x()));
    verticalScrollBar()->setValue(int(p.y()));
}

bool ScrollView::viewportEvent(QEvent* event)
{
    switch (event->type()) {
    case QEvent::Wheel:
        return QAbstractScrollArea::viewportEvent(event);
    case QEvent::Resize:
        updateScrollBars();
        if (m_ruler && m_ruler->isVisible())
            m_ruler->setGeometry(m_ruler->x(), m_ruler->y(), m_ruler->width(), viewport()->height());
        Q_EMIT boundsChanged();
        return false;
    default:
        // The document view handles its own events.
        return false;
    }
}

void ScrollView::scrollContentsBy(int, int)
{
    if (m_document) {
        m_document->update();
        m_document->layoutManager()->ensureLayoutForRect(m_document->visibleContainerRect());
    }
    if (m_ruler && m_ruler->isVisible())
        m_ruler->update();
    // Laying out the newly shown text refines estimated heights.
    updateScrollBars();
    Q_EMIT boundsChanged();
}

void ScrollView::resizeEvent(QResizeEvent* event)
{
    QAbstractScrollArea::resizeEvent(event);
    tile();
}

} // namespace kit
