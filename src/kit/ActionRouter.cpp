#include "kit/ActionRouter.h"

#include "kit/Responder.h"

#include <QAbstractItemView>
#include <QAbstractSpinBox>
#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QTextEdit>
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

bool isPopup(const QWidget* window)
{
    return window && (window->windowType() == Qt::Popup || qobject_cast<const QMenu*>(window));
}

// A popup (a menu, a completion list) belongs to the window it opened from.
QWidget* ownerOfPopup(QWidget* widget)
{
    while (widget && isPopup(widget->window()))
        widget = widget->window()->parentWidget();
    return widget;
}

// The editing commands of Qt's own text fields, for fields that are no responders.
class EditWidgetResponder : public Responder {
public:
    explicit EditWidgetResponder(QWidget* widget) : m_widget(widget) {}

    static QWidget* editorOf(QWidget* widget)
    {
        if (!widget)
            return nullptr;
        if (qobject_cast<QLineEdit*>(widget) || qobject_cast<QTextEdit*>(widget) || qobject_cast<QPlainTextEdit*>(widget))
            return widget;
        if (qobject_cast<QAbstractSpinBox*>(widget) || qobject_cast<QComboBox*>(widget))
            return widget->findChild<QLineEdit*>();
        // Lists and trees that select several rows select them all.
        if (auto* view = qobject_cast<QAbstractItemView*>(widget); view && view->selectionMode() != QAbstractItemView::NoSelection
            && view->selectionMode() != QAbstractItemView::SingleSelection)
            return widget;
        return nullptr;
    }

    bool respondsToAction(const QString& action) const override
    {
        static const QSet<QString> actions{QStringLiteral("undo:"), QStringLiteral("redo:"), QStringLiteral("cut:"),
                                           QStringLiteral("copy:"), QStringLiteral("paste:"), QStringLiteral("delete:"),
                                           QStringLiteral("selectAll:")};
        if (qobject_cast<QAbstractItemView*>(m_widget))
            return action == QLatin1String("selectAll:");
        return m_widget && actions.contains(action);
    }

    void performAction(const QString& action, QObject*) override
    {
        if (auto* view = qobject_cast<QAbstractItemView*>(m_widget)) {
            view->selectAll();
            return;
        }
        if (auto* line = qobject_cast<QLineEdit*>(m_widget)) {
            if (action == QLatin1String("undo:"))
                line->undo();
            else if (action == QLatin1String("redo:"))
                line->redo();
            else if (action == QLatin1String("cut:"))
                line->cut();
            else if (action == QLatin1String("copy:"))
                line->copy();
            else if (action == QLatin1String("paste:"))
                line->paste();
            else if (action == QLatin1String("delete:") && line->hasSelectedText())
                line->del();
            else if (action == QLatin1String("selectAll:"))
                line->selectAll();
            return;
        }
        auto run = [&action](auto* edit) {
            if (action == QLatin1String("undo:"))
                edit->undo();
            else if (action == QLatin1String("redo:"))
                edit->redo();
            else if (action == QLatin1String("cut:"))
                edit->cut();
            else if (action == QLatin1String("copy:"))
                edit->copy();
            else if (action == QLatin1String("paste:"))
                edit->paste();
            else if (action == QLatin1String("delete:")) {
                QTextCursor cursor = edit->textCursor();
                cursor.removeSelectedText();
                edit->setTextCursor(cursor);
            } else if (action == QLatin1String("selectAll:"))
                edit->selectAll();
        };
        if (auto* text = qobject_cast<QTextEdit*>(m_widget))
            run(text);
        else if (auto* plain = qobject_cast<QPlainTextEdit*>(m_widget))
            run(plain);
    }

