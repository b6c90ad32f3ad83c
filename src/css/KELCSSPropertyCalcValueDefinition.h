#pragma once

#include <functional>
// Checks the expression inside calc() (and the other math functions the grammar
// names) where a length is allowed. It reports what it finds but never rejects
// the value: all its errors are non-invalidating.

#include "css/KELCSSPropertyFunctionValueDefinition.h"
#include "css/KELCSSPropertyValueDefinition.h"
#include "css/KELParsedCSSValue.h"

class KELCSSPropertyCalcValueDefinition : public KELCSSPropertyFunctionValueDefinition {
public:
    /// A check for calc() only.
    static std::unique_ptr<KELCSSPropertyCalcValueDefinition> calcValueDef();
    /// A check that accepts any math function the grammar names (calc, min, max, clamp ...).
    static const KELCSSPropertyCalcValueDefinition& lengthCalc();

    explicit KELCSSPropertyCalcValueDefinition(const QString& functionName = QString())
        : KELCSSPropertyFunctionValueDefinition(functionName, nullptr) {}

    void validateParsedValue(const KELParsedCSSValue* value, const KELParsedCSSObject* declaration, KELSyntaxCheckErrors& errors) const override;
    QString genericErrorDescription() const override { return QStringLiteral("Expected the CSS calc() function."); }
    QString shortGenericErrorDescription() const override { return QStringLiteral("calc()"); }

    using Values = KELParsedCSSValues;
    bool isLengthExpression(const Values& v, qsizetype start, qsizetype end, const KELParsedCSSValue* calc, KELSyntaxCheckErrors* errors) const;
    bool isLengthAdditiveExpression(const Values& v, qsizetype start, qsizetype end, const KELParsedCSSValue* calc, KELSyntaxCheckErrors* errors) const;
    bool isLengthMultiplicativeExpression(const Values& v, qsizetype start, qsizetype end, const KELParsedCSSValue* calc, KELSyntaxCheckErrors* errors) const;
    bool isNumberAdditiveExpression(const Values& v, qsizetype start, qsizetype end, const KELParsedCSSValue* calc, KELSyntaxCheckErrors* errors) const;
    bool isNumberMultiplicativeExpression(const Values& v, qsizetype start, qsizetype end, const KELParsedCSSValue* calc, KELSyntaxCheckErrors* errors) const;
    bool isLengthTerm(const Values& v, qsizetype start, qsizetype end, const KELParsedCSSValue* calc, KELSyntaxCheckErrors* errors) const;
    bool isNumberTerm(const Values& v, qsizetype start, qsizetype end, const KELParsedCSSValue* calc, KELSyntaxCheckErrors* errors) const;
    bool isAtomicLength(const Values& v, qsizetype start, qsizetype end, const KELParsedCSSValue* calc, KELSyntaxCheckErrors* errors) const;
    bool isNumber(const Values& v, qsizetype start, qsizetype end, const KELParsedCSSValue* calc, KELSyntaxCheckErrors* errors) const;
    bool isNotEmpty(const Values& v, qsizetype start, qsizetype end, const KELParsedCSSValue* calc, KELSyntaxCheckErrors* errors, bool isNumber) const;

private:
    bool isMultiplicative(const Values& v, qsizetype start, qsizetype end, const KELParsedCSSValue* calc, KELSyntaxCheckErrors* errors, bool number) const;
    bool isAdditive(const Values& v, qsizetype start, qsizetype end, const KELParsedCSSValue* calc, KELSyntaxCheckErrors* errors, bool number) const;
    /// Finds the rightmost operator outside parentheses (split -1 when none); false
    /// (with the error reported) when a "(" is never closed.
    bool findRightmostOperator(const Values& v, qsizetype start, qsizetype end, const KELParsedCSSValue* calc, KELSyntaxCheckErrors* errors,
        const std::function<bool(const KELParsedCSSValue*)>& isOperator, qsizetype* split) const;
    /// The argument ranges of a math function: calc() has one, the others are comma lists.
    bool checkArguments(const KELParsedCSSValue* function, KELSyntaxCheckErrors* errors) const;
};
