#include "componentui/KELCoverFlowView.h"

#include "componentui/KELComponentLibrarySelectButton.h"
#include "componentui/KELCoverFlowImage.h"
#include "componentui/KELCoverFlowImageLoader.h"
#include "kit/AccessibleItems.h"
#include "kit/NotificationCenter.h"

#include <QContextMenuEvent>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLinearGradient>
#include <QMenu>
#include <QPainter>
#include <QScreen>
#include <QStackedWidget>
#include <QVBoxLayout>
#include <QTimer>
#include <QVariantAnimation>
#include <algorithm>
#include <cmath>

namespace {
double lerp(double a, double b, double t)
{
    return a + (b - a) * t;
}
} // namespace

KELCoverFlowView::KELCoverFlowView(QWidget* parent) : QWidget(parent)
{
    setFocusPolicy(Qt::StrongFocus);
    setAttribute(Qt::WA_OpaquePaintEvent);
    setMinimumSize(400, 300);
    m_scroller = new SFScrollerLayer(this);
    m_scroller->setScrollerContent(this);
    connect(m_scroller, &SFScrollerLayer::needsDisplay, this, qOverload<>(&QWidget::update));
    m_selectButton = new KELComponentLibrarySelectButton(this);
    m_selectButton->setEnabled(false);
    connect(m_selectButton, &QAbstractButton::clicked, this, [this] { select(); });
    m_animation = new QVariantAnimation(this);
    m_animation->setStartValue(0.0);
    m_animation->setEndValue(1.0);
    m_animation->setEasingCurve(QEasingCurve::OutCubic);
    connect(m_animation, &QVariantAnimation::valueChanged, this,
            [this](const QVariant& value) { advanceAnimation(value.toDouble()); });
    kit::NotificationCenter::defaultCenter().addObserver(
        KELCoverFlowImageDidLoadNotification, nullptr,
        [this](const kit::Notification& n) { imageDidLoad(n.object); }, this);
    // Dimmed while another application is in front.
    connect(qApp, &QGuiApplication::applicationStateChanged, this, [this](Qt::ApplicationState state) {
        m_opacity = state == Qt::ApplicationActive ? 1.0 : 0.7;
        update();
    });
    static const bool accessible = [] {
        kit::AccessibleItemsDescription d;
        d.role = QAccessible::List;
        d.name = [](QWidget*) { return tr("Components"); };
        d.items = [](QWidget* w) {
            auto* view = static_cast<KELCoverFlowView*>(w);
            QList<kit::AccessibleItem> items;
            for (qint64 i = 0; i < view->m_desktopImages.size(); ++i) {
                kit::AccessibleItem item;
                item.name = view->m_desktopImages.at(i)->name();
                item.description = view->m_desktopImages.at(i)->desc().trimmed();
                item.rect = view->pictureTransform(i).mapRect(QRectF(0, 0, CellSize, CellSize)).toAlignedRect();
                item.state.selectable = true;
                item.state.focusable = true;
                item.state.selected = i == view->m_selectedDesktopImageIndex;
                item.state.focused = item.state.selected && view->hasFocus();
                item.state.offscreen = !item.rect.intersects(view->rect());
                item.press = [view, i] {
                    view->m_selectedDesktopImageIndex = i;
                    view->updateSelection();
                };
                items.append(item);
            }
            return items;
        };
        kit::registerAccessibleItems(staticMetaObject.className(), std::move(d));
        return true;
    }();
    Q_UNUSED(accessible);
}

KELCoverFlowView::~KELCoverFlowView() = default;

KELCoverFlowLayoutInput KELCoverFlowView::layoutInput() const
{
    const QRectF body = bodyRect();
    KELCoverFlowLayoutInput in;
    in.width = body.width();
    in.height = body.height();
    in.desktopImageCount = m_totalDesktopImages;
    in.selectedDesktopImage = m_selectedDesktopImageIndex;
    in.cellWidth = CellSize;
    in.cellHeight = CellSize;
    in.spacing = Spacing;
    return in;
}

QRectF KELCoverFlowView::bodyRect() const
{
    // Under the header (10 from the top, 35 high, then 10 of space), 10 in from each side.
    return QRectF(10, 55, std::max(0, width() - 20), std::max(0, height() - 55));
}

