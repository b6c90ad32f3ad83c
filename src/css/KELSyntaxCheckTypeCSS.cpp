#include "css/KELSyntaxCheckTypeCSS.h"

#include "css/KELCSSSpec.h"
#include "css/KELCSSPropertyValueDefinition.h"
#include "css/KELCSSAtRuleDefinition.h"
#include "css/KELCSSDeclarationBlockDefinition.h"
#include "css/KELCSSDocumentDefinition.h"
#include "css/KELCSSPseudoClassDefinition.h"
#include "css/KELCSSPseudoElementDefinition.h"
#include "css/KELParsedCSSAtRule.h"
#include "css/KELParsedCSSDeclaration.h"
#include "css/KELParsedCSSDeclarationBlock.h"
#include "css/KELParsedCSSDocument.h"
#include "css/KELParsedCSSRuleSet.h"
#include "css/KELParsedCSSSelector.h"
#include "css/KELParsedCSSSelectorSequence.h"
#include "css/KELParsedCSSSimpleSelector.h"
#include "css/KELParsedCSSValue.h"

#include <array>

using namespace KELCSS;

namespace {

constexpr int MaxDepth = 200;

bool containsAt(const QString& text, qsizetype index, QLatin1String s)
{
    return index >= 0 && index + s.size() <= text.size() && QStringView(text).mid(index, s.size()) == s;
}

bool isDelimiterToken(const KELParsedCSSValue* v, QChar c)
{
    return v && v->type() == KELParsedCSSValue::Delimiter && v->name().size() == 1 && v->name().at(0) == c;
}

// Whether only pseudo-classes a pseudo-element may take follow it in its compound:
// the user-action ones ("::before:hover") and their logical combinations, and any
// after a vendor's own pseudo-element ("::-webkit-scrollbar-thumb:horizontal").
bool onlyUserActionsFollow(const QList<KELParsedCSSSimpleSelector*>& simple, qsizetype element)
{
    // The logical combinations may hold them too ("::file-selector-button:is(:hover, :focus)").
    static const QSet<QString> userActions { QStringLiteral("hover"), QStringLiteral("active"), QStringLiteral("focus"), QStringLiteral("focus-visible"),
        QStringLiteral("focus-within"), QStringLiteral("is"), QStringLiteral("where"), QStringLiteral("not") };
    const bool vendor = !KELCSSSpec::vendorPrefix(simple.at(element)->name()).isEmpty();
    for (qsizetype k = element + 1; k < simple.size(); ++k) {
        if (simple.at(k)->type() != KELParsedCSSSimpleSelector::PseudoClass)
            return false;
        if (!vendor && !userActions.contains(simple.at(k)->name().toLower()))
            return false;
    }
    return true;
}

// Whether a nested rule, not a declaration, starts at the index of a declaration
// block: an at-rule, a selector that no property name could begin, or words that
// reach a "{" before the ";" or "}" that would end a declaration.
bool startsNestedRule(qsizetype index, qsizetype max, const QString& text)
{
    const QChar c = text.at(index);
    if (c == u'@' || c == u'&' || c == u'.' || c == u'#' || c == u':' || c == u'[' || c == u'>' || c == u'+' || c == u'~')
        return true;
    if (c == u'-' && index + 1 < max && text.at(index + 1) == u'-')
        return false; // a custom property may hold braces
    if (!(c.isLetter() || c == u'*' || c == u'-' || c == u'_' || c == u'\\' || c.unicode() >= 0x80))
        return false;
    QChar quote;
    int parentheses = 0;
    for (qsizetype k = index; k < max; ++k) {
        const QChar ch = text.at(k);
        if (!quote.isNull()) {
            if (ch == u'\\')
                ++k;
            else if (ch == quote)
                quote = QChar();
        } else if (ch == u'"' || ch == u'\'') {
            quote = ch;
        } else if (ch == u'\\') {
            ++k;
        } else if (ch == u'/' && k + 1 < max && text.at(k + 1) == u'*') {
            const qsizetype close = text.indexOf(QLatin1String("*/"), k + 2);
            if (close < 0 || close >= max)
                return false;
            k = close + 1;
        } else if (ch == u'(') {
            ++parentheses;
        } else if (ch == u')') {
            parentheses = qMax(0, parentheses - 1);
        } else if (parentheses == 0) {
            if (ch == u'{')
                return true;
            if (ch == u';' || ch == u'}')
                return false;
        }
    }
    return false;
}

bool isNewline(QChar c)
{
    const char16_t u = c.unicode();
    return u == u'\n' || u == u'\r' || u == 0x0085 || u == 0x2028 || u == 0x2029 || u == 0x0C;
}

// The part of the text a range covers; a range partly or wholly outside the text is cut to it.
void clampRange(kit::Range range, const QString& text, qsizetype& start, qsizetype& end)
{
    start = std::clamp<qsizetype>(range.location, 0, text.size());
    end = start + std::clamp<qsizetype>(range.length, 0, text.size() - start);
}

bool isPlainIdentifierChar(QChar c)
{
    return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') || (c >= u'0' && c <= u'9') || c == u'-' || c == u'_';
}

// The one-character text of a delimiter; ASCII ones are made once and shared, as
// nearly every token between values is one.
QString oneCharacter(const QString& text, qsizetype index)
{
    static const std::array<QString, 128> ascii = [] {
        std::array<QString, 128> table;
        for (int c = 0; c < 128; ++c)
            table[c] = QString(QChar(char16_t(c)));
        return table;
    }();
    const QChar c = text.at(index);
    return c.unicode() < 128 ? ascii[c.unicode()] : QString(c);
}

// The end of the number at the index ("-1.5", "2e3"), or -1 where none starts.
qsizetype numberEnd(qsizetype index, qsizetype max, const QString& text)
{
    qsizetype i = index;
    if (i < max && (text.at(i) == u'+' || text.at(i) == u'-'))
        ++i;
    qsizetype digits = 0;
    while (i < max && text.at(i) >= u'0' && text.at(i) <= u'9')
        ++i, ++digits;
    if (i + 1 < max && text.at(i) == u'.' && text.at(i + 1) >= u'0' && text.at(i + 1) <= u'9') {
        ++i;
        while (i < max && text.at(i) >= u'0' && text.at(i) <= u'9')
            ++i, ++digits;
    }
    if (digits == 0)
        return -1;
    // An exponent ("1e-7", "2.5E3"); "1em" stays a number and its unit.
    if (i + 1 < max && (text.at(i) == u'e' || text.at(i) == u'E')) {
        qsizetype j = i + 1;
        if (j + 1 < max && (text.at(j) == u'+' || text.at(j) == u'-'))
            ++j;
        if (j < max && text.at(j) >= u'0' && text.at(j) <= u'9') {
            while (j < max && text.at(j) >= u'0' && text.at(j) <= u'9')
                ++j;
            i = j;
        }
    }
    return i;
}

struct DepthGuard {
    int& depth;
    explicit DepthGuard(int& d) : depth(d) { ++depth; }
    ~DepthGuard() { --depth; }
};

} // namespace

KELSyntaxCheckTypeCSS& KELSyntaxCheckTypeCSS::sharedInstance()
{
    static KELSyntaxCheckTypeCSS instance;
    return instance;
}

KELSyntaxCheckTypeCSS::KELSyntaxCheckTypeCSS()
    : m_attributeOperators { QStringLiteral("="), QStringLiteral("~="), QStringLiteral("|="), QStringLiteral("^="), QStringLiteral("$="), QStringLiteral("*=") }
{
}

void KELSyntaxCheckTypeCSS::beginRead(qsizetype start, qsizetype max)
{
    m_depth = 0;
    m_names.clear();
    // A style attribute is too short for names to repeat.
    m_shareNames = max - start > 4096;
}

QString KELSyntaxCheckTypeCSS::nameFromText(const QString& text, qsizetype start, qsizetype length)
{
    if (!m_shareNames)
        return text.mid(start, length);
    const std::u16string_view key(reinterpret_cast<const char16_t*>(text.constData()) + start, size_t(length));
    const auto found = m_names.find(key);
    if (found != m_names.end())
        return found->second;
    QString name = text.mid(start, length);
    const std::u16string_view own(reinterpret_cast<const char16_t*>(name.constData()), size_t(name.size()));
    return m_names.emplace(own, std::move(name)).first->second;
}

void KELSyntaxCheckTypeCSS::report(Errors* errors, const QString& title, const QString& description, kit::Range range)
{
    if (errors)
        errors->append(makeError(title, description, range));
}

// ---- entry points ----

