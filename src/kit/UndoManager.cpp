#include "kit/UndoManager.h"

#include <QTimer>

namespace kit {

UndoManager::UndoManager(QObject* parent) : QObject(parent) {}
UndoManager::~UndoManager() = default;

void UndoManager::openAutoGroup()
{
    m_hasOpen = true;
    m_autoGroup = true;
    m_open = Group();
    if (!m_autoScheduled) {
        m_autoScheduled = true;
        QTimer::singleShot(0, this, [this] {
            m_autoScheduled = false;
            if (m_hasOpen && m_autoGroup && m_level == 0)
                closeOpenGroup();
        });
    }
}

void UndoManager::registerUndo(std::function<void()> action)
{
    if (!action || m_disabled > 0)
        return;
    if (m_undoing || m_redoing) {
        // Registrations during an undo or redo build the group of the other stack.
        m_open.actions.push_back(std::move(action));
        return;
    }
    if (!m_hasOpen) {
        if (!m_groupsByEvent)
            beginUndoGrouping();
        else
            openAutoGroup();
    }
    m_open.actions.push_back(std::move(action));
}

void UndoManager::setActionName(const QString& name)
{
    if (m_hasOpen || m_undoing || m_redoing)
        m_open.name = name;
    else if (!m_undo.empty())
        m_undo.back().name = name;
}

void UndoManager::beginUndoGrouping()
{
    if (m_undoing || m_redoing) {
        ++m_level;
        return;
    }
    if (m_level == 0) {
        if (m_hasOpen && m_autoGroup)
            closeOpenGroup();
        if (!m_hasOpen) {
            m_hasOpen = true;
            m_open = Group();
        }
        m_autoGroup = false;
    }
    ++m_level;
}

void UndoManager::endUndoGrouping()
{
    if (m_level == 0)
        return;
    --m_level;
    if (m_level == 0 && !m_undoing && !m_redoing)
        closeOpenGroup();
}

void UndoManager::closeOpenGroup()
{
    if (!m_hasOpen)
        return;
    m_hasOpen = false;
    m_autoGroup = false;
    if (m_open.actions.empty()) {
        m_open = Group();
        return;
    }
    m_undo.push_back(std::move(m_open));
    m_open = Group();
    m_redo.clear();
    if (m_levels > 0 && int(m_undo.size()) > m_levels)
        m_undo.erase(m_undo.begin());
    Q_EMIT didCloseUndoGroup();
    Q_EMIT stateChanged();
}

void UndoManager::breakCoalescing()
{
    if (m_hasOpen && m_autoGroup && m_level == 0 && !m_undoing && !m_redoing)
        closeOpenGroup();
    Q_EMIT coalescingBroken();
}

bool UndoManager::canUndo() const
{
    return !m_undo.empty() || (m_hasOpen && !m_open.actions.empty() && !m_undoing && !m_redoing);
}

bool UndoManager::canRedo() const
{
    return !m_redo.empty() && !(m_hasOpen && !m_open.actions.empty());
}

void UndoManager::perform(std::vector<Group>& from, bool undoing)
{
    if (from.empty())
        return;
    Group g = std::move(from.back());
    from.pop_back();
    (undoing ? m_undoing : m_redoing) = true;
    const int savedLevel = m_level;
    m_open = Group();
    m_open.name = g.name;
    for (auto it = g.actions.rbegin(); it != g.actions.rend(); ++it)
        (*it)();
    m_level = savedLevel;
    (undoing ? m_undoing : m_redoing) = false;
    if (!m_open.actions.empty()) {
        if (undoing) {
            m_redo.push_back(std::move(m_open));
        } else {
            m_undo.push_back(std::move(m_open));
        }
    }
    m_open = Group();
    if (undoing)
        Q_EMIT didUndo();
    else
        Q_EMIT didRedo();
    Q_EMIT stateChanged();
}

void UndoManager::undo()
{
    if (m_undoing || m_redoing)
        return;
    if (m_hasOpen) {
        m_level = 0;
        closeOpenGroup();
    }
    perform(m_undo, true);
}

void UndoManager::redo()
{
    if (m_undoing || m_redoing)
        return;
    if (m_hasOpen) {
        m_level = 0;
        closeOpenGroup();
    }
    perform(m_redo, false);
}

void UndoManager::removeAllActions()
{
    m_undo.clear();
    m_redo.clear();
    m_open = Group();
    m_hasOpen = false;
    m_autoGroup = false;
    m_level = 0;
    Q_EMIT didRemoveAllActions();
    Q_EMIT stateChanged();
}

QString UndoManager::undoActionName() const
{
    if (m_hasOpen && !m_open.actions.empty())
        return m_open.name;
    return m_undo.empty() ? QString() : m_undo.back().name;
}

QString UndoManager::redoActionName() const
{
    return m_redo.empty() ? QString() : m_redo.back().name;
}

QString UndoManager::undoMenuItemTitle() const
{
    const QString n = undoActionName();
    return n.isEmpty() ? tr("Undo") : tr("Undo %1").arg(n);
}

QString UndoManager::redoMenuItemTitle() const
{
    const QString n = redoActionName();
    return n.isEmpty() ? tr("Redo") : tr("Redo %1").arg(n);
}

} // namespace kit
