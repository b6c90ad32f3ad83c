#include "syntax/KELDocumentStructureCodeParsing.h"

#include "syntax/KELDocumentStructureBraceItem.h"
#include "syntax/KELDocumentStructureSubtypeItem.h"

namespace structureparsing {

KELDocumentStructureItemRef namedDeclarationItem(const QString& typeName, const QString& text, kit::Range keyword,
    bool dollarInNames, const QString& imageName)
{
    const qsizetype nameStart = skipWhitespace(text, keyword.end(), text.size());
    if (nameStart >= text.size() || !isNameStart(text.at(nameStart), dollarInNames))
        return nullptr;
    qsizetype nameEnd = nameStart + 1;
    while (nameEnd < text.size() && isNameCharacter(text.at(nameEnd), dollarInNames))
        ++nameEnd;
    auto item = KELDocumentStructureItem::itemWithTypeName(typeName);
    item->setName(text.mid(nameStart, nameEnd - nameStart));
    item->setDocStructureLength(nameEnd - keyword.location);
    item->setImageName(imageName);
    return item;
}

KELDocumentStructureItemRef braceItem(const QString& typeName, const QString& text, kit::Range range)
{
    auto item = std::make_shared<KELDocumentStructureBraceItem>(typeName);
    item->setName(QStringLiteral("brace"));
    item->setDocStructureLength(range.length);
    item->setAppearsInOutline(false);
    const bool opens = QStringView(text).mid(range.location, range.length) == QLatin1String("{");
    item->setSegmentType(opens ? KELDocumentStructureItem::OpensSegment : KELDocumentStructureItem::ClosesSegment);
    return item;
}

KELDocumentStructureItemRef subtypeItem(const QString& typeName, const QString& structureName, kit::Range range)
{
    auto item = std::make_shared<KELDocumentStructureSubtypeItem>(typeName);
    item->setName(structureName);
    item->setDocStructureLength(range.length);
    item->setAppearsInOutline(false);
    item->setSegmentType(structureName == QLatin1String("typeStart") ? KELDocumentStructureItem::OpensSegment
                                                                      : KELDocumentStructureItem::ClosesSegment);
    return item;
}

} // namespace structureparsing