void KELCoverFlowView::placeChildren()
{
    const double w = width(), h = height();
    // Under the pictures, above the status line, 100 narrower than the view.
    m_scroller->setFrame(QRectF(50, h - 110 - 10 - 16, std::max(26.0, w - 100), 16));
    m_selectButton->move(int(w) - 75 - 60, int(h) - 50 - 30);
}

void KELCoverFlowView::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    // No animation while the size changes.
    finishAnimation();
    placeChildren();
    layoutPictures(false);
    updateImage();
}

void KELCoverFlowView::fullScreenAction()
{
    if (m_fullScreenHost) {
        QWidget* host = m_fullScreenHost;
        m_fullScreenHost = nullptr;
        if (auto* stack = qobject_cast<QStackedWidget*>(m_homeParent.data())) {
            stack->insertWidget(std::clamp(m_homeIndex, 0, int(stack->count())), this);
            stack->setCurrentWidget(this);
        } else {
            setParent(m_homeParent);
            if (m_homeParent && m_homeParent->layout())
                m_homeParent->layout()->addWidget(this);
        }
        show();
        if (QWidget* top = window()) {
            top->raise();
            top->activateWindow();
        }
        setFocus(Qt::OtherFocusReason);
        host->deleteLater();
        return;
    }
    QWidget* home = parentWidget();
    if (!home)
        return;
    QWidget* window = this->window();
    QScreen* screen = window->screen();
    m_homeParent = home;
    m_homeIndex = -1;
    if (auto* stack = qobject_cast<QStackedWidget*>(home)) {
        m_homeIndex = stack->indexOf(this);
        stack->removeWidget(this);
    }
    // The host belongs to the view's window, so it goes when that window goes.
    auto* host = new QWidget(window, Qt::Window);
    host->setObjectName(QStringLiteral("KELCoverFlowFullScreen"));
    host->setWindowTitle(window->windowTitle());
    host->setAttribute(Qt::WA_DeleteOnClose, false);
    auto* layout = new QVBoxLayout(host);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(this);
    m_fullScreenHost = host;
    // Closing the full-screen window by the window manager brings the view home.
    host->installEventFilter(this);
    if (screen)
        host->setGeometry(screen->geometry());
    host->showFullScreen();
    show();
    host->activateWindow();
    setFocus(Qt::OtherFocusReason);
}

void KELCoverFlowView::contextMenuEvent(QContextMenuEvent* event)
{
    QMenu menu(this);
    menu.addAction(isInFullScreenMode() ? QStringLiteral("Exit Full Screen") : QStringLiteral("Enter Full Screen"), this,
                   &KELCoverFlowView::fullScreenAction);
    menu.exec(event->globalPos());
}

bool KELCoverFlowView::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_fullScreenHost && event->type() == QEvent::Close) {
        event->ignore();
        QTimer::singleShot(0, this, [this] {
            if (m_fullScreenHost)
                fullScreenAction();
        });
        return true;
    }
    return QWidget::eventFilter(watched, event);
}

void KELCoverFlowView::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    placeChildren();
}

// ---------------------------------------------------------------- reload

void KELCoverFlowView::updateDesktopImages()
{
    const QList<std::shared_ptr<KELCoverFlowImage>> old = m_desktopImages;
    const std::shared_ptr<KELCoverFlowImage> oldSelected =
        m_selectedDesktopImageIndex >= 0 && m_selectedDesktopImageIndex < old.size() ? old.at(m_selectedDesktopImageIndex)
                                                                                    : nullptr;
    QList<std::shared_ptr<KELCoverFlowImage>> images;
    for (const auto& component : m_dataSource->components()) {
        if (!component)
            continue;
        auto same = std::find_if(old.begin(), old.end(), [&](const auto& image) { return image->component() == component; });
        images << (same != old.end() ? *same : std::make_shared<KELCoverFlowImage>(component));
    }
    for (const auto& image : old)
        if (!images.contains(image))
            m_layers.remove(image.get());
    std::stable_sort(images.begin(), images.end(), [this](const auto& a, const auto& b) {
        return a->compareWithDesktopImage(b.get(), m_sortKeys) < 0;
    });
    m_desktopImages = images;
    if (oldSelected) {
        // The same picture, or the first one it does not order after.
        qint64 index = images.size() - 1;
        for (qint64 i = 0; i < images.size(); ++i)
            if (oldSelected->compareWithDesktopImage(images.at(i).get(), m_sortKeys) < 1) {
                index = i;
                break;
            }
        if (images.contains(oldSelected))
            index = images.indexOf(oldSelected);
        m_selectedDesktopImageIndex = index;
    } else {
        m_selectedDesktopImageIndex = 0;
    }
    m_noSearchResultsText = images.isEmpty() ? QStringLiteral("No Search Results") : QString();
}

