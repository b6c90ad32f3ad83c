#include "syntax/KELDocumentStructurePHPParser.h"

#include "syntax/KELDocumentStructureBraceItem.h"
#include "syntax/KELDocumentStructureCodeParsing.h"
#include "syntax/KELDocumentStructureSubtypeItem.h"

using kit::Range;
using namespace structureparsing;

namespace {
// How far after the keyword an included file's name is looked for.
constexpr qsizetype IncludeReach = 1000;
} // namespace

std::shared_ptr<KELDocumentStructureParser> KELDocumentStructurePHPParser::parser()
{
    return std::make_shared<KELDocumentStructurePHPParser>();
}

KELDocumentStructureItemRef KELDocumentStructurePHPParser::parseSyntaxStructure(
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
    if (structureName == QLatin1String("typeStart") || structureName == QLatin1String("typeEnd"))
        return subtypeItem(typeName(), structureName, range);
    if (structureName != QLatin1String("function"))
        return nullptr;
    const QString word = text.mid(range.location, range.length).toLower();
    if (word == QLatin1String("function"))
        return namedDeclarationItem(typeName(), text, range, false, QStringLiteral("NavFunction"));
    if (word == QLatin1String("class"))
        return namedDeclarationItem(typeName(), text, range, false, QStringLiteral("NavClass"));
    if (m_includeFunctionNames.contains(word))
        return includeItem(text, range);
    return nullptr;
}

KELDocumentStructureItemRef KELDocumentStructurePHPParser::includeItem(const QString& text, Range range)
{
    auto item = KELDocumentStructureItem::itemWithTypeName(typeName());
    item->setAppearsInOutline(false);
    const qsizetype m = std::min<qsizetype>(range.end() + IncludeReach, text.size());
    qsizetype p = skipWhitespace(text, range.end(), m);
    const bool parenthesis = p < m && text.at(p) == u'(';
    if (parenthesis)
        ++p;
    p = skipWhitespace(text, p, m);
    QString path;
    bool closed = false;
    if (p < m && (text.at(p) == u'"' || text.at(p) == u'\'')) {
        const QChar quote = text.at(p++);
        while (p < m) {
            const QChar c = text.at(p);
            if (c == u'\\' && p + 1 < m) {
                path.append(text.at(p + 1));
                p += 2;
            } else if (c == quote) {
                ++p;
                closed = true;
                break;
            } else {
                path.append(c);
                ++p;
            }
        }
        if (closed && parenthesis) {
            p = skipWhitespace(text, p, m);
            if (p < m && text.at(p) == u')')
                ++p;
        }
    }
    if (closed && !path.isEmpty()) {
        item->setImageName(QStringLiteral("NavLink"));
        item->setLinkedPath(path);
        item->setName(path);
        item->setAppearsInOutline(true);
    }
    item->setDocStructureLength(p - range.location);
    return item;
}

bool KELDocumentStructurePHPParser::itemClosesItem(
    const KELDocumentStructureItem& closingItem, const KELDocumentStructureItem& openItem, bool* matched)
{
    if (matched)
        *matched = false;
    if (dynamic_cast<const KELDocumentStructureBraceItem*>(&closingItem)
        && dynamic_cast<const KELDocumentStructureBraceItem*>(&openItem)) {
        if (matched)
            *matched = true;
        return true;
    }
    // The end of a PHP region closes everything still open inside it.
    return dynamic_cast<const KELDocumentStructureSubtypeItem*>(&closingItem) != nullptr;
}
