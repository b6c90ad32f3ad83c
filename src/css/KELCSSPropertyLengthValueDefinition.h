#pragma once
// Matches a length: a dimension, a bare zero, or a math function such as calc().

#include "support/KELSyntaxCheckError.h"
#include "css/KELCSSPropertySimpleValueDefinition.h"
#include "css/KELParsedCSSObject.h"
#include "css/KELParsedCSSValue.h"
#include "css/KELCSSPropertyValueDefinition.h"

#include <QList>
#include <QString>
#include <optional>

class KELCSSPropertyLengthValueDefinition : public KELCSSPropertySimpleValueDefinition {
public:
    KELCSSPropertyLengthValueDefinition() = default;
    void setNonNegative(bool flag) { m_nonNegative = flag; }
    bool nonNegative() const { return m_nonNegative; }
    void validateParsedValue(const KELParsedCSSValue* value, const KELParsedCSSObject* declaration, KELSyntaxCheckErrors& errors) const override;
    bool validateAttrFunction(const KELParsedCSSValue* attr, const KELParsedCSSObject* declaration, KELSyntaxCheckErrors& errors,
        const QString& id, const std::optional<QString>& type, const KELParsedCSSValue* substitute) const override;
    QString genericErrorDescription() const override { return QStringLiteral("Expected a length value."); }
    QString shortGenericErrorDescription() const override { return QStringLiteral("<length>"); }

private:
    bool m_nonNegative = false;
};
