#include "css/KELCSSPropertyLengthValueDefinition.h"

#include "css/KELCSSPropertyAbsoluteLengthValueDefinition.h"
#include "css/KELCSSPropertyCalcValueDefinition.h"
#include "css/KELCSSSpec.h"
#include "css/KELParsedCSSObject.h"
#include "css/KELParsedCSSValue.h"
#include "css/KELCSSPropertyValueDefinition.h"

using namespace KELCSS;

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
