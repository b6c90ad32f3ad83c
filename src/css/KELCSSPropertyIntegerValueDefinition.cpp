#include "css/KELCSSPropertyIntegerValueDefinition.h"

#include "css/KELCSSPropertyNumberValueDefinition.h"
#include "css/KELCSSPropertySimpleValueDefinition.h"
#include "css/KELParsedCSSObject.h"
#include "css/KELParsedCSSValue.h"
#include "css/KELCSSPropertyValueDefinition.h"

using namespace KELCSS;

void KELCSSPropertyIntegerValueDefinition::validateParsedValue(const KELParsedCSSValue* value, const KELParsedCSSObject* declaration, KELSyntaxCheckErrors& errors) const
{
    if (!checkType(value, errors))
        return;
    KELCSSPropertyNumberValueDefinition::validateParsedValue(value, declaration, errors);
    if (value->name().contains(QLatin1Char('.')))
        errors.append(makeError(QStringLiteral("Invalid Integer Value"),
            QStringLiteral("A real number was found where an integer was expected (remove the \".\" from the number)."), value->textRange(), true));
}

bool KELCSSPropertyIntegerValueDefinition::validateAttrFunction(const KELParsedCSSValue* attr, const KELParsedCSSObject* declaration,
    KELSyntaxCheckErrors& errors, const QString& id, const std::optional<QString>& type, const KELParsedCSSValue* substitute) const
{
    if (!KELCSSPropertySimpleValueDefinition::validateAttrFunction(attr, declaration, errors, id, type, substitute))
        return false;
    if (!type || type->compare(QLatin1String("integer"), Qt::CaseInsensitive) == 0)
        return true;
    errors.append(makeError(QStringLiteral("Unexpected Value Type"), QStringLiteral("Expected the value \"integer\" for the type parameter in attr()."),
        attr->textRange()));
    return false;
}
