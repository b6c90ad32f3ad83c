#pragma once
// Matches a unicode range (u+0025-00ff).

#include "support/KELSyntaxCheckError.h"
#include "css/KELCSSPropertySimpleValueDefinition.h"
#include "css/KELParsedCSSValue.h"

#include <QList>
#include <QString>

class KELCSSPropertyUnicodeRangeValueDefinition : public KELCSSPropertySimpleValueDefinition {
public:
    KELCSSPropertyUnicodeRangeValueDefinition() : KELCSSPropertySimpleValueDefinition(KELParsedCSSValue::UnicodeRange) {}
};