std::unique_ptr<KELParsedCSSDocument> KELSyntaxCheckTypeCSS::parseText(const QString& text, kit::Range range, Errors* errors, QVariantMap* userInfo)
{
    auto document = std::make_unique<KELParsedCSSDocument>();
    qsizetype index = 0, max = 0;
    clampRange(range, text, index, max);
    beginRead(index, max);
    m_userInfo = userInfo;
    while (index < max) {
        skipWhiteSpaceAndCommentsAtIndex(index, max, text, errors);
        if (index >= max)
            break;
        if (containsAt(text, index, QLatin1String("<!--")) && index + 4 <= max) {
            index += 4;
        } else if (containsAt(text, index, QLatin1String("-->")) && index + 3 <= max) {
            index += 3;
        } else if (text.at(index) == u'@') {
            document->addAtRule(parseAtRuleAtIndex(index, max, text, errors));
        } else {
            document->addRuleSet(parseRuleSetAtIndex(index, max, text, errors));
        }
    }
    if (const KELCSSDocumentDefinition* def = KELCSSSpec::sharedInstance().documentDefinition()) {
        const Errors found = def->validateDocument(document.get(), userInfo);
        if (errors)
            errors->append(found);
    }
    return document;
}

std::unique_ptr<KELParsedCSSDeclarationBlock> KELSyntaxCheckTypeCSS::checkForStyleAttributeErrors(const QString& text, kit::Range range,
    Errors* errors, QVariantMap* userInfo)
{
    qsizetype index = 0, max = 0;
    clampRange(range, text, index, max);
    beginRead(index, max);
    m_userInfo = userInfo;
    auto block = parseDeclarationBlockAtIndex(index, max, text, errors, false);
    if (block) {
        if (const KELCSSDeclarationBlockDefinition* def = KELCSSSpec::sharedInstance().standardDeclarationBlockDefinition()) {
            const Errors found = def->validateDeclarationBlock(block.get(), userInfo);
            if (errors)
                errors->append(found);
        }
    }
    return block;
}

// ---- white space, comments ----

void KELSyntaxCheckTypeCSS::skipWhiteSpaceAndCommentsAtIndex(qsizetype& index, qsizetype max, const QString& text, Errors* errors)
{
    while (index < max) {
        if (text.at(index).isSpace())
            ++index;
        else if (!parseCommentAtIndex(index, max, text, errors))
            return;
    }
}

bool KELSyntaxCheckTypeCSS::parseCommentAtIndex(qsizetype& index, qsizetype max, const QString& text, Errors* errors)
{
    if (index + 1 >= max || text.at(index) != u'/' || text.at(index + 1) != u'*')
        return false;
    const qsizetype start = index;
    const qsizetype close = text.indexOf(QLatin1String("*/"), index + 2);
    if (close < 0 || close + 2 > max) {
        index = max;
        report(errors, QStringLiteral("Unterminated Comment"), QStringLiteral("A comment is not terminated properly."), kit::Range(start, max - start));
    } else {
        index = close + 2;
    }
    return true;
}

// ---- at-rules ----

std::unique_ptr<KELParsedCSSAtRule> KELSyntaxCheckTypeCSS::parseAtRuleAtIndex(qsizetype& index, qsizetype max, const QString& text, Errors* errors,
    bool forPageMargin)
{
    if (index >= max || text.at(index) != u'@')
        return nullptr;
    auto rule = std::make_unique<KELParsedCSSAtRule>();
    const qsizetype start = index;
    ++index;
    Value name = index < max ? parseIdentifierAtIndex(index, max, text, errors) : nullptr;
    if (!name) {
        report(errors, QStringLiteral("At-Rule Error"), QStringLiteral("Expected an identifier following the \"@\" delimiter."), kit::Range(start, 1));
        rule->setTextRange(kit::Range(start, index - start));
        return rule;
    }
    rule->setName(name->name());
    const KELCSSSpec& grammar = KELCSSSpec::sharedInstance();
    const KELCSSAtRuleDefinition* def = forPageMargin ? grammar.marginAtRuleForName(rule->name()) : grammar.atRuleForName(rule->name());
    // "@-webkit-keyframes" has the body of "@keyframes".
    if (!def && !forPageMargin) {
        const QString prefix = KELCSSSpec::vendorPrefix(rule->name());
        if (!prefix.isEmpty())
            def = grammar.atRuleForName(rule->name().mid(prefix.size()));
    }

    while (true) {
        if (index >= max) {
            rule->setTextRange(kit::Range(start, index - start));
            report(errors, QStringLiteral("Improperly Closed At-Rule"), QStringLiteral("An at-rule must be closed with a semicolon or block."),
                rule->textRange());
            return rule;
        }
        skipWhiteSpaceAndCommentsAtIndex(index, max, text, errors);
        if (index < max && text.at(index) == u'{')
            break;
        if (index >= max)
            continue;
        Value token = parseAnyValueAtIndex(index, max, text, errors);
        if (isDelimiterToken(token.get(), QLatin1Char(';'))) {
            rule->setTextRange(kit::Range(start, index - start));
            return rule;
        }
        rule->addSubvalue(std::move(token));
    }

    const qint32 type = def ? def->type() : -1;
    if (type == KELCSSAtRuleDefinition::Declarations) {
        rule->setDeclarationBlock(parseDeclarationBlockAtIndex(index, max, text, errors, true));
    } else if ((type == KELCSSAtRuleDefinition::RuleSets || type == KELCSSAtRuleDefinition::OptionalRuleSets) && m_inStyleRule) {
        // Inside a style rule a conditional rule holds declarations (and nested rules)
        // for the same elements: one rule set without selectors of its own.
        auto set = std::make_unique<KELParsedCSSRuleSet>();
        const qsizetype bodyStart = index;
        set->setDeclarationBlock(parseDeclarationBlockAtIndex(index, max, text, errors, true));
        set->setTextRange(kit::Range(bodyStart, index - bodyStart));
        auto document = std::make_unique<KELParsedCSSDocument>();
        document->addRuleSet(std::move(set));
        rule->setSubDocument(std::move(document));
    } else if (type == KELCSSAtRuleDefinition::RuleSets || type == KELCSSAtRuleDefinition::OptionalRuleSets) {
        const bool wasInStyleRule = m_inStyleRule;
        m_inStyleRule = false;
        ++index;
        auto document = std::make_unique<KELParsedCSSDocument>();
        while (true) {
            if (index >= max) {
                report(errors, QStringLiteral("At-Rule Error"), QStringLiteral("Expected a '}' character to close at-rule."), kit::Range(start, index - start));
                break;
            }
            skipWhiteSpaceAndCommentsAtIndex(index, max, text, errors);
            if (index >= max)
                continue;
            if (text.at(index) == u'}') {
                ++index;
                break;
            }
            // Conditional rules may nest (@media inside @supports and the like).
            if (text.at(index) == u'@' && m_depth < MaxDepth) {
                DepthGuard guard(m_depth);
                document->addAtRule(parseAtRuleAtIndex(index, max, text, errors));
            } else {
                document->addRuleSet(parseRuleSetAtIndex(index, max, text, errors));
            }
        }
        rule->setSubDocument(std::move(document));
        m_inStyleRule = wasInStyleRule;
    } else if (type == KELCSSAtRuleDefinition::PageLike) {
        ++index;
        rule->setDeclarationBlock(std::make_unique<KELParsedCSSDeclarationBlock>());
        while (index < max) {
            skipWhiteSpaceAndCommentsAtIndex(index, max, text, errors);
            if (index >= max)
                break;
            if (text.at(index) == u'}') {
                ++index;
                break;
            }
            if (auto nested = parseAtRuleAtIndex(index, max, text, errors, true))
                rule->addAtRule(std::move(nested));
            else if (auto declaration = parseDeclarationAtIndex(index, max, text, errors))
                rule->declarationBlock()->addDeclaration(std::move(declaration));
        }
    } else if (type == KELCSSAtRuleDefinition::Keyframes) {
        parseKeyframeBlocks(rule.get(), start, index, max, text, errors);
    } else {
        rule->addSubvalue(parseGenericBlockAtIndex(index, max, text, errors));
    }
    rule->setTextRange(kit::Range(start, index - start));
    return rule;
}

void KELSyntaxCheckTypeCSS::parseKeyframeBlocks(KELParsedCSSAtRule* rule, qsizetype start, qsizetype& index, qsizetype max, const QString& text, Errors* errors)
{
    ++index; // "{"
    while (true) {
        skipWhiteSpaceAndCommentsAtIndex(index, max, text, errors);
        if (index >= max) {
            report(errors, QStringLiteral("At-Rule Error"), QStringLiteral("Expected a '}' character to close at-rule."), kit::Range(start, index - start));
            return;
        }
        if (text.at(index) == u'}') {
            ++index;
            return;
        }
        auto block = std::make_unique<KELParsedCSSAtRule>();
        block->setKeyframeBlock(true);
        const qsizetype blockStart = index;
        while (index < max && text.at(index) != u'{' && text.at(index) != u'}') {
            Value token = parseAnyValueAtIndex(index, max, text, errors);
            if (!isDelimiterToken(token.get(), QLatin1Char(';')))
                block->addSubvalue(std::move(token));
            skipWhiteSpaceAndCommentsAtIndex(index, max, text, errors);
        }
        if (index < max && text.at(index) == u'{')
            block->setDeclarationBlock(parseDeclarationBlockAtIndex(index, max, text, errors, true));
        block->setTextRange(kit::Range(blockStart, index - blockStart));
        rule->addAtRule(std::move(block));
    }
}

