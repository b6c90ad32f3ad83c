// calc() and the other math functions where a length is expected: every
// message is shown, none makes the declaration invalid.
#include "CSSTestSupport.h"

#include <gtest/gtest.h>

TEST(KELCSSPropertyCalcValueDefinitionTest, Expressions)
{
    const struct {
        const char* value;
        QStringList titles;
    } cases[] = {
        { "calc(100% - 10px)", {} },
        { "calc(2 * 10px)", {} },
        { "calc(10px * 2)", {} },
        { "calc(10px / 2)", {} },
        { "calc((1px + 2px) * 3)", {} },
        { "calc(1px - -2px)", {} },
        { "calc(1px -2px)", {} },
        { "calc(10px mod 3)", {} },
        { "calc(10px / 2px)", { "Unexpected Value Type", "Invalid Calc Expression" } },
        { "calc(10px 5px)", { "Invalid Length Value", "Invalid Calc Expression" } },
        { "calc(0 + 1px)", { "Invalid Length Value", "Invalid Calc Expression" } },
        { "calc(2px * auto)", { "Invalid Operand", "Invalid Calc Expression" } },
        { "calc(2px * 3px)", { "Unexpected Value Type", "Invalid Calc Expression" } },
        { "calc()", { "Expected Length Expression", "Invalid Calc Expression" } },
        { "calc(1px + (2px", { "Unmatched Parentheses", "Invalid Calc Expression" } },
        { "min(100%, 600px)", {} },
        { "max(1rem, 2vw)", {} },
        { "clamp(1rem, 2vw + 1rem, 3rem)", {} },
        { "clamp(1rem, 2vw)", { "Invalid Calc Expression" } },
        { "calc(100% - calc(2 * 1rem))", {} },
    };
    for (const auto& c : cases) {
        const csstest::Match m = csstest::match(QStringLiteral("<length>"), QString::fromUtf8(c.value));
        QStringList titles;
        for (const QString& message : m.messages) {
            EXPECT_TRUE(message.startsWith(QStringLiteral("e: "))) << c.value << ": " << message.toStdString();
            titles.append(message.mid(3).section(QStringLiteral(" / "), 0, 0));
        }
        EXPECT_EQ(titles, c.titles) << c.value << "\n" << m.messages.join(QLatin1Char('\n')).toStdString();
        EXPECT_TRUE(m.valid) << c.value;
    }
}

TEST(KELCSSPropertyCalcValueDefinitionTest, UnclosedCalcReportsTheParserError)
{
    const KELSyntaxCheckErrors errors = csstest::checkStyleAttribute(QStringLiteral("width: calc(1px + (2px;"));
    const QStringList titles = csstest::titles(errors);
    EXPECT_TRUE(titles.contains(QStringLiteral("Function Parse Error"))) << csstest::dump(errors);
    EXPECT_TRUE(titles.contains(QStringLiteral("Unmatched Parentheses"))) << csstest::dump(errors);
}

TEST(KELCSSPropertyCalcValueDefinitionTest, LongAndDeepExpressionsDoNotExhaustTheStack)
{
    const QString deep = QStringLiteral("calc(") + QString(200000, QLatin1Char('(')) + QStringLiteral("1px") + QString(200000, QLatin1Char(')'))
        + QStringLiteral(")");
    const csstest::Match nested = csstest::match(QStringLiteral("<length>"), deep);
    EXPECT_TRUE(nested.valid);
    EXPECT_TRUE(nested.messages.contains(QStringLiteral("e: Invalid Calc Expression / The calc expression is not valid.")));
    const QString sum = QStringLiteral("calc(1px") + QStringLiteral(" + 1px * 2 / 3").repeated(200000) + QStringLiteral(")");
    EXPECT_TRUE(csstest::match(QStringLiteral("<length>"), sum).messages.isEmpty());
}
