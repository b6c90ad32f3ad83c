#pragma once
// Sends named actions along the responder chain and keeps the QActions that send
// them enabled exactly when something in the chain takes them.
//
// The chain: the focus widget and its ancestors that are responders (each
// followed by its nextResponder()s), then the responder registered for the active
// window (its controller, and through nextResponder() its document), then the
// application delegate and its nextResponder()s.

#include <QAction>
#include <QHash>
#include <QKeySequence>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QSet>
#include <QString>
#include <QWidget>

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

    /// The chain for the given focus widget and its window (both default to the
    /// application's focus widget and active window).
    QList<Responder*> responderChain(QWidget* focus = nullptr) const;
    /// The first responder in the chain that takes the action, or null.
    Responder* targetForAction(const QString& action, QWidget* focus = nullptr) const;
    /// Performs the action on its target; false when nothing took it.
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

    /// Enables the item when a responder takes its action and validates it;
    /// answers the new state. Items that send no action are left alone.
    bool validateAction(QAction* item);
    void validateMenu(QMenu* menu);
    /// Validates every attached action. scheduleValidation() does it on the next
    /// turn (coalesced); after user input (key or mouse release) it also happens
    /// once the input pauses, which keeps toolbar buttons current.
    void validateAllActions();
    void scheduleValidation();
    /// A validation of every item waits for the next turn or for the input to pause.
    bool isValidationScheduled() const { return m_validationTimer->isActive() || m_idleTimer->isActive(); }

    /// Tests and tools: the focus widget to use instead of the application's.
    void setFocusOverrideForTesting(QWidget* focus) { m_focusOverride = focus; }

    /// Called by ~Responder so no dangling responder stays registered.
    static void responderDestroyed(Responder* responder);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void validateForShortcut(const QKeySequence& typed);
    void route(QAction* item);

    Responder* m_delegate = nullptr;
    QHash<QWidget*, Responder*> m_windowResponders;
    QList<QPointer<QAction>> m_actions;
    QPointer<QWidget> m_focusOverride;
    // The window last activated: the chain's window while none is active (focus
    // inside an embedded native view, or no window manager to activate one).
    QPointer<QWidget> m_lastActiveWindow;
    // The widget that had the keyboard before a menu bar took it (Alt).
    QPointer<QWidget> m_focusBeforeMenuBar;
    QTimer* m_validationTimer = nullptr;
    QTimer* m_idleTimer = nullptr;
    bool m_filterInstalled = false;
};

} // namespace kit