    bool validateAction(const QString& action, QAction*) override
    {
        if (auto* view = qobject_cast<QAbstractItemView*>(m_widget)) {
            QAbstractItemModel* model = view->model();
            return model && model->rowCount(view->rootIndex()) > 0;
        }
        const QMimeData* clipboard = QGuiApplication::clipboard()->mimeData();
        const bool clipboardHasText = clipboard && clipboard->hasText() && !clipboard->text().isEmpty();
        if (auto* line = qobject_cast<QLineEdit*>(m_widget)) {
            const bool editable = !line->isReadOnly() && line->isEnabled();
            const bool shown = line->echoMode() == QLineEdit::Normal;
            if (action == QLatin1String("undo:"))
                return editable && line->isUndoAvailable();
            if (action == QLatin1String("redo:"))
                return editable && line->isRedoAvailable();
            if (action == QLatin1String("cut:"))
                return editable && shown && line->hasSelectedText();
            if (action == QLatin1String("copy:"))
                return shown && line->hasSelectedText();
            if (action == QLatin1String("paste:"))
                return editable && clipboardHasText;
            if (action == QLatin1String("delete:"))
                return editable && line->hasSelectedText();
            if (action == QLatin1String("selectAll:"))
                return !line->text().isEmpty() && line->selectedText() != line->text();
            return false;
        }
        auto check = [&](auto* edit) {
            const bool editable = !edit->isReadOnly() && edit->isEnabled();
            const bool selected = edit->textCursor().hasSelection();
            QTextDocument* document = edit->document();
            if (action == QLatin1String("undo:"))
                return editable && document->isUndoAvailable();
            if (action == QLatin1String("redo:"))
                return editable && document->isRedoAvailable();
            if (action == QLatin1String("cut:") || action == QLatin1String("delete:"))
                return editable && selected;
            if (action == QLatin1String("copy:"))
                return selected;
            if (action == QLatin1String("paste:"))
                return editable && edit->canPaste();
            if (action == QLatin1String("selectAll:"))
                return !document->isEmpty();
            return false;
        };
        if (auto* text = qobject_cast<QTextEdit*>(m_widget))
            return check(text);
        if (auto* plain = qobject_cast<QPlainTextEdit*>(m_widget))
            return check(plain);
        return false;
    }

private:
    QPointer<QWidget> m_widget;
};
} // namespace

// The window of the item being validated or performed, for the calls made meanwhile.
class ActionRouter::ContextScope {
public:
    ContextScope(const ActionRouter& router, const Context& context) : m_router(const_cast<ActionRouter&>(router))
    {
        m_router.m_contextStack.append(context);
    }
    ~ContextScope() { m_router.m_contextStack.removeLast(); }

private:
    ActionRouter& m_router;
};

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
    // Window activations are followed from the start: a panel works on the main
    // window last active.
    installFilter();
}

ActionRouter::~ActionRouter()
{
    if (g_shared == this)
        g_shared = nullptr;
    g_routers.removeAll(this);
    if (m_filterInstalled && qApp)
        qApp->removeEventFilter(this);
    m_editResponders.clear();
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
    if (!m_windowResponders.contains(window) && !m_claimedActions.contains(window))
        connect(window, &QObject::destroyed, this, [this, window] {
            m_windowResponders.remove(window);
            m_claimedActions.remove(window);
        });
    m_windowResponders.insert(window, responder);
}

Responder* ActionRouter::windowResponder(QWidget* window) const { return m_windowResponders.value(window); }

void ActionRouter::setWindowClaimsActions(QWidget* window, const QStringList& actions)
{
    if (!window)
        return;
    if (!m_windowResponders.contains(window) && !m_claimedActions.contains(window))
        connect(window, &QObject::destroyed, this, [this, window] {
            m_windowResponders.remove(window);
            m_claimedActions.remove(window);
        });
    m_claimedActions.insert(window, QSet<QString>(actions.begin(), actions.end()));
}

bool ActionRouter::isTextCommand(const QString& action)
{
    static const QSet<QString> commands{QStringLiteral("cut:"), QStringLiteral("copy:"), QStringLiteral("paste:"),
                                        QStringLiteral("pasteAsPlainText:"), QStringLiteral("delete:"),
                                        QStringLiteral("selectAll:")};
    return commands.contains(action);
}

bool ActionRouter::isPanel(const QWidget* window) const
{
    if (!window || m_windowResponders.contains(const_cast<QWidget*>(window)))
        return false;
    const Qt::WindowType type = window->windowType();
    return type == Qt::Tool || type == Qt::Dialog || type == Qt::Sheet || type == Qt::Drawer;
}

QWidget* ActionRouter::lastMainWindow() const
{
    return m_lastMainWindow && m_lastMainWindow->isVisible() ? m_lastMainWindow.data() : nullptr;
}

QWidget* ActionRouter::windowOfItem(const QObject* item)
{
    QWidget* owner = nullptr;
    if (auto* action = qobject_cast<const QAction*>(item)) {
        for (QObject* object : action->associatedObjects()) {
            if (auto* widget = qobject_cast<QWidget*>(object)) {
                owner = widget;
                break;
            }
        }
    }
    for (const QObject* o = item; !owner && o; o = o->parent()) {
        if (o->isWidgetType())
            owner = static_cast<QWidget*>(const_cast<QObject*>(o));
    }
    owner = ownerOfPopup(owner);
    return owner ? owner->window() : nullptr;
}

QWidget* ActionRouter::commandWindow() const
{
    return currentContext(nullptr).window;
}

