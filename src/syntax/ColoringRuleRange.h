#pragma once
// A rule's working state during one colouring: the range it covers and whether
// its path matched. Each style keeps one per rule that has structure paths.

#include "kit/Types.h"

class SyntaxColoringRule;

class ColoringRuleRange
{
public:
    explicit ColoringRuleRange(const SyntaxColoringRule* r)
        : rule(r)
    {
    }
    const SyntaxColoringRule* rule = nullptr;
    kit::Range range { 0, 0 };
    bool valid = false;
};
