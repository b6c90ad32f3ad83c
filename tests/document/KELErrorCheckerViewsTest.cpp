#include "document/KELErrorCheckerViews.h"

#include "support/KELSyntaxCheckError.h"

#include <gtest/gtest.h>

#include <QFontMetrics>

TEST(KELErrorCheckerErrorCellTest, EveryLineOfAMessageGetsRoom)
{
    const QFont font;
    const int line = QFontMetrics(font).lineSpacing();
    struct Case {
        const char* description;
        int lines;
    } cases[] = {{"one line", 1}, {"first\nsecond\nthird", 3}, {"a\n\nb\nc\nd", 5}};
    for (const Case& c : cases) {
        KELSyntaxCheckError error = KELSyntaxCheckError::error();
        error.setTitle(QStringLiteral("Title"));
        error.setDescription(QString::fromLatin1(c.description));
        const int height = KELErrorCheckerErrorCell::optimalCellHeightForWidth(&error, 600, false, font);
        EXPECT_GE(height, 28 + c.lines * line - 1) << c.description;
        EXPECT_LT(height, 28 + (c.lines + 1) * line) << c.description;
    }
}
