#pragma once
// Matches a function token of a name, and checks its arguments; problems inside
// the arguments are shown but never make the function itself fail.

#include "support/KELSyntaxCheckError.h"
#include "css/KELCSSPropertySimpleValueDefinition.h"
#include "css/KELCSSPropertyValueDefinition.h"
#include "css/KELParsedCSSObject.h"
#include "css/KELParsedCSSValue.h"

#include <QList>
#include <QString>

class KELCSSPropertyFunctionValueDefinition : public KELCSSPropertySimpleValueDefinition {
public:
    /// An empty name accepts a function of any name; the parameters node is not owned.
    KELCSSPropertyFunctionValueDefinition(const QString& functionName, const KELCSSPropertyValueDefinition* parameters)
        : KELCSSPropertySimpleValueDefinition(KELParsedCSSValue::Function), m_functionName(functionName), m_parameters(parameters) {}
    const QString& functionName() const { return m_functionName; }
    const KELCSSPropertyValueDefinition* parametersValueDef() const { return m_parameters; }
    void setParametersValueDef(const KELCSSPropertyValueDefinition* def) { m_parameters = def; }
    void validateParsedValue(const KELParsedCSSValue* value, const KELParsedCSSObject* declaration, KELSyntaxCheckErrors& errors) const override;
    QString genericErrorDescription() const override;
    QString shortGenericErrorDescription() const override;

protected:
    /// The name check alone; answers whether it passed.
    bool checkFunctionName(const KELParsedCSSValue* value, KELSyntaxCheckErrors& errors) const;

private:
    QString m_functionName;
    const KELCSSPropertyValueDefinition* m_parameters;
};
