#include "kit/UserDefaults.h"
#include "support/PreferenceController2.h"
#include "support/DefaultsKeys.h"
#include "support/UtilityFunctions.h"

#include <gtest/gtest.h>

#include <QComboBox>
#include <QFontInfo>

namespace {

class PreferenceController2Test : public ::testing::Test {
protected:
    void SetUp() override
    {
        kit::UserDefaults::standard().resetForTesting();
        PreferenceController2::resetColorCacheForTesting();
    }
    void TearDown() override { SetUp(); }
};

TEST_F(PreferenceController2Test, ColourCacheKeepsTheFirstReadColour)
{
    auto& defaults = kit::UserDefaults::standard();
    defaults.setColor(QStringLiteral("Text Color"), QColor(Qt::red));
    EXPECT_EQ(PreferenceController2::colorForKey(QStringLiteral("Text Color")), QColor(Qt::red));
    // Changed behind the cache's back: the cached colour still answers.
    defaults.setColor(QStringLiteral("Text Color"), QColor(Qt::blue));
    EXPECT_EQ(PreferenceController2::colorForKey(QStringLiteral("Text Color")), QColor(Qt::red));
    // The preferences' own setter updates both.
    PreferenceController2::setColor(QColor(Qt::green), QStringLiteral("Text Color"));
    EXPECT_EQ(PreferenceController2::colorForKey(QStringLiteral("Text Color")), QColor(Qt::green));
    EXPECT_EQ(defaults.colorValue(QStringLiteral("Text Color")), QColor(Qt::green));
}

TEST_F(PreferenceController2Test, MissingColourIsNotCached)
{
    EXPECT_FALSE(PreferenceController2::colorForKey(QStringLiteral("Background Color")).isValid());
    kit::UserDefaults::standard().setColor(QStringLiteral("Background Color"), QColor(Qt::yellow));
    EXPECT_EQ(PreferenceController2::colorForKey(QStringLiteral("Background Color")), QColor(Qt::yellow));
}

TEST_F(PreferenceController2Test, DefaultFontIsFixedPitch)
{
    const QFont font = PreferenceController2::defaultFont();
    EXPECT_EQ(font.pointSize(), 11);
    EXPECT_TRUE(QFontInfo(font).fixedPitch());
}

TEST_F(PreferenceController2Test, RegexTypeNames)
{
    const std::pair<qint64, const char*> cases[] = {{0, "None"}, {1, "Simple"}, {2, "Advanced"}, {7, "Advanced"},
                                                    {-1, "Advanced"}};
    for (const auto& [type, name] : cases)
        EXPECT_EQ(PreferenceController2::nameForRegexType(type), QString::fromLatin1(name)) << type;
}

} // namespace

// The indentation pop-up writes the integer the indentation unit is read from.
TEST_F(PreferenceController2Test, IndentWithTabsOrSpacesSetsTheIndentUnit)
{
    auto& defaults = kit::UserDefaults::standard();
    defaults.setValue(KELOrganizeTagsSpacer, qlonglong(1));
    defaults.setValue(KELOrganizeTagsNumSpaces, qlonglong(2));
    auto* spacer = PreferenceController2::sharedInstance().window()->findChild<QComboBox*>(KELOrganizeTagsSpacer);
    ASSERT_TRUE(spacer);
    spacer->setCurrentIndex(spacer->findText(QStringLiteral("Spaces")));
    EXPECT_EQ(UtilityFunctions::indentSpacerSpring(), QStringLiteral("  "));
    spacer->setCurrentIndex(spacer->findText(QStringLiteral("Tabs")));
    EXPECT_EQ(UtilityFunctions::indentSpacerSpring(), QStringLiteral("\t"));
}
