#include "css/KELCSSPropertyValueDefinition.h"

#include "css/KELCSSPropertyCalcValueDefinition.h"
#include "css/KELCSSSpec.h"

#include <QMutex>
#include <cmath>

namespace KELCSS {

KELSyntaxCheckError makeError(const QString& title, const QString& description, kit::Range range, bool nonInvalidating, bool warning)
{
    KELSyntaxCheckError e = KELSyntaxCheckError::error();
    e.setTitle(title);
    e.setDescription(description);
    e.setTextRange(range);
    e.setNonInvalidatingError(nonInvalidating);
    if (warning)
        e.setLevel(KELSyntaxCheckError::Warning);
    return e;
}

QString capitalized(const QString& word)
{
    QString out = word;
    bool start = true;
    for (QChar& c : out) {
        if (c.isLetter()) {
            if (start)
                c = c.toUpper();
            start = false;
        } else {
            start = !c.isDigit();
        }
    }
    return out;
}

QString sortedJoined(const QStringList& words, const QString& separator)
{
    QStringList sorted = words;
    std::sort(sorted.begin(), sorted.end());
    return sorted.join(separator);
}

QString formatG(double value, int precision)
{
    return QString::asprintf("%.*g", precision, value);
}

} // namespace KELCSS

using namespace KELCSS;

// ---- base ----

bool KELCSSPropertyValueDefinition::validErrorsArray(const KELSyntaxCheckErrors& errors)
{
    for (const KELSyntaxCheckError& e : errors)
        if (e.level() == KELSyntaxCheckError::Error && !e.nonInvalidatingError())
            return false;
    return true;
}

std::optional<KELParsedCSSValues> KELCSSPropertyValueDefinition::parsedValuesWithAttrValueSubstitutions(const KELParsedCSSValues& values)
{
    KELParsedCSSValues copy = values;
    bool replaced = false;
    for (qsizetype i = 0; i < copy.size(); ++i) {
        const KELParsedCSSValue* v = copy.at(i);
        if (v->type() == KELParsedCSSValue::Function && v->name().compare(QLatin1String("attr"), Qt::CaseInsensitive) == 0
            && v->subvalues().size() >= 5) {
            copy[i] = v->subvalues().at(4);
            replaced = true;
        }
    }
    if (!replaced)
        return std::nullopt;
    return copy;
}

kit::Range KELCSSPropertyValueDefinition::joinedTextRange(const KELParsedCSSValues& values)
{
    kit::Range joined(kit::NotFound, 0);
    for (const KELParsedCSSValue* v : values) {
        const kit::Range r = v->textRange();
        if (r.location == kit::NotFound)
            continue;
        joined = joined.location == kit::NotFound ? r : kit::Range::unionOf(joined, r);
    }
    return joined;
}

KELSyntaxCheckErrors KELCSSPropertyValueDefinition::validateParsedValues(const KELParsedCSSValues& values,
    const KELParsedCSSObject* declaration, qsizetype& index) const
{
    KELSyntaxCheckErrors errors;
    validateParsedValues(values, declaration, index, errors);
    return errors;
}

QString KELCSSPropertyValueDefinition::displayDescription() const
{
    if (m_haveDisplayCache)
        return m_displayCache;
    const QString expected = expectedValuesDescription();
    QString text;
    if (!expected.isEmpty()) {
        text = QStringLiteral("Expected: ") + expected;
    } else {
        const QString generic = genericErrorDescription();
        text = generic.size() <= 500 ? generic : QStringLiteral("Expected: ") + shortGenericErrorDescription();
    }
    m_displayCache = text;
    m_haveDisplayCache = true;
    return text;
}

QString KELCSSPropertyValueDefinition::displayExpectedValuesDescription() const
{
    if (m_haveExpectedCache)
        return m_expectedCache;
    const QString expected = expectedValuesDescription();
    m_expectedCache = expected.isEmpty() ? shortGenericErrorDescription() : expected;
    m_haveExpectedCache = true;
    return m_expectedCache;
}

KELSyntaxCheckError KELCSSPropertyValueDefinition::missingValueErrorForValues(const KELParsedCSSValues& values,
    const KELParsedCSSObject* declaration) const
{
    const QString type = declaration ? declaration->itemTypeName() : QStringLiteral("value");
    const QString name = declaration ? declaration->itemName() : QString();
    const QString format = values.isEmpty() ? QStringLiteral("The %1 \"%2\" is missing a value.")
                                            : QStringLiteral("The %1 \"%2\" is missing at least one required value.");
    const kit::Range range = declaration ? declaration->textRange() : joinedTextRange(values);
    return makeError(QStringLiteral("Missing Value"), format.arg(type, name), range);
}