void KELCoverFlowView::reloadComponents()
{
    if (!m_dataSource)
        return;
    finishAnimation();
    placeChildren();
    updateDesktopImages();
    for (const auto& image : std::as_const(m_desktopImages))
        if (!m_layers.contains(image.get()))
            m_layers.insert(image.get(), Layer());
    m_totalDesktopImages = m_desktopImages.size();
    m_countText = KELComponentCountText(m_totalDesktopImages);
    layoutPictures(false);
    updateSelection();
    finishAnimation();
    m_scroller->scrollContentResized();
    update();
}

// ---------------------------------------------------------------- selection

void KELCoverFlowView::layoutPictures(bool animated)
{
    const KELCoverFlowLayoutInput in = layoutInput();
    const QList<KELCoverFlowPlacement> placements = KELCoverFlowImageLayout::layoutManager().layoutSublayers(in);
    for (qint64 i = 0; i < placements.size() && i < m_desktopImages.size(); ++i) {
        Layer& layer = m_layers[m_desktopImages.at(i).get()];
        layer.to = placements.at(i);
        layer.from = animated && layer.placed ? layer.current : layer.to;
        if (!animated || !layer.placed)
            layer.current = layer.to;
        layer.placed = true;
    }
    m_scrollTo = m_totalDesktopImages > 0 ? KELCoverFlowImageLayout::layoutManager().positionOfSelectedDesktopImage(in) : 0;
    m_scrollFrom = animated ? m_scroll : m_scrollTo;
    if (!animated)
        m_scroll = m_scrollTo;
    if (animated) {
        m_animation->stop();
        m_animation->setDuration(m_animationDuration);
        m_animation->start();
    }
    update();
}

void KELCoverFlowView::advanceAnimation(double t)
{
    for (Layer& layer : m_layers) {
        layer.current.x = lerp(layer.from.x, layer.to.x, t);
        layer.current.y = lerp(layer.from.y, layer.to.y, t);
        layer.current.angle = lerp(layer.from.angle, layer.to.angle, t);
        layer.current.z = lerp(layer.from.z, layer.to.z, t);
        layer.current.containerZ = layer.to.containerZ;
    }
    m_scroll = lerp(m_scrollFrom, m_scrollTo, t);
    update();
}

bool KELCoverFlowView::isAnimating() const
{
    return m_animation->state() == QAbstractAnimation::Running;
}

void KELCoverFlowView::finishAnimation()
{
    m_animation->stop();
    advanceAnimation(1.0);
}

void KELCoverFlowView::updateSelection()
{
    layoutPictures(isVisible());
    const qint64 i = m_selectedDesktopImageIndex;
    if (i >= 0 && i < m_desktopImages.size()) {
        const auto& image = m_desktopImages.at(i);
        m_headerText = image->name();
        m_descriptionText = image->desc();
        updateImage();
        m_scroller->scrollPositionChanged(m_totalDesktopImages >= 2 ? double(i) / double(m_totalDesktopImages - 1) : 0);
        m_selectButton->setEnabled(true);
        kit::notifyAccessibleItem(this, int(i), QAccessible::Selection);
        if (hasFocus())
            kit::notifyAccessibleItem(this, int(i), QAccessible::Focus);
    } else {
        m_headerText.clear();
        m_descriptionText.clear();
        m_selectButton->setEnabled(false);
    }
    update();
}

void KELCoverFlowView::moveSelection(qint64 delta)
{
    qint64 index = m_selectedDesktopImageIndex + delta;
    if (index >= m_totalDesktopImages)
        index = m_totalDesktopImages - 1;
    if (index < 0)
        index = 0;
    m_selectedDesktopImageIndex = index;
    updateSelection();
}

