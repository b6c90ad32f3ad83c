#pragma once
// Sends named actions along the responder chain and keeps the QActions that send
// them enabled exactly when something in the chain takes them.
//
// A command acts on a window: the window of the menu bar, toolbar or panel its
// item lives in, or, for a command sent without an item, the key window. The
// chain of a window: the window's focused widget and its ancestors that are
// responders (each followed by its nextResponder()s; a plain text field stands
// for itself with its own editing commands), then the responder registered for
// the window (its controller, and through nextResponder() its document), then
// the responders of the windows it belongs to, and, for a panel of its own (Find,
// Go to Line, an insert panel), the window it works on, the main window last
// active behind it; finally the application delegate.
//
// Text commands (cut, copy, paste, delete, select all) act only on the text that
// has the keyboard in the command's window: they never reach a window behind.

#include <QAction>
#include <QHash>
#include <QKeySequence>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QSet>
#include <QString>
#include <QWidget>

#include <memory>

class QMenu;
class QTimer;

namespace kit {

class Responder;

class ActionRouter : public QObject {
    Q_OBJECT
public:
    /// The property of a QAction that names the action it sends.
    static constexpr const char* ActionProperty = "kelpAction";

    static ActionRouter& shared();

    ActionRouter();
    ~ActionRouter() override;

    void setApplicationDelegate(Responder* delegate);
    Responder* applicationDelegate() const { return m_delegate; }
    /// The responder of a window (its controller); removed with the window, or
    /// with null.
    void setWindowResponder(QWidget* window, Responder* responder);
    Responder* windowResponder(QWidget* window) const;
    /// Actions the window's responder takes before the widget with the keyboard:
    /// a window with one undo for all of its fields claims "undo:" and "redo:", and
    /// their keys then reach it even from a text field that has an undo of its own.
    void setWindowClaimsActions(QWidget* window, const QStringList& actions);

    /// Whether the action works on the selected text (cut, copy, paste, delete,
    /// select all): such an action never goes to a window behind the key window.
    static bool isTextCommand(const QString& action);
    /// Whether the window is a panel that works on the window behind it (a tool
    /// window or a dialog that has no controller of its own).
    bool isPanel(const QWidget* window) const;
    /// The main window last active (the one a panel in front works on).
    QWidget* lastMainWindow() const;

    /// The chain for the given focus widget and its window (both default to the
    /// key window and its focus widget). With an action, the chain that action
    /// travels (text commands stop at the focus widget's window).
    QList<Responder*> responderChain(QWidget* focus = nullptr, const QString& action = {}) const;
    /// The chain of the window the item (a menu item, a toolbar button, a key of a
    /// panel) acts on.
    QList<Responder*> responderChainForItem(const QObject* item, const QString& action = {}) const;
    /// The first responder in the chain that takes the action, or null. Asked
    /// while an item is validated or performed, the item's window's chain.
    Responder* targetForAction(const QString& action, QWidget* focus = nullptr) const;
    Responder* targetForItem(const QString& action, const QObject* item) const;
    /// Performs the action on its target; false when nothing took it. The sender,
    /// when it is an item, names the window the action acts on.
    bool sendAction(const QString& action, QObject* sender = nullptr, QWidget* focus = nullptr);

    /// Makes a QAction send the action: sets its property, routes its triggers and
    /// validates it when its menu shows, when its shortcut is typed, and when focus
    /// or windows change.
    void attachAction(QAction* item, const QString& action);
    QAction* makeAction(const QString& title, const QString& action, QObject* parent,
                        const QKeySequence& shortcut = {});
    static QString actionOf(const QAction* item);

    /// Validates the menu's items each time it is about to show (submenus too).
    /// Items that carry an action name (the property) are routed as by attachAction().
    void attachMenu(QMenu* menu);

    /// Enables the item when a responder of its window's chain takes its action and
    /// validates it; answers the new state. Items that send no action are left alone.
    bool validateAction(QAction* item);
    void validateMenu(QMenu* menu);
    /// Validates every attached action. scheduleValidation() does it on the next
    /// turn (coalesced); after user input (key or mouse release) it also happens
    /// once the input pauses, which keeps toolbar buttons current.
    void validateAllActions();
    void scheduleValidation();
    /// A validation of every item waits for the next turn or for the input to pause.
    bool isValidationScheduled() const { return m_validationTimer->isActive() || m_idleTimer->isActive(); }

    /// The window an item acts on (null when it belongs to no window).
    static QWidget* windowOfItem(const QObject* item);
    /// The window the command being validated or performed acts on; outside of
    /// one, the key window (or the main window last active).
    QWidget* commandWindow() const;

    /// Tests and tools: the focus widget to use instead of the application's.
    void setFocusOverrideForTesting(QWidget* focus) { m_focusOverride = focus; }

    /// Called by ~Responder so no dangling responder stays registered.
    static void responderDestroyed(Responder* responder);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    struct Context {
        QPointer<QWidget> window;
        QPointer<QWidget> focus;
    };
    class ContextScope;
    Context currentContext(QWidget* focus) const;
    Context contextForItem(const QObject* item) const;
    /// The widget that has (or last had) the keyboard in the window.
    QWidget* focusIn(QWidget* window) const;
    QList<Responder*> chain(const Context& context, const QString& action) const;
    Responder* editResponderFor(QWidget* widget) const;
    Responder* targetInContext(const QString& action, const Context& context) const;
    void validateForShortcut(const QKeySequence& typed);
    bool claimsShortcut(QWidget* focus, const QKeySequence& typed) const;
    void route(QAction* item);
    void installFilter();

    Responder* m_delegate = nullptr;
    QHash<QWidget*, Responder*> m_windowResponders;
    QHash<QWidget*, QSet<QString>> m_claimedActions;
    mutable QHash<QWidget*, std::shared_ptr<Responder>> m_editResponders;
    QList<QPointer<QAction>> m_actions;
    QPointer<QWidget> m_focusOverride;
    // The main window last activated: the window a panel works on, and the chain's
    // window while none is active (focus inside an embedded native view, or no
    // window manager to activate one).
    QPointer<QWidget> m_lastMainWindow;
    // The widget that had the keyboard before a menu bar took it (Alt).
    QPointer<QWidget> m_focusBeforeMenuBar;
    // The window of the item being validated or performed.
    QList<Context> m_contextStack;
    QTimer* m_validationTimer = nullptr;
    QTimer* m_idleTimer = nullptr;
    bool m_filterInstalled = false;
};

} // namespace kit
