#pragma once
// The checks of one pseudo-class: no argument, an+b, one identifier, a negation or a
// selector list.

#include "css/KELCSSPropertyValueDefinition.h"
#include "css/KELParsedCSSSimpleSelector.h"

class KELCSSPseudoClassDefinition {
public:
    enum Type : qint32 { Plain = 0, Nth = 1, Identifier = 2, Negation = 3, SelectorList = 4 };
    /// The an+b grammar is given for Nth definitions (not owned).
    explicit KELCSSPseudoClassDefinition(qint32 type, const KELCSSPropertyValueDefinition* nthTypeDef = nullptr)
        : m_type(type), m_nthTypeDef(nthTypeDef) {}
    qint32 type() const { return m_type; }
    KELSyntaxCheckErrors validateSimpleSelector(const KELParsedCSSSimpleSelector* selector) const;

private:
    qint32 m_type;
    const KELCSSPropertyValueDefinition* m_nthTypeDef;
};
