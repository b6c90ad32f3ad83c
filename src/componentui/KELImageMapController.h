#pragma once
// The window of the "Image Map" component: a component window whose preview side
// is the image-map canvas instead of a web page. Form, undo, Insert and the source
// view are those of every component window; the canvas writes its edits into the
// same region variables.

#include "componentui/KELComponentController.h"
#include "componentui/KELImageMapView.h"

#include <QHash>
#include <QPointer>
#include <memory>

class QScrollArea;

/// The undo step of a canvas move or resize: it brings the region's whole shape
/// back as it was when the step began.
class KELImageMapGeometryUndoAction : public KELComponentUndoAction {
public:
    void registerUndoOperations(KELComponentUndoManager& manager, const QString& keyPath, KELVariableController& controller) override;
};

class KELImageMapController : public KELComponentController {
    Q_OBJECT
public:
    static inline const QString ImageMapComponentName = QStringLiteral("Image Map");

    /// Opens the image-map window for the component and shows it; null when the
    /// component gives no editors.
    static KELComponentController* openImageMapWindow(const std::shared_ptr<KELComponent>& component);
    /// Makes every opening of the "Image Map" component (menu, library) use this window.
    static void registerImageMapWindow();

    ~KELImageMapController() override;

    QScrollArea* imageMapScrollView() const { return m_imageMapScrollView; }
    KELImageMapView* imageMapView() const { return m_imageMapView; }

    void updatePreviewAndSourceView() override;
    /// Keeps the region's polygon at its vertex count with usable corners (one undo step).
    void updatePolygonVertices(const kit::KeyValueObjectPtr& region);

protected:
    explicit KELImageMapController(const std::shared_ptr<KELComponent>& component);
    bool setUpWindow() override;
    QWidget* makePreviewWidget() override;

private:
    /// Region editors come and go with the table: each is watched for its vertex count.
    void observeRegions(bool updateNewRegions);
    void stopObservingRegions();
    void registerShapeUndo(const kit::KeyValueObjectPtr& object, const QString& keyPath, const QString& actionName, bool group);

    QPointer<QScrollArea> m_imageMapScrollView;
    QPointer<KELImageMapView> m_imageMapView;
    struct ObservedRegion {
        std::weak_ptr<kit::KeyValueObject> region;
        int token = 0;
    };
    QHash<const kit::KeyValueObject*, ObservedRegion> m_observedRegions;
    int m_regionsToken = 0;
    /// The vertex count each region was last brought to.
    QHash<const kit::KeyValueObject*, qint64> m_vertexCounts;
};
