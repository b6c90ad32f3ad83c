#pragma once
// The CSS validator as a registered checker: style sheets, style element bodies
// and style attributes checked into a run's result under "CSS".

#include "checker/KELSyntaxCheckType.h"

/// A style attribute's value with its character references decoded, and for
/// each character the index in the source text it came from.
struct KELStyleAttributeValue {
    QString text;
    QList<qsizetype> sourceIndex; // one per character, and the end
    static KELStyleAttributeValue decode(const QString& text, kit::Range range);
    kit::Range sourceRange(kit::Range decoded) const;
};

class KELSyntaxCheckTypeCSSCheck : public KELSyntaxCheckType {
public:
    static KELSyntaxCheckTypeCSSCheck& sharedInstance();
    QString typeName() const override { return QStringLiteral("CSS"); }
    using KELSyntaxCheckType::checkForErrors;
    void checkForErrors(KELSyntaxCheckResult& result, const QString& text, kit::Range range, bool generatedSource) override;
    void checkForStyleAttributeErrors(KELSyntaxCheckResult& result, const QString& text, kit::Range range, bool generatedSource);
};
