#pragma once
// Matches one delimiter character (or one of a set of them).

#include "support/KELSyntaxCheckError.h"
#include "css/KELCSSPropertySimpleValueDefinition.h"
#include "css/KELParsedCSSObject.h"
#include "css/KELParsedCSSValue.h"
#include "css/KELCSSPropertyValueDefinition.h"

#include <QList>
#include <QString>
#include <functional>

class KELCSSPropertyDelimiterValueDefinition : public KELCSSPropertySimpleValueDefinition {
public:
    explicit KELCSSPropertyDelimiterValueDefinition(QChar delimiter)
        : KELCSSPropertySimpleValueDefinition(KELParsedCSSValue::Delimiter), m_delimiter(delimiter) {}
    /// Matches a delimiter whose character passes the test (a character set).
    explicit KELCSSPropertyDelimiterValueDefinition(std::function<bool(QChar)> characterSet)
        : KELCSSPropertySimpleValueDefinition(KELParsedCSSValue::Delimiter), m_characterSet(std::move(characterSet)) {}
    QChar delimiter() const { return m_delimiter; }
    void validateParsedValue(const KELParsedCSSValue* value, const KELParsedCSSObject* declaration, KELSyntaxCheckErrors& errors) const override;
    QString genericErrorDescription() const override;
    QString shortGenericErrorDescription() const override;

private:
    QChar m_delimiter;
    std::function<bool(QChar)> m_characterSet;
};
