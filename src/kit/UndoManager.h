#pragma once
// Undo and redo stacks of closures, grouped by event or by explicit groups.

#include <QObject>
#include <QString>
#include <functional>
#include <vector>

namespace kit {

class UndoManager : public QObject {
    Q_OBJECT
public:
    explicit UndoManager(QObject* parent = nullptr);
    ~UndoManager() override;

    /// Records an action that undoes a change. While undoing it goes onto the redo
    /// stack; otherwise onto the undo stack (and a fresh change clears the redo stack).
    void registerUndo(std::function<void()> action);
    /// Names the group being recorded ("Typing", "Paste" ...).
    void setActionName(const QString& name);

    void beginUndoGrouping();
    void endUndoGrouping();
    int groupingLevel() const { return m_level; }
    /// With groups by event (the default) a registration outside an explicit group opens
    /// a group that closes on the next turn of the event loop.
    void setGroupsByEvent(bool on) { m_groupsByEvent = on; }
    bool groupsByEvent() const { return m_groupsByEvent; }
    /// Changes were recorded in a group that is still open (they count as done once it closes).
    bool hasOpenChanges() const { return m_hasOpen && !m_open.actions.empty() && !m_undoing && !m_redoing; }

    bool canUndo() const;
    bool canRedo() const;
    void undo();
    void redo();
    /// Undoes the group being recorded (closing it first).
    void undoNestedGroup() { undo(); }
    bool isUndoing() const { return m_undoing; }
    bool isRedoing() const { return m_redoing; }

    void disableUndoRegistration() { ++m_disabled; }
    void enableUndoRegistration() { if (m_disabled > 0) --m_disabled; }
    bool isUndoRegistrationEnabled() const { return m_disabled == 0; }

    void removeAllActions();
    /// Ends the group this event opened and any typing run that would otherwise
    /// run on into the same undo step: the next edit starts a group of its own
    /// (a save is such a boundary).
    void breakCoalescing();
    QString undoActionName() const;
    QString redoActionName() const;
    QString undoMenuItemTitle() const;
    QString redoMenuItemTitle() const;

    void setLevelsOfUndo(int levels) { m_levels = levels; }
    int levelsOfUndo() const { return m_levels; }

    /// Number of closed groups on the undo stack (tests, change tracking).
    int undoCount() const { return int(m_undo.size()); }
    int redoCount() const { return int(m_redo.size()); }

Q_SIGNALS:
    void didCloseUndoGroup();
    void didUndo();
    void didRedo();
    void didRemoveAllActions();
    /// Views that coalesce typing end their run.
    void coalescingBroken();
    /// Any change of what can be undone or redone.
    void stateChanged();

private:
    struct Group {
        std::vector<std::function<void()>> actions;
        QString name;
    };
    void closeOpenGroup();
    void openAutoGroup();
    void perform(std::vector<Group>& from, bool undoing);

    std::vector<Group> m_undo;
    std::vector<Group> m_redo;
    Group m_open;
    bool m_hasOpen = false;
    bool m_autoGroup = false;
    bool m_autoScheduled = false;
    int m_level = 0;
    int m_disabled = 0;
    int m_levels = 0;
    bool m_groupsByEvent = true;
    bool m_undoing = false;
    bool m_redoing = false;
    // Where registrations go while an undo or redo runs.
    std::vector<Group>* m_target = nullptr;
};

} // namespace kit