KELSyntaxCheckError KELCSSPropertyValueDefinition::invalidValueError(const KELParsedCSSObject* declaration, kit::Range range) const
{
    const QString type = declaration ? declaration->itemTypeName() : QStringLiteral("value");
    return makeError(QStringLiteral("Invalid %1 Value").arg(capitalized(type)), displayDescription(), range);
}

kit::Range KELCSSPropertyValueDefinition::rangeAtIndex(const KELParsedCSSValues& values, qsizetype index, const KELParsedCSSObject* declaration)
{
    if (index >= 0 && index < values.size())
        return values.at(index)->textRange();
    if (!values.isEmpty()) {
        const kit::Range last = values.last()->textRange();
        if (last.location != kit::NotFound)
            return kit::Range(last.end(), 0);
    }
    return declaration ? declaration->textRange() : kit::Range(kit::NotFound, 0);
}

// ---- simple ----

void KELCSSPropertySimpleValueDefinition::validateParsedValues(const KELParsedCSSValues& values,
    const KELParsedCSSObject* declaration, qsizetype& index, KELSyntaxCheckErrors& errors) const
{
    if (index >= values.size()) {
        errors.append(missingValueErrorForValues(values, declaration));
        return;
    }
    const KELParsedCSSValue* value = values.at(index);
    const KELCSSPropertyFunctionValueDefinition* attr = KELCSSSpec::sharedInstance().attrFunction();
    if (attr && value->type() == KELParsedCSSValue::Function && value->name().compare(QLatin1String("attr"), Qt::CaseInsensitive) == 0) {
        KELSyntaxCheckErrors attrErrors;
        attr->validateParsedValue(value, declaration, attrErrors);
        errors.append(attrErrors);
        if (validErrorsArray(attrErrors)) {
            const KELParsedCSSValues& args = value->subvalues();
            const QString id = args.isEmpty() ? QString() : args.at(0)->name();
            std::optional<QString> type;
            if (args.size() >= 3)
                type = args.at(2)->name();
            validateAttrFunction(value, declaration, errors, id, type, nullptr);
        }
    } else {
        validateParsedValue(value, declaration, errors);
    }
    ++index;
}

bool KELCSSPropertySimpleValueDefinition::checkType(const KELParsedCSSValue* value, KELSyntaxCheckErrors& errors) const
{
    if (m_expectedType == AnyType || quint32(value->type()) == m_expectedType)
        return true;
    // Failed alternatives make many of these; the texts are formatted once per pair of types.
    static QString texts[12][12];
    const quint32 actual = quint32(value->type());
    QString text;
    if (m_expectedType < 12 && actual < 12) {
        QString& cached = texts[m_expectedType][actual];
        if (cached.isEmpty())
            cached = QStringLiteral("Value type <%1> was expected, but the actual value was of type <%2>.")
                         .arg(KELParsedCSSValue::nameForType(m_expectedType), KELParsedCSSValue::nameForType(actual));
        text = cached;
    } else {
        text = QStringLiteral("Value type <%1> was expected, but the actual value was of type <%2>.")
                   .arg(KELParsedCSSValue::nameForType(m_expectedType), KELParsedCSSValue::nameForType(actual));
    }
    static const QString title = QStringLiteral("Unexpected Value Type");
    errors.append(makeError(title, text, value->textRange()));
    return false;
}

void KELCSSPropertySimpleValueDefinition::validateParsedValue(const KELParsedCSSValue* value, const KELParsedCSSObject*, KELSyntaxCheckErrors& errors) const
{
    checkType(value, errors);
}

