// The shipped grammars through the real colouring engine on code as written
// today: nested CSS rules and comments inside declarations, PHP here- and
// now-documents, and XML and SVG files coloured as markup.

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
        kit::TextStorage storage(text);
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
