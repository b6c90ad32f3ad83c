#include "css/KELCSSPropertyCalcValueDefinition.h"

#include "css/KELCSSSpec.h"
#include "css/KELCSSPropertyValueDefinition.h"
#include "css/KELParsedCSSValue.h"
#include "css/KELCSSPropertyAbsoluteLengthValueDefinition.h"
#include "css/KELCSSPropertyFunctionValueDefinition.h"
#include "css/KELCSSPropertyNumberValueDefinition.h"
#include "css/KELCSSPropertyPercentageValueDefinition.h"
#include "css/KELParsedCSSObject.h"

using namespace KELCSS;

std::unique_ptr<KELCSSPropertyCalcValueDefinition> KELCSSPropertyCalcValueDefinition::calcValueDef()
{
    return std::make_unique<KELCSSPropertyCalcValueDefinition>(QStringLiteral("calc"));
}

const KELCSSPropertyCalcValueDefinition& KELCSSPropertyCalcValueDefinition::lengthCalc()
{
    static const KELCSSPropertyCalcValueDefinition any;
    return any;
}

namespace {

bool isDelimiter(const KELParsedCSSValue* v, char16_t c)
{
    return v->type() == KELParsedCSSValue::Delimiter && v->name().size() == 1 && v->name().at(0) == QChar(c);
}

bool isMod(const KELParsedCSSValue* v)
{
    return v->type() == KELParsedCSSValue::Identifier && v->name().compare(QLatin1String("mod"), Qt::CaseInsensitive) == 0;
}

kit::Range fallbackRange(const KELParsedCSSValues& v, qsizetype start, qsizetype end, const KELParsedCSSValue* calc)
{
    if (start < end) {
        const kit::Range r = KELCSSPropertyValueDefinition::joinedTextRange(v.mid(start, end - start));
        if (r.location != kit::NotFound)
            return r;
    }
    return calc->textRange();
}

void report(KELSyntaxCheckErrors* errors, const QString& title, const QString& text, kit::Range range)
{
    if (errors)
        errors->append(makeError(title, text, range));
}

} // namespace

void KELCSSPropertyCalcValueDefinition::validateParsedValue(const KELParsedCSSValue* value, const KELParsedCSSObject* declaration, KELSyntaxCheckErrors& errors) const
{
    KELSyntaxCheckErrors list;
    KELCSSPropertyFunctionValueDefinition::validateParsedValue(value, declaration, list);
    if (validErrorsArray(list) && !checkArguments(value, &list))
        list.append(makeError(QStringLiteral("Invalid Calc Expression"), QStringLiteral("The calc expression is not valid."), value->textRange()));
    for (KELSyntaxCheckError& e : list)
        e.setNonInvalidatingError(true);
    errors.append(list);
}

bool KELCSSPropertyCalcValueDefinition::checkArguments(const KELParsedCSSValue* function, KELSyntaxCheckErrors* errors) const
{
    const KELParsedCSSValues& args = function->subvalues();
    const KELCSSSpec::MathFunction arity = KELCSSSpec::sharedInstance().mathFunction(function->name());
    if (arity.maxArguments == 1)
        return isLengthExpression(args, 0, args.size(), function, errors);
    // Comma-separated arguments, each a length expression.
    qsizetype count = 0, start = 0, depth = 0;
    bool ok = true;
    for (qsizetype i = 0; i <= args.size(); ++i) {
        if (i < args.size()) {
            if (isDelimiter(args.at(i), u'('))
                ++depth;
            else if (isDelimiter(args.at(i), u')'))
                --depth;
            if (!(depth == 0 && isDelimiter(args.at(i), u',')))
                continue;
        }
        ++count;
        ok = isLengthExpression(args, start, i, function, errors) && ok;
        start = i + 1;
    }
    if (count < arity.minArguments || (arity.maxArguments > 0 && count > arity.maxArguments))
        return false;
    return ok;
}

bool KELCSSPropertyCalcValueDefinition::isNotEmpty(const Values& v, qsizetype start, qsizetype end, const KELParsedCSSValue* calc,
    KELSyntaxCheckErrors* errors, bool number) const
{
    if (start < end)
        return true;
    report(errors, QStringLiteral("Expected %1 Expression").arg(number ? QStringLiteral("Number") : QStringLiteral("Length")),
        QStringLiteral("No value was found where a %1 value was expected").arg(number ? QStringLiteral("number") : QStringLiteral("length")),
        fallbackRange(v, start, end, calc));
    return false;
}

bool KELCSSPropertyCalcValueDefinition::isLengthExpression(const Values& v, qsizetype start, qsizetype end, const KELParsedCSSValue* calc, KELSyntaxCheckErrors* errors) const
{
    return isLengthAdditiveExpression(v, start, end, calc, errors);
}

