#include "syntax/KELDocumentStructureCSSBlockParser.h"

#include "syntax/KELDocumentStructureCodeParsing.h"
#include "syntax/KELDocumentStructureSubtypeItem.h"

using kit::Range;

std::shared_ptr<KELDocumentStructureParser> KELDocumentStructureCSSBlockParser::parser()
{
    return std::make_shared<KELDocumentStructureCSSBlockParser>();
}

KELDocumentStructureItemRef KELDocumentStructureCSSBlockParser::parseSyntaxStructure(
    const QString& structureName, const QString& text, Range range, Range*)
{
    if (range.location < 0 || range.end() > text.size())
        return nullptr;
    if (structureName == QLatin1String("typeStart") || structureName == QLatin1String("typeEnd"))
        return structureparsing::subtypeItem(typeName(), structureName, range);
    return nullptr;
}

bool KELDocumentStructureCSSBlockParser::itemClosesItem(
    const KELDocumentStructureItem& closingItem, const KELDocumentStructureItem& openItem, bool* matched)
{
    // Blocks nest (the rules of an @media block): a block's end closes the
    // innermost block still open, never the blocks around it.
    const bool closes = dynamic_cast<const KELDocumentStructureSubtypeItem*>(&closingItem) != nullptr;
    if (matched)
        *matched = closes && dynamic_cast<const KELDocumentStructureSubtypeItem*>(&openItem) != nullptr;
    return closes;
}
