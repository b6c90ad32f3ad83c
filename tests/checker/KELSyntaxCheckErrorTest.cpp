// The error record: defaults, copies, ordering and filling in the missing half
// of a position (line from range, range from line).
#include "support/KELSyntaxCheckError.h"

#include <gtest/gtest.h>

TEST(KELSyntaxCheckErrorTest, NewRecordIsAnErrorWithoutPosition)
{
    const KELSyntaxCheckError e = KELSyntaxCheckError::error();
    EXPECT_EQ(e.level(), 1);
    EXPECT_EQ(e.lineNumber(), 0u);
    EXPECT_EQ(e.textRange(), kit::Range(kit::NotFound, 0));
    EXPECT_EQ(e.textRangeLocation(), std::numeric_limits<qsizetype>::max());
    EXPECT_FALSE(e.nonInvalidatingError());
}

TEST(KELSyntaxCheckErrorTest, CopyDropsPathAndInvalidationFlag)
{
    KELSyntaxCheckError e = KELSyntaxCheckError::error();
    e.setTitle(QStringLiteral("T"));
    e.setDescription(QStringLiteral("D"));
    e.setDocumentPath(QStringLiteral("/a.css"));
    e.setLevel(0);
    e.setLineNumber(3);
    e.setTextRange(kit::Range(4, 5));
    e.setNonInvalidatingError(true);
    const KELSyntaxCheckError c = e.copy();
    EXPECT_EQ(c.title(), QStringLiteral("T"));
    EXPECT_EQ(c.description(), QStringLiteral("D"));
    EXPECT_EQ(c.level(), 0);
    EXPECT_EQ(c.lineNumber(), 3u);
    EXPECT_EQ(c.textRange(), kit::Range(4, 5));
    EXPECT_TRUE(c.documentPath().isEmpty());
    EXPECT_FALSE(c.nonInvalidatingError());
}

TEST(KELSyntaxCheckErrorTest, RecordsWithoutLocationSortFirst)
{
    KELSyntaxCheckError a = KELSyntaxCheckError::error(), b = KELSyntaxCheckError::error();
    b.setTextRange(kit::Range(0, 1));
    EXPECT_EQ(KELSyntaxCheckError::compareByTextLocation(a, b), -1);
    EXPECT_EQ(KELSyntaxCheckError::compareByTextLocation(b, a), 1);
    a.setLineNumber(2), b.setLineNumber(2);
    EXPECT_EQ(KELSyntaxCheckError::compareByLineNumber(a, b), 0);
}

namespace {
struct PopulateCase {
    const char* name;
    QString source;
    qsizetype location; // NotFound: no range
    quint64 line; // 0: no line
    kit::Range expectedRange;
    quint64 expectedLine;
};
} // namespace

TEST(KELSyntaxCheckErrorTest, PopulateFillsTheMissingHalf)
{
    const QString text = QStringLiteral("ab\ncd\r\nef\rgh\u2028ij");
    const PopulateCase cases[] = {
        { "range only, line 1", text, 1, 0, kit::Range(1, 1), 1 },
        { "range only, CRLF line", text, 5, 0, kit::Range(5, 1), 2 },
        { "range only, after CR", text, 10, 0, kit::Range(10, 1), 4 },
        { "range only, after U+2028", text, 13, 0, kit::Range(13, 1), 5 },
        { "line only gets the whole line", text, kit::NotFound, 2, kit::Range(3, 4), 2 },
        { "neither ends on line 1", text, kit::NotFound, 0, kit::Range(0, 3), 1 },
        { "line past the end", text, kit::NotFound, 9, kit::Range(text.size(), 0), 9 },
        { "location past the end", text, 99, 0, kit::Range(99, 1), 5 },
        { "empty source, no range", QString(), kit::NotFound, 3, kit::Range(0, 0), 3 },
        { "empty source, no line", QString(), 0, 0, kit::Range(0, 1), 0 },
    };
    for (const PopulateCase& c : cases) {
        QList<KELSyntaxCheckError> errors { KELSyntaxCheckError::error() };
        if (c.location != kit::NotFound)
            errors[0].setTextRange(kit::Range(c.location, 1));
        errors[0].setLineNumber(c.line);
        KELSyntaxCheckError::populateLocationsOfErrors(errors, c.source);
        EXPECT_EQ(errors[0].textRange(), c.expectedRange) << c.name;
        EXPECT_EQ(errors[0].lineNumber(), c.expectedLine) << c.name;
    }
}
