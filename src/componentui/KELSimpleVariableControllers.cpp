#include "componentui/KELSimpleVariableControllers.h"

#include "componentui/KELVariableViews.h"
#include "kit/Log.h"

#include <QCheckBox>
#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QSignalBlocker>
#include <QSlider>
#include <QSpinBox>
#include <cmath>

namespace {

const QString ValueKey = QStringLiteral("value");
const QString ObjectValueKey = QStringLiteral("objectValue");
const QString SelectedIndexKey = QStringLiteral("selectedIndex");
const QString SelectedOptionKey = QStringLiteral("selectedOption");
const QString CountKey = QStringLiteral("count");
const QString TextValueKey = QStringLiteral("textValue");
const QString HasValueKey = QStringLiteral("hasValue");

QVariant optionValue(const KELComponentSelectOption* option)
{
    if (!option)
        return QVariant();
    auto object = std::make_shared<kit::KeyValueObject>();
    object->setValue(QStringLiteral("name"), option->name());
    object->setValue(ValueKey, option->value());
    return kit::KeyValueObject::fromObject(object);
}

void fillPopUp(QComboBox* popUp, const QList<KELComponentSelectOption>& options)
{
    const QSignalBlocker blocker(popUp);
    popUp->clear();
    for (const KELComponentSelectOption& option : options)
        popUp->addItem(option.name());
}

} // namespace

KELVariableView* KELMakeVariableRow(KELVariableController& controller, QWidget* control, bool withTitle)
{
    auto* row = new KELVariableView;
    auto* layout = new QHBoxLayout(row);
    layout->setContentsMargins(6, 4, 6, 4);
    if (withTitle) {
        QLabel* title = KELVariableController::formatTitle(controller.displayTitle(), row);
        title->setMinimumWidth(70);
        title->setBuddy(control);
        layout->addWidget(title);
    }
    if (control)
        layout->addWidget(control, 1);
    return row;
}

// --- Text

KELTextVariableController::KELTextVariableController(const KELComponentVariable& variable)
    : KELVariableController(variable, QStringLiteral("KELTextVariableController"))
{
    setKeyPathsAffectingKey(ObjectValueKey, { ValueKey });
}

const KELComponentTextVariable& KELTextVariableController::textVariable() const
{
    return static_cast<const KELComponentTextVariable&>(variable());
}

void KELTextVariableController::initInternal(KELVariableController* root, KELVariableController* parent)
{
    KELVariableController::initInternal(root, parent);
    // The default may read other values of the tree, so it waits for root and parent.
    if (const KELComponentExpression* expression = textVariable().defaultExpression()) {
        m_defaultValue = KELExpression::stringValue(expression->evaluateWithDataSource(*this));
        m_value = m_defaultValue;
    }
}

QString KELTextVariableController::formattedValue() const
{
    const KELFormatter* formatter = variable().formatter();
    if (!formatter)
        return m_value;
    return formatter->formatString(m_value).value_or(m_defaultValue);
}

QVariant KELTextVariableController::value(const QString& key) const
{
    if (key == ValueKey || key == ObjectValueKey)
        return formattedValue();
    return KELVariableController::value(key);
}

void KELTextVariableController::setValue(const QString& key, const QVariant& value)
{
    if (key != ValueKey) {
        KELVariableController::setValue(key, value);
        return;
    }
    const QString text = KELExpression::stringValue(value);
    if (text == m_value)
        return;
    willChangeValueForKey(ValueKey);
    m_value = text;
    didChangeValueForKey(ValueKey);
}

void KELTextVariableController::setObjectValue(const QVariant& value)
{
    if (value.metaType().id() != QMetaType::QString) {
        kit::log(QStringLiteral("KELTextVariableController requires a string object: %1").arg(value.toString()));
        return;
    }
    setValue(ValueKey, value);
}

