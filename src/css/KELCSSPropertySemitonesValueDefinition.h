#pragma once
// Matches a pitch change in semitones.

#include "support/KELSyntaxCheckError.h"
#include "css/KELCSSPropertyDimensionValueDefinition.h"

#include <QList>
#include <QString>

class KELCSSPropertySemitonesValueDefinition : public KELCSSPropertyDimensionValueDefinition {
public:
    KELCSSPropertySemitonesValueDefinition() : KELCSSPropertyDimensionValueDefinition(QStringLiteral("semitones")) {}
};
