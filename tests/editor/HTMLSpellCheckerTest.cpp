#include "editor/HTMLSpellChecker.h"

#include <QSet>
#include <gtest/gtest.h>

using kit::NotFound;
using kit::Range;

namespace {

struct Case
{
    const char* name;
    const char* text;
    qsizetype start;
    bool wrap;
    Range expected;
};

class HTMLSpellCheckerTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        static const QSet<QString> bad
            = { QStringLiteral("teh"), QStringLiteral("wrold"), QStringLiteral("nbsp"), QStringLiteral("clas"),
                  QStringLiteral("pp"), QStringLiteral("echoo"), QStringLiteral("dont"), QStringLiteral("abcdefghij") };
        checker.setWordCheckerForTesting([](const QString& w) { return !bad.contains(w); });
    }
    HTMLSpellChecker checker;
};

TEST_F(HTMLSpellCheckerTest, SkipsMarkupEntitiesAndPHP)
{
    const Case cases[] = {
        { "element, attribute and value never reported", "<pp clas=\"wrold\">teh wrold</pp>", 0, false, Range(17, 3) },
        { "the next call after the first word", "<pp clas=\"wrold\">teh wrold</pp>", 20, false, Range(21, 5) },
        { "entity name skipped", "a&nbsp;b", 0, false, Range(NotFound, 0) },
        { "letters after the entity are a word", "&nbsp;teh", 0, false, Range(6, 3) },
        { "php block skipped", "<?php echoo teh ?>ok", 0, false, Range(NotFound, 0) },
        { "unterminated php block skips to the end", "x <?php teh", 0, false, Range(NotFound, 0) },
        { "a second < before > resumes after the first", "x < teh <b>", 0, false, Range(4, 3) },
        { "the second < opens the tag", "a << teh > b", 0, false, Range(NotFound, 0) },
        { "inner apostrophe keeps the word whole", "dont don't", 0, false, Range(0, 4) },
        { "trailing apostrophe is not part of the word", "x dont' y", 0, false, Range(2, 4) },
        { "a start inside a word checks it whole", "ab teh", 4, false, Range(3, 3) },
        { "long entity-like words are still words", "&abcdefghij;", 0, false, Range(NotFound, 0) },
        { "wrapping finds a word before the start", "teh <b>ok</b>", 5, true, Range(0, 3) },
        { "wrapping from past the end terminates", "fine words", 500, true, Range(NotFound, 0) },
        { "wrapping with nothing wrong terminates", "<a href=x>ok</a> fine", 3, true, Range(NotFound, 0) },
        { "empty text", "", 0, true, Range(NotFound, 0) },
    };
    for (const Case& c : cases)
        EXPECT_EQ(checker.checkSpellingOfString(QString::fromUtf8(c.text), c.start, {}, c.wrap, 0, nullptr), c.expected)
            << c.name;
}

TEST_F(HTMLSpellCheckerTest, TagAndPHPEnds)
{
    EXPECT_EQ(HTMLSpellChecker::locationOfTagEndContainingIndex(0, QStringLiteral("<b>x")), 2);
    EXPECT_EQ(HTMLSpellChecker::locationOfTagEndContainingIndex(0, QStringLiteral("<<b>")), 1);
    EXPECT_EQ(HTMLSpellChecker::locationOfTagEndContainingIndex(0, QStringLiteral("<abc")), 4);
    EXPECT_EQ(HTMLSpellChecker::locationOfTagEndContainingIndex(3, QStringLiteral("abc<")), 4);
    EXPECT_EQ(HTMLSpellChecker::locationOfPHPTagEndContainingIndex(0, QStringLiteral("<?x?>y")), 5);
    EXPECT_EQ(HTMLSpellChecker::locationOfPHPTagEndContainingIndex(0, QStringLiteral("<?x")), 3);
    EXPECT_EQ(HTMLSpellChecker::locationOfPHPTagEndContainingIndex(0, QStringLiteral("<?")), 2);
}

TEST_F(HTMLSpellCheckerTest, CombinedCheckingOverMarkup)
{
    const QString s = QStringLiteral("<p class=\"teh\">teh &nbsp; wrold</p>");
    const QList<kit::TextCheckingResult> r
        = checker.checkString(s, Range(0, s.size()), kit::TextCheckingTypeSpelling, 1, nullptr);
    ASSERT_EQ(r.size(), 2);
    EXPECT_EQ(r[0].range, Range(15, 3));
    EXPECT_EQ(r[1].range, Range(26, 5));
}

} // namespace
