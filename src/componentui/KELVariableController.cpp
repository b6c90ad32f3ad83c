#include "componentui/KELVariableController.h"

#include "componentui/KELAccordionView.h"
#include "componentui/KELVariableControllerKinds.h"
#include "componentui/KELVariableViews.h"
#include "kit/Log.h"

#include <QHash>
#include <QLabel>
#include <QScrollArea>
#include <QScrollBar>

namespace {

struct Kind {
    QString controllerClassName;
    KELVariableController::Factory factory;
};

QHash<QString, Kind>& registry()
{
    static QHash<QString, Kind> kinds = [] {
        QHash<QString, Kind> table;
        KELRegisterVariableControllerKinds([&table](const QString& model, const QString& controller, KELVariableController::Factory f) {
            table.insert(model, Kind { controller, std::move(f) });
        });
        table.insert(QStringLiteral("KELComponentVariableGroup"),
            Kind { QStringLiteral("KELVariableGroupController"),
                [](const KELComponentVariable& v) { return std::make_shared<KELVariableGroupController>(v); } });
        return table;
    }();
    return kinds;
}

} // namespace

// --- KELVariableController

KELVariableController::KELVariableController(const KELComponentVariable& variable, QString className)
    : m_variable(&variable), m_className(std::move(className))
{
}

KELVariableController::~KELVariableController()
{
    // A view outside the window's tree (never shown) goes with its controller.
    if (m_view && !m_view->parentWidget())
        delete m_view.data();
}

QString KELVariableController::concreteSubclassForVariableClass(const QString& variableClassName)
{
    return registry().value(variableClassName).controllerClassName;
}

void KELVariableController::registerControllerClass(const QString& variableClassName, const QString& controllerClassName, Factory factory)
{
    registry().insert(variableClassName, Kind { controllerClassName, std::move(factory) });
}

KELVariableControllerPtr KELVariableController::controllerWithVariable(const KELComponentVariable& variable, KELVariableController* root,
    KELVariableController* parent)
{
    const auto found = registry().constFind(variable.className());
    if (found == registry().cend() || !found->factory)
        return nullptr;
    KELVariableControllerPtr controller = found->factory(variable);
    if (controller)
        controller->initInternal(root ? root : controller.get(), parent);
    return controller;
}

KELVariableControllerPtr KELVariableController::rootControllerWithVariable(const KELComponentVariable& variable, bool loadsView)
{
    KELVariableControllerPtr root = controllerWithVariable(variable, nullptr, nullptr);
    if (!root)
        return nullptr;
    root->setLoadsView(loadsView);
    root->initializationComplete();
    return root;
}

void KELVariableController::initInternal(KELVariableController* root, KELVariableController* parent)
{
    m_root = root;
    m_parent = parent;
}

QString KELVariableController::name() const
{
    if (!m_name) {
        const KELComponentExpression* expression = m_variable->nameExpression();
        m_name = expression ? KELExpression::stringValue(expression->evaluateWithDataSource(const_cast<KELVariableController&>(*this)))
                            : m_variable->varName().value_or(QString());
    }
    return *m_name;
}

QString KELVariableController::displayTitle() const
{
    return QStringLiteral("%1:").arg(name());
}

QLabel* KELVariableController::formatTitle(const QString& title, QWidget* parent)
{
    auto* label = new QLabel(title, parent);
    QFont font = label->font();
    font.setBold(true);
    font.setPointSizeF(font.pointSizeF() * 0.85);
    label->setFont(font);
    return label;
}

QWidget* KELVariableController::view()
{
    if (!m_view && m_loadsView)
        m_view = makeView();
    return m_view;
}

void KELVariableController::setView(QWidget* view)
{
    m_view = view;
}

void KELVariableController::initializationComplete()
{
    if (m_loadsView)
        view();
    updateViewEnabled();
    for (const QString& keyPath : m_variable->keyPathDependencies()) {
        m_dependencyTokens.append(addObserver(keyPath, [this, keyPath](const kit::KeyValueChange&) {
            valueChangedForKeyPathDependency(keyPath);
        }));
    }
}

void KELVariableController::controllerWillClose()
{
    for (int token : std::as_const(m_dependencyTokens))
        removeObserver(token);
    m_dependencyTokens.clear();
}

KELComponentValueMap KELVariableController::rootKeyPaths() const
{
    return {};
}

QStringList KELVariableController::restorableStateKeyPaths() const
{
    return {};
}