bool KELCSSPropertyCalcValueDefinition::isLengthAdditiveExpression(const Values& v, qsizetype start, qsizetype end, const KELParsedCSSValue* calc, KELSyntaxCheckErrors* errors) const
{
    return isAdditive(v, start, end, calc, errors, false);
}

bool KELCSSPropertyCalcValueDefinition::isNumberAdditiveExpression(const Values& v, qsizetype start, qsizetype end, const KELParsedCSSValue* calc, KELSyntaxCheckErrors* errors) const
{
    return isAdditive(v, start, end, calc, errors, true);
}

bool KELCSSPropertyCalcValueDefinition::findRightmostOperator(const Values& v, qsizetype start, qsizetype end, const KELParsedCSSValue* calc,
    KELSyntaxCheckErrors* errors, const std::function<bool(const KELParsedCSSValue*)>& isOperator, qsizetype* split) const
{
    qsizetype depth = 0;
    *split = -1;
    for (qsizetype i = end - 1; i >= start; --i) {
        const KELParsedCSSValue* t = v.at(i);
        if (isDelimiter(t, u')')) {
            ++depth;
        } else if (isDelimiter(t, u'(')) {
            if (depth == 0) {
                report(errors, QStringLiteral("Unmatched Parentheses"), QStringLiteral("There are unmatched parentheses in the expression."),
                    fallbackRange(v, start, end, calc));
                return false;
            }
            --depth;
        } else if (depth == 0 && isOperator(t)) {
            *split = i;
            return true;
        }
    }
    return true;
}

bool KELCSSPropertyCalcValueDefinition::isAdditive(const Values& v, qsizetype start, qsizetype end, const KELParsedCSSValue* calc,
    KELSyntaxCheckErrors* errors, bool number) const
{
    // The rightmost "+" or "-" outside parentheses splits the range: the part after it is
    // a product, the part before it again a sum (checked in a loop, not by recursion).
    while (true) {
        if (!isNotEmpty(v, start, end, calc, errors, number))
            return false;
        qsizetype split = -1;
        if (!findRightmostOperator(v, start, end, calc, errors,
                [](const KELParsedCSSValue* t) { return isDelimiter(t, u'+') || isDelimiter(t, u'-'); }, &split))
            return false;
        if (split < 0)
            return number ? isNumberMultiplicativeExpression(v, start, end, calc, errors) : isLengthMultiplicativeExpression(v, start, end, calc, errors);
        const bool right = number ? isNumberMultiplicativeExpression(v, split + 1, end, calc, errors)
                                  : isLengthMultiplicativeExpression(v, split + 1, end, calc, errors);
        if (!right)
            return false;
        end = split;
    }
}

bool KELCSSPropertyCalcValueDefinition::isLengthMultiplicativeExpression(const Values& v, qsizetype start, qsizetype end, const KELParsedCSSValue* calc, KELSyntaxCheckErrors* errors) const
{
    return isMultiplicative(v, start, end, calc, errors, false);
}

bool KELCSSPropertyCalcValueDefinition::isNumberMultiplicativeExpression(const Values& v, qsizetype start, qsizetype end, const KELParsedCSSValue* calc, KELSyntaxCheckErrors* errors) const
{
    return isMultiplicative(v, start, end, calc, errors, true);
}

bool KELCSSPropertyCalcValueDefinition::isMultiplicative(const Values& v, qsizetype start, qsizetype end, const KELParsedCSSValue* calc,
    KELSyntaxCheckErrors* errors, bool number) const
{
    // The rightmost "*", "/" or "mod" outside parentheses splits the range; what stands
    // after it decides whether the part before it must be a length or a number product.
    while (true) {
        if (!isNotEmpty(v, start, end, calc, errors, number))
            return false;
        qsizetype split = -1;
        if (!findRightmostOperator(v, start, end, calc, errors,
                [](const KELParsedCSSValue* t) { return isDelimiter(t, u'*') || isDelimiter(t, u'/') || isMod(t); }, &split))
            return false;
        if (split < 0)
            return number ? isNumberTerm(v, start, end, calc, errors) : isLengthTerm(v, start, end, calc, errors);
        const KELParsedCSSValue* op = v.at(split);
        const qsizetype after = split + 1;
        if (!number) {
            if (isDelimiter(op, u'*')) {
                if (isNumberTerm(v, after, end, calc, nullptr)) {
                    number = false;
                } else if (isLengthTerm(v, after, end, calc, nullptr)) {
                    number = true;
                } else {
                    report(errors, QStringLiteral("Invalid Operand"), QStringLiteral("Expected a length or a number as the second operand of multiplication."),
                        fallbackRange(v, after, end, calc));
                    return false;
                }
            } else {
                if (!isNumberTerm(v, after, end, calc, errors))
                    return false;
                number = false;
            }
        } else if (isDelimiter(op, u'*')) {
            if (!isNumberTerm(v, after, end, calc, errors))
                return false;
            number = true;
        } else if (isDelimiter(op, u'/')) {
            if (isNumberTerm(v, after, end, calc, nullptr)) {
                number = true;
            } else {
                if (!isLengthTerm(v, after, end, calc, errors))
                    return false;
                number = false;
            }
        } else {
            if (isNumberTerm(v, after, end, calc, errors)) {
                number = true;
            } else {
                if (!isLengthTerm(v, after, end, calc, errors))
                    return false;
                number = false;
            }
        }
        end = split;
    }
}

