#pragma once
// The values one property accepts: CSS-wide keywords, its grammar, !important,
// values left over, attr() fallbacks, and substitution functions such as var().

#include "css/KELCSSPropertyValueDefinition.h"
#include "css/KELParsedCSSDeclaration.h"
#include "css/KELParsedCSSValue.h"

/// The values one property accepts.
class KELCSSPropertyDefinition {
public:
    explicit KELCSSPropertyDefinition(const QString& name) : m_propertyName(name) {}
    const QString& propertyName() const { return m_propertyName; }
    const KELCSSPropertyValueDefinition* valueDef() const { return m_valueDef; }
    void setValueDef(const KELCSSPropertyValueDefinition* def) { m_valueDef = def; }
    bool allowsInherit() const { return m_allowsInherit; }
    void setAllowsInherit(bool flag) { m_allowsInherit = flag; }

    KELSyntaxCheckErrors validateParsedValues(const KELParsedCSSValues& values, const KELParsedCSSDeclaration* declaration) const;

private:
    KELSyntaxCheckErrors validate(const KELParsedCSSValues& values, const KELParsedCSSDeclaration* declaration, bool substituted) const;
    QString m_propertyName;
    const KELCSSPropertyValueDefinition* m_valueDef = nullptr;
    bool m_allowsInherit = true;
};