void KELVariableController::encodeRestorableState(QVariantMap& state) const
{
    for (const QString& keyPath : restorableStateKeyPaths())
        state.insert(keyPath, valueForKeyPath(keyPath));
}

void KELVariableController::restoreState(const QVariantMap& state)
{
    for (const QString& keyPath : restorableStateKeyPaths()) {
        if (state.contains(keyPath))
            setValueForKeyPath(keyPath, state.value(keyPath));
    }
}

void KELVariableController::undoSetValue(const QVariant& value, const QString& keyPath)
{
    setValueForKeyPath(keyPath, value);
}

QString KELVariableController::displayIndexForChild(const KELVariableController&) const
{
    return m_parent ? m_parent->displayIndexForChild(*this) : QString();
}

QString KELVariableController::displayIndex() const
{
    return m_parent ? m_parent->displayIndexForChild(*this) : QString();
}

QList<qsizetype> KELVariableController::indexPathForChild(const KELVariableController&) const
{
    return m_parent ? m_parent->indexPathForChild(*this) : QList<qsizetype>();
}

QList<qsizetype> KELVariableController::indexPath() const
{
    return m_parent ? m_parent->indexPathForChild(*this) : QList<qsizetype>();
}

qsizetype KELVariableController::index() const
{
    const QList<qsizetype> path = indexPath();
    return path.isEmpty() ? -1 : path.last();
}

KELComponentUndoManager* KELVariableController::undoManager() const
{
    const KELVariableController* top = m_root ? m_root : this;
    return top->m_undoManager;
}

void KELVariableController::setUndoManager(KELComponentUndoManager* manager)
{
    m_undoManager = manager;
}

bool KELVariableController::isUndoing() const
{
    const KELComponentUndoManager* manager = undoManager();
    return manager && manager->isUndoing();
}

bool KELVariableController::isRedoing() const
{
    const KELComponentUndoManager* manager = undoManager();
    return manager && manager->isRedoing();
}

void KELVariableController::updateViewEnabled()
{
    if (!m_view)
        return;
    if (auto* variableView = qobject_cast<KELVariableView*>(m_view.data())) {
        if (const KELComponentExpression* enabled = m_variable->enabledExpression()) {
            const QVariant value = enabled->evaluateWithDataSource(*this);
            if (value.isValid())
                variableView->setViewEnabled(KELExpression::booleanValue(value));
        }
    }
    if (const KELComponentExpression* hidden = m_variable->hiddenExpression()) {
        const QVariant value = hidden->evaluateWithDataSource(*this);
        if (value.isValid()) {
            if (auto* variableView = qobject_cast<KELVariableView*>(m_view.data()))
                variableView->setViewHidden(KELExpression::booleanValue(value));
            else
                m_view->setVisible(!KELExpression::booleanValue(value));
        }
    }
}

void KELVariableController::valueChangedForKeyPathDependency(const QString&)
{
    updateViewEnabled();
}

QVariant KELVariableController::valueForUndefinedKey(const QString& key) const
{
    if (key == QLatin1String("root"))
        return fromObject(const_cast<KELVariableController*>(m_root ? m_root : this)->shared_from_this());
    if (key == QLatin1String("parent"))
        return m_parent ? fromObject(m_parent->shared_from_this()) : QVariant();
    if (key == QLatin1String("index")) {
        const qsizetype i = index();
        return i >= 0 ? QVariant(qlonglong(i)) : QVariant();
    }
    if (key == QLatin1String("displayIndex")) {
        const QString shown = displayIndex();
        return shown.isEmpty() ? QVariant() : QVariant(shown);
    }
    for (const KELVariableController* up = m_parent; up; up = up->m_parent) {
        const QVariant found = up->resolveName(key);
        if (found.isValid())
            return found;
    }
    return QVariant();
}

QString KELVariableController::description() const
{
    return KELExpression::stringValue(value(QStringLiteral("value")));
}

// --- KELVariableGroupController

KELVariableGroupController::KELVariableGroupController(const KELComponentVariable& variable)
    : KELVariableController(variable, QStringLiteral("KELVariableGroupController"))
{
}

KELVariableGroupController::~KELVariableGroupController() = default;

void KELVariableGroupController::initInternal(KELVariableController* root, KELVariableController* parent)
{
    KELVariableController::initInternal(root, parent);
    const auto* group = dynamic_cast<const KELComponentVariableGroup*>(&variable());
    if (!group)
        return;
    for (const auto& child : group->variables()) {
        if (!child)
            continue;
        KELVariableControllerPtr controller = controllerWithVariable(*child, this->root(), this);
        if (!controller) {
            kit::log(QStringLiteral("Could not create controller for variable: %1").arg(child->className()));
            continue;
        }
        m_subControllers.push_back(std::move(controller));
    }
}

