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
    const KELDocumentStructureItem& closingItem, const KELDocumentStructureItem&, bool* matched)
{
    if (matched)
        *matched = false;
    return dynamic_cast<const KELDocumentStructureSubtypeItem*>(&closingItem) != nullptr;
}
