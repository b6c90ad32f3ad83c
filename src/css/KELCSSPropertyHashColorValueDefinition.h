#pragma once
// Matches a colour written as a hash of hexadecimal digits.

#include "support/KELSyntaxCheckError.h"
#include "css/KELCSSPropertySimpleValueDefinition.h"
#include "css/KELParsedCSSObject.h"
#include "css/KELParsedCSSValue.h"
#include "css/KELCSSPropertyValueDefinition.h"

#include <QList>
#include <QString>
#include <optional>

class KELCSSPropertyHashColorValueDefinition : public KELCSSPropertySimpleValueDefinition {
public:
    KELCSSPropertyHashColorValueDefinition() : KELCSSPropertySimpleValueDefinition(KELParsedCSSValue::Hash) {}
    void validateParsedValue(const KELParsedCSSValue* value, const KELParsedCSSObject* declaration, KELSyntaxCheckErrors& errors) const override;
    bool validateAttrFunction(const KELParsedCSSValue* attr, const KELParsedCSSObject* declaration, KELSyntaxCheckErrors& errors,
        const QString& id, const std::optional<QString>& type, const KELParsedCSSValue* substitute) const override;
    /// Digit counts a hash colour may have (3 and 6; the grammar data adds more).
    static void addValidDigitCounts(const QList<int>& counts);
};
