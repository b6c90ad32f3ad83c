#include "componentui/KELAccordionView.h"

#include <QKeyEvent>
#include <QLinearGradient>
#include <QMouseEvent>
#include <QPainter>
#include <QResizeEvent>
#include <QVBoxLayout>
#include <cmath>

namespace {
constexpr int StepMilliseconds = 15;
constexpr double HiddenAtOrBelow = 20.5;
} // namespace

// --- KELAccordionSubviewAnimation

double KELAccordionSubviewAnimation::progress(double t)
{
    if (t >= Duration)
        return 1.0;
    return std::sin(M_PI * qMax(0.0, t));
}

double KELAccordionSubviewAnimation::currentY(double now)
{
    const double t = now - m_startTime;
    if (t >= Duration)
        m_complete = true;
    const double p = progress(t);
    return std::round((1 - p) * m_startY + p * m_targetY);
}

// --- KELAccordionView

KELAccordionView::KELAccordionView(QWidget* parent) : QWidget(parent)
{
    setFocusPolicy(Qt::StrongFocus);
    setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Preferred);
    m_elapsed.start();
    m_timer.setInterval(StepMilliseconds);
    connect(&m_timer, &QTimer::timeout, this, [this] {
        if (!continueAnimation(now()))
            m_timer.stop();
    });
}

KELAccordionView::~KELAccordionView() = default;

double KELAccordionView::now() const
{
    return m_clock ? m_clock() : m_elapsed.elapsed() / 1000.0;
}

int KELAccordionView::tallestItemHeight(bool minimum) const
{
    int tallest = 0;
    for (const KELAccordionSubview* bar : m_bars) {
        if (const QWidget* view = bar->item().view())
            tallest = qMax(tallest, minimum ? qMax(view->minimumSizeHint().height(), view->minimumHeight()) : view->sizeHint().height());
    }
    return tallest;
}

QSize KELAccordionView::sizeHint() const
{
    // The height a new accordion is given, or more when an item needs it open.
    return QSize(200, qMax(DefaultHeight, TitleBarHeight * int(m_bars.size()) + tallestItemHeight(false) + 1));
}

QSize KELAccordionView::minimumSizeHint() const
{
    // Every bar, and the open item whole, whichever it is.
    return QSize(100, TitleBarHeight * int(m_bars.size()) + tallestItemHeight(true) + 1);
}

void KELAccordionView::addItem(const KELAccordionItem& item)
{
    auto* bar = new KELAccordionSubview(item, this);
    bar->setGeometry(0, 0, 200, 400);
    bar->show();
    m_bars.append(bar);
    updateGeometry();
    layoutSubviews(false);
}

void KELAccordionView::setSelectedIndex(int index)
{
    // An index that names no item (an empty accordion above all) changes nothing.
    if (index < 0 || index >= m_bars.size() || index == m_selectedIndex)
        return;
    if (KELAccordionSubview* old = m_bars.value(m_selectedIndex))
        old->setSelected(false);
    m_selectedIndex = index;
    m_bars.at(index)->setSelected(true);
    layoutSubviews(true);
}

QList<QPair<int, int>> KELAccordionView::targetFrames(int count, int selected, int height)
{
    QList<QPair<int, int>> frames;
    const int open = qMax(0, height - TitleBarHeight * (count - 1));
    int y = 0;
    for (int i = 0; i < count; ++i) {
        const int h = i == selected ? open : TitleBarHeight;
        frames.append({ y, h });
        y += h;
    }
    return frames;
}

void KELAccordionView::layoutSubviews(bool animated)
{
    if (m_bars.isEmpty())
        return;
    m_selectedIndex = qBound(0, m_selectedIndex, int(m_bars.size()) - 1);
    const auto frames = targetFrames(int(m_bars.size()), m_selectedIndex, height());
    const double start = now();
    for (int i = 0; i < m_bars.size(); ++i) {
        const QRect target(0, frames.at(i).first, width(), frames.at(i).second);
        if (animated)
            m_bars.at(i)->setFrameAnimated(target, start);
        else
            m_bars.at(i)->setBarGeometry(target);
        m_bars.at(i)->setSelected(i == m_selectedIndex);
    }
    if (animated && !m_timer.isActive())
        m_timer.start();
}

bool KELAccordionView::continueAnimation(double time)
{
    bool moving = false;
    int top = 0;
    for (KELAccordionSubview* bar : std::as_const(m_bars)) {
        if (bar->continueAnimation(time, top))
            moving = true;
        top = bar->geometry().top() + bar->geometry().height();
    }
    update();
    return moving;
}

void KELAccordionView::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    layoutSubviews(false);
}

