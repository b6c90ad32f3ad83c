#include "editor/FindParameters.h"

#include <gtest/gtest.h>

namespace {

struct PatternCase
{
    const char* input;
    qint64 kind;
    bool commaDelimited;
    const char* pattern;
};

TEST(FindParametersTest, TranslatesSearchTextByKind)
{
    const PatternCase cases[] = {
        {"f(x)", 0, false, "f\\(x\\)"},
        {"a*b?", 0, false, "a\\*b\\?"},
        {"|().?*+{}^$[]-&#:=!<>@\\", 0, false,
            "\\|\\(\\)\\.\\?\\*\\+\\{\\}\\^\\$\\[\\]\\-\\&\\#\\:\\=\\!\\<\\>\\@\\\\"},
        {"plain text", 0, false, "plain text"},
        {"a*b", 1, false, "a.*?b"},
        {"a\\*b", 1, false, "a\\*b"},
        {"a\\\\b", 1, false, "a\\\\b"},
        {"a?b", 1, false, "a\\?b"},
        {"<#*#>", 1, false, "\\<\\#.*?\\#\\>"},
        {"a\\b", 1, false, "a\\\\b"},
        {"a(b|c)+", 2, false, "a(b|c)+"},
        {"a(b|c)+", 7, false, "a(b|c)+"},
        {"*.html, *.htm", 1, true, "(.*?\\.html)|(.*?\\.htm)"},
        {" a , b ", 0, true, "(a)|(b)"},
        {"", 1, true, ""},
    };
    for (const PatternCase& c : cases) {
        EXPECT_EQ(FindParameters::getRegexForSearchString(QString::fromUtf8(c.input), c.kind, c.commaDelimited),
            QString::fromUtf8(c.pattern))
            << c.input << " kind " << c.kind;
    }
}

TEST(FindParametersTest, PatternsFindWhatTheUserMeant)
{
    struct Case
    {
        const char* search;
        qint64 kind;
        const char* text;
        const char* found; // null: no match
    } cases[] = {
        {"a*b", 1, "xx aqqb ab", "aqqb"},
        {"a\\*b", 1, "aqb a*b", "a*b"},
        {"a?b", 1, "aqb a?b", "a?b"},
        {"f(x)", 0, "g(x) f(x)", "f(x)"},
        {"[[:^ascii:]]", 2, "cafe café", "é"},
        {"(", 0, "a(b", "("},
    };
    for (const Case& c : cases) {
        const FindParameters parameters(QString::fromUtf8(c.search), std::nullopt, OgreNoneOption, c.kind, c.kind);
        const auto expression = parameters.findExpression();
        ASSERT_TRUE(expression) << c.search;
        const QString text = QString::fromUtf8(c.text);
        const auto match = expression->matchInString(text);
        if (!c.found) {
            EXPECT_FALSE(match) << c.search;
            continue;
        }
        ASSERT_TRUE(match) << c.search;
        EXPECT_EQ(match->matchedString(), QString::fromUtf8(c.found)) << c.search;
    }
}

TEST(FindParametersTest, FileExpressionMatchesWholeNamesIgnoringCase)
{
    const FindParameters html(QStringLiteral("x"), QStringLiteral("*.html, *.htm"), OgreNoneOption, 1, 1);
    const auto expression = html.fileExpression();
    ASSERT_TRUE(expression);
    EXPECT_TRUE(expression->matchInString(QStringLiteral("index.HTML")));
    EXPECT_TRUE(expression->matchInString(QStringLiteral("a.htm")));
    EXPECT_FALSE(expression->matchInString(QStringLiteral("index.html.bak")));

    const FindParameters any(QStringLiteral("x"), QStringLiteral("  "), OgreNoneOption, 1, 1);
    ASSERT_TRUE(any.fileExpression());
    EXPECT_EQ(any.fileExpression()->expressionString(), QStringLiteral(".*"));

    const FindParameters invalid(QStringLiteral("("), QStringLiteral("(") , OgreNoneOption, 2, 2);
    EXPECT_FALSE(invalid.findExpression());
    EXPECT_FALSE(invalid.fileExpression());
}

} // namespace
