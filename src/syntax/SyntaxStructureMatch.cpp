#include "syntax/SyntaxStructureMatch.h"

#include "syntax/StructureTreeNode.h"
#include "syntax/SyntaxStructure.h"
#include "syntax/SyntaxXML.h"

SyntaxStructureMatch::SyntaxStructureMatch(const SyntaxXMLNode& node)
{
    for (const SyntaxXMLNode& child : node.childNodes())
        m_matchStructures.push_back(std::make_unique<SyntaxStructure>(child));
}

SyntaxStructureMatch::~SyntaxStructureMatch() = default;

bool SyntaxStructureMatch::matches(const StructureTreeNode* node, const SyntaxText& string) const
{
    return matches(node, string, m_matchStructures, 0);
}

bool SyntaxStructureMatch::matches(const StructureTreeNode* node, const SyntaxText& string,
    const std::vector<std::unique_ptr<SyntaxStructure>>& pattern, size_t first)
{
    if (first >= pattern.size())
        return true;
    if (!node || !node->structure)
        return false;
    const SyntaxStructure* element = pattern[first].get();
    if (node->structure->name() != element->name())
        return false;
    if (const SyntaxStructureText* text = element->text()) {
        const qsizetype found = text->longestMatchInString(string, node->range, false);
        if (found == kit::NotFound || found != node->range.length)
            return false;
    }
    if (first + 1 >= pattern.size())
        return true;
    for (const auto& sub : node->subStructures)
        if (matches(sub.get(), string, pattern, first + 1))
            return true;
    return false;
}
