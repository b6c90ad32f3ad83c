#include "componentui/KELColorFontVariableControllers.h"

#include "componentui/KELSimpleVariableControllers.h"
#include "support/ColorAdditions.h"
#include "support/KELColorUtils.h"

#include <QCheckBox>
#include <QApplication>
#include <QColorDialog>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QFontDatabase>
#include <QFontDialog>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QRegularExpression>
#include <QSignalBlocker>
#include <QSlider>
#include <QStackedWidget>
#include <QVBoxLayout>
#include <cmath>

namespace {

const QString ValueKey = QStringLiteral("value");
const QString ColorKey = QStringLiteral("color");
const QString HexValueKey = QStringLiteral("hexValue");
const QString RgbaValueKey = QStringLiteral("rgbaValue");
const QString OpacityKey = QStringLiteral("opacity");

const KELFontVariableController*& dialogOwner()
{
    static const KELFontVariableController* owner = nullptr;
    return owner;
}

} // namespace

// --- KELCSSRule

QString KELCSSRule::textWithType(int type) const
{
    const bool full = type == 1;
    const QString separator = full ? QStringLiteral("\n") : QStringLiteral(" ");
    QString text = selectors.join(QStringLiteral(", "));
    if (!selectors.isEmpty())
        text += QStringLiteral(" {") + separator;
    for (qsizetype i = 0; i < declarations.size(); ++i) {
        if (full && !(i == 0 && selectors.isEmpty()))
            text += QLatin1Char('\t');
        text += declarations.at(i).text();
        if (i + 1 < declarations.size())
            text += separator;
    }
    if (!selectors.isEmpty())
        text += separator + QStringLiteral("}");
    return text;
}

QVariant KELCSSRule::value(const QString& key) const
{
    if (key == QLatin1String("shortText"))
        return shortText();
    if (key == QLatin1String("fullText"))
        return fullText();
    return KeyValueObject::value(key);
}

// --- Colour

KELColorVariableController::KELColorVariableController(const KELComponentVariable& variable)
    : KELVariableController(variable, QStringLiteral("KELColorVariableController"))
{
    setKeyPathsAffectingKey(ColorKey, { ValueKey });
    setKeyPathsAffectingKey(HexValueKey, { ValueKey });
    setKeyPathsAffectingKey(RgbaValueKey, { ValueKey, OpacityKey });
    m_opacity = colorVariable().defaultOpacity().value_or(100);
}

const KELComponentColorVariable& KELColorVariableController::colorVariable() const
{
    return static_cast<const KELComponentColorVariable&>(variable());
}

void KELColorVariableController::initInternal(KELVariableController* root, KELVariableController* parent)
{
    KELVariableController::initInternal(root, parent);
    if (const KELComponentExpression* expression = colorVariable().defaultValueExpression()) {
        const QVariant initial = expression->evaluateWithDataSource(*this);
        if (initial.metaType().id() == QMetaType::QColor)
            m_value = QLatin1Char('#') + htmlHexValue(initial.value<QColor>());
        else if (initial.isValid())
            m_value = KELExpression::stringValue(initial);
    }
}

QColor KELColorVariableController::colorForValue(const QString& value)
{
    const QString text = value.trimmed();
    if (const auto hex = KELColorUtils::sharedInstance().htmlHexForColorName(text))
        return colorWithHtmlHexValue(*hex);
    return colorWithHtmlHexValue(text);
}

QString KELColorVariableController::rgbaText(const QColor& color, qint64 opacity)
{
    const QColor rgb = color.toRgb();
    return QStringLiteral("rgba(%1, %2, %3, %4)")
        .arg(qint64(rgb.redF() * 255))
        .arg(qint64(rgb.greenF() * 255))
        .arg(qint64(rgb.blueF() * 255))
        .arg(QString::number(double(opacity) / 100.0, 'f', 2));
}

QVariant KELColorVariableController::value(const QString& key) const
{
    if (key == ValueKey)
        return m_value;
    if (key == ColorKey)
        return color();
    if (key == HexValueKey)
        return htmlHexValue(color()).toLower();
    if (key == RgbaValueKey)
        return rgbaText(color(), m_opacity);
    if (key == OpacityKey)
        return qlonglong(m_opacity);
    return KELVariableController::value(key);
}

