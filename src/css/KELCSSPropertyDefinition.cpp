#include "css/KELCSSPropertyDefinition.h"

#include "css/KELCSSSpec.h"

#include <QSet>

using namespace KELCSS;

// ---- property ----

namespace {

bool isDelimiter(const KELParsedCSSValue* v, QChar c)
{
    return v->type() == KELParsedCSSValue::Delimiter && v->name().size() == 1 && v->name().at(0) == c;
}

// Functions such as var() whose value is only known when the page is shown.
void collectSubstitutions(const KELParsedCSSValues& values, const KELCSSSpec& grammar, KELParsedCSSValues& found, int depth = 0)
{
    if (depth > 64)
        return;
    for (const KELParsedCSSValue* v : values) {
        if (v->type() == KELParsedCSSValue::Function && grammar.substitutionFunction(v->name()))
            found.append(v);
        else if (v->type() == KELParsedCSSValue::Function || v->type() == KELParsedCSSValue::Block)
            collectSubstitutions(v->subvalues(), grammar, found, depth + 1);
    }
}

} // namespace

KELSyntaxCheckErrors KELCSSPropertyDefinition::validateParsedValues(const KELParsedCSSValues& values, const KELParsedCSSDeclaration* declaration) const
{
    return validate(values, declaration, false);
}

KELSyntaxCheckErrors KELCSSPropertyDefinition::validate(const KELParsedCSSValues& values, const KELParsedCSSDeclaration* declaration, bool substituted) const
{
    const KELCSSSpec& grammar = KELCSSSpec::sharedInstance();
    if (m_allowsInherit && values.size() == 1 && values.at(0)->type() == KELParsedCSSValue::Identifier
        && grammar.isCSSWideKeyword(values.at(0)->name()))
        return {};

    KELSyntaxCheckErrors errors;
    KELParsedCSSValues substitutions;
    collectSubstitutions(values, grammar, substitutions);
    if (!substitutions.isEmpty()) {
        // The grammar cannot be applied before the substitution is known; check the functions themselves.
        for (const KELParsedCSSValue* function : substitutions) {
            qsizetype index = 0;
            grammar.substitutionFunction(function->name())->validateParsedValues(KELParsedCSSValues { function }, declaration, index, errors);
        }
        return errors;
    }

    qsizetype index = 0;
    if (m_valueDef)
        m_valueDef->validateParsedValues(values, declaration, index, errors);
    if (values.size() - index >= 2 && isDelimiter(values.at(index), QLatin1Char('!')) && values.at(index + 1)->type() == KELParsedCSSValue::Identifier
        && values.at(index + 1)->name().compare(QLatin1String("important"), Qt::CaseInsensitive) == 0)
        index += 2;
    const bool valid = KELCSSPropertyValueDefinition::validErrorsArray(errors);
    if (m_valueDef && index < values.size() && valid) {
        errors.append(makeError(QStringLiteral("Unexpected Values"),
            QStringLiteral("There are too many values or unexpected values for the property \"%1,\" beginning with \"%2\".\n%3")
                .arg(declaration ? declaration->propertyName() : m_propertyName, values.at(index)->description(), m_valueDef->displayDescription()),
            KELCSSPropertyValueDefinition::joinedTextRange(values.mid(index))));
    }
    if (!substituted && KELCSSPropertyValueDefinition::validErrorsArray(errors)) {
        if (const auto withFallbacks = KELCSSPropertyValueDefinition::parsedValuesWithAttrValueSubstitutions(values))
            errors.append(validate(*withFallbacks, declaration, true));
    }
    return errors;
}

// ---- pseudo selectors ----

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
        if (!argument)
            return { makeError(title, QStringLiteral("Expected a simple selector within parentheses."), selector->textRange()) };
        if (argument->type() == KELParsedCSSSimpleSelector::PseudoClass && argument->name().compare(QLatin1String("not"), Qt::CaseInsensitive) == 0)
            return { makeError(title, QStringLiteral("The negation pseudo-class cannot be used as the argument for negation."), argument->textRange()) };
        if (argument->type() == KELParsedCSSSimpleSelector::PseudoElement)
            return { makeError(title, QStringLiteral("A pseudo-element cannot be used as the argument for negation."), argument->textRange()) };
        return {};
    }
    case SelectorList: {
        for (const KELParsedCSSValue* v : args)
            if (!v->isWhitespace())
                return {};
        return { makeError(title, QStringLiteral("Expected a simple selector within parentheses."), selector->textRange()) };
    }
    default:
        return {};
    }
}

KELSyntaxCheckErrors KELCSSPseudoElementDefinition::validateSimpleSelector(const KELParsedCSSSimpleSelector* selector) const
{
    if (selector->type() == KELParsedCSSSimpleSelector::PseudoElement)
        return {};
    return { makeError(QStringLiteral("Pseudo-Element Selector Error"), QStringLiteral("Expected a pseudo-element simple selector"), selector->textRange()) };
}

// ---- declaration block ----

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

// ---- at-rule ----

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

// ---- document ----

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
