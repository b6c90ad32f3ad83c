#pragma once
// Matches an identifier of a single letter.

#include "support/KELSyntaxCheckError.h"
#include "css/KELCSSPropertyIdentifierValueDefinition.h"
#include "css/KELParsedCSSObject.h"
#include "css/KELParsedCSSValue.h"
#include "css/KELCSSPropertyValueDefinition.h"

#include <QList>
#include <QString>

class KELCSSPropertyLetterValueDefinition : public KELCSSPropertyIdentifierValueDefinition {
public:
    void validateParsedValue(const KELParsedCSSValue* value, const KELParsedCSSObject* declaration, KELSyntaxCheckErrors& errors) const override;
    QString genericErrorDescription() const override { return QStringLiteral("Value type <letter> was expected."); }
    QString shortGenericErrorDescription() const override { return QStringLiteral("<letter>"); }
};
