// The shipped grammars through the real colouring engine on code as written
// today: nested CSS rules, type selectors inside at-rules, strings, url() and
// comments inside rules, PHP here- and now-documents, and XML and SVG files
// coloured as markup.

#include "ColoringTestSupport.h"

#include "kit/UserDefaults.h"
#include "support/PreferenceController2.h"

#include <gtest/gtest.h>

using namespace syntaxtest;

namespace {

class TodaysColoringTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        kit::UserDefaults::standard().resetForTesting();
        PreferenceController2::resetColorCacheForTesting();
    }

    struct Expectation
    {
        const char* needle; // found in the text (its first occurrence)
        int offset; // the character looked at, from the needle's start
        const char* type; // the type whose rule colours it
        const char* rule; // null: plain text
    };

    void expectColours(SyntaxType* type, const QString& text, std::initializer_list<Expectation> cases)
    {
        ASSERT_TRUE(type);
        // Once as opened, once as typed: the second storage keeps its typing gap in the
        // middle of the text while it is coloured.
        for (const bool typed : { false, true }) {
            SCOPED_TRACE(typed ? "typed" : "opened");
            kit::TextStorage storage;
            if (typed) {
                storage.replaceCharacters(kit::Range(0, 0), text.mid(text.size() / 2));
                storage.replaceCharacters(kit::Range(0, 0), text.left(text.size() / 2));
            } else {
                storage.setString(text);
            }
            expectColoursIn(&storage, type, text, cases);
        }
    }
    void expectColoursIn(kit::TextStorage* storageRef, SyntaxType* type, const QString& text,
        std::initializer_list<Expectation> cases)
    {
        kit::TextStorage& storage = *storageRef;
        colorAll(type, &storage);
        for (const Expectation& c : cases) {
            const qsizetype at = text.indexOf(QString::fromUtf8(c.needle));
            ASSERT_GE(at, 0) << c.needle;
            SyntaxType* ruleType = shippedType(QString::fromUtf8(c.type));
            ASSERT_TRUE(ruleType) << c.type;
            const QColor expected = c.rule ? ruleColor(ruleType, QString::fromUtf8(c.rule)) : ruleColor(ruleType, QStringLiteral("Text"));
            ASSERT_TRUE(expected.isValid()) << c.rule;
            EXPECT_EQ(colorAt(&storage, at + c.offset).name(QColor::HexArgb), expected.name(QColor::HexArgb))
                << "\"" << c.needle << "\"+" << c.offset << " expected " << (c.rule ? c.rule : "plain text");
        }
    }
};

TEST_F(TodaysColoringTest, CSSNestedRulesAndCommentsInDeclarations)
{
    const QString sheet = QStringLiteral(
        "@media (min-width: 40em) {\n"
        "  .nav a:hover { color: red; }\n"
        "}\n"
        ".card {\n"
        "  margin: 0 /* top */ auto;\n"
        "  &:hover { padding: 1px; }\n"
        "  @media (width > 40em) { color: blue; }\n"
        "  border-color: blue;\n"
        "}\n");
    SyntaxType* css = shippedType(QStringLiteral("CSS"));
    expectColours(css, sheet,
        {
            { ".nav a:hover", 0, "CSS Block", "Selector" },
            { ".nav a:hover", 7, "CSS Block", "Selector" },
            { "color: red", 0, "CSS Block", "Property" },
            { "red; }", 0, "CSS Block", "Value" },
            { "margin: 0", 0, "CSS Block", "Property" },
            { "top */", 0, "CSS Block", "Comment" },
            { "auto;", 0, "CSS Block", "Value" },
            { "&:hover", 1, "CSS Block", "Selector" },
            { "padding: 1px", 0, "CSS Block", "Property" },
            { "@media (width", 1, "CSS Block", "At-Rule" },
            { "color: blue", 0, "CSS Block", "Property" },
            { "border-color", 0, "CSS Block", "Property" },
            { "blue;\n}", 0, "CSS Block", "Value" },
        });
}

