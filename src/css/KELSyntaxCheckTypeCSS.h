#pragma once
// The CSS checker: a recursive-descent reader of style sheets, style element
// bodies and style attributes that builds the parsed CSS tree, reports syntax
// errors as it goes and never stops on one, then checks the tree against the
// CSS grammar.

#include "css/KELParsedCSSDocument.h"
#include "css/KELParsedCSSDeclaration.h"
#include "css/KELParsedCSSDeclarationBlock.h"
#include "css/KELParsedCSSAtRule.h"
#include "css/KELParsedCSSSimpleSelector.h"
#include "css/KELParsedCSSSelectorSequence.h"
#include "css/KELParsedCSSSelector.h"
#include "css/KELParsedCSSRuleSet.h"
#include "css/KELCSSPropertyValueDefinition.h"

#include <QSet>
#include <QString>
#include <QVariantMap>
#include <memory>
#include <string_view>
#include <unordered_map>

class KELSyntaxCheckTypeCSS {
public:
    static QString typeName() { return QStringLiteral("CSS"); }
    static KELSyntaxCheckTypeCSS& sharedInstance();
    KELSyntaxCheckTypeCSS();

    /// Reads the range as a style sheet and checks it; errors go to `errors` (may be null).
    /// `userInfo` lasts for a whole check run (notes such as vendor-prefix warnings given).
    std::unique_ptr<KELParsedCSSDocument> parseText(const QString& text, kit::Range range, KELSyntaxCheckErrors* errors,
        QVariantMap* userInfo = nullptr);
    /// Reads the range as a style attribute (declarations without braces) and checks it.
    std::unique_ptr<KELParsedCSSDeclarationBlock> checkForStyleAttributeErrors(const QString& text, kit::Range range,
        KELSyntaxCheckErrors* errors, QVariantMap* userInfo = nullptr);
    /// One token at the index; the index moves past it.
    std::unique_ptr<KELParsedCSSValue> parseAnyValueAtIndex(qsizetype& index, qsizetype max, const QString& text,
        KELSyntaxCheckErrors* errors, bool allowURLToken = false);

    // The readers; each starts at `index`, stops before `max` and moves `index` past what it read.
    void skipWhiteSpaceAndCommentsAtIndex(qsizetype& index, qsizetype max, const QString& text, KELSyntaxCheckErrors* errors);
    bool parseCommentAtIndex(qsizetype& index, qsizetype max, const QString& text, KELSyntaxCheckErrors* errors);
    std::unique_ptr<KELParsedCSSAtRule> parseAtRuleAtIndex(qsizetype& index, qsizetype max, const QString& text, KELSyntaxCheckErrors* errors,
        bool forPageMargin = false);
    std::unique_ptr<KELParsedCSSRuleSet> parseRuleSetAtIndex(qsizetype& index, qsizetype max, const QString& text, KELSyntaxCheckErrors* errors);
    std::unique_ptr<KELParsedCSSSelector> parseSelectorAtIndex(qsizetype& index, qsizetype max, const QString& text, KELSyntaxCheckErrors* errors);
    std::unique_ptr<KELParsedCSSSelectorSequence> parseSimpleSelectorSequenceAtIndex(qsizetype& index, qsizetype max, const QString& text,
        KELSyntaxCheckErrors* errors);
    std::unique_ptr<KELParsedCSSSimpleSelector> parseSimpleSelectorAtIndex(qsizetype& index, qsizetype max, const QString& text,
        KELSyntaxCheckErrors* errors, bool allowTypeOrUniversal);
    bool parseCombinatorAtIndex(qsizetype& index, qsizetype max, const QString& text, KELSyntaxCheckErrors* errors);
    std::unique_ptr<KELParsedCSSDeclarationBlock> parseDeclarationBlockAtIndex(qsizetype& index, qsizetype max, const QString& text,
        KELSyntaxCheckErrors* errors, bool includeBraces);
    std::unique_ptr<KELParsedCSSDeclaration> parseDeclarationAtIndex(qsizetype& index, qsizetype max, const QString& text, KELSyntaxCheckErrors* errors);
    std::unique_ptr<KELParsedCSSValue> parseIdentifierAtIndex(qsizetype& index, qsizetype max, const QString& text, KELSyntaxCheckErrors* errors);

    static bool isHexChar(QChar c) { return (c >= u'0' && c <= u'9') || (c >= u'a' && c <= u'f') || (c >= u'A' && c <= u'F'); }

private:
    using Value = std::unique_ptr<KELParsedCSSValue>;
    using Errors = KELSyntaxCheckErrors;

