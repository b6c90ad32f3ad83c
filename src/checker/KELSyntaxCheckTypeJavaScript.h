#pragma once
// The JavaScript check: the script engine parses the script without running it;
// the first syntax error becomes one record on the whole line it names.

#include "checker/KELSyntaxCheckType.h"

class KELSyntaxCheckTypeJavaScript : public KELSyntaxCheckType {
public:
    static KELSyntaxCheckTypeJavaScript& sharedInstance();
    QString typeName() const override { return QStringLiteral("JavaScript"); }
    using KELSyntaxCheckType::checkForErrors;
    void checkForErrors(KELSyntaxCheckResult& result, const QString& text, kit::Range range, bool generatedSource) override;
    /// The same for the body of a module script (import and export allowed).
    void checkModuleForErrors(KELSyntaxCheckResult& result, const QString& text, kit::Range range, bool generatedSource);

    /// The engine's verdict on a script: nothing when valid, else the message and the
    /// 1-based line within the script (0 when the engine gave none).
    struct SyntaxError {
        QString message;
        qint64 line = 0;
    };
    static std::optional<SyntaxError> checkSyntax(const QString& script, bool module = false);

private:
    void check(KELSyntaxCheckResult& result, const QString& text, kit::Range range, bool generatedSource, bool module);
};
