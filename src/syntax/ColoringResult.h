#pragma once
// What colouring one structure gave: the range coloured as the structure, and
// the structure its text opens next (a style or script body after its tag).

#include "kit/Types.h"

class SyntaxStructure;

class ColoringResult
{
public:
    static ColoringResult coloringResult() { return ColoringResult(); }
    kit::Range range { 0, 0 };
    const SyntaxStructure* startStructureMatch = nullptr;
};
