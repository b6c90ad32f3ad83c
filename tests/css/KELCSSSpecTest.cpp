// The grammar data: every row compiles, every name it refers to is defined, and
// the given table keeps its rows; lookups ignore case.
#include "css/KELCSSSpec.h"
#include "css/KELCSSPropertyValueDefinition.h"

#include <gtest/gtest.h>

#include <QSet>

TEST(KELCSSSpecTest, GrammarDataCompilesWithoutFaults)
{
    const KELCSSSpec& grammar = KELCSSSpec::sharedInstance();
    EXPECT_TRUE(grammar.loadErrors().isEmpty()) << grammar.loadErrors().join(QLatin1Char('\n')).toStdString();
}

TEST(KELCSSSpecTest, GivenPropertyTableHasItsRowsOnce)
{
    const KELCSSSpec& grammar = KELCSSSpec::sharedInstance();
    const QStringList& given = grammar.givenPropertyNames();
    EXPECT_EQ(given.size(), 291);
    EXPECT_EQ(QSet<QString>(given.begin(), given.end()).size(), 291);
    for (const QString& name : given) {
        EXPECT_EQ(name, name.toLower());
        EXPECT_NE(grammar.propertyValueDef(name), nullptr) << name.toStdString();
    }
    for (const QString& name : grammar.addedPropertyNames())
        EXPECT_FALSE(given.contains(name)) << name.toStdString() << " is given already; extend it instead";
}

TEST(KELCSSSpecTest, LookupsIgnoreCase)
{
    const KELCSSSpec& grammar = KELCSSSpec::sharedInstance();
    EXPECT_NE(grammar.pseudoClassDefinitionForName(QStringLiteral("HOVER")), nullptr);
    EXPECT_NE(grammar.pseudoClassDefinitionForName(QStringLiteral("Nth-Child")), nullptr);
    EXPECT_NE(grammar.pseudoElementDefinitionForName(QStringLiteral("First-Line")), nullptr);
    EXPECT_NE(grammar.atRuleForName(QStringLiteral("MEDIA")), nullptr);
    EXPECT_NE(grammar.marginAtRuleForName(QStringLiteral("top-LEFT")), nullptr);
    EXPECT_EQ(grammar.atRuleForName(QStringLiteral("foo")), nullptr);
    EXPECT_EQ(&KELCSSSpec::sharedInstance(), &grammar);
}

TEST(KELCSSSpecTest, BrokenGrammarFileIsReportedNotFatal)
{
    auto missing = KELCSSSpec::createFromFile(QStringLiteral("/nonexistent/grammar.txt"));
    ASSERT_FALSE(missing->loadErrors().isEmpty());
    EXPECT_NE(missing->standardDeclarationBlockDefinition(), nullptr);
}
