// Rule-level checks: declarations, declaration blocks, at-rules, documents and
// pseudo selectors, end to end through the parser.
#include "CSSTestSupport.h"

#include <gtest/gtest.h>

using csstest::checkSheet;
using csstest::dump;
using csstest::titles;

TEST(KELCSSPropertyDefinitionTest, InheritImportantAndLeftOverValues)
{
    EXPECT_TRUE(checkSheet(QStringLiteral("a { color: inherit; background-color: INITIAL }")).isEmpty());
    EXPECT_TRUE(checkSheet(QStringLiteral("a { color: red !important }")).isEmpty());
    EXPECT_TRUE(checkSheet(QStringLiteral("a { color: unset; margin: revert }")).isEmpty());

    const KELSyntaxCheckErrors errors = checkSheet(QStringLiteral("a { color: red blue }"));
    ASSERT_EQ(errors.size(), 1) << dump(errors);
    EXPECT_EQ(errors[0].title(), QStringLiteral("Unexpected Values"));
    EXPECT_TRUE(errors[0].description().startsWith(
        QStringLiteral("There are too many values or unexpected values for the property \"color,\" beginning with \"blue\".\n")));
    EXPECT_EQ(errors[0].textRange(), kit::Range(15, 4));
}

TEST(KELCSSPropertyDefinitionTest, UnknownAndVendorSpecificProperties)
{
    QVariantMap run;
    const KELSyntaxCheckErrors first = checkSheet(QStringLiteral("a { -webkit-border-radius: 3px; -webkit-box-shadow: none; colour: red }"), &run);
    ASSERT_EQ(first.size(), 2) << dump(first);
    EXPECT_EQ(first[0].level(), 0);
    EXPECT_EQ(first[0].description(),
        QStringLiteral("\"-webkit-border-radius\" is a vendor-specific property with prefix \"-webkit-\". Further warnings for this prefix will be supressed."));
    EXPECT_EQ(first[1].description(), QStringLiteral("\"colour\" is not a valid CSS property name."));
    // The same run (another style block or attribute) warns about a new prefix only.
    const KELSyntaxCheckErrors second = csstest::checkStyleAttribute(QStringLiteral("-webkit-transition: none; -moz-opacity: 1; -x: 1"), &run);
    EXPECT_EQ(titles(second), QStringList({ "Vendor-Specific Property", "Unknown Property" })) << dump(second);
    EXPECT_TRUE(second[0].description().contains(QStringLiteral("-moz-")));
    // Without a run there is nothing to remember, and no promise in the message.
    const KELSyntaxCheckErrors alone = csstest::checkStyleAttribute(QStringLiteral("-o-x: 1"));
    ASSERT_EQ(alone.size(), 1);
    EXPECT_EQ(alone[0].description(), QStringLiteral("\"-o-x\" is a vendor-specific property with prefix \"-o-\"."));
}

TEST(KELCSSPropertyDefinitionTest, RedefinitionOnlyAfterAValidDeclaration)
{
    const KELSyntaxCheckErrors twice = checkSheet(QStringLiteral("a { color: red; COLOR: blue }"));
    ASSERT_EQ(twice.size(), 1) << dump(twice);
    EXPECT_EQ(twice[0].title(), QStringLiteral("Property Redefinition"));
    EXPECT_EQ(twice[0].level(), 0);
    EXPECT_EQ(twice[0].description(), QStringLiteral("The property \"COLOR\" was defined previously in the declaration block."));
    const KELSyntaxCheckErrors invalidFirst = checkSheet(QStringLiteral("a { color: nonsense; color: blue }"));
    EXPECT_EQ(titles(invalidFirst), QStringList { "Invalid Property Value" }) << dump(invalidFirst);
}

TEST(KELCSSPropertyDefinitionTest, OrderOfCharsetImportAndNamespace)
{
    const struct {
        const char* css;
        QStringList titles;
    } cases[] = {
        { "@charset \"utf-8\"; @import 'a.css'; @namespace svg url(http://www.w3.org/2000/svg); a {}", {} },
        { "a {} @import 'a.css';", { "@import Error" } },
        { "@namespace x 'y'; @import 'a.css';", { "@import Error" } },
        { "@media print {} @namespace x 'y';", { "@namespace Error" } },
        { "@foo; @import 'a.css';", { "Unknown At-Rule" } },
        { "@CHARSET 'utf-8';", { "@charset Error" } },
        { " @charset 'utf-8';", { "@charset Error" } },
    };
    for (const auto& c : cases) {
        const KELSyntaxCheckErrors errors = checkSheet(QString::fromUtf8(c.css));
        EXPECT_EQ(titles(errors), c.titles) << c.css << "\n" << dump(errors);
    }
    EXPECT_EQ(checkSheet(QStringLiteral("@CHARSET 'utf-8';"))[0].description(), QStringLiteral("@charset must be entirely lowercase."));
}