bool KELCSSPropertySimpleValueDefinition::validateAttrFunction(const KELParsedCSSValue* attr, const KELParsedCSSObject* declaration,
    KELSyntaxCheckErrors& errors, const QString&, const std::optional<QString>& type, const KELParsedCSSValue* substitute) const
{
    if (m_expectedType != AnyType) {
        quint32 implied = KELParsedCSSValue::Dimension;
        const QString word = type ? type->toLower() : QString();
        if (!type || word == QLatin1String("string"))
            implied = KELParsedCSSValue::String;
        else if (word == QLatin1String("url"))
            implied = KELParsedCSSValue::URI;
        else if (word == QLatin1String("number") || word == QLatin1String("integer"))
            implied = KELParsedCSSValue::Number;
        else if (word == QLatin1String("%"))
            implied = KELParsedCSSValue::Percentage;
        else if (word == QLatin1String("color"))
            implied = KELParsedCSSValue::Hash;
        if (implied != m_expectedType)
            errors.append(makeError(QStringLiteral("Unexpected Value Type"),
                QStringLiteral("Value type <%1> was expected, but the type specified or implied in attr() is <%2>.")
                    .arg(KELParsedCSSValue::nameForType(m_expectedType), KELParsedCSSValue::nameForType(implied)),
                attr->textRange()));
    }
    if (!substitute)
        return true;
    KELSyntaxCheckErrors sub;
    validateParsedValue(substitute, declaration, sub);
    errors.append(sub);
    return validErrorsArray(sub);
}

QString KELCSSPropertySimpleValueDefinition::genericErrorDescription() const
{
    if (m_expectedType == AnyType)
        return QString();
    return QStringLiteral("Value type <%1> was expected.").arg(KELParsedCSSValue::nameForType(m_expectedType));
}

QString KELCSSPropertySimpleValueDefinition::shortGenericErrorDescription() const
{
    if (m_expectedType == AnyType)
        return QStringLiteral("<any-value>");
    const QString name = KELParsedCSSValue::nameForType(m_expectedType);
    return QStringLiteral("<%1>").arg(name.isEmpty() ? QStringLiteral("unicode-range") : name);
}

// ---- identifier, letter, keyword set ----

void KELCSSPropertyIdentifierValueDefinition::validateParsedValue(const KELParsedCSSValue* value, const KELParsedCSSObject*, KELSyntaxCheckErrors& errors) const
{
    if (!checkType(value, errors))
        return;
    const QString lower = value->name().toLower();
    if (lower == QLatin1String("inherit") || lower == QLatin1String("initial") || m_disallowed.contains(lower))
        errors.append(makeError(QStringLiteral("Unrecognized Value"), QStringLiteral("The value \"%1\" is not recognized.").arg(value->name()),
            value->textRange()));
}

void KELCSSPropertyLetterValueDefinition::validateParsedValue(const KELParsedCSSValue* value, const KELParsedCSSObject* declaration, KELSyntaxCheckErrors& errors) const
{
    KELCSSPropertyIdentifierValueDefinition::validateParsedValue(value, declaration, errors);
    const QString& name = value->name();
    if (name.size() != 1)
        errors.append(makeError(QStringLiteral("Invalid Value"), QStringLiteral("Expected a single letter character."), value->textRange(), true));
    else if (!name.at(0).isLetter())
        errors.append(makeError(QStringLiteral("Invalid Value"),
            QStringLiteral("Expected a single letter character (the character '%1' is not a letter).").arg(name.at(0)), value->textRange(), true));
}

KELCSSPropertyIdSetValueDefinition::KELCSSPropertyIdSetValueDefinition(const QStringList& ids)
    : KELCSSPropertySimpleValueDefinition(KELParsedCSSValue::Identifier)
{
    for (const QString& id : ids)
        m_ids.insert(id.toLower());
    m_sorted = QStringList(m_ids.begin(), m_ids.end());
    std::sort(m_sorted.begin(), m_sorted.end());
    m_joined = m_sorted.join(QStringLiteral(", "));
}

void KELCSSPropertyIdSetValueDefinition::validateParsedValue(const KELParsedCSSValue* value, const KELParsedCSSObject* declaration, KELSyntaxCheckErrors& errors) const
{
    if (!checkType(value, errors))
        return;
    if (m_ids.contains(value->name().toLower()))
        return;
    errors.append(makeError(QStringLiteral("Unrecognized Value"),
        QStringLiteral("The value \"%1\" is not recognized for the %2 \"%3\". One of the following was expected: %4.")
            .arg(value->name(), declaration ? declaration->itemTypeName() : QStringLiteral("value"),
                declaration ? declaration->itemName() : QString(), m_joined),
        value->textRange()));
}

QString KELCSSPropertyIdSetValueDefinition::genericErrorDescription() const
{
    return QStringLiteral("One of the following values was expected: %1.").arg(m_joined);
}

