#include "componentui/KELImageMapView.h"

#include "components/KELExpression.h"
#include "kit/AccessibleItems.h"
#include "kit/Types.h"

#include <QGuiApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QPainter>
#include <QScrollArea>
#include <QScrollBar>
#include <QTimer>
#include <cmath>

namespace {

qint64 indexValue(const QVariant& value)
{
    if (!value.isValid())
        return -1;
    const qint64 index = KELExpression::integerValue(value);
    return index < 0 || index == qint64(kit::NotFound) ? -1 : index;
}

qint64 itemCount(const kit::KeyValueObjectPtr& indexedController)
{
    if (!indexedController)
        return 0;
    if (const auto* indexed = dynamic_cast<const KELExpressionIndexed*>(indexedController.get()))
        return indexed->count();
    return indexedController->value(QStringLiteral("variableControllers")).toList().size();
}

} // namespace

KELImageMapView::KELImageMapView(QWidget* parent) : QWidget(parent), m_bounds(0, 0, 100, 100)
{
    setGeometry(0, 0, 100, 100);
    setFocusPolicy(Qt::StrongFocus);
    m_autoscrollTimer = new QTimer(this);
    m_autoscrollTimer->setInterval(AutoscrollInterval);
    connect(m_autoscrollTimer, &QTimer::timeout, this, &KELImageMapView::autoscrollFromTimer);
    static const bool accessible = [] {
        kit::AccessibleItemsDescription d;
        d.role = QAccessible::Graphic;
        d.name = [](QWidget*) { return tr("Image map"); };
        d.items = [](QWidget* w) { return static_cast<KELImageMapView*>(w)->accessibleRegions(); };
        kit::registerAccessibleItems(staticMetaObject.className(), std::move(d));
        return true;
    }();
    Q_UNUSED(accessible);
}

QList<kit::AccessibleItem> KELImageMapView::accessibleRegions()
{
    // Each region by its shape and link, its text alternative as the description.
    QList<kit::AccessibleItem> items;
    for (size_t i = 0; i < m_shapes.size(); ++i) {
        const KELImageMapShape* shape = m_shapes[i].get();
        if (!shape)
            continue;
        const kit::KeyValueObjectPtr& region = shape->shapeController();
        auto text = [&region](const char* keyPath) {
            return KELExpression::stringValue(region->valueForKeyPath(QString::fromLatin1(keyPath))).trimmed();
        };
        const QString kind = text("shape.value");
        QString name = kind == QLatin1String("circle")    ? tr("Circle")
                       : kind == QLatin1String("polygon") ? tr("Polygon")
                                                          : tr("Rectangle");
        const QString link = text("href.value");
        name = link.isEmpty() ? tr("%1, no link").arg(name) : tr("%1, link %2").arg(name, link);
        kit::AccessibleItem item;
        item.role = QAccessible::ListItem;
        item.name = name;
        item.description = text("regionAlt.value");
        const QRectF bounds = shape->bounds();
        item.rect = QRectF(widgetPointForCanvasPoint(bounds.topLeft()), bounds.size()).toAlignedRect();
        item.state.selectable = true;
        item.state.selected = shape->selected();
        item.state.focused = shape->selected() && hasFocus();
        const qint64 index = qint64(i);
        item.press = [this, index] {
            if (const kit::KeyValueObjectPtr table = tableController())
                table->setValue(QStringLiteral("selectedIndex"), qlonglong(index));
        };
        items.append(item);
    }
    return items;
}

KELImageMapView::~KELImageMapView()
{
    cancelConnection();
    setRootController(nullptr);
    m_autoscrollTimer->stop();
}

void KELImageMapView::setRootController(const kit::KeyValueObjectPtr& rootController)
{
    if (rootController == m_rootController)
        return;
    if (m_rootController && m_selectionObservation)
        m_rootController->removeObserver(m_selectionObservation);
    m_selectionObservation = 0;
    m_rootController = rootController;
    if (!m_rootController)
        return;
    m_selectionObservation = m_rootController->addObserver(
        QStringLiteral("regions.selectedIndex"), [this](const kit::KeyValueChange&) { selectedIndexChanged(); });
    m_selectedShape = indexValue(m_rootController->valueForKeyPath(QStringLiteral("regions.selectedIndex")));
}

void KELImageMapView::setUndoRegistration(KELImageMapShape::UndoRegistration registration)
{
    m_undoRegistration = std::move(registration);
    for (const auto& shape : m_shapes) {
        if (shape)
            shape->setUndoRegistration(m_undoRegistration);
    }
}

kit::KeyValueObjectPtr KELImageMapView::tableController() const
{
    return m_rootController ? kit::KeyValueObject::toObject(m_rootController->value(QStringLiteral("regions"))) : nullptr;
}

