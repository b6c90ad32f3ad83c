#include "componentui/KELComponentUndoManager.h"

#include "componentui/KELIndexedVariableController.h"
#include "componentui/KELVariableController.h"
#include "kit/NotificationCenter.h"

#include <QTimer>

// --- Actions

void KELComponentUndoAction::registerUndoOperations(KELComponentUndoManager& manager, const QString& keyPath, KELVariableController& controller)
{
    // Undoing does nothing but put the named step on the other stack.
    const QPointer<KELComponentUndoManager> target(&manager);
    const std::weak_ptr<kit::KeyValueObject> weakController = controller.shared_from_this();
    const std::shared_ptr<KELComponentUndoAction> self = shared_from_this();
    manager.registerUndo([target, weakController, keyPath, self] {
        const auto object = std::static_pointer_cast<KELVariableController>(weakController.lock());
        if (target && object)
            target->registerUndoForKeyPath(keyPath, *object, self);
    });
}

void KELComponentSimpleSetUndoAction::registerUndoOperations(KELComponentUndoManager& manager, const QString& keyPath,
    KELVariableController& controller)
{
    const std::weak_ptr<kit::KeyValueObject> weakController = controller.shared_from_this();
    const QVariant old = oldValue();
    manager.registerUndo([weakController, keyPath, old] {
        if (const auto object = std::static_pointer_cast<KELVariableController>(weakController.lock()))
            object->undoSetValue(old, keyPath);
    });
}

void KELComponentMoveVariableControllerUndoAction::registerUndoOperations(KELComponentUndoManager& manager, const QString&,
    KELVariableController& controller)
{
    const std::weak_ptr<kit::KeyValueObject> weakController = controller.shared_from_this();
    const QList<qsizetype> from = fromIndexes;
    const QList<qsizetype> to = toIndexes;
    manager.registerUndo([weakController, from, to] {
        const auto object = weakController.lock();
        if (auto* indexed = dynamic_cast<KELIndexedVariableController*>(object.get()))
            indexed->moveVariableControllersFromIndexes(to, from);
    });
}

// --- Manager

KELComponentUndoManager::KELComponentUndoManager(std::shared_ptr<KELVariableController> rootController, QObject* parent)
    : kit::UndoManager(parent), m_rootController(std::move(rootController))
{
    setGroupsByEvent(true);
    // Nothing left to undo means nothing changed (a restored window, an opening
    // normalisation): the count starts again from zero.
    connect(this, &kit::UndoManager::didRemoveAllActions, this, [this] {
        m_changeCount = 0;
        m_lastChangeController.reset();
        m_lastChangeKeyPath.clear();
        resetUndoGroup();
    });
    // Each undo or redo is a step of its own, however many run in one event.
    connect(this, &kit::UndoManager::didUndo, this, &KELComponentUndoManager::resetUndoGroup);
    connect(this, &kit::UndoManager::didRedo, this, &KELComponentUndoManager::resetUndoGroup);
    if (m_rootController) {
        m_rootController->setUndoManager(this);
        observeKeyPathsForController(*m_rootController);
    }
}

KELComponentUndoManager::~KELComponentUndoManager()
{
    stopObservingAllControllers();
    if (m_rootController && m_rootController->undoManager() == this)
        m_rootController->setUndoManager(nullptr);
}

void KELComponentUndoManager::observeKeyPathsForController(KELVariableController& controller)
{
    const KELComponentValueMap paths = controller.rootKeyPaths();
    for (auto it = paths.cbegin(); it != paths.cend(); ++it)
        observeController(controller, it.key(), it.value());
}

void KELComponentUndoManager::observeController(KELVariableController& controller, const QString& keyPath, const KELComponentValue& value)
{
    Observed& observed = m_observed[&controller];
    observed.controller = controller.shared_from_this();
    observed.values.insert(keyPath, value);
    if (!observed.tokens.contains(keyPath)) {
        KELVariableController* object = &controller;
        observed.tokens.insert(keyPath, controller.addObserver(keyPath, [this, object](const kit::KeyValueChange& change) {
            valueChanged(object, change);
        }));
    }
    // The children of indexed editors publish key paths of their own.
    const QVariant current = controller.valueForKeyPath(keyPath);
    if (current.metaType().id() == QMetaType::QVariantList) {
        for (const QVariant& item : current.toList()) {
            if (auto child = std::dynamic_pointer_cast<KELVariableController>(kit::KeyValueObject::toObject(item)))
                observeKeyPathsForController(*child);
        }
    }
}

