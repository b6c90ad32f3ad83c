#pragma once
// Outline items of HTML: elements with an id, links, style sheets, scripts,
// images and base URLs, bookmark comments; elements fold from start to end tag.

#include "syntax/KELDocumentStructureParser.h"

class TagInstance;
class KELDocumentStructureHTMLElementItem;

class KELDocumentStructureHTMLParser : public KELDocumentStructureParser
{
public:
    static QString staticTypeName() { return QStringLiteral("HTML"); }
    static std::shared_ptr<KELDocumentStructureParser> parser();

    QString typeName() const override { return staticTypeName(); }
    KELDocumentStructureItemRef parseSyntaxStructure(
        const QString& structureName, const QString& text, kit::Range range, kit::Range* actualRange) override;

    bool supportsComments() const override { return true; }
    bool usesMultiLineComments() const override { return true; }
    QString multiLineCommentStartString() const override { return QStringLiteral("<!--"); }
    QString multiLineCommentEndString() const override { return QStringLiteral("-->"); }
    QString commentStructureName() const override { return QStringLiteral("comment"); }

    bool itemClosesItem(const KELDocumentStructureItem& closingItem, const KELDocumentStructureItem& openItem,
        bool* matched) override;
    bool itemIsSuggestedCodeFold(const KELDocumentStructureItem& openItem) override;
    qsizetype minimumFoldLength() const override { return 80; }

    /// Makes the item a link to the attribute's value when it is a web or relative
    /// address; other schemes (mail, script ...) are no links.
    bool updateIfLinked(KELDocumentStructureHTMLElementItem& item, const TagInstance& tag,
        const QString& linkedAttribute, const QString& namePrefix);
};
