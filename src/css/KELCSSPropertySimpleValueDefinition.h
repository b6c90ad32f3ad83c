#pragma once
// A value node that matches one token of a given type (or of any type), and the
// handling of attr() standing where such a token is expected.

#include "support/KELSyntaxCheckError.h"
#include "css/KELCSSPropertyValueDefinition.h"
#include "css/KELParsedCSSObject.h"
#include "css/KELParsedCSSValue.h"

#include <QList>
#include <QString>
#include <optional>

class KELCSSPropertySimpleValueDefinition : public KELCSSPropertyValueDefinition {
public:
    static constexpr quint32 AnyType = 0xFFFFFFFFu;
    explicit KELCSSPropertySimpleValueDefinition(quint32 expectedType = AnyType) : m_expectedType(expectedType) {}

    quint32 expectedType() const { return m_expectedType; }
    void validateParsedValues(const KELParsedCSSValues& values, const KELParsedCSSObject* declaration,
        qsizetype& index, KELSyntaxCheckErrors& errors) const override;
    using KELCSSPropertyValueDefinition::validateParsedValues;
    /// Checks one token (the type first, then what the node adds).
    virtual void validateParsedValue(const KELParsedCSSValue* value, const KELParsedCSSObject* declaration, KELSyntaxCheckErrors& errors) const;
    /// Whether calc() and the other math functions may stand for the value (numbers,
    /// integers, percentages and dimensions of every kind).
    virtual bool acceptsMathFunctions() const { return false; }
    /// Checks attr() standing where this node expects a value.
    virtual bool validateAttrFunction(const KELParsedCSSValue* attr, const KELParsedCSSObject* declaration, KELSyntaxCheckErrors& errors,
        const QString& id, const std::optional<QString>& type, const KELParsedCSSValue* substitute) const;
    QString genericErrorDescription() const override;
    QString shortGenericErrorDescription() const override;

protected:
    /// Appends "Unexpected Value Type" and answers false when the token has another type.
    bool checkType(const KELParsedCSSValue* value, KELSyntaxCheckErrors& errors) const;

private:
    quint32 m_expectedType;
};
