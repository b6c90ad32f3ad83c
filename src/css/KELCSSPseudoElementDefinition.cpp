#include "css/KELCSSPseudoElementDefinition.h"

#include "css/KELParsedCSSSimpleSelector.h"
#include "css/KELCSSPropertyValueDefinition.h"

using namespace KELCSS;

KELSyntaxCheckErrors KELCSSPseudoElementDefinition::validateSimpleSelector(const KELParsedCSSSimpleSelector* selector) const
{
    if (selector->type() == KELParsedCSSSimpleSelector::PseudoElement) {
        if (selector->hasArgument() && m_argument == NoArgument)
            return { makeError(QStringLiteral("Pseudo-Element Selector Error"),
                QStringLiteral("The pseudo-element \"%1\" should not have parenthetical values.").arg(selector->name()), selector->textRange()) };
        return {};
    }
    return { makeError(QStringLiteral("Pseudo-Element Selector Error"), QStringLiteral("Expected a pseudo-element simple selector"), selector->textRange()) };
}
