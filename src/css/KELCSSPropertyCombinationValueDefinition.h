#pragma once
// Components in any order, each at most once: one or more of them, or all of them.
// The best order is searched for.

#include "css/KELCSSPropertyComplexValueDefinition.h"
#include "css/KELCSSPropertyValueDefinition.h"
#include "css/KELParsedCSSObject.h"
#include "css/KELParsedCSSValue.h"

class KELCSSPropertyCombinationValueDefinition : public KELCSSPropertyComplexValueDefinition {
public:
    explicit KELCSSPropertyCombinationValueDefinition(QList<const KELCSSPropertyValueDefinition*> components, bool allRequired = false)
        : KELCSSPropertyComplexValueDefinition(std::move(components)), m_allRequired(allRequired) {}
    bool allRequired() const { return m_allRequired; }
    void setAllRequired(bool flag) { m_allRequired = flag; }
    void validateParsedValues(const KELParsedCSSValues& values, const KELParsedCSSObject* declaration,
        qsizetype& index, KELSyntaxCheckErrors& errors) const override;
    using KELCSSPropertyValueDefinition::validateParsedValues;
    QString genericErrorDescription() const override;
    QString shortGenericErrorDescription() const override;

private:
    struct Match {
        qsizetype used = 0;
        qsizetype end = 0;
        KELSyntaxCheckErrors errors;
    };
    Match search(const KELParsedCSSValues& values, const KELParsedCSSObject* declaration, QList<qsizetype> remaining,
        qsizetype used, qsizetype index) const;
    bool m_allRequired;
};
