#include "support/KELComponentChecksum.h"

#include <gtest/gtest.h>

TEST(KELComponentChecksumTest, ChecksumOfBytesWithSignedHighBytes)
{
    EXPECT_EQ(KELComponentChecksum::computeChecksum(QString()), 0u);
    EXPECT_EQ(KELComponentChecksum::computeChecksum(QStringLiteral("abc")), 689u);
    // "é" is C3 A9 in UTF-8: both count as negative bytes.
    EXPECT_EQ(KELComponentChecksum::computeChecksum(QStringLiteral("é")), quint32(-61) + (quint32(-87) << 1));
    // The shift wraps at 24 places.
    const QString long25 = QString(25, QLatin1Char('\x01'));
    quint32 expected = 0;
    for (int i = 0; i < 25; ++i)
        expected += 1u << (i % 24);
    EXPECT_EQ(KELComponentChecksum::computeChecksum(long25), expected);
}

TEST(KELComponentChecksumTest, VerifiesOnlyUnchangedTextWithItsComment)
{
    QString text = QStringLiteral("function go() {\n  return 1;\n}\n");
    KELComponentChecksum::appendChecksum(text);
    EXPECT_TRUE(text.endsWith(QStringLiteral(" */")));
    EXPECT_TRUE(text.contains(QStringLiteral("   KelpStudioChecksum: ")));

    QString changedText = text;
    changedText[10] = QLatin1Char('X');
    QString changedDigits = text;
    changedDigits.insert(changedDigits.size() - 3, QLatin1Char('0'));
    changedDigits[changedDigits.size() - 5] = changedDigits[changedDigits.size() - 5] == QLatin1Char('1') ? QLatin1Char('2') : QLatin1Char('1');
    struct Case {
        std::optional<QString> text;
        bool verifies;
    } cases[] = {
        {text, true},
        {changedText, false},
        {changedDigits, false},
        {text + QLatin1Char('\n'), false},             // ends with a line feed
        {QStringLiteral("no line feed KelpStudioChecksum: 0"), false},
        {QStringLiteral("x\nno key here"), false},
        {std::nullopt, false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(KELComponentChecksum::verifyChecksumForFileContents(c.text), c.verifies) << c.text.value_or("(none)").toStdString();
}