KELComponentValueMap KELTextVariableController::rootKeyPaths() const
{
    return { { ValueKey, KELComponentValue::componentValue(QStringLiteral("Edit %1").arg(name()), true) } };
}

QStringList KELTextVariableController::restorableStateKeyPaths() const
{
    return { ValueKey };
}

QWidget* KELTextVariableController::makeView()
{
    const int lines = int(qBound<qint64>(qint64(1), textVariable().lines(), qint64(40)));
    QWidget* field = nullptr;
    if (lines >= 2) {
        // A text of several lines is edited as such: wrapped, with line breaks.
        m_valueTextArea = new KELComponentTextArea(lines);
        m_valueTextArea->setPlainText(m_value);
        m_valueTextArea->setKelpFormatter(variable().formatter());
        m_valueTextArea->setAccessibleName(name());
        QObject::connect(m_valueTextArea, &KELComponentTextArea::valueEdited, m_valueTextArea, [this](const QString& text) {
            setValue(ValueKey, text);
        });
        field = m_valueTextArea;
    } else {
        m_valueTextField = new KELComponentTextField;
        m_valueTextField->setText(m_value);
        m_valueTextField->setKelpFormatter(variable().formatter());
        m_valueTextField->setAccessibleName(name());
        if (const auto* limit = dynamic_cast<const KELStringFormatter*>(variable().formatter())) {
            if (limit->maxLength >= 1 && limit->maxLength <= 5)
                m_valueTextField->setFixedWidth(int(limit->maxLength) * 12 + 6);
        }
        QObject::connect(m_valueTextField, &KELComponentTextField::valueEdited, m_valueTextField, [this](const QString& text) {
            setValue(ValueKey, text);
        });
        field = m_valueTextField;
    }
    KELVariableView* row = KELMakeVariableRow(*this, field);
    if (lines >= 2) {
        // The title stands at the top of a tall row.
        static_cast<QHBoxLayout*>(row->layout())->setAlignment(row->layout()->itemAt(0)->widget(), Qt::AlignTop);
    } else if (m_valueTextField->maximumWidth() < QWIDGETSIZE_MAX) {
        static_cast<QHBoxLayout*>(row->layout())->addStretch(1);
    }
    addObserver(ValueKey, [this](const kit::KeyValueChange&) {
        if (m_valueTextField && m_valueTextField->text() != m_value) {
            const int cursor = m_valueTextField->cursorPosition();
            m_valueTextField->setText(m_value);
            m_valueTextField->setCursorPosition(qMin(cursor, int(m_value.size())));
        }
        if (m_valueTextArea && m_valueTextArea->text() != m_value)
            m_valueTextArea->setText(m_value);
    });
    return row;
}

// --- Select

KELSelectVariableController::KELSelectVariableController(const KELComponentVariable& variable)
    : KELVariableController(variable, QStringLiteral("KELSelectVariableController"))
{
    setKeyPathsAffectingKey(SelectedOptionKey, { SelectedIndexKey });
    setKeyPathsAffectingKey(ValueKey, { SelectedIndexKey });
    setKeyPathsAffectingKey(ObjectValueKey, { SelectedIndexKey });
}

const QList<KELComponentSelectOption>& KELSelectVariableController::options() const
{
    return static_cast<const KELComponentSelectVariable&>(variable()).options();
}

qsizetype KELSelectVariableController::initialIndex(const QList<KELComponentSelectOption>& options)
{
    qsizetype index = 0;
    for (qsizetype i = 0; i < options.size(); ++i) {
        if (options.at(i).isDefault())
            index = i;
    }
    return index;
}

const KELComponentSelectOption* KELSelectVariableController::selectedOption() const
{
    const auto& all = options();
    return m_selectedIndex >= 0 && m_selectedIndex < all.size() ? &all.at(m_selectedIndex) : nullptr;
}

