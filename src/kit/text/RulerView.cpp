#include "kit/text/RulerView.h"

#include "kit/text/ScrollView.h"
#include "kit/text/TextView.h"

#include <QPainter>
#include <QPaintEvent>
#include <QTimer>

namespace kit {

RulerView::RulerView(ScrollView* scrollView, QWidget* parent) : QWidget(parent ? parent : scrollView), m_scrollView(scrollView)
{
    setMouseTracking(true);
    if (scrollView)
        m_clientView = scrollView->documentView();
}

RulerView::~RulerView() = default;

void RulerView::setClientView(TextView* view)
{
    m_clientView = view;
    update();
}

void RulerView::setRuleThickness(qreal thickness)
{
    if (qFuzzyCompare(thickness, m_ruleThickness))
        return;
    m_ruleThickness = thickness;
    if (!m_tilePending) {
        m_tilePending = true;
        QTimer::singleShot(0, this, [this] {
            m_tilePending = false;
            if (m_scrollView)
                m_scrollView->tile();
        });
    }
}

void RulerView::setReservedThicknessForMarkers(qreal thickness)
{
    m_reserved = thickness;
    if (m_scrollView)
        m_scrollView->tile();
}

qreal RulerView::rulerYForContainerY(qreal y) const
{
    if (!m_clientView)
        return y;
    return y + m_clientView->textContainerInset().height() - m_clientView->visibleRect().top();
}

void RulerView::paintEvent(QPaintEvent* event)
{
    QPainter painter(this);
    drawBackground(&painter, event->rect());
    drawHashMarksAndLabels(&painter, event->rect());
}

void RulerView::drawBackground(QPainter* painter, const QRect& rect)
{
    painter->fillRect(rect, palette().window());
}

void RulerView::drawHashMarksAndLabels(QPainter*, const QRect&) {}

} // namespace kit
