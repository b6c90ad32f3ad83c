#pragma once
// Matches one identifier (never a CSS-wide keyword, nor a disallowed word).

#include "support/KELSyntaxCheckError.h"
#include "css/KELCSSPropertySimpleValueDefinition.h"
#include "css/KELParsedCSSObject.h"
#include "css/KELParsedCSSValue.h"
#include "css/KELCSSPropertyValueDefinition.h"

#include <QList>
#include <QSet>
#include <QString>

class KELCSSPropertyIdentifierValueDefinition : public KELCSSPropertySimpleValueDefinition {
public:
    KELCSSPropertyIdentifierValueDefinition() : KELCSSPropertySimpleValueDefinition(KELParsedCSSValue::Identifier) {}
    void setDisallowedValues(const QSet<QString>& values) { m_disallowed = values; }
    void validateParsedValue(const KELParsedCSSValue* value, const KELParsedCSSObject* declaration, KELSyntaxCheckErrors& errors) const override;

private:
    QSet<QString> m_disallowed;
};