// ---- rule sets and selectors ----

std::unique_ptr<KELParsedCSSRuleSet> KELSyntaxCheckTypeCSS::parseRuleSetAtIndex(qsizetype& index, qsizetype max, const QString& text, Errors* errors)
{
    auto set = std::make_unique<KELParsedCSSRuleSet>();
    const qsizetype start = index;
    for (auto& selector : parseSelectorGroupAtIndex(index, max, text, errors))
        set->addSelector(std::move(selector));
    set->setDeclarationBlock(parseDeclarationBlockAtIndex(index, max, text, errors, true));
    set->setTextRange(kit::Range(start, index - start));
    return set;
}

std::vector<std::unique_ptr<KELParsedCSSSelector>> KELSyntaxCheckTypeCSS::parseSelectorGroupAtIndex(qsizetype& index, qsizetype max, const QString& text,
    Errors* errors)
{
    std::vector<std::unique_ptr<KELParsedCSSSelector>> group;
    skipWhiteSpaceAndCommentsAtIndex(index, max, text, errors);
    bool lastValid = true;
    while (index < max) {
        // A nested rule's selector may begin with a combinator ("> a", "+ p").
        if (m_inStyleRule) {
            skipWhiteSpaceAndCommentsAtIndex(index, max, text, errors);
            if (index < max && (text.at(index) == u'>' || text.at(index) == u'+' || text.at(index) == u'~')) {
                ++index;
                skipWhiteSpaceAndCommentsAtIndex(index, max, text, errors);
            }
        }
        auto selector = parseSelectorAtIndex(index, max, text, errors);
        lastValid = selector->valid();
        group.push_back(std::move(selector));
        if (!lastValid)
            break;
        skipWhiteSpaceAndCommentsAtIndex(index, max, text, errors);
        if (index >= max || text.at(index) != u',')
            break;
        ++index;
    }
    if (index < max && lastValid && text.at(index) != u'{')
        report(errors, QStringLiteral("Selector Group Error"), QStringLiteral("Expected beginning of declaration block with \"{\" after selector group."),
            kit::Range(index, 1));
    while (true) {
        skipWhiteSpaceAndCommentsAtIndex(index, max, text, errors);
        if (index >= max || text.at(index) == u'{')
            break;
        parseAnyValueAtIndex(index, max, text, errors);
    }
    return group;
}

std::unique_ptr<KELParsedCSSSelector> KELSyntaxCheckTypeCSS::parseSelectorAtIndex(qsizetype& index, qsizetype max, const QString& text, Errors* errors)
{
    auto selector = std::make_unique<KELParsedCSSSelector>();
    bool combinatorSeen = true;
    while (index < max) {
        auto sequence = parseSimpleSelectorSequenceAtIndex(index, max, text, errors);
        if (!sequence)
            break;
        const bool valid = sequence->valid();
        selector->addSequence(std::move(sequence));
        if (!valid) {
            selector->setValid(false);
            break;
        }
        const qsizetype before = index;
        skipWhiteSpaceAndCommentsAtIndex(index, max, text, errors);
        const bool skipped = index > before;
        combinatorSeen = index < max && parseCombinatorAtIndex(index, max, text, errors);
        if (!skipped && !combinatorSeen)
            break;
    }
    if (selector->valid() && combinatorSeen) {
        report(errors, QStringLiteral("Selector Error"), QStringLiteral("Expected the beginning of a simple selector sequence."), kit::Range(index, 0));
        selector->setValid(false);
    }
    if (selector->valid()) {
        const auto& sequences = selector->sequences();
        for (qsizetype s = 0; s < sequences.size(); ++s) {
            const auto& simple = sequences.at(s)->simpleSelectors();
            for (qsizetype k = 0; k < simple.size(); ++k) {
                const bool last = s == sequences.size() - 1 && (k == simple.size() - 1 || onlyUserActionsFollow(simple, k));
                if (simple.at(k)->type() == KELParsedCSSSimpleSelector::PseudoElement && !last)
                    report(errors, QStringLiteral("Selector Error"),
                        QStringLiteral("A pseudo-element can appear only at the end of the last sequence of simple selectors in a selector."),
                        simple.at(k)->textRange());
            }
        }
    }
    return selector;
}

bool KELSyntaxCheckTypeCSS::parseCombinatorAtIndex(qsizetype& index, qsizetype max, const QString& text, Errors* errors)
{
    const qsizetype start = index;
    skipWhiteSpaceAndCommentsAtIndex(index, max, text, errors);
    if (index < max && (text.at(index) == u'+' || text.at(index) == u'>' || text.at(index) == u'~'))
        ++index;
    return index > start;
}

std::unique_ptr<KELParsedCSSSelectorSequence> KELSyntaxCheckTypeCSS::parseSimpleSelectorSequenceAtIndex(qsizetype& index, qsizetype max,
    const QString& text, Errors* errors)
{
    skipWhiteSpaceAndCommentsAtIndex(index, max, text, errors);
    auto sequence = std::make_unique<KELParsedCSSSelectorSequence>();
    if (index < max) {
        if (auto type = parseTypeOrUniversalSelectorAtIndex(index, max, text, errors)) {
            if (!type->valid())
                sequence->setValid(false);
            sequence->addSimpleSelector(std::move(type));
        }
    }
    // After a vendor's own pseudo-element, the pseudo-classes are the vendor's too
    // ("::-webkit-scrollbar-thumb:horizontal"): its one warning covers them.
    const bool wasAfterVendorElement = m_afterVendorPseudoElement;
    m_afterVendorPseudoElement = false;
    while (sequence->valid() && index < max) {
        auto simple = parseSimpleSelectorAtIndex(index, max, text, errors, false);
        if (!simple)
            break;
        if (simple->type() == KELParsedCSSSimpleSelector::PseudoElement && !KELCSSSpec::vendorPrefix(simple->name()).isEmpty())
            m_afterVendorPseudoElement = true;
        const bool valid = simple->valid();
        sequence->addSimpleSelector(std::move(simple));
        if (!valid)
            sequence->setValid(false);
    }
    m_afterVendorPseudoElement = wasAfterVendorElement;
    if (sequence->simpleSelectors().isEmpty())
        return nullptr;
    return sequence;
}

std::unique_ptr<KELParsedCSSSimpleSelector> KELSyntaxCheckTypeCSS::parseSimpleSelectorAtIndex(qsizetype& index, qsizetype max, const QString& text,
    Errors* errors, bool allowTypeOrUniversal)
{
    if (allowTypeOrUniversal)
        if (auto s = parseTypeOrUniversalSelectorAtIndex(index, max, text, errors))
            return s;
    if (auto s = parseAttributeSelectorAtIndex(index, max, text, errors))
        return s;
    if (auto s = parseClassSelectorAtIndex(index, max, text, errors))
        return s;
    if (auto s = parseIdSelectorAtIndex(index, max, text, errors))
        return s;
    if (auto s = parsePseudoElementAtIndex(index, max, text, errors))
        return s;
    return parsePseudoClassSelectorAtIndex(index, max, text, errors);
}

std::unique_ptr<KELParsedCSSSimpleSelector> KELSyntaxCheckTypeCSS::parseTypeOrUniversalSelectorAtIndex(qsizetype& index, qsizetype max,
    const QString& text, Errors* errors)
{
    qsizetype i = index;
    Value token = parseAnyValueAtIndex(i, max, text, nullptr);
    qint32 type = KELParsedCSSSimpleSelector::TypeSelector;
    if (token && (token->type() == KELParsedCSSValue::Identifier || isDelimiterToken(token.get(), QLatin1Char('*')))) {
        index = i;
        qsizetype j = index;
        Value bar = index < max ? parseAnyValueAtIndex(j, max, text, nullptr) : nullptr;
        if (!isDelimiterToken(bar.get(), QLatin1Char('|')))
            return KELParsedCSSSimpleSelector::simpleSelectorWithType(type);
        index = j;
    } else if (isDelimiterToken(token.get(), QLatin1Char('|'))) {
        index = i;
    } else if (isDelimiterToken(token.get(), QLatin1Char('&'))) {
        // The nesting selector: the elements of the enclosing rule.
        index = i;
        auto nesting = KELParsedCSSSimpleSelector::simpleSelectorWithType(type);
        nesting->setName(QStringLiteral("&"));
        return nesting;
    } else {
        return nullptr;
    }
    auto selector = KELParsedCSSSimpleSelector::simpleSelectorWithType(KELParsedCSSSimpleSelector::NamespacedTypeSelector);
    qsizetype j = index;
    Value name = index < max ? parseAnyValueAtIndex(j, max, text, nullptr) : nullptr;
    if (name && (name->type() == KELParsedCSSValue::Identifier || isDelimiterToken(name.get(), QLatin1Char('*')))) {
        index = j;
    } else {
        report(errors, QStringLiteral("Separator Error"), QStringLiteral("Expected a name or asterisk after the separator \"|\"."), kit::Range(index, 0));
        selector->setValid(false);
    }
    return selector;
}