void KELColorVariableController::setValue(const QString& key, const QVariant& value)
{
    if (key == ValueKey || key == ColorKey) {
        const QString text = key == ColorKey || value.metaType().id() == QMetaType::QColor
            ? QLatin1Char('#') + htmlHexValue(value.value<QColor>()).toLower()
            : KELExpression::stringValue(value);
        if (text == m_value)
            return;
        willChangeValueForKey(ValueKey);
        m_value = text;
        didChangeValueForKey(ValueKey);
        updateControls();
        return;
    }
    if (key == OpacityKey) {
        bool ok = false;
        double number = value.toDouble(&ok);
        if (!ok || !std::isfinite(number))
            number = double(KELExpression::integerValue(value));
        const qint64 whole = qint64(std::trunc(qBound(-1e12, number, 1e12)));
        if (whole == m_opacity)
            return;
        willChangeValueForKey(OpacityKey);
        m_opacity = whole;
        didChangeValueForKey(OpacityKey);
        updateControls();
        return;
    }
    KELVariableController::setValue(key, value);
}

KELComponentValueMap KELColorVariableController::rootKeyPaths() const
{
    return { { ValueKey, KELComponentValue::componentValue(QStringLiteral("Edit %1").arg(name()), true) },
        { OpacityKey, KELComponentValue::componentValue(QStringLiteral("Change %1 Opacity").arg(name()), true) } };
}

QStringList KELColorVariableController::restorableStateKeyPaths() const
{
    return { ValueKey, OpacityKey };
}

void KELColorVariableController::updateControls()
{
    if (m_comboBox && m_comboBox->currentText() != m_value && !m_comboBox->lineEdit()->hasFocus()) {
        const QSignalBlocker blocker(m_comboBox);
        m_comboBox->setEditText(m_value);
    }
    if (m_colorWell)
        m_colorWell->setStyleSheet(QStringLiteral("background-color: #%1; border: 1px solid #888;").arg(htmlHexValue(color())));
    if (m_opacitySlider && m_opacitySlider->value() != m_opacity) {
        const QSignalBlocker blocker(m_opacitySlider);
        m_opacitySlider->setValue(int(qBound<qint64>(qint64(0), m_opacity, qint64(100))));
    }
    if (m_opacityLabel)
        m_opacityLabel->setText(QStringLiteral("%1%").arg(m_opacity));
}

QWidget* KELColorVariableController::makeView()
{
    auto* box = new QWidget;
    auto* layout = new QVBoxLayout(box);
    layout->setContentsMargins(0, 0, 0, 0);
    auto* colorRow = new QHBoxLayout;
    m_colorWell = new QPushButton(box);
    m_colorWell->setFixedSize(36, 22);
    m_colorWell->setAccessibleName(QStringLiteral("Choose %1").arg(name()));
    m_comboBox = new KELComponentComboBox(box);
    QStringList names = KELColorUtils::sharedInstance().htmlColorNames();
    std::sort(names.begin(), names.end(), [](const QString& a, const QString& b) { return a.compare(b, Qt::CaseInsensitive) < 0; });
    m_comboBox->addItems(names);
    m_comboBox->setEditText(m_value);
    colorRow->addWidget(m_colorWell);
    colorRow->addWidget(m_comboBox, 1);
    layout->addLayout(colorRow);
    if (colorVariable().opacity()) {
        auto* opacityRow = new QHBoxLayout;
        opacityRow->addWidget(new QLabel(QStringLiteral("Opacity:"), box));
        m_opacitySlider = new QSlider(Qt::Horizontal, box);
        m_opacitySlider->setRange(0, 100);
        m_opacityLabel = new QLabel(box);
        m_opacityLabel->setMinimumWidth(36);
        opacityRow->addWidget(m_opacitySlider, 1);
        opacityRow->addWidget(m_opacityLabel);
        layout->addLayout(opacityRow);
        QObject::connect(m_opacitySlider, &QSlider::valueChanged, m_opacitySlider, [this](int v) { setValue(OpacityKey, v); });
    }
    QObject::connect(m_comboBox, &QComboBox::editTextChanged, m_comboBox, [this](const QString& text) { setValue(ValueKey, text); });
    QObject::connect(m_colorWell, &QPushButton::clicked, m_colorWell, [this] {
        const QColor chosen = QColorDialog::getColor(color(), m_colorWell, name());
        if (chosen.isValid())
            setValue(ColorKey, chosen);
    });
    updateControls();
    return KELMakeVariableRow(*this, box);
}