QString KELCSSPropertyIdSetValueDefinition::shortGenericErrorDescription() const
{
    return QStringLiteral("[%1]").arg(m_sorted.join(QLatin1Char('|')));
}

// ---- numbers ----

void KELCSSPropertyNumberValueDefinition::checkRange(const KELParsedCSSValue* value, KELSyntaxCheckErrors& errors) const
{
    const double v = value->value();
    if (v >= m_min && v <= m_max)
        return;
    const bool hasMin = m_min != -Unset, hasMax = m_max != Unset;
    QString text;
    if (hasMin && hasMax)
        text = QStringLiteral("The value \"%1\" must be between %2 and %3.").arg(value->description(), formatG(m_min), formatG(m_max));
    else if (hasMin)
        text = QStringLiteral("The value \"%1\" must be greater than or equal to %2.").arg(value->description(), formatG(m_min));
    else
        text = QStringLiteral("The value \"%1\" must be less than or equal to %2.").arg(value->description(), formatG(m_max));
    errors.append(makeError(QStringLiteral("Value Not in Valid Range"), text, value->textRange(), true, m_warning));
}

void KELCSSPropertyNumberValueDefinition::validateParsedValue(const KELParsedCSSValue* value, const KELParsedCSSObject*, KELSyntaxCheckErrors& errors) const
{
    if (checkType(value, errors))
        checkRange(value, errors);
}

void KELCSSPropertyIntegerValueDefinition::validateParsedValue(const KELParsedCSSValue* value, const KELParsedCSSObject* declaration, KELSyntaxCheckErrors& errors) const
{
    if (!checkType(value, errors))
        return;
    KELCSSPropertyNumberValueDefinition::validateParsedValue(value, declaration, errors);
    if (value->name().contains(QLatin1Char('.')))
        errors.append(makeError(QStringLiteral("Invalid Integer Value"),
            QStringLiteral("A real number was found where an integer was expected (remove the \".\" from the number)."), value->textRange(), true));
}

bool KELCSSPropertyIntegerValueDefinition::validateAttrFunction(const KELParsedCSSValue* attr, const KELParsedCSSObject* declaration,
    KELSyntaxCheckErrors& errors, const QString& id, const std::optional<QString>& type, const KELParsedCSSValue* substitute) const
{
    if (!KELCSSPropertySimpleValueDefinition::validateAttrFunction(attr, declaration, errors, id, type, substitute))
        return false;
    if (!type || type->compare(QLatin1String("integer"), Qt::CaseInsensitive) == 0)
        return true;
    errors.append(makeError(QStringLiteral("Unexpected Value Type"), QStringLiteral("Expected the value \"integer\" for the type parameter in attr()."),
        attr->textRange()));
    return false;
}

// ---- dimensions ----

namespace {

struct UnitTable {
    QMutex mutex;
    QHash<QString, QStringList> units {
        { QStringLiteral("dimension"), {} },
        { QStringLiteral("length"), { "cm", "em", "ex", "gr", "in", "mm", "pc", "pt", "px" } },
        { QStringLiteral("angle"), { "deg", "grad", "rad", "turn" } },
        { QStringLiteral("time"), { "ms", "s" } },
        { QStringLiteral("frequency"), { "hz", "khz" } },
        { QStringLiteral("resolution"), { "dpcm", "dpi", "dppx" } },
        { QStringLiteral("semitones"), { "st" } },
    };
};

UnitTable& unitTable()
{
    static UnitTable table;
    return table;
}

} // namespace

QStringList KELCSSPropertyDimensionValueDefinition::validUnitsForType(const QString& typeName)
{
    UnitTable& t = unitTable();
    QMutexLocker lock(&t.mutex);
    return t.units.value(typeName);
}

void KELCSSPropertyDimensionValueDefinition::addValidUnits(const QString& typeName, const QStringList& units)
{
    UnitTable& t = unitTable();
    QMutexLocker lock(&t.mutex);
    QStringList& list = t.units[typeName];
    for (const QString& u : units)
        if (!list.contains(u.toLower()))
            list.append(u.toLower());
    std::sort(list.begin(), list.end());
}

QStringList KELCSSPropertyDimensionValueDefinition::validUnits() const
{
    return validUnitsForType(m_typeName);
}

