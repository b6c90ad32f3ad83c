#pragma once
// Matches a resolution.

#include "support/KELSyntaxCheckError.h"
#include "css/KELCSSPropertyDimensionValueDefinition.h"

#include <QList>
#include <QString>

class KELCSSPropertyResolutionValueDefinition : public KELCSSPropertyDimensionValueDefinition {
public:
    KELCSSPropertyResolutionValueDefinition() : KELCSSPropertyDimensionValueDefinition(QStringLiteral("resolution")) {}
};
