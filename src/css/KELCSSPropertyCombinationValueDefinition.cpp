#include "css/KELCSSPropertyCombinationValueDefinition.h"

#include "css/KELCSSPropertyValueDefinition.h"
#include "css/KELParsedCSSObject.h"
#include "kit/Log.h"
#include "kit/Resources.h"
#include "css/KELParsedCSSValue.h"

KELCSSPropertyCombinationValueDefinition::Match KELCSSPropertyCombinationValueDefinition::search(const KELParsedCSSValues& values,
    const KELParsedCSSObject* declaration, QList<qsizetype> remaining, qsizetype used, qsizetype index) const
{
    bool haveBest = false;
    Match best;
    for (qsizetype k = 0; k < remaining.size(); ++k) {
        const qsizetype component = remaining.at(k);
        qsizetype after = index;
        KELSyntaxCheckErrors own = m_components.at(component)->validateParsedValues(values, declaration, after);
        if (!validErrorsArray(own))
            continue;
        QList<qsizetype> rest = remaining;
        rest.removeAt(k);
        Match continuation = search(values, declaration, rest, used + 1, after);
        Match candidate { continuation.used, continuation.end, continuation.errors + own };
        bool take = !haveBest || candidate.used > best.used;
        if (!take && candidate.used == best.used) {
            if (continuation.errors.size() < best.errors.size())
                take = true;
            else if (candidate.end > best.end)
                take = true;
        }
        if (take) {
            best = std::move(candidate);
            haveBest = true;
        }
    }
    if (!haveBest)
        return Match { used, index, {} };
    return best;
}

void KELCSSPropertyCombinationValueDefinition::validateParsedValues(const KELParsedCSSValues& values,
    const KELParsedCSSObject* declaration, qsizetype& index, KELSyntaxCheckErrors& errors) const
{
    QList<qsizetype> all;
    for (qsizetype i = 0; i < m_components.size(); ++i)
        all.append(i);
    Match best = search(values, declaration, all, 0, index);
    index = best.end;
    errors.append(best.errors);
    const bool ok = m_allRequired ? best.used == m_components.size() : best.used > 0;
    if (ok)
        return;
    if (index >= values.size())
        errors.append(missingValueErrorForValues(values, declaration));
    else
        errors.append(invalidValueError(declaration, values.at(index)->textRange()));
}

QString KELCSSPropertyCombinationValueDefinition::genericErrorDescription() const
{
    QString text = m_allRequired ? QStringLiteral("Expected all of the following in any order:\n")
                                 : QStringLiteral("Expected one or more of the following in any order:\n");
    for (qsizetype i = 0; i < m_components.size(); ++i)
        text += QStringLiteral("%1. %2\n").arg(i + 1).arg(m_components.at(i)->displayDescription());
    return text + QLatin1Char('\n');
}

QString KELCSSPropertyCombinationValueDefinition::shortGenericErrorDescription() const
{
    QStringList parts;
    for (const KELCSSPropertyValueDefinition* c : m_components)
        parts.append(c->displayExpectedValuesDescription());
    return QStringLiteral("[") + parts.join(QStringLiteral(" || ")) + QStringLiteral("]");
}
