#pragma once
// Matches a string, reporting one shorter or longer than allowed.

#include "support/KELSyntaxCheckError.h"
#include "css/KELCSSPropertySimpleValueDefinition.h"
#include "css/KELParsedCSSObject.h"
#include "css/KELParsedCSSValue.h"
#include "css/KELCSSPropertyValueDefinition.h"

#include <QList>
#include <QString>

class KELCSSPropertyStringValueDefinition : public KELCSSPropertySimpleValueDefinition {
public:
    KELCSSPropertyStringValueDefinition() : KELCSSPropertySimpleValueDefinition(KELParsedCSSValue::String) {}
    void setMinLength(quint64 v) { m_minLength = v; }
    void setMaxLength(quint64 v) { m_maxLength = v; }
    void validateParsedValue(const KELParsedCSSValue* value, const KELParsedCSSObject* declaration, KELSyntaxCheckErrors& errors) const override;

private:
    quint64 m_minLength = 0;
    quint64 m_maxLength = std::numeric_limits<quint64>::max();
};
