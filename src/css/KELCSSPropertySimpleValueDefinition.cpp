#include "css/KELCSSPropertySimpleValueDefinition.h"

#include "css/KELCSSPropertyFunctionValueDefinition.h"
#include "css/KELCSSSpec.h"
#include "css/KELParsedCSSObject.h"
#include "css/KELParsedCSSValue.h"
#include "css/KELCSSPropertyValueDefinition.h"

using namespace KELCSS;

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
    } else if (acceptsMathFunctions() && value->type() == KELParsedCSSValue::Function && KELCSSSpec::sharedInstance().isMathFunction(value->name())) {
        // calc(), min(), max() and clamp() compute a value of this type when the page is shown.
        if (value->subvalues().isEmpty())
            errors.append(makeError(QStringLiteral("Invalid Function Value"), QStringLiteral("The function %1() needs an expression.").arg(value->name()),
                value->textRange(), true));
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
