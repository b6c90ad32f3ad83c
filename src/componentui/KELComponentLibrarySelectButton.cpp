#include "componentui/KELComponentLibrarySelectButton.h"

#include <QMouseEvent>

#include <QKeyEvent>
#include <QPainter>
#include <QTimer>

KELComponentLibrarySelectButton::KELComponentLibrarySelectButton(QWidget* parent) : QAbstractButton(parent)
{
    setText(QStringLiteral("Select"));
    setFixedSize(75, 30);
    setFocusPolicy(Qt::StrongFocus);
    setAttribute(Qt::WA_Hover);
    QFont f = font();
    f.setPixelSize(16);
    setFont(f);
}

QPainterPath KELComponentLibrarySelectButton::borderPath() const
{
    QPainterPath path;
    path.addRoundedRect(QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5), 6, 6);
    return path;
}

void KELComponentLibrarySelectButton::submitAction()
{
    if (isEnabled())
        Q_EMIT clicked();
}

void KELComponentLibrarySelectButton::clearForceSelectButton()
{
    m_forceSelectButton = false;
    update();
}

void KELComponentLibrarySelectButton::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const bool active = window()->isActiveWindow();
    if (isEnabled() && ((active && m_mouseOver) || m_forceSelectButton)) {
        const bool pressed = isDown() || m_forceSelectButton;
        painter.fillPath(borderPath(), QColor::fromRgbF(1, 1, 1, pressed ? 0.4f : 0.2f));
    }
    const QColor stroke = isEnabled() ? QColor(Qt::white) : QColor::fromRgbF(0.4f, 0.4f, 0.4f);
    painter.setPen(QPen(stroke, 1));
    painter.drawPath(borderPath());
    if (hasFocus() && active) {
        painter.setPen(QPen(palette().highlight().color(), 2));
        painter.drawRoundedRect(QRectF(rect()).adjusted(1.5, 1.5, -1.5, -1.5), 5, 5);
    }
    painter.setPen(stroke);
    painter.drawText(rect(), Qt::AlignCenter, text());
}

void KELComponentLibrarySelectButton::enterEvent(QEnterEvent* event)
{
    m_mouseOver = true;
    update();
    QAbstractButton::enterEvent(event);
}

void KELComponentLibrarySelectButton::leaveEvent(QEvent* event)
{
    m_mouseOver = false;
    update();
    QAbstractButton::leaveEvent(event);
}

void KELComponentLibrarySelectButton::keyPressEvent(QKeyEvent* event)
{
    const QString text = event->text();
    if (text == QLatin1String("\r") || text == QLatin1String("\n") || text == QLatin1String(" ")
        || event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        m_forceSelectButton = true;
        update();
        submitAction();
        QTimer::singleShot(100, this, [this] { clearForceSelectButton(); });
        return;
    }
    QWidget::keyPressEvent(event);
}

void KELComponentLibrarySelectButton::mouseDoubleClickEvent(QMouseEvent* event)
{
    event->accept();
}