std::unique_ptr<KELParsedCSSSimpleSelector> KELSyntaxCheckTypeCSS::parseAttributeSelectorAtIndex(qsizetype& index, qsizetype max,
    const QString& text, Errors* errors)
{
    if (index >= max || text.at(index) != u'[')
        return nullptr;
    const qsizetype start = index;
    ++index;
    auto selector = KELParsedCSSSimpleSelector::simpleSelectorWithType(KELParsedCSSSimpleSelector::Attribute);
    const QString title = QStringLiteral("Attribute Selector Error");
    int state = 0;
    bool reported = false;
    auto fail = [&](const QString& message, kit::Range range) {
        if (!reported)
            report(errors, title, message, range);
        reported = true;
        selector->setValid(false);
    };
    skipWhiteSpaceAndCommentsAtIndex(index, max, text, errors);
    while (true) {
        // Left unclosed, the selector ends where the declaration block begins.
        if (index >= max || text.at(index) == u'{') {
            report(errors, title, QStringLiteral("The attribute selector is not closed with \"]\"."), kit::Range(start, index - start));
            selector->setValid(false);
            break;
        }
        const qsizetype tokenStart = index;
        Value token = parseAnyValueAtIndex(index, max, text, errors);
        const kit::Range range = token->textRange();
        if (isDelimiterToken(token.get(), QLatin1Char(']'))) {
            if (!reported) {
                if (state == 0 || state == 1)
                    fail(QStringLiteral("Expected an attribute identifier."), range);
                else if (state == 3)
                    fail(QStringLiteral("Expected an attribute value identifier or string."), range);
            }
            break;
        }
        if (!reported) {
            switch (state) {
            case 0:
                if (isDelimiterToken(token.get(), QLatin1Char('|'))) {
                    state = 1;
                } else if (isDelimiterToken(token.get(), QLatin1Char('*'))) {
                    if (index < max && text.at(index) == u'|') {
                        ++index;
                        state = 1;
                    } else {
                        fail(QStringLiteral("Expected a '|' and an attribute identifier after namespace wildcard."), range);
                    }
                } else if (token->type() == KELParsedCSSValue::Identifier) {
                    state = 2;
                    if (index + 1 < max && text.at(index) == u'|') {
                        qsizetype j = index + 1;
                        if (parseIdentifierCharAtIndex(j, max, text, nullptr)) {
                            ++index;
                            state = 1;
                        }
                    }
                } else {
                    fail(QStringLiteral("Expected an attribute identifier."), range);
                }
                break;
            case 1:
                if (token->type() == KELParsedCSSValue::Identifier)
                    state = 2;
                else
                    fail(QStringLiteral("Expected an attribute identifier."), range);
                break;
            case 2:
                if (token->type() == KELParsedCSSValue::Delimiter && m_attributeOperators.contains(token->name())) {
                    state = 3;
                } else if (token->type() == KELParsedCSSValue::Delimiter && tokenStart + 2 <= max) {
                    const QString pair = text.mid(tokenStart, 2);
                    index = tokenStart + 2;
                    if (m_attributeOperators.contains(pair)) {
                        state = 3;
                    } else {
                        QStringList ops(m_attributeOperators.begin(), m_attributeOperators.end());
                        fail(QStringLiteral("Expected one of the following attribute selector operators: %1.").arg(sortedJoined(ops, QStringLiteral(", "))),
                            range);
                    }
                } else {
                    QStringList ops(m_attributeOperators.begin(), m_attributeOperators.end());
                    fail(QStringLiteral("Expected one of the following attribute selector operators: %1.").arg(sortedJoined(ops, QStringLiteral(", "))),
                        range);
                }
                break;
            case 3:
                if (token->type() == KELParsedCSSValue::Identifier || token->type() == KELParsedCSSValue::String)
                    state = 4;
                else
                    fail(QStringLiteral("Expected an attribute value identifier or string."), range);
                break;
            default:
                // An "i" or "s" flag after the value asks for case-(in)sensitive matching.
                if (state == 4 && token->type() == KELParsedCSSValue::Identifier
                    && (token->name().compare(QLatin1String("i"), Qt::CaseInsensitive) == 0 || token->name().compare(QLatin1String("s"), Qt::CaseInsensitive) == 0)) {
                    state = 5;
                    break;
                }
                fail(QStringLiteral("Expected the attribute selector to be closed with \"]\"."), range);
                break;
            }
        }
        skipWhiteSpaceAndCommentsAtIndex(index, max, text, errors);
    }
    selector->setTextRange(kit::Range(start, index - start));
    return selector;
}

std::unique_ptr<KELParsedCSSSimpleSelector> KELSyntaxCheckTypeCSS::parseNamedSelector(qsizetype& index, qsizetype max, const QString& text,
    Errors* errors, qint32 type, const QString& title, const QString& message)
{
    const qsizetype start = index;
    const qsizetype introducer = type == KELParsedCSSSimpleSelector::PseudoElement ? 2 : 1;
    index += introducer;
    auto selector = KELParsedCSSSimpleSelector::simpleSelectorWithType(type);
    qsizetype i = index;
    // Only the pseudo-class name is read with errors; the others are read as plain tokens.
    Value name = i < max ? parseIdentifierAtIndex(i, max, text, type == KELParsedCSSSimpleSelector::PseudoClass ? errors : nullptr) : nullptr;
    if (!name) {
        kit::Range range(index, 0);
        if (index < max) {
            qsizetype j = index;
            if (Value other = parseAnyValueAtIndex(j, max, text, nullptr))
                range = other->textRange();
        }
        report(errors, title, message, range);
        selector->setValid(false);
        selector->setTextRange(kit::Range(start, index - start));
        return selector;
    }
    index = i;
    selector->setName(name->name());
    selector->setTextRange(kit::Range(start, index - start));
    return selector;
}

std::unique_ptr<KELParsedCSSSimpleSelector> KELSyntaxCheckTypeCSS::parseClassSelectorAtIndex(qsizetype& index, qsizetype max, const QString& text,
    Errors* errors)
{
    if (index >= max || text.at(index) != u'.')
        return nullptr;
    return parseNamedSelector(index, max, text, errors, KELParsedCSSSimpleSelector::Class, QStringLiteral("Class Selector Error"),
        QStringLiteral("Expected a class identifier."));
}

std::unique_ptr<KELParsedCSSSimpleSelector> KELSyntaxCheckTypeCSS::parseIdSelectorAtIndex(qsizetype& index, qsizetype max, const QString& text,
    Errors* errors)
{
    if (index >= max || text.at(index) != u'#')
        return nullptr;
    return parseNamedSelector(index, max, text, errors, KELParsedCSSSimpleSelector::ID, QStringLiteral("ID Selector Error"),
        QStringLiteral("Expected an identifier."));
}

std::unique_ptr<KELParsedCSSSimpleSelector> KELSyntaxCheckTypeCSS::parsePseudoElementAtIndex(qsizetype& index, qsizetype max, const QString& text,
    Errors* errors)
{
    if (index + 1 >= max || text.at(index) != u':' || text.at(index + 1) != u':')
        return nullptr;
    const qsizetype start = index;
    auto selector = parseNamedSelector(index, max, text, errors, KELParsedCSSSimpleSelector::PseudoElement, QStringLiteral("Pseudo-Element Error"),
        QStringLiteral("Expected a psuedo-element name identifier."));
    if (!selector->valid())
        return selector;
    const KELCSSPseudoElementDefinition* def = KELCSSSpec::sharedInstance().pseudoElementDefinitionForName(selector->name());
    if (index < max && text.at(index) == u'(') {
        // "::part(label)", "::slotted(p)", and the arguments of vendors' own pseudo-elements.
        const qsizetype open = index;
        ++index;
        selector->setHasArgument(true);
        bool closed = false;
        if (def && def->argument() == KELCSSPseudoElementDefinition::Selectors && m_depth < MaxDepth) {
            DepthGuard guard(m_depth);
            closed = parseSelectorListArgument(index, max, text, errors, selector.get(), false);
        } else {
            while (index < max) {
                skipWhiteSpaceAndCommentsAtIndex(index, max, text, errors);
                if (index >= max)
                    break;
                Value token = parseAnyValueAtIndex(index, max, text, errors);
                if (isDelimiterToken(token.get(), QLatin1Char(')'))) {
                    closed = true;
                    break;
                }
                if (isDelimiterToken(token.get(), QLatin1Char('{'))) {
                    index = token->textRange().location;
                    break;
                }
                selector->addSubvalue(std::move(token));
            }
        }
        if (!closed) {
            report(errors, QStringLiteral("Pseudo-Element Error"), QStringLiteral("Pseudo-Element Parentheses are not closed."), kit::Range(open, index - open));
            selector->setValid(false);
        }
    }
    selector->setTextRange(kit::Range(start, index - start));
    if (def) {
        if (errors)
            errors->append(def->validateSimpleSelector(selector.get()));
    } else {
        reportUnknownPseudo(errors, selector.get(), QStringLiteral("pseudo-element"), QStringLiteral("Pseudo-Element Error"),
            QStringLiteral("Pseudo-Element name \"%1\" is not recognized as a valid name.").arg(selector->name()));
    }
    return selector;
}

