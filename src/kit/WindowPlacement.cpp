#include "kit/WindowPlacement.h"

#include "kit/ActionRouter.h"
#include "kit/UserDefaults.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEvent>
#include <QGuiApplication>
#include <QPointer>
#include <QScreen>
#include <QTimer>
#include <QWidget>
#include <QWindow>

namespace kit {

namespace {
const char* const PlacedProperty = "kelpPlaced";
const char* const FirstShownProperty = "kelpFirstShown";
const char* const FramedProperty = "kelpFramed";
// After its first showing a window is checked again while the window manager
// frames it (the frame's size arrives a moment later).
constexpr qint64 FramingPeriodMs = 1500;
// The step between windows of a cascade.
constexpr int CascadeStep = 24;

bool isPlaceable(const QWidget* window)
{
    if (!window || !window->isWindow())
        return false;
    const Qt::WindowType type = window->windowType();
    if (type != Qt::Window && type != Qt::Dialog && type != Qt::Tool && type != Qt::Sheet)
        return false;
    return !(window->windowFlags() & Qt::FramelessWindowHint) && !window->testAttribute(Qt::WA_DontShowOnScreen);
}

bool isNormalState(const QWidget* window)
{
    return !(window->windowState() & (Qt::WindowMaximized | Qt::WindowFullScreen | Qt::WindowMinimized));
}

QRect availableArea(const QWidget* window, const QWidget* reference = nullptr)
{
    QScreen* screen = screenForWindow(window, reference);
    return screen ? screen->availableGeometry() : QRect();
}

// Saves a window's frame under its autosave name as it changes.
class FrameKeeper : public QObject {
public:
    FrameKeeper(QWidget* window, const QString& name) : QObject(window), m_window(window), m_name(name)
    {
        window->installEventFilter(this);
    }
    static QString key(const QString& name) { return QStringLiteral("NSWindow Frame %1").arg(name); }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        const QEvent::Type type = event->type();
        if (watched == m_window && m_window->isVisible() && isNormalState(m_window)
            && (type == QEvent::Move || type == QEvent::Resize || type == QEvent::Hide || type == QEvent::Close))
            UserDefaults::standard().setValue(key(m_name), m_window->saveGeometry());
        return false;
    }

private:
    QWidget* m_window;
    QString m_name;
};

class PlacementKeeper : public QObject {
protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        // Shown and framed: the window manager's frame is known now.
        if (event->type() == QEvent::Expose && watched->isWindowType()) {
            for (QWidget* widget : QApplication::topLevelWidgets()) {
                if (widget->windowHandle() == watched && widget->isVisible() && isPlaceable(widget)
                    && widget->property(FirstShownProperty).isValid() && !widget->property(FramedProperty).toBool()) {
                    widget->setProperty(FramedProperty, true);
                    QPointer<QWidget> guard(widget);
                    QTimer::singleShot(0, widget, [guard] {
                        if (guard && guard->isVisible())
                            keepWindowOnScreen(guard);
                    });
                }
            }
            return false;
        }
        if (!watched->isWidgetType())
            return false;
        auto* widget = static_cast<QWidget*>(watched);
        if (event->type() == QEvent::Show && isPlaceable(widget)) {
            // Modal dialogs (alerts) are placed by Qt over their parent; they are kept on screen.
            if (widget->isModal() || widget->windowModality() != Qt::NonModal)
                widget->setProperty(PlacedProperty, true);
            placeWindow(widget);
            widget->setProperty(FramedProperty, false);
            if (!widget->property(FirstShownProperty).isValid()) {
                QElapsedTimer clock;
                clock.start();
                widget->setProperty(FirstShownProperty, clock.msecsSinceReference());
            }
            QPointer<QWidget> guard(widget);
            QTimer::singleShot(0, widget, [guard] {
                if (guard && guard->isVisible())
                    keepWindowOnScreen(guard);
            });
        } else if ((event->type() == QEvent::Move || event->type() == QEvent::Resize) && widget->isWindow()
                   && widget->isVisible() && widget->property(FirstShownProperty).isValid()
                   && QGuiApplication::mouseButtons() == Qt::NoButton) {
            QElapsedTimer clock;
            clock.start();
            if (clock.msecsSinceReference() - widget->property(FirstShownProperty).toLongLong() < FramingPeriodMs) {
                QPointer<QWidget> guard(widget);
                QTimer::singleShot(0, widget, [guard] {
                    if (guard && guard->isVisible())
                        keepWindowOnScreen(guard);
                });
            }
        }
        return false;
    }
};
} // namespace

QScreen* screenForWindow(const QWidget* window, const QWidget* reference)
{
    if (window && window->isVisible() && window->screen())
        return window->screen();
    if (reference && reference->isVisible() && reference->window()->screen())
        return reference->window()->screen();
    if (window) {
        if (QScreen* screen = QGuiApplication::screenAt(window->geometry().center()))
            return screen;
        if (window->screen())
            return window->screen();
    }
    return QGuiApplication::primaryScreen();
}

QMargins expectedFrameMargins(const QWidget* window)
{
    auto marginsOf = [](const QWidget* w) {
        const QRect frame = w->frameGeometry();
        const QRect inner = w->geometry();
        return QMargins(inner.left() - frame.left(), inner.top() - frame.top(), frame.right() - inner.right(),
                        frame.bottom() - inner.bottom());
    };
    if (window && window->testAttribute(Qt::WA_WState_Created)
        && (window->isVisible() || !(window->geometry().topLeft() - window->pos()).isNull()))
        return marginsOf(window);
    // Not framed yet: the window manager frames it as it frames the others.
    for (QWidget* other : QApplication::topLevelWidgets()) {
        if (other == window || !other->isVisible() || !isPlaceable(other))
            continue;
        const QMargins margins = marginsOf(other);
        if (!margins.isNull())
            return margins;
    }
    return {};
}

