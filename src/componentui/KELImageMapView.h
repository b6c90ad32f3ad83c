#pragma once
// The drawing canvas of the image-map window: the chosen image with every region
// drawn over it. Regions are selected, moved and resized with the mouse and nudged
// with the arrow keys; each change goes into the region variables through their
// editors, and the selection follows the regions table both ways. The canvas lives
// in a centring scroll area; its bounds may start left of and above the image
// (shapes outside the image), so canvas coordinates are widget coordinates plus
// the bounds' origin.

#include "componentui/KELImageMapShape.h"
#include "kit/KeyValueObject.h"

#include <QImage>
#include <QNetworkReply>
#include <QPointer>
#include <QRectF>
#include <QUrl>
#include <QWidget>
#include <memory>
#include <vector>

namespace kit {
struct AccessibleItem;
}
class QNetworkAccessManager;
class QScrollArea;
class QTimer;

class KELImageMapView : public QWidget {
    Q_OBJECT
public:
    /// Room around the image and around every shape.
    static constexpr qreal Margin = 10;
    static constexpr int AutoscrollInterval = 50; // ms
    /// A remote image larger than this is not loaded.
    static constexpr qint64 MaximumImageDownload = 64 * 1024 * 1024;

    explicit KELImageMapView(QWidget* parent = nullptr);
    ~KELImageMapView() override;

    const kit::KeyValueObjectPtr& rootController() const { return m_rootController; }
    /// Follows the root's "regions.selectedIndex" and takes it as the selection.
    void setRootController(const kit::KeyValueObjectPtr& rootController);
    /// Handed to every shape: where moves and resizes record their undo steps.
    void setUndoRegistration(KELImageMapShape::UndoRegistration registration);

    kit::KeyValueObjectPtr tableController() const;
    kit::KeyValueObjectPtr imageController() const;

    /// One entry per region, in region order; null for a region that has no shape
    /// the canvas knows (it draws nothing and is never hit).
    const std::vector<std::unique_ptr<KELImageMapShape>>& shapes() const { return m_shapes; }
    qint64 selectedShape() const { return m_selectedShape; }
    /// The canvas area in canvas coordinates.
    QRectF canvasBounds() const { return m_bounds; }
    QPointF canvasPointForWidgetPoint(const QPointF& point) const { return point + m_bounds.topLeft(); }
    QPointF widgetPointForCanvasPoint(const QPointF& point) const { return point - m_bounds.topLeft(); }
    /// Whether a drag or key move is under way (the canvas is not rebuilt then).
    bool hasActiveShape() const { return m_activeShape != nullptr; }

    /// Rebuilds the shapes from the regions, then sizes the canvas and takes the image.
    void updateImageMap();
    void updateFrameAndBounds();

    void moveBy(qreal dx, qreal dy);
    void moveUp() { moveBy(0, -1); }
    void moveDown() { moveBy(0, 1); }
    void moveLeft() { moveBy(-1, 0); }
    void moveRight() { moveBy(1, 0); }

    const QUrl& imageURL() const { return m_imageURL; }
    void setImageURL(const QUrl& url);
    const QImage& image() const { return m_image; }
    void setImage(const QImage& image);
    bool isFetchingImage() const { return m_connection != nullptr; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    bool event(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    /// What a screen reader is told the canvas shows, and where a region is among it.
    QList<kit::AccessibleItem> accessibleRegions();
    int accessibleIndexOfShape(qint64 index) const;
    KELImageMapShape* shapeAt(qint64 index) const;
    QScrollArea* scrollArea() const;
    void selectedIndexChanged();
    void scrollCanvasRectToVisible(const QRectF& rect);
    void dragTo(const QPoint& globalPoint);
    void autoscrollFromTimer();
    void autoscrollTo(const QPoint& widgetPoint);
    void stopDragging();
    void fetchRemoteImage();
    void cancelConnection();
    void watchClipView();

    kit::KeyValueObjectPtr m_rootController;
    int m_selectionObservation = 0;
    KELImageMapShape::UndoRegistration m_undoRegistration;
    std::vector<std::unique_ptr<KELImageMapShape>> m_shapes;
    qint64 m_selectedShape = -1;
    KELImageMapShape* m_activeShape = nullptr;
    QRectF m_bounds;
    QUrl m_imageURL;
    QImage m_image;
    QTimer* m_autoscrollTimer = nullptr;
    QPoint m_lastGlobalMousePosition;
    QPointF m_lastDragPoint;
    QNetworkAccessManager* m_network = nullptr;
    QPointer<QNetworkReply> m_connection;
    QPointer<QWidget> m_watchedClipView;
    QPointer<QWidget> m_watchedWindow;
};