QVariant KELSelectVariableController::value(const QString& key) const
{
    if (key == SelectedIndexKey)
        return qlonglong(m_selectedIndex);
    if (key == SelectedOptionKey)
        return optionValue(selectedOption());
    if (key == ValueKey)
        return selectedOption() ? QVariant(selectedOption()->value()) : QVariant();
    if (key == ObjectValueKey)
        return objectValue();
    return KELVariableController::value(key);
}

QVariant KELSelectVariableController::objectValue() const
{
    return selectedOption() ? QVariant(selectedOption()->name()) : QVariant();
}

void KELSelectVariableController::setValue(const QString& key, const QVariant& value)
{
    if (key != SelectedIndexKey) {
        KELVariableController::setValue(key, value);
        return;
    }
    const qsizetype index = value.isValid() ? qsizetype(KELExpression::integerValue(value)) : 0;
    if (index == m_selectedIndex)
        return;
    willChangeValueForKey(SelectedIndexKey);
    m_selectedIndex = index;
    didChangeValueForKey(SelectedIndexKey);
}

KELComponentValueMap KELSelectVariableController::rootKeyPaths() const
{
    return { { SelectedIndexKey, KELComponentValue::componentValue(QStringLiteral("Change %1").arg(name())) } };
}

QStringList KELSelectVariableController::restorableStateKeyPaths() const
{
    return { SelectedIndexKey };
}

QWidget* KELSelectVariableController::makeView()
{
    m_popUp = new QComboBox;
    fillPopUp(m_popUp, options());
    // The view starts on the default option (the last one marked so).
    m_selectedIndex = initialIndex(options());
    m_popUp->setCurrentIndex(int(m_selectedIndex));
    QObject::connect(m_popUp, qOverload<int>(&QComboBox::activated), m_popUp, [this](int index) { setValue(SelectedIndexKey, qlonglong(index)); });
    addObserver(SelectedIndexKey, [this](const kit::KeyValueChange&) {
        if (m_popUp && m_popUp->currentIndex() != m_selectedIndex) {
            const QSignalBlocker blocker(m_popUp);
            m_popUp->setCurrentIndex(int(m_selectedIndex));
        }
    });
    return KELMakeVariableRow(*this, m_popUp);
}

// --- Checkbox

KELCheckboxVariableController::KELCheckboxVariableController(const KELComponentVariable& variable)
    : KELVariableController(variable, QStringLiteral("KELCheckboxVariableController"))
{
    m_value = static_cast<const KELComponentCheckboxVariable&>(variable).defaultValue();
}

QVariant KELCheckboxVariableController::value(const QString& key) const
{
    if (key == ValueKey)
        return m_value;
    return KELVariableController::value(key);
}

void KELCheckboxVariableController::setValue(const QString& key, const QVariant& value)
{
    if (key != ValueKey) {
        KELVariableController::setValue(key, value);
        return;
    }
    const bool on = KELExpression::booleanValue(value);
    if (on == m_value)
        return;
    willChangeValueForKey(ValueKey);
    m_value = on;
    didChangeValueForKey(ValueKey);
}

KELComponentValueMap KELCheckboxVariableController::rootKeyPaths() const
{
    return { { ValueKey, KELComponentValue::componentValue(QStringLiteral("Change %1").arg(name())) } };
}

QStringList KELCheckboxVariableController::restorableStateKeyPaths() const
{
    return { ValueKey };
}

QWidget* KELCheckboxVariableController::makeView()
{
    // The checkbox carries the name itself, without a colon.
    m_checkbox = new QCheckBox(name());
    QFont font = m_checkbox->font();
    font.setBold(true);
    font.setPointSizeF(font.pointSizeF() * 0.85);
    m_checkbox->setFont(font);
    m_checkbox->setChecked(m_value);
    QObject::connect(m_checkbox, &QCheckBox::clicked, m_checkbox, [this](bool on) { setValue(ValueKey, on); });
    addObserver(ValueKey, [this](const kit::KeyValueChange&) {
        if (m_checkbox && m_checkbox->isChecked() != m_value) {
            const QSignalBlocker blocker(m_checkbox);
            m_checkbox->setChecked(m_value);
        }
    });
    return KELMakeVariableRow(*this, m_checkbox, false);
}

