// The shipped grammars take the text of today's HTML, CSS, JavaScript and PHP
// as complete structures, and tell keywords from other names.

#include "GrammarProbe.h"

#include "kit/Resources.h"
#include "syntax/SyntaxManager.h"

#include <gtest/gtest.h>

namespace {

TEST(ShippedGrammar, StructuresMatchWholeTexts)
{
    SyntaxManager manager(kit::resourcesPath() + QStringLiteral("/Syntax"));
    struct Case
    {
        const char* type;
        const char* structure;
        const char* text;
        bool complete;
        qsizetype covered; // -1: the whole text
        const char* following = ""; // text after the structure (looked at by ends outside it)
    } const cases[] = {
        { "HTML", "startTag", "<div>", true, -1 },
        { "HTML", "startTag", "<a href=\"x.html\" class='nav main' hidden>", true, -1 },
        { "HTML", "startTag", "<img src=a.png alt=\"\" data-size = 3 />", true, -1 },
        { "HTML", "startTag", "<br/>", true, -1 },
        { "HTML", "startTag", "<my-element aria-label=\"\xc3\xa9t\xc3\xa9\" @click=\"go()\">", true, -1 },
        { "HTML", "startTag", "<svg:rect x=\"1\">", true, -1 },
        { "HTML", "startTag", "<div class=\"a\" =>", false, -1 },
        { "HTML", "startTag", "< div>", false, -1 },
        { "HTML", "endTag", "</div >", true, -1 },
        { "HTML", "comment", "<!-- a -- b -->", true, -1 },
        { "HTML", "declaration", "<!DOCTYPE html>", true, -1 },
        { "HTML", "cdata", "<![CDATA[ x < y ]]>", true, -1 },
        { "HTML", "ssiDirective", "<!--#include virtual=\"/footer.html\" -->", true, -1 },
        { "HTML", "php", "<?php echo $x; ?>", true, -1 },
        { "HTML", "processingInstruction", "<?xml version=\"1.0\"?>", true, -1 },
        { "CSS", "commentBlock", "/* a */", true, -1 },
        { "CSS", "selector", "nav > a:hover::after, .x[data-y=\"1\"] ", true, -1, "{" },
        { "CSS", "block", "{ color: red }", true, -1 },
        { "CSS", "atRule", "@import url(a.css) screen;", true, -1 },
        { "CSS Block", "declaration", "color: red;", true, -1 },
        { "CSS Block", "declaration", "color:red}", true, -1 },
        { "CSS Block", "declaration", "margin: 0 auto !important;", true, -1 },
        { "CSS Block", "declaration", "--main-color: #06c;", true, -1 },
        { "CSS Block", "declaration", "width: calc(100% - 2 * var(--gap, 1rem));", true, -1 },
        { "CSS Block", "declaration", "font-family: \"Helvetica Neue\", Arial, sans-serif;", true, -1 },
        { "CSS Block", "declaration", "grid-template-columns: repeat(auto-fill, minmax(200px, 1fr));", true, -1 },
        { "CSS Block", "declaration",
            "background: url(\"a.png\") no-repeat, linear-gradient(to right, #fff 0%, rgba(0 0 0 / .5) 100%);", true,
            -1 },
        { "CSS Block", "declaration", "transform: translate(-50%, -50%) rotate(45deg);", true, -1 },
        { "CSS Block", "declaration", "content: '\\201C';", true, -1 },
        { "CSS Block", "declaration", "color red;", false, -1 },
        { "CSS Block", "comment", "/* top * or */", true, -1 },
        { "CSS Block", "declaration", "margin: 0 /* top */ auto;", true, -1 },
        { "CSS Block", "nestedSelector", "&:hover ", true, -1, "{" },
        { "CSS Block", "blockBrace", "}", true, 1 },
        { "JavaScript", "variable", "functional(", true, 10 },
        { "JavaScript", "variable", "$el.x", true, 3 },
        { "JavaScript", "variable", "#count = 0", true, 6 },
        { "JavaScript", "number", "0x1F_FFn;", true, 8 },
        { "JavaScript", "number", "1.5e3)", true, 5 },
        { "JavaScript", "templateLiteral", "`a ${b} \\` c`", true, -1 },
        { "JavaScript", "stringDouble", "\"a \\\" b\"", true, -1 },
        { "JavaScript", "regex", "/a[0-9]+\\//", true, -1 },
        { "JavaScript", "commentBlock", "/* a */", true, -1 },
        { "JavaScript", "brace", "{", true, 1 },
        { "PHP", "variable", "$user_name->x", true, 10 },
        { "PHP", "function", "Foo\\Bar::x", true, 7 },
        { "PHP", "delimiter", "<?php", true, 5 },
        { "PHP", "attribute", "#[Route('/')]", true, -1 },
        { "PHP", "stringDouble", "\"a {$b} \\\" c\"", true, -1 },
        { "PHP", "commentBlock", "/** @var int */", true, -1 },
    };
    for (const Case& c : cases) {
        const SyntaxType* type = manager.typeForName(QString::fromUtf8(c.type));
        ASSERT_TRUE(type) << c.type;
        const QString text = QString::fromUtf8(c.text);
        const syntaxtest::ProbeResult r = syntaxtest::probeRoot(
            *type, QString::fromUtf8(c.structure), text + QString::fromUtf8(c.following), text.size());
        EXPECT_EQ(r.valid, c.complete) << c.type << " " << c.structure << ": " << c.text;
        if (c.complete) {
            EXPECT_EQ(r.covered, c.covered < 0 ? text.size() : c.covered)
                << c.type << " " << c.structure << ": " << c.text;
        }
    }
}

TEST(ShippedGrammar, KeywordRulesMatchWholeNamesOnly)
{
    SyntaxManager manager(kit::resourcesPath() + QStringLiteral("/Syntax"));
    struct Case
    {
        const char* type;
        const char* rule;
        const char* name;
        bool matches;
    } const cases[] = {
        { "JavaScript", "Keyword", "function", true },
        { "JavaScript", "Keyword", "functional", false },
        { "JavaScript", "Keyword", "await", true },
        { "JavaScript", "Literal", "undefined", true },
        { "JavaScript", "Keyword", "document", false },
        { "PHP", "Keyword", "FUNCTION", true },
        { "PHP", "Keyword", "readonly", true },
        { "PHP", "Keyword", "matches", false },
        { "PHP", "Literal", "NULL", true },
    };
    for (const Case& c : cases) {
        const SyntaxType* type = manager.typeForName(QString::fromUtf8(c.type));
        bool found = false;
        for (const SyntaxColoringRule* rule : type->defaultStyle()->rulesWithName(QString::fromUtf8(c.rule))) {
            const SyntaxStructureText* text = rule->applyStructures().back()->text();
            ASSERT_TRUE(text);
            const QString name = QString::fromUtf8(c.name);
            if (text->longestMatchInString(name, kit::Range(0, name.size()), false) == name.size())
                found = true;
        }
        EXPECT_EQ(found, c.matches) << c.type << " " << c.name;
    }
}

} // namespace
