#include "css/KELCSSPropertyDefinition.h"

#include "css/KELCSSPropertyValueDefinition.h"
#include "css/KELCSSSpec.h"
#include "css/KELParsedCSSDeclaration.h"
#include "css/KELParsedCSSValue.h"

using namespace KELCSS;

namespace {

bool isDelimiter(const KELParsedCSSValue* v, QChar c)
{
    return v->type() == KELParsedCSSValue::Delimiter && v->name().size() == 1 && v->name().at(0) == c;
}

// Functions such as var() whose value is only known when the page is shown.
void collectSubstitutions(const KELParsedCSSValues& values, const KELCSSSpec& grammar, KELParsedCSSValues& found, int depth = 0)
{
    if (depth > 64)
        return;
    for (const KELParsedCSSValue* v : values) {
        if (v->type() == KELParsedCSSValue::Function && grammar.substitutionFunction(v->name()))
            found.append(v);
        else if (v->type() == KELParsedCSSValue::Function || v->type() == KELParsedCSSValue::Block)
            collectSubstitutions(v->subvalues(), grammar, found, depth + 1);
    }
}

} // namespace

KELSyntaxCheckErrors KELCSSPropertyDefinition::validateParsedValues(const KELParsedCSSValues& values, const KELParsedCSSDeclaration* declaration) const
{
    return validate(values, declaration, false);
}

KELSyntaxCheckErrors KELCSSPropertyDefinition::validate(const KELParsedCSSValues& values, const KELParsedCSSDeclaration* declaration, bool substituted) const
{
    const KELCSSSpec& grammar = KELCSSSpec::sharedInstance();
    // "inherit" and its kin stand alone, "!important" after them included.
    qsizetype own = values.size();
    if (own >= 3 && isDelimiter(values.at(own - 2), QLatin1Char('!')) && values.at(own - 1)->type() == KELParsedCSSValue::Identifier
        && values.at(own - 1)->name().compare(QLatin1String("important"), Qt::CaseInsensitive) == 0)
        own -= 2;
    if (m_allowsInherit && own == 1 && values.at(0)->type() == KELParsedCSSValue::Identifier && grammar.isCSSWideKeyword(values.at(0)->name()))
        return {};

    KELSyntaxCheckErrors errors;
    KELParsedCSSValues substitutions;
    collectSubstitutions(values, grammar, substitutions);
    if (!substitutions.isEmpty()) {
        // The grammar cannot be applied before the substitution is known; check the functions themselves.
        for (const KELParsedCSSValue* function : substitutions) {
            qsizetype index = 0;
            grammar.substitutionFunction(function->name())->validateParsedValues(KELParsedCSSValues { function }, declaration, index, errors);
        }
        return errors;
    }

    qsizetype index = 0;
    if (m_valueDef)
        m_valueDef->validateParsedValues(values, declaration, index, errors);
    if (values.size() - index >= 2 && isDelimiter(values.at(index), QLatin1Char('!')) && values.at(index + 1)->type() == KELParsedCSSValue::Identifier
        && values.at(index + 1)->name().compare(QLatin1String("important"), Qt::CaseInsensitive) == 0)
        index += 2;
    const bool valid = KELCSSPropertyValueDefinition::validErrorsArray(errors);
    if (m_valueDef && index < values.size() && valid) {
        errors.append(makeError(QStringLiteral("Unexpected Values"),
            QStringLiteral("There are too many values or unexpected values for the property \"%1,\" beginning with \"%2\".\n%3")
                .arg(declaration ? declaration->propertyName() : m_propertyName, values.at(index)->description(), m_valueDef->displayDescription()),
            KELCSSPropertyValueDefinition::joinedTextRange(values.mid(index))));
    }
    if (!substituted && KELCSSPropertyValueDefinition::validErrorsArray(errors)) {
        if (const auto withFallbacks = KELCSSPropertyValueDefinition::parsedValuesWithAttrValueSubstitutions(values))
            errors.append(validate(*withFallbacks, declaration, true));
    }
    return errors;
}
