// Tokens as the parser reads them and as messages show them.
#include "CSSTestSupport.h"

#include <gtest/gtest.h>
#include <memory>
#include <thread>

namespace {

struct TokenCase {
    const char* text;
    qint32 type;
    const char* name; // nullptr: not checked
    const char* description;
    qsizetype length; // characters the token takes
    int subvalues = -1;
};

} // namespace

TEST(KELParsedCSSValueTest, TokenReaderTakesTheLongestToken)
{
    const TokenCase cases[] = {
        { "12px", KELParsedCSSValue::Dimension, "px", "12px", 4 },
        { "10PX", KELParsedCSSValue::Dimension, "PX", "10PX", 4 },
        { "-5px", KELParsedCSSValue::Dimension, "px", "-5px", 4 },
        { "50%", KELParsedCSSValue::Percentage, nullptr, "50%", 3 },
        { "5.", KELParsedCSSValue::Number, "5", "5", 1 },
        { ".5em", KELParsedCSSValue::Dimension, "em", "0.5em", 4 },
        { "5", KELParsedCSSValue::Number, "5", "5", 1 },
        { "u+0025-00ff", KELParsedCSSValue::UnicodeRange, "0025-00ff", "u+0025-00ff", 11 },
        { "url(a.png)", KELParsedCSSValue::URI, "a.png", "a.png", 10 },
        { "url( 'a b.png' )", KELParsedCSSValue::URI, "a b.png", "a b.png", 16 },
        { "rgb(1,2,3)", KELParsedCSSValue::Function, "rgb", "rgb()", 10, 5 },
        { "#abc", KELParsedCSSValue::Hash, "abc", "#abc", 4 },
        { "'it\\'s'", KELParsedCSSValue::String, "it's", "it's", 7 },
        { "\"\\41 b\"", KELParsedCSSValue::String, "Ab", "Ab", 7 },
        { "inherit", KELParsedCSSValue::Identifier, "inherit", "inherit", 7 },
        { "--main-color", KELParsedCSSValue::Identifier, "--main-color", "--main-color", 12 },
        { "caf\u00e9", KELParsedCSSValue::Identifier, "caf\u00e9", "caf\u00e9", 4 },
        { ",", KELParsedCSSValue::Delimiter, ",", ",", 1 },
        { "{ a }", KELParsedCSSValue::Delimiter, "{", "{", 1 },
    };
    KELSyntaxCheckTypeCSS parser;
    for (const TokenCase& c : cases) {
        const QString text = QString::fromUtf8(c.text);
        qsizetype index = 0;
        auto token = parser.parseAnyValueAtIndex(index, text.size(), text, nullptr);
        ASSERT_TRUE(token) << c.text;
        EXPECT_EQ(token->type(), c.type) << c.text;
        if (c.name) {
            EXPECT_EQ(token->name(), QString::fromUtf8(c.name)) << c.text;
        }
        EXPECT_EQ(token->description(), QString::fromUtf8(c.description)) << c.text;
        EXPECT_EQ(index, c.length) << c.text;
        EXPECT_EQ(token->textRange(), kit::Range(0, c.length)) << c.text;
        if (c.subvalues >= 0) {
            EXPECT_EQ(token->subvalues().size(), c.subvalues) << c.text;
        }
    }
}

TEST(KELParsedCSSValueTest, ValuesOfNumbersAndDimensions)
{
    KELSyntaxCheckTypeCSS parser;
    const QString text = QStringLiteral("12.5px");
    qsizetype index = 0;
    auto token = parser.parseAnyValueAtIndex(index, text.size(), text, nullptr);
    EXPECT_FLOAT_EQ(token->value(), 12.5f);
    EXPECT_EQ(KELParsedCSSValue::formatFloat(0.1f), QStringLiteral("0.1"));
    EXPECT_EQ(KELParsedCSSValue::formatFloat(5.0f), QStringLiteral("5"));
}

TEST(KELParsedCSSValueTest, KindsNamesAndWhitespace)
{
    KELParsedCSSValue space(KELParsedCSSValue::Delimiter);
    space.setName(QStringLiteral(" "));
    EXPECT_TRUE(space.isWhitespace());
    KELParsedCSSValue comma(KELParsedCSSValue::Delimiter);
    comma.setName(QStringLiteral(","));
    EXPECT_FALSE(comma.isWhitespace());
    KELParsedCSSValue block(KELParsedCSSValue::Block);
    EXPECT_EQ(block.description(), QStringLiteral("block"));
    EXPECT_EQ(block.itemTypeName(), QStringLiteral("block"));
    EXPECT_EQ(KELParsedCSSValue(KELParsedCSSValue::Function).itemTypeName(), QStringLiteral("function"));
    EXPECT_EQ(comma.itemTypeName(), QStringLiteral("value"));
    EXPECT_EQ(KELParsedCSSValue::nameForType(KELParsedCSSValue::URLToken), QStringLiteral("url-token"));
    EXPECT_TRUE(KELParsedCSSValue::nameForType(7).isEmpty());
    EXPECT_TRUE(KELParsedCSSValue::nameForType(12).isEmpty());
    EXPECT_EQ(comma.textRange().location, kit::NotFound);
    EXPECT_EQ(KELParsedCSSDeclaration().textRange().location, kit::NotFound);
    EXPECT_EQ(KELParsedCSSAtRule().textRange().location, 0);
}

TEST(KELParsedCSSValueTest, TokensFromSlabsKeepTheirContentsThroughInterleavedTreesAndThreads)
{
    // Two trees larger than a slab, freed in turns while the other keeps growing, and a
    // tree built and freed on another thread: every token keeps what was written into it.
    auto build = [](int count, int tag) {
        auto root = std::make_unique<KELParsedCSSValue>(KELParsedCSSValue::Block);
        for (int i = 0; i < count; ++i) {
            auto v = std::make_unique<KELParsedCSSValue>(KELParsedCSSValue::Number);
            v->setValue(float(i * 10 + tag));
            v->setTextRange(kit::Range(i, tag));
            root->addSubvalue(std::move(v));
        }
        return root;
    };
    auto intact = [](const KELParsedCSSValue& root, int count, int tag) {
        if (root.subvalues().size() != count)
            return false;
        for (int i = 0; i < count; ++i) {
            const KELParsedCSSValue* v = root.subvalues().at(i);
            if (v->value() != float(i * 10 + tag) || v->textRange() != kit::Range(i, tag) || v->type() != KELParsedCSSValue::Number)
                return false;
        }
        return true;
    };
    auto first = build(5000, 1);
    auto second = build(7000, 2);
    first.reset();
    auto third = build(6000, 3);
    std::unique_ptr<KELParsedCSSValue> fromThread;
    std::thread worker([&] {
        auto t = build(3000, 4);
        fromThread = build(100, 5);
        EXPECT_TRUE(intact(*t, 3000, 4));
    });
    worker.join();
    EXPECT_TRUE(intact(*second, 7000, 2));
    EXPECT_TRUE(intact(*third, 6000, 3));
    EXPECT_TRUE(intact(*fromThread, 100, 5));
    second.reset();
    third.reset();
    fromThread.reset();
    // All gone: the next tree starts on fresh slabs.
    auto again = build(10, 6);
    EXPECT_TRUE(intact(*again, 10, 6));
}
