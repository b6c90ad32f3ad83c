#include "document/KELSplitView.h"

#include <QEasingCurve>

KELSplitView::KELSplitView(Qt::Orientation orientation, QWidget* parent) : QSplitter(orientation, parent)
{
    setHandleWidth(1);
    setChildrenCollapsible(true);
    connect(this, &QSplitter::splitterMoved, this, &KELSplitView::dividerMoved);
}

void KELSplitView::setPosition(int position, int dividerIndex)
{
    if (dividerIndex < 0 || dividerIndex + 1 >= count())
        return;
    m_adjusting = true;
    moveSplitter(position, dividerIndex + 1);
    m_adjusting = false;
}

QList<QRect> KELSplitView::subviewFrames() const
{
    QList<QRect> frames;
    for (int i = 0; i < count(); ++i)
        frames << widget(i)->geometry();
    return frames;
}

void KELSplitView::dividerMoved(int position, int handleIndex)
{
    if (m_adjusting || m_isAnimating || !m_constrainer)
        return;
    const int constrained = m_constrainer(this, position, handleIndex - 1);
    if (constrained != position)
        setPosition(constrained, handleIndex - 1);
}

// ---------------------------------------------------------------- animation

KELSplitViewAnimation::KELSplitViewAnimation(KELSplitView* splitView, const QList<QRect>& targetFrames, QObject* parent)
    : QVariantAnimation(parent), m_splitView(splitView), m_targetFrames(targetFrames)
{
    setDuration(500);
    setEasingCurve(QEasingCurve::InOutQuad);
    setStartValue(0.0);
    setEndValue(1.0);
}

void KELSplitViewAnimation::startAnimation()
{
    if (!m_splitView)
        return;
    m_initialFrames = m_splitView->subviewFrames();
    m_splitView->setIsAnimating(true);
    start();
}

void KELSplitViewAnimation::stopAnimation()
{
    if (m_splitView)
        m_splitView->setIsAnimating(false);
    stop();
}

void KELSplitViewAnimation::updateCurrentValue(const QVariant&)
{
    if (state() == QAbstractAnimation::Running || currentTime() >= duration())
        setCurrentProgress(duration() > 0 ? qreal(currentTime()) / duration() : 1.0);
}

void KELSplitViewAnimation::setCurrentProgress(qreal progress)
{
    if (!m_splitView)
        return;
    const qreal v = easingCurve().valueForProgress(qBound<qreal>(0.0, progress, 1.0));
    const qsizetype n = qMin(m_targetFrames.size(), m_initialFrames.size());
    const bool vertical = m_splitView->isVertical();
    for (qsizetype i = 0; i + 1 < n; ++i) {
        const QRect& from = m_initialFrames.at(i);
        const QRect& to = m_targetFrames.at(i);
        const qreal position = vertical ? (from.x() + (to.x() - from.x()) * v) + (from.width() + (to.width() - from.width()) * v)
                                        : (from.y() + (to.y() - from.y()) * v) + (from.height() + (to.height() - from.height()) * v);
        m_splitView->setPosition(qRound(position), int(i));
    }
    if (progress >= 1.0)
        m_splitView->setIsAnimating(false);
    m_splitView->repaint();
}