// --- Font

KELFontVariableController::KELFontVariableController(const KELComponentVariable& variable)
    : KELVariableController(variable, QStringLiteral("KELFontVariableController"))
{
    m_family = fontVariable().defaultFontName().value_or(QString());
    m_size = double(fontVariable().defaultFontSize().value_or(0));
    // The editor starts on the custom font with the variable's defaults, view or
    // not, so templates read the same rule before the form is ever shown.
    m_selectedViewIndex = 1;
    setKeyPathsAffectingKey(QStringLiteral("css"),
        { QStringLiteral("selectedViewIndex"), QStringLiteral("selectedSystemFont"), QStringLiteral("family"), QStringLiteral("size"),
            QStringLiteral("sizeType"), QStringLiteral("bold"), QStringLiteral("italic") });
}

KELFontVariableController::~KELFontVariableController()
{
    if (dialogOwner() == this)
        dialogOwner() = nullptr;
}

const KELComponentFontVariable& KELFontVariableController::fontVariable() const
{
    return static_cast<const KELComponentFontVariable&>(variable());
}

QStringList KELFontVariableController::cssFontNames(bool installedOnly)
{
    static const QStringList names { QStringLiteral("Arial"), QStringLiteral("Arial Black"), QStringLiteral("Comic Sans MS"),
        QStringLiteral("Courier New"), QStringLiteral("Georgia"), QStringLiteral("Impact"), QStringLiteral("Lucida Sans"),
        QStringLiteral("Microsoft Sans Serif"), QStringLiteral("Palatino"), QStringLiteral("Tahoma"), QStringLiteral("Times New Roman"),
        QStringLiteral("Trebuchet MS"), QStringLiteral("Verdana") };
    if (!installedOnly)
        return names;
    const QStringList installed = QFontDatabase::families();
    QStringList kept;
    for (const QString& name : names) {
        if (installed.contains(name, Qt::CaseInsensitive))
            kept << name;
    }
    return kept;
}

QString KELFontVariableController::cssFamily(const QString& family)
{
    // A list ("Georgia, serif") keeps its commas; each name is written as CSS
    // reads it: a plain identifier as it is, anything else quoted, with quotes and
    // backslashes escaped so that a name cannot end the declaration or the rule.
    // Single quotes, and no double quote, "<" or "&" left as such, keep the rule usable
    // as it stands inside a double-quoted style attribute.
    static const QRegularExpression identifier(QStringLiteral("^-?[A-Za-z_][A-Za-z0-9_-]*$"));
    QStringList names;
    for (const QString& part : family.split(QLatin1Char(','))) {
        const QString name = part.trimmed();
        if (name.isEmpty())
            continue;
        if (identifier.match(name).hasMatch()) {
            names << name;
            continue;
        }
        QString quoted = name;
        if (quoted.size() >= 2 && (quoted.startsWith(QLatin1Char('"')) || quoted.startsWith(QLatin1Char('\''))) && quoted.endsWith(quoted.front()))
            quoted = quoted.mid(1, quoted.size() - 2);
        quoted.replace(QLatin1Char('\\'), QStringLiteral("\\\\"));
        quoted.replace(QLatin1Char('\''), QStringLiteral("\\'"));
        quoted.replace(QLatin1Char('"'), QStringLiteral("\\22 "));
        quoted.replace(QLatin1Char('<'), QStringLiteral("\\3c "));
        quoted.replace(QLatin1Char('&'), QStringLiteral("\\26 "));
        quoted.replace(QLatin1Char('\n'), QStringLiteral(" "));
        names << QLatin1Char('\'') + quoted + QLatin1Char('\'');
    }
    return names.join(QStringLiteral(", "));
}

