#pragma once
// Something that handles named actions ("saveDocument:", "undo:" ...) and says
// whether the menu items and buttons that send them are enabled.

#include <QHash>
#include <QString>
#include <functional>

class QAction;
class QObject;

namespace kit {

class Responder {
public:
    virtual ~Responder();

    /// Whether this responder handles the action. The default answers for the
    /// actions registered with registerAction().
    virtual bool respondsToAction(const QString& action) const;
    /// Performs an action this responder handles (sender: the QAction or widget).
    virtual void performAction(const QString& action, QObject* sender);
    /// Whether the item that sends the action is enabled; may also update the
    /// item (title, check mark). Asked only when respondsToAction() holds. The
    /// default answers the validator given to registerAction(), else true.
    virtual bool validateAction(const QString& action, QAction* item);
    /// The responder asked after this one (a window controller answers its
    /// document, a delegate the document controller). Null ends the chain.
    virtual Responder* nextResponder() const { return nullptr; }

    using Performer = std::function<void(QObject* sender)>;
    using Validator = std::function<bool(QAction* item)>;
    /// Handles an action with a function, for responders that don't override.
    void registerAction(const QString& action, Performer perform, Validator validate = {});
    void unregisterAction(const QString& action);
    /// The same, for responders that are not widgets (in a QWidget these names
    /// would clash with QWidget::addAction and removeAction).
    void addAction(const QString& action, Performer perform, Validator validate = {})
    {
        registerAction(action, std::move(perform), std::move(validate));
    }
    void removeAction(const QString& action) { unregisterAction(action); }

private:
    struct Entry {
        Performer perform;
        Validator validate;
    };
    QHash<QString, Entry> m_actions;
};

} // namespace kit
