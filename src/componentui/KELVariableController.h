#pragma once
// The editors of a component's variables: one controller per variable, in a tree
// that mirrors the variable tree. The controllers hold the values the templates
// read (by key path, through the key-value layer), build the editor views, keep
// the enabled and hidden states current, and save and restore their values.

#include "componentui/KELComponentUndoManager.h"
#include "components/KELComponentVariable.h"
#include "kit/KeyValueObject.h"

#include <QList>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <QVariantMap>
#include <QWidget>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

class QLabel;
class KELVariableController;
using KELVariableControllerPtr = std::shared_ptr<KELVariableController>;

class KELVariableController : public kit::KeyValueObject {
public:
    using Factory = std::function<KELVariableControllerPtr(const KELComponentVariable&)>;

    ~KELVariableController() override;

    // --- Registry: model class name → controller class
    /// The controller class name for a model class name; empty for none.
    static QString concreteSubclassForVariableClass(const QString& variableClassName);
    /// Adds or replaces a controller kind.
    static void registerControllerClass(const QString& variableClassName, const QString& controllerClassName, Factory factory);

    /// A controller of the kind the variable's class calls for; null for an unknown kind.
    static KELVariableControllerPtr controllerWithVariable(const KELComponentVariable& variable, KELVariableController* root,
        KELVariableController* parent);
    /// The root of a tree, completed (views made when loadsView, states set, observers on);
    /// null for an unknown kind.
    static KELVariableControllerPtr rootControllerWithVariable(const KELComponentVariable& variable, bool loadsView = true);

    const QString& className() const { return m_className; }
    const KELComponentVariable& variable() const { return *m_variable; }
    KELVariableController* root() const { return m_root; }
    KELVariableController* parent() const { return m_parent; }
    std::optional<QString> varName() const { return m_variable->varName(); }
    /// The evaluated name expression, computed once and kept.
    QString name() const;
    /// "name:".
    QString displayTitle() const;
    /// A title in the bold small system font.
    static QLabel* formatTitle(const QString& title, QWidget* parent = nullptr);

    /// The editor's view, built on first request (null when it loads none).
    QWidget* view();
    bool hasView() const { return !m_view.isNull(); }
    void setView(QWidget* view);
    bool loadsView() const { return m_loadsView; }
    void setLoadsView(bool on) { m_loadsView = on; }

    /// Completes the (sub)tree: views, enabled and hidden states, dependency observers.
    virtual void initializationComplete();
    /// Stops observing and releases the views' ties to the controller.
    virtual void controllerWillClose();

    /// Key paths (relative to this controller) whose changes are undoable steps.
    virtual KELComponentValueMap rootKeyPaths() const;
    /// Whether a change of the key (one of this controller's own) is an undo step
    /// now; an editor switches it off while it applies values that are not edits.
    virtual bool undoEnabledForKey(const QString&) const { return true; }
    /// Key paths whose values are saved for window restoration.
    virtual QStringList restorableStateKeyPaths() const;
    virtual void encodeRestorableState(QVariantMap& state) const;
    virtual void restoreState(const QVariantMap& state);

    /// Undo target of simple edits.
    void undoSetValue(const QVariant& value, const QString& keyPath);

    /// Where this controller stands among indexed siblings ("2-3"); climbs to the
    /// nearest indexed ancestor. Empty outside any.
    virtual QString displayIndexForChild(const KELVariableController& child) const;
    QString displayIndex() const;
    virtual QList<qsizetype> indexPathForChild(const KELVariableController& child) const;
    QList<qsizetype> indexPath() const;
    /// The last element of the index path; -1 outside any indexed ancestor.
    qsizetype index() const;

    /// The component undo manager of the tree (set on the root by the window).
    KELComponentUndoManager* undoManager() const;
    void setUndoManager(KELComponentUndoManager* manager);
    bool isUndoing() const;
    bool isRedoing() const;

    /// Re-evaluates the enabled and hidden expressions.
    void updateViewEnabled();
    virtual void valueChangedForKeyPathDependency(const QString& keyPath);

    /// Children that are controllers of the tree (groups and indexed editors).
    virtual QList<KELVariableControllerPtr> childControllers() const { return {}; }

    /// "root", "parent", "index" and "displayIndex" answer where the controller
    /// stands; any other unknown name is looked up among the variables of the
    /// enclosing groups, nearest first (so an editor's expressions reach its
    /// siblings); nil when none has it.
    QVariant valueForUndefinedKey(const QString& key) const override;
    /// The editor of a variable of that name among this controller's own children
    /// (unnamed groups included); nil for none. Never looks further up.
    virtual QVariant resolveName(const QString&) const { return QVariant(); }
    QString description() const override;

protected:
    KELVariableController(const KELComponentVariable& variable, QString className);
    /// Records root and parent (called for every new controller of the tree).
    virtual void initInternal(KELVariableController* root, KELVariableController* parent);
    /// Builds the view when loadsView; the base builds none.
    virtual QWidget* makeView() { return nullptr; }
    /// The value as the controller stores it, without notices (for subclasses).
    void setStoredValue(const QString& key, const QVariant& value) { KeyValueObject::setValue(key, value); }

private:
    const KELComponentVariable* m_variable;
    QString m_className;
    KELVariableController* m_root = nullptr;
    KELVariableController* m_parent = nullptr;
    QPointer<QWidget> m_view;
    QPointer<KELComponentUndoManager> m_undoManager;
    mutable std::optional<QString> m_name;
    bool m_loadsView = true;
    QList<int> m_dependencyTokens;
};

/// Edits a group of variables: builds its children, arranges their views and
/// answers names through its children.
class KELVariableGroupController : public KELVariableController {
public:
    explicit KELVariableGroupController(const KELComponentVariable& variable);
    ~KELVariableGroupController() override;

    const std::vector<KELVariableControllerPtr>& subControllers() const { return m_subControllers; }
    QList<KELVariableControllerPtr> childControllers() const override;

    /// The child controller named key (searching unnamed groups in order), else nil.
    QVariant value(const QString& key) const override;
    QVariant resolveName(const QString& key) const override;
    KELComponentValueMap rootKeyPaths() const override;
    void encodeRestorableState(QVariantMap& state) const override;
    void restoreState(const QVariantMap& state) override;
    void initializationComplete() override;
    void controllerWillClose() override;

    static inline const QString SubControllerDataKey = QStringLiteral("KELVariableGroupControllerSubControllerData");

protected:
    void initInternal(KELVariableController* root, KELVariableController* parent) override;
    QWidget* makeView() override;

private:
    std::vector<KELVariableControllerPtr> m_subControllers;
};