kit::KeyValueObjectPtr KELImageMapView::imageController() const
{
    return m_rootController ? kit::KeyValueObject::toObject(m_rootController->value(QStringLiteral("image"))) : nullptr;
}

KELImageMapShape* KELImageMapView::shapeAt(qint64 index) const
{
    return index >= 0 && index < qint64(m_shapes.size()) ? m_shapes[size_t(index)].get() : nullptr;
}

QScrollArea* KELImageMapView::scrollArea() const
{
    QWidget* clip = parentWidget();
    auto* area = clip ? qobject_cast<QScrollArea*>(clip->parentWidget()) : nullptr;
    return area && area->widget() == this ? area : nullptr;
}

// --- Building from the regions

void KELImageMapView::updateImageMap()
{
    // A drag or key move in progress keeps its shapes; the next update after it rebuilds.
    if (m_activeShape)
        return;
    m_shapes.clear();
    const kit::KeyValueObjectPtr table = tableController();
    const qint64 count = m_rootController ? KELExpression::integerValue(m_rootController->valueForKeyPath(QStringLiteral("regionCount.count"))) : 0;
    // The table may not have caught up with the count yet; past its end there is nothing to draw.
    const qint64 n = std::min(count, itemCount(table));
    for (qint64 i = 0; i < n; ++i) {
        std::unique_ptr<KELImageMapShape> shape = KELImageMapShape::shapeWithShapeController(imageMapItemAtIndex(table, i));
        if (shape)
            shape->setUndoRegistration(m_undoRegistration);
        m_shapes.push_back(std::move(shape));
    }
    KELImageMapShape* selected = shapeAt(m_selectedShape);
    if (selected)
        selected->setSelected(true);
    updateFrameAndBounds();
    if (selected && table && m_selectedShape != indexValue(table->value(QStringLiteral("selectedIndex"))))
        scrollCanvasRectToVisible(selected->bounds());
    const kit::KeyValueObjectPtr image = imageController();
    setImageURL(image ? image->value(QStringLiteral("fileUrl")).toUrl() : QUrl());
    update();
}

void KELImageMapView::updateFrameAndBounds()
{
    const kit::KeyValueObjectPtr image = imageController();
    const qreal width = image ? qreal(KELExpression::integerValue(image->value(QStringLiteral("width")))) : 0;
    const qreal height = image ? qreal(KELExpression::integerValue(image->value(QStringLiteral("height")))) : 0;
    const QRectF imageRect = QRectF(0, 0, width, height).adjusted(-Margin, -Margin, Margin, Margin);
    QRectF r = imageRect;
    for (const auto& shape : m_shapes) {
        const QRectF b = shape ? shape->bounds() : QRectF();
        if (!b.isNull())
            r |= b.adjusted(-Margin, -Margin, Margin, Margin);
    }
    // Spare room in the clip view balances the margins around the image, so that
    // the centring clip view shows the image in the middle.
    if (QScrollArea* area = scrollArea()) {
        const QSize clip = area->viewport()->size();
        if (qreal(clip.width()) > r.width()) {
            const qreal d = std::trunc((imageRect.left() - r.left()) - (r.right() - imageRect.right()));
            const qreal e = std::trunc(qreal(clip.width()) - r.width());
            if (d < 1)
                r.setLeft(r.left() - std::min(e, -d));
            else
                r.setRight(r.right() + std::min(e, d));
        }
        if (qreal(clip.height()) > r.height()) {
            const qreal d = std::trunc((imageRect.top() - r.top()) - (r.bottom() - imageRect.bottom()));
            const qreal e = std::trunc(qreal(clip.height()) - r.height());
            if (d < 1)
                r.setTop(r.top() - std::min(e, -d));
            else
                r.setBottom(r.bottom() + std::min(e, d));
        }
    }
    m_bounds = r;
    resize(QSize(int(std::ceil(std::min<qreal>(r.width(), QWIDGETSIZE_MAX))), int(std::ceil(std::min<qreal>(r.height(), QWIDGETSIZE_MAX)))));
}

// --- Drawing

void KELImageMapView::paintEvent(QPaintEvent* event)
{
    QPainter painter(this);
    painter.translate(-m_bounds.topLeft());
    const QRectF exposed = QRectF(event->rect()).translated(m_bounds.topLeft());
    const kit::KeyValueObjectPtr imageEditor = imageController();
    const QRectF imageRect(0, 0, imageEditor ? qreal(KELExpression::integerValue(imageEditor->value(QStringLiteral("width")))) : 0,
        imageEditor ? qreal(KELExpression::integerValue(imageEditor->value(QStringLiteral("height")))) : 0);
    painter.fillRect(imageRect, Qt::white);
    if (!m_image.isNull())
        painter.drawImage(imageRect, m_image);
    const bool focus = hasFocus();
    for (qint64 i = 0; i < qint64(m_shapes.size()); ++i) {
        if (i == m_selectedShape || !m_shapes[size_t(i)])
            continue;
        m_shapes[size_t(i)]->setFirstResponder(focus);
        m_shapes[size_t(i)]->drawShape(painter, exposed);
    }
    // The selected shape on top, so that its handles show.
    if (KELImageMapShape* selected = shapeAt(m_selectedShape)) {
        selected->setFirstResponder(focus);
        selected->drawShape(painter, exposed);
    }
}