QWidget* ActionRouter::focusIn(QWidget* window) const
{
    if (!window)
        return nullptr;
    if (m_focusOverride && m_focusOverride->window() == window)
        return m_focusOverride;
    QWidget* focus = QApplication::focusWidget();
    if (!focus || ownerOfPopup(focus) != focus || focus->window() != window)
        focus = window->focusWidget();
    // A menu bar that took the keyboard (Alt) stands for the widget it took it from.
    if (qobject_cast<QMenuBar*>(focus)) {
        if (m_focusBeforeMenuBar && m_focusBeforeMenuBar->window() == window)
            focus = m_focusBeforeMenuBar;
        else
            focus = nullptr;
    }
    return focus;
}

ActionRouter::Context ActionRouter::currentContext(QWidget* focus) const
{
    QWidget* f = focus ? focus : m_focusOverride.data();
    if (!f && !m_contextStack.isEmpty())
        return m_contextStack.last();
    if (!f)
        f = QApplication::focusWidget();
    if (f && ownerOfPopup(f) != f) {
        // The keyboard is in a popup: its window's own focus stands for it.
        QWidget* owner = ownerOfPopup(f);
        f = owner ? focusIn(owner->window()) : nullptr;
        if (!f && owner)
            return Context{owner->window(), nullptr};
    }
    if (qobject_cast<QMenuBar*>(f))
        f = focusIn(f->window());
    QWidget* window = f ? f->window() : QApplication::activeWindow();
    if (window && isPopup(window)) {
        QWidget* owner = ownerOfPopup(window);
        window = owner ? owner->window() : nullptr;
    }
    if (!window)
        window = lastMainWindow();
    if (!f && window)
        f = focusIn(window);
    return Context{window, f};
}

ActionRouter::Context ActionRouter::contextForItem(const QObject* item) const
{
    QWidget* window = windowOfItem(item);
    if (!window)
        return currentContext(nullptr);
    return Context{window, focusIn(window)};
}

Responder* ActionRouter::editResponderFor(QWidget* widget) const
{
    QWidget* editor = EditWidgetResponder::editorOf(widget);
    if (!editor)
        return nullptr;
    auto it = m_editResponders.find(editor);
    if (it == m_editResponders.end()) {
        it = m_editResponders.insert(editor, std::make_shared<EditWidgetResponder>(editor));
        connect(editor, &QObject::destroyed, this, [this, editor] { m_editResponders.remove(editor); });
    }
    return it->get();
}

QList<Responder*> ActionRouter::chain(const Context& context, const QString& action) const
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
    QWidget* window = context.window;
    QWidget* focus = context.focus;
    const bool textCommand = isTextCommand(action);
    // A window that claims the action takes it before the widget with the keyboard.
    if (window && !action.isEmpty() && m_claimedActions.value(window).contains(action))
        addWithNext(m_windowResponders.value(window));
    // The focused widget and its ancestors; past the window's edge (a panel that
    // belongs to a view) only for commands that are not about the text.
    bool first = true;
    for (QWidget* w = focus ? focus : window; w; w = w->parentWidget()) {
        if (w->window() != window && textCommand)
            break;
        auto* responder = dynamic_cast<Responder*>(w);
        if (!responder && first)
            responder = editResponderFor(w);
        addWithNext(responder);
        first = false;
    }
    // The window's controller, then (for a dialog or panel) the windows it belongs to.
    bool hasWindowResponder = false;
    for (QWidget* win = window; win; win = win->parentWidget() ? win->parentWidget()->window() : nullptr) {
        if (win != window && textCommand)
            break;
        hasWindowResponder = hasWindowResponder || m_windowResponders.contains(win);
        addWithNext(m_windowResponders.value(win));
        if (win != window)
            addWithNext(dynamic_cast<Responder*>(win));
    }
    // A panel of its own in front (Find, Go to Line, an insert panel) works on the
    // main window last active behind it: that window's focused view and controller
    // follow, except for text commands, which stay with the text that has the keyboard.
    QWidget* behind = lastMainWindow();
    if (!textCommand && !hasWindowResponder && behind && behind != window && (!window || isPanel(window))) {
        for (QWidget* w = focusIn(behind); w; w = w->parentWidget())
            addWithNext(dynamic_cast<Responder*>(w));
        addWithNext(m_windowResponders.value(behind));
    }
    addWithNext(m_delegate);
    return chain;
}

QList<Responder*> ActionRouter::responderChain(QWidget* focus, const QString& action) const
{
    return chain(currentContext(focus), action);
}

QList<Responder*> ActionRouter::responderChainForItem(const QObject* item, const QString& action) const
{
    return chain(contextForItem(item), action);
}

Responder* ActionRouter::targetInContext(const QString& action, const Context& context) const
{
    if (action.isEmpty())
        return nullptr;
    for (Responder* r : chain(context, action))
        if (r->respondsToAction(action))
            return r;
    return nullptr;
}

