#pragma once
// A checker for one language, and the registry of the shared checkers by type
// name ("HTML", "JavaScript", "CSS").

#include "checker/KELSyntaxCheckResult.h"
#include "kit/Types.h"

#include <QString>

class KELSyntaxCheckType {
public:
    virtual ~KELSyntaxCheckType() = default;

    /// The name the checker is registered under.
    virtual QString typeName() const = 0;

    /// The registered checker for a type name; null when there is none.
    static KELSyntaxCheckType* typeCheckerForType(const QString& typeName);

    void checkForErrors(KELSyntaxCheckResult& result, const QString& text, bool generatedSource);
    /// Checks the range of the text; errors go to the result under this checker's
    /// name (and others for embedded languages), established with the flag first.
    virtual void checkForErrors(KELSyntaxCheckResult& result, const QString& text, kit::Range range, bool generatedSource);
};
