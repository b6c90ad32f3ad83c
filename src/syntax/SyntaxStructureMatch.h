#pragma once
// A path pattern over a parse tree: the first element names a structure, each
// further one a structure nested inside the previous one.

#include "syntax/SyntaxStructure.h"
#include "syntax/SyntaxText.h"

#include <QString>
#include <memory>
#include <vector>

class SyntaxXMLNode;
class StructureTreeNode;

class SyntaxStructureMatch
{
public:
    SyntaxStructureMatch() = default;
    explicit SyntaxStructureMatch(const SyntaxXMLNode& node);
    ~SyntaxStructureMatch();

    const std::vector<std::unique_ptr<SyntaxStructure>>& matchStructures() const { return m_matchStructures; }
    void setMatchStructures(std::vector<std::unique_ptr<SyntaxStructure>> s) { m_matchStructures = std::move(s); }

    bool matches(const StructureTreeNode* node, const SyntaxText& string) const;
    static bool matches(const StructureTreeNode* node, const SyntaxText& string,
        const std::vector<std::unique_ptr<SyntaxStructure>>& pattern, size_t first = 0);

private:
    std::vector<std::unique_ptr<SyntaxStructure>> m_matchStructures;
};