namespace {
// Parentheses nest through recursion; beyond this depth the expression is not followed.
constexpr int MaxCalcNesting = 64;
thread_local int calcNesting = 0;
struct NestingGuard {
    NestingGuard() { ++calcNesting; }
    ~NestingGuard() { --calcNesting; }
};
} // namespace

bool KELCSSPropertyCalcValueDefinition::isLengthTerm(const Values& v, qsizetype start, qsizetype end, const KELParsedCSSValue* calc, KELSyntaxCheckErrors* errors) const
{
    if (!isNotEmpty(v, start, end, calc, errors, false))
        return false;
    if (end - start >= 2 && isDelimiter(v.at(start), u'(') && isDelimiter(v.at(end - 1), u')')) {
        NestingGuard guard;
        if (calcNesting > MaxCalcNesting) {
            report(errors, QStringLiteral("Invalid Calc Expression"), QStringLiteral("The calc expression is not valid."), fallbackRange(v, start, end, calc));
            return false;
        }
        return isLengthExpression(v, start + 1, end - 1, calc, errors);
    }
    return isAtomicLength(v, start, end, calc, errors);
}

bool KELCSSPropertyCalcValueDefinition::isNumberTerm(const Values& v, qsizetype start, qsizetype end, const KELParsedCSSValue* calc, KELSyntaxCheckErrors* errors) const
{
    if (!isNotEmpty(v, start, end, calc, errors, true))
        return false;
    if (end - start >= 2 && isDelimiter(v.at(start), u'(') && isDelimiter(v.at(end - 1), u')')) {
        NestingGuard guard;
        if (calcNesting > MaxCalcNesting) {
            report(errors, QStringLiteral("Invalid Calc Expression"), QStringLiteral("The calc expression is not valid."), fallbackRange(v, start, end, calc));
            return false;
        }
        return isNumberAdditiveExpression(v, start + 1, end - 1, calc, errors);
    }
    return isNumber(v, start, end, calc, errors);
}

bool KELCSSPropertyCalcValueDefinition::isAtomicLength(const Values& v, qsizetype start, qsizetype end, const KELParsedCSSValue* calc, KELSyntaxCheckErrors* errors) const
{
    if (!isNotEmpty(v, start, end, calc, errors, false))
        return false;
    if (end - start == 1) {
        const KELParsedCSSValue* t = v.at(start);
        // A nested math function stands for a length of its own.
        if (t->type() == KELParsedCSSValue::Function && KELCSSSpec::sharedInstance().isMathFunction(t->name())) {
            NestingGuard guard;
            if (calcNesting > MaxCalcNesting)
                return false;
            return checkArguments(t, errors);
        }
        KELCSSPropertyAbsoluteLengthValueDefinition length;
        KELSyntaxCheckErrors list;
        length.validateParsedValue(t, nullptr, list);
        if (validErrorsArray(list)) {
            if (errors)
                errors->append(list);
            return true;
        }
        KELCSSPropertyPercentageValueDefinition percentage;
        list.clear();
        percentage.validateParsedValue(t, nullptr, list);
        if (validErrorsArray(list)) {
            if (errors)
                errors->append(list);
            return true;
        }
    }
    report(errors, QStringLiteral("Invalid Length Value"), QStringLiteral("A length or percentage value was expected."), fallbackRange(v, start, end, calc));
    return false;
}

bool KELCSSPropertyCalcValueDefinition::isNumber(const Values& v, qsizetype start, qsizetype end, const KELParsedCSSValue* calc, KELSyntaxCheckErrors* errors) const
{
    if (!isNotEmpty(v, start, end, calc, errors, true))
        return false;
    if (end - start == 1) {
        KELCSSPropertyNumberValueDefinition number;
        KELSyntaxCheckErrors list;
        number.validateParsedValue(v.at(start), nullptr, list);
        if (errors)
            errors->append(list);
        return validErrorsArray(list);
    }
    report(errors, QStringLiteral("Invalid Number Value"), QStringLiteral("A number value was expected."), fallbackRange(v, start, end, calc));
    return false;
}
