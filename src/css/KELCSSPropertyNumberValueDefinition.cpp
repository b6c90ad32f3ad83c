#include "css/KELCSSPropertyNumberValueDefinition.h"

#include "css/KELParsedCSSObject.h"
#include "css/KELParsedCSSValue.h"
#include "css/KELCSSPropertyValueDefinition.h"

using namespace KELCSS;

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
