#pragma once
// A scroll area whose viewport is a document view (a TextView), with a vertical ruler slot.

#include <QAbstractScrollArea>
#include <QPointer>
#include "kit/text/RulerView.h"
#include "kit/text/TextView.h"

namespace kit {




class ScrollView : public QAbstractScrollArea {
    Q_OBJECT
public:
    explicit ScrollView(QWidget* parent = nullptr);
    ~ScrollView() override;

    /// Makes view the document view (it becomes the viewport).
    void setDocumentView(TextView* view);
    TextView* documentView() const { return m_document; }
    /// Visible part of the document view in its own coordinates.
    QRectF documentVisibleRect() const;

    void setVerticalRulerView(RulerView* ruler);
    RulerView* verticalRulerView() const { return m_ruler; }
    void setHasVerticalRuler(bool on);
    bool hasVerticalRuler() const { return m_hasRuler; }
    void setRulersVisible(bool on);
    bool rulersVisible() const { return m_rulersVisible; }
    void setHasHorizontalScroller(bool on);
    /// Places the ruler and the document view.
    void tile();
    void updateScrollBars();
    void scrollToPoint(const QPointF& documentPoint);

Q_SIGNALS:
    /// The visible part of the document moved or changed size.
    void boundsChanged();

protected:
    bool viewportEvent(QEvent* event) override;
    void scrollContentsBy(int dx, int dy) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    QPointer<TextView> m_document;
    QPointer<RulerView> m_ruler;
    bool m_hasRuler = false;
    bool m_rulersVisible = false;
    bool m_hasHorizontal = true;
};

} // namespace kit