void KELSyntaxCheckTypeCSS::reportUnknownPseudo(Errors* errors, const KELParsedCSSSimpleSelector* selector, const QString& kind, const QString& title,
    const QString& message)
{
    const QString prefix = KELCSSSpec::vendorPrefix(selector->name());
    if (m_afterVendorPseudoElement && selector->type() == KELParsedCSSSimpleSelector::PseudoClass)
        return;
    if (prefix.isEmpty()) {
        report(errors, title, message, selector->textRange());
    } else if (errors) {
        if (auto warning = KELCSSSpec::vendorWarning(selector->name(), kind, prefix, selector->textRange(), m_userInfo))
            errors->append(*warning);
    }
}

bool KELSyntaxCheckTypeCSS::parseSelectorListArgument(qsizetype& index, qsizetype max, const QString& text, Errors* errors,
    KELParsedCSSSimpleSelector* owner, bool relative)
{
    const QString title = QStringLiteral("Pseudo-Class Selector Error");
    while (true) {
        skipWhiteSpaceAndCommentsAtIndex(index, max, text, errors);
        if (index >= max)
            return false;
        if (text.at(index) == u')') {
            ++index;
            return true;
        }
        if (relative && (text.at(index) == u'>' || text.at(index) == u'+' || text.at(index) == u'~')) {
            ++index;
            skipWhiteSpaceAndCommentsAtIndex(index, max, text, errors);
        }
        auto selector = parseSelectorAtIndex(index, max, text, errors);
        const bool valid = selector->valid() && !selector->sequences().isEmpty();
        if (!selector->valid())
            owner->setValid(false);
        if (!selector->sequences().isEmpty())
            owner->addSelector(std::move(selector));
        skipWhiteSpaceAndCommentsAtIndex(index, max, text, errors);
        if (index < max && text.at(index) == u',') {
            ++index;
            continue;
        }
        if (index < max && text.at(index) == u')') {
            ++index;
            return true;
        }
        if (valid && index < max && text.at(index) != u'{')
            report(errors, title, QStringLiteral("Expected closing parentheses \")\"."), kit::Range(index, 1));
        owner->setValid(false);
        // Resynchronise at the ")" (or at the "{" of the block, left for the rule set).
        while (index < max && text.at(index) != u'{') {
            skipWhiteSpaceAndCommentsAtIndex(index, max, text, errors);
            if (index >= max || text.at(index) == u'{')
                break;
            Value token = parseAnyValueAtIndex(index, max, text, nullptr);
            if (isDelimiterToken(token.get(), QLatin1Char(')')))
                return true;
        }
        return false;
    }
}

std::unique_ptr<KELParsedCSSSimpleSelector> KELSyntaxCheckTypeCSS::parsePseudoClassSelectorAtIndex(qsizetype& index, qsizetype max,
    const QString& text, Errors* errors)
{
    if (index >= max || text.at(index) != u':')
        return nullptr;
    const qsizetype start = index;
    const QString title = QStringLiteral("Pseudo-Class Selector Error");
    auto selector = parseNamedSelector(index, max, text, errors, KELParsedCSSSimpleSelector::PseudoClass, title,
        QStringLiteral("Expected a psuedo-class name identifier."));
    if (!selector->valid())
        return selector;
    const KELCSSSpec& grammar = KELCSSSpec::sharedInstance();
    const KELCSSPseudoClassDefinition* pseudoClass = grammar.pseudoClassDefinitionForName(selector->name());
    if (index < max && text.at(index) == u'(') {
        const qsizetype open = index;
        ++index;
        selector->setHasArgument(true);
        bool closed = false;
        if (pseudoClass && pseudoClass->takesSelectors()) {
            // Selector lists and complex selectors, as today's :not(), :is(), :where() and :has() take them.
            if (m_depth < MaxDepth) {
                DepthGuard guard(m_depth);
                closed = parseSelectorListArgument(index, max, text, errors, selector.get(),
                    pseudoClass->type() == KELCSSPseudoClassDefinition::RelativeSelectorList);
            }
            const auto& list = selector->selectorList();
            if (pseudoClass->type() == KELCSSPseudoClassDefinition::Negation && list.size() == 1 && list.front()->sequences().size() == 1
                && list.front()->sequences().front()->simpleSelectors().size() == 1) {
                // The one simple selector a plain negation holds stays its subselector.
                auto copy = KELParsedCSSSimpleSelector::simpleSelectorWithType(list.front()->sequences().front()->simpleSelectors().front()->type());
                const KELParsedCSSSimpleSelector* only = list.front()->sequences().front()->simpleSelectors().front();
                copy->setName(only->name());
                copy->setTextRange(only->textRange());
                selector->setSubselector(std::move(copy));
            }
        } else {
            while (index < max) {
                const QChar c = text.at(index);
                Value token;
                if (c == u'+' || c == u'-')
                    token = parseDelimiterAtIndex(index, max, text, errors);
                else if (c.isDigit())
                    token = parseNumberAtIndex(index, max, text, errors);
                else if (c == u'n' || c == u'N') {
                    token = KELParsedCSSValue::valueWithType(KELParsedCSSValue::Identifier);
                    token->setName(QString(c));
                    token->setTextRange(kit::Range(index, 1));
                    ++index;
                } else {
                    token = parseAnyValueAtIndex(index, max, text, errors);
                }
                if (!token) {
                    token = parseDelimiterAtIndex(index, max, text, errors);
                    if (!token)
                        ++index;
                }
                if (isDelimiterToken(token.get(), QLatin1Char(')'))) {
                    closed = true;
                    break;
                }
                // ":nth-child(2n+1 of .item)": the selectors that count.
                if (pseudoClass && pseudoClass->type() == KELCSSPseudoClassDefinition::Nth && token && token->type() == KELParsedCSSValue::Identifier
                    && token->name().compare(QLatin1String("of"), Qt::CaseInsensitive) == 0 && m_depth < MaxDepth) {
                    DepthGuard guard(m_depth);
                    closed = parseSelectorListArgument(index, max, text, errors, selector.get(), false);
                    break;
                }
                selector->addSubvalue(std::move(token));
            }
        }
        if (!closed) {
            report(errors, title, QStringLiteral("Pseudo-Class Parentheses are not closed."), kit::Range(open, index - open));
            selector->setValid(false);
        }
    }
    selector->setTextRange(kit::Range(start, index - start));
    if (!selector->valid())
        return selector;
    const KELCSSPseudoElementDefinition* pseudoElement = grammar.pseudoElementDefinitionForName(selector->name());
    if (pseudoClass) {
        if (errors)
            errors->append(pseudoClass->validateSimpleSelector(selector.get()));
    } else if (!pseudoElement) {
        reportUnknownPseudo(errors, selector.get(), QStringLiteral("pseudo-class"), title,
            QStringLiteral("Pseudo-Class name \"%1\" is not recognized as a valid name.").arg(selector->name()));
    }
    return selector;
}

// ---- declarations ----

std::unique_ptr<KELParsedCSSDeclarationBlock> KELSyntaxCheckTypeCSS::parseDeclarationBlockAtIndex(qsizetype& index, qsizetype max,
    const QString& text, Errors* errors, bool includeBraces)
{
    const qsizetype start = index;
    if (includeBraces) {
        if (index >= max || text.at(index) != u'{') {
            report(errors, QStringLiteral("Declaration Block Error"), QStringLiteral("The declaration block should be opened with a '{' character."),
                kit::Range(index, 0));
            return nullptr;
        }
        ++index;
    }
    auto block = std::make_unique<KELParsedCSSDeclarationBlock>();
    while (index < max) {
        const QChar c = text.at(index);
        if (c.isSpace()) {
            ++index;
        } else if (includeBraces && c == u'}') {
            ++index;
            return block;
        } else if (parseCommentAtIndex(index, max, text, errors)) {
            continue;
        } else if (includeBraces && m_depth < MaxDepth && startsNestedRule(index, max, text)) {
            // Nested style rules and conditional rules ("&:hover { }", "@media (x) { }").
            DepthGuard guard(m_depth);
            const bool wasInStyleRule = m_inStyleRule;
            m_inStyleRule = true;
            const qsizetype before = index;
            if (c == u'@')
                block->ensureNestedRules().addAtRule(parseAtRuleAtIndex(index, max, text, errors));
            else
                block->ensureNestedRules().addRuleSet(parseRuleSetAtIndex(index, max, text, errors));
            m_inStyleRule = wasInStyleRule;
            if (index == before)
                ++index;
        } else if (auto declaration = parseDeclarationAtIndex(index, max, text, errors)) {
            block->addDeclaration(std::move(declaration));
        }
    }
    if (includeBraces)
        report(errors, QStringLiteral("Declaration Block Error"), QStringLiteral("The declaration block should be closed with a '}' character."),
            kit::Range(start, index - start));
    return block;
}