bool KELCSSPropertyDimensionValueDefinition::checkDimension(const KELParsedCSSValue* value, KELSyntaxCheckErrors& errors) const
{
    const QStringList units = validUnits();
    if (!units.contains(value->name().toLower())) {
        errors.append(makeError(QStringLiteral("Unrecognized Dimension"),
            QStringLiteral("The dimension \"%1\" is not recognized for %2 values. One of the following was expected: %3.")
                .arg(value->name(), m_typeName, units.join(QStringLiteral(", "))),
            value->textRange()));
        return false;
    }
    if (m_nonNegative && value->value() < 0) {
        errors.append(makeError(QStringLiteral("Non-Negative Value Required"), QStringLiteral("The value must be greater than or equal to 0."),
            value->textRange(), true));
        return false;
    }
    return true;
}

void KELCSSPropertyDimensionValueDefinition::validateParsedValue(const KELParsedCSSValue* value, const KELParsedCSSObject*, KELSyntaxCheckErrors& errors) const
{
    if (checkType(value, errors))
        checkDimension(value, errors);
}

bool KELCSSPropertyDimensionValueDefinition::validateAttrFunction(const KELParsedCSSValue* attr, const KELParsedCSSObject* declaration,
    KELSyntaxCheckErrors& errors, const QString& id, const std::optional<QString>& type, const KELParsedCSSValue* substitute) const
{
    if (!KELCSSPropertySimpleValueDefinition::validateAttrFunction(attr, declaration, errors, id, type, substitute))
        return false;
    const QString word = type ? type->toLower() : QString();
    const QStringList units = validUnits();
    if (units.contains(word) || word == m_typeName)
        return true;
    errors.append(makeError(QStringLiteral("Unexpected Value Type"),
        QStringLiteral("Expected one of the following values for the type parameter in attr(): %1, %2").arg(m_typeName, units.join(QStringLiteral(", "))),
        attr->textRange()));
    return false;
}

QString KELCSSPropertyDimensionValueDefinition::genericErrorDescription() const
{
    return QStringLiteral("Value type <%1> was expected for %2 values, with one of the following dimensions: %3.")
        .arg(QStringLiteral("dimension"), m_typeName, validUnits().join(QStringLiteral(", ")));
}

QString KELCSSPropertyDimensionValueDefinition::shortGenericErrorDescription() const
{
    return QStringLiteral("<%1>").arg(m_typeName);
}

void KELCSSPropertyAngleValueDefinition::validateParsedValue(const KELParsedCSSValue* value, const KELParsedCSSObject*, KELSyntaxCheckErrors& errors) const
{
    if (!checkType(value, errors))
        return;
    const qsizetype before = errors.size();
    checkDimension(value, errors);
    if (errors.size() != before)
        return;
    const bool hasMin = m_minDegrees != std::numeric_limits<qint64>::min();
    const bool hasMax = m_maxDegrees != std::numeric_limits<qint64>::max();
    if (!hasMin && !hasMax)
        return;
    const QString unit = value->name().toLower();
    auto convert = [&](double degrees) {
        if (unit == QLatin1String("grad"))
            return degrees * 100.0 / 90.0;
        if (unit == QLatin1String("rad"))
            return degrees * M_PI / 180.0;
        if (unit == QLatin1String("turn"))
            return degrees / 360.0;
        return degrees;
    };
    const double lo = hasMin ? convert(double(m_minDegrees)) : -KELCSSPropertyNumberValueDefinition::Unset;
    const double hi = hasMax ? convert(double(m_maxDegrees)) : KELCSSPropertyNumberValueDefinition::Unset;
    const double v = value->value();
    if (v >= lo && v <= hi)
        return;
    const QString& u = value->name();
    QString text;
    if (hasMin && hasMax)
        text = QStringLiteral("The value \"%1\" must be between %2%3 and %4%3.").arg(value->description(), formatG(lo, 3), u, formatG(hi, 3));
    else if (hasMin)
        text = QStringLiteral("The value \"%1\" must be greater than or equal to %2%3.").arg(value->description(), formatG(lo, 3), u);
    else
        text = QStringLiteral("The value \"%1\" must be less than or equal to %2%3.").arg(value->description(), formatG(hi, 3), u);
    errors.append(makeError(QStringLiteral("Value Not in Valid Range"), text, value->textRange(), true));
}

