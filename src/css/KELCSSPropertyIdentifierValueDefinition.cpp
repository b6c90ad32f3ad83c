#include "css/KELCSSPropertyIdentifierValueDefinition.h"

#include "css/KELParsedCSSObject.h"
#include "css/KELParsedCSSValue.h"
#include "css/KELCSSPropertyValueDefinition.h"

using namespace KELCSS;

void KELCSSPropertyIdentifierValueDefinition::validateParsedValue(const KELParsedCSSValue* value, const KELParsedCSSObject*, KELSyntaxCheckErrors& errors) const
{
    if (!checkType(value, errors))
        return;
    const QString lower = value->name().toLower();
    if (lower == QLatin1String("inherit") || lower == QLatin1String("initial") || m_disallowed.contains(lower))
        errors.append(makeError(QStringLiteral("Unrecognized Value"), QStringLiteral("The value \"%1\" is not recognized.").arg(value->name()),
            value->textRange()));
}
