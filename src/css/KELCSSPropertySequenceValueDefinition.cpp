#include "css/KELCSSPropertySequenceValueDefinition.h"

#include "css/KELCSSPropertyDelimiterValueDefinition.h"
#include "css/KELParsedCSSObject.h"
#include "kit/Log.h"
#include "kit/Resources.h"
#include "css/KELCSSPropertyValueDefinition.h"
#include "css/KELParsedCSSValue.h"

void KELCSSPropertySequenceValueDefinition::validateParsedValues(const KELParsedCSSValues& values,
    const KELParsedCSSObject* declaration, qsizetype& index, KELSyntaxCheckErrors& errors) const
{
    const qsizetype start = index;
    std::unique_ptr<KELCSSPropertyDelimiterValueDefinition> delimiterDef;
    if (!m_delimiter.isNull())
        delimiterDef = std::make_unique<KELCSSPropertyDelimiterValueDefinition>(m_delimiter);
    bool consumedSinceDelimiter = false;
    bool emptyMatchSeen = false;
    for (qsizetype p = 0; p < m_components.size(); ++p) {
        if (delimiterDef && consumedSinceDelimiter) {
            qsizetype after = index;
            KELSyntaxCheckErrors list = delimiterDef->validateParsedValues(values, declaration, after);
            if (!validErrorsArray(list)) {
                if (p < m_optionalIndex)
                    errors.append(list);
                return;
            }
            index = after;
            errors.append(list);
            consumedSinceDelimiter = false;
        }
        qsizetype after = index;
        KELSyntaxCheckErrors list = m_components.at(p)->validateParsedValues(values, declaration, after);
        if (validErrorsArray(list)) {
            if (after == index)
                emptyMatchSeen = true;
            else
                consumedSinceDelimiter = true;
            index = after;
            errors.append(list);
            continue;
        }
        if (p >= m_optionalIndex)
            return;
        if (!emptyMatchSeen)
            errors.append(list);
        else
            errors.append(invalidValueError(declaration, rangeAtIndex(values, start, declaration)));
        return;
    }
}

QString KELCSSPropertySequenceValueDefinition::genericErrorDescription() const
{
    QString text = QStringLiteral("Expected the following in order%1:\n")
                       .arg(m_delimiter.isNull() ? QString() : QStringLiteral(", delimited by '%1'").arg(m_delimiter));
    for (qsizetype i = 0; i < m_components.size(); ++i)
        text += QStringLiteral("%1. %2%3\n").arg(QChar(u'A' + int(i % 26)), m_components.at(i)->displayDescription(),
            i >= m_optionalIndex ? QStringLiteral(" (Optional)") : QString());
    return text;
}

QString KELCSSPropertySequenceValueDefinition::shortGenericErrorDescription() const
{
    QString text = QStringLiteral("[");
    const qsizetype lastRequired = std::min(m_optionalIndex, m_components.size()) - 1;
    for (qsizetype i = 0; i < m_components.size(); ++i) {
        text += m_components.at(i)->displayExpectedValuesDescription();
        if (i >= m_optionalIndex)
            text += m_delimiter.isNull() ? QStringLiteral("? ") : QStringLiteral("'%1'? ").arg(m_delimiter);
        else if (i != lastRequired)
            text += m_delimiter.isNull() ? QStringLiteral(" ") : QStringLiteral("'%1' ").arg(m_delimiter);
    }
    return text + QStringLiteral("]");
}
