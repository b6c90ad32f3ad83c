#include "css/KELCSSPseudoClassDefinition.h"

#include "css/KELCSSPropertyValueDefinition.h"
#include "css/KELParsedCSSSelector.h"
#include "css/KELParsedCSSSimpleSelector.h"
#include "css/KELParsedCSSValue.h"

using namespace KELCSS;

namespace {

// A pseudo-element in the argument of a selector, if any.
const KELParsedCSSSimpleSelector* pseudoElementIn(const KELParsedCSSSimpleSelector* selector)
{
    if (const KELParsedCSSSimpleSelector* argument = selector->subselector())
        if (argument->type() == KELParsedCSSSimpleSelector::PseudoElement)
            return argument;
    for (const auto& complex : selector->selectorList())
        for (const KELParsedCSSSelectorSequence* sequence : complex->sequences())
            for (const KELParsedCSSSimpleSelector* simple : sequence->simpleSelectors())
                if (simple->type() == KELParsedCSSSimpleSelector::PseudoElement)
                    return simple;
    return nullptr;
}

} // namespace

KELSyntaxCheckErrors KELCSSPseudoClassDefinition::validateSimpleSelector(const KELParsedCSSSimpleSelector* selector) const
{
    const QString title = QStringLiteral("Pseudo-Class Selector Error");
    if (selector->type() != KELParsedCSSSimpleSelector::PseudoClass)
        return { makeError(title, QStringLiteral("Expected a pseudo-class simple selector"), selector->textRange()) };
    const KELParsedCSSValues& args = selector->subvalues();
    switch (m_type) {
    case Plain:
        if (!args.isEmpty())
            return { makeError(title, QStringLiteral("The pseudo-class selector \"%1\" should not have parenthetical values.").arg(selector->name()),
                selector->textRange()) };
        return {};
    case Nth: {
        qsizetype first = 0, last = args.size();
        while (first < last && args.at(first)->isWhitespace())
            ++first;
        while (last > first && args.at(last - 1)->isWhitespace())
            --last;
        const KELParsedCSSValues trimmed = args.mid(first, last - first);
        qsizetype index = 0;
        KELSyntaxCheckErrors list;
        if (!trimmed.isEmpty() && m_nthTypeDef)
            list = m_nthTypeDef->validateParsedValues(trimmed, selector, index);
        if (trimmed.isEmpty() || !m_nthTypeDef || !KELCSSPropertyValueDefinition::validErrorsArray(list) || index < trimmed.size())
            return { makeError(title,
                QStringLiteral("Expected value in parentheses to be 'odd', 'even', or have the form 'an+b', where 'a' and 'b' are integers."),
                selector->textRange()) };
        return list;
    }
    case Identifier: {
        bool seen = false;
        for (const KELParsedCSSValue* v : args) {
            if (v->isWhitespace())
                continue;
            if (!seen && v->type() == KELParsedCSSValue::Identifier) {
                seen = true;
                continue;
            }
            return { makeError(title,
                QStringLiteral("The pseudo-class selector \"%1\" should have a single identifier specified in parentheses.").arg(selector->name()),
                v->textRange()) };
        }
        if (!seen)
            return { makeError(title,
                QStringLiteral("The pseudo-class selector \"%1\" should have a single identifier specified in parentheses.").arg(selector->name()),
                selector->textRange()) };
        return {};
    }
    case Negation: {
        const KELParsedCSSSimpleSelector* argument = selector->subselector();
        if (!argument && selector->selectorList().empty())
            return { makeError(title, QStringLiteral("Expected a simple selector within parentheses."), selector->textRange()) };
        // Selector lists, compounds and nested negations are today's :not(); a
        // pseudo-element still cannot be negated.
        if (const KELParsedCSSSimpleSelector* element = pseudoElementIn(selector))
            return { makeError(title, QStringLiteral("A pseudo-element cannot be used as the argument for negation."), element->textRange()) };
        return {};
    }
    case SelectorList:
    case RelativeSelectorList:
        if (selector->selectorList().empty())
            return { makeError(title, QStringLiteral("Expected a simple selector within parentheses."), selector->textRange()) };
        return {};
    case OptionalSelectorList:
        if (selector->hasArgument() && selector->selectorList().empty())
            return { makeError(title, QStringLiteral("Expected a simple selector within parentheses."), selector->textRange()) };
        return {};
    default:
        return {};
    }
}