std::shared_ptr<KELCSSRule> KELFontVariableController::css() const
{
    auto rule = std::make_shared<KELCSSRule>();
    if (m_selectedViewIndex == 0) {
        if (m_selectedSystemFont) {
            const QFont& font = *m_selectedSystemFont;
            rule->declarations.append({ QStringLiteral("font-family"), cssFamily(font.family()) });
            rule->declarations.append({ QStringLiteral("font-size"), QStringLiteral("%1pt").arg(KELExpression::formatDouble(font.pointSizeF())) });
            if (font.bold())
                rule->declarations.append({ QStringLiteral("font-weight"), QStringLiteral("bold") });
            if (font.italic())
                rule->declarations.append({ QStringLiteral("font-style"), QStringLiteral("italic") });
        }
    } else {
        if (!m_family.isEmpty())
            rule->declarations.append({ QStringLiteral("font-family"), cssFamily(m_family) });
        if (m_size > 0)
            rule->declarations.append({ QStringLiteral("font-size"),
                QStringLiteral("%1%2").arg(QString::number(m_size, 'f', 1), m_sizeType == 0 ? QStringLiteral("px") : QStringLiteral("pt")) });
        if (m_bold)
            rule->declarations.append({ QStringLiteral("font-weight"), QStringLiteral("bold") });
        if (m_italic)
            rule->declarations.append({ QStringLiteral("font-style"), QStringLiteral("italic") });
    }
    return rule->declarations.isEmpty() ? nullptr : rule;
}

QVariant KELFontVariableController::selectedFontSizeInPixels() const
{
    if (m_selectedViewIndex == 0)
        return m_selectedSystemFont ? QVariant(qlonglong(m_selectedSystemFont->pointSizeF() * 4 / 3)) : QVariant();
    if (m_size <= 0)
        return QVariant();
    return m_sizeType == 0 ? QVariant(m_size) : QVariant(qlonglong(m_size * 4 / 3));
}

QVariant KELFontVariableController::value(const QString& key) const
{
    if (key == QLatin1String("css"))
        return fromObject(css());
    if (key == QLatin1String("selectedFontSizeInPixels"))
        return selectedFontSizeInPixels();
    if (key == QLatin1String("family"))
        return m_family;
    if (key == QLatin1String("size"))
        return qMax(0.0, m_size);
    if (key == QLatin1String("sizeType"))
        return m_sizeType;
    if (key == QLatin1String("bold"))
        return m_bold;
    if (key == QLatin1String("italic"))
        return m_italic;
    if (key == QLatin1String("selectedViewIndex"))
        return m_selectedViewIndex;
    if (key == QLatin1String("selectedSystemFont"))
        return m_selectedSystemFont ? QVariant(m_selectedSystemFont->toString()) : QVariant();
    return KELVariableController::value(key);
}

void KELFontVariableController::setKeyValue(const QString& key, const QVariant& value)
{
    willChangeValueForKey(key);
    if (key == QLatin1String("family"))
        m_family = KELExpression::stringValue(value);
    else if (key == QLatin1String("size"))
        m_size = value.toDouble();
    else if (key == QLatin1String("sizeType"))
        m_sizeType = int(KELExpression::integerValue(value));
    else if (key == QLatin1String("bold"))
        m_bold = KELExpression::booleanValue(value);
    else if (key == QLatin1String("italic"))
        m_italic = KELExpression::booleanValue(value);
    else if (key == QLatin1String("selectedViewIndex"))
        m_selectedViewIndex = int(KELExpression::integerValue(value));
    else if (key == QLatin1String("selectedSystemFont")) {
        QFont font;
        if (value.isValid() && font.fromString(value.toString()))
            m_selectedSystemFont = font;
        else
            m_selectedSystemFont.reset();
    }
    didChangeValueForKey(key);
    updateControls();
}

void KELFontVariableController::setValue(const QString& key, const QVariant& value)
{
    static const QStringList own { QStringLiteral("family"), QStringLiteral("size"), QStringLiteral("sizeType"), QStringLiteral("bold"),
        QStringLiteral("italic"), QStringLiteral("selectedViewIndex"), QStringLiteral("selectedSystemFont") };
    if (!own.contains(key)) {
        KELVariableController::setValue(key, value);
        return;
    }
    if (this->value(key) == value)
        return;
    setKeyValue(key, value);
}