void KELComponentUndoManager::stopObservingKeyPathsForController(KELVariableController& controller)
{
    const auto found = m_observed.find(&controller);
    if (found == m_observed.end())
        return;
    if (const auto alive = found->controller.lock()) {
        for (int token : std::as_const(found->tokens))
            alive->removeObserver(token);
    }
    m_observed.erase(found);
}

void KELComponentUndoManager::stopObservingAllControllers()
{
    const QList<KELVariableController*> controllers = m_observed.keys();
    for (KELVariableController* controller : controllers) {
        const auto found = m_observed.find(controller);
        if (found == m_observed.end())
            continue;
        if (const auto alive = found->controller.lock()) {
            for (int token : std::as_const(found->tokens))
                alive->removeObserver(token);
        }
        m_observed.erase(found);
    }
}

void KELComponentUndoManager::valueChanged(KELVariableController* controller, const kit::KeyValueChange& change)
{
    const auto found = m_observed.constFind(controller);
    if (found != m_observed.cend()) {
        const auto value = found->values.constFind(change.keyPath);
        if (value != found->values.cend() && value->enabled) {
            // The editor that owns the value may have switched its undo off for the moment.
            const qsizetype dot = change.keyPath.lastIndexOf(QLatin1Char('.'));
            const auto owner = dot < 0 ? controller->shared_from_this() : kit::KeyValueObject::toObject(controller->valueForKeyPath(change.keyPath.left(dot)));
            const auto* leaf = dynamic_cast<const KELVariableController*>(owner.get());
            const bool undoable = !leaf || leaf->undoEnabledForKey(change.keyPath.mid(dot + 1));
            if (change.kind == kit::KeyValueChange::Setting && !undoable) {
                // Recorded nowhere: the change is not the user's.
            } else if (change.kind == kit::KeyValueChange::Setting) {
                auto action = KELComponentSimpleSetUndoAction::undoAction();
                action->setActionName(value->undoActionName);
                action->setGroupConsecutiveUndos(value->groupConsecutiveUndos);
                action->setOldValue(change.oldValue);
                registerUndoForKeyPath(change.keyPath, *controller, action);
            } else {
                for (const QVariant& item : change.oldValue.toList()) {
                    if (auto child = std::dynamic_pointer_cast<KELVariableController>(kit::KeyValueObject::toObject(item)))
                        stopObservingKeyPathsForController(*child);
                }
                for (const QVariant& item : change.newValue.toList()) {
                    if (auto child = std::dynamic_pointer_cast<KELVariableController>(kit::KeyValueObject::toObject(item)))
                        observeKeyPathsForController(*child);
                }
            }
        }
    }
    kit::NotificationCenter::defaultCenter().post(KELComponentVariableValueChangedNotification, this,
        QVariantMap { { KELComponentVariableKeyPath, change.keyPath } });
}

void KELComponentUndoManager::registerUndoForKeyPath(const QString& keyPath, KELVariableController& controller,
    const std::shared_ptr<KELComponentUndoAction>& action)
{
    if (!action)
        return;
    const bool undoing = isUndoing();
    const bool redoing = isRedoing();
    const bool first = !m_currentGroupHasPrimaryUndo;
    if (first) {
        m_currentGroupShouldRegisterUndos = undoing || redoing || !action->groupConsecutiveUndos()
            || m_lastChangeController.lock().get() != &controller || m_lastChangeKeyPath != keyPath;
    }
    if (m_currentGroupShouldRegisterUndos) {
        if (undoing || redoing) {
            m_lastChangeController.reset();
            m_lastChangeKeyPath.clear();
        } else if (first) {
            m_lastChangeController = std::static_pointer_cast<KELVariableController>(controller.shared_from_this());
            m_lastChangeKeyPath = keyPath;
        }
        // The group exists once something is registered: name it then.
        action->registerUndoOperations(*this, keyPath, controller);
        if (undoing || first)
            setActionName(action->actionName());
    }
    if (first) {
        QTimer::singleShot(0, this, &KELComponentUndoManager::resetUndoGroup);
        m_currentGroupHasPrimaryUndo = true;
        if (m_currentGroupShouldRegisterUndos)
            m_changeCount += undoing ? -1 : 1;
    }
}

void KELComponentUndoManager::resetUndoGroup()
{
    m_currentGroupHasPrimaryUndo = false;
    m_currentGroupShouldRegisterUndos = true;
}
