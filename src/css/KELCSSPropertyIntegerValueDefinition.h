#pragma once
// Matches a number that should be an integer.

#include "support/KELSyntaxCheckError.h"
#include "css/KELCSSPropertyNumberValueDefinition.h"
#include "css/KELParsedCSSObject.h"
#include "css/KELParsedCSSValue.h"
#include "css/KELCSSPropertyValueDefinition.h"

#include <QList>
#include <QString>
#include <optional>

class KELCSSPropertyIntegerValueDefinition : public KELCSSPropertyNumberValueDefinition {
public:
    void validateParsedValue(const KELParsedCSSValue* value, const KELParsedCSSObject* declaration, KELSyntaxCheckErrors& errors) const override;
    bool validateAttrFunction(const KELParsedCSSValue* attr, const KELParsedCSSObject* declaration, KELSyntaxCheckErrors& errors,
        const QString& id, const std::optional<QString>& type, const KELParsedCSSValue* substitute) const override;
    QString shortGenericErrorDescription() const override { return QStringLiteral("<integer>"); }
};