TEST(KELCSSPropertyDefinitionTest, AtRulePreludesAndBodies)
{
    const struct {
        const char* css;
        QStringList titles;
    } cases[] = {
        { "@media screen and (min-width: 600px), print { a { color: red } }", {} },
        { "@media (max-width: 600px) {}", {} },
        { "@media (min-width: 1px) and (max-width: 2px) and (orientation: portrait) {}", {} },
        { "@media only screen and (color) {}", {} },
        { "@media (aspect-ratio: 16/9) {}", {} },
        { "@media only screen and (-webkit-min-device-pixel-ratio: 1.5), (min--moz-device-pixel-ratio: 1.5), (-o-min-device-pixel-ratio: 3/2) {}", {} },
        { "@media (min-orientation: portrait) {}", { "Unexpected Values" } },
        { "@import url(a.css) screen, print;", {} },
        { "@page :first { margin: 1in }", {} },
        { "@page auto { }", { "Unexpected Values" } },
        { "@page :middle { }", { "Unexpected Values" } },
        { "@page { @top-left { content: 'x' } @left-bottom { } }", {} },
        { "@page { @foo { } }", { "Unknown At-Rule" } },
        { "@media print;", { "At-Rule Syntax Error" } },
        { "@page;", { "At-Rule Syntax Error" } },
        { "@font-face foo { font-family: x }", { "Unexpected Values" } },
        { "@font-face { font-family: Foo Bar; src: url(a.woff) format('woff'), local(Foo) }", {} },
        { "@font-face { font-weight: inherit }", { "Invalid Property Value" } },
        { "@font-face { color: red }", { "Unknown Property" } },
        { "@counter-style x { system: cyclic }", {} },
        { "@property --x { syntax: '<length>'; color: red }", { "Unknown Property" } },
    };
    for (const auto& c : cases) {
        const KELSyntaxCheckErrors errors = checkSheet(QString::fromUtf8(c.css));
        EXPECT_EQ(titles(errors), c.titles) << c.css << "\n" << dump(errors);
    }
    EXPECT_EQ(checkSheet(QStringLiteral("@page { @foo { } }"))[0].description(), QStringLiteral("\"foo\" is not a valid page margin at-rule name."));
    const KELSyntaxCheckErrors media = checkSheet(QStringLiteral("@media print;"));
    EXPECT_EQ(media[0].description(), QStringLiteral("Expected a set of rules delimited by curly braces at the end of the at-rule."));
    EXPECT_EQ(checkSheet(QStringLiteral("@page;"))[0].description(), QStringLiteral("Expected a declaration block at the end of the at-rule."));
}

TEST(KELCSSPropertyDefinitionTest, PseudoClassArguments)
{
    const struct {
        const char* selector;
        const char* description; // nullptr: accepted
    } cases[] = {
        { "li:nth-child(2n + 1)", nullptr },
        { "li:nth-child(-n+3)", nullptr },
        { "li:nth-child(odd)", nullptr },
        { "li:NTH-CHILD(ODD)", nullptr },
        { "li:nth-child(5)", nullptr },
        { "li:nth-child()", "Expected value in parentheses to be 'odd', 'even', or have the form 'an+b', where 'a' and 'b' are integers." },
        { "li:nth-child(2n+)", "Expected value in parentheses to be 'odd', 'even', or have the form 'an+b', where 'a' and 'b' are integers." },
        { "li:nth-child(foo)", "Expected value in parentheses to be 'odd', 'even', or have the form 'an+b', where 'a' and 'b' are integers." },
        { "p:lang(en)", nullptr },
        { "p:lang( en )", nullptr },
        { "p:lang(en fr)", "The pseudo-class selector \"lang\" should have a single identifier specified in parentheses." },
        { "p:lang()", "The pseudo-class selector \"lang\" should have a single identifier specified in parentheses." },
        // Today's negation takes any selector list, negations included.
        { "p:not(:not(b))", nullptr },
        { "p:not(::before)", "A pseudo-element cannot be used as the argument for negation." },
        { "p:hover(1)", "The pseudo-class selector \"hover\" should not have parenthetical values." },
        { "p:before", nullptr },
        { "p::first-line", nullptr },
        { "p:Hover", nullptr },
        { "p:is(h1, h2) :where(.a) :has(> img)", nullptr },
    };
    for (const auto& c : cases) {
        const KELSyntaxCheckErrors errors = checkSheet(QString::fromUtf8(c.selector) + QStringLiteral(" {}"));
        if (!c.description) {
            EXPECT_TRUE(errors.isEmpty()) << c.selector << "\n" << dump(errors);
            continue;
        }
        ASSERT_EQ(errors.size(), 1) << c.selector << "\n" << dump(errors);
        EXPECT_EQ(errors[0].title(), QStringLiteral("Pseudo-Class Selector Error")) << c.selector;
        EXPECT_EQ(errors[0].description(), QString::fromUtf8(c.description)) << c.selector;
    }
    const KELSyntaxCheckErrors lang = checkSheet(QStringLiteral("p:lang(en fr) {}"));
    EXPECT_EQ(lang[0].textRange(), kit::Range(10, 2)); // at "fr"
}

TEST(KELCSSPropertyDefinitionTest, GivenRowsAndFontFaceDescriptors)
{
    const struct {
        const char* css;
        bool clean;
    } cases[] = {
        { "a { font-weight: 950 }", true },
        { "@font-face { font-weight: bolder }", false },
        { "a { list-style-type: lao }", true },
        { "a { display: ruby-text-group }", true },
        { "a { color-profile: srgb }", true },
        { "a { transform: rotate3d(1, 0, 0) }", true },
        { "a { border-radius: 5px / 10px }", true },
        { "a { border-radius: 5px / 10px / 2px }", false },
        { "a { background: url(a.png), url(b.png) red }", true },
        { "a { background: red, url(a.png) }", false },
    };
    for (const auto& c : cases) {
        const KELSyntaxCheckErrors errors = checkSheet(QString::fromUtf8(c.css));
        EXPECT_EQ(errors.isEmpty(), c.clean) << c.css << "\n" << dump(errors);
    }
    // Shown, but not invalidating: the declaration still counts as matched.
    for (const char* css : { "a { opacity: 1.5 }", "a { transform: matrix(1, 0, 0, 1) }" }) {
        const KELSyntaxCheckErrors errors = checkSheet(QString::fromUtf8(css));
        ASSERT_FALSE(errors.isEmpty()) << css;
        EXPECT_TRUE(KELCSSPropertyValueDefinition::validErrorsArray(errors)) << css << "\n" << dump(errors);
    }
}
