#pragma once
// A horizontal scroller drawn by its host: a rounded translucent bar with an arrow
// button at each end and a tray holding a glass slider. It drives content that
// answers in its own units (SFScrollerContent) and is told when that content moves.

#include <QObject>
#include <QPointF>
#include <QRectF>

class QPainter;
class QTimer;

class SFScrollerContent {
public:
    virtual ~SFScrollerContent() = default;
    virtual double contentWidth() const = 0;
    virtual double visibleWidth() const = 0;
    virtual double stepSize() const = 0;
    virtual void moveScrollView(double distance) = 0;
    /// A fraction of the scrollable range, 0 at the start and 1 at the end; the content clamps it.
    virtual void scrollToPosition(double fraction) = 0;
};

class SFScrollerLayer : public QObject {
    Q_OBJECT
public:
    enum InputMode { None = 0, Idle = 2, LeftArrow = 4, RightArrow = 8, DraggingSlider = 16, PageLeft = 32, PageRight = 64 };
    static constexpr double ArrowWidth = 26;
    static constexpr double MinimumSliderWidth = 24;

    explicit SFScrollerLayer(QObject* parent = nullptr);

    SFScrollerContent* scrollerContent() const { return m_scrollerContent; }
    void setScrollerContent(SFScrollerContent* content);

    /// Where the scroller lies in its host's coordinates.
    QRectF frame() const { return m_frame; }
    void setFrame(const QRectF& frame);
    bool isHidden() const { return m_hidden; }

    /// The tray and the slider in the scroller's own coordinates.
    QRectF trayRect() const;
    QRectF sliderRect() const;
    double sliderWidth() const { return m_sliderWidth; }
    double sliderPosition() const { return m_sliderX; }
    int inputMode() const { return m_inputMode; }
    bool leftHighlightShown() const { return m_leftHighlight; }
    bool rightHighlightShown() const { return m_rightHighlight; }

    /// Points in the host's coordinates. Answers whether the scroller took the press.
    bool mouseDownAtPointInSuperlayer(QPointF point);
    void mouseDragged(QPointF point);
    void mouseUp(QPointF point);

    // Told by the content.
    bool isRepositioning() const { return m_inputMode != Idle; }
    void scrollPositionChanged(double fraction);
    void scrollContentResized();

    void paint(QPainter& painter) const;

    void setSliderWidth(double fraction);
    void setSliderPosition(double x);
    void moveSlider(double dx);

Q_SIGNALS:
    void needsDisplay();

private:
    void startMouseDownTimer();
    void periodicMouseDownEvent();
    QRectF leftArrowRect() const { return {0, 0, ArrowWidth, m_frame.height()}; }
    QRectF rightArrowRect() const { return {m_frame.width() - ArrowWidth, 0, ArrowWidth, m_frame.height()}; }

    SFScrollerContent* m_scrollerContent = nullptr;
    QRectF m_frame {0, 0, 26, 16};
    bool m_hidden = true;
    int m_inputMode = None;
    QPointF m_mouseDownPointForCurrentEvent;
    bool m_mouseOverSelectedInput = false;
    bool m_leftHighlight = false;
    bool m_rightHighlight = false;
    double m_sliderX = 0;
    double m_sliderWidth = MinimumSliderWidth;
    double m_fraction = 0; // the slider's width as a fraction of the tray
    QTimer* m_delayTimer;
    QTimer* m_repeatTimer;
};