void KELCSSPropertyTimeValueDefinition::validateParsedValue(const KELParsedCSSValue* value, const KELParsedCSSObject* declaration, KELSyntaxCheckErrors& errors) const
{
    if (value->type() == KELParsedCSSValue::Number && qint64(value->value()) == 0)
        return;
    KELCSSPropertyDimensionValueDefinition::validateParsedValue(value, declaration, errors);
}

// ---- length ----

void KELCSSPropertyLengthValueDefinition::validateParsedValue(const KELParsedCSSValue* value, const KELParsedCSSObject* declaration, KELSyntaxCheckErrors& errors) const
{
    if (value->type() == KELParsedCSSValue::Function && KELCSSSpec::sharedInstance().isMathFunction(value->name())) {
        KELCSSPropertyCalcValueDefinition::lengthCalc().validateParsedValue(value, declaration, errors);
        return;
    }
    if (value->type() == KELParsedCSSValue::Number) {
        if (value->value() != 0)
            errors.append(makeError(QStringLiteral("Invalid Length Value"),
                QStringLiteral("Length units can be omitted only for '0'. Otherwise a unit (px, pt, etc.) must be specified."), value->textRange(), true));
        return;
    }
    KELCSSPropertyAbsoluteLengthValueDefinition absolute;
    absolute.setNonNegative(m_nonNegative);
    absolute.validateParsedValue(value, declaration, errors);
}

bool KELCSSPropertyLengthValueDefinition::validateAttrFunction(const KELParsedCSSValue* attr, const KELParsedCSSObject* declaration,
    KELSyntaxCheckErrors& errors, const QString& id, const std::optional<QString>& type, const KELParsedCSSValue* substitute) const
{
    KELCSSPropertyAbsoluteLengthValueDefinition absolute;
    absolute.setNonNegative(m_nonNegative);
    if (!absolute.validateAttrFunction(attr, declaration, errors, id, type, nullptr))
        return false;
    if (!substitute)
        return true;
    KELSyntaxCheckErrors sub;
    validateParsedValue(substitute, declaration, sub);
    errors.append(sub);
    return validErrorsArray(sub);
}

// ---- string, hash colour ----

void KELCSSPropertyStringValueDefinition::validateParsedValue(const KELParsedCSSValue* value, const KELParsedCSSObject*, KELSyntaxCheckErrors& errors) const
{
    if (!checkType(value, errors))
        return;
    const quint64 length = quint64(value->name().size());
    if (length >= m_minLength && length <= m_maxLength)
        return;
    const QString plural = m_minLength == 1 ? QString() : QStringLiteral("s");
    QString text;
    if (m_minLength == m_maxLength)
        text = QStringLiteral("Expected a string with %1 character%2.").arg(m_minLength).arg(plural);
    else if (m_maxLength == std::numeric_limits<quint64>::max())
        text = QStringLiteral("Expected a string with at least %1 character%2.").arg(m_minLength).arg(plural);
    else
        text = QStringLiteral("Expected a string with at between %1 and %2 characters.").arg(m_minLength).arg(m_maxLength);
    errors.append(makeError(QStringLiteral("Invalid String Value"), text, value->textRange(), true));
}

namespace {
struct DigitCounts {
    QMutex mutex;
    QList<int> counts { 3, 6 };
};
DigitCounts& digitCounts()
{
    static DigitCounts d;
    return d;
}
} // namespace

void KELCSSPropertyHashColorValueDefinition::addValidDigitCounts(const QList<int>& counts)
{
    DigitCounts& d = digitCounts();
    QMutexLocker lock(&d.mutex);
    for (int c : counts)
        if (!d.counts.contains(c))
            d.counts.append(c);
}

void KELCSSPropertyHashColorValueDefinition::validateParsedValue(const KELParsedCSSValue* value, const KELParsedCSSObject*, KELSyntaxCheckErrors& errors) const
{
    if (!checkType(value, errors))
        return;
    const QString name = value->name().toLower();
    bool ok;
    {
        DigitCounts& d = digitCounts();
        QMutexLocker lock(&d.mutex);
        ok = d.counts.contains(int(name.size()));
    }
    for (QChar c : name)
        if (!((c >= u'0' && c <= u'9') || (c >= u'a' && c <= u'f')))
            ok = false;
    if (!ok)
        errors.append(makeError(QStringLiteral("Invalid Color Value"),
            QStringLiteral("Colors should be represented as \"#\" followed by either 3 or 6 hexadecimal characters (0 to 9, or 'a' to 'f')."),
            value->textRange(), true));
}

