#include "css/KELCSSPseudoElementDefinition.h"

#include "css/KELParsedCSSSimpleSelector.h"
#include "css/KELCSSPropertyValueDefinition.h"

using namespace KELCSS;

KELSyntaxCheckErrors KELCSSPseudoElementDefinition::validateSimpleSelector(const KELParsedCSSSimpleSelector* selector) const
{
    if (selector->type() == KELParsedCSSSimpleSelector::PseudoElement)
        return {};
    return { makeError(QStringLiteral("Pseudo-Element Selector Error"), QStringLiteral("Expected a pseudo-element simple selector"), selector->textRange()) };
}
