#pragma once
// The properties a declaration block may hold, and the checks of unknown,
// vendor-specific and repeated properties.

#include "css/KELCSSPropertyDefinition.h"
#include "css/KELParsedCSSDeclarationBlock.h"
#include "css/KELCSSPropertyValueDefinition.h"

#include <QHash>
#include <QVariantMap>

class KELCSSDeclarationBlockDefinition {
public:
    /// Later definitions of the same lower-cased name replace earlier ones. A name
    /// ending in "*" stands for every name with that prefix (custom properties).
    explicit KELCSSDeclarationBlockDefinition(const QList<const KELCSSPropertyDefinition*>& properties);
    const KELCSSPropertyDefinition* propertyForName(const QString& lowerCaseName) const;
    const QHash<QString, const KELCSSPropertyDefinition*>& properties() const { return m_properties; }
    KELSyntaxCheckErrors validateDeclarationBlock(const KELParsedCSSDeclarationBlock* block, QVariantMap* userInfo) const;

private:
    QHash<QString, const KELCSSPropertyDefinition*> m_properties;
    QList<QPair<QString, const KELCSSPropertyDefinition*>> m_prefixes;
};
