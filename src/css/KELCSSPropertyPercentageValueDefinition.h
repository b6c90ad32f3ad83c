#pragma once
// Matches a percentage, reporting values outside its bounds.

#include "support/KELSyntaxCheckError.h"
#include "css/KELCSSPropertyNumberValueDefinition.h"
#include "css/KELParsedCSSValue.h"

#include <QList>
#include <QString>

class KELCSSPropertyPercentageValueDefinition : public KELCSSPropertyNumberValueDefinition {
public:
    KELCSSPropertyPercentageValueDefinition() : KELCSSPropertyNumberValueDefinition(KELParsedCSSValue::Percentage) {}
};