// Rules inside "@media" and the like, and rules nested in rules, begin with a
// type selector as often as with "." or "&".
TEST_F(TodaysColoringTest, CSSTypeSelectorsInsideAtRulesAndNestedRules)
{
    const QString sheet = QStringLiteral(
        "@media print { body { color: red } h1, p.note { margin: 0 } }\n"
        "@supports (display: grid) { main { display: grid } }\n"
        "@layer base { html { line-height: 1.5 } }\n"
        "@container card (min-width: 20em) { h2 { font-size: 2em } }\n"
        "@scope (.card) { img { border: 0 } }\n"
        "@media screen { @media (min-width: 40em) { nav { float: left } } }\n"
        ".card {\n"
        "  b { color: blue }\n"
        "  div > p { top: 0 }\n"
        "  a:hover { color: green }\n"
        "  li:not(.x) { padding: 0 }\n"
        "  q::before { content: none }\n"
        "  border-color: gray;\n"
        "}\n"
        "footer { width: 1px }\n");
    SyntaxType* css = shippedType(QStringLiteral("CSS"));
    expectColours(css, sheet,
        {
            { "@media print", 1, "CSS", "At-Rule" },
            { "body {", 0, "CSS", "Selector" },
            { "color: red", 0, "CSS Block", "Property" },
            { "red }", 0, "CSS Block", "Value" },
            { "h1, p.note", 0, "CSS", "Selector" },
            { "h1, p.note", 5, "CSS", "Selector" },
            { "margin: 0", 0, "CSS Block", "Property" },
            { "0 } }", 0, "CSS Block", "Number" },
            { "@supports", 1, "CSS", "At-Rule" },
            { "main {", 0, "CSS", "Selector" },
            { "display: grid }", 0, "CSS Block", "Property" },
            { "html {", 0, "CSS", "Selector" },
            { "line-height", 0, "CSS Block", "Property" },
            { "h2 {", 0, "CSS", "Selector" },
            { "font-size", 0, "CSS Block", "Property" },
            { "img {", 0, "CSS", "Selector" },
            { "nav {", 0, "CSS", "Selector" },
            { "float: left", 0, "CSS Block", "Property" },
            { "b { color", 0, "CSS Block", "Selector" },
            { "color: blue", 0, "CSS Block", "Property" },
            { "div > p", 0, "CSS Block", "Selector" },
            { "div > p", 6, "CSS Block", "Selector" },
            { "top: 0", 0, "CSS Block", "Property" },
            { "a:hover", 0, "CSS Block", "Selector" },
            { "a:hover", 2, "CSS Block", "Selector" },
            { "color: green", 0, "CSS Block", "Property" },
            { "li:not(.x)", 3, "CSS Block", "Selector" },
            { "q::before", 3, "CSS Block", "Selector" },
            { "content: none", 0, "CSS Block", "Property" },
            { "border-color", 0, "CSS Block", "Property" },
            { "gray;", 0, "CSS Block", "Value" },
            { "footer", 0, "CSS", "Selector" },
            { "width: 1px", 0, "CSS Block", "Property" },
        });
}

// A ";" or "}" inside a string or url() neither ends the declaration nor the
// block: what follows keeps its colours, and so does the next declaration.
TEST_F(TodaysColoringTest, CSSStringsAndUrlsDoNotEndDeclarations)
{
    const QString sheet = QStringLiteral(
        ".a {\n"
        "  content: \"a;b}c\";\n"
        "  color: red;\n"
        "  background: url(data:image/svg+xml;utf8,<svg xmlns='http://www.w3.org/2000/svg'></svg>) no-repeat;\n"
        "  margin: 0;\n"
        "  background-image: url(\"x;}y.png\");\n"
        "  padding: 1px;\n"
        "  quotes: '\"' \"'\" '{';\n"
        "  font-family: \"Helvetica Neue\", Arial, sans-serif;\n"
        "  content: \"esc\\\"aped;}\" attr(title);\n"
        "  width: 1px;\n"
        "}\n"
        ".b { top: 0 }\n"
        "@media print { .c { content: \"}\" } .d { left: 0 } }\n"
        ".e { right: 0 }\n");
    SyntaxType* css = shippedType(QStringLiteral("CSS"));
    expectColours(css, sheet,
        {
            { "a;b}c", 2, "CSS Block", "String" },
            { "a;b}c", 4, "CSS Block", "String" },
            { "color: red", 0, "CSS Block", "Property" },
            { "red;", 0, "CSS Block", "Value" },
            { "data:image", 0, "CSS Block", "String" },
            { ";utf8", 0, "CSS Block", "String" },
            { "</svg>", 0, "CSS Block", "String" },
            { "no-repeat", 0, "CSS Block", "Value" },
            { "margin: 0", 0, "CSS Block", "Property" },
            { "x;}y", 2, "CSS Block", "String" },
            { "padding", 0, "CSS Block", "Property" },
            { "1px;\n  quotes", 0, "CSS Block", "Number" },
            { "quotes", 0, "CSS Block", "Property" },
            { "'{'", 1, "CSS Block", "String" },
            { "Neue", 0, "CSS Block", "String" },
            { "Arial", 0, "CSS Block", "Value" },
            { "sans-serif", 0, "CSS Block", "Value" },
            { "aped;}", 5, "CSS Block", "String" },
            { "attr(", 0, "CSS Block", "Value" },
            { "width", 0, "CSS Block", "Property" },
            { ".b {", 0, "CSS", "Selector" },
            { "top: 0", 0, "CSS Block", "Property" },
            { ".d {", 1, "CSS", "Selector" },
            { "left: 0", 0, "CSS Block", "Property" },
            { ".e {", 1, "CSS", "Selector" },
            { "right: 0", 0, "CSS Block", "Property" },
        });
}

