#include "css/KELCSSPropertyFunctionValueDefinition.h"

#include "css/KELParsedCSSObject.h"
#include "css/KELParsedCSSValue.h"
#include "css/KELCSSPropertyValueDefinition.h"

using namespace KELCSS;

bool KELCSSPropertyFunctionValueDefinition::checkFunctionName(const KELParsedCSSValue* value, KELSyntaxCheckErrors& errors) const
{
    if (!checkType(value, errors))
        return false;
    if (!m_functionName.isEmpty() && value->name().compare(m_functionName, Qt::CaseInsensitive) != 0) {
        errors.append(makeError(QStringLiteral("Unrecognized Function Name"), QStringLiteral("Expected a function named \"%1\".").arg(m_functionName),
            value->textRange()));
        return false;
    }
    return true;
}

void KELCSSPropertyFunctionValueDefinition::validateParsedValue(const KELParsedCSSValue* value, const KELParsedCSSObject*, KELSyntaxCheckErrors& errors) const
{
    if (!checkFunctionName(value, errors) || !m_parameters)
        return;
    const KELParsedCSSValues& args = value->subvalues();
    qsizetype index = 0;
    KELSyntaxCheckErrors list = m_parameters->validateParsedValues(args, value, index);
    if (validErrorsArray(list) && index < args.size()) {
        list.append(makeError(QStringLiteral("Invalid Function Parameters"),
            QStringLiteral("There are too many values or unexpected values for the function \"%1\", beginning with \"%2\".\n%3")
                .arg(m_functionName.isEmpty() ? value->name() : m_functionName, args.at(index)->description(), m_parameters->displayDescription()),
            joinedTextRange(args.mid(index))));
    }
    for (KELSyntaxCheckError& e : list)
        e.setNonInvalidatingError(true);
    errors.append(list);
}

QString KELCSSPropertyFunctionValueDefinition::genericErrorDescription() const
{
    return QStringLiteral("Expected a function named \"%1\".").arg(m_functionName);
}

QString KELCSSPropertyFunctionValueDefinition::shortGenericErrorDescription() const
{
    return m_functionName + QStringLiteral("()");
}
