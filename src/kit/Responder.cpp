#include "kit/Responder.h"

#include "kit/ActionRouter.h"

namespace kit {

Responder::~Responder() { ActionRouter::responderDestroyed(this); }

bool Responder::respondsToAction(const QString& action) const { return m_actions.contains(action); }

void Responder::performAction(const QString& action, QObject* sender)
{
    auto it = m_actions.constFind(action);
    if (it == m_actions.constEnd() || !it->perform)
        return;
    // A copy: the action may remove itself.
    const Performer perform = it->perform;
    perform(sender);
}

bool Responder::validateAction(const QString& action, QAction* item)
{
    auto it = m_actions.constFind(action);
    if (it == m_actions.constEnd() || !it->validate)
        return true;
    return it->validate(item);
}

void Responder::registerAction(const QString& action, Performer perform, Validator validate)
{
    m_actions.insert(action, Entry{std::move(perform), std::move(validate)});
}

void Responder::unregisterAction(const QString& action) { m_actions.remove(action); }

} // namespace kit
