#pragma once
// A split view that knows when its panes are being moved by an animation, so
// its owner can leave the divider alone meanwhile, and the animation that moves
// the panes of one split view to given frames in half a second.

#include <QList>
#include <QPointer>
#include <QRect>
#include <QSplitter>
#include <QVariantAnimation>

class KELSplitView : public QSplitter {
    Q_OBJECT
public:
    explicit KELSplitView(Qt::Orientation orientation = Qt::Horizontal, QWidget* parent = nullptr);

    bool isAnimating() const { return m_isAnimating; }
    void setIsAnimating(bool animating) { m_isAnimating = animating; }
    /// Vertical (panes side by side), as the platform names it.
    bool isVertical() const { return orientation() == Qt::Horizontal; }
    /// Moves divider index (0 = between pane 0 and pane 1) to the position.
    void setPosition(int position, int dividerIndex);
    /// The frames of the panes, in pane order.
    QList<QRect> subviewFrames() const;

    /// Lets the owner constrain a divider the user drags (null: as proposed).
    using Constrainer = std::function<int(KELSplitView*, int proposed, int dividerIndex)>;
    void setConstrainer(Constrainer constrainer) { m_constrainer = std::move(constrainer); }

private:
    void dividerMoved(int position, int handleIndex);

    bool m_isAnimating = false;
    bool m_adjusting = false;
    Constrainer m_constrainer;
};

class KELSplitViewAnimation : public QVariantAnimation {
    Q_OBJECT
public:
    KELSplitViewAnimation(KELSplitView* splitView, const QList<QRect>& targetFrames, QObject* parent = nullptr);

    KELSplitView* splitView() const { return m_splitView; }
    const QList<QRect>& targetFrames() const { return m_targetFrames; }
    const QList<QRect>& initialFrames() const { return m_initialFrames; }

    /// Records the panes' frames as the start and marks the split view animating.
    void startAnimation();
    /// Leaves the dividers where they are and clears the split view's mark.
    void stopAnimation();
    /// One step: v is the eased value of the progress p.
    void setCurrentProgress(qreal progress);

protected:
    void updateCurrentValue(const QVariant& value) override;

private:
    QPointer<KELSplitView> m_splitView;
    QList<QRect> m_targetFrames;
    QList<QRect> m_initialFrames;
};
