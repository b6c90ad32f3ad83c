#include "editor/KELTokenParser.h"
#include "kit/text/TextStorage.h"

#include <gtest/gtest.h>

using kit::Range;
using kit::TextStorage;

namespace {
// A storage whose edits are tokenized, as the editor view does.
struct Tokenizing : kit::TextStorageDelegate {
    TextStorage ts;
    Tokenizing() { ts.setDelegate(this); }
    ~Tokenizing() override { ts.setDelegate(nullptr); }
    void textStorageDidProcessEditing(TextStorage* s) override { KELTokenParser::sharedTokenParser().textStorageDidProcessEditing(s); }
};

QList<Range> tokens(const TextStorage& ts, int type)
{
    QList<Range> out;
    for (qsizetype i = 0; i < ts.length();) {
        Range run;
        const KELTokenIdRef id = KELTokenParser::tokenIdAt(&ts, i, &run);
        if (id && KELTokenParser::tokenTypeAt(&ts, i) == type)
            out.append(run);
        i = std::max(run.end(), i + 1);
    }
    return out;
}
} // namespace

TEST(KELTokenParserTest, TokenizeTable)
{
    struct Case {
        const char16_t* text;
        QList<Range> expected;
    } cases[] = {
        {u"<#name#>", {Range(0, 8)}},
        {u"<##>", {Range(0, 4)}},
        {u"a <# my name #> b", {Range(2, 13)}},
        {u"<#a:b#>", {}},
        {u"<#a\nb#>", {}},
        {u"<#<#a#>", {Range(2, 5)}},
        {u"x <#a#", {}},
        {u"<#a#><#b#>", {Range(0, 5), Range(5, 5)}},
        {u"<#_-. ()*&$!@%^{}[]=+\\|/?#>", {Range(0, 27)}},
        {u"<#\U0001F600#>", {}},
    };
    for (const Case& c : cases) {
        Tokenizing t;
        t.ts.replaceCharacters(Range(0, 0), QString::fromUtf16(c.text));
        EXPECT_EQ(tokens(t.ts, 1), c.expected) << QString::fromUtf16(c.text).toStdString();
    }
    Tokenizing t;
    t.ts.replaceCharacters(Range(0, 0), QStringLiteral("<#name#> x"));
    const KELTokenIdRef id = KELTokenParser::tokenIdAt(&t.ts, 0);
    ASSERT_TRUE(id);
    EXPECT_EQ(id->length(), 8u);
    EXPECT_EQ(id->newLines(), 0u);
    EXPECT_EQ(t.ts.attribute(kit::CursorAttributeName, 0).toInt(), int(Qt::ArrowCursor));
    EXPECT_FALSE(t.ts.attribute(kit::CursorAttributeName, 1).isValid());
    // Adjacent placeholders are two identities, each starting a token.
    Tokenizing two;
    two.ts.replaceCharacters(Range(0, 0), QStringLiteral("<#a#><#b#>"));
    EXPECT_NE(KELTokenParser::tokenIdAt(&two.ts, 0), KELTokenParser::tokenIdAt(&two.ts, 5));
    EXPECT_TRUE(KELTokenParser::sharedTokenParser().textStorageHasTokenStartingAtIndex(&two.ts, 5));
    EXPECT_FALSE(KELTokenParser::sharedTokenParser().textStorageHasTokenStartingAtIndex(&two.ts, 4));
}

// Text put in before any view tokenized it: the whole text is scanned once, with the
// same rule as an edit, and the tokens already there stay as they are.
TEST(KELTokenParserTest, UntokenizedTextGetsTheTokensOfOneWholeEdit)
{
    struct Case {
        const char16_t* text;
        QList<Range> expected;
    } cases[] = {
        {u"<#name#>", {Range(0, 8)}},
        {u"<##>", {Range(0, 4)}},
        {u"<p><#name#></p>", {Range(3, 8)}},
        {u"a <# my name #> b # c <", {Range(2, 13)}},
        {u"<#a:b#> <#a\nb#> x <#a#", {}},
        {u"<#<#a#>", {Range(2, 5)}},
        {u"<#a#><#b#>", {Range(0, 5), Range(5, 5)}},
        {u"color: #fff; <a href=\"#top\"><#link text#></a>", {Range(28, 13)}},
        {u"<#\U0001F600#>", {}},
        {u"##<<##>>", {Range(3, 4)}},
    };
    for (const Case& c : cases) {
        const QString text = QString::fromUtf16(c.text);
        SCOPED_TRACE(text.toStdString());
        TextStorage plain;
        plain.replaceCharacters(Range(0, 0), text);
        KELTokenParser::sharedTokenParser().tokenizeUntokenizedText(&plain);
        EXPECT_EQ(tokens(plain, 1), c.expected);
        // The same tokens as the text pasted in one edit.
        Tokenizing pasted;
        pasted.ts.replaceCharacters(Range(0, 0), text);
        EXPECT_EQ(tokens(pasted.ts, 1), tokens(plain, 1));
    }

    // A saved fold over a placeholder stays one fold; a placeholder beside it becomes a token.
    TextStorage folded;
    folded.replaceCharacters(Range(0, 0), QStringLiteral("<div><#in#></div>\n<#out#>"));
    KELTokenParser::sharedTokenParser().setTokenType(KELTokenTypeFold, &folded, Range(5, 6));
    const KELTokenIdRef fold = KELTokenParser::tokenIdAt(&folded, 5);
    KELTokenParser::sharedTokenParser().tokenizeUntokenizedText(&folded);
    EXPECT_EQ(tokens(folded, KELTokenTypeFold), QList<Range> { Range(5, 6) });
    EXPECT_EQ(KELTokenParser::tokenIdAt(&folded, 5), fold);
    EXPECT_EQ(tokens(folded, KELTokenTypePlaceholder), QList<Range> { Range(18, 7) });
}

