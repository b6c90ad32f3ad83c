#include "kit/Log.h"
#include "support/ColorAdditions.h"
#include "support/KELColorUtils.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QRegularExpression>
#include <QSet>
#include <QTemporaryDir>

namespace {

TEST(ColorAdditionsTest, ParsingHexForms)
{
    struct Case {
        QString text;
        int red, green, blue;
    };
    const Case cases[] = {
        {"fff", 255, 255, 255},       {"FFF", 255, 255, 255},    {"#fff", 255, 255, 255},
        {"ffffff", 255, 255, 255},    {"0a0", 0, 170, 0},        {"#7f7f7f", 127, 127, 127},
        {"#FF0000", 255, 0, 0},       {"12345678", 0x12, 0x34, 0x56}, // extra digits ignored
        {"#1", 255, 255, 255},        {"12", 255, 255, 255},     {"1234", 255, 255, 255},
        {"12345", 255, 255, 255},     {"", 255, 255, 255},       {"#", 255, 255, 255},
        {"zz00gg", 0, 0, 0},          // non-hex digits count 0
    };
    for (const Case& c : cases) {
        const QColor color = colorWithHtmlHexValue(c.text);
        EXPECT_EQ(color.red(), c.red) << c.text.toStdString();
        EXPECT_EQ(color.green(), c.green) << c.text.toStdString();
        EXPECT_EQ(color.blue(), c.blue) << c.text.toStdString();
        EXPECT_EQ(color.alphaF(), 1.0f);
    }
    // Only one leading "#" is dropped: "#abcd" is five characters long, so white.
    EXPECT_EQ(colorWithHtmlHexValue(QStringLiteral("##abcd")), QColor(Qt::white));
    EXPECT_NEAR(colorWithHtmlHexValue(QStringLiteral("000"), 0.25).alphaF(), 0.25, 1e-4);
    EXPECT_NEAR(colorWithHtmlHexValue(QString(), 0.5).alphaF(), 0.5, 1e-4);
}

TEST(ColorAdditionsTest, FormattingRoundTrips)
{
    for (const QString& hex : {QStringLiteral("7f7f7f"), QStringLiteral("000000"), QStringLiteral("ffffff"),
                               QStringLiteral("0a0b0c"), QStringLiteral("f0f8ff"), QStringLiteral("663399")}) {
        EXPECT_EQ(htmlHexValue(colorWithHtmlHexValue(hex)), hex);
    }
    EXPECT_EQ(htmlHexValue(QColor(Qt::red)), QStringLiteral("ff0000"));
    EXPECT_EQ(htmlHexValue(QColor::fromRgbF(0.5f, 0.999f, 0.0f)), QStringLiteral("7ffe00"));
    EXPECT_EQ(stringForRGBInt(5), QStringLiteral("05"));
    EXPECT_EQ(stringForRGBInt(300), QStringLiteral("12c"));
    EXPECT_NEAR(floatForRGBString(QStringLiteral("A")), 170 / 255.0, 1e-9);
    EXPECT_EQ(floatForRGBString(QString()), 0.0);
}

TEST(ColorAdditionsTest, ComparingWithTolerance)
{
    const QColor red = QColor::fromRgbF(1, 0, 0, 1);
    struct Case {
        QColor other;
        qreal delta;
        bool equal;
    };
    const Case cases[] = {
        {QColor::fromRgbF(1, 0, 0, 1), 0.01, true},
        {QColor::fromRgbF(0.995f, 0, 0, 1), 0.01, true},
        {QColor::fromRgbF(0.98f, 0, 0, 1), 0.01, false},
        {QColor::fromRgbF(1, 0, 0, 0.5f), 0.01, false},
        {QColor(), 1.0, false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(isRGBAEqual(red, c.other, c.delta), c.equal) << c.other.name().toStdString() << " " << c.delta;
    // Two transparent colours of different hue are equal.
    EXPECT_TRUE(isRGBAEqual(QColor::fromRgbF(1, 0, 0, 0), QColor::fromRgbF(0, 0, 1, 0), 0.001));
    EXPECT_FALSE(isRGBAEqual(QColor::fromRgbF(1, 0, 0, 0), QColor::fromRgbF(0, 0, 1, 0), 0.0));
}

TEST(ColorAdditionsTest, FixedInterfaceColours)
{
    EXPECT_NEAR(viewBorderColor().redF(), 0.706, 1e-4);
    EXPECT_EQ(viewBorderColor().redF(), viewBorderColor().blueF());
    EXPECT_NEAR(viewBackgroundColor().greenF(), 0.92, 1e-4);
    EXPECT_NEAR(imageBackgroundColor().blueF(), 0.5, 1e-4);
    EXPECT_EQ(imageBackgroundColor().alphaF(), 1.0f);
}

TEST(KELColorUtilsTest, TheShippedTableHoldsTheCSSColourNames)
{
    const KELColorUtils& utils = KELColorUtils::sharedInstance();
    const QStringList names = utils.htmlColorNames();
    EXPECT_EQ(names.size(), 148);
    QSet<QString> folded;
    for (const QString& name : names) {
        folded.insert(name.toLower());
        const std::optional<QString> hex = utils.htmlHexForColorName(name);
        ASSERT_TRUE(hex) << name.toStdString();
        // Each value parses as it should and agrees with the names the toolkit knows.
        EXPECT_TRUE(QRegularExpression(QStringLiteral("^#[0-9a-f]{6}$")).match(*hex).hasMatch()) << hex->toStdString();
        const QColor known = QColor::fromString(name.toLower());
        if (known.isValid()) {
            EXPECT_EQ(htmlHexValue(colorWithHtmlHexValue(*hex)), htmlHexValue(known)) << name.toStdString();
        }
    }
    EXPECT_EQ(folded.size(), 148);
    EXPECT_EQ(utils.htmlHexForColorName(QStringLiteral("rebeccapurple")), QStringLiteral("#663399"));
    EXPECT_EQ(utils.htmlHexForColorName(QStringLiteral("ALICEBLUE")), QStringLiteral("#f0f8ff"));
    EXPECT_FALSE(utils.htmlHexForColorName(QStringLiteral("kelpgreen")));
}

TEST(KELColorUtilsTest, AnUnreadableTableIsEmptyAndLogged)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("ColorNames.plist"));
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("<plist><dict><key>Red</key>");
    file.close();
    kit::LogCapture log;
    const KELColorUtils broken(path);
    EXPECT_TRUE(broken.htmlColorNames().isEmpty());
    EXPECT_FALSE(broken.htmlHexForColorName(QStringLiteral("Red")));
    EXPECT_EQ(log.lines().size(), 1);
}

} // namespace
