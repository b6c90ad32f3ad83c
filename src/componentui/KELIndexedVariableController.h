#pragma once
// Repeated variables: one child editor per repetition, as many as the count
// expression says. Children are only ever added, so a count that goes down and up
// again finds the values it had.

#include "componentui/KELVariableController.h"
#include "components/KELExpression.h"

#include <QList>

class QComboBox;

class KELIndexedVariableController : public KELVariableController, public KELExpressionIndexed {
public:
    explicit KELIndexedVariableController(const KELComponentVariable& variable);
    ~KELIndexedVariableController() override;

    /// Most repetitions an indexed editor makes, whatever the count expression says.
    static constexpr qsizetype MaximumCount = 1000;

    const KELComponentIndexedVariable& indexedVariable() const;

    // --- KELExpressionIndexed
    /// The repetitions in use.
    qsizetype count() const override { return m_count; }
    /// The child at index (made when missing) while index < count; nil otherwise.
    QVariant objectAtIndex(qsizetype index) const override;

    /// The child at index, made when missing; null at or past count.
    KELVariableController* variableControllerForIndex(qsizetype index);
    /// Every child made so far (also those past count).
    const QList<KELVariableControllerPtr>& variableControllers() const { return m_variableControllers; }
    QList<KELVariableControllerPtr> childControllers() const override { return m_variableControllers; }

    /// The repetition the editor shows (drop-down layout), -1 with none.
    qsizetype selectedIndex() const { return m_selectedIndex; }
    virtual void setSelectedIndex(qsizetype index);

    /// Re-evaluates the count expression (clamped to 0 … MaximumCount); brings
    /// children and views up to date when it changed.
    void updateCount();
    /// The count an expression's value stands for: negative gives 0, past MaximumCount the maximum.
    static qsizetype clampedCount(const QVariant& value);
    /// Moves children (undoable as one step by the caller).
    void moveVariableControllers(const QList<qsizetype>& fromIndexes, qsizetype toIndex);
    /// The exact inverse of a move: children at fromIndexes go to toIndexes.
    void moveVariableControllersFromIndexes(const QList<qsizetype>& fromIndexes, const QList<qsizetype>& toIndexes);

    QVariant value(const QString& key) const override;
    void setValue(const QString& key, const QVariant& value) override;
    KELComponentValueMap rootKeyPaths() const override;
    QStringList restorableStateKeyPaths() const override;
    void encodeRestorableState(QVariantMap& state) const override;
    void restoreState(const QVariantMap& state) override;
    void initializationComplete() override;
    void controllerWillClose() override;
    void valueChangedForKeyPathDependency(const QString& keyPath) override;
    QString displayIndexForChild(const KELVariableController& child) const override;
    QList<qsizetype> indexPathForChild(const KELVariableController& child) const override;

    static inline const QString SubControllerDataKey = QStringLiteral("KELIndexedVariableControllerSubControllerData");

protected:
    QWidget* makeView() override;
    /// Lays the children's views out again after the count changed.
    virtual void updateViews();
    /// Whether the children build views of their own (none without a layout).
    virtual bool childrenShowViews() const;
    qsizetype childIndex(const KELVariableController& child) const;
    void setCountValue(qsizetype count);

    QList<KELVariableControllerPtr> m_variableControllers;
    qsizetype m_count = 0;
    qsizetype m_selectedIndex = -1;
    /// Shows the selected repetition (drop-down layout and table).
    virtual void updateContentView();

    QPointer<QWidget> m_itemsView;
    /// The view of each repetition in the stacked layouts: the child's view, or its section.
    QList<QPointer<QWidget>> m_itemViews;
    QPointer<QWidget> m_indexView;
    QPointer<QComboBox> m_dropDown;
};