std::shared_ptr<KELComponent> KELCoverFlowView::selectedComponent() const
{
    const qint64 i = m_selectedDesktopImageIndex;
    return i >= 0 && i < m_desktopImages.size() ? m_desktopImages.at(i)->component() : nullptr;
}

void KELCoverFlowView::select()
{
    if (auto component = selectedComponent(); component && m_delegate)
        m_delegate->componentWasSelected(component);
}

// ---------------------------------------------------------------- scroller content

double KELCoverFlowView::visibleWidth() const
{
    return m_totalDesktopImages > 0 ? 1.0 / double(m_totalDesktopImages) : 1.0;
}

double KELCoverFlowView::stepSize() const
{
    return m_totalDesktopImages > 0 ? contentWidth() / double(m_totalDesktopImages) : contentWidth();
}

void KELCoverFlowView::moveScrollView(double distance)
{
    // One picture per call, whatever the distance.
    moveSelection(distance > 0 ? 1 : -1);
}

void KELCoverFlowView::scrollToPosition(double fraction)
{
    if (m_totalDesktopImages <= 0)
        return;
    fraction = std::clamp(fraction, 0.0, 1.0);
    const qint64 index = std::clamp<qint64>(qint64(fraction * double(m_totalDesktopImages)), 0, m_totalDesktopImages - 1);
    if (index != m_selectedDesktopImageIndex) {
        m_selectedDesktopImageIndex = index;
        updateSelection();
    }
}

// ---------------------------------------------------------------- pictures

void KELCoverFlowView::updateImage()
{
    if (m_totalDesktopImages <= 0)
        return;
    const QRectF body = bodyRect();
    const auto indices = KELCoverFlowImageLayout::layoutManager().desktopImageIndices(
        layoutInput(), QRectF(m_scrollTo, 0, body.width(), body.height()));
    KELCoverFlowImageLoader& loader = m_loader ? *m_loader : KELCoverFlowImageLoader::sharedInstance();
    if (indices) {
        for (qint64 i = indices->first; i <= indices->second && i < m_totalDesktopImages; ++i) {
            KELCoverFlowImage* image = m_desktopImages.at(i).get();
            updateImageForLayer(image);
            if (m_layers.value(image).picture.isNull())
                image->requestImageOfSize(QSizeF(CellSize, CellSize), loader);
        }
    }
    loader.sweep();
}

