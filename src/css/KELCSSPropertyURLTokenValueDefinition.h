#pragma once
// Matches an unquoted URL token (the arguments of image()).

#include "support/KELSyntaxCheckError.h"
#include "css/KELCSSPropertySimpleValueDefinition.h"
#include "css/KELParsedCSSValue.h"

#include <QList>
#include <QString>

class KELCSSPropertyURLTokenValueDefinition : public KELCSSPropertySimpleValueDefinition {
public:
    KELCSSPropertyURLTokenValueDefinition() : KELCSSPropertySimpleValueDefinition(KELParsedCSSValue::URLToken) {}
};
