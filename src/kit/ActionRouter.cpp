#include "kit/ActionRouter.h"

#include "kit/Responder.h"

#include <QAction>
#include <QApplication>
#include <QKeyEvent>
#include <QMenu>
#include <QMenuBar>
#include <QTimer>
#include <QWidget>

namespace kit {

namespace {
ActionRouter* g_shared = nullptr;
QList<ActionRouter*> g_routers; // every live router, so a dying responder leaves them all
const char* const MenuAttachedProperty = "kelpMenuAttached";
const char* const RoutedProperty = "kelpRoutedBy";
// Validation after input waits for a pause, so fast typing does not pay for it per key.
constexpr int IdleValidationDelayMs = 150;
}

ActionRouter& ActionRouter::shared()
{
    // Never destroyed: responders and actions may outlive any given point of shutdown.
    if (!g_shared)
        g_shared = new ActionRouter;
    return *g_shared;
}

ActionRouter::ActionRouter()
{
    g_routers.append(this);
    m_validationTimer = new QTimer(this);
    m_validationTimer->setSingleShot(true);
    m_validationTimer->setInterval(0);
    connect(m_validationTimer, &QTimer::timeout, this, &ActionRouter::validateAllActions);
    m_idleTimer = new QTimer(this);
    m_idleTimer->setSingleShot(true);
    m_idleTimer->setInterval(IdleValidationDelayMs);
    connect(m_idleTimer, &QTimer::timeout, this, &ActionRouter::validateAllActions);
}

ActionRouter::~ActionRouter()
{
    if (g_shared == this)
        g_shared = nullptr;
    g_routers.removeAll(this);
    if (m_filterInstalled && qApp)
        qApp->removeEventFilter(this);
}

void ActionRouter::responderDestroyed(Responder* responder)
{
    for (ActionRouter* router : std::as_const(g_routers)) {
        if (router->m_delegate == responder)
            router->m_delegate = nullptr;
        for (auto it = router->m_windowResponders.begin(); it != router->m_windowResponders.end();) {
            if (it.value() == responder)
                it = router->m_windowResponders.erase(it);
            else
                ++it;
        }
    }
}

void ActionRouter::setApplicationDelegate(Responder* delegate) { m_delegate = delegate; }

void ActionRouter::setWindowResponder(QWidget* window, Responder* responder)
{
    if (!window)
        return;
    if (!responder) {
        m_windowResponders.remove(window);
        return;
    }
    if (!m_windowResponders.contains(window))
        connect(window, &QObject::destroyed, this, [this, window] { m_windowResponders.remove(window); });
    m_windowResponders.insert(window, responder);
}

Responder* ActionRouter::windowResponder(QWidget* window) const { return m_windowResponders.value(window); }

QList<Responder*> ActionRouter::responderChain(QWidget* focus) const
{
    QList<Responder*> chain;
    QSet<Responder*> seen;
    auto addWithNext = [&](Responder* r) {
        while (r && !seen.contains(r)) {
            seen.insert(r);
            chain.append(r);
            r = r->nextResponder();
        }
    };
    QWidget* f = focus ? focus : (m_focusOverride ? m_focusOverride.data() : QApplication::focusWidget());
    // A menu bar that took the keyboard (Alt) stands for the widget it took it from.
    if (qobject_cast<QMenuBar*>(f) && m_focusBeforeMenuBar && m_focusBeforeMenuBar->window() == f->window())
        f = m_focusBeforeMenuBar;
    QWidget* window = f ? f->window() : QApplication::activeWindow();
    if (!window && m_lastActiveWindow && m_lastActiveWindow->isVisible())
        window = m_lastActiveWindow;
    for (QWidget* w = f ? f : window; w; w = w->parentWidget())
        addWithNext(dynamic_cast<Responder*>(w));
    // The window's controller, then (for a dialog or panel) the windows it belongs to.
    bool hasWindowResponder = false;
    for (QWidget* win = window; win; win = win->parentWidget() ? win->parentWidget()->window() : nullptr) {
        hasWindowResponder = hasWindowResponder || m_windowResponders.contains(win);
        addWithNext(m_windowResponders.value(win));
        if (win != window)
            addWithNext(dynamic_cast<Responder*>(win));
    }
    // A panel of its own in front (Find, Go to Line, an insert panel) works on the
    // window last active behind it: that window's focused view and controller follow.
    if (!hasWindowResponder && m_lastActiveWindow && m_lastActiveWindow != window && m_lastActiveWindow->isVisible()) {
        for (QWidget* w = m_lastActiveWindow->focusWidget(); w; w = w->parentWidget())
            addWithNext(dynamic_cast<Responder*>(w));
        addWithNext(m_windowResponders.value(m_lastActiveWindow));
    }
    addWithNext(m_delegate);
    return chain;
}

Responder* ActionRouter::targetForAction(const QString& action, QWidget* focus) const
{
    if (action.isEmpty())
        return nullptr;
    for (Responder* r : responderChain(focus))
        if (r->respondsToAction(action))
            return r;
    return nullptr;
}

bool ActionRouter::sendAction(const QString& action, QObject* sender, QWidget* focus)
{
    Responder* target = targetForAction(action, focus);
    if (!target)
        return false;
    target->performAction(action, sender);
    // What the action changed may change what other items can do.
    scheduleValidation();
    return true;
}

void ActionRouter::attachAction(QAction* item, const QString& action)
{
    if (!item)
        return;
    item->setProperty(ActionProperty, action);
    route(item);
    if (!m_filterInstalled && qApp) {
        qApp->installEventFilter(this);
        connect(qApp, &QApplication::focusChanged, this, [this](QWidget* old, QWidget* now) {
            if (qobject_cast<QMenuBar*>(now) && old && !qobject_cast<QMenuBar*>(old))
                m_focusBeforeMenuBar = old;
            scheduleValidation();
        });
        m_filterInstalled = true;
    }
    validateAction(item);
}

void ActionRouter::route(QAction* item)
{
    // Once per item and router, whoever set the action name.
    if (item->property(RoutedProperty).value<QObject*>() == this)
        return;
    item->setProperty(RoutedProperty, QVariant::fromValue<QObject*>(this));
    connect(item, &QAction::triggered, this, [this, item] { sendAction(actionOf(item), item); });
    m_actions.append(item);
}

QAction* ActionRouter::makeAction(const QString& title, const QString& action, QObject* parent, const QKeySequence& shortcut)
{
    auto* item = new QAction(title, parent);
    if (!shortcut.isEmpty())
        item->setShortcut(shortcut);
    attachAction(item, action);
    return item;
}

QString ActionRouter::actionOf(const QAction* item) { return item ? item->property(ActionProperty).toString() : QString(); }

void ActionRouter::attachMenu(QMenu* menu)
{
    if (!menu || menu->property(MenuAttachedProperty).value<QObject*>() == this)
        return;
    menu->setProperty(MenuAttachedProperty, QVariant::fromValue<QObject*>(this));
    connect(menu, &QMenu::aboutToShow, this, [this, menu] { validateMenu(menu); });
    for (QAction* a : menu->actions()) {
        if (a->menu())
            attachMenu(a->menu());
        else if (!actionOf(a).isEmpty())
            attachAction(a, actionOf(a)); // named by its builder, routed here
    }
}

bool ActionRouter::validateAction(QAction* item)
{
    if (!item)
        return false;
    const QString action = actionOf(item);
    if (action.isEmpty())
        return item->isEnabled();
    Responder* target = targetForAction(action);
    const bool enabled = target && target->validateAction(action, item);
    item->setEnabled(enabled);
    return enabled;
}

void ActionRouter::validateMenu(QMenu* menu)
{
    if (!menu)
        return;
    for (QAction* a : menu->actions()) {
        if (a->menu()) {
            attachMenu(a->menu()); // submenus added since
        } else {
            if (!actionOf(a).isEmpty())
                route(a);
            validateAction(a);
        }
    }
}

void ActionRouter::validateAllActions()
{
    m_actions.removeAll(QPointer<QAction>());
    const auto actions = m_actions;
    for (const QPointer<QAction>& a : actions)
        if (a)
            validateAction(a);
}

void ActionRouter::scheduleValidation()
{
    if (QCoreApplication::instance())
        m_validationTimer->start();
}

void ActionRouter::validateForShortcut(const QKeySequence& typed)
{
    m_actions.removeAll(QPointer<QAction>());
    const auto actions = m_actions;
    for (const QPointer<QAction>& a : actions) {
        if (!a)
            continue;
        for (const QKeySequence& s : a->shortcuts()) {
            if (s == typed) {
                validateAction(a);
                break;
            }
        }
    }
}

bool ActionRouter::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::WindowActivate && watched->isWidgetType()) {
        auto* widget = static_cast<QWidget*>(watched);
        if (widget->isWindow() && m_windowResponders.contains(widget))
            m_lastActiveWindow = widget;
    }
    if (event->type() == QEvent::KeyRelease || event->type() == QEvent::MouseButtonRelease) {
        if (watched->isWidgetType() && !m_actions.isEmpty())
            m_idleTimer->start();
    } else if (event->type() == QEvent::ShortcutOverride) {
        // Validate the items this key would trigger before the shortcut is looked up,
        // so that a key never runs an action that cannot run now and never fails to
        // run one that can.
        auto* key = static_cast<QKeyEvent*>(event);
        const int code = key->key();
        if (code != 0 && code != Qt::Key_unknown && code != Qt::Key_Control && code != Qt::Key_Shift
            && code != Qt::Key_Alt && code != Qt::Key_Meta) {
            const Qt::KeyboardModifiers mods = key->modifiers() & ~Qt::KeypadModifier;
            validateForShortcut(QKeySequence(QKeyCombination(mods, Qt::Key(code))));
            // Symbols typed with Shift ("+" on many layouts) also match their plain form, as Qt's own lookup does.
            if ((mods & Qt::ShiftModifier) && code < Qt::Key_Escape && !QChar(code).isLetter())
                validateForShortcut(QKeySequence(QKeyCombination(mods & ~Qt::ShiftModifier, Qt::Key(code))));
        }
    }
    return QObject::eventFilter(watched, event);
}

} // namespace kit
