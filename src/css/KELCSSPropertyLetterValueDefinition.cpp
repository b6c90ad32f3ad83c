#include "css/KELCSSPropertyLetterValueDefinition.h"

#include "css/KELCSSPropertyIdentifierValueDefinition.h"
#include "css/KELParsedCSSObject.h"
#include "css/KELParsedCSSValue.h"
#include "css/KELCSSPropertyValueDefinition.h"

using namespace KELCSS;

void KELCSSPropertyLetterValueDefinition::validateParsedValue(const KELParsedCSSValue* value, const KELParsedCSSObject* declaration, KELSyntaxCheckErrors& errors) const
{
    KELCSSPropertyIdentifierValueDefinition::validateParsedValue(value, declaration, errors);
    const QString& name = value->name();
    if (name.size() != 1)
        errors.append(makeError(QStringLiteral("Invalid Value"), QStringLiteral("Expected a single letter character."), value->textRange(), true));
    else if (!name.at(0).isLetter())
        errors.append(makeError(QStringLiteral("Invalid Value"),
            QStringLiteral("Expected a single letter character (the character '%1' is not a letter).").arg(name.at(0)), value->textRange(), true));
}
