#include "project/KELGetInfoView.h"

#include <QPainter>
#include <QVBoxLayout>

KELGetInfoView::KELGetInfoView(QWidget* parent) : QWidget(parent)
{
    m_layout = new QVBoxLayout(this);
    m_layout->setContentsMargins(0, 0, 0, 5);
    m_layout->setSpacing(5);
    m_layout->setSizeConstraint(QLayout::SetFixedSize);
}

void KELGetInfoView::addSection(QWidget* section)
{
    m_sections << section;
    m_layout->addWidget(section);
    update();
}

void KELGetInfoView::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setPen(Qt::gray);
    for (qsizetype i = 1; i < m_sections.size(); ++i) {
        if (!m_sections[i]->isVisible())
            continue;
        const qreal y = m_sections[i]->geometry().top() - 2.5;
        painter.drawLine(QPointF(0, y), QPointF(width(), y));
    }
}