// --- Slider

KELSliderVariableController::KELSliderVariableController(const KELComponentVariable& variable)
    : KELVariableController(variable, QStringLiteral("KELSliderVariableController"))
{
    const auto& slider = sliderVariable();
    m_value = snapped(double(slider.defaultValue().value_or(slider.minValue().value_or(0))), slider.incrementAmount());
}

const KELComponentSliderVariable& KELSliderVariableController::sliderVariable() const
{
    return static_cast<const KELComponentSliderVariable&>(variable());
}

double KELSliderVariableController::snapped(double v, std::optional<qint64> increment)
{
    if (!std::isfinite(v))
        return 0;
    // Without a positive increment there is nothing to snap to.
    if (!increment || *increment <= 0)
        return v;
    return std::trunc(v / double(*increment)) * double(*increment);
}

QString KELSliderVariableController::displayValue() const
{
    return KELExpression::formatDouble(m_value) + sliderVariable().unitLabel().value_or(QString());
}

QVariant KELSliderVariableController::value(const QString& key) const
{
    if (key == ValueKey)
        return m_value;
    return KELVariableController::value(key);
}

void KELSliderVariableController::setValue(const QString& key, const QVariant& value)
{
    if (key != ValueKey) {
        KELVariableController::setValue(key, value);
        return;
    }
    bool ok = false;
    double number = value.toDouble(&ok);
    if (!ok)
        number = double(KELExpression::integerValue(value));
    const double stored = snapped(number, sliderVariable().incrementAmount());
    if (stored == m_value)
        return;
    willChangeValueForKey(ValueKey);
    m_value = stored;
    didChangeValueForKey(ValueKey);
}

KELComponentValueMap KELSliderVariableController::rootKeyPaths() const
{
    return { { ValueKey, KELComponentValue::componentValue(QStringLiteral("Change %1").arg(name()), true) } };
}

QStringList KELSliderVariableController::restorableStateKeyPaths() const
{
    return { ValueKey };
}

QWidget* KELSliderVariableController::makeView()
{
    auto* box = new QWidget;
    auto* layout = new QHBoxLayout(box);
    layout->setContentsMargins(0, 0, 0, 0);
    m_slider = new QSlider(Qt::Horizontal, box);
    const auto& slider = sliderVariable();
    m_slider->setMinimum(int(slider.minValue().value_or(0)));
    m_slider->setMaximum(int(slider.maxValue().value_or(100)));
    m_slider->setSingleStep(int(qMax<qint64>(1, slider.incrementAmount().value_or(1))));
    m_slider->setValue(int(m_value));
    m_display = new QLabel(displayValue(), box);
    m_display->setMinimumWidth(48);
    layout->addWidget(m_slider, 1);
    layout->addWidget(m_display);
    QObject::connect(m_slider, &QSlider::valueChanged, m_slider, [this](int v) { setValue(ValueKey, double(v)); });
    addObserver(ValueKey, [this](const kit::KeyValueChange&) {
        if (m_display)
            m_display->setText(displayValue());
        if (m_slider && m_slider->value() != int(m_value) && !m_slider->isSliderDown()) {
            const QSignalBlocker blocker(m_slider);
            m_slider->setValue(int(m_value));
        }
    });
    return KELMakeVariableRow(*this, box);
}

// --- Count

KELCountVariableController::KELCountVariableController(const KELComponentVariable& variable)
    : KELVariableController(variable, QStringLiteral("KELCountVariableController"))
{
    setKeyPathsAffectingKey(CountKey, { TextValueKey });
    if (const auto initial = countVariable().defaultCount())
        m_textValue = QString::number(*initial);
}

