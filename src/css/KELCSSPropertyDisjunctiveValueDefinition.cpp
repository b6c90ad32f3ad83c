#include "css/KELCSSPropertyDisjunctiveValueDefinition.h"

#include "css/KELCSSPropertyValueDefinition.h"
#include "css/KELParsedCSSObject.h"
#include "kit/Log.h"
#include "kit/Resources.h"
#include "css/KELParsedCSSValue.h"

void KELCSSPropertyDisjunctiveValueDefinition::validateParsedValues(const KELParsedCSSValues& values,
    const KELParsedCSSObject* declaration, qsizetype& index, KELSyntaxCheckErrors& errors) const
{
    if (index >= values.size()) {
        errors.append(missingValueErrorForValues(values, declaration));
        return;
    }
    bool haveBest = false;
    qsizetype bestEnd = index;
    KELSyntaxCheckErrors bestErrors;
    kit::Range failedRange(kit::NotFound, 0);
    for (const KELCSSPropertyValueDefinition* alternative : m_components) {
        qsizetype end = index;
        KELSyntaxCheckErrors list = alternative->validateParsedValues(values, declaration, end);
        if (validErrorsArray(list) && (!haveBest || end > bestEnd)) {
            haveBest = true;
            bestEnd = end;
            bestErrors = list;
            if (end >= values.size())
                break;
            continue;
        }
        for (const KELSyntaxCheckError& e : list) {
            const kit::Range r = e.textRange();
            if (r.location == kit::NotFound)
                continue;
            failedRange = failedRange.location == kit::NotFound ? r : kit::Range::unionOf(failedRange, r);
        }
    }
    if (haveBest) {
        index = bestEnd;
        errors.append(bestErrors);
        return;
    }
    if (failedRange.location == kit::NotFound && declaration)
        failedRange = declaration->textRange();
    errors.append(invalidValueError(declaration, failedRange));
}

QString KELCSSPropertyDisjunctiveValueDefinition::genericErrorDescription() const
{
    QString text;
    bool first = true;
    for (const KELCSSPropertyValueDefinition* c : m_components) {
        if (!first) {
            if (!text.endsWith(QLatin1Char('\n')))
                text += QLatin1Char('\n');
            text += QStringLiteral("OR\n");
        }
        first = false;
        text += c->displayDescription();
    }
    return text;
}

QString KELCSSPropertyDisjunctiveValueDefinition::shortGenericErrorDescription() const
{
    QStringList parts;
    for (const KELCSSPropertyValueDefinition* c : m_components)
        parts.append(c->displayExpectedValuesDescription());
    return QStringLiteral("[") + parts.join(QStringLiteral(" | ")) + QStringLiteral("]");
}
