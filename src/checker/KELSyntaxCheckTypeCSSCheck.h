#pragma once
// The CSS validator as a registered checker: style sheets, style element bodies
// and style attributes checked into a run's result under "CSS".

#include "checker/KELSyntaxCheckType.h"

class KELSyntaxCheckTypeCSSCheck : public KELSyntaxCheckType {
public:
    static KELSyntaxCheckTypeCSSCheck& sharedInstance();
    QString typeName() const override { return QStringLiteral("CSS"); }
    using KELSyntaxCheckType::checkForErrors;
    void checkForErrors(KELSyntaxCheckResult& result, const QString& text, kit::Range range, bool generatedSource) override;
    void checkForStyleAttributeErrors(KELSyntaxCheckResult& result, const QString& text, kit::Range range, bool generatedSource);
};
