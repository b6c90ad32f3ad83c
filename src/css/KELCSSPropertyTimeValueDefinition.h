#pragma once
// Matches a time (a bare zero counts as a time).

#include "support/KELSyntaxCheckError.h"
#include "css/KELCSSPropertyDimensionValueDefinition.h"
#include "css/KELParsedCSSObject.h"
#include "css/KELParsedCSSValue.h"
#include "css/KELCSSPropertyValueDefinition.h"

#include <QList>
#include <QString>

class KELCSSPropertyTimeValueDefinition : public KELCSSPropertyDimensionValueDefinition {
public:
    KELCSSPropertyTimeValueDefinition() : KELCSSPropertyDimensionValueDefinition(QStringLiteral("time")) {}
    void validateParsedValue(const KELParsedCSSValue* value, const KELParsedCSSObject* declaration, KELSyntaxCheckErrors& errors) const override;
};
