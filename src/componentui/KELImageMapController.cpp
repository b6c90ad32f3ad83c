#include "componentui/KELImageMapController.h"

#include "componentui/KELImageMapPolygon.h"
#include "componentui/KELIndexedVariableController.h"
#include "support/ColorAdditions.h"
#include "support/InterfaceHelpers.h"

#include <QScrollArea>

namespace {

/// One value of a region's shape: the editor that holds it, the key and the value.
struct GeometryValue {
    std::weak_ptr<kit::KeyValueObject> editor;
    QString keyPath;
    QVariant value;
};

QList<GeometryValue> regionGeometry(KELVariableController& region)
{
    QList<GeometryValue> values;
    for (const char* key : { "rectX1", "rectY1", "rectX2", "rectY2", "circleX", "circleY", "circleRadius" }) {
        const QString keyPath = QString::fromLatin1(key) + QStringLiteral(".value");
        values.append({ region.shared_from_this(), keyPath, region.valueForKeyPath(keyPath) });
    }
    if (auto* vertices = dynamic_cast<KELIndexedVariableController*>(kit::KeyValueObject::toObject(region.value(QStringLiteral("vertices"))).get())) {
        for (qsizetype i = 0; i < vertices->count(); ++i) {
            const kit::KeyValueObjectPtr vertex = kit::KeyValueObject::toObject(vertices->objectAtIndex(i));
            for (const QString& keyPath : { QStringLiteral("x.value"), QStringLiteral("y.value") }) {
                if (vertex)
                    values.append({ vertex, keyPath, vertex->valueForKeyPath(keyPath) });
            }
        }
    }
    return values;
}

} // namespace

void KELImageMapGeometryUndoAction::registerUndoOperations(KELComponentUndoManager& manager, const QString& keyPath, KELVariableController& controller)
{
    const QList<GeometryValue> before = regionGeometry(controller);
    const std::weak_ptr<kit::KeyValueObject> weakRegion = controller.shared_from_this();
    const QPointer<KELComponentUndoManager> weakManager(&manager);
    const QString name = actionName();
    const bool group = groupConsecutiveUndos();
    manager.registerUndo([weakRegion, weakManager, keyPath, name, group, before] {
        auto region = std::dynamic_pointer_cast<KELVariableController>(weakRegion.lock());
        if (!region || !weakManager)
            return;
        // The way back again, with the shape as it is now.
        auto again = std::make_shared<KELImageMapGeometryUndoAction>();
        again->setActionName(name);
        again->setGroupConsecutiveUndos(group);
        weakManager->registerUndoForKeyPath(keyPath, *region, again);
        for (const GeometryValue& v : before) {
            if (const kit::KeyValueObjectPtr editor = v.editor.lock())
                editor->setValueForKeyPath(v.keyPath, v.value);
        }
    });
}

KELImageMapController::KELImageMapController(const std::shared_ptr<KELComponent>& component) : KELComponentController(component) { }

KELImageMapController::~KELImageMapController()
{
    if (m_regionsToken && rootController())
        rootController()->removeObserver(m_regionsToken);
    stopObservingRegions();
    if (m_imageMapView)
        m_imageMapView->setRootController(nullptr);
}

KELComponentController* KELImageMapController::openImageMapWindow(const std::shared_ptr<KELComponent>& component)
{
    if (!component)
        return nullptr;
    auto* controller = new KELImageMapController(component);
    if (!controller->setUpWindow()) {
        delete controller;
        return nullptr;
    }
    controller->showWindow();
    return controller;
}

void KELImageMapController::registerImageMapWindow()
{
    registerControllerForComponentName(ImageMapComponentName, &KELImageMapController::openImageMapWindow);
}

QWidget* KELImageMapController::makePreviewWidget()
{
    // No web view on this side: the canvas in a centring scroll area on the image background.
    auto* scrollView = new KELCenteredClipView;
    scrollView->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    scrollView->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    scrollView->setFrameShape(QFrame::NoFrame);
    QPalette palette = scrollView->viewport()->palette();
    palette.setColor(QPalette::Window, imageBackgroundColor());
    scrollView->viewport()->setPalette(palette);
    scrollView->viewport()->setAutoFillBackground(true);
    auto* canvas = new KELImageMapView;
    canvas->setUndoRegistration([this](const kit::KeyValueObjectPtr& object, const QString& keyPath, const QString& name, bool group) {
        registerShapeUndo(object, keyPath, name, group);
    });
    scrollView->setWidget(canvas);
    m_imageMapScrollView = scrollView;
    m_imageMapView = canvas;
    return scrollView;
}

