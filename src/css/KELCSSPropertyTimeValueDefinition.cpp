#include "css/KELCSSPropertyTimeValueDefinition.h"

#include "css/KELCSSPropertyDimensionValueDefinition.h"
#include "css/KELParsedCSSObject.h"
#include "css/KELParsedCSSValue.h"
#include "css/KELCSSPropertyValueDefinition.h"

void KELCSSPropertyTimeValueDefinition::validateParsedValue(const KELParsedCSSValue* value, const KELParsedCSSObject* declaration, KELSyntaxCheckErrors& errors) const
{
    if (value->type() == KELParsedCSSValue::Number && qint64(value->value()) == 0)
        return;
    KELCSSPropertyDimensionValueDefinition::validateParsedValue(value, declaration, errors);
}
