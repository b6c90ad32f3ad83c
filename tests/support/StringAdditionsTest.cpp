#include "support/DefaultsKeys.h"
#include "kit/StringEncodings.h"
#include "kit/UserDefaults.h"
#include "support/StringAdditions.h"

#include <gtest/gtest.h>

#include <QDir>

namespace {

class StringAdditionsTest : public ::testing::Test {
protected:
    void SetUp() override { kit::UserDefaults::standard().resetForTesting(); }
    void TearDown() override { kit::UserDefaults::standard().resetForTesting(); }
    void setIndentUnit(bool tab, int spaces)
    {
        auto& defaults = kit::UserDefaults::standard();
        defaults.setValue(KELOrganizeTagsSpacer, qlonglong(tab ? 1 : 0));
        defaults.setValue(KELOrganizeTagsNumSpaces, qlonglong(spaces));
    }
};

TEST_F(StringAdditionsTest, PathIdentityIsExact)
{
    struct Case {
        const char* path;
        const char* other;
        bool equal;
        bool subpath;
    };
    const Case cases[] = {
        {"/a/b", "/a/b/c", false, true},
        {"/a/b", "/a/b", true, true},
        {"/a/b/", "/a/b", true, true},
        {"/a/./b", "/a/b", true, true},
        {"/a/x/../b", "/a/b/c", false, true},
        {"/a/b/c", "/a/b", false, false},
        {"/a/b", "/a/bc", false, false},
        // Linux tells letter case apart: these are different folders.
        {"/Users/X/Site", "/users/x/site/index.html", false, false},
        {"/x/Site", "/x/site", false, false},
        {"/", "/anything/at/all", false, true},
        {"", "/a", false, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.path) + " vs " + c.other);
        EXPECT_EQ(isEqualToPath(QString::fromUtf8(c.path), QString::fromUtf8(c.other)), c.equal);
        EXPECT_EQ(isSubpathOfString(QString::fromUtf8(c.path), QString::fromUtf8(c.other)), c.subpath);
    }
    EXPECT_TRUE(isEqualToPath(QStringLiteral("~/Sites"), QDir::homePath() + QStringLiteral("/Sites")));
}

TEST_F(StringAdditionsTest, DisplayOrderComparesDigitRunsAsNumbers)
{
    struct Case {
        const char* a;
        const char* b;
        int order;
    };
    const Case cases[] = {
        {"/img/img2.png", "/img/img10.png", -1},
        {"/img/img10.png", "/img/img2.png", 1},
        {"/img/IMG2.png", "/img/img2.png", 0},
        {"/img/a007.png", "/img/a7.png", 0},
        {"/a/b", "/a/b/c", -1},
        {"/a/z", "/a/b/c", 1},
        {"/a/B", "/a/c", -1},
        {"/site/page9/x", "/site/page10", -1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.a) + " vs " + c.b);
        EXPECT_EQ(comparePathsForDisplay(QString::fromUtf8(c.a), QString::fromUtf8(c.b)), c.order);
    }
}

TEST_F(StringAdditionsTest, AbsolutePathFromBaseFolder)
{
    const QString home = QDir::homePath();
    struct Case {
        QString path;
        QString base;
        std::optional<QString> expected;
    };
    const Case cases[] = {
        {"../a.html", "/", std::nullopt},
        {"../a.html", "/site/pages", QStringLiteral("/site/a.html")},
        {"./b/../a.html", "/site", QStringLiteral("/site/a.html")},
        {"../../../x", "/site/pages", std::nullopt},
        {"../../x", "/site/pages", QStringLiteral("/x")},
        {"a.html", "/site", QStringLiteral("/site/a.html")},
        {"sub/a.html", "~/site", home + QStringLiteral("/site/sub/a.html")},
        {"/etc/hosts", "/site", QStringLiteral("/etc/hosts")},
        {"~/x.html", "/site", home + QStringLiteral("/x.html")},
        {".htaccess", "/site", QStringLiteral("/site/.htaccess")},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE((c.path + QStringLiteral(" in ") + c.base).toStdString());
        EXPECT_EQ(absolutePathFromBaseDirPath(c.path, c.base), c.expected);
    }
}

TEST_F(StringAdditionsTest, TagNameCaseFollowsTheSetting)
{
    EXPECT_EQ(stringWithTagNameCase(QStringLiteral("DiV")), QStringLiteral("div"));
    kit::UserDefaults::standard().setValue(KELShouldCapitalizeTagsKey, true);
    EXPECT_EQ(stringWithTagNameCase(QStringLiteral("DiV")), QStringLiteral("DIV"));
}

