#pragma once
// The library's cover flow: every component as a picture in a row, the selected
// one facing the viewer, the others turned towards it with darkened reflections.

#include "componentui/KELComponentLibraryView.h"
#include "componentui/KELCoverFlowImageLayout.h"
#include "componentui/SFScrollerLayer.h"

#include <QDateTime>
#include <QHash>
#include <QImage>
#include <QPointer>
#include <QTransform>
#include <QWidget>

class KELComponentLibrarySelectButton;
class KELCoverFlowImage;
class KELCoverFlowImageLoader;
class QVariantAnimation;

class KELCoverFlowView : public QWidget, public KELComponentView, public SFScrollerContent {
    Q_OBJECT
public:
    static constexpr qint64 NotFound = -1;
    static constexpr double CellSize = 160;
    static constexpr double Spacing = 5;
    static constexpr double Perspective = 420;

    explicit KELCoverFlowView(QWidget* parent = nullptr);
    ~KELCoverFlowView() override;

    /// The loader of the pictures (the shared one unless set).
    void setImageLoader(KELCoverFlowImageLoader* loader) { m_loader = loader; }

    // KELComponentView
    void reloadComponents() override;
    std::shared_ptr<KELComponent> selectedComponent() const override;
    QWidget* componentSelectionView() override { return this; }
    QWidget* viewWidget() override { return this; }

    // SFScrollerContent, in units where the whole list is 1.
    double contentWidth() const override { return 1.0; }
    double visibleWidth() const override;
    double stepSize() const override;
    void moveScrollView(double distance) override;
    void scrollToPosition(double fraction) override;

    void moveSelection(qint64 delta);
    void select();
    // Leaves full-screen mode when the view is in it, otherwise shows the view
    // alone, full screen, on the screen of its window.
    void fullScreenAction();
    bool isInFullScreenMode() const { return m_fullScreenHost != nullptr; }
    void updateSelection();
    /// Asks for the pictures that may be visible and sweeps the rest from the queue.
    void updateImage();
    /// Selects the picture under the point (alpha at least 0.04, nearest to the
    /// selection among overlapping ones); answers whether one was hit.
    bool selectImageForPoint(QPointF point);

    qint64 selectedIndex() const { return m_selectedDesktopImageIndex; }
    qint64 totalDesktopImages() const { return m_totalDesktopImages; }
    const QList<std::shared_ptr<KELCoverFlowImage>>& desktopImages() const { return m_desktopImages; }
    /// Whether the image has its picture and reflection state (its "layers").
    bool hasLayerForDesktopImage(const KELCoverFlowImage* image) const { return m_layers.contains(image); }
    QString headerText() const { return m_headerText; }
    QString descriptionText() const { return m_descriptionText; }
    QString countText() const { return m_countText; }
    QString noSearchResultsText() const { return m_noSearchResultsText; }
    SFScrollerLayer* scroller() const { return m_scroller; }
    KELComponentLibrarySelectButton* selectButton() const { return m_selectButton; }
    QDateTime lastSearchDate() const { return m_lastSearchDate; }
    void setLastSearchDate(const QDateTime& date) { m_lastSearchDate = date; }
    QString searchString() const { return m_searchString; }
    /// Milliseconds a selection change animates for (0.6 s, 2 s with Shift).
    int animationDuration() const { return m_animationDuration; }
    bool isAnimating() const;
    /// Ends a running animation at once (pictures at their places).
    void finishAnimation();
    /// Puts the pictures where the running change has them after this much of it (0…1).
    void advanceAnimation(double t);

    /// The steps a scroll-wheel delta moves the selection by.
    static qint64 wheelSteps(double delta);
    /// Where a picture is drawn: picture coordinates (0…cell, y down) to the view's.
    QTransform pictureTransform(qint64 index) const;
    /// Renders one frame (the benchmark draws offscreen with this).
    void render(QPainter& painter);

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    struct Layer {
        KELCoverFlowPlacement from, to, current;
        QImage picture; // scaled to the cell
        QImage reflection;
        // The picture and its reflection already drawn turned to the left and to
        // the right side: most pictures only slide, so a frame copies these.
        QImage turned[2];
        QPoint turnedOffset[2];
        bool placed = false;
    };
    QPointF containerCentre(const KELCoverFlowPlacement& placement) const;
    static QTransform projection(const KELCoverFlowPlacement& placement, QPointF centre);
    void drawTurned(QPainter& painter, Layer& layer, QPointF centre);
    KELCoverFlowLayoutInput layoutInput() const;
    QRectF bodyRect() const;
    void updateDesktopImages();
    void layoutPictures(bool animated);
    void updateImageForLayer(KELCoverFlowImage* image);
    void imageDidLoad(const void* object);
    void setAnimationSpeed(Qt::KeyboardModifiers modifiers);
    void placeChildren();
    void typeAhead(const QString& characters);

    KELCoverFlowImageLoader* m_loader = nullptr;
    QList<std::shared_ptr<KELCoverFlowImage>> m_desktopImages;
    QHash<const KELCoverFlowImage*, Layer> m_layers;
    qint64 m_totalDesktopImages = 0;
    qint64 m_selectedDesktopImageIndex = 0;
    qint64 m_clickSelectedIndex = NotFound;
    double m_scrollFrom = 0, m_scrollTo = 0, m_scroll = 0;
    QString m_headerText = QStringLiteral("Loading Images...");
    QString m_descriptionText;
    QString m_countText;
    QString m_noSearchResultsText;
    SFScrollerLayer* m_scroller;
    bool m_scrollerTracking = false;
    // While full screen: the window that holds the view, and where it came from.
    QPointer<QWidget> m_fullScreenHost;
    QPointer<QWidget> m_homeParent;
    int m_homeIndex = -1;
    KELComponentLibrarySelectButton* m_selectButton;
    QString m_searchString;
    QDateTime m_lastSearchDate;
    QVariantAnimation* m_animation;
    int m_animationDuration = 600;
    double m_opacity = 1.0;
    QList<int> m_sortKeys {1, 0};
};
