#include "componentui/KELIndexedVariableController.h"

#include "componentui/KELVariableViews.h"
#include "kit/Log.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QSignalBlocker>
#include <QVBoxLayout>

namespace {
const QString CountKey = QStringLiteral("count");
const QString SelectedIndexKey = QStringLiteral("selectedIndex");
const QString VariableControllersKey = QStringLiteral("variableControllers");
} // namespace

KELIndexedVariableController::KELIndexedVariableController(const KELComponentVariable& variable)
    : KELVariableController(variable, QStringLiteral("KELIndexedVariableController"))
{
}

KELIndexedVariableController::~KELIndexedVariableController() = default;

const KELComponentIndexedVariable& KELIndexedVariableController::indexedVariable() const
{
    return static_cast<const KELComponentIndexedVariable&>(variable());
}

qsizetype KELIndexedVariableController::clampedCount(const QVariant& value)
{
    if (!value.isValid())
        return 0;
    const qint64 count = KELExpression::integerValue(value);
    return qsizetype(qBound<qint64>(0, count, MaximumCount));
}

QVariant KELIndexedVariableController::objectAtIndex(qsizetype index) const
{
    auto* self = const_cast<KELIndexedVariableController*>(this);
    if (index < 0)
        return QVariant();
    if (index >= m_count)
        self->updateCount();
    if (index >= m_count) {
        kit::log(QStringLiteral("Attempt to access index %1 greater than count %2").arg(index).arg(m_count));
        return QVariant();
    }
    return fromObject(self->variableControllerForIndex(index)->shared_from_this());
}

bool KELIndexedVariableController::childrenShowViews() const
{
    return indexedVariable().indexedType() != KELComponentIndexedVariable::None;
}

KELVariableController* KELIndexedVariableController::variableControllerForIndex(qsizetype index)
{
    if (index < 0 || index >= MaximumCount)
        return nullptr;
    while (m_variableControllers.size() <= index) {
        const KELComponentVariable* repeated = indexedVariable().indexedVariable();
        if (!repeated)
            return nullptr;
        KELVariableControllerPtr child = controllerWithVariable(*repeated, root(), this);
        if (!child)
            return nullptr;
        child->setLoadsView(loadsView() && childrenShowViews());
        child->initializationComplete();
        const qsizetype at = m_variableControllers.size();
        m_variableControllers.append(child);
        didChangeList(VariableControllersKey, kit::KeyValueChange::Insertion, { at }, QVariant(),
            QVariantList { fromObject(child) });
    }
    return m_variableControllers.at(index).get();
}

void KELIndexedVariableController::setCountValue(qsizetype count)
{
    willChangeValueForKey(CountKey);
    m_count = count;
    didChangeValueForKey(CountKey);
}

void KELIndexedVariableController::updateCount()
{
    const KELComponentExpression* expression = indexedVariable().countExpression();
    const qsizetype count = expression ? clampedCount(expression->evaluateWithDataSource(*this)) : 0;
    if (count == m_count)
        return;
    setCountValue(count);
    if (count > 0)
        variableControllerForIndex(count - 1);
    updateViews();
}

void KELIndexedVariableController::setSelectedIndex(qsizetype index)
{
    if (index == m_selectedIndex)
        return;
    willChangeValueForKey(SelectedIndexKey);
    m_selectedIndex = index;
    didChangeValueForKey(SelectedIndexKey);
    if (m_dropDown && m_dropDown->currentIndex() != index && index < m_dropDown->count()) {
        const QSignalBlocker blocker(m_dropDown);
        m_dropDown->setCurrentIndex(int(index));
    }
    updateContentView();
}

void KELIndexedVariableController::updateContentView()
{
    auto* frame = qobject_cast<KELVariableIndexView*>(m_indexView.data());
    if (!frame)
        return;
    KELVariableController* child = m_selectedIndex >= 0 && m_selectedIndex < m_count ? variableControllerForIndex(m_selectedIndex) : nullptr;
    frame->setContentView(child ? child->view() : nullptr);
}

QVariant KELIndexedVariableController::value(const QString& key) const
{
    if (key == CountKey)
        return qlonglong(m_count);
    if (key == SelectedIndexKey)
        return qlonglong(m_dropDown && m_dropDown->count() == 0 ? -1 : m_selectedIndex);
    if (key == VariableControllersKey) {
        QVariantList list;
        for (const KELVariableControllerPtr& child : m_variableControllers)
            list.append(fromObject(child));
        return list;
    }
    return KELVariableController::value(key);
}