std::unique_ptr<KELParsedCSSDeclaration> KELSyntaxCheckTypeCSS::parseDeclarationAtIndex(qsizetype& index, qsizetype max, const QString& text,
    Errors* errors)
{
    const qsizetype start = index;
    Value name = parseAnyValueAtIndex(index, max, text, errors);
    if (!name || isDelimiterToken(name.get(), QLatin1Char(';')))
        return nullptr;
    if (name->type() != KELParsedCSSValue::Identifier) {
        report(errors, QStringLiteral("Declaration Error"), QStringLiteral("Expected a property name for declaration."), kit::Range(start, index - start));
        return nullptr;
    }
    auto declaration = std::make_unique<KELParsedCSSDeclaration>();
    declaration->setPropertyName(name->name());
    skipWhiteSpaceAndCommentsAtIndex(index, max, text, errors);
    if (index < max && text.at(index) == u':')
        ++index;
    else
        report(errors, QStringLiteral("Declaration Error"), QStringLiteral("\":\" was expected after the property name."), kit::Range(start, index - start));
    const KELParsedCSSValue* lastValue = nullptr;
    while (index < max) {
        const QChar c = text.at(index);
        if (c.isSpace()) {
            ++index;
            continue;
        }
        if (c == u';') {
            ++index;
            break;
        }
        if (c == u'}')
            break;
        if (c == u':' && lastValue && lastValue->type() == KELParsedCSSValue::Identifier) {
            const qsizetype identifierStart = lastValue->textRange().location;
            report(errors, QStringLiteral("Declaration Error"), QStringLiteral("A semicolon \";\" should appear between declarations."),
                kit::Range(identifierStart, index - identifierStart));
            if (identifierStart > start)
                index = identifierStart;
            break;
        }
        if (parseCommentAtIndex(index, max, text, errors))
            continue;
        Value value = parseAnyValueAtIndex(index, max, text, errors);
        lastValue = value.get();
        declaration->addPropertyValue(std::move(value));
    }
    declaration->setTextRange(kit::Range(start, index - start));
    return declaration;
}

// ---- tokens ----

std::unique_ptr<KELParsedCSSValue> KELSyntaxCheckTypeCSS::parseAnyValueAtIndex(qsizetype& index, qsizetype max, const QString& text, Errors* errors,
    bool allowURLToken)
{
    if (index >= max)
        return nullptr;
    return parseLongestValueAtIndex(index, max, text, errors, false, allowURLToken);
}

std::unique_ptr<KELParsedCSSValue> KELSyntaxCheckTypeCSS::parseLongestValueAtIndex(qsizetype& index, qsizetype max, const QString& text,
    Errors* errors, bool inCalc, bool allowURLToken)
{
    // Every reader tries from the same start; the longest reading wins.
    const qsizetype start = index;
    Value best;
    qsizetype bestEnd = start;
    auto consider = [&](Value candidate, qsizetype end, qint32 type) {
        if (candidate && end > bestEnd) {
            candidate->setType(type);
            best = std::move(candidate);
            bestEnd = end;
        }
    };
    qsizetype i;
    { i = start; Value v = parseIdentifierAtIndex(i, max, text, nullptr); consider(std::move(v), i, KELParsedCSSValue::Identifier); }
    // A function is a name and "("; the name was just read.
    const bool functionMayStart = best && bestEnd < max && text.at(bestEnd) == u'(';
    // A dimension or a percentage is longer than its number alone, and no name
    // starts where a number does: the first of them that reads is the longest.
    if (numberEnd(start, max, text) >= 0) {
        i = start;
        Value v = parseDimensionAtIndex(i, max, text, errors, inCalc);
        qint32 type = KELParsedCSSValue::Dimension;
        if (!v) {
            i = start;
            v = parsePercentageAtIndex(i, max, text, errors);
            type = KELParsedCSSValue::Percentage;
        }
        if (!v) {
            i = start;
            v = parseNumberAtIndex(i, max, text, errors);
            type = KELParsedCSSValue::Number;
        }
        consider(std::move(v), i, type);
    }
    { i = start; Value v = parseStringAtIndex(i, max, text, errors); consider(std::move(v), i, KELParsedCSSValue::String); }
    if (!inCalc)
        { i = start; Value v = parseURIAtIndex(i, max, text, errors); consider(std::move(v), i, KELParsedCSSValue::URI); }
    { i = start; Value v = parseHashAtIndex(i, max, text, errors); consider(std::move(v), i, KELParsedCSSValue::Hash); }
    { i = start; Value v = parseUnicodeRangeAtIndex(i, max, text, errors); consider(std::move(v), i, KELParsedCSSValue::UnicodeRange); }
    // Functions, inside calc() too: var(), env() and further math functions.
    if (functionMayStart)
        { i = start; Value v = parseFunctionAtIndex(i, max, text, errors); consider(std::move(v), i, KELParsedCSSValue::Function); }
    if (!best)
        { i = start; Value v = parseDelimiterAtIndex(i, max, text, errors); consider(std::move(v), i, KELParsedCSSValue::Delimiter); }
    if (allowURLToken)
        { i = start; Value v = parseURLTokenAtIndex(i, max, text, nullptr); consider(std::move(v), i, KELParsedCSSValue::URLToken); }
    if (!best) {
        // A lone quotation mark that no reader took: keep moving.
        best = KELParsedCSSValue::valueWithType(KELParsedCSSValue::Delimiter);
        best->setName(oneCharacter(text, start));
        best->setTextRange(kit::Range(start, 1));
        bestEnd = start + 1;
    }
    index = bestEnd;
    return best;
}

std::optional<QString> KELSyntaxCheckTypeCSS::parseEscapedCharAtIndex(qsizetype& index, qsizetype max, const QString& text, Errors*, bool asWritten)
{
    if (index >= max || text.at(index) != u'\\')
        return std::nullopt;
    const qsizetype start = index;
    ++index;
    if (index >= max)
        return QString();
    if (isHexChar(text.at(index))) {
        qsizetype end = index;
        while (end < max && end - index < 6 && isHexChar(text.at(end)) && text.at(end) != QChar(0))
            ++end;
        const uint code = text.mid(index, end - index).toUInt(nullptr, 16);
        index = end;
        QString result;
        if (asWritten || code >= 128)
            result = text.mid(start, end - start);
        else
            result = QChar(char16_t(code));
        if (index + 1 < max && text.at(index) == u'\r' && text.at(index + 1) == u'\n')
            index += 2;
        else if (index < max && text.at(index).isSpace())
            ++index;
        return result;
    }
    const QString c = text.mid(index, 1);
    ++index;
    return asWritten ? QStringLiteral("\\") + c : c;
}

