#pragma once
// The check of a pseudo-element selector.

#include "css/KELParsedCSSSimpleSelector.h"
#include "css/KELCSSPropertyValueDefinition.h"

class KELCSSPseudoElementDefinition {
public:
    KELSyntaxCheckErrors validateSimpleSelector(const KELParsedCSSSimpleSelector* selector) const;
};