// Comments anywhere in a rule: inside a value, between declarations, between
// a selector and its "{", with braces and semicolons inside them.
TEST_F(TodaysColoringTest, CSSCommentsInsideRules)
{
    const QString sheet = QStringLiteral(
        "a /* lead */ {\n"
        "  margin: 0 /* top; } */ auto;\n"
        "  /* between */ color: red;\n"
        "  border: 1px /* width */ solid;\n"
        "  /* don't */\n"
        "  padding: 0;\n"
        "}\n"
        "@media print {\n"
        "  p /* x */ { color: blue }\n"
        "  /* a } here */\n"
        "  em { top: 0 }\n"
        "}\n"
        "i { left: 0 }\n");
    SyntaxType* css = shippedType(QStringLiteral("CSS"));
    expectColours(css, sheet,
        {
            { "a /*", 0, "CSS", "Selector" },
            { "lead", 0, "CSS", "Comment" },
            { "margin: 0", 0, "CSS Block", "Property" },
            { "top; }", 5, "CSS", "Comment" },
            { "auto;", 0, "CSS Block", "Value" },
            { "between", 0, "CSS", "Comment" },
            { "color: red", 0, "CSS Block", "Property" },
            { "red;", 0, "CSS Block", "Value" },
            { "1px /*", 0, "CSS Block", "Number" },
            { "solid", 0, "CSS Block", "Value" },
            { "don't", 0, "CSS", "Comment" },
            { "padding", 0, "CSS Block", "Property" },
            { "p /* x", 0, "CSS", "Selector" },
            { "x */", 0, "CSS", "Comment" },
            { "color: blue", 0, "CSS Block", "Property" },
            { "a } here", 2, "CSS", "Comment" },
            { "em {", 0, "CSS", "Selector" },
            { "top: 0", 0, "CSS Block", "Property" },
            { "i {", 0, "CSS", "Selector" },
            { "left: 0", 0, "CSS Block", "Property" },
        });
}

// A page's style element is coloured as a style sheet of its own.
TEST_F(TodaysColoringTest, CSSInsideAStyleElement)
{
    const QString page = QStringLiteral(
        "<style>\n"
        "@media print { body { color: red } }\n"
        "p { content: \"}</p>\"; margin: 0 /* ; */ auto; top: 0 }\n"
        "</style>\n"
        "<p class=\"x\">after</p>\n");
    SyntaxType* html = shippedType(QStringLiteral("HTML"));
    expectColours(html, page,
        {
            { "body {", 0, "CSS", "Selector" },
            { "color: red", 0, "CSS Block", "Property" },
            { "}</p>", 0, "CSS Block", "String" },
            { "margin", 0, "CSS Block", "Property" },
            { "; */", 0, "CSS", "Comment" },
            { "auto;", 0, "CSS Block", "Value" },
            { "top: 0", 0, "CSS Block", "Property" },
            { "</style>", 1, "HTML", "Tag" },
            { "<p class", 1, "HTML", "Tag" },
            { "class=", 0, "HTML", "Attribute" },
            { "after", 0, "HTML", nullptr },
        });
}

TEST_F(TodaysColoringTest, PHPHereAndNowDocuments)
{
    const QString page = QStringLiteral(
        "<?php\n"
        "$html = <<<EOT\n"
        "  <p>It's \"quoted\" // not a comment $name</p>\n"
        "  EOTX is not the end\n"
        "  EOT;\n"
        "$raw = <<<'SQL'\n"
        "SELECT * FROM t WHERE a = 'x' # no comment\n"
        "SQL;\n"
        "$after = strlen($html); // a comment\n"
        "?>\n");
    SyntaxType* php = shippedType(QStringLiteral("PHP"));
    expectColours(php, page,
        {
            { "It's", 0, "PHP", "String" },
            { "// not a comment", 3, "PHP", "String" },
            { "EOTX is not", 0, "PHP", "String" },
            { "SELECT", 0, "PHP", "String" },
            { "# no comment", 2, "PHP", "String" },
            { "$after", 1, "PHP", "Variable" },
            { "// a comment", 3, "PHP", "Comment" },
        });
}

TEST_F(TodaysColoringTest, XMLAndSVGFilesAreColouredAsMarkup)
{
    SyntaxType* svg = shippedType(QStringLiteral("XML"));
    ASSERT_TRUE(svg);
    for (const char* extension : { "xml", "svg", "xsl", "rss" })
        EXPECT_TRUE(svg->defaultExtensions().contains(QString::fromUtf8(extension))) << extension;
    const QString text = QStringLiteral(
        "<?xml version=\"1.0\"?>\n"
        "<!-- a logo -->\n"
        "<svg xmlns=\"http://www.w3.org/2000/svg\" viewBox=\"0 0 10 10\">\n"
        "  <path d=\"M0 0h10\" fill=\"none\"/>\n"
        "  <text>caf&amp;e</text>\n"
        "</svg>\n");
    expectColours(svg, text,
        {
            { "<svg", 1, "HTML", "Tag" },
            { "viewBox", 0, "HTML", "Attribute" },
            { "\"0 0 10 10\"", 1, "HTML", "Attribute Value" },
            { "<path", 2, "HTML", "Tag" },
            { "a logo", 0, "HTML", "Comment" },
            { "caf", 0, "HTML", nullptr },
        });
}

} // namespace
