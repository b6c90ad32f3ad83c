#pragma once
// Matches a length written with a unit.

#include "support/KELSyntaxCheckError.h"
#include "css/KELCSSPropertyDimensionValueDefinition.h"

#include <QList>
#include <QString>

class KELCSSPropertyAbsoluteLengthValueDefinition : public KELCSSPropertyDimensionValueDefinition {
public:
    KELCSSPropertyAbsoluteLengthValueDefinition() : KELCSSPropertyDimensionValueDefinition(QStringLiteral("length")) {}
};
