#include "css/KELCSSPropertyValueDefinition.h"

#include "css/KELParsedCSSObject.h"
#include "css/KELParsedCSSValue.h"


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