bool KELImageMapController::setUpWindow()
{
    if (!KELComponentController::setUpWindow())
        return false;
    // Bringing every polygon to its vertex count at opening is no edit of the user's.
    observeRegions(true);
    if (KELComponentUndoManager* manager = undoManager())
        manager->removeAllActions();
    if (window())
        window()->setWindowModified(false);
    m_regionsToken = rootController()->addObserver(QStringLiteral("regions.variableControllers"), [this](const kit::KeyValueChange& change) {
        if (change.kind != kit::KeyValueChange::Setting)
            observeRegions(true);
    });
    if (m_imageMapView) {
        m_imageMapView->setRootController(rootController());
        m_imageMapView->updateImageMap();
    }
    return true;
}

void KELImageMapController::observeRegions(bool updateNewRegions)
{
    QHash<const kit::KeyValueObject*, ObservedRegion> kept;
    QList<kit::KeyValueObjectPtr> added;
    const QVariantList regions = rootController()->valueForKeyPath(QStringLiteral("regions.variableControllers")).toList();
    for (const QVariant& item : regions) {
        const kit::KeyValueObjectPtr region = kit::KeyValueObject::toObject(item);
        if (!region || kept.contains(region.get()))
            continue;
        if (m_observedRegions.contains(region.get())) {
            kept.insert(region.get(), m_observedRegions.take(region.get()));
            continue;
        }
        const std::weak_ptr<kit::KeyValueObject> weak = region;
        const int token = region->addObserver(QStringLiteral("vertexCount.count"), [this, weak](const kit::KeyValueChange&) {
            if (const kit::KeyValueObjectPtr r = weak.lock())
                updatePolygonVertices(r);
        });
        kept.insert(region.get(), ObservedRegion { region, token });
        added.append(region);
    }
    // Those no longer in the table.
    stopObservingRegions();
    m_observedRegions = kept;
    if (updateNewRegions) {
        for (const kit::KeyValueObjectPtr& region : added)
            updatePolygonVertices(region);
    }
}

void KELImageMapController::stopObservingRegions()
{
    for (const ObservedRegion& observed : std::as_const(m_observedRegions)) {
        if (const kit::KeyValueObjectPtr region = observed.region.lock())
            region->removeObserver(observed.token);
    }
    m_observedRegions.clear();
}

void KELImageMapController::updatePolygonVertices(const kit::KeyValueObjectPtr& region)
{
    // The vertex list follows the same count; bring it up to date first so that
    // new corners have editors to go into.
    if (region) {
        if (auto* vertices = dynamic_cast<KELIndexedVariableController*>(kit::KeyValueObject::toObject(region->value(QStringLiteral("vertices"))).get()))
            vertices->updateCount();
    }
    if (!region)
        return;
    const qint64 known = m_vertexCounts.value(region.get(), -1);
    KELImageMapPolygon::updatePolygonVertices(
        region,
        [this](const kit::KeyValueObjectPtr& object, const QString& keyPath, const QString& name, bool group) {
            registerShapeUndo(object, keyPath, name, group);
        },
        known);
    m_vertexCounts.insert(region.get(), KELExpression::integerValue(region->valueForKeyPath(QStringLiteral("vertexCount.count"))));
}

void KELImageMapController::registerShapeUndo(const kit::KeyValueObjectPtr& object, const QString& keyPath, const QString& actionName, bool group)
{
    auto* controller = dynamic_cast<KELVariableController*>(object.get());
    KELComponentUndoManager* manager = undoManager();
    if (!controller || !manager)
        return;
    // Moves and resizes bring back the region's whole shape: in a merged run (a
    // drag, a row of arrow keys) a value may first change after the run's first
    // event, when no step of its own is recorded any more.
    const bool geometry = keyPath == QLatin1String("location") || keyPath.startsWith(QLatin1String("size."));
    const std::shared_ptr<KELComponentUndoAction> action
        = geometry ? std::make_shared<KELImageMapGeometryUndoAction>() : KELComponentUndoAction::undoAction();
    action->setActionName(actionName);
    action->setGroupConsecutiveUndos(group);
    manager->registerUndoForKeyPath(keyPath, *controller, action);
}

void KELImageMapController::updatePreviewAndSourceView()
{
    if (sourceViewIsSelected()) {
        KELComponentController::updatePreviewAndSourceView();
        return;
    }
    if (m_imageMapView) {
        m_imageMapView->updateImageMap();
        m_imageMapView->update();
    }
}
