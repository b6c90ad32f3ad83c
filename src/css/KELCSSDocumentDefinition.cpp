#include "css/KELCSSDocumentDefinition.h"

#include "css/KELCSSAtRuleDefinition.h"
#include "css/KELCSSDeclarationBlockDefinition.h"
#include "css/KELCSSSpec.h"
#include "css/KELParsedCSSAtRule.h"
#include "css/KELParsedCSSDocument.h"
#include "css/KELParsedCSSRuleSet.h"
#include "css/KELCSSPropertyValueDefinition.h"

using namespace KELCSS;

KELSyntaxCheckErrors KELCSSDocumentDefinition::validateDocument(const KELParsedCSSDocument* document, QVariantMap* userInfo) const
{
    KELSyntaxCheckErrors errors;
    if (!document)
        return errors;
    const KELCSSSpec& grammar = KELCSSSpec::sharedInstance();
    const qsizetype ruleSetLimit = document->ruleSets().isEmpty() ? std::numeric_limits<qsizetype>::max()
                                                                  : document->ruleSets().first()->textRange().location;
    bool seenOtherThanCharsetImport = false; // A
    bool seenOtherThanCharsetImportNamespace = false; // B
    for (const KELParsedCSSAtRule* rule : document->atRules()) {
        const KELCSSAtRuleDefinition* def = grammar.atRuleForName(rule->name());
        if (const QString prefix = KELCSSSpec::vendorPrefix(rule->name()); !def && !prefix.isEmpty()) {
            if (auto warning = KELCSSSpec::vendorWarning(rule->name(), QStringLiteral("at-rule"), prefix, rule->textRange(), userInfo))
                errors.append(*warning);
            def = grammar.atRuleForName(rule->name().mid(prefix.size()));
            if (!def)
                continue;
        }
        if (!def) {
            errors.append(makeError(QStringLiteral("Unknown At-Rule"), QStringLiteral("\"%1\" is not a valid CSS at-rule name.").arg(rule->name()),
                rule->textRange()));
            continue;
        }
        errors.append(def->validateAtRule(rule, userInfo));
        const QString lower = rule->name().toLower();
        const qsizetype location = rule->textRange().location;
        if (lower == QLatin1String("charset")) {
            if (rule->name() != lower)
                errors.append(makeError(QStringLiteral("@charset Error"), QStringLiteral("@charset must be entirely lowercase."), rule->textRange()));
            if (location != 0)
                errors.append(makeError(QStringLiteral("@charset Error"), QStringLiteral("@charset must appear at the very beginning of a text document."),
                    rule->textRange()));
        } else if (lower == QLatin1String("import")) {
            if (location > ruleSetLimit || seenOtherThanCharsetImport)
                errors.append(makeError(QStringLiteral("@import Error"),
                    QStringLiteral("@import cannot appear after a rule set or after an at-rule other than @charset or @import."), rule->textRange()));
        } else if (lower == QLatin1String("namespace")) {
            if (location > ruleSetLimit || seenOtherThanCharsetImportNamespace)
                errors.append(makeError(QStringLiteral("@namespace Error"),
                    QStringLiteral("@namespace cannot appear after a rule set or after an at-rule other than @charset, @import, or @namespace."),
                    rule->textRange()));
            seenOtherThanCharsetImport = true;
        } else {
            seenOtherThanCharsetImport = true;
            seenOtherThanCharsetImportNamespace = true;
        }
    }
    if (const KELCSSDeclarationBlockDefinition* block = grammar.standardDeclarationBlockDefinition())
        for (const KELParsedCSSRuleSet* set : document->ruleSets())
            errors.append(block->validateDeclarationBlock(set->declarationBlock(), userInfo));
    return errors;
}