KELComponentValueMap KELFontVariableController::rootKeyPaths() const
{
    return { { QStringLiteral("selectedViewIndex"), KELComponentValue::componentValue(QStringLiteral("Change Font Type")) },
        { QStringLiteral("selectedSystemFont"), KELComponentValue::componentValue(QStringLiteral("Select Font"), true) },
        { QStringLiteral("family"), KELComponentValue::componentValue(QStringLiteral("Edit Font Family"), true) },
        { QStringLiteral("size"), KELComponentValue::componentValue(QStringLiteral("Edit Font Size"), true) },
        { QStringLiteral("sizeType"), KELComponentValue::componentValue(QStringLiteral("Edit Size Type")) },
        { QStringLiteral("italic"), KELComponentValue::componentValue(QStringLiteral("Change Italic")) },
        { QStringLiteral("bold"), KELComponentValue::componentValue(QStringLiteral("Change Bold")) } };
}

QStringList KELFontVariableController::restorableStateKeyPaths() const
{
    return { QStringLiteral("selectedViewIndex"), QStringLiteral("selectedSystemFont"), QStringLiteral("family"), QStringLiteral("size"),
        QStringLiteral("sizeType"), QStringLiteral("italic"), QStringLiteral("bold") };
}

void KELFontVariableController::controllerWillClose()
{
    if (dialogOwner() == this)
        dialogOwner() = nullptr;
    KELVariableController::controllerWillClose();
}

const KELFontVariableController* KELFontVariableController::fontDialogOwner()
{
    return dialogOwner();
}

void KELFontVariableController::changeTextFont(const QFont& font, const KELFontVariableController* opener)
{
    if (opener != this || dialogOwner() != this)
        return;
    setValue(QStringLiteral("selectedSystemFont"), font.toString());
}

void KELFontVariableController::selectFont()
{
    dialogOwner() = this;
    const QFont start = m_selectedSystemFont.value_or(QFont(QApplication::font().family(), 12));
    auto* dialog = new QFontDialog(start, m_displayFont ? m_displayFont->window() : nullptr);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    const std::weak_ptr<kit::KeyValueObject> weakSelf = shared_from_this();
    QObject::connect(dialog, &QFontDialog::fontSelected, dialog, [weakSelf](const QFont& font) {
        if (auto self = std::static_pointer_cast<KELFontVariableController>(weakSelf.lock()))
            self->changeTextFont(font, dialogOwner());
    });
    dialog->open();
}

void KELFontVariableController::updateControls()
{
    if (m_typePopUp && m_typePopUp->currentIndex() != m_selectedViewIndex) {
        const QSignalBlocker blocker(m_typePopUp);
        m_typePopUp->setCurrentIndex(m_selectedViewIndex == 0 ? 0 : 1);
    }
    if (m_panes)
        m_panes->setCurrentIndex(m_selectedViewIndex == 0 ? 0 : 1);
    if (m_displayFont)
        m_displayFont->setText(m_selectedSystemFont
                ? QStringLiteral("%1, %2pt").arg(m_selectedSystemFont->family(), QString::number(m_selectedSystemFont->pointSizeF(), 'f', 1))
                : QStringLiteral("(Use Inherited Font)"));
    if (m_familyComboBox && m_familyComboBox->currentText() != m_family && !m_familyComboBox->lineEdit()->hasFocus()) {
        const QSignalBlocker blocker(m_familyComboBox);
        m_familyComboBox->setEditText(m_family);
    }
    if (m_sizeField && m_sizeField->value() != qMax(0.0, m_size) && !m_sizeField->hasFocus()) {
        const QSignalBlocker blocker(m_sizeField);
        m_sizeField->setValue(qMax(0.0, m_size));
    }
    if (m_sizeTypePopUp && m_sizeTypePopUp->currentIndex() != m_sizeType) {
        const QSignalBlocker blocker(m_sizeTypePopUp);
        m_sizeTypePopUp->setCurrentIndex(m_sizeType);
    }
    if (m_boldBox && m_boldBox->isChecked() != m_bold) {
        const QSignalBlocker blocker(m_boldBox);
        m_boldBox->setChecked(m_bold);
    }
    if (m_italicBox && m_italicBox->isChecked() != m_italic) {
        const QSignalBlocker blocker(m_italicBox);
        m_italicBox->setChecked(m_italic);
    }
}

