#include "componentui/KELColorFontVariableControllers.h"

#include "ComponentUITestSupport.h"
#include "support/ColorAdditions.h"

#include <gtest/gtest.h>

TEST(KELColorFontVariableControllerTest, ColoursReadAsNamesOrHexadecimal)
{
    struct Case {
        QString value;
        QString hex;
    };
    for (const Case& c : { Case { QStringLiteral("#abc"), QStringLiteral("aabbcc") }, Case { QStringLiteral("#abcd"), QStringLiteral("ffffff") },
             Case { QString(), QStringLiteral("ffffff") }, Case { QStringLiteral("#1F4E79"), QStringLiteral("1f4e79") } })
        EXPECT_EQ(htmlHexValue(KELColorVariableController::colorForValue(c.value)).toLower(), c.hex) << c.value.toStdString();
    EXPECT_EQ(KELColorVariableController::rgbaText(QColor(255, 128, 0), 75), QStringLiteral("rgba(255, 128, 0, 0.75)"));

    QTemporaryDir dir;
    const auto tree = componentuitest::makeTree(dir, QStringLiteral("<c:varGroup><c:color var=\"c\" name=\"C\" defaultValue=\"Red\" opacity=\"true\"/></c:varGroup>"));
    ASSERT_TRUE(tree.root);
    EXPECT_EQ(tree.root->valueForKeyPath(QStringLiteral("c.hexValue")).toString(), QStringLiteral("ff0000"));
    tree.root->setValueForKeyPath(QStringLiteral("c.opacity"), 50.7);
    EXPECT_EQ(tree.root->valueForKeyPath(QStringLiteral("c.opacity")).toLongLong(), 50);
    EXPECT_EQ(tree.root->valueForKeyPath(QStringLiteral("c.rgbaValue")).toString(), QStringLiteral("rgba(255, 0, 0, 0.50)"));
}

TEST(KELColorFontVariableControllerTest, FontRulesAreSafeCss)
{
    struct Family {
        QString typed;
        QString css;
    };
    for (const Family& f : { Family { QStringLiteral("Georgia"), QStringLiteral("Georgia") },
             Family { QStringLiteral("Georgia, serif"), QStringLiteral("Georgia, serif") },
             Family { QStringLiteral("Times New Roman"), QStringLiteral("'Times New Roman'") },
             Family { QStringLiteral("Evil\"; } body { x"), QStringLiteral("'Evil\\22 ; } body { x'") },
             Family { QStringLiteral("It's"), QStringLiteral("'It\\'s'") } })
        EXPECT_EQ(KELFontVariableController::cssFamily(f.typed), f.css) << f.typed.toStdString();

    QTemporaryDir dir;
    const auto tree = componentuitest::makeTree(dir,
        QStringLiteral("<c:varGroup><c:font var=\"f\" name=\"F\" defaultFontName=\"Times New Roman\" defaultFontSize=\"12\"/></c:varGroup>"), true);
    ASSERT_TRUE(tree.root);
    auto* font = componentuitest::controllerAt<KELFontVariableController>(tree.root, QStringLiteral("f"));
    ASSERT_TRUE(font);
    font->setValue(QStringLiteral("italic"), true);
    ASSERT_TRUE(font->css());
    EXPECT_EQ(font->css()->shortText(), QStringLiteral("font-family: 'Times New Roman'; font-size: 12.0px; font-style: italic;"));
    EXPECT_EQ(tree.root->valueForKeyPath(QStringLiteral("f.css")).value<kit::KeyValueObjectPtr>()->description(), font->css()->shortText());
    font->setValue(QStringLiteral("sizeType"), 1);
    EXPECT_EQ(font->selectedFontSizeInPixels().toLongLong(), 16);
    font->setValue(QStringLiteral("size"), -4);
    font->setValue(QStringLiteral("family"), QString());
    font->setValue(QStringLiteral("italic"), false);
    EXPECT_EQ(font->css(), nullptr);

    KELCSSRule rule;
    rule.declarations = { { QStringLiteral("font-family"), QStringLiteral("Georgia") }, { QStringLiteral("font-weight"), QStringLiteral("bold") } };
    EXPECT_EQ(rule.shortText(), QStringLiteral("font-family: Georgia; font-weight: bold;"));
    EXPECT_EQ(rule.fullText(), QStringLiteral("font-family: Georgia;\n\tfont-weight: bold;"));
    rule.selectors = { QStringLiteral("p") };
    EXPECT_EQ(rule.shortText(), QStringLiteral("p { font-family: Georgia; font-weight: bold; }"));
    EXPECT_EQ(rule.fullText(), QStringLiteral("p {\n\tfont-family: Georgia;\n\tfont-weight: bold;\n}"));
}
