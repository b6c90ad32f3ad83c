#pragma once
// A node that may be left out.

#include "css/KELCSSPropertyRepeatValueDefinition.h"
#include "css/KELCSSPropertyValueDefinition.h"

class KELCSSPropertyOptionalValueDefinition : public KELCSSPropertyRepeatValueDefinition {
public:
    explicit KELCSSPropertyOptionalValueDefinition(const KELCSSPropertyValueDefinition* def)
        : KELCSSPropertyRepeatValueDefinition(def, QChar(), 0, 1) {}
};
