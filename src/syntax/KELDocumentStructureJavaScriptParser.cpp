#include "syntax/KELDocumentStructureJavaScriptParser.h"

#include "syntax/KELDocumentStructureBraceItem.h"
#include "syntax/KELDocumentStructureCodeParsing.h"

using kit::Range;
using namespace structureparsing;

std::shared_ptr<KELDocumentStructureParser> KELDocumentStructureJavaScriptParser::parser()
{
    return std::make_shared<KELDocumentStructureJavaScriptParser>();
}

KELDocumentStructureItemRef KELDocumentStructureJavaScriptParser::parseSyntaxStructure(
    const QString& structureName, const QString& text, Range range, Range* actualRange)
{
    if (range.location < 0 || range.end() > text.size())
        return nullptr;
    if (structureName == QLatin1String("commentLine"))
        return parseLineCommentInText(text, range, actualRange);
    if (structureName == QLatin1String("commentBlock"))
        return parseMultiLineCommentInText(text, range, actualRange);
    if (structureName == QLatin1String("brace"))
        return braceItem(typeName(), text, range);
    if (structureName == QLatin1String("variable")
        && QStringView(text).mid(range.location, range.length) == QLatin1String("function"))
        return namedDeclarationItem(typeName(), text, range, true, QStringLiteral("NavFunction"));
    return nullptr;
}

bool KELDocumentStructureJavaScriptParser::itemClosesItem(
    const KELDocumentStructureItem& closingItem, const KELDocumentStructureItem& openItem, bool* matched)
{
    const bool braces = dynamic_cast<const KELDocumentStructureBraceItem*>(&closingItem)
        && dynamic_cast<const KELDocumentStructureBraceItem*>(&openItem);
    if (matched)
        *matched = braces;
    return braces;
}
