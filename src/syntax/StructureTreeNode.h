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