void KELAccordionView::mousePressEvent(QMouseEvent* event)
{
    for (int i = 0; i < m_bars.size(); ++i) {
        const QRect bar = m_bars.at(i)->geometry();
        if (QRect(bar.topLeft(), QSize(bar.width(), TitleBarHeight)).contains(event->position().toPoint())) {
            if (i != m_selectedIndex) {
                setSelectedIndex(i);
                event->accept();
                return;
            }
            break;
        }
    }
    QWidget::mousePressEvent(event);
}

void KELAccordionView::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_Down) {
        if (m_selectedIndex + 1 < m_bars.size())
            setSelectedIndex(m_selectedIndex + 1);
        event->accept();
        return;
    }
    if (event->key() == Qt::Key_Up) {
        if (m_selectedIndex > 0)
            setSelectedIndex(m_selectedIndex - 1);
        event->accept();
        return;
    }
    QWidget::keyPressEvent(event);
}

// --- KELAccordionSubview

KELAccordionSubview::KELAccordionSubview(const KELAccordionItem& item, QWidget* parent)
    : QWidget(parent), m_item(item), m_contentView(new QWidget(this))
{
    auto* layout = new QVBoxLayout(m_contentView);
    layout->setContentsMargins(0, 1, 0, 0);
    layout->setSpacing(0);
    if (m_item.view()) {
        layout->addWidget(m_item.view());
        m_item.view()->show();
    }
    // The item hangs from the title bar; what it does not need stays empty below.
    layout->addStretch(1);
    m_contentView->setAttribute(Qt::WA_TranslucentBackground);
}

void KELAccordionSubview::setSelected(bool on)
{
    if (m_selected == on)
        return;
    m_selected = on;
    update();
}

void KELAccordionSubview::applyGeometry(const QRect& rect)
{
    setGeometry(rect);
    m_contentView->setGeometry(0, KELAccordionView::TitleBarHeight, rect.width(),
        qMax(0, rect.height() - KELAccordionView::TitleBarHeight));
    m_contentView->setVisible(rect.height() > HiddenAtOrBelow);
}

void KELAccordionSubview::setBarGeometry(const QRect& rect)
{
    m_animation.reset();
    applyGeometry(rect);
}

void KELAccordionSubview::setFrameAnimated(const QRect& target, double startTime)
{
    QRect current = geometry();
    current.setLeft(target.left());
    current.setWidth(target.width());
    if (current != geometry())
        applyGeometry(current);
    if (current == target) {
        m_animation.reset();
        return;
    }
    // Slides move the bar's lower edge; its top follows the bar above.
    const int targetBottom = target.top() + target.height();
    if (m_animation && int(m_animation->targetY()) == targetBottom)
        return;
    m_animation.emplace(current.top() + current.height(), targetBottom, startTime);
}

bool KELAccordionSubview::continueAnimation(double now, int topY)
{
    const QRect frame = geometry();
    if (!m_animation) {
        const int bottom = frame.top() + frame.height();
        if (frame.top() != topY)
            applyGeometry(QRect(frame.left(), topY, frame.width(), qMax(0, bottom - topY)));
        return false;
    }
    const int bottom = int(m_animation->currentY(now));
    const bool complete = m_animation->complete();
    if (complete)
        m_animation.reset();
    applyGeometry(QRect(frame.left(), topY, frame.width(), qMax(0, bottom - topY)));
    return !complete;
}

void KELAccordionSubview::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    const QRect title(0, 0, width(), KELAccordionView::TitleBarHeight);
    QLinearGradient gradient(0, title.bottom(), 0, title.top());
    const bool active = window() && window()->isActiveWindow();
    if (!m_selected) {
        gradient.setColorAt(0, QColor::fromRgbF(0.94f, 0.94f, 0.94f));
        gradient.setColorAt(1, QColor::fromRgbF(0.98f, 0.98f, 0.98f));
    } else if (active) {
        gradient.setColorAt(0, QColor::fromRgbF(0.435f, 0.521f, 0.662f));
        gradient.setColorAt(1, QColor::fromRgbF(0.662f, 0.722f, 0.812f));
    } else {
        gradient.setColorAt(0, QColor::fromRgbF(0.54f, 0.54f, 0.54f));
        gradient.setColorAt(1, QColor::fromRgbF(0.732f, 0.732f, 0.732f));
    }
    painter.fillRect(title, gradient);
    painter.setPen(QColor(150, 150, 150));
    painter.drawLine(title.bottomLeft(), title.bottomRight());
    QFont font = painter.font();
    font.setBold(true);
    painter.setFont(font);
    const QRect text = title.adjusted(1, 2, -1, -2);
    painter.setPen(m_selected ? Qt::black : Qt::white);
    painter.drawText(text.translated(0, 1), Qt::AlignCenter, m_item.title());
    painter.setPen(m_selected ? Qt::white : Qt::black);
    painter.drawText(text, Qt::AlignCenter, m_item.title());
}
