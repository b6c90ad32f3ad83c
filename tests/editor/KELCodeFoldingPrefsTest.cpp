#include "editor/KELCodeFoldingPrefs.h"
#include "editor/KELTokenParser.h"
#include "kit/text/TextStorage.h"

#include <gtest/gtest.h>

using kit::Range;

namespace {
QVariantMap dict(qulonglong length, QVariantList list)
{
    return {{KELCodeFoldingPrefsLengthKey, length}, {KELCodeFoldingPrefsRangesKey, list}};
}
QList<Range> folds(const kit::TextStorage& ts)
{
    auto prefs = KELCodeFoldingPrefs::fromTextStorage(&ts);
    return prefs ? prefs->foldedRanges() : QList<Range>();
}
} // namespace

TEST(KELCodeFoldingPrefsTest, RoundTripAndStaleText)
{
    kit::TextStorage ts(QString(100, QLatin1Char('x')));
    EXPECT_EQ(KELCodeFoldingPrefs::fromTextStorage(&ts), nullptr);
    KELTokenParser::sharedTokenParser().setTokenType(2, &ts, Range(10, 5));
    KELTokenParser::sharedTokenParser().setTokenType(2, &ts, Range(40, 20));
    auto prefs = KELCodeFoldingPrefs::fromTextStorage(&ts);
    ASSERT_TRUE(prefs);
    const QVariantMap d = prefs->prefsDictionary();
    EXPECT_EQ(d.value(KELCodeFoldingPrefsLengthKey).toULongLong(), 100u);
    EXPECT_EQ(d.value(KELCodeFoldingPrefsRangesKey).toList(), (QVariantList{10, 15, 40, 60}));

    kit::TextStorage same(QString(100, QLatin1Char('y')));
    EXPECT_TRUE(KELCodeFoldingPrefs(d).applyToTextStorage(&same));
    EXPECT_EQ(folds(same), (QList<Range>{Range(10, 5), Range(40, 20)}));
    kit::TextStorage longer(QString(101, QLatin1Char('y')));
    EXPECT_FALSE(KELCodeFoldingPrefs(d).applyToTextStorage(&longer));
    EXPECT_TRUE(folds(longer).isEmpty());
}

TEST(KELCodeFoldingPrefsTest, StoredListsTable)
{
    struct Case {
        QVariantMap stored;
        qsizetype textLength;
        bool applies;
        QList<Range> folded;
    } cases[] = {
        {dict(30, {5, 10, 8, 20}), 30, true, {Range(5, 5)}},      // overlapping pair skipped
        {dict(30, {5, 10, 30}), 30, true, {Range(5, 5)}},         // unpaired last number ignored
        {dict(30, {20, 10, 22, 25}), 30, true, {Range(22, 3)}},  // end before start: never folded
        {dict(30, {25, 40}), 30, true, {}},                       // past the end
        {QVariantMap(), 0, true, {}},
        {QVariantMap(), 3, false, {}},
    };
    for (const Case& c : cases) {
        kit::TextStorage ts(QString(c.textLength, QLatin1Char('z')));
        EXPECT_EQ(KELCodeFoldingPrefs(c.stored).applyToTextStorage(&ts), c.applies);
        EXPECT_EQ(folds(ts), c.folded);
    }
}
