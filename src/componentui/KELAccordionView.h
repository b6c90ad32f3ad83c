#pragma once
// A stack of 20-point title bars, one per item, of which one is open and shows its
// view in all the height the closed bars leave. Opening another item slides the
// bars to their places (driven by a main-thread timer).

#include <QDateTime>
#include <QElapsedTimer>
#include <QList>
#include <QPointer>
#include <QString>
#include <QTimer>
#include <QWidget>
#include <functional>
#include <optional>

class KELAccordionItem {
public:
    KELAccordionItem(QWidget* view, QString title) : m_view(view), m_title(std::move(title)) { }
    QWidget* view() const { return m_view; }
    const QString& title() const { return m_title; }

private:
    QPointer<QWidget> m_view;
    QString m_title;
};

/// One bar's running slide of its lower edge, in top-down coordinates.
class KELAccordionSubviewAnimation {
public:
    KELAccordionSubviewAnimation(double startY, double targetY, double startTime)
        : m_startY(startY), m_targetY(targetY), m_startTime(startTime) { }
    static constexpr double Duration = 0.5;
    /// The position at a time (seconds); marks the slide complete at or after its end.
    double currentY(double now);
    bool complete() const { return m_complete; }
    double targetY() const { return m_targetY; }
    /// The eased share of the way at t seconds: sin(pi t), 1 from 0.5 s on.
    static double progress(double t);

private:
    double m_startY, m_targetY, m_startTime;
    bool m_complete = false;
};

class KELAccordionSubview;

class KELAccordionView : public QWidget {
    Q_OBJECT
public:
    static constexpr int TitleBarHeight = 20;
    /// The height an accordion of the form starts with.
    static constexpr int DefaultHeight = 400;
    explicit KELAccordionView(QWidget* parent = nullptr);
    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;
    ~KELAccordionView() override;

    void addItem(const KELAccordionItem& item);
    int count() const { return int(m_bars.size()); }
    int selectedIndex() const { return m_selectedIndex; }
    /// Opens an item (slides); an index that names no item is ignored.
    void setSelectedIndex(int index);
    /// Places the bars (sliding when animated).
    void layoutSubviews(bool animated);
    /// Where each bar ends up: (y, height) from the top, for the open index.
    static QList<QPair<int, int>> targetFrames(int count, int selected, int height);
    bool isAnimating() const { return m_timer.isActive(); }
    /// One animation step at a time in seconds (tests drive it with their own clock).
    bool continueAnimation(double now);
    /// The clock the slides read (seconds); tests may replace it.
    void setClock(std::function<double()> clock) { m_clock = std::move(clock); }
    KELAccordionSubview* bar(int index) const { return m_bars.value(index); }

protected:
    void resizeEvent(QResizeEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    double now() const;
    int tallestItemHeight(bool minimum) const;
    QList<KELAccordionSubview*> m_bars;
    int m_selectedIndex = 0;
    QTimer m_timer;
    QElapsedTimer m_elapsed;
    std::function<double()> m_clock;
};

class KELAccordionSubview : public QWidget {
    Q_OBJECT
public:
    KELAccordionSubview(const KELAccordionItem& item, QWidget* parent);
    const KELAccordionItem& item() const { return m_item; }
    bool selected() const { return m_selected; }
    void setSelected(bool on);
    /// Places the bar at once, dropping a running slide.
    void setBarGeometry(const QRect& rect);
    void setFrameAnimated(const QRect& target, double startTime);
    /// One step; the bar's top stays glued to topY. True while still moving.
    bool continueAnimation(double now, int topY);
    bool hasAnimation() const { return m_animation.has_value(); }
    QWidget* contentView() const { return m_contentView; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void applyGeometry(const QRect& rect);
    KELAccordionItem m_item;
    QWidget* m_contentView;
    std::optional<KELAccordionSubviewAnimation> m_animation;
    bool m_selected = false;
};
