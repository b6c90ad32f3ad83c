#include "editor/GoToLineNumber.h"

#include <QLineEdit>
#include <QTest>
#include <gtest/gtest.h>

namespace {

class GoToLineNumberTest : public ::testing::Test
{
protected:
    void TearDown() override
    {
        panel().setLineShowerForTesting({});
        panel().cancel();
    }
    static GoToLineNumber& panel() { return GoToLineNumber::shared(); }
    void type(const QString& text)
    {
        panel().lineNumberField()->clear();
        QTest::keyClicks(panel().lineNumberField(), text);
    }
};

TEST_F(GoToLineNumberTest, ClampsTheTypedNumber)
{
    panel().showWindow();
    struct Case
    {
        const char* typed;
        const char* shown;
    } cases[] = {{"1234567", "999999"}, {"-3", "0"}, {"42", "42"}, {"99999999999999999999999", "999999"}};
    for (const Case& c : cases) {
        type(QString::fromUtf8(c.typed));
        EXPECT_EQ(panel().lineNumberField()->text(), QString::fromUtf8(c.shown)) << c.typed;
    }
}

TEST_F(GoToLineNumberTest, ShowsTheLineOrBeeps)
{
    QList<qint64> asked;
    bool hasDocument = true;
    panel().setLineShowerForTesting([&](qint64 line, bool* has) {
        *has = hasDocument;
        asked << line;
        return hasDocument && line >= 1 && line <= 3;
    });
    panel().showWindow();
    const int beeps = panel().beepCountForTesting();
    type(QStringLiteral("2"));
    QTest::keyClick(panel().lineNumberField(), Qt::Key_Return);
    EXPECT_EQ(panel().beepCountForTesting(), beeps);
    type(QStringLiteral("0"));
    panel().select();
    type(QStringLiteral("4"));
    panel().select();
    EXPECT_EQ(panel().beepCountForTesting(), beeps + 2);
    hasDocument = false;
    type(QStringLiteral("1"));
    panel().select();
    EXPECT_EQ(panel().beepCountForTesting(), beeps + 3);
    EXPECT_EQ(asked, (QList<qint64> {2, 0, 4, 1}));
    EXPECT_TRUE(panel().window()->isVisible()); // stays open for the next jump
}

} // namespace
