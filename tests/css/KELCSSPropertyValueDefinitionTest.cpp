// Single-token value nodes: each value is accepted, or reported with the exact
// message; "e:" marks errors that are shown but do not make the value invalid.
#include "CSSTestSupport.h"
#include "css/KELCSSPropertyDimensionValueDefinition.h"

#include <gtest/gtest.h>

namespace {

struct ValueCase {
    const char* grammar;
    const char* value;
    QStringList messages;
    bool valid;
};

void runTable(const std::vector<ValueCase>& cases)
{
    for (const ValueCase& c : cases) {
        const csstest::Match m = csstest::match(QString::fromUtf8(c.grammar), QString::fromUtf8(c.value));
        EXPECT_EQ(m.messages, c.messages) << c.grammar << " / " << c.value;
        EXPECT_EQ(m.valid, c.valid) << c.grammar << " / " << c.value;
    }
}

} // namespace

TEST(KELCSSPropertyValueDefinitionTest, SingleTokenValues)
{
    const QString lengthUnits = KELCSSPropertyDimensionValueDefinition::validUnitsForType(QStringLiteral("length")).join(QStringLiteral(", "));
    runTable({
        { "<length>", "0", {}, true },
        { "<length>", "5", { "e: Invalid Length Value / Length units can be omitted only for '0'. Otherwise a unit (px, pt, etc.) must be specified." }, true },
        { "<length>", "10PX", {}, true },
        { "<length>", "10rem", {}, true },
        { "<length>", "10furlong",
            { QStringLiteral("E: Unrecognized Dimension / The dimension \"furlong\" is not recognized for length values. One of the following was expected: %1.").arg(lengthUnits) },
            false },
        { "<length ≥0>", "-1px", { "e: Non-Negative Value Required / The value must be greater than or equal to 0." }, true },
        { "<length>", "auto", { "E: Unexpected Value Type / Value type <dimension> was expected, but the actual value was of type <identifier>." }, false },
        { "[ a | inherit ]", "INHERIT", {}, true },
        { "<identifier>", "inherit", { "E: Unrecognized Value / The value \"inherit\" is not recognized." }, false },
        { "<identifier except none>", "None", { "E: Unrecognized Value / The value \"None\" is not recognized." }, false },
        { "[ none | auto ]", "Foo",
            { "E: Unrecognized Value / The value \"Foo\" is not recognized for the property \"x\". One of the following was expected: auto, none." }, false },
        { "<number 0..1 warning>", "1.5", { "W: Value Not in Valid Range / The value \"1.5\" must be between 0 and 1." }, true },
        { "<number 0..1>", "-2", { "e: Value Not in Valid Range / The value \"-2\" must be between 0 and 1." }, true },
        { "<integer ≥1>", "0", { "e: Value Not in Valid Range / The value \"0\" must be greater than or equal to 1." }, true },
        { "<integer>", "1.5", { "e: Invalid Integer Value / A real number was found where an integer was expected (remove the \".\" from the number)." }, true },
        { "<integer>", "a", { "E: Unexpected Value Type / Value type <number> was expected, but the actual value was of type <identifier>." }, false },
        { "<percentage 0..100>", "150%", { "e: Value Not in Valid Range / The value \"150%\" must be between 0 and 100." }, true },
        { "<time>", "0", {}, true },
        { "<time>", "0.5", {}, true },
        { "<time>", "1", { "E: Unexpected Value Type / Value type <dimension> was expected, but the actual value was of type <number>." }, false },
        { "<time>", "200MS", {}, true },
        { "<angle>", "0.25turn", {}, true },
        { "<resolution>", "2x", {}, true },
        { "<string of 1 character>", "'ab'", { "e: Invalid String Value / Expected a string with 1 character." }, true },
        { "<letter>", "ab", { "e: Invalid Value / Expected a single letter character." }, true },
        { "<letter>", "_", { "e: Invalid Value / Expected a single letter character (the character '_' is not a letter)." }, true },
        { "'/'", ",",
            { "E: Unrecognized Delimiter / The delimiter \",\" is not recognized for the property \"x\". The following delimiter was expected: /." }, false },
        { "foo( <number> )", "FOO(1)", {}, true },
        { "foo( <number> )", "foo(1, 2)",
            { "e: Invalid Function Parameters / There are too many values or unexpected values for the function \"foo\", beginning with \",\".\nValue type <number> was expected." },
            true },
        { "foo( <number> )", "bar(1)", { "E: Unrecognized Function Name / Expected a function named \"foo\"." }, false },
        { "<number>", "", { "E: Missing Value / The property \"x\" is missing a value." }, false },
        { "<unicode-range>", "U+26", {}, true },
        { "<uri>", "url(x.png)", {}, true },
        { "<any-value>", "+", {}, true },
    });
}

TEST(KELCSSPropertyValueDefinitionTest, AttrInPlaceOfAValue)
{
    runTable({
        { "<length>", "attr(data-x, length)", {}, true },
        { "<length>", "attr(data-x, color)",
            { "E: Unexpected Value Type / Value type <dimension> was expected, but the type specified or implied in attr() is <hash>.",
                QStringLiteral("E: Unexpected Value Type / Expected one of the following values for the type parameter in attr(): length, %1")
                    .arg(KELCSSPropertyDimensionValueDefinition::validUnitsForType(QStringLiteral("length")).join(QStringLiteral(", "))) },
            false },
        { "<string>", "attr(title)", {}, true },
        { "<integer>", "attr(data-n, integer)", {}, true },
        { "<integer>", "attr(data-n, number)", { "E: Unexpected Value Type / Expected the value \"integer\" for the type parameter in attr()." }, false },
    });
}

TEST(KELCSSPropertyValueDefinitionTest, HashColours)
{
    runTable({
        { "<color>", "#abc", {}, true },
        { "<color>", "#AABBCC", {}, true },
        { "<color>", "#aabbcc80", {}, true },
        { "<color>", "#ab",
            { "e: Invalid Color Value / Colors should be represented as \"#\" followed by either 3 or 6 hexadecimal characters (0 to 9, or 'a' to 'f')." },
            true },
    });
}