void KELIndexedVariableController::setValue(const QString& key, const QVariant& value)
{
    if (key == SelectedIndexKey) {
        setSelectedIndex(value.isValid() ? qsizetype(KELExpression::integerValue(value)) : -1);
        return;
    }
    if (key == CountKey) {
        const qsizetype count = clampedCount(value);
        if (count != m_count) {
            setCountValue(count);
            if (count > 0)
                variableControllerForIndex(count - 1);
            updateViews();
        }
        return;
    }
    KELVariableController::setValue(key, value);
}

KELComponentValueMap KELIndexedVariableController::rootKeyPaths() const
{
    KELComponentValueMap paths;
    if (indexedVariable().indexedType() == KELComponentIndexedVariable::Dropdown)
        paths.insert(SelectedIndexKey, KELComponentValue::componentValue(QStringLiteral("Change Selected %1").arg(name())));
    paths.insert(VariableControllersKey, KELComponentValue::componentValue());
    return paths;
}

QStringList KELIndexedVariableController::restorableStateKeyPaths() const
{
    return { SelectedIndexKey, CountKey };
}

void KELIndexedVariableController::encodeRestorableState(QVariantMap& state) const
{
    KELVariableController::encodeRestorableState(state);
    QVariantList children;
    for (qsizetype i = 0; i < m_count && i < m_variableControllers.size(); ++i) {
        QVariantMap childState;
        m_variableControllers.at(i)->encodeRestorableState(childState);
        children.append(childState);
    }
    state.insert(SubControllerDataKey, children);
}

void KELIndexedVariableController::restoreState(const QVariantMap& state)
{
    if (state.contains(CountKey))
        setValue(CountKey, state.value(CountKey));
    if (state.contains(SelectedIndexKey))
        setValue(SelectedIndexKey, state.value(SelectedIndexKey));
    const QVariantList children = state.value(SubControllerDataKey).toList();
    for (qsizetype i = 0; i < children.size() && i < m_count; ++i) {
        if (KELVariableController* child = variableControllerForIndex(i))
            child->restoreState(children.at(i).toMap());
    }
}

void KELIndexedVariableController::initializationComplete()
{
    KELVariableController::initializationComplete();
    const KELComponentExpression* expression = indexedVariable().countExpression();
    m_count = expression ? clampedCount(expression->evaluateWithDataSource(*this)) : 0;
    if (m_count > 0)
        variableControllerForIndex(m_count - 1);
    else
        m_selectedIndex = -1;
    if (m_count > 0 && m_selectedIndex < 0 && indexedVariable().indexedType() == KELComponentIndexedVariable::Dropdown)
        m_selectedIndex = 0;
    updateViews();
}

void KELIndexedVariableController::controllerWillClose()
{
    for (const KELVariableControllerPtr& child : std::as_const(m_variableControllers))
        child->controllerWillClose();
    KELVariableController::controllerWillClose();
}

void KELIndexedVariableController::valueChangedForKeyPathDependency(const QString& keyPath)
{
    KELVariableController::valueChangedForKeyPathDependency(keyPath);
    updateCount();
}

qsizetype KELIndexedVariableController::childIndex(const KELVariableController& child) const
{
    for (qsizetype i = 0; i < m_variableControllers.size(); ++i) {
        if (m_variableControllers.at(i).get() == &child)
            return i;
    }
    return m_variableControllers.size();
}

QString KELIndexedVariableController::displayIndexForChild(const KELVariableController& child) const
{
    const QString own = QString::number(childIndex(child) + 1);
    const QString outer = displayIndex();
    return outer.isEmpty() ? own : QStringLiteral("%1-%2").arg(outer, own);
}

QList<qsizetype> KELIndexedVariableController::indexPathForChild(const KELVariableController& child) const
{
    QList<qsizetype> path = indexPath();
    path.append(childIndex(child));
    return path;
}

void KELIndexedVariableController::moveVariableControllers(const QList<qsizetype>& fromIndexes, qsizetype toIndex)
{
    QList<qsizetype> to;
    for (qsizetype i = 0; i < fromIndexes.size(); ++i)
        to.append(toIndex + i);
    moveVariableControllersFromIndexes(fromIndexes, to);
}