    void report(Errors* errors, const QString& title, const QString& description, kit::Range range);
    /// The name of the identifier at the index into `name`; false (index unmoved) where none starts.
    bool readIdentifierName(qsizetype& index, qsizetype max, const QString& text, Errors* errors, QString& name);
    std::optional<QString> parseIdentifierCharAtIndex(qsizetype& index, qsizetype max, const QString& text, Errors* errors);
    std::optional<QString> parseEscapedCharAtIndex(qsizetype& index, qsizetype max, const QString& text, Errors* errors, bool asWritten = false);
    Value parseNumberAtIndex(qsizetype& index, qsizetype max, const QString& text, Errors* errors);
    Value parseDimensionAtIndex(qsizetype& index, qsizetype max, const QString& text, Errors* errors, bool stopAtHyphen = false);
    Value parsePercentageAtIndex(qsizetype& index, qsizetype max, const QString& text, Errors* errors);
    Value parseStringAtIndex(qsizetype& index, qsizetype max, const QString& text, Errors* errors);
    Value parseURIAtIndex(qsizetype& index, qsizetype max, const QString& text, Errors* errors);
    Value parseURLTokenAtIndex(qsizetype& index, qsizetype max, const QString& text, Errors* errors);
    Value parseHashAtIndex(qsizetype& index, qsizetype max, const QString& text, Errors* errors);
    Value parseUnicodeRangeAtIndex(qsizetype& index, qsizetype max, const QString& text, Errors* errors);
    Value parseFunctionAtIndex(qsizetype& index, qsizetype max, const QString& text, Errors* errors);
    Value parseCalcValueAtIndex(qsizetype& index, qsizetype max, const QString& text, Errors* errors);
    /// The longest value any reader takes at the index; in calc() URIs are not values
    /// and dimensions may carry calc's units.
    Value parseLongestValueAtIndex(qsizetype& index, qsizetype max, const QString& text, Errors* errors, bool inCalc,
        bool allowURLToken);
    Value parseDelimiterAtIndex(qsizetype& index, qsizetype max, const QString& text, Errors* errors);
    Value parseGenericBlockAtIndex(qsizetype& index, qsizetype max, const QString& text, Errors* errors);
    std::vector<std::unique_ptr<KELParsedCSSSelector>> parseSelectorGroupAtIndex(qsizetype& index, qsizetype max, const QString& text, Errors* errors);
    std::unique_ptr<KELParsedCSSSimpleSelector> parseTypeOrUniversalSelectorAtIndex(qsizetype& index, qsizetype max, const QString& text, Errors* errors);
    std::unique_ptr<KELParsedCSSSimpleSelector> parseAttributeSelectorAtIndex(qsizetype& index, qsizetype max, const QString& text, Errors* errors);
    std::unique_ptr<KELParsedCSSSimpleSelector> parseClassSelectorAtIndex(qsizetype& index, qsizetype max, const QString& text, Errors* errors);
    std::unique_ptr<KELParsedCSSSimpleSelector> parseIdSelectorAtIndex(qsizetype& index, qsizetype max, const QString& text, Errors* errors);
    std::unique_ptr<KELParsedCSSSimpleSelector> parsePseudoElementAtIndex(qsizetype& index, qsizetype max, const QString& text, Errors* errors);
    std::unique_ptr<KELParsedCSSSimpleSelector> parsePseudoClassSelectorAtIndex(qsizetype& index, qsizetype max, const QString& text, Errors* errors);
    std::unique_ptr<KELParsedCSSSimpleSelector> parseNamedSelector(qsizetype& index, qsizetype max, const QString& text, Errors* errors,
        qint32 type, const QString& title, const QString& message);
    void parseKeyframeBlocks(KELParsedCSSAtRule* rule, qsizetype start, qsizetype& index, qsizetype max, const QString& text, Errors* errors);
    /// Reads "a, b > c" after the "(" of a pseudo selector up to and with its ")"
    /// into the owner's selector list; `relative` lets each selector begin with a
    /// combinator (":has(> img)"). Answers whether the ")" was found.
    bool parseSelectorListArgument(qsizetype& index, qsizetype max, const QString& text, Errors* errors, KELParsedCSSSimpleSelector* owner,
        bool relative);
    /// An unknown pseudo name: a vendor's own gets one warning per prefix, any other an error.
    void reportUnknownPseudo(Errors* errors, const KELParsedCSSSimpleSelector* selector, const QString& kind, const QString& title,
        const QString& message);

    /// The text of the range as a name; in a large sheet names repeat by the
    /// thousand, so each distinct one is stored once per read.
    QString nameFromText(const QString& text, qsizetype start, qsizetype length);
    void beginRead(qsizetype start, qsizetype max);

    QSet<QString> m_attributeOperators;
    std::unordered_map<std::u16string_view, QString> m_names; // keys view the values' characters
    bool m_shareNames = false;
    QVariantMap* m_userInfo = nullptr; // the check run's, while a parse runs
    bool m_inStyleRule = false; // reading the rules nested in a style rule's block
    bool m_afterVendorPseudoElement = false; // reading the rest of a compound after "::-webkit-..."
    int m_depth = 0; // nesting of functions, blocks and :not(), bounded so deep input cannot exhaust the stack
};
