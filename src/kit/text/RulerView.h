#pragma once
// Base of the vertical ruler beside a ScrollView's document view.

#include <QPointer>
#include <QWidget>

namespace kit {

class ScrollView;
class TextView;

class RulerView : public QWidget {
    Q_OBJECT
public:
    explicit RulerView(ScrollView* scrollView = nullptr, QWidget* parent = nullptr);
    ~RulerView() override;

    ScrollView* scrollView() const { return m_scrollView; }
    TextView* clientView() const { return m_clientView; }
    void setClientView(TextView* view);

    qreal ruleThickness() const { return m_ruleThickness; }
    /// The new thickness takes effect on the next turn of the event loop.
    void setRuleThickness(qreal thickness);
    qreal reservedThicknessForMarkers() const { return m_reserved; }
    void setReservedThicknessForMarkers(qreal thickness);
    qreal requiredThickness() const { return m_ruleThickness + m_reserved; }

    /// y of a text-container y in ruler coordinates.
    qreal rulerYForContainerY(qreal y) const;

protected:
    void paintEvent(QPaintEvent* event) override;
    /// Draws the ruler's contents; rect in ruler coordinates.
    virtual void drawHashMarksAndLabels(QPainter* painter, const QRect& rect);
    virtual void drawBackground(QPainter* painter, const QRect& rect);

private:
    friend class ScrollView;
    QPointer<ScrollView> m_scrollView;
    QPointer<TextView> m_clientView;
    qreal m_ruleThickness = 16;
    qreal m_reserved = 0;
    bool m_tilePending = false;
};

} // namespace kit
