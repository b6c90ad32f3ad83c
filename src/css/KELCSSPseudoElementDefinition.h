#pragma once
// The check of a pseudo-element selector.

#include "css/KELParsedCSSSimpleSelector.h"
#include "css/KELCSSPropertyValueDefinition.h"

class KELCSSPseudoElementDefinition {
public:
    /// What may stand in parentheses after the name: nothing, any tokens ("::part(label)"),
    /// or selectors ("::slotted(p)").
    enum Argument : qint32 { NoArgument = 0, Tokens = 1, Selectors = 2 };
    explicit KELCSSPseudoElementDefinition(qint32 argument = NoArgument) : m_argument(argument) {}
    qint32 argument() const { return m_argument; }
    KELSyntaxCheckErrors validateSimpleSelector(const KELParsedCSSSimpleSelector* selector) const;

private:
    qint32 m_argument;
};
