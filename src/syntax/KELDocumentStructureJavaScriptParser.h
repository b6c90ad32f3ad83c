#pragma once
// Outline items of JavaScript: named functions and bookmark comments; braces fold.

#include "syntax/KELDocumentStructureParser.h"

class KELDocumentStructureJavaScriptParser : public KELDocumentStructureParser
{
public:
    static QString staticTypeName() { return QStringLiteral("JavaScript"); }
    static std::shared_ptr<KELDocumentStructureParser> parser();

    QString typeName() const override { return staticTypeName(); }
    KELDocumentStructureItemRef parseSyntaxStructure(
        const QString& structureName, const QString& text, kit::Range range, kit::Range* actualRange) override;
    bool supportsComments() const override { return true; }
    bool itemClosesItem(const KELDocumentStructureItem& closingItem, const KELDocumentStructureItem& openItem,
        bool* matched) override;
};