// --- Mouse

void KELImageMapView::mousePressEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton) {
        QWidget::mousePressEvent(event);
        return;
    }
    const QPointF p = canvasPointForWidgetPoint(event->position());
    m_activeShape = nullptr;
    // The selected shape has the first chance, so its handles stay usable under others.
    if (KELImageMapShape* selected = shapeAt(m_selectedShape)) {
        if (selected->shapeContainsPoint(p) || selected->resizeHandleContainsPoint(p))
            m_activeShape = selected;
        else
            selected->setSelected(false);
    }
    if (!m_activeShape) {
        for (qint64 i = qint64(m_shapes.size()) - 1; i >= 0; --i) {
            KELImageMapShape* shape = m_shapes[size_t(i)].get();
            if (i == m_selectedShape || !shape || !shape->shapeContainsPoint(p))
                continue;
            m_activeShape = shape;
            shape->setSelected(true);
            m_selectedShape = i;
            break;
        }
    }
    if (!m_activeShape)
        m_selectedShape = -1;
    if (m_activeShape)
        m_activeShape->handleMouseDown(p);
    m_lastDragPoint = p;
    // The form follows the canvas; a click on empty canvas leaves the table's selection alone.
    if (m_selectedShape != -1) {
        if (const kit::KeyValueObjectPtr table = tableController())
            table->setValue(QStringLiteral("selectedIndex"), qlonglong(m_selectedShape));
        kit::notifyAccessibleItem(this, accessibleIndexOfShape(m_selectedShape), QAccessible::Selection);
    }
    update();
    if (m_activeShape) {
        m_lastGlobalMousePosition = event->globalPosition().toPoint();
        m_autoscrollTimer->start();
    }
}

void KELImageMapView::mouseMoveEvent(QMouseEvent* event)
{
    if (!m_activeShape) {
        QWidget::mouseMoveEvent(event);
        return;
    }
    m_lastGlobalMousePosition = event->globalPosition().toPoint();
    dragTo(m_lastGlobalMousePosition);
    autoscrollTo(mapFromGlobal(m_lastGlobalMousePosition));
}

void KELImageMapView::dragTo(const QPoint& globalPoint)
{
    if (!m_activeShape)
        return;
    m_lastDragPoint = canvasPointForWidgetPoint(mapFromGlobal(globalPoint));
    m_activeShape->handleMouseDragged(m_lastDragPoint);
    updateFrameAndBounds();
    update();
}

void KELImageMapView::autoscrollFromTimer()
{
    if (!m_activeShape) {
        m_autoscrollTimer->stop();
        return;
    }
    // The mouse may rest outside the view while it scrolls: the point under it moves
    // on. A mouse at rest over a view at rest changes nothing.
    if (QGuiApplication::mouseButtons() & Qt::LeftButton)
        autoscrollTo(mapFromGlobal(m_lastGlobalMousePosition));
    if (canvasPointForWidgetPoint(mapFromGlobal(m_lastGlobalMousePosition)) != m_lastDragPoint)
        dragTo(m_lastGlobalMousePosition);
}

void KELImageMapView::autoscrollTo(const QPoint& widgetPoint)
{
    if (QScrollArea* area = scrollArea())
        area->ensureVisible(widgetPoint.x(), widgetPoint.y(), 0, 0);
}

void KELImageMapView::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton) {
        QWidget::mouseReleaseEvent(event);
        return;
    }
    if (!m_activeShape)
        return;
    m_autoscrollTimer->stop();
    m_activeShape->handleMouseUp(canvasPointForWidgetPoint(event->position()));
    m_activeShape = nullptr;
    updateFrameAndBounds();
    update();
}

void KELImageMapView::stopDragging()
{
    m_autoscrollTimer->stop();
    m_activeShape = nullptr;
}

// --- Keys

void KELImageMapView::moveBy(qreal dx, qreal dy)
{
    KELImageMapShape* selected = shapeAt(m_selectedShape);
    if (!selected)
        return;
    m_activeShape = selected;
    selected->moveShapeToLocation(selected->shapeLocation() + QPointF(dx, dy));
    updateFrameAndBounds();
    update();
    m_activeShape = nullptr;
}

void KELImageMapView::keyPressEvent(QKeyEvent* event)
{
    switch (event->key()) {
    case Qt::Key_Up:
        moveUp();
        break;
    case Qt::Key_Down:
        moveDown();
        break;
    case Qt::Key_Left:
        moveLeft();
        break;
    case Qt::Key_Right:
        moveRight();
        break;
    default:
        QWidget::keyPressEvent(event);
    }
}

