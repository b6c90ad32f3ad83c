#include "html/Printers.h"
#include "html/TagReader.h"

#include <gtest/gtest.h>

TEST(TagReaderTest, LowerCaseNamesAgreeWithQString)
{
    const QString cases[] = {
        QStringLiteral("DIV"),
        QStringLiteral("div"),
        QStringLiteral("Data-Index"),
        QStringLiteral("xml:LANG"),
        QStringLiteral(""),
        QStringLiteral("ÄRGER"), // beyond ASCII
        QStringLiteral("\u0130D"), // a capital whose small letter is two code units
        QStringLiteral("x").repeated(63) + QStringLiteral("Y"), // fills the buffer
        QStringLiteral("X").repeated(65), // longer than the buffer
        QStringLiteral("A\U0001D400B"), // a surrogate pair
    };
    for (const QString& name : cases) {
        SCOPED_TRACE(name.toStdString());
        const QString expected = name.toLower();
        EXPECT_EQ(LowerCaseView(name).view().toString(), expected);
        // The second time the name is shared from the first.
        EXPECT_EQ(TagReader::lowerCaseName(name), expected);
        EXPECT_EQ(TagReader::lowerCaseName(name), expected);
    }
}

TEST(TagReaderTest, ReadTagAppendsAttributesAndReportsEachAsWritten)
{
    const QString text = QStringLiteral("<IMG Src=\"a.png\" STYLE = 'color: red' hidden>");
    TagInstance tag;
    tag.addAttribute(QStringLiteral("earlier"), QStringLiteral("1"));
    QStringList heard;
    bool complete = false;
    const qsizetype last = TagReader::readTag(0, text.size() - 1, tag, text, &complete, [&](const QString& name, kit::Range value) {
        heard << name + QLatin1Char('=') + text.mid(value.location, value.length);
    });
    EXPECT_TRUE(complete);
    EXPECT_EQ(last, text.size() - 1);
    EXPECT_EQ(tag.name(), QStringLiteral("img"));
    EXPECT_EQ(tag.nameRange(), kit::Range(1, 3));
    EXPECT_EQ(tag.attributes(), QStringList({ "earlier", "Src", "STYLE", "hidden" }));
    EXPECT_EQ(tag.values(), QStringList({ "1", "a.png", "color: red", "" }));
    EXPECT_EQ(heard, QStringList({ "Src=a.png", "STYLE=color: red", "hidden=" }));

    // A tag without its ">" leaves the instance as it was.
    const QString cut = QStringLiteral("<p class=\"x\"");
    TagInstance untouched;
    const qsizetype stop = TagReader::readTag(0, cut.size() - 1, untouched, cut, &complete);
    EXPECT_FALSE(complete);
    EXPECT_EQ(stop, cut.size() - 1);
    EXPECT_TRUE(untouched.name().isEmpty());
    EXPECT_TRUE(untouched.attributes().isEmpty());
}
