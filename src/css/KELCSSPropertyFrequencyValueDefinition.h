#pragma once
// Matches a frequency.

#include "support/KELSyntaxCheckError.h"
#include "css/KELCSSPropertyDimensionValueDefinition.h"

#include <QList>
#include <QString>

class KELCSSPropertyFrequencyValueDefinition : public KELCSSPropertyDimensionValueDefinition {
public:
    KELCSSPropertyFrequencyValueDefinition() : KELCSSPropertyDimensionValueDefinition(QStringLiteral("frequency")) {}
};
