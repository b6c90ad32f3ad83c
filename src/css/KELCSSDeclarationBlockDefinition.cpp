#include "css/KELCSSDeclarationBlockDefinition.h"

#include "css/KELCSSPropertyDefinition.h"
#include "css/KELCSSPropertyValueDefinition.h"
#include "css/KELParsedCSSDeclaration.h"
#include "css/KELParsedCSSDeclarationBlock.h"
#include "css/KELParsedCSSValue.h"
#include "css/KELCSSSpec.h"
#include "css/KELParsedCSSDocument.h"

#include <QSet>

#include <algorithm>

using namespace KELCSS;

namespace {

// The first identifier or function among the values (or inside their functions)
// that carries a vendor prefix.
const KELParsedCSSValue* vendorValue(const KELParsedCSSValues& values, int depth = 0)
{
    if (depth > 16)
        return nullptr;
    for (const KELParsedCSSValue* v : values) {
        if ((v->type() == KELParsedCSSValue::Identifier || v->type() == KELParsedCSSValue::Function) && !KELCSSSpec::vendorPrefix(v->name()).isEmpty())
            return v;
        if (v->type() == KELParsedCSSValue::Function)
            if (const KELParsedCSSValue* inner = vendorValue(v->subvalues(), depth + 1))
                return inner;
    }
    return nullptr;
}

} // namespace

KELCSSDeclarationBlockDefinition::KELCSSDeclarationBlockDefinition(const QList<const KELCSSPropertyDefinition*>& properties)
{
    for (const KELCSSPropertyDefinition* p : properties) {
        const QString name = p->propertyName().toLower();
        if (name.endsWith(QLatin1Char('*')))
            m_prefixes.append({ name.chopped(1), p });
        else
            m_properties.insert(name, p);
    }
}

const KELCSSPropertyDefinition* KELCSSDeclarationBlockDefinition::propertyForName(const QString& lowerCaseName) const
{
    if (const KELCSSPropertyDefinition* p = m_properties.value(lowerCaseName))
        return p;
    for (const auto& prefix : m_prefixes)
        if (lowerCaseName.size() > prefix.first.size() && lowerCaseName.startsWith(prefix.first))
            return prefix.second;
    return nullptr;
}

KELSyntaxCheckErrors KELCSSDeclarationBlockDefinition::validateDeclarationBlock(const KELParsedCSSDeclarationBlock* block, QVariantMap* userInfo) const
{
    KELSyntaxCheckErrors result;
    if (!block)
        return result;
    QSet<QString> seen;
    for (const KELParsedCSSDeclaration* declaration : block->declarations()) {
        const QString name = declaration->propertyName().toLower();
        if (name.isEmpty())
            continue;
        KELSyntaxCheckErrors errors;
        if (const KELCSSPropertyDefinition* property = propertyForName(name)) {
            errors = property->validateParsedValues(declaration->propertyValues(), declaration);
            // A value a browser maker added ("-webkit-box", "-moz-linear-gradient()") is
            // theirs to define: one warning for its prefix, not an error.
            const bool anyError = std::any_of(errors.begin(), errors.end(), [](const KELSyntaxCheckError& e) { return e.level() == 1; });
            if (anyError) {
                if (const KELParsedCSSValue* vendor = vendorValue(declaration->propertyValues())) {
                    errors.clear();
                    if (auto warning = KELCSSSpec::vendorWarning(vendor->name(), QStringLiteral("value"), KELCSSSpec::vendorPrefix(vendor->name()),
                            vendor->textRange(), userInfo))
                        errors.append(*warning);
                }
            }
        } else if (const QString prefix = KELCSSSpec::vendorPrefix(name); !prefix.isEmpty()) {
            if (auto warning = KELCSSSpec::vendorWarning(declaration->propertyName(), QStringLiteral("property"), prefix, declaration->textRange(), userInfo))
                errors.append(*warning);
        } else {
            errors.append(makeError(QStringLiteral("Unknown Property"),
                QStringLiteral("\"%1\" is not a valid CSS property name.").arg(declaration->propertyName()), declaration->textRange()));
        }
        if (KELCSSPropertyValueDefinition::validErrorsArray(errors)) {
            if (seen.contains(name))
                result.append(makeError(QStringLiteral("Property Redefinition"),
                    QStringLiteral("The property \"%1\" was defined previously in the declaration block.").arg(declaration->propertyName()),
                    declaration->textRange(), false, true));
            else
                seen.insert(name);
        }
        result.append(errors);
    }
    if (const KELParsedCSSDocument* nested = block->nestedRules())
        if (const KELCSSDocumentDefinition* document = KELCSSSpec::sharedInstance().documentDefinition())
            result.append(document->validateDocument(nested, userInfo));
    return result;
}