void KELImageMapView::focusInEvent(QFocusEvent* event)
{
    QWidget::focusInEvent(event);
    update();
}

void KELImageMapView::focusOutEvent(QFocusEvent* event)
{
    QWidget::focusOutEvent(event);
    update();
}

// --- Selection from the table

void KELImageMapView::selectedIndexChanged()
{
    const kit::KeyValueObjectPtr table = tableController();
    const qint64 index = table ? indexValue(table->value(QStringLiteral("selectedIndex"))) : -1;
    if (index == m_selectedShape)
        return;
    if (KELImageMapShape* old = shapeAt(m_selectedShape))
        old->setSelected(false);
    if (KELImageMapShape* shape = shapeAt(index)) {
        shape->setSelected(true);
        scrollCanvasRectToVisible(shape->bounds());
    }
    m_selectedShape = index;
    update();
    if (index >= 0) {
        const int child = accessibleIndexOfShape(index);
        kit::notifyAccessibleItem(this, child, QAccessible::Selection);
        if (hasFocus())
            kit::notifyAccessibleItem(this, child, QAccessible::Focus);
    }
}

int KELImageMapView::accessibleIndexOfShape(qint64 index) const
{
    // Regions without a shape are not listed.
    int child = 0;
    for (qint64 i = 0; i < index && size_t(i) < m_shapes.size(); ++i)
        child += m_shapes[size_t(i)] ? 1 : 0;
    return child;
}

void KELImageMapView::scrollCanvasRectToVisible(const QRectF& rect)
{
    QScrollArea* area = scrollArea();
    if (!area || rect.isNull())
        return;
    const QRectF r = rect.translated(-m_bounds.topLeft());
    const QPointF c = r.center();
    area->ensureVisible(int(c.x()), int(c.y()), int(r.width() / 2) + 1, int(r.height() / 2) + 1);
}

// --- The clip view and the window

bool KELImageMapView::event(QEvent* event)
{
    if (event->type() == QEvent::ParentChange || event->type() == QEvent::Show)
        watchClipView();
    return QWidget::event(event);
}

void KELImageMapView::watchClipView()
{
    QWidget* clip = scrollArea() ? parentWidget() : nullptr;
    if (clip != m_watchedClipView) {
        if (m_watchedClipView)
            m_watchedClipView->removeEventFilter(this);
        m_watchedClipView = clip;
        if (clip)
            clip->installEventFilter(this);
    }
    QWidget* top = window() != this ? window() : nullptr;
    if (top != m_watchedWindow) {
        if (m_watchedWindow)
            m_watchedWindow->removeEventFilter(this);
        m_watchedWindow = top;
        if (top)
            top->installEventFilter(this);
    }
}

bool KELImageMapView::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_watchedClipView && event->type() == QEvent::Resize)
        updateFrameAndBounds();
    else if (watched == m_watchedWindow && event->type() == QEvent::Close)
        stopDragging();
    return QWidget::eventFilter(watched, event);
}

// --- The image

void KELImageMapView::setImageURL(const QUrl& url)
{
    if (url == m_imageURL)
        return;
    cancelConnection();
    m_imageURL = url;
    m_image = QImage();
    update();
    if (url.isEmpty())
        return;
    if (url.isLocalFile())
        setImage(QImage(url.toLocalFile())); // not an image: the area stays white
    else
        fetchRemoteImage();
}

void KELImageMapView::setImage(const QImage& image)
{
    if (image.cacheKey() == m_image.cacheKey())
        return;
    m_image = image;
    update();
}

void KELImageMapView::fetchRemoteImage()
{
    cancelConnection();
    if (!m_network)
        m_network = new QNetworkAccessManager(this);
    QNetworkRequest request(m_imageURL);
    request.setTransferTimeout(60000);
    QNetworkReply* reply = m_network->get(request);
    m_connection = reply;
    // A response beyond any sensible picture is dropped rather than buffered.
    connect(reply, &QNetworkReply::downloadProgress, this, [reply](qint64 received, qint64 total) {
        if (received > MaximumImageDownload || total > MaximumImageDownload)
            reply->abort();
    });
    connect(reply, &QNetworkReply::finished, this, [this, reply]() {
        if (reply != m_connection)
            return;
        if (reply->error() == QNetworkReply::NoError) {
            const QImage image = QImage::fromData(reply->readAll());
            if (!image.isNull())
                setImage(image);
        }
        cancelConnection();
    });
}

void KELImageMapView::cancelConnection()
{
    if (QNetworkReply* reply = m_connection) {
        m_connection = nullptr;
        reply->disconnect(this);
        reply->abort();
        reply->deleteLater();
    }
}
