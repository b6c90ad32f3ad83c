#pragma once
// Undo and redo of the edits in a component window. The manager watches every
// key path the editor controllers publish, turns each change into an undo step
// (runs of edits of one value merge where the value asks for it), counts the
// steps so the window knows whether it has changes, and tells the window of
// every change through one notification.

#include "kit/KeyValueObject.h"
#include "kit/UndoManager.h"

#include <QHash>
#include <QList>
#include <QString>
#include <QVariant>
#include <memory>

class KELVariableController;
class KELComponentUndoManager;

/// Posted after every observed change; object: the undo manager.
inline const QString KELComponentVariableValueChangedNotification = QStringLiteral("KELComponentVariableValueChangedNotification");
/// User-info key of that notification: the changed key path.
inline const QString KELComponentVariableKeyPath = QStringLiteral("KELComponentVariableKeyPath");

/// Describes one published key path: how its undo step is named and whether
/// consecutive edits of it merge into one step.
struct KELComponentValue {
    QString undoActionName;
    bool groupConsecutiveUndos = false;
    /// A disabled key path is observed and notified but never gets an undo step.
    bool enabled = true;

    static KELComponentValue componentValue(const QString& name = QString(), bool group = false)
    {
        return KELComponentValue { name, group, true };
    }
};

/// Key path (relative to a controller) → how it is undone.
using KELComponentValueMap = QHash<QString, KELComponentValue>;

/// An undo step that changes nothing: it keeps a named place in the undo and redo
/// stacks, so an editor can name a step that several value changes join.
class KELComponentUndoAction : public std::enable_shared_from_this<KELComponentUndoAction> {
public:
    virtual ~KELComponentUndoAction() = default;
    static std::shared_ptr<KELComponentUndoAction> undoAction() { return std::make_shared<KELComponentUndoAction>(); }

    const QString& actionName() const { return m_actionName; }
    void setActionName(const QString& name) { m_actionName = name; }
    bool groupConsecutiveUndos() const { return m_groupConsecutiveUndos; }
    void setGroupConsecutiveUndos(bool on) { m_groupConsecutiveUndos = on; }

    /// Records what undoing does with the manager.
    virtual void registerUndoOperations(KELComponentUndoManager& manager, const QString& keyPath, KELVariableController& controller);

private:
    QString m_actionName;
    bool m_groupConsecutiveUndos = false;
};

/// Undo sets the old value back.
class KELComponentSimpleSetUndoAction : public KELComponentUndoAction {
public:
    static std::shared_ptr<KELComponentSimpleSetUndoAction> undoAction() { return std::make_shared<KELComponentSimpleSetUndoAction>(); }
    const QVariant& oldValue() const { return m_oldValue; }
    void setOldValue(const QVariant& value) { m_oldValue = value; }
    void registerUndoOperations(KELComponentUndoManager& manager, const QString& keyPath, KELVariableController& controller) override;

private:
    QVariant m_oldValue;
};

/// Undo moves child controllers of an indexed editor back.
class KELComponentMoveVariableControllerUndoAction : public KELComponentUndoAction {
public:
    static std::shared_ptr<KELComponentMoveVariableControllerUndoAction> undoAction()
    {
        return std::make_shared<KELComponentMoveVariableControllerUndoAction>();
    }
    QList<qsizetype> fromIndexes;
    QList<qsizetype> toIndexes;
    void registerUndoOperations(KELComponentUndoManager& manager, const QString& keyPath, KELVariableController& controller) override;
};

class KELComponentUndoManager : public kit::UndoManager {
    Q_OBJECT
public:
    /// A manager that already observes every published key path of the tree.
    explicit KELComponentUndoManager(std::shared_ptr<KELVariableController> rootController, QObject* parent = nullptr);
    ~KELComponentUndoManager() override;

    /// The one entry point for recording an undo step.
    void registerUndoForKeyPath(const QString& keyPath, KELVariableController& controller,
        const std::shared_ptr<KELComponentUndoAction>& action);

    void observeKeyPathsForController(KELVariableController& controller);
    void observeController(KELVariableController& controller, const QString& keyPath, const KELComponentValue& value);
    void stopObservingKeyPathsForController(KELVariableController& controller);
    void stopObservingAllControllers();

    /// Starts a new turn: the next registration decides again.
    void resetUndoGroup();
    bool hasChanges() const { return m_changeCount != 0; }
    /// Steps registered minus steps undone. Removing all actions sets it back to 0
    /// (nothing left to undo means nothing changed).
    qint64 changeCount() const { return m_changeCount; }

    KELVariableController* lastChangeController() const { return m_lastChangeController.lock().get(); }
    const QString& lastChangeKeyPath() const { return m_lastChangeKeyPath; }
    const std::shared_ptr<KELVariableController>& rootController() const { return m_rootController; }

private:
    struct Observed {
        std::weak_ptr<kit::KeyValueObject> controller;
        QHash<QString, KELComponentValue> values;
        QHash<QString, int> tokens;
    };
    void valueChanged(KELVariableController* controller, const kit::KeyValueChange& change);

    std::shared_ptr<KELVariableController> m_rootController;
    QHash<KELVariableController*, Observed> m_observed;
    std::weak_ptr<KELVariableController> m_lastChangeController;
    QString m_lastChangeKeyPath;
    bool m_currentGroupHasPrimaryUndo = false;
    bool m_currentGroupShouldRegisterUndos = true;
    qint64 m_changeCount = 0;
};