QWidget* KELFontVariableController::makeView()
{
    auto* box = new QWidget;
    auto* layout = new QVBoxLayout(box);
    layout->setContentsMargins(0, 0, 0, 0);
    m_typePopUp = new QComboBox(box);
    m_typePopUp->addItems({ QStringLiteral("System Font"), QStringLiteral("Custom Font") });
    layout->addWidget(m_typePopUp);
    m_panes = new QStackedWidget(box);
    auto* system = new QWidget;
    auto* systemLayout = new QHBoxLayout(system);
    systemLayout->setContentsMargins(0, 0, 0, 0);
    m_displayFont = new QLabel(system);
    auto* choose = new QPushButton(QStringLiteral("Select…"), system);
    auto* clear = new QPushButton(QStringLiteral("Clear"), system);
    systemLayout->addWidget(m_displayFont, 1);
    systemLayout->addWidget(choose);
    systemLayout->addWidget(clear);
    m_panes->addWidget(system);
    auto* custom = new QWidget;
    auto* customLayout = new QVBoxLayout(custom);
    customLayout->setContentsMargins(0, 0, 0, 0);
    m_familyComboBox = new KELComponentComboBox(custom);
    m_familyComboBox->setAccessibleName(QStringLiteral("%1 Family").arg(name()));
    // Only the families this desktop has, each shown in its own font.
    for (const QString& family : cssFontNames(true)) {
        m_familyComboBox->addItem(family);
        QFont sample(family);
        sample.setPointSize(10);
        m_familyComboBox->setItemData(m_familyComboBox->count() - 1, sample, Qt::FontRole);
    }
    customLayout->addWidget(m_familyComboBox);
    auto* sizeRow = new QHBoxLayout;
    m_sizeField = new QDoubleSpinBox(custom);
    m_sizeField->setRange(0, 999);
    m_sizeField->setDecimals(1);
    m_sizeTypePopUp = new QComboBox(custom);
    m_sizeTypePopUp->addItems({ QStringLiteral("px"), QStringLiteral("pt") });
    m_boldBox = new QCheckBox(QStringLiteral("Bold"), custom);
    m_italicBox = new QCheckBox(QStringLiteral("Italic"), custom);
    sizeRow->addWidget(m_sizeField);
    sizeRow->addWidget(m_sizeTypePopUp);
    sizeRow->addWidget(m_boldBox);
    sizeRow->addWidget(m_italicBox);
    customLayout->addLayout(sizeRow);
    m_panes->addWidget(custom);
    layout->addWidget(m_panes);
    updateControls();

    QObject::connect(m_typePopUp, qOverload<int>(&QComboBox::activated), m_typePopUp, [this](int index) {
        if (index != 0 && dialogOwner() == this)
            dialogOwner() = nullptr;
        setValue(QStringLiteral("selectedViewIndex"), index);
    });
    QObject::connect(choose, &QPushButton::clicked, choose, [this] { selectFont(); });
    QObject::connect(clear, &QPushButton::clicked, clear, [this] { setValue(QStringLiteral("selectedSystemFont"), QVariant()); });
    QObject::connect(m_familyComboBox, &QComboBox::editTextChanged, m_familyComboBox, [this](const QString& text) { setValue(QStringLiteral("family"), text); });
    QObject::connect(m_sizeField, qOverload<double>(&QDoubleSpinBox::valueChanged), m_sizeField, [this](double v) { setValue(QStringLiteral("size"), v); });
    QObject::connect(m_sizeTypePopUp, qOverload<int>(&QComboBox::activated), m_sizeTypePopUp, [this](int v) { setValue(QStringLiteral("sizeType"), v); });
    QObject::connect(m_boldBox, &QCheckBox::toggled, m_boldBox, [this](bool on) { setValue(QStringLiteral("bold"), on); });
    QObject::connect(m_italicBox, &QCheckBox::toggled, m_italicBox, [this](bool on) { setValue(QStringLiteral("italic"), on); });
    return KELMakeVariableRow(*this, box);
}
