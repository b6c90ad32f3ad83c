#include "css/KELCSSPropertyDelimiterValueDefinition.h"

#include "css/KELParsedCSSObject.h"
#include "css/KELParsedCSSValue.h"
#include "css/KELCSSPropertyValueDefinition.h"

using namespace KELCSS;

void KELCSSPropertyDelimiterValueDefinition::validateParsedValue(const KELParsedCSSValue* value, const KELParsedCSSObject* declaration, KELSyntaxCheckErrors& errors) const
{
    if (!checkType(value, errors))
        return;
    const QString& name = value->name();
    const bool ok = !name.isEmpty() && (m_characterSet ? m_characterSet(name.at(0)) : name.at(0) == m_delimiter);
    if (ok)
        return;
    const QString type = declaration ? declaration->itemTypeName() : QStringLiteral("value");
    const QString item = declaration ? declaration->itemName() : QString();
    const QString text = m_characterSet
        ? QStringLiteral("The delimiter \"%1\" is not recognized for the %2 \"%3\".").arg(name, type, item)
        : QStringLiteral("The delimiter \"%1\" is not recognized for the %2 \"%3\". The following delimiter was expected: %4.").arg(name, type, item, QString(m_delimiter));
    errors.append(makeError(QStringLiteral("Unrecognized Delimiter"), text, value->textRange()));
}

QString KELCSSPropertyDelimiterValueDefinition::genericErrorDescription() const
{
    if (m_characterSet)
        return QStringLiteral("A delimiter was expected.");
    return QStringLiteral("The following delimiter was expected: \"%1\".").arg(m_delimiter);
}

QString KELCSSPropertyDelimiterValueDefinition::shortGenericErrorDescription() const
{
    if (m_characterSet)
        return QStringLiteral("<delimiter>");
    return QStringLiteral("'%1'").arg(m_delimiter);
}
