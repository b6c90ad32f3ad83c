#include "css/KELCSSDeclarationBlockDefinition.h"

#include "css/KELCSSPropertyDefinition.h"
#include "css/KELCSSPropertyValueDefinition.h"
#include "css/KELParsedCSSDeclaration.h"
#include "css/KELParsedCSSDeclarationBlock.h"

#include <QSet>

using namespace KELCSS;

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
        } else {
            const qsizetype second = name.size() >= 2 && name.startsWith(QLatin1Char('-')) ? name.indexOf(QLatin1Char('-'), 1) : -1;
            if (second >= 1) {
                const QString prefix = name.left(second + 1);
                const QString key = QStringLiteral("KELCSSDeclarationBlockDefinition:VendorSpecific:%1").arg(prefix);
                if (!(userInfo && userInfo->value(key).toBool())) {
                    errors.append(makeError(QStringLiteral("Vendor-Specific Property"),
                        QStringLiteral("\"%1\" is a vendor-specific property with prefix \"%2\".%3")
                            .arg(declaration->propertyName(), prefix,
                                userInfo ? QStringLiteral(" Further warnings for this prefix will be supressed.") : QString()),
                        declaration->textRange(), false, true));
                    if (userInfo)
                        userInfo->insert(key, true);
                }
            } else {
                errors.append(makeError(QStringLiteral("Unknown Property"),
                    QStringLiteral("\"%1\" is not a valid CSS property name.").arg(declaration->propertyName()), declaration->textRange()));
            }
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
    return result;
}
