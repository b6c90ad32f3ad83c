#pragma once
// Matches a hash token (#name).

#include "support/KELSyntaxCheckError.h"
#include "css/KELCSSPropertySimpleValueDefinition.h"
#include "css/KELParsedCSSValue.h"

#include <QList>
#include <QString>

class KELCSSPropertyHashValueDefinition : public KELCSSPropertySimpleValueDefinition {
public:
    KELCSSPropertyHashValueDefinition() : KELCSSPropertySimpleValueDefinition(KELParsedCSSValue::Hash) {}
};