const KELComponentCountVariable& KELCountVariableController::countVariable() const
{
    return static_cast<const KELComponentCountVariable&>(variable());
}

qint64 KELCountVariableController::clampedCount(const QString& textValue, std::optional<qint64> minCount, std::optional<qint64> maxCount)
{
    const qint64 number = scanInteger(textValue).value_or(0);
    if (minCount && number < *minCount)
        return *minCount;
    if (maxCount && number > *maxCount)
        return *maxCount;
    return number;
}

qint64 KELCountVariableController::count() const
{
    return clampedCount(m_textValue, countVariable().minCount(), countVariable().maxCount());
}

QVariant KELCountVariableController::value(const QString& key) const
{
    if (key == CountKey)
        return qlonglong(count());
    if (key == TextValueKey)
        return m_textValue;
    return KELVariableController::value(key);
}

void KELCountVariableController::setValue(const QString& key, const QVariant& value)
{
    QString text;
    if (key == TextValueKey)
        text = value.isValid() ? KELExpression::stringValue(value) : QString();
    else if (key == CountKey)
        text = QString::number(KELExpression::integerValue(value));
    else {
        KELVariableController::setValue(key, value);
        return;
    }
    if (text == m_textValue)
        return;
    willChangeValueForKey(TextValueKey);
    m_textValue = text;
    didChangeValueForKey(TextValueKey);
}

KELComponentValueMap KELCountVariableController::rootKeyPaths() const
{
    return { { TextValueKey, KELComponentValue::componentValue(QStringLiteral("Change %1").arg(name()), true) } };
}

QStringList KELCountVariableController::restorableStateKeyPaths() const
{
    return { TextValueKey };
}

void KELCountVariableController::addControls(QWidget* row)
{
    auto* layout = static_cast<QHBoxLayout*>(row->layout());
    m_valueTextField = new KELComponentTextField(row);
    auto formatter = std::make_unique<KELIntFormatter>();
    formatter->setMinValue(countVariable().minCount());
    formatter->setMaxValue(countVariable().maxCount());
    m_valueTextField->setKelpFormatter(formatter.get());
    m_intFormatter = std::move(formatter);
    m_valueTextField->setText(m_textValue);
    m_valueTextField->setMaximumWidth(80);
    m_stepper = new QSpinBox(row);
    m_stepper->setButtonSymbols(QAbstractSpinBox::UpDownArrows);
    m_stepper->setMinimum(int(countVariable().minCount().value_or(-999999)));
    m_stepper->setMaximum(int(countVariable().maxCount().value_or(999999)));
    m_stepper->setValue(int(count()));
    m_stepper->setFixedWidth(18);
    auto* units = new QLabel(countVariable().unitLabel().value_or(QString()), row);
    layout->addWidget(m_valueTextField);
    layout->addWidget(m_stepper);
    layout->addWidget(units);
    QObject::connect(m_valueTextField, &KELComponentTextField::valueEdited, m_valueTextField,
        [this](const QString& text) { setValue(TextValueKey, text); });
    QObject::connect(m_stepper, qOverload<int>(&QSpinBox::valueChanged), m_stepper,
        [this](int v) { setValue(TextValueKey, QString::number(v)); });
}

void KELCountVariableController::updateControls()
{
    if (m_valueTextField && m_valueTextField->text() != m_textValue && !m_valueTextField->hasFocus())
        m_valueTextField->setText(m_textValue);
    if (m_valueTextField && m_valueTextField->text() != m_textValue && m_valueTextField->hasFocus()
        && (isUndoing() || isRedoing()))
        m_valueTextField->setText(m_textValue);
    if (m_stepper && m_stepper->value() != count()) {
        const QSignalBlocker blocker(m_stepper);
        m_stepper->setValue(int(count()));
    }
}

