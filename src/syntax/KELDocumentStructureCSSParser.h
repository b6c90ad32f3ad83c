#pragma once
// Outline items of style sheets: selectors, imported style sheets, bookmark comments.

#include "syntax/KELDocumentStructureParser.h"

class KELDocumentStructureCSSParser : public KELDocumentStructureParser
{
public:
    static QString staticTypeName() { return QStringLiteral("CSS"); }
    static std::shared_ptr<KELDocumentStructureParser> parser();

    QString typeName() const override { return staticTypeName(); }
    KELDocumentStructureItemRef parseSyntaxStructure(
        const QString& structureName, const QString& text, kit::Range range, kit::Range* actualRange) override;
    bool supportsComments() const override { return true; }
    bool usesMultiLineComments() const override { return true; }
    QString commentStructureName() const override { return QStringLiteral("commentBlock"); }

private:
    KELDocumentStructureItemRef importItem(const QString& text, kit::Range range);
};
