#include "kit/SpellChecker.h"

#include <QSet>
#include <gtest/gtest.h>

using kit::NotFound;
using kit::Range;
using kit::SpellChecker;

namespace {

// A checker that knows a fixed set of bad words.
std::unique_ptr<SpellChecker> fakeChecker(const QStringList& bad)
{
    auto checker = std::make_unique<SpellChecker>();
    const QSet<QString> set(bad.begin(), bad.end());
    checker->setWordCheckerForTesting([set](const QString& w) { return !set.contains(w); });
    return checker;
}

TEST(SpellChecker, WordByWordFindsTheFirstMisspellingAtOrAfterTheStart)
{
    auto c = fakeChecker({ QStringLiteral("teh"), QStringLiteral("wrold") });
    const QString s = QStringLiteral("say teh wrold's end");
    EXPECT_EQ(c->checkSpellingOfString(s, 0, {}, false, 0, nullptr), Range(4, 3));
    // A start inside a word checks that whole word.
    EXPECT_EQ(c->checkSpellingOfString(s, 5, {}, false, 0, nullptr), Range(4, 3));
    // The inner apostrophe stays in the word; "wrold's" is not "wrold".
    EXPECT_EQ(c->checkSpellingOfString(s, 7, {}, false, 0, nullptr), Range(NotFound, 0));
    // Wrapping goes on from the start and ends where it began.
    EXPECT_EQ(c->checkSpellingOfString(s, 8, {}, true, 0, nullptr), Range(4, 3));
    EXPECT_EQ(c->checkSpellingOfString(QString(), 0, {}, true, 0, nullptr), Range(NotFound, 0));
}

TEST(SpellChecker, WrappedSearchEndsForEveryStart)
{
    auto c = fakeChecker({});
    const QString s = QStringLiteral("all words here are fine");
    for (qsizetype start : { qsizetype(0), qsizetype(3), s.size(), s.size() + 40 })
        EXPECT_EQ(c->checkSpellingOfString(s, start, {}, true, 0, nullptr), Range(NotFound, 0)) << start;
}

TEST(SpellChecker, CombinedCheckingStopsAtTheRangeEndAndSorts)
{
    auto c = fakeChecker({ QStringLiteral("aaa"), QStringLiteral("bbb"), QStringLiteral("bb") });
    const QString s = QStringLiteral("aaa x bbb aaa");
    const QList<kit::TextCheckingResult> all
        = c->checkString(s, Range(0, s.size()), kit::TextCheckingTypeSpelling, 0, nullptr);
    ASSERT_EQ(all.size(), 3);
    EXPECT_EQ(all[0].range, Range(0, 3));
    EXPECT_EQ(all[1].range, Range(6, 3));
    EXPECT_EQ(all[2].range, Range(10, 3));
    // The text after the range is cut off: "bbb" is checked as "bb".
    const QList<kit::TextCheckingResult> cut
        = c->checkString(s, Range(4, 4), kit::TextCheckingTypeSpelling, 0, nullptr);
    ASSERT_EQ(cut.size(), 1);
    EXPECT_EQ(cut[0].range, Range(6, 2));
    // Grammar has no service here: nothing is added, spelling still answers.
    EXPECT_EQ(
        c->checkString(s, Range(0, 3), kit::TextCheckingTypeSpelling | kit::TextCheckingTypeGrammar, 0, nullptr).size(),
        1);
    EXPECT_TRUE(c->checkString(s, Range(0, s.size()), kit::TextCheckingTypeGrammar, 0, nullptr).isEmpty());
}

TEST(SpellChecker, IgnoredWordsBelongToTheirDocumentLearnedWordsToAll)
{
    auto c = fakeChecker({ QStringLiteral("kelp"), QStringLiteral("zork") });
    c->ignoreWord(QStringLiteral("kelp"), 1);
    EXPECT_TRUE(c->isWordCorrect(QStringLiteral("kelp"), 1));
    EXPECT_FALSE(c->isWordCorrect(QStringLiteral("kelp"), 2));
    c->closeSpellDocument(1);
    EXPECT_FALSE(c->isWordCorrect(QStringLiteral("kelp"), 1));
    c->learnWord(QStringLiteral("zork"));
    EXPECT_TRUE(c->isWordCorrect(QStringLiteral("zork"), 7));
}

TEST(SpellChecker, EnchantDictionaryChecksAndGuesses)
{
    SpellChecker c;
    if (!c.setLanguage(QStringLiteral("en_US")))
        GTEST_SKIP() << "no en_US dictionary installed";
    EXPECT_TRUE(c.isWordCorrect(QStringLiteral("house"), 0));
    EXPECT_FALSE(c.isWordCorrect(QStringLiteral("hosue"), 0));
    EXPECT_TRUE(c.guessesForWord(QStringLiteral("hosue")).contains(QStringLiteral("house")));
    EXPECT_EQ(c.checkSpellingOfString(QStringLiteral("a big hosue"), 0, c.language(), false, 0, nullptr), Range(6, 5));
}

} // namespace