Responder* ActionRouter::targetForAction(const QString& action, QWidget* focus) const
{
    return targetInContext(action, currentContext(focus));
}

Responder* ActionRouter::targetForItem(const QString& action, const QObject* item) const
{
    return targetInContext(action, contextForItem(item));
}

bool ActionRouter::sendAction(const QString& action, QObject* sender, QWidget* focus)
{
    // A menu item or button sent it: the action acts on that item's window.
    const bool fromItem = !focus && sender && (qobject_cast<QAction*>(sender) || sender->isWidgetType())
        && windowOfItem(sender);
    const Context context = fromItem ? contextForItem(sender) : currentContext(focus);
    Responder* target = targetInContext(action, context);
    if (!target)
        return false;
    {
        ContextScope scope(*this, context);
        target->performAction(action, sender);
    }
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
    installFilter();
    validateAction(item);
}

void ActionRouter::installFilter()
{
    if (m_filterInstalled || !qApp)
        return;
    qApp->installEventFilter(this);
    connect(qApp, &QApplication::focusChanged, this, [this](QWidget* old, QWidget* now) {
        // The widget the menu bar took the keyboard from (not a menu of the bar,
        // which hands the keyboard back to the bar when it closes).
        if (qobject_cast<QMenuBar*>(now) && old && !qobject_cast<QMenuBar*>(old) && ownerOfPopup(old) == old)
            m_focusBeforeMenuBar = old;
        scheduleValidation();
    });
    m_filterInstalled = true;
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
    const Context context = contextForItem(item);
    Responder* target = targetInContext(action, context);
    bool enabled = false;
    if (target) {
        ContextScope scope(*this, context);
        enabled = target->validateAction(action, item);
    }
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
            // A submenu of commands only is enabled when one of them is.
            bool commandsOnly = true;
            bool any = false;
            bool hasItems = false;
            for (QAction* item : a->menu()->actions()) {
                if (item->isSeparator())
                    continue;
                if (item->menu() || actionOf(item).isEmpty()) {
                    commandsOnly = false;
                    break;
                }
                hasItems = true;
                route(item);
                any = validateAction(item) || any;
            }
            if (commandsOnly && hasItems)
                a->setEnabled(any);
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

bool ActionRouter::claimsShortcut(QWidget* focus, const QKeySequence& typed) const
{
    QWidget* window = focus ? focus->window() : nullptr;
    const QSet<QString> claimed = m_claimedActions.value(window);
    if (claimed.isEmpty())
        return false;
    for (const QPointer<QAction>& a : m_actions) {
        if (!a || !a->isEnabled() || !claimed.contains(actionOf(a)) || !a->shortcuts().contains(typed))
            continue;
        if (windowOfItem(a) == window)
            return true;
    }
    return false;
}

bool ActionRouter::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::WindowActivate && watched->isWidgetType()) {
        auto* widget = static_cast<QWidget*>(watched);
        if (widget->isWindow() && !isPopup(widget) && !isPanel(widget))
            m_lastMainWindow = widget;
    }
    if (event->type() == QEvent::KeyRelease || event->type() == QEvent::MouseButtonRelease) {
        if (watched->isWidgetType() && !m_actions.isEmpty())
            m_idleTimer->start();
    } else if (event->type() == QEvent::ShortcutOverride && watched->isWidgetType()
               && (watched == QApplication::focusWidget()
                   || (!QApplication::focusWidget() && static_cast<QWidget*>(watched)->isWindow()))) {
        // (Once per key: the event also travels up through the focus widget's parents.)
        // Validate the items this key would trigger before the shortcut is looked up,
        // so that a key never runs an action that cannot run now and never fails to
        // run one that can.
        auto* key = static_cast<QKeyEvent*>(event);
        const int code = key->key();
        if (code != 0 && code != Qt::Key_unknown && code != Qt::Key_Control && code != Qt::Key_Shift
            && code != Qt::Key_Alt && code != Qt::Key_Meta) {
            const Qt::KeyboardModifiers mods = key->modifiers() & ~Qt::KeypadModifier;
            const QKeySequence typed(QKeyCombination(mods, Qt::Key(code)));
            validateForShortcut(typed);
            // Symbols typed with Shift ("+" on many layouts) also match their plain form, as Qt's own lookup does.
            if ((mods & Qt::ShiftModifier) && code < Qt::Key_Escape && !QChar(code).isLetter())
                validateForShortcut(QKeySequence(QKeyCombination(mods & ~Qt::ShiftModifier, Qt::Key(code))));
            // A key of an action the window claims reaches the window, not the field's own handling.
            if (claimsShortcut(static_cast<QWidget*>(watched), typed)) {
                event->ignore();
                return true;
            }
        }
    }
    return QObject::eventFilter(watched, event);
}

} // namespace kit
