#pragma once
// Whether one root structure's start pattern was satisfied in the current colouring.

class SyntaxStructure;

class StructureValid
{
public:
    explicit StructureValid(const SyntaxStructure* s)
        : structure(s)
    {
    }
    const SyntaxStructure* structure = nullptr;
    bool valid = false;
};