void KELCoverFlowView::updateImageForLayer(KELCoverFlowImage* image)
{
    auto it = m_layers.find(image);
    if (it == m_layers.end())
        return;
    if (!it->picture.isNull())
        return;
    const QImage picture = image->imageOfSize(QSizeF(CellSize, CellSize));
    if (picture.isNull())
        return;
    // Scaled to the cell once, so a frame draws small pictures.
    const QSize cell {int(CellSize), int(CellSize)};
    it->picture = picture.scaled(cell, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    it->turned[0] = it->turned[1] = QImage();
    const QImage shaded = image->shadedImage();
    if (!shaded.isNull())
        it->reflection = shaded.scaled(cell, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
}

void KELCoverFlowView::imageDidLoad(const void* object)
{
    for (const auto& image : std::as_const(m_desktopImages)) {
        if (image.get() == object) {
            updateImageForLayer(image.get());
            update();
            return;
        }
    }
}

// ---------------------------------------------------------------- drawing

QPointF KELCoverFlowView::containerCentre(const KELCoverFlowPlacement& p) const
{
    const QRectF body = bodyRect();
    return {body.left() + p.x - m_scroll + CellSize / 2, body.top() + (body.height() - p.y - CellSize) + CellSize / 2};
}

QTransform KELCoverFlowView::projection(const KELCoverFlowPlacement& p, QPointF centre)
{
    const double cw = CellSize, ch = CellSize;
    const double c = std::cos(p.angle), s = std::sin(p.angle);
    auto project = [&](double px, double py) {
        const double u = px - cw / 2, v = ch / 2 - py; // from the centre, y up
        const double x = u * c, z = p.z - u * s;
        const double w = 1 - z / Perspective;
        return centre + QPointF(x / w, -v / w);
    };
    QPolygonF quad;
    quad << project(0, 0) << project(cw, 0) << project(cw, ch) << project(0, ch);
    // Four corners (a polygon made from a rectangle would close itself with a fifth).
    QPolygonF square;
    square << QPointF(0, 0) << QPointF(cw, 0) << QPointF(cw, ch) << QPointF(0, ch);
    QTransform transform;
    QTransform::quadToQuad(square, quad, transform);
    return transform;
}

QTransform KELCoverFlowView::pictureTransform(qint64 index) const
{
    const auto it = m_layers.constFind(m_desktopImages.value(index).get());
    if (it == m_layers.constEnd())
        return {};
    return projection(it->current, containerCentre(it->current));
}

void KELCoverFlowView::drawTurned(QPainter& painter, Layer& layer, QPointF centre)
{
    const int side = layer.current.angle > 0 ? 0 : 1;
    QImage& cache = layer.turned[side];
    if (cache.isNull()) {
        const QTransform t = projection(layer.current, QPointF(0, 0));
        const QRectF bounds = t.map(QPolygonF(QRectF(0, 0, CellSize, 2 * CellSize))).boundingRect();
        const QRect area = bounds.toAlignedRect();
        cache = QImage(area.size(), QImage::Format_ARGB32_Premultiplied);
        cache.fill(Qt::transparent);
        QPainter p(&cache);
        p.setRenderHint(QPainter::SmoothPixmapTransform);
        p.setTransform(QTransform(1, 0, 0, -1, 0, 2 * CellSize) * t * QTransform::fromTranslate(-area.x(), -area.y()));
        p.drawImage(QRectF(0, 0, CellSize, CellSize), layer.reflection);
        p.setTransform(t * QTransform::fromTranslate(-area.x(), -area.y()));
        p.drawImage(QRectF(0, 0, CellSize, CellSize), layer.picture);
        layer.turnedOffset[side] = area.topLeft();
    }
    painter.setTransform(QTransform());
    painter.drawImage(centre.toPoint() + layer.turnedOffset[side], cache);
}

void KELCoverFlowView::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    render(painter);
}

void KELCoverFlowView::render(QPainter& painter)
{
    const QRectF body = bodyRect();
    const double w = width(), h = height();
    painter.fillRect(rect(), Qt::black);

    // Pictures that may show, farthest first.
    QList<qint64> order;
    if (m_totalDesktopImages > 0) {
        KELCoverFlowLayoutInput in = layoutInput();
        const auto indices = KELCoverFlowImageLayout::layoutManager().desktopImageIndices(
            in, QRectF(m_scroll - CellSize, 0, body.width() + 2 * CellSize, body.height()));
        if (indices) {
            // The estimate packs pictures tightly: widen it so turned ones at the edges still draw.
            const qint64 first = std::max<qint64>(0, indices->first - 4);
            const qint64 last = std::min<qint64>(m_totalDesktopImages - 1, indices->second + 4);
            for (qint64 i = first; i <= last; ++i)
                order << i;
        }
    }
    std::stable_sort(order.begin(), order.end(), [this](qint64 a, qint64 b) {
        return m_layers.value(m_desktopImages.at(a).get()).current.containerZ
            < m_layers.value(m_desktopImages.at(b).get()).current.containerZ;
    });
    painter.save();
    painter.setClipRect(body);
    painter.setOpacity(m_opacity);
    painter.setRenderHint(QPainter::SmoothPixmapTransform, !isAnimating());
    const QColor placeholder = QColor::fromRgbF(1, 1, 1, 0.5f);
    const QRectF cell(0, 0, CellSize, CellSize);
    // The reflection hangs under the picture, mirrored.
    const QTransform mirror(1, 0, 0, -1, 0, 2 * CellSize);
    const auto& layout = KELCoverFlowImageLayout::layoutManager();
    for (qint64 i : order) {
        Layer& layer = m_layers[m_desktopImages.at(i).get()];
        const QPointF centre = containerCentre(layer.current);
        if (!layer.picture.isNull() && !layer.reflection.isNull() && layer.current.z == layout.zSidePosition
            && std::abs(layer.current.angle) == layout.sideAngle) {
            drawTurned(painter, layer, centre);
            continue;
        }
        const QTransform t = projection(layer.current, centre);
        painter.setTransform(mirror * t);
        if (layer.reflection.isNull())
            painter.fillRect(cell, placeholder);
        else
            painter.drawImage(cell, layer.reflection);
        painter.setTransform(t);
        if (layer.picture.isNull())
            painter.fillRect(cell, placeholder);
        else
            painter.drawImage(cell, layer.picture);
    }
    painter.restore();

    // Shades over the sides and the bottom of the row.
    const double half = CellSize / 2;
    QLinearGradient right(body.left() + body.width() / 2 + half, 0, body.right(), 0);
    right.setColorAt(0, QColor(0, 0, 0, 0));
    right.setColorAt(1, QColor(0, 0, 0, 255));
    painter.fillRect(QRectF(QPointF(body.left() + body.width() / 2 + half, body.top()), body.bottomRight()), right);
    QLinearGradient left(body.left() + body.width() / 2 - half, 0, body.left(), 0);
    left.setColorAt(0, QColor(0, 0, 0, 0));
    left.setColorAt(1, QColor(0, 0, 0, 255));
    painter.fillRect(QRectF(body.topLeft(), QPointF(body.left() + body.width() / 2 - half, body.bottom())), left);
    QLinearGradient bottom(0, body.bottom() - 64, 0, body.bottom());
    bottom.setColorAt(0, QColor(0, 0, 0, 0));
    bottom.setColorAt(1, QColor(0, 0, 0, 255));
    painter.fillRect(QRectF(body.left(), body.bottom() - 64, body.width(), 64), bottom);

    // Texts.
    QFont font = this->font();
    painter.setPen(Qt::white);
    font.setPixelSize(24);
    painter.setFont(font);
    painter.drawText(QRectF(5, 10, w - 10, 35), Qt::AlignCenter | Qt::TextWordWrap, m_headerText);
    if (!m_noSearchResultsText.isEmpty())
        painter.drawText(QRectF(0, h / 2 - 30, w, 30), Qt::AlignCenter, m_noSearchResultsText);
    font.setPixelSize(18);
    painter.setFont(font);
    const QRectF status(body.left() + 20, h - 110, body.width() - 40, 100);
    const QRectF count(status.right() - 160, status.top(), 160 - 5, status.height());
    painter.drawText(count, Qt::AlignRight | Qt::AlignTop, m_countText);
    painter.drawText(QRectF(status.left() + 5, status.top(), count.left() - 5 - status.left() - 5, status.height()),
                     Qt::AlignLeft | Qt::AlignTop | Qt::TextWordWrap, m_descriptionText);

    m_scroller->paint(painter);

    // The resize grip.
    painter.setPen(QPen(QColor::fromRgbF(0.5f, 0.5f, 0.5f), 1));
    const QPointF grip(w - 13, h);
    auto line = [&](double x1, double y1, double x2, double y2) {
        painter.drawLine(grip + QPointF(x1, -y1), grip + QPointF(x2, -y2));
    };
    line(10.7, 1.5, 12.5, 3.3);
    line(6.7, 1.5, 12.5, 7.3);
    line(2.7, 1.5, 12.5, 11.3);
}

// ---------------------------------------------------------------- input

void KELCoverFlowView::setAnimationSpeed(Qt::KeyboardModifiers modifiers)
{
    m_animationDuration = modifiers & Qt::ShiftModifier ? 2000 : 600;
}

void KELCoverFlowView::keyPressEvent(QKeyEvent* event)
{
    setAnimationSpeed(event->modifiers());
    const bool jump = event->modifiers() & (Qt::ControlModifier | Qt::MetaModifier);
    switch (event->key()) {
    case Qt::Key_Escape:
        if (m_fullScreenHost) {
            fullScreenAction();
            return;
        }
        event->ignore();
        return;
    case Qt::Key_Return:
    case Qt::Key_Enter:
        select();
        return;
    case Qt::Key_Tab:
    case Qt::Key_Backtab:
        QWidget::keyPressEvent(event);
        return;
    case Qt::Key_Left:
        moveSelection(jump ? -1000000 : -1);
        return;
    case Qt::Key_Right:
        moveSelection(jump ? 1000000 : 1);
        return;
    default:
        break;
    }
    const QString characters = event->text();
    if (characters.isEmpty() || !(characters.at(0).isLetterOrNumber() || characters.at(0) == QLatin1Char(' '))) {
        event->ignore();
        return;
    }
    typeAhead(characters);
}

void KELCoverFlowView::typeAhead(const QString& characters)
{
    const QDateTime now = QDateTime::currentDateTimeUtc();
    if (!m_lastSearchDate.isValid() || m_lastSearchDate.msecsTo(now) > 1000)
        m_searchString.clear();
    m_lastSearchDate = now;
    m_searchString += characters;
    qint64 index = m_desktopImages.size() - 1;
    for (qint64 i = 0; i < m_desktopImages.size(); ++i)
        if (m_desktopImages.at(i)->name().compare(m_searchString, Qt::CaseInsensitive) >= 0) {
            index = i;
            break;
        }
    m_selectedDesktopImageIndex = index;
    updateSelection();
}

bool KELCoverFlowView::selectImageForPoint(QPointF point)
{
    qint64 best = NotFound;
    const qint64 selected = m_selectedDesktopImageIndex;
    for (qint64 i = 0; i < m_desktopImages.size(); ++i) {
        if (best != NotFound && std::llabs(i - selected) >= std::llabs(best - selected))
            continue;
        const QTransform transform = pictureTransform(i);
        // Inside the drawn picture first: the inverse of a perspective also maps
        // points beyond the picture's horizon back into it.
        if (!transform.map(QPolygonF(QRectF(0, 0, CellSize, CellSize))).containsPoint(point, Qt::OddEvenFill))
            continue;
        bool invertible = false;
        const QTransform inverse = transform.inverted(&invertible);
        if (!invertible)
            continue;
        const QPointF local = inverse.map(point);
        if (!QRectF(0, 0, CellSize, CellSize).contains(local))
            continue;
        const double alpha = m_desktopImages.at(i)->alphaAtImagePoint(
            QPointF(local.x() / CellSize, 1 - local.y() / CellSize));
        if (alpha >= 0.04)
            best = i;
    }
    if (best != NotFound && best != selected) {
        m_selectedDesktopImageIndex = best;
        updateSelection();
    }
    return best != NotFound;
}

void KELCoverFlowView::mousePressEvent(QMouseEvent* event)
{
    setFocus(Qt::MouseFocusReason);
    setAnimationSpeed(event->modifiers());
    m_clickSelectedIndex = NotFound;
    const QPointF p = event->position();
    if (m_scroller->frame().contains(p) && m_scroller->mouseDownAtPointInSuperlayer(p))
        m_scrollerTracking = true;
    else if (selectImageForPoint(p))
        m_clickSelectedIndex = m_selectedDesktopImageIndex;
}

void KELCoverFlowView::mouseDoubleClickEvent(QMouseEvent* event)
{
    setAnimationSpeed(event->modifiers());
    const QPointF p = event->position();
    if (m_scroller->frame().contains(p) && m_scroller->mouseDownAtPointInSuperlayer(p))
        m_scrollerTracking = true;
    else if (m_clickSelectedIndex != NotFound)
        select();
}

void KELCoverFlowView::mouseMoveEvent(QMouseEvent* event)
{
    if (m_scrollerTracking)
        m_scroller->mouseDragged(event->position());
}

void KELCoverFlowView::mouseReleaseEvent(QMouseEvent* event)
{
    if (m_scrollerTracking)
        m_scroller->mouseUp(event->position());
    m_scrollerTracking = false;
}

qint64 KELCoverFlowView::wheelSteps(double delta)
{
    const qint64 n = qint64(std::trunc(delta));
    if (n != 0)
        return -n;
    return delta > 0 ? -1 : delta < 0 ? 1 : 0;
}

void KELCoverFlowView::wheelEvent(QWheelEvent* event)
{
    setAnimationSpeed(event->modifiers());
    // A wheel notch (120) counts as one line.
    const QPointF delta = QPointF(event->angleDelta()) / 120.0;
    const double d = std::abs(delta.y()) > std::abs(delta.x()) ? delta.y() : delta.x();
    if (const qint64 steps = wheelSteps(d))
        moveSelection(steps);
    event->accept();
}
