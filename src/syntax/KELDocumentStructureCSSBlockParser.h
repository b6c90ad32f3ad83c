#pragma once
// The declaration block inside a CSS rule: only the ends of its region. Blocks
// nest, so each end closes the innermost block open.

#include "syntax/KELDocumentStructureParser.h"

class KELDocumentStructureCSSBlockParser : public KELDocumentStructureParser
{
public:
    static QString staticTypeName() { return QStringLiteral("CSS Block"); }
    static std::shared_ptr<KELDocumentStructureParser> parser();

    QString typeName() const override { return staticTypeName(); }
    KELDocumentStructureItemRef parseSyntaxStructure(
        const QString& structureName, const QString& text, kit::Range range, kit::Range* actualRange) override;
    bool itemClosesItem(const KELDocumentStructureItem& closingItem, const KELDocumentStructureItem& openItem,
        bool* matched) override;
};