TEST_F(StringAdditionsTest, URLEscapingForInsertedLinks)
{
    struct Case {
        QString in;
        QString out;
    };
    const Case cases[] = {
        {"my page.html", "my%20page.html"},
        {"Tom's & Jerry's.html", "Tom%27s%20%26%20Jerry%27s.html"},
        {"100%.html", "100%25.html"},
        {"caf\u00e9.html", "caf%C3%A9.html"},
        {"../img/a.png?x=1#top", "../img/a.png?x=1#top"},
        {"a<b>\"c\".html", "a%3Cb%3E%22c%22.html"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(stringByEncodingURLForInsert(c.in), c.out) << c.in.toStdString();
}

TEST_F(StringAdditionsTest, QueryDictionary)
{
    const QHash<QString, QString> query = queryDictionaryUsingEncoding(
        QStringLiteral("a=1&&b=two%20words;;c=%C3%A9&noValue&x=1=2&a=3&%FF=bad"), kit::UTF8StringEncoding);
    const QHash<QString, QString> expected = {{"a", "3"}, {"b", "two words"}, {"c", "\u00e9"}};
    EXPECT_EQ(query, expected);
    EXPECT_EQ(queryDictionaryUsingEncoding(QStringLiteral("c=%E9"), kit::ISOLatin1StringEncoding).value("c"),
              QStringLiteral("\u00e9"));
}

TEST_F(StringAdditionsTest, WhitespaceSuppressionKeepsLength)
{
    const QString in = QStringLiteral("a\tb\r\nc\u00a0d\u2028e");
    const QString out = stringBySuppressingWhitespace(in);
    EXPECT_EQ(out, QStringLiteral("a b  c d e"));
    EXPECT_EQ(out.size(), in.size());
}

TEST_F(StringAdditionsTest, ContainsStringAtIndex)
{
    const QString text = QStringLiteral("<div>");
    struct Case {
        QString needle;
        qsizetype index;
        bool expected;
    };
    const Case cases[] = {
        {"div", 1, true}, {"div", 0, false}, {"v>", 3, true},  {"v>x", 3, false}, {"", 5, true},
        {"", 6, false},   {"<", -1, false},  {"DIV", 1, false}, {QString(), 0, false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(containsString(text, c.needle, c.index), c.expected) << c.needle.toStdString() << " @" << c.index;
}

TEST_F(StringAdditionsTest, RangeForLineNumber)
{
    struct Case {
        QString text;
        qsizetype line;
        kit::Range expected;
    };
    const kit::Range none(kit::NotFound, 0);
    const Case cases[] = {
        {"a\nb\n", 1, {0, 2}},   {"a\nb\n", 2, {2, 2}}, {"a\nb\n", 3, none}, {"a\nb\n", 0, none},
        {"a\r\nb", 2, {3, 1}},   {"a\r\nb", 1, {0, 3}}, {"", 1, none},       {"x", 1, {0, 1}},
        {"a\rb\u2029c", 3, {4, 1}},
    };
    for (const Case& c : cases) {
        const kit::Range r = rangeForLineNumber(c.text, c.line);
        EXPECT_EQ(r, c.expected) << "line " << c.line << " got " << r.location << "," << r.length;
    }
}

TEST_F(StringAdditionsTest, BaseIndentLevel)
{
    struct Case {
        bool tab;
        int spaces;
        QString text;
        qsizetype index;
        qsizetype level;
    };
    const Case cases[] = {
        {true, 1, "x\n\t\t\tabc", 7, 3},
        {true, 1, "x\n\t\t\tabc", 4, 2}, // units starting before the index only
        {true, 1, "\t\tx", 2, 2},
        {true, 1, "\t\tx", 3, 0}, // at the end
        {false, 4, "        x", 8, 2},
        {false, 4, "      x", 6, 1}, // a partial unit does not count
        {false, 4, "    \tx", 5, 1},
        {true, 1, "a\n\tb", 1, 0},
    };
    for (const Case& c : cases) {
        setIndentUnit(c.tab, c.spaces);
        EXPECT_EQ(baseIndentLevelAtIndex(c.text, c.index), c.level) << c.text.toStdString() << " @" << c.index;
    }
}

TEST_F(StringAdditionsTest, IndentedStringPrefixesEveryLineButTheFirst)
{
    setIndentUnit(true, 1);
    EXPECT_EQ(indentedStringWithBaseIndentLevel(QStringLiteral("a\nb"), 2), QStringLiteral("a\n\t\tb"));
    EXPECT_EQ(indentedStringWithBaseIndentLevel(QStringLiteral("a\r\nb\nc"), 1), QStringLiteral("a\r\n\tb\n\tc"));
    EXPECT_EQ(indentedStringWithBaseIndentLevel(QString(), 3), QString());
    EXPECT_EQ(indentedStringWithBaseIndentLevel(QStringLiteral("a\nb"), 0), QStringLiteral("a\nb"));
    setIndentUnit(false, 2);
    EXPECT_EQ(indentedStringWithBaseIndentLevel(QStringLiteral("<ul>\n<li>"), 1), QStringLiteral("<ul>\n  <li>"));
}

} // namespace
