#include "css/KELCSSPropertyRepeatValueDefinition.h"

#include "css/KELCSSPropertyDelimiterValueDefinition.h"
#include "css/KELCSSPropertyValueDefinition.h"
#include "css/KELParsedCSSObject.h"
#include "kit/Log.h"
#include "kit/Resources.h"
#include "css/KELParsedCSSValue.h"

KELCSSPropertyRepeatValueDefinition::KELCSSPropertyRepeatValueDefinition(const KELCSSPropertyValueDefinition* sequenced, QChar delimiter,
    quint64 minOccurs, quint64 maxOccurs)
    : m_sequenced(sequenced), m_min(minOccurs), m_max(maxOccurs)
{
    if (!delimiter.isNull())
        m_delimiterDef = std::make_unique<KELCSSPropertyDelimiterValueDefinition>(delimiter);
}

void KELCSSPropertyRepeatValueDefinition::validateParsedValues(const KELParsedCSSValues& values,
    const KELParsedCSSObject* declaration, qsizetype& index, KELSyntaxCheckErrors& errors) const
{
    quint64 count = 0;
    while ((m_max == 0 || count < m_max) && index < values.size()) {
        qsizetype after = index;
        if (count > 0 && m_delimiterDef) {
            KELSyntaxCheckErrors list = m_delimiterDef->validateParsedValues(values, declaration, after);
            if (!validErrorsArray(list))
                break;
        }
        KELSyntaxCheckErrors list = m_sequenced->validateParsedValues(values, declaration, after);
        if (!validErrorsArray(list))
            break;
        errors.append(list);
        const bool progressed = after > index;
        index = after;
        ++count;
        // A pass that consumed nothing would repeat forever.
        if (!progressed)
            break;
    }
    if (count < m_min)
        errors.append(invalidValueError(declaration, rangeAtIndex(values, index, declaration)));
}

QString KELCSSPropertyRepeatValueDefinition::genericErrorDescription() const
{
    QString count;
    if (m_max == 0)
        count = QStringLiteral("at least %1").arg(m_min);
    else if (m_min == m_max)
        count = QStringLiteral("exactly %1").arg(m_min);
    else if (m_min == 0 && m_max == 1)
        count = QStringLiteral("an optional");
    else
        count = QStringLiteral("between %1 and %2").arg(m_min).arg(m_max);
    const QString plural = m_max == 1 ? QString() : QStringLiteral("s");
    const QString separated = m_delimiterDef ? QStringLiteral(" separated by \"%1\" delimiters").arg(m_delimiterDef->delimiter()) : QString();
    return QStringLiteral("Expected %1 occurrence%2 of the following%3:\n%4").arg(count, plural, separated, m_sequenced->displayDescription());
}

QString KELCSSPropertyRepeatValueDefinition::shortGenericErrorDescription() const
{
    const QString s = m_sequenced->displayExpectedValuesDescription();
    if (m_max == 1)
        return m_min == 0 ? s + QLatin1Char('?') : s;
    if (!m_delimiterDef) {
        if (m_max == 0) {
            if (m_min == 0)
                return s + QLatin1Char('*');
            if (m_min == 1)
                return s + QLatin1Char('+');
            return QStringLiteral("%1{%2,inf}").arg(s).arg(m_min);
        }
        return QStringLiteral("%1{%2,%3}").arg(s).arg(m_min).arg(m_max);
    }
    const QChar c = m_delimiterDef->delimiter();
    if (m_max == 0) {
        if (m_min == 0)
            return QStringLiteral("[[%1 '%2']* %1]?").arg(s, QString(c));
        if (m_min == 1)
            return QStringLiteral("[%1 '%2']* %1").arg(s, QString(c));
        return QStringLiteral("[%1 '%2']{%3,inf} %1").arg(s, QString(c)).arg(m_min - 1);
    }
    if (m_min == 0)
        return QStringLiteral("[[%1 '%2']{%3,%4} %1]?").arg(s, QString(c)).arg(0).arg(m_max - 1);
    return QStringLiteral("[%1 '%2']{%3,%4} %1").arg(s, QString(c)).arg(m_min - 1).arg(m_max - 1);
}
