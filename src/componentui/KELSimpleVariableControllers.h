#pragma once
// The editors of the scalar variables: text, select, checkbox, slider, count and
// dimension count. Each keeps its value under the keys the templates read
// ("value", "count", "selectedOption" ...), publishes its undoable key paths and
// builds its small form row.

#include "componentui/KELVariableController.h"
#include "componentui/KELVariableViews.h"

#include <QPointer>

class QCheckBox;
class QComboBox;
class QLabel;
class QSlider;
class QSpinBox;
class KELComponentTextField;
class KELVariableView;

/// What a table editor asks of the editor behind one of its cells.
class KELTableVariableColumnDataSource {
public:
    virtual ~KELTableVariableColumnDataSource() = default;
    /// The value the cell shows.
    virtual QVariant objectValue() const = 0;
    /// Takes a value typed into the cell.
    virtual void setObjectValue(const QVariant& value) = 0;
    /// Whether the cell edits in place.
    virtual bool isCellEditable() const { return true; }
};

/// A form row: the title on the left, the controls on the right.
KELVariableView* KELMakeVariableRow(KELVariableController& controller, QWidget* control, bool withTitle = true);

class KELTextVariableController : public KELVariableController, public KELTableVariableColumnDataSource {
public:
    explicit KELTextVariableController(const KELComponentVariable& variable);
    const KELComponentTextVariable& textVariable() const;

    const QString& defaultValue() const { return m_defaultValue; }
    /// The stored text through the variable's formatter; the default when it rejects it.
    QString formattedValue() const;
    QVariant value(const QString& key) const override;
    void setValue(const QString& key, const QVariant& value) override;
    KELComponentValueMap rootKeyPaths() const override;
    QStringList restorableStateKeyPaths() const override;
    QVariant objectValue() const override { return formattedValue(); }
    void setObjectValue(const QVariant& value) override;
    /// The field of a one-line text (null for a text of several lines).
    KELComponentTextField* valueTextField() const { return m_valueTextField; }
    /// The field of a text of several lines ("lines" 2 or more; null otherwise).
    KELComponentTextArea* valueTextArea() const { return m_valueTextArea; }

protected:
    void initInternal(KELVariableController* root, KELVariableController* parent) override;
    QWidget* makeView() override;

private:
    QString m_defaultValue;
    QString m_value;
    QPointer<KELComponentTextField> m_valueTextField;
    QPointer<KELComponentTextArea> m_valueTextArea;
};

class KELSelectVariableController : public KELVariableController, public KELTableVariableColumnDataSource {
public:
    explicit KELSelectVariableController(const KELComponentVariable& variable);
    const QList<KELComponentSelectOption>& options() const;
    qsizetype selectedIndex() const { return m_selectedIndex; }
    const KELComponentSelectOption* selectedOption() const;
    QVariant value(const QString& key) const override;
    void setValue(const QString& key, const QVariant& value) override;
    KELComponentValueMap rootKeyPaths() const override;
    QStringList restorableStateKeyPaths() const override;
    QVariant objectValue() const override;
    void setObjectValue(const QVariant&) override { }
    bool isCellEditable() const override { return false; }
    QComboBox* selectPopUpButton() const { return m_popUp; }
    /// The index the view starts on: the last option marked default, else 0.
    static qsizetype initialIndex(const QList<KELComponentSelectOption>& options);

protected:
    QWidget* makeView() override;

private:
    qsizetype m_selectedIndex = 0;
    QPointer<QComboBox> m_popUp;
};

class KELCheckboxVariableController : public KELVariableController {
public:
    explicit KELCheckboxVariableController(const KELComponentVariable& variable);
    QVariant value(const QString& key) const override;
    void setValue(const QString& key, const QVariant& value) override;
    KELComponentValueMap rootKeyPaths() const override;
    QStringList restorableStateKeyPaths() const override;
    QCheckBox* checkbox() const { return m_checkbox; }

protected:
    QWidget* makeView() override;

private:
    bool m_value = false;
    QPointer<QCheckBox> m_checkbox;
};

class KELSliderVariableController : public KELVariableController {
public:
    explicit KELSliderVariableController(const KELComponentVariable& variable);
    const KELComponentSliderVariable& sliderVariable() const;
    /// The value stored for v: snapped down to a multiple of the increment; v itself
    /// without a positive increment.
    static double snapped(double v, std::optional<qint64> increment);
    double doubleValue() const { return m_value; }
    QString displayValue() const;
    QVariant value(const QString& key) const override;
    void setValue(const QString& key, const QVariant& value) override;
    KELComponentValueMap rootKeyPaths() const override;
    QStringList restorableStateKeyPaths() const override;
    QSlider* slider() const { return m_slider; }

protected:
    QWidget* makeView() override;

private:
    double m_value = 0;
    QPointer<QSlider> m_slider;
    QPointer<QLabel> m_display;
};

class KELCountVariableController : public KELVariableController {
public:
    explicit KELCountVariableController(const KELComponentVariable& variable);
    const KELComponentCountVariable& countVariable() const;
    /// The typed count held within the variable's bounds (0 for no number).
    qint64 count() const;
    static qint64 clampedCount(const QString& textValue, std::optional<qint64> minCount, std::optional<qint64> maxCount);
    QVariant value(const QString& key) const override;
    void setValue(const QString& key, const QVariant& value) override;
    KELComponentValueMap rootKeyPaths() const override;
    QStringList restorableStateKeyPaths() const override;
    QSpinBox* stepper() const { return m_stepper; }
    KELComponentTextField* valueTextField() const { return m_valueTextField; }

protected:
    QWidget* makeView() override;
    /// The count row's controls; the dimension count adds its unit pop-up after them.
    virtual void addControls(QWidget* row);
    void updateControls();

    QString m_textValue;
    QPointer<QSpinBox> m_stepper;
    QPointer<KELComponentTextField> m_valueTextField;
    std::unique_ptr<KELFormatter> m_intFormatter;
};

class KELDimensionCountVariableController : public KELCountVariableController {
public:
    explicit KELDimensionCountVariableController(const KELComponentVariable& variable);
    const KELComponentDimensionCountVariable& dimensionVariable() const;
    const KELComponentSelectOption* selectedOption() const;
    bool hasValue() const;
    QVariant value(const QString& key) const override;
    void setValue(const QString& key, const QVariant& value) override;
    KELComponentValueMap rootKeyPaths() const override;
    QStringList restorableStateKeyPaths() const override;
    QComboBox* selectPopUpButton() const { return m_popUp; }

protected:
    void addControls(QWidget* row) override;

private:
    void updateEnabled();
    qsizetype m_selectedIndex = 0;
    QPointer<QComboBox> m_popUp;
};