QList<KELVariableControllerPtr> KELVariableGroupController::childControllers() const
{
    return QList<KELVariableControllerPtr>(m_subControllers.begin(), m_subControllers.end());
}

QVariant KELVariableGroupController::resolveName(const QString& key) const
{
    for (const KELVariableControllerPtr& child : m_subControllers) {
        const std::optional<QString> childName = child->varName();
        if (childName) {
            if (*childName == key)
                return fromObject(child);
            continue;
        }
        // Unnamed groups are transparent: their names are reached from here.
        if (dynamic_cast<KELVariableGroupController*>(child.get())) {
            const QVariant found = child->resolveName(key);
            if (found.isValid())
                return found;
        }
    }
    return QVariant();
}

QVariant KELVariableGroupController::value(const QString& key) const
{
    const QVariant found = resolveName(key);
    if (found.isValid())
        return found;
    return KELVariableController::value(key);
}

KELComponentValueMap KELVariableGroupController::rootKeyPaths() const
{
    KELComponentValueMap paths = KELVariableController::rootKeyPaths();
    for (const KELVariableControllerPtr& child : m_subControllers) {
        const std::optional<QString> childName = child->varName();
        const KELComponentValueMap childPaths = child->rootKeyPaths();
        for (auto it = childPaths.cbegin(); it != childPaths.cend(); ++it)
            paths.insert(childName ? QStringLiteral("%1.%2").arg(*childName, it.key()) : it.key(), it.value());
    }
    return paths;
}

void KELVariableGroupController::encodeRestorableState(QVariantMap& state) const
{
    KELVariableController::encodeRestorableState(state);
    QVariantList children;
    for (const KELVariableControllerPtr& child : m_subControllers) {
        QVariantMap childState;
        child->encodeRestorableState(childState);
        children.append(childState);
    }
    state.insert(SubControllerDataKey, children);
}

void KELVariableGroupController::restoreState(const QVariantMap& state)
{
    KELVariableController::restoreState(state);
    const QVariantList children = state.value(SubControllerDataKey).toList();
    for (size_t i = 0; i < m_subControllers.size() && qsizetype(i) < children.size(); ++i)
        m_subControllers[i]->restoreState(children.at(qsizetype(i)).toMap());
}

void KELVariableGroupController::initializationComplete()
{
    for (const KELVariableControllerPtr& child : m_subControllers)
        child->setLoadsView(loadsView());
    KELVariableController::initializationComplete();
    for (const KELVariableControllerPtr& child : m_subControllers)
        child->initializationComplete();
    if (m_subControllers.size() == 1) {
        if (auto* only = qobject_cast<KELVariableView*>(m_subControllers.front()->hasView() ? m_subControllers.front()->view() : nullptr))
            only->setRootColoringView(true);
    }
}

void KELVariableGroupController::controllerWillClose()
{
    for (const KELVariableControllerPtr& child : m_subControllers)
        child->controllerWillClose();
    KELVariableController::controllerWillClose();
}

QWidget* KELVariableGroupController::makeView()
{
    const auto* group = dynamic_cast<const KELComponentVariableGroup*>(&variable());
    const auto type = group ? group->groupType() : KELComponentVariableGroup::Regular;
    if (type == KELComponentVariableGroup::Accordion) {
        auto* accordion = new KELAccordionView;
        accordion->resize(200, 400);
        for (const KELVariableControllerPtr& child : m_subControllers)
            accordion->addItem(KELAccordionItem(child->view(), child->name()));
        return accordion;
    }
    auto* groupView = new KELVariableGroupView;
    for (const KELVariableControllerPtr& child : m_subControllers)
        groupView->addVariableView(child->view());
    groupView->layoutSubviews();
    if (type == KELComponentVariableGroup::Scrolling) {
        auto* scroll = new QScrollArea;
        scroll->setWidgetResizable(true);
        scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        scroll->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
        scroll->setFrameShape(QFrame::NoFrame);
        scroll->setWidget(groupView);
        return scroll;
    }
    if (type == KELComponentVariableGroup::Collapsible) {
        auto* collapsible = new KELVariableCollapsibleView;
        collapsible->setTitle(name());
        collapsible->setContentView(groupView);
        collapsible->setCollapsed(true);
        return collapsible;
    }
    return groupView;
}
