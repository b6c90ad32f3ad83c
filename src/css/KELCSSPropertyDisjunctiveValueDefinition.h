#pragma once
// Alternatives: the longest valid one wins, the first of equally long ones.

#include "css/KELCSSPropertyComplexValueDefinition.h"
#include "css/KELCSSPropertyValueDefinition.h"
#include "css/KELParsedCSSObject.h"
#include "css/KELParsedCSSValue.h"

class KELCSSPropertyDisjunctiveValueDefinition : public KELCSSPropertyComplexValueDefinition {
public:
    using KELCSSPropertyComplexValueDefinition::KELCSSPropertyComplexValueDefinition;
    void validateParsedValues(const KELParsedCSSValues& values, const KELParsedCSSObject* declaration,
        qsizetype& index, KELSyntaxCheckErrors& errors) const override;
    using KELCSSPropertyValueDefinition::validateParsedValues;
    QString genericErrorDescription() const override;
    QString shortGenericErrorDescription() const override;
};
