#pragma once
// One matched structure of a parse tree, built for completion searches and
// tested by structure patterns.

#include "kit/Types.h"

#include <memory>
#include <vector>

class SyntaxStructure;

class StructureTreeNode
{
public:
    const SyntaxStructure* structure = nullptr;
    kit::Range range { 0, 0 };
    std::vector<std::unique_ptr<StructureTreeNode>> subStructures;
    bool incompleteStructure = false;

    static std::unique_ptr<StructureTreeNode> structureTreeNode() { return std::make_unique<StructureTreeNode>(); }
};

/// Whether one root structure's start pattern was satisfied in the current colouring.
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
