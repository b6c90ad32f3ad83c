#pragma once
// The floating bubble that lists a line's errors next to its gutter marker: placed on
// the side with room, kept on the screen vertically, its arrow pointing at the marker.
// It fades in and out and never takes the mouse.

#include <QHash>
#include <QImage>
#include <QPointer>
#include <QTextDocument>
#include <QWidget>

class QPropertyAnimation;

class KELTooltipView : public QWidget
{
    Q_OBJECT
public:
    static constexpr qreal TextInset = 8.0;
    static constexpr qreal ArrowSize = 9.5;
    static constexpr qreal ArrowMargin = 10.0;
    static constexpr qreal MinimumHeight = 20.0;

    /// text: rich text (HTML) with the icons as image resources; direction 0: the bubble
    /// lies right of its anchor (arrow on the left), 1: left of it (arrow on the right).
    KELTooltipView(const QString& text, qreal width, int direction, const QHash<QString, QImage>& images = {},
        QWidget* parent = nullptr);

    int direction() const { return m_direction; }
    /// Height of the arrow's tip from the view's top.
    qreal arrowPosition() const { return m_arrowPosition; }
    void setArrowPosition(qreal y)
    {
        m_arrowPosition = y;
        update();
    }
    QTextDocument* textDocument() { return &m_text; }
    /// The body (without the arrow margin) in view coordinates.
    QRectF bodyRect() const;
    /// The arrow's tip height after keeping it 10 points inside the body.
    qreal clampedArrowPosition() const;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QTextDocument m_text;
    int m_direction = 0;
    qreal m_arrowPosition = 0;
};

class KELTooltip : public QWidget
{
    Q_OBJECT
public:
    static constexpr qreal BubbleWidth = 250.0;
    static constexpr int FadeInMs = 250;
    static constexpr int FadeOutMs = 500;

    struct Placement
    {
        QRect frame;
        int direction = 0;
        qreal arrowPosition = 0;
    };
    /// Where a bubble of the given height goes for an anchor (screen coordinates, y
    /// downwards) inside the screen's visible frame.
    static Placement placement(const QPoint& anchor, int offset, qreal height, const QRect& screenFrame);

    /// images: the pictures the rich text names in its img elements.
    KELTooltip(const QString& text, const QPoint& anchor, int offset, const QHash<QString, QImage>& images = {});
    ~KELTooltip() override;

    KELTooltipView* tooltipView() const { return m_view; }
    /// Shows the panel and fades it in.
    void orderFront();
    /// Fades out, then closes.
    void performClose();
    /// Closes at once.
    void closeNow();
    bool isFadingOut() const { return m_fadingOut; }

private:
    void startFade(qreal to, int ms, bool closeAtEnd);
    KELTooltipView* m_view = nullptr;
    QPointer<QPropertyAnimation> m_animation;
    bool m_fadingOut = false;
};
