#include "css/KELCSSPropertyStringValueDefinition.h"

#include "css/KELParsedCSSObject.h"
#include "css/KELParsedCSSValue.h"
#include "css/KELCSSPropertyValueDefinition.h"

using namespace KELCSS;

void KELCSSPropertyStringValueDefinition::validateParsedValue(const KELParsedCSSValue* value, const KELParsedCSSObject*, KELSyntaxCheckErrors& errors) const
{
    if (!checkType(value, errors))
        return;
    const quint64 length = quint64(value->name().size());
    if (length >= m_minLength && length <= m_maxLength)
        return;
    const QString plural = m_minLength == 1 ? QString() : QStringLiteral("s");
    QString text;
    if (m_minLength == m_maxLength)
        text = QStringLiteral("Expected a string with %1 character%2.").arg(m_minLength).arg(plural);
    else if (m_maxLength == std::numeric_limits<quint64>::max())
        text = QStringLiteral("Expected a string with at least %1 character%2.").arg(m_minLength).arg(plural);
    else
        text = QStringLiteral("Expected a string with at between %1 and %2 characters.").arg(m_minLength).arg(m_maxLength);
    errors.append(makeError(QStringLiteral("Invalid String Value"), text, value->textRange(), true));
}
