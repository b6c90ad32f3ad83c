#include "editor/KELTextView.h"
#include "editor/KELTokenParser.h"
#include "kit/text/TextStorage.h"

#include <gtest/gtest.h>

using kit::Range;

// "ab<#name#>cd" has a placeholder at (2, 8); "efghijklmn" follows with a fold at (14, 6).
TEST(KELTextViewNormalizationTest, Table)
{
    KELTextView view;
    view.setString(QStringLiteral("ab<#name#>cdefghijklmn"));
    KELTokenParser::sharedTokenParser().setTokenType(2, view.textStorage(), Range(14, 6));
    ASSERT_EQ(KELTokenParser::tokenTypeAt(view.textStorage(), 2), 1);
    struct Case {
        Range proposed;
        int movement;
        Range expected;
    } cases[] = {
        {Range(4, 8), 2, Range(10, 2)},
        {Range(2, 3), 2, Range(2, 8)},
        {Range(4, 2), 0, Range(2, 8)},
        {Range(5, 0), 0, Range(10, 0)},
        {Range(5, 0), 1, Range(2, 0)},
        {Range(0, 5), 1, Range(0, 2)},
        {Range(0, 10), 1, Range(0, 10)},
        {Range(14, 1), 1, Range(14, 0)},
        {Range(14, 5), 1, Range(14, 0)},
        {Range(15, 5), 2, Range(20, 0)},
        {Range(16, 2), 0, Range(14, 6)},
        {Range(16, 0), 3, Range(14, 0)},
        {Range(16, 0), 0, Range(20, 0)},
        {Range(15, 0), 1, Range(14, 0)},
        {Range(12, 4), 2, Range(12, 8)},
        {Range(22, 0), 0, Range(22, 0)},
        // Whole tokens stay as they are.
        {Range(2, 8), 0, Range(2, 8)},
        {Range(14, 6), 0, Range(14, 6)},
        {Range(10, 0), 0, Range(10, 0)},
    };
    for (const Case& c : cases) {
        const Range r = view.normalizedCharacterRangeForRange(c.proposed, c.movement);
        EXPECT_EQ(r, c.expected) << c.proposed.location << "," << c.proposed.length << " m" << c.movement << " -> " << r.location << "," << r.length;
    }
    // A one-character token run is ordinary text.
    KELTokenParser::sharedTokenParser().setTokenType(2, view.textStorage(), Range(0, 1));
    EXPECT_EQ(view.normalizedCharacterRangeForRange(Range(0, 1), 0), Range(0, 1));
}

TEST(KELTextViewNormalizationTest, ProgrammaticSelectionCuttingAPlaceholderDissolvesIt)
{
    KELTextView view;
    view.setString(QStringLiteral("xx<#abcde#>"));
    view.setSelectedRange(Range(4, 3));
    EXPECT_EQ(view.selectedRange(), Range(4, 3));
    EXPECT_FALSE(KELTokenParser::tokenIdAt(view.textStorage(), 2));
    // Folding from inside a placeholder folds from its start; two ranges make two folds.
    view.setString(QStringLiteral("ab<#name#>cd efgh"));
    view.foldTextInRange(Range(4, 8));
    Range run;
    ASSERT_TRUE(KELTokenParser::tokenIdAt(view.textStorage(), 2, &run));
    EXPECT_EQ(run, Range(2, 10));
    view.unfoldAll();
    view.setSelectedRanges({Range(0, 2), Range(13, 2)});
    view.foldSelection();
    EXPECT_EQ(KELTokenParser::tokenTypeAt(view.textStorage(), 0), 2);
    EXPECT_EQ(KELTokenParser::tokenTypeAt(view.textStorage(), 13), 2);
    EXPECT_NE(KELTokenParser::tokenIdAt(view.textStorage(), 0), KELTokenParser::tokenIdAt(view.textStorage(), 13));
}
