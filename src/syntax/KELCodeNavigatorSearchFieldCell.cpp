#include "syntax/KELCodeNavigatorSearchFieldCell.h"

#include <QPainter>
#include <QPainterPath>

KELCodeNavigatorSearchFieldCell::KELCodeNavigatorSearchFieldCell(QWidget* parent)
    : QLineEdit(parent)
{
    setFrame(false);
    setClearButtonEnabled(true);
}

void KELCodeNavigatorSearchFieldCell::paintEvent(QPaintEvent* event)
{
    QLineEdit::paintEvent(event);
    if (hasFocus())
        return;
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    QPen pen(QColor::fromRgbF(0.7f, 0.7f, 0.7f, 1.0f));
    pen.setWidthF(1.0);
    painter.setPen(pen);
    QPainterPath path;
    path.addRoundedRect(QRectF(rect()).adjusted(0.5, 1.0, -0.5, -1.0), 7, 7);
    painter.drawPath(path);
}

void KELCodeNavigatorSearchFieldCell::focusInEvent(QFocusEvent* event)
{
    setFrame(true);
    QLineEdit::focusInEvent(event);
}

void KELCodeNavigatorSearchFieldCell::focusOutEvent(QFocusEvent* event)
{
    setFrame(false);
    QLineEdit::focusOutEvent(event);
}
