#pragma once
// The checks of one pseudo-class: no argument, an+b, one identifier, a negation, a
// selector list (relative selectors for :has()), or a selector list that may be left
// out with its parentheses (:host).

#include "css/KELCSSPropertyValueDefinition.h"
#include "css/KELParsedCSSSimpleSelector.h"

class KELCSSPseudoClassDefinition {
public:
    enum Type : qint32 { Plain = 0, Nth = 1, Identifier = 2, Negation = 3, SelectorList = 4, RelativeSelectorList = 5, OptionalSelectorList = 6 };
    /// Whether the argument is read as selectors.
    bool takesSelectors() const { return m_type == Negation || m_type == SelectorList || m_type == RelativeSelectorList || m_type == OptionalSelectorList; }
    /// The an+b grammar is given for Nth definitions (not owned).
    explicit KELCSSPseudoClassDefinition(qint32 type, const KELCSSPropertyValueDefinition* nthTypeDef = nullptr)
        : m_type(type), m_nthTypeDef(nthTypeDef) {}
    qint32 type() const { return m_type; }
    KELSyntaxCheckErrors validateSimpleSelector(const KELParsedCSSSimpleSelector* selector) const;

private:
    qint32 m_type;
    const KELCSSPropertyValueDefinition* m_nthTypeDef;
};
