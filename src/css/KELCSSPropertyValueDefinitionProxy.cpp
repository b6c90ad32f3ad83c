#include "css/KELCSSPropertyValueDefinitionProxy.h"

#include "css/KELParsedCSSObject.h"
#include "kit/Log.h"
#include "kit/Resources.h"
#include "css/KELCSSPropertyValueDefinition.h"
#include "css/KELParsedCSSValue.h"

void KELCSSPropertyValueDefinitionProxy::validateParsedValues(const KELParsedCSSValues& values,
    const KELParsedCSSObject* declaration, qsizetype& index, KELSyntaxCheckErrors& errors) const
{
    if (m_target)
        m_target->validateParsedValues(values, declaration, index, errors);
}
