#pragma once
// Outline items of PHP: functions, classes, included files, bookmark comments;
// braces and the ends of PHP regions fold.

#include "syntax/KELDocumentStructureParser.h"

#include <QSet>

class KELDocumentStructurePHPParser : public KELDocumentStructureParser
{
public:
    static QString staticTypeName() { return QStringLiteral("PHP"); }
    static std::shared_ptr<KELDocumentStructureParser> parser();

    QString typeName() const override { return staticTypeName(); }
    KELDocumentStructureItemRef parseSyntaxStructure(
        const QString& structureName, const QString& text, kit::Range range, kit::Range* actualRange) override;
    bool supportsComments() const override { return true; }
    bool itemClosesItem(const KELDocumentStructureItem& closingItem, const KELDocumentStructureItem& openItem,
        bool* matched) override;

    const QSet<QString>& includeFunctionNames() const { return m_includeFunctionNames; }

private:
    KELDocumentStructureItemRef includeItem(const QString& text, kit::Range range);

    QSet<QString> m_includeFunctionNames { QStringLiteral("require"), QStringLiteral("include"),
        QStringLiteral("require_once"), QStringLiteral("include_once") };
};