bool KELCSSPropertyHashColorValueDefinition::validateAttrFunction(const KELParsedCSSValue* attr, const KELParsedCSSObject* declaration,
    KELSyntaxCheckErrors& errors, const QString& id, const std::optional<QString>& type, const KELParsedCSSValue* substitute) const
{
    if (!KELCSSPropertySimpleValueDefinition::validateAttrFunction(attr, declaration, errors, id, type, substitute))
        return false;
    if (!type || type->compare(QLatin1String("color"), Qt::CaseInsensitive) == 0)
        return true;
    errors.append(makeError(QStringLiteral("Unexpected Value Type"), QStringLiteral("Expected the value \"color\" for the type parameter in attr()."),
        attr->textRange()));
    return false;
}

// ---- function, delimiter ----

bool KELCSSPropertyFunctionValueDefinition::checkFunctionName(const KELParsedCSSValue* value, KELSyntaxCheckErrors& errors) const
{
    if (!checkType(value, errors))
        return false;
    if (!m_functionName.isEmpty() && value->name().compare(m_functionName, Qt::CaseInsensitive) != 0) {
        errors.append(makeError(QStringLiteral("Unrecognized Function Name"), QStringLiteral("Expected a function named \"%1\".").arg(m_functionName),
            value->textRange()));
        return false;
    }
    return true;
}

void KELCSSPropertyFunctionValueDefinition::validateParsedValue(const KELParsedCSSValue* value, const KELParsedCSSObject*, KELSyntaxCheckErrors& errors) const
{
    if (!checkFunctionName(value, errors) || !m_parameters)
        return;
    const KELParsedCSSValues& args = value->subvalues();
    qsizetype index = 0;
    KELSyntaxCheckErrors list = m_parameters->validateParsedValues(args, value, index);
    if (validErrorsArray(list) && index < args.size()) {
        list.append(makeError(QStringLiteral("Invalid Function Parameters"),
            QStringLiteral("There are too many values or unexpected values for the function \"%1\", beginning with \"%2\".\n%3")
                .arg(m_functionName.isEmpty() ? value->name() : m_functionName, args.at(index)->description(), m_parameters->displayDescription()),
            joinedTextRange(args.mid(index))));
    }
    for (KELSyntaxCheckError& e : list)
        e.setNonInvalidatingError(true);
    errors.append(list);
}

QString KELCSSPropertyFunctionValueDefinition::genericErrorDescription() const
{
    return QStringLiteral("Expected a function named \"%1\".").arg(m_functionName);
}

QString KELCSSPropertyFunctionValueDefinition::shortGenericErrorDescription() const
{
    return m_functionName + QStringLiteral("()");
}

void KELCSSPropertyDelimiterValueDefinition::validateParsedValue(const KELParsedCSSValue* value, const KELParsedCSSObject* declaration, KELSyntaxCheckErrors& errors) const
{
    if (!checkType(value, errors))
        return;
    const QString& name = value->name();
    const bool ok = !name.isEmpty() && (m_characterSet ? m_characterSet(name.at(0)) : name.at(0) == m_delimiter);
    if (ok)
        return;
    const QString type = declaration ? declaration->itemTypeName() : QStringLiteral("value");
    const QString item = declaration ? declaration->itemName() : QString();
    const QString text = m_characterSet
        ? QStringLiteral("The delimiter \"%1\" is not recognized for the %2 \"%3\".").arg(name, type, item)
        : QStringLiteral("The delimiter \"%1\" is not recognized for the %2 \"%3\". The following delimiter was expected: %4.").arg(name, type, item, QString(m_delimiter));
    errors.append(makeError(QStringLiteral("Unrecognized Delimiter"), text, value->textRange()));
}

QString KELCSSPropertyDelimiterValueDefinition::genericErrorDescription() const
{
    if (m_characterSet)
        return QStringLiteral("A delimiter was expected.");
    return QStringLiteral("The following delimiter was expected: \"%1\".").arg(m_delimiter);
}

QString KELCSSPropertyDelimiterValueDefinition::shortGenericErrorDescription() const
{
    if (m_characterSet)
        return QStringLiteral("<delimiter>");
    return QStringLiteral("'%1'").arg(m_delimiter);
}