QRect windowFrame(const QWidget* window)
{
    if (!window)
        return {};
    if (window->isVisible() && window->testAttribute(Qt::WA_WState_Created))
        return window->frameGeometry();
    const QMargins margins = expectedFrameMargins(window);
    const QSize size = window->size() + QSize(margins.left() + margins.right(), margins.top() + margins.bottom());
    // Made but never framed: its position is the inside's, the frame goes around it.
    const QPoint knownFrame = window->geometry().topLeft() - window->pos();
    if (window->testAttribute(Qt::WA_WState_Created) && knownFrame.isNull())
        return QRect(window->pos() - QPoint(margins.left(), margins.top()), size);
    // Before showing, the position names the frame's corner once the window was moved.
    return QRect(window->pos(), size);
}

QRect frameInsideArea(const QRect& frame, const QRect& area)
{
    if (area.isEmpty())
        return frame;
    QRect result = frame;
    result.setWidth(qMin(frame.width(), area.width()));
    result.setHeight(qMin(frame.height(), area.height()));
    if (result.right() > area.right())
        result.moveRight(area.right());
    if (result.bottom() > area.bottom())
        result.moveBottom(area.bottom());
    if (result.left() < area.left())
        result.moveLeft(area.left());
    if (result.top() < area.top())
        result.moveTop(area.top());
    return result;
}

void setWindowFrameTopLeft(QWidget* window, const QPoint& topLeft)
{
    if (!window)
        return;
    // A window made but not shown yet places its inside where it is moved to (the
    // toolkit knows no frame for it): leave room for the frame it will get.
    const QPoint knownFrame = window->geometry().topLeft() - window->pos();
    if (window->testAttribute(Qt::WA_WState_Created) && !window->isVisible() && knownFrame.isNull()) {
        const QMargins margins = expectedFrameMargins(window);
        window->move(topLeft + QPoint(margins.left(), margins.top()));
        return;
    }
    window->move(topLeft);
}

void keepWindowOnScreen(QWidget* window)
{
    if (!window || !isNormalState(window))
        return;
    const QRect frame = windowFrame(window);
    const QRect area = availableArea(window);
    const QRect inside = frameInsideArea(frame, area);
    if (inside == frame)
        return;
    if (inside.size() != frame.size())
        window->resize(window->size() - (frame.size() - inside.size()));
    setWindowFrameTopLeft(window, inside.topLeft());
}

void centerWindow(QWidget* window, const QWidget* reference)
{
    if (!window)
        return;
    const QWidget* on = reference && reference->isVisible() ? reference->window() : nullptr;
    const QRect area = availableArea(window, on);
    QRect frame = windowFrame(window);
    frame.moveCenter(on ? windowFrame(on).center() : area.center());
    setWindowFrameTopLeft(window, frameInsideArea(frame, area).topLeft());
    window->setProperty(PlacedProperty, true);
}

QPoint cascadeTopLeftFromPoint(QWidget* window, const QPoint& point)
{
    if (!window)
        return point;
    const QRect area = availableArea(window);
    QRect frame = windowFrame(window);
    if (!point.isNull()) {
        frame.moveTopLeft(point);
        // A cascade that would leave the screen starts again at its top-left corner.
        if (!area.isEmpty() && (frame.right() > area.right() || frame.bottom() > area.bottom()))
            frame.moveTopLeft(area.topLeft());
        frame = frameInsideArea(frame, area);
        setWindowFrameTopLeft(window, frame.topLeft());
        window->setProperty(PlacedProperty, true);
    }
    return frame.topLeft() + QPoint(CascadeStep, CascadeStep);
}

bool placeWindow(QWidget* window, const QWidget* reference)
{
    if (!window || !isPlaceable(window))
        return false;
    const QPoint before = windowFrame(window).topLeft();
    if (!window->property(PlacedProperty).toBool()) {
        window->setProperty(PlacedProperty, true);
        // A window its owner or a saved frame put somewhere stays there; windows
        // with a controller of their own (documents, projects) are left to the
        // window manager's placement, which keeps them from covering each other.
        if (!window->testAttribute(Qt::WA_Moved) && !ActionRouter::shared().windowResponder(window)) {
            const QWidget* on = reference;
            if (!on) {
                QWidget* active = QApplication::activeWindow();
                on = active && active != window && active->isVisible() ? active : nullptr;
            }
            centerWindow(window, on);
        }
    }
    keepWindowOnScreen(window);
    return windowFrame(window).topLeft() != before;
}

bool keepWindowFrame(QWidget* window, const QString& autosaveName)
{
    if (!window || autosaveName.isEmpty())
        return false;
    for (FrameKeeper* keeper : window->findChildren<FrameKeeper*>(QString(), Qt::FindDirectChildrenOnly))
        delete keeper;
    new FrameKeeper(window, autosaveName);
    const QVariant saved = UserDefaults::standard().value(FrameKeeper::key(autosaveName));
    if (saved.typeId() != QMetaType::QByteArray || !window->restoreGeometry(saved.toByteArray()))
        return false;
    keepWindowOnScreen(window);
    window->setProperty(PlacedProperty, true);
    return true;
}

void installWindowPlacement()
{
    static PlacementKeeper* keeper = nullptr;
    if (keeper || !qApp)
        return;
    keeper = new PlacementKeeper;
    keeper->setParent(qApp);
    qApp->installEventFilter(keeper);
}

} // namespace kit