void KELIndexedVariableController::moveVariableControllersFromIndexes(const QList<qsizetype>& fromIndexes, const QList<qsizetype>& toIndexes)
{
    QList<qsizetype> from = fromIndexes;
    std::sort(from.begin(), from.end());
    QList<qsizetype> to = toIndexes;
    std::sort(to.begin(), to.end());
    if (from.isEmpty() || from.size() != to.size() || from.first() < 0 || from.last() >= m_variableControllers.size())
        return;
    QList<KELVariableControllerPtr> taken;
    QVariantList takenValues;
    for (qsizetype i : std::as_const(from)) {
        taken.append(m_variableControllers.at(i));
        takenValues.append(fromObject(m_variableControllers.at(i)));
    }
    for (auto it = from.crbegin(); it != from.crend(); ++it)
        m_variableControllers.removeAt(*it);
    didChangeList(VariableControllersKey, kit::KeyValueChange::Removal, from, takenValues, QVariant());
    for (qsizetype i = 0; i < to.size(); ++i)
        m_variableControllers.insert(qMin(to.at(i), m_variableControllers.size()), taken.at(i));
    didChangeList(VariableControllersKey, kit::KeyValueChange::Insertion, to, QVariant(), takenValues);
    if (KELComponentUndoManager* manager = undoManager()) {
        auto action = KELComponentMoveVariableControllerUndoAction::undoAction();
        action->fromIndexes = from;
        action->toIndexes = to;
        action->setActionName(QStringLiteral("Move %1").arg(name()).trimmed());
        manager->registerUndoForKeyPath(VariableControllersKey, *this, action);
    }
    updateViews();
}

QWidget* KELIndexedVariableController::makeView()
{
    const auto type = indexedVariable().indexedType();
    if (type == KELComponentIndexedVariable::None)
        return nullptr;
    if (type == KELComponentIndexedVariable::Dropdown) {
        // The pop-up stands on the band; the chosen repetition shows below it.
        auto* frame = new KELVariableIndexView;
        auto* header = new QWidget(frame);
        auto* layout = new QHBoxLayout(header);
        layout->setContentsMargins(6, 4, 6, 4);
        layout->addWidget(formatTitle(displayTitle(), header));
        m_dropDown = new QComboBox(header);
        m_dropDown->setAccessibleName(name());
        layout->addWidget(m_dropDown, 1);
        frame->setHeaderView(header);
        frame->setContentView(nullptr);
        m_indexView = frame;
        QObject::connect(m_dropDown, qOverload<int>(&QComboBox::activated), frame, [this](int index) {
            setValue(SelectedIndexKey, qlonglong(index));
        });
        return frame;
    }
    auto* group = new KELVariableGroupView;
    group->setRootColoringView(true);
    m_itemsView = group;
    return group;
}

void KELIndexedVariableController::updateViews()
{
    const auto type = indexedVariable().indexedType();
    if (type == KELComponentIndexedVariable::Dropdown && m_dropDown) {
        const QSignalBlocker blocker(m_dropDown);
        while (m_dropDown->count() > m_count)
            m_dropDown->removeItem(m_dropDown->count() - 1);
        for (qsizetype i = m_dropDown->count(); i < m_count; ++i) {
            variableControllerForIndex(i);
            m_dropDown->addItem(QStringLiteral("%1 %2").arg(name()).arg(i + 1));
        }
        if (m_selectedIndex >= 0 && m_selectedIndex < m_dropDown->count())
            m_dropDown->setCurrentIndex(int(m_selectedIndex));
        updateContentView();
        return;
    }
    auto* group = qobject_cast<KELVariableGroupView*>(m_itemsView.data());
    if (!group)
        return;
    // Repetitions past the count are only hidden: the same editors, with their
    // values and their sections' open or closed state, come back when it grows.
    for (qsizetype i = 0; i < m_itemViews.size(); ++i) {
        if (i >= m_count && m_itemViews.at(i))
            m_itemViews.at(i)->setVisible(false);
    }
    for (qsizetype i = 0; i < m_count; ++i) {
        KELVariableController* child = variableControllerForIndex(i);
        QWidget* childView = child ? child->view() : nullptr;
        if (!childView)
            continue;
        if (m_itemViews.size() <= i)
            m_itemViews.resize(i + 1);
        QWidget* item = m_itemViews.at(i);
        if (!item) {
            if (type == KELComponentIndexedVariable::Collapsible) {
                auto* section = new KELVariableCollapsibleView;
                section->setTitle(QStringLiteral("%1 %2:").arg(name()).arg(i + 1));
                section->setContentView(childView);
                section->setCollapsed(true);
                item = section;
            } else {
                item = childView;
            }
            m_itemViews[i] = item;
            group->addVariableView(item);
        }
        if (item->isHidden()) {
            item->setVisible(true);
            // Showing the row again must not undo what its hidden expression says.
            if (item == childView)
                child->updateViewEnabled();
        }
    }
    group->layoutSubviews();
}
