#include "syntax/KELDocumentStructureCSSParser.h"

#include "css/KELSyntaxCheckTypeCSS.h"
#include "syntax/KELDocumentStructureCSSSelectorItem.h"

using kit::Range;

std::shared_ptr<KELDocumentStructureParser> KELDocumentStructureCSSParser::parser()
{
    return std::make_shared<KELDocumentStructureCSSParser>();
}

KELDocumentStructureItemRef KELDocumentStructureCSSParser::parseSyntaxStructure(
    const QString& structureName, const QString& text, Range range, Range* actualRange)
{
    if (range.location < 0 || range.end() > text.size())
        return nullptr;
    if (structureName == QLatin1String("commentBlock"))
        return parseMultiLineCommentInText(text, range, actualRange);
    if (structureName == QLatin1String("atRule"))
        return importItem(text, range);
    if (structureName != QLatin1String("selector"))
        return nullptr;
    auto item = std::make_shared<KELDocumentStructureCSSSelectorItem>(typeName());
    item->setName(text.mid(range.location, range.length));
    item->setDocStructureLength(range.length);
    item->setImageName(QStringLiteral("NavSelector"));
    // Select the selector without the blanks before its block.
    qsizetype selected = range.length;
    while (selected > 1 && text.at(range.location + selected - 1).isSpace())
        --selected;
    item->setSelectionLength(selected);
    return item;
}

KELDocumentStructureItemRef KELDocumentStructureCSSParser::importItem(const QString& text, Range range)
{
    static const QString import = QStringLiteral("@import");
    if (QStringView(text).mid(range.location, import.size()) != import)
        return nullptr;
    auto item = KELDocumentStructureItem::itemWithTypeName(typeName());
    item->setAppearsInOutline(false);
    qsizetype p = range.location + import.size();
    if (p >= text.size() || !text.at(p).isSpace()) {
        item->setDocStructureLength(import.size());
        return item;
    }
    while (p < text.size() && text.at(p).isSpace())
        ++p;
    if (p < text.size()) {
        const std::unique_ptr<KELParsedCSSValue> value
            = KELSyntaxCheckTypeCSS::sharedInstance().parseAnyValueAtIndex(p, text.size(), text, nullptr);
        if (value && (value->type() == KELParsedCSSValue::String || value->type() == KELParsedCSSValue::URI)
            && !value->name().isEmpty()) {
            item->setImageName(QStringLiteral("NavLink"));
            item->setLinkedPath(value->name());
            item->setName(value->name());
            item->setAppearsInOutline(true);
        }
    }
    item->setDocStructureLength(p - range.location);
    return item;
}
