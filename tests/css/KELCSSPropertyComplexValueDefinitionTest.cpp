// Combining nodes: alternatives, sequences, any-order combinations,
// repetitions, and the colour, page-float and media-feature grammars.
#include "CSSTestSupport.h"
#include "css/KELCSSPropertyColorValueDefinition.h"
#include "kit/Resources.h"

#include <QFile>
#include <QRegularExpression>

#include <gtest/gtest.h>

namespace {

struct ComboCase {
    const char* grammar;
    const char* value;
    qsizetype consumed;
    bool valid;
    const char* firstTitle; // nullptr: no message expected
};

} // namespace

TEST(KELCSSPropertyComplexValueDefinitionTest, CombinatorsConsumeWhatTheyMatch)
{
    const ComboCase cases[] = {
        { "<length> | auto", "0", 1, true, nullptr },
        { "<length> | auto", "auto", 1, true, nullptr },
        { "<length> | auto", "foo", 0, false, "Invalid Property Value" },
        { "<number> ',' <number>", "1, 2", 3, true, nullptr },
        { "<number> ',' <number>", "1 2", 1, false, "Unexpected Value Type" },
        { "<number> [ ',' <number> ]?", "1 2", 1, true, nullptr },
        { "<number> [ ',' <number> [ ',' <number> ]? ]?", "1, 2", 3, true, nullptr },
        { "a || b || c", "c a", 2, true, nullptr },
        { "a || b || c", "a a", 1, true, nullptr },
        { "a || b || c", "d", 0, false, "Invalid Property Value" },
        { "a && b && c", "b c a", 3, true, nullptr },
        { "a && b && c", "a b d", 2, false, "Invalid Property Value" },
        { "a && b && c", "a b", 2, false, "Missing Value" },
        { "<number>{2,3}", "1 2 3 4", 3, true, nullptr },
        { "<number>{2,3}", "1", 1, false, "Invalid Property Value" },
        { "<number>+ sep ','", "1, 2, 3", 5, true, nullptr },
        { "<number>+ sep ','", "1, 2,", 3, true, nullptr },
        // A repetition whose item can match nothing must still end.
        { "[ <number>? ]*", "a", 0, true, nullptr },
        { "[ a? b? ]+", "c", 0, true, nullptr },
        // No backtracking: the optional integer takes the 0 the length needed.
        { "<integer>? <length>", "0", 1, false, "Missing Value" },
    };
    for (const ComboCase& c : cases) {
        const csstest::Match m = csstest::match(QString::fromUtf8(c.grammar), QString::fromUtf8(c.value));
        EXPECT_EQ(m.consumed, c.consumed) << c.grammar << " / " << c.value;
        EXPECT_EQ(m.valid, c.valid) << c.grammar << " / " << c.value << "\n" << m.messages.join(QLatin1Char('\n')).toStdString();
        if (c.firstTitle) {
            ASSERT_FALSE(m.messages.isEmpty()) << c.grammar << " / " << c.value;
            EXPECT_TRUE(m.messages.first().contains(QString::fromUtf8(c.firstTitle))) << c.grammar << " / " << c.value << ": "
                                                                                         << m.messages.first().toStdString();
        } else {
            EXPECT_TRUE(m.messages.isEmpty()) << c.grammar << " / " << c.value << ": " << m.messages.join(QLatin1Char('\n')).toStdString();
        }
    }
}

TEST(KELCSSPropertyComplexValueDefinitionTest, FailedAlternativesReportTheNodeDescription)
{
    const csstest::Match m = csstest::match(QStringLiteral("<length> | auto"), QStringLiteral("foo"));
    ASSERT_EQ(m.messages.size(), 1);
    EXPECT_EQ(m.messages.first(),
        QStringLiteral("E: Invalid Property Value / Expected a length value.\nOR\nOne of the following values was expected: auto."));
}

