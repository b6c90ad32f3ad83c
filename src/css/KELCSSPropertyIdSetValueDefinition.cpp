#include "css/KELCSSPropertyIdSetValueDefinition.h"

#include "css/KELCSSPropertySimpleValueDefinition.h"
#include "css/KELParsedCSSObject.h"
#include "css/KELParsedCSSValue.h"
#include "css/KELCSSPropertyValueDefinition.h"

using namespace KELCSS;

KELCSSPropertyIdSetValueDefinition::KELCSSPropertyIdSetValueDefinition(const QStringList& ids)
    : KELCSSPropertySimpleValueDefinition(KELParsedCSSValue::Identifier)
{
    for (const QString& id : ids)
        m_ids.insert(id.toLower());
    m_sorted = QStringList(m_ids.begin(), m_ids.end());
    std::sort(m_sorted.begin(), m_sorted.end());
    m_joined = m_sorted.join(QStringLiteral(", "));
}

void KELCSSPropertyIdSetValueDefinition::validateParsedValue(const KELParsedCSSValue* value, const KELParsedCSSObject* declaration, KELSyntaxCheckErrors& errors) const
{
    if (!checkType(value, errors))
        return;
    if (m_ids.contains(value->name().toLower()))
        return;
    errors.append(makeError(QStringLiteral("Unrecognized Value"),
        QStringLiteral("The value \"%1\" is not recognized for the %2 \"%3\". One of the following was expected: %4.")
            .arg(value->name(), declaration ? declaration->itemTypeName() : QStringLiteral("value"),
                declaration ? declaration->itemName() : QString(), m_joined),
        value->textRange()));
}

QString KELCSSPropertyIdSetValueDefinition::genericErrorDescription() const
{
    return QStringLiteral("One of the following values was expected: %1.").arg(m_joined);
}

QString KELCSSPropertyIdSetValueDefinition::shortGenericErrorDescription() const
{
    return QStringLiteral("[%1]").arg(m_sorted.join(QLatin1Char('|')));
}
