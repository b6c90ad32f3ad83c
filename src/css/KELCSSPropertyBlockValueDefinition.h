#pragma once
// Matches a block token ({ ... }).

#include "support/KELSyntaxCheckError.h"
#include "css/KELCSSPropertySimpleValueDefinition.h"
#include "css/KELParsedCSSValue.h"

#include <QList>
#include <QString>

class KELCSSPropertyBlockValueDefinition : public KELCSSPropertySimpleValueDefinition {
public:
    KELCSSPropertyBlockValueDefinition() : KELCSSPropertySimpleValueDefinition(KELParsedCSSValue::Block) {}
};