std::optional<QString> KELSyntaxCheckTypeCSS::parseIdentifierCharAtIndex(qsizetype& index, qsizetype max, const QString& text, Errors* errors)
{
    if (index >= max)
        return std::nullopt;
    const QChar c = text.at(index);
    if (c == u'\\')
        return parseEscapedCharAtIndex(index, max, text, errors);
    if ((c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') || (c >= u'0' && c <= u'9') || c == u'-' || c == u'_') {
        ++index;
        return QString(c);
    }
    if (c.unicode() < 128)
        return std::nullopt;
    // One Unicode scalar value of U+00A0 or above, not followed by a combining mark.
    qsizetype end = index + 1;
    char32_t code = c.unicode();
    if (c.isHighSurrogate() && end < max && text.at(end).isLowSurrogate()) {
        code = QChar::surrogateToUcs4(c, text.at(end));
        ++end;
    } else if (c.isSurrogate()) {
        return std::nullopt;
    }
    if (code < 0xA0 || (end < max && text.at(end).isMark()))
        return std::nullopt;
    const QString result = text.mid(index, end - index);
    index = end;
    return result;
}

bool KELSyntaxCheckTypeCSS::readIdentifierName(qsizetype& index, qsizetype max, const QString& text, Errors* errors, QString& name)
{
    if (index >= max)
        return false;
    const qsizetype start = index;
    const QChar first = text.at(start);
    const QString title = QStringLiteral("Invalid Identifier");
    if (first.isDigit() && first.unicode() < 128) {
        report(errors, title, QStringLiteral("A CSS identifier cannot start with a digit."), kit::Range(start, 1));
        return false;
    }
    if (first == u'-' && start + 1 < max) {
        const QChar second = text.at(start + 1);
        // "--name" is a custom property or custom identifier; a bare "--" is not.
        const bool customName = second == u'-' && start + 2 < max && [&] {
            qsizetype j = start + 2;
            return bool(parseIdentifierCharAtIndex(j, max, text, nullptr));
        }();
        if ((second == u'-' && !customName) || (second.isDigit() && second.unicode() < 128)) {
            report(errors, title, QStringLiteral("A CSS identifier cannot start with two hyphens or a hyphen followed by a digit."), kit::Range(start, 1));
            return false;
        }
    }
    // Plain ASCII names are taken from the text in one piece; escapes and other
    // characters are decoded one by one from where they begin.
    while (index < max && isPlainIdentifierChar(text.at(index)))
        ++index;
    if (index < max && (text.at(index) == u'\\' || text.at(index).unicode() >= 128)) {
        name = text.mid(start, index - start);
        while (auto c = parseIdentifierCharAtIndex(index, max, text, errors))
            name += *c;
    } else if (index > start) {
        name = nameFromText(text, start, index - start);
    }
    if (index == start) {
        if (errors)
            report(errors, title, QStringLiteral("A CSS identifier cannot start with \"%1\".").arg(first), kit::Range(start, 1));
        return false;
    }
    if (index - start == 1 && first == u'-') {
        report(errors, title, QStringLiteral("A CSS identifier be only a single hyphen."), kit::Range(start, 1));
        index = start;
        return false;
    }
    return true;
}

std::unique_ptr<KELParsedCSSValue> KELSyntaxCheckTypeCSS::parseIdentifierAtIndex(qsizetype& index, qsizetype max, const QString& text, Errors* errors)
{
    const qsizetype start = index;
    QString name;
    if (!readIdentifierName(index, max, text, errors, name))
        return nullptr;
    auto token = KELParsedCSSValue::valueWithType(KELParsedCSSValue::Identifier);
    token->setName(name);
    token->setTextRange(kit::Range(start, index - start));
    return token;
}

std::unique_ptr<KELParsedCSSValue> KELSyntaxCheckTypeCSS::parseNumberAtIndex(qsizetype& index, qsizetype max, const QString& text, Errors*)
{
    const qsizetype start = index;
    const qsizetype end = numberEnd(start, max, text);
    if (end < 0)
        return nullptr;
    auto token = KELParsedCSSValue::valueWithType(KELParsedCSSValue::Number);
    token->setName(nameFromText(text, start, end - start));
    token->setValue(token->name().toFloat());
    token->setTextRange(kit::Range(start, end - start));
    index = end;
    return token;
}

std::unique_ptr<KELParsedCSSValue> KELSyntaxCheckTypeCSS::parseDimensionAtIndex(qsizetype& index, qsizetype max, const QString& text, Errors*,
    bool stopAtHyphen)
{
    const qsizetype start = index;
    const qsizetype numberStop = numberEnd(start, max, text);
    if (numberStop < 0)
        return nullptr;
    qsizetype i = numberStop;
    QString unit;
    if (stopAtHyphen) {
        while (i < max && text.at(i) != u'-') {
            auto c = parseIdentifierCharAtIndex(i, max, text, nullptr);
            if (!c)
                break;
            unit += *c;
        }
        if (unit.isEmpty())
            return nullptr;
    } else {
        if (!readIdentifierName(i, max, text, nullptr, unit))
            return nullptr;
    }
    auto token = KELParsedCSSValue::valueWithType(KELParsedCSSValue::Dimension);
    token->setName(unit);
    token->setValue(QStringView(text).mid(start, numberStop - start).toFloat());
    token->setTextRange(kit::Range(start, i - start));
    index = i;
    return token;
}

std::unique_ptr<KELParsedCSSValue> KELSyntaxCheckTypeCSS::parsePercentageAtIndex(qsizetype& index, qsizetype max, const QString& text, Errors*)
{
    const qsizetype start = index;
    const qsizetype numberStop = numberEnd(start, max, text);
    if (numberStop < 0 || numberStop >= max || text.at(numberStop) != u'%')
        return nullptr;
    const qsizetype i = numberStop + 1;
    auto token = KELParsedCSSValue::valueWithType(KELParsedCSSValue::Percentage);
    token->setValue(QStringView(text).mid(start, numberStop - start).toFloat());
    token->setTextRange(kit::Range(start, i - start));
    index = i;
    return token;
}

std::unique_ptr<KELParsedCSSValue> KELSyntaxCheckTypeCSS::parseStringAtIndex(qsizetype& index, qsizetype max, const QString& text, Errors* errors)
{
    if (index >= max || (text.at(index) != u'"' && text.at(index) != u'\''))
        return nullptr;
    const QChar quote = text.at(index);
    const qsizetype start = index;
    qsizetype i = index + 1;
    // The plain run up to the first quote, escape or line break is taken in one piece.
    while (i < max && text.at(i) != quote && text.at(i) != u'\\' && !isNewline(text.at(i)))
        ++i;
    QString name = text.mid(start + 1, i - start - 1);
    auto token = KELParsedCSSValue::valueWithType(KELParsedCSSValue::String);
    while (true) {
        if (i >= max) {
            report(errors, QStringLiteral("String Parse Error"), QStringLiteral("String is not terminated."), kit::Range(start, i - start));
            name = text.mid(start + 1, i - start - 1);
            break;
        }
        const QChar c = text.at(i);
        if (c == quote) {
            ++i;
            break;
        }
        if (c == u'\\') {
            if (auto escaped = parseEscapedCharAtIndex(i, max, text, errors))
                name += *escaped;
            continue;
        }
        if (isNewline(c)) {
            report(errors, QStringLiteral("String Parse Error"), QStringLiteral("Newlines in a string must be escaped with \"\\\""), kit::Range(i, 1));
            name = text.mid(start + 1, i - start - 1);
            ++i;
            break;
        }
        name += c;
        ++i;
    }
    token->setName(name);
    token->setTextRange(kit::Range(start, i - start));
    index = i;
    return token;
}

std::unique_ptr<KELParsedCSSValue> KELSyntaxCheckTypeCSS::parseURIAtIndex(qsizetype& index, qsizetype max, const QString& text, Errors* errors)
{
    if (!containsAt(text, index, QLatin1String("url(")) || index + 4 > max)
        return nullptr;
    const qsizetype start = index;
    qsizetype i = index + 4;
    while (i < max && text.at(i).isSpace())
        ++i;
    auto token = KELParsedCSSValue::valueWithType(KELParsedCSSValue::URI);
    if (Value string = parseStringAtIndex(i, max, text, errors)) {
        token->setName(string->name());
    } else {
        const qsizetype urlStart = i;
        bool reported = false;
        while (i < max && text.at(i) != u')') {
            const QChar c = text.at(i);
            if (isNewline(c))
                break;
            if (c == u'\\') {
                parseEscapedCharAtIndex(i, max, text, nullptr, true);
                continue;
            }
            if (c.isSpace()) {
                qsizetype j = i;
                while (j < max && text.at(j).isSpace() && !isNewline(text.at(j)))
                    ++j;
                if (j >= max || text.at(j) == u')' || isNewline(text.at(j)))
                    break; // white space before the closing parenthesis
                if (!reported)
                    report(errors, QStringLiteral("URL Parse Error"), QStringLiteral("Quotes, parentheses, and whitespace in a URL must be escaped with \"\\\""),
                        kit::Range(i, 1));
                reported = true;
                i = j; // the whole run of white space stays in the URL
                continue;
            }
            // A comma is a plain URL character ("data:image/svg+xml;base64,...").
            if (c == u'"' || c == u'\'' || c == u'(') {
                if (!reported)
                    report(errors, QStringLiteral("URL Parse Error"), QStringLiteral("Quotes, parentheses, and whitespace in a URL must be escaped with \"\\\""),
                        kit::Range(i, 1));
                reported = true;
            }
            ++i;
        }
        token->setName(text.mid(urlStart, i - urlStart));
    }
    while (i < max && text.at(i).isSpace())
        ++i;
    if (i < max && text.at(i) == u')') {
        ++i;
    } else {
        report(errors, QStringLiteral("URL Parse Error"), QStringLiteral("The URL function is not properly terminated with \")\"."), kit::Range(start, i - start));
    }
    token->setTextRange(kit::Range(start, i - start));
    index = i;
    return token;
}

std::unique_ptr<KELParsedCSSValue> KELSyntaxCheckTypeCSS::parseURLTokenAtIndex(qsizetype& index, qsizetype max, const QString& text, Errors*)
{
    const qsizetype start = index;
    qsizetype i = index;
    while (i < max) {
        const QChar c = text.at(i);
        if (c == u'"' || c == u'\'' || c == u'(' || c == u')' || c == u',' || c.isSpace())
            break;
        if (c == u'\\') {
            parseEscapedCharAtIndex(i, max, text, nullptr, true);
            continue;
        }
        ++i;
    }
    if (i == start)
        return nullptr;
    auto token = KELParsedCSSValue::valueWithType(KELParsedCSSValue::URLToken);
    token->setName(text.mid(start, i - start));
    token->setTextRange(kit::Range(start, i - start));
    index = i;
    return token;
}

std::unique_ptr<KELParsedCSSValue> KELSyntaxCheckTypeCSS::parseHashAtIndex(qsizetype& index, qsizetype max, const QString& text, Errors* errors)
{
    if (index >= max || text.at(index) != u'#')
        return nullptr;
    const qsizetype start = index;
    qsizetype i = index + 1;
    while (true) {
        while (i < max && isPlainIdentifierChar(text.at(i)))
            ++i;
        if (!parseIdentifierCharAtIndex(i, max, text, nullptr))
            break;
    }
    if (i == start + 1)
        report(errors, QStringLiteral("Hash Parse Error"),
            QStringLiteral("A hash must be followed by at least one identifier character (e.g. hexadecimal characters for a color value, like \"#ff0099\")."),
            kit::Range(start, 1));
    auto token = KELParsedCSSValue::valueWithType(KELParsedCSSValue::Hash);
    token->setName(nameFromText(text, start + 1, i - start - 1));
    token->setTextRange(kit::Range(start, i - start));
    index = i;
    return token;
}

std::unique_ptr<KELParsedCSSValue> KELSyntaxCheckTypeCSS::parseUnicodeRangeAtIndex(qsizetype& index, qsizetype max, const QString& text, Errors*)
{
    const qsizetype start = index;
    if (start + 2 >= max || (text.at(start) != u'u' && text.at(start) != u'U') || text.at(start + 1) != u'+')
        return nullptr;
    qsizetype i = start + 2;
    auto hexOrQuestion = [&](QChar c) { return isHexChar(c) || c == u'?'; };
    if (!hexOrQuestion(text.at(i)))
        return nullptr;
    const qsizetype digitsStart = i;
    while (i < max && i - digitsStart < 6 && hexOrQuestion(text.at(i)))
        ++i;
    if (i + 1 < max && text.at(i) == u'-' && isHexChar(text.at(i + 1))) {
        qsizetype j = i + 1;
        while (j < max && j - (i + 1) < 6 && isHexChar(text.at(j)))
            ++j;
        i = j;
    }
    auto token = KELParsedCSSValue::valueWithType(KELParsedCSSValue::UnicodeRange);
    token->setName(text.mid(start + 2, i - start - 2));
    token->setTextRange(kit::Range(start, i - start));
    index = i;
    return token;
}

std::unique_ptr<KELParsedCSSValue> KELSyntaxCheckTypeCSS::parseFunctionAtIndex(qsizetype& index, qsizetype max, const QString& text, Errors* errors)
{
    const qsizetype start = index;
    qsizetype i = index;
    Value name = parseIdentifierAtIndex(i, max, text, nullptr);
    if (!name || name->name().compare(QLatin1String("url"), Qt::CaseInsensitive) == 0 || i >= max || text.at(i) != u'(')
        return nullptr;
    // Past this depth a function is read as its name alone, so deep input cannot exhaust the stack.
    if (m_depth >= MaxDepth)
        return nullptr;
    DepthGuard guard(m_depth);
    ++i;
    auto function = KELParsedCSSValue::valueWithType(KELParsedCSSValue::Function);
    function->setName(name->name());
    const KELCSSSpec& grammar = KELCSSSpec::sharedInstance();
    bool failed = false;
    if (grammar.isMathFunction(name->name())) {
        int depth = 1;
        bool operandExpected = true;
        while (true) {
            while (i < max && text.at(i).isSpace())
                ++i;
            if (i >= max) {
                failed = true;
                break;
            }
            const QChar c = text.at(i);
            Value token = (!operandExpected && (c == u'+' || c == u'-')) ? parseDelimiterAtIndex(i, max, text, errors)
                                                                          : parseCalcValueAtIndex(i, max, text, errors);
            if (token->type() == KELParsedCSSValue::Delimiter) {
                if (isDelimiterToken(token.get(), QLatin1Char('('))) {
                    ++depth;
                } else if (isDelimiterToken(token.get(), QLatin1Char(')'))) {
                    if (--depth == 0)
                        break;
                } else if (isDelimiterToken(token.get(), QLatin1Char(';')) || isDelimiterToken(token.get(), QLatin1Char('}'))) {
                    --i;
                    failed = true;
                    break;
                } else {
                    operandExpected = true;
                }
                if (!isDelimiterToken(token.get(), QLatin1Char('(')) && !isDelimiterToken(token.get(), QLatin1Char(')')))
                    operandExpected = true;
                else
                    operandExpected = isDelimiterToken(token.get(), QLatin1Char('('));
            } else {
                operandExpected = token->type() == KELParsedCSSValue::Identifier;
            }
            function->addSubvalue(std::move(token));
        }
    } else {
        const bool isAttr = name->name().compare(QLatin1String("attr"), Qt::CaseInsensitive) == 0;
        const bool isImage = name->name().compare(QLatin1String("image"), Qt::CaseInsensitive) == 0;
        bool urlAllowed = isImage;
        while (true) {
            skipWhiteSpaceAndCommentsAtIndex(i, max, text, errors);
            if (i >= max) {
                failed = true;
                break;
            }
            if (isAttr && function->subvalues().isEmpty()) {
                const qsizetype attrStart = i;
                qsizetype j = i;
                if (Value first = parseIdentifierAtIndex(j, max, text, nullptr)) {
                    QString joined = first->name();
                    if (j < max && text.at(j) == u'|') {
                        ++j;
                        qsizetype k = j;
                        if (Value second = parseIdentifierAtIndex(k, max, text, nullptr)) {
                            joined += QLatin1Char('|') + second->name();
                            j = k;
                        } else {
                            joined += QLatin1Char('|');
                            report(errors, QStringLiteral("Function Parse Error"), QStringLiteral("Expected an identifer after \"|\" in attr() function."),
                                kit::Range(j, 0));
                        }
                    }
                    first->setName(joined);
                    first->setTextRange(kit::Range(attrStart, j - attrStart));
                    i = j;
                    function->addSubvalue(std::move(first));
                    continue;
                }
            }
            Value token = parseAnyValueAtIndex(i, max, text, errors, urlAllowed);
            if (isDelimiterToken(token.get(), QLatin1Char(')')))
                break;
            // A declaration or block end means the function was never closed: give it back.
            if (isDelimiterToken(token.get(), QLatin1Char(';')) || isDelimiterToken(token.get(), QLatin1Char('}'))) {
                --i;
                failed = true;
                break;
            }
            urlAllowed = isImage && isDelimiterToken(token.get(), QLatin1Char(','));
            function->addSubvalue(std::move(token));
        }
    }
    if (failed)
        report(errors, QStringLiteral("Function Parse Error"), QStringLiteral("Expected \")\" to close function, or a function parameter could not be parsed."),
            kit::Range(start, i - start));
    function->setTextRange(kit::Range(start, i - start));
    index = i;
    return function;
}

std::unique_ptr<KELParsedCSSValue> KELSyntaxCheckTypeCSS::parseCalcValueAtIndex(qsizetype& index, qsizetype max, const QString& text, Errors* errors)
{
    return parseLongestValueAtIndex(index, max, text, errors, true, false);
}

std::unique_ptr<KELParsedCSSValue> KELSyntaxCheckTypeCSS::parseDelimiterAtIndex(qsizetype& index, qsizetype max, const QString& text, Errors*)
{
    if (index >= max || text.at(index) == u'"' || text.at(index) == u'\'')
        return nullptr;
    auto token = KELParsedCSSValue::valueWithType(KELParsedCSSValue::Delimiter);
    token->setName(oneCharacter(text, index));
    token->setTextRange(kit::Range(index, 1));
    ++index;
    return token;
}

std::unique_ptr<KELParsedCSSValue> KELSyntaxCheckTypeCSS::parseGenericBlockAtIndex(qsizetype& index, qsizetype max, const QString& text, Errors* errors)
{
    if (index >= max || text.at(index) != u'{')
        return nullptr;
    const qsizetype start = index;
    ++index;
    auto block = KELParsedCSSValue::valueWithType(KELParsedCSSValue::Block);
    int depth = 1;
    bool closed = false;
    while (true) {
        skipWhiteSpaceAndCommentsAtIndex(index, max, text, errors);
        if (index >= max)
            break;
        Value token = parseAnyValueAtIndex(index, max, text, errors);
        if (isDelimiterToken(token.get(), QLatin1Char('{'))) {
            ++depth;
        } else if (isDelimiterToken(token.get(), QLatin1Char('}'))) {
            if (--depth == 0) {
                closed = true;
                break;
            }
        }
        block->addSubvalue(std::move(token));
    }
    if (!closed)
        report(errors, QStringLiteral("Block Not Closed"), QStringLiteral("A block is not closed with \"}\"."), kit::Range(start, index - start));
    block->setTextRange(kit::Range(start, index - start));
    return block;
}