QWidget* KELCountVariableController::makeView()
{
    KELVariableView* row = KELMakeVariableRow(*this, nullptr);
    addControls(row);
    static_cast<QHBoxLayout*>(row->layout())->addStretch(1);
    addObserver(TextValueKey, [this](const kit::KeyValueChange&) { updateControls(); });
    return row;
}

// --- Dimension count

KELDimensionCountVariableController::KELDimensionCountVariableController(const KELComponentVariable& variable)
    : KELCountVariableController(variable)
{
    setKeyPathsAffectingKey(SelectedOptionKey, { SelectedIndexKey });
    setKeyPathsAffectingKey(HasValueKey, { SelectedIndexKey });
    setKeyPathsAffectingKey(ValueKey, { SelectedIndexKey, TextValueKey });
}

const KELComponentDimensionCountVariable& KELDimensionCountVariableController::dimensionVariable() const
{
    return static_cast<const KELComponentDimensionCountVariable&>(variable());
}

const KELComponentSelectOption* KELDimensionCountVariableController::selectedOption() const
{
    const auto& options = dimensionVariable().options();
    return m_selectedIndex >= 0 && m_selectedIndex < options.size() ? &options.at(m_selectedIndex) : nullptr;
}

bool KELDimensionCountVariableController::hasValue() const
{
    const KELComponentSelectOption* option = selectedOption();
    return option && option->value() != QLatin1String("none");
}

QVariant KELDimensionCountVariableController::value(const QString& key) const
{
    if (key == SelectedIndexKey)
        return qlonglong(m_selectedIndex);
    if (key == SelectedOptionKey)
        return optionValue(selectedOption());
    if (key == HasValueKey)
        return hasValue();
    if (key == ValueKey)
        return hasValue() ? QVariant(QStringLiteral("%1%2").arg(count()).arg(selectedOption()->value())) : QVariant();
    return KELCountVariableController::value(key);
}

void KELDimensionCountVariableController::setValue(const QString& key, const QVariant& value)
{
    if (key != SelectedIndexKey) {
        KELCountVariableController::setValue(key, value);
        return;
    }
    const qsizetype index = value.isValid() ? qsizetype(KELExpression::integerValue(value)) : 0;
    if (index == m_selectedIndex)
        return;
    willChangeValueForKey(SelectedIndexKey);
    m_selectedIndex = index;
    didChangeValueForKey(SelectedIndexKey);
    updateEnabled();
}

void KELDimensionCountVariableController::updateEnabled()
{
    if (m_popUp && m_popUp->currentIndex() != m_selectedIndex) {
        const QSignalBlocker blocker(m_popUp);
        m_popUp->setCurrentIndex(int(m_selectedIndex));
    }
    if (m_valueTextField)
        m_valueTextField->setEnabled(hasValue());
    if (m_stepper)
        m_stepper->setEnabled(hasValue());
}

KELComponentValueMap KELDimensionCountVariableController::rootKeyPaths() const
{
    KELComponentValueMap paths = KELCountVariableController::rootKeyPaths();
    paths.insert(SelectedIndexKey, KELComponentValue::componentValue(QStringLiteral("Change %1 Unit").arg(name())));
    return paths;
}

QStringList KELDimensionCountVariableController::restorableStateKeyPaths() const
{
    return KELCountVariableController::restorableStateKeyPaths() + QStringList { SelectedIndexKey };
}

void KELDimensionCountVariableController::addControls(QWidget* row)
{
    KELCountVariableController::addControls(row);
    m_popUp = new QComboBox(row);
    fillPopUp(m_popUp, dimensionVariable().options());
    static_cast<QHBoxLayout*>(row->layout())->addWidget(m_popUp);
    QObject::connect(m_popUp, qOverload<int>(&QComboBox::activated), m_popUp, [this](int index) { setValue(SelectedIndexKey, qlonglong(index)); });
    m_selectedIndex = -1;
    setValue(SelectedIndexKey, qlonglong(KELSelectVariableController::initialIndex(dimensionVariable().options())));
    updateEnabled();
}
