// The sort order of completion entries.

#include "syntax/KELCompletionUtils.h"
#include "syntax/SyntaxWord.h"
#include "syntax/SyntaxWordRange.h"

#include <gtest/gtest.h>

namespace {

class ClipEntry : public KELCompletion
{
public:
    explicit ClipEntry(QString n)
        : m_name(std::move(n))
    {
    }
    QString name() const override { return m_name; }
    QString value() const override { return m_name; }
    QString typeName() const override { return QStringLiteral("HTML"); }
    StyledText displayName() const override { return {}; }
    StyledText displayDescription() const override { return {}; }
    QUrl infoURL() const override { return {}; }
    kit::Range range() const override { return {}; }
    bool isCodeClipCompletion() const override { return true; }

private:
    QString m_name;
};

TEST(KELCompletionUtils, NameOrder)
{
    struct Case
    {
        const char* a;
        const char* b;
        bool latex;
        int expected;
    } const cases[] = {
        { "a-b", "a_b", false, -1 }, // a hyphen is punctuation, punctuation before names
        { "div", "divider", false, -1 }, // shorter first after equal runs
        { "Alpha", "alpha", false, 0 }, // equal by runs (identity decides for entries)
        { "border", "Background", false, 1 }, { "x2", "x10", false, 1 }, // runs compare as text
        { ":hover", "a", false, -1 }, { "\\a{b}", "\\a[b]", true, -1 }, // "{" before "["
        { "\\a*b", "\\a-b", true, 1 }, // "*" is a name character in LaTeX...
        { "\\a*b", "\\a-b", false, -1 }, // ...and punctuation elsewhere
    };
    for (const Case& c : cases)
        EXPECT_EQ(KELCompletionUtils::compareNames(QString::fromUtf8(c.a), QString::fromUtf8(c.b), c.latex), c.expected)
            << c.a << " / " << c.b;
}

TEST(KELCompletionUtils, EntriesAreOrderedTotally)
{
    SyntaxWord alpha, Alpha, zeta;
    alpha.setValue(QStringLiteral("alpha"));
    Alpha.setValue(QStringLiteral("Alpha"));
    zeta.setValue(QStringLiteral("zeta"));
    SyntaxWordRange a(&alpha, {}, nullptr, QStringLiteral("CSS"));
    SyntaxWordRange A(&Alpha, {}, nullptr, QStringLiteral("CSS"));
    SyntaxWordRange z(&zeta, {}, nullptr, QStringLiteral("CSS"));
    ClipEntry clip(QStringLiteral("aaa"));

    EXPECT_NE(a.compare(A), 0);
    EXPECT_EQ(a.compare(A), -A.compare(a));
    EXPECT_EQ(a.compare(a), 0);
    EXPECT_LT(a.compare(z), 0);
    // Clips follow every word, whatever their names.
    EXPECT_GT(clip.compare(z), 0);
    EXPECT_LT(z.compare(clip), 0);
}

} // namespace
