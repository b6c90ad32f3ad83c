#include "css/KELCSSAtRuleDefinition.h"

#include "css/KELCSSDocumentDefinition.h"
#include "css/KELCSSPropertyValueDefinition.h"
#include "css/KELCSSSpec.h"
#include "css/KELParsedCSSAtRule.h"
#include "css/KELParsedCSSValue.h"

using namespace KELCSS;

KELSyntaxCheckErrors KELCSSAtRuleDefinition::validatePrelude(const KELParsedCSSAtRule* rule, const KELCSSPropertyValueDefinition* def) const
{
    KELSyntaxCheckErrors errors;
    qsizetype index = 0;
    const KELParsedCSSValues& values = rule->subvalues();
    if (def)
        def->validateParsedValues(values, rule, index, errors);
    if (index < values.size() && (!def || KELCSSPropertyValueDefinition::validErrorsArray(errors)))
        errors.append(makeError(QStringLiteral("Unexpected Values"),
            QStringLiteral("There are too many values or unexpected values following the at-rule identifier, beginning with \"%1\".\n%2")
                .arg(values.at(index)->description(), def ? def->displayDescription() : QString()),
            KELCSSPropertyValueDefinition::joinedTextRange(values.mid(index))));
    return errors;
}

KELSyntaxCheckErrors KELCSSAtRuleDefinition::validateAtRule(const KELParsedCSSAtRule* rule, QVariantMap* userInfo) const
{
    const KELCSSSpec& grammar = KELCSSSpec::sharedInstance();
    const QString title = QStringLiteral("At-Rule Syntax Error");
    KELSyntaxCheckErrors errors = validatePrelude(rule, m_valueDef);

    if (rule->declarationBlock()) {
        if (m_declarationBlockDef)
            errors.append(m_declarationBlockDef->validateDeclarationBlock(rule->declarationBlock(), userInfo));
    } else if (m_type == Declarations || m_type == PageLike) {
        errors.append(makeError(title, QStringLiteral("Expected a declaration block at the end of the at-rule."), rule->textRange()));
    }

    if (rule->subDocument()) {
        if (const KELCSSDocumentDefinition* document = grammar.documentDefinition())
            errors.append(document->validateDocument(rule->subDocument(), userInfo));
    } else if (m_type == RuleSets) {
        errors.append(makeError(title, QStringLiteral("Expected a set of rules delimited by curly braces at the end of the at-rule."), rule->textRange()));
    }
    for (const KELParsedCSSAtRule* nested : rule->atRules()) {
        if (nested->isKeyframeBlock()) {
            errors.append(validatePrelude(nested, m_keyframeSelectorDef));
            if (nested->declarationBlock() && grammar.standardDeclarationBlockDefinition())
                errors.append(grammar.standardDeclarationBlockDefinition()->validateDeclarationBlock(nested->declarationBlock(), userInfo));
            continue;
        }
        const KELCSSAtRuleDefinition* def = m_type == PageLike ? grammar.marginAtRuleForName(nested->name()) : grammar.atRuleForName(nested->name());
        if (def)
            errors.append(def->validateAtRule(nested, userInfo));
        else if (m_type == PageLike)
            errors.append(makeError(QStringLiteral("Unknown At-Rule"), QStringLiteral("\"%1\" is not a valid page margin at-rule name.").arg(nested->name()),
                nested->textRange()));
        else
            errors.append(makeError(QStringLiteral("Unknown At-Rule"), QStringLiteral("\"%1\" is not a valid CSS at-rule name.").arg(nested->name()),
                nested->textRange()));
    }
    return errors;
}