TEST(KELCSSPropertyComplexValueDefinitionTest, RepetitionShortDescriptions)
{
    const struct {
        const char* grammar;
        const char* shortText;
    } cases[] = {
        { "<number>?", "<number>?" },
        { "<number>*", "<number>*" },
        { "<number>+", "<number>+" },
        { "<number>{2,}", "<number>{2,inf}" },
        { "<number>{2,4}", "<number>{2,4}" },
        { "<number>* sep ','", "[[<number> ',']* <number>]?" },
        { "<number>+ sep ','", "[<number> ',']* <number>" },
        { "<number>{3,} sep ','", "[<number> ',']{2,inf} <number>" },
        { "<number>{0,3} sep ','", "[[<number> ',']{0,2} <number>]?" },
        { "<number>{2,4} sep ','", "[<number> ',']{1,3} <number>" },
        { "a || b", "[[a] || [b]]" },
    };
    for (const auto& c : cases) {
        const KELCSSPropertyValueDefinition* def = KELCSSSpec::sharedInstance().compileForTesting(QString::fromUtf8(c.grammar));
        ASSERT_TRUE(def) << c.grammar;
        EXPECT_EQ(def->displayExpectedValuesDescription(), QString::fromUtf8(c.shortText)) << c.grammar;
    }
}

TEST(KELCSSPropertyComplexValueDefinitionTest, Colours)
{
    const struct {
        const char* value;
        QStringList messages;
        bool valid;
    } cases[] = {
        { "steelblue", {}, true },
        { "TRANSPARENT", {}, true },
        { "currentColor", {}, true },
        { "rgb(255, 0, 300)", { "W: Value Not in Valid Range / The value \"300\" must be between 0 and 255." }, true },
        { "rgba(0,0,0,0.5)", {}, true },
        { "rgb(10%, 20%, 30%)", {}, true },
        { "rgb(0 0 0 / 50%)", {}, true },
        { "hsl(210deg 40% 50%)", {}, true },
        { "hsla(120, 100%, 50%, .3)", {}, true },
        { "cmyk(0, 0, 0, 1)", {}, true },
        { "nocolour", {}, false },
    };
    for (const auto& c : cases) {
        const csstest::Match m = csstest::match(QStringLiteral("<color>"), QString::fromUtf8(c.value));
        if (c.valid) {
            EXPECT_EQ(m.messages, c.messages) << c.value;
        }
        EXPECT_EQ(m.valid, c.valid) << c.value;
    }
    // Four numbers exactly: the function token still matches, with the complaint shown.
    const csstest::Match cmyk = csstest::match(QStringLiteral("<color>"), QStringLiteral("cmyk(0,0,0)"));
    EXPECT_TRUE(cmyk.valid);
    ASSERT_FALSE(cmyk.messages.isEmpty());
    EXPECT_TRUE(cmyk.messages.first().startsWith(QStringLiteral("e: Invalid Function Value"))) << cmyk.messages.first().toStdString();
}

TEST(KELCSSPropertyComplexValueDefinitionTest, ColourNamesComeFromTheColourTable)
{
    const QSet<QString>& names = KELCSSPropertyColorValueDefinition::colorNames();
    EXPECT_TRUE(names.contains(QStringLiteral("rebeccapurple")));
    QFile plist(kit::resourcePath(QStringLiteral("ColorNames.plist")));
    if (!plist.open(QIODevice::ReadOnly))
        GTEST_SKIP() << "no colour table";
    const QString text = QString::fromUtf8(plist.readAll());
    static const QRegularExpression key(QStringLiteral("<key>([^<]+)</key>"));
    int count = 0;
    for (auto it = key.globalMatch(text); it.hasNext(); ++count) {
        const QString name = it.next().captured(1).toLower();
        EXPECT_TRUE(names.contains(name)) << name.toStdString();
    }
    EXPECT_GT(count, 0);
}

TEST(KELCSSPropertyComplexValueDefinitionTest, PageFloats)
{
    const csstest::Match both = csstest::match(QStringLiteral("<page-float>"), QStringLiteral("left none"));
    EXPECT_EQ(both.messages, QStringList { "E: Invalid Page Float / Keywords \"none\", \"hide\", \"footnote\", and the page() expression cannot appear with a horizontal or vertical keyword." });
    EXPECT_TRUE(csstest::match(QStringLiteral("<page-float>"), QStringLiteral("top")).messages.isEmpty());
    EXPECT_TRUE(csstest::match(QStringLiteral("<page-float>"), QStringLiteral("page(x) unless-room")).messages.isEmpty());
    const csstest::Match next = csstest::match(QStringLiteral("<page-float>"), QStringLiteral("next"));
    EXPECT_EQ(next.messages, QStringList { "E: Invalid Page Float / One of the following  must appear in a page float: \"left\", \"right\", \"inside\", \"outside\", \"top\", \"bottom\", \"none\", \"hide\", \"footnote\", or the page() expression." });
}