TEST(KELTokenParserTest, EditsKeepOrDissolveTokens)
{
    KELTokenParser& parser = KELTokenParser::sharedTokenParser();
    Tokenizing t;
    // Typed key by key: plain.
    for (QChar c : QStringLiteral("<#ab#>"))
        t.ts.replaceCharacters(Range(t.ts.length(), 0), QString(c));
    EXPECT_TRUE(tokens(t.ts, 1).isEmpty());
    // Pasted: a token; cut in the middle: gone, the rest plain.
    t.ts.replaceCharacters(Range(0, t.ts.length()), QStringLiteral("x<#ab#>y"));
    EXPECT_EQ(tokens(t.ts, 1), QList<Range>{Range(1, 6)});
    t.ts.replaceCharacters(Range(3, 1), QString());
    EXPECT_EQ(tokens(t.ts, 1), QList<Range>{Range(1, 5)}); // "<#a#>" still forms a placeholder
    t.ts.replaceCharacters(Range(4, 1), QString());
    EXPECT_TRUE(tokens(t.ts, 1).isEmpty());
    // An edit inside a fold unfolds it and brings back the placeholders inside.
    t.ts.replaceCharacters(Range(0, t.ts.length()), QStringLiteral("aa <#p#> bb cc"));
    parser.setTokenType(2, &t.ts, Range(0, 11));
    EXPECT_EQ(tokens(t.ts, 2), QList<Range>{Range(0, 11)});
    EXPECT_TRUE(tokens(t.ts, 1).isEmpty());
    t.ts.replaceCharacters(Range(1, 1), QStringLiteral("A"));
    EXPECT_TRUE(tokens(t.ts, 2).isEmpty());
    EXPECT_EQ(tokens(t.ts, 1), QList<Range>{Range(3, 5)});
    // Text typed just after a fold leaves the fold as it was and stays plain itself.
    parser.setTokenType(2, &t.ts, Range(0, 2));
    t.ts.replaceCharacters(Range(2, 0), QStringLiteral("zz"));
    EXPECT_EQ(tokens(t.ts, 2), QList<Range>{Range(0, 2)});
    EXPECT_FALSE(KELTokenParser::tokenIdAt(&t.ts, 2));
    // Folding over part of a placeholder dissolves the placeholder first.
    t.ts.replaceCharacters(Range(0, t.ts.length()), QStringLiteral("ab<#name#>cd"));
    parser.setTokenType(2, &t.ts, Range(4, 7));
    EXPECT_TRUE(tokens(t.ts, 1).isEmpty());
    EXPECT_EQ(tokens(t.ts, 2), QList<Range>{Range(4, 7)});
}

TEST(KELTokenParserTest, NewLinesCountLineEnds)
{
    KELTokenParser& parser = KELTokenParser::sharedTokenParser();
    struct Case {
        Range fold;
        quint64 newLines;
    } cases[] = {{Range(0, 4), 2}, {Range(0, 3), 1}, {Range(1, 1), 1}, {Range(4, 1), 1}};
    for (const Case& c : cases) {
        TextStorage ts(QStringLiteral("a\nb\nc"));
        parser.setTokenType(2, &ts, c.fold);
        ASSERT_TRUE(KELTokenParser::tokenIdAt(&ts, c.fold.location));
        EXPECT_EQ(KELTokenParser::tokenIdAt(&ts, c.fold.location)->newLines(), c.newLines) << c.fold.location << "," << c.fold.length;
    }
}

TEST(KELTokenParserTest, DetokenizeAndNames)
{
    KELTokenParser& parser = KELTokenParser::sharedTokenParser();
    struct Case {
        Range range;
        bool dissolves;
    } cases[] = {{Range(4, 0), true}, {Range(2, 0), false}, {Range(10, 0), false}, {Range(4, 3), true}, {Range(2, 8), false}, {Range(0, 5), true}};
    for (const Case& c : cases) {
        TextStorage ts(QStringLiteral("xx<#name#>yy"));
        parser.tokenizeTextStorage(&ts, Range(0, ts.length()));
        parser.detokenizePartialTokens(&ts, c.range);
        EXPECT_EQ(!KELTokenParser::tokenIdAt(&ts, 2), c.dissolves) << c.range.location << "," << c.range.length;
    }
    TextStorage ts(QStringLiteral("<#ab#> <##> x"));
    EXPECT_EQ(parser.tokenNameInTextStorage(&ts, 0), QStringLiteral("ab"));
    EXPECT_EQ(parser.tokenNameInTextStorage(&ts, 7), QString());
    EXPECT_FALSE(parser.tokenNameInTextStorage(&ts, 12).has_value());
    // Removing a fold by a range that touches it removes it whole.
    parser.setTokenType(2, &ts, Range(0, 11));
    parser.removeTokenType(2, &ts, Range(5, 1));
    EXPECT_FALSE(KELTokenParser::tokenIdAt(&ts, 0));
}
