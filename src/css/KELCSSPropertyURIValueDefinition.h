#pragma once
// Matches a url() token.

#include "support/KELSyntaxCheckError.h"
#include "css/KELCSSPropertySimpleValueDefinition.h"
#include "css/KELParsedCSSValue.h"

#include <QList>
#include <QString>

class KELCSSPropertyURIValueDefinition : public KELCSSPropertySimpleValueDefinition {
public:
    KELCSSPropertyURIValueDefinition() : KELCSSPropertySimpleValueDefinition(KELParsedCSSValue::URI) {}
};
