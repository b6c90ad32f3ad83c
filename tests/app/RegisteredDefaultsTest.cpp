#include "support/DefaultsKeys.h"
#include "app/RegisteredDefaults.h"
#include "html/QuickInsertItem.h"
#include "kit/UserDefaults.h"
#include "support/PreferenceController2.h"

#include <gtest/gtest.h>

#include <QGuiApplication>
#include <QPalette>

namespace {

class RegisteredDefaultsTest : public ::testing::Test {
protected:
    void SetUp() override { kit::UserDefaults::standard().resetForTesting(); }
    void TearDown() override { kit::UserDefaults::standard().resetForTesting(); }
};

enum class Kind { Bool, Integer, String, Colour, Font, List, QuickInsertTree };

struct Row {
    const char* key;
    Kind kind;
    QVariant value; // for colours and fonts, checked separately
};

TEST_F(RegisteredDefaultsTest, EveryRowInOrderWithItsType)
{
    const qlonglong none = 4294967295LL;
    const Row rows[] = {
        {"Background Color", Kind::Colour, {}},
        {"Text Color", Kind::Colour, {}},
        {"Selection Color", Kind::Colour, {}},
        {"Selected Prieview Browser", Kind::Integer, 5},
        {"Default Browser", Kind::String, QString("")},
        {"Custom User Browser", Kind::String, QString("")},
        {"PHP Location", Kind::String, {}},
        {"KELLineNumbers", Kind::Bool, false},
        {"KELShowCodeFoldingInGutter", Kind::Bool, true},
        {"KELShowPreviewErrorsInGutter", Kind::Bool, true},
        {"KELOrganizeTagsSpacer", Kind::Integer, 1},
        {"KELOrganizeTagsNumSpaces", Kind::Integer, 1},
        {"Auto Indent After Newline", Kind::Bool, true},
        {"KELWordWrap", Kind::Bool, true},
        {"KELWordWrapMode", Kind::Integer, 0},
        {"KELIndentWrappedLines", Kind::Bool, true},
        {"Font", Kind::Font, {}},
        {"Create New Document", Kind::Bool, true},
        {"Should Get New Doc Code from a File", Kind::Bool, false},
        {"Code For New Documents", Kind::String, QString("")},
        {"Default File Extension", Kind::String, QString("html")},
        {"KELDefaultEncodingForOpen", Kind::Integer, none},
        {"KELDefaultEncodingForSave", Kind::Integer, none},
        {"Should Wrap Inserted Tags Around Selected Text", Kind::Integer, 0},
        {"Should Capitalize Tags", Kind::Bool, false},
        {"User Agrees to the User Agreement", Kind::Bool, false},
        {"Quick Insert Items", Kind::QuickInsertTree, QVariant()},
        {"Use Vertical Divider in Live Preview", Kind::Bool, false},
        {"Display Images in Live Preview", Kind::Bool, true},
        {"Download Internet Files in Live Preview", Kind::Bool, true},
        {"KELLivePreviewShowAlerts", Kind::Bool, false},
        {"Find Regex Type", Kind::Integer, 1},
        {"Batch Find Regex Type", Kind::Integer, 1},
        {"Batch Find Regex Type for Files", Kind::Integer, 1},
        {"Use Tabbed Interface in Projects", Kind::Bool, true},
        {"Use Tabbed Interface in Standalone Documents", Kind::Bool, true},
        {"Open Quickly Local", Kind::Bool, true},
        {"KELCheckSpellingAsYouType", Kind::Bool, true},
        {"KELAutomaticallyCorrectSpelling", Kind::Bool, false},
        {"KELAutomaticTextReplacement", Kind::Bool, false},
        {"KELSmartDashes", Kind::Bool, false},
        {"KELDataDetectors", Kind::Bool, false},
        {"KELLinkDetectors", Kind::Bool, false},
        {"KELSmartQuotes", Kind::Bool, false},
        {"KELSmartInsertDelete", Kind::Bool, false},
        {"KELPrintDocumentEnableTextColoring", Kind::Bool, false},
        {"KELPrintDocumentEnableLineNumbering", Kind::Bool, false},
        {"KELNavigatorSelectedViewOption", Kind::Integer, 0},
        {"KELShowHTML5Completions", Kind::Bool, true},
        {"KELShowCSS3Completions", Kind::Bool, true},
        {"KELErrorCheckerShowWarnings", Kind::Bool, true},
        {"ComponentLibrarySelectedView", Kind::Integer, 2},
        {"KELDefaultFileTypeKey", Kind::String, QString("HTML")},
        {"NSRecentDocumentsLimit", Kind::Integer, 10},
    };

    const QList<KELRegisteredDefault> table = KELRegisteredDefaultsTable(QStringLiteral("HTML"));
    ASSERT_EQ(table.size(), qsizetype(std::size(rows)));
    KELRegisterDefaults(QStringLiteral("HTML"));
    auto& defaults = kit::UserDefaults::standard();
    for (qsizetype i = 0; i < table.size(); ++i) {
        const Row& row = rows[i];
        const QString key = QString::fromUtf8(row.key);
        SCOPED_TRACE(row.key);
        EXPECT_EQ(table[i].key, key);
        const QVariant value = defaults.value(key);
        ASSERT_TRUE(value.isValid());
        switch (row.kind) {
        case Kind::Bool:
            EXPECT_EQ(value.typeId(), QMetaType::Bool);
            EXPECT_EQ(value.toBool(), row.value.toBool());
            break;
        case Kind::Integer:
            EXPECT_EQ(value.typeId(), QMetaType::LongLong);
            EXPECT_EQ(defaults.integerValue(key), row.value.toLongLong());
            break;
        case Kind::String:
            EXPECT_EQ(value.typeId(), QMetaType::QString);
            if (row.value.isValid()) {
                EXPECT_EQ(defaults.stringValue(key), row.value.toString());
            }
            break;
        case Kind::List:
            EXPECT_EQ(value.typeId(), QMetaType::QVariantList);
            EXPECT_EQ(value.toList(), row.value.toList());
            break;
        case Kind::Colour:
            EXPECT_TRUE(defaults.colorValue(key).isValid());
            break;
        case Kind::Font:
            EXPECT_EQ(defaults.fontValue(key), PreferenceController2::defaultFont());
            break;
        case Kind::QuickInsertTree: {
            // The factory tree: "Symbols" and its eight folders.
            const auto tree = QuickInsertItem::fromArchive(value);
            ASSERT_TRUE(tree);
            EXPECT_EQ(tree->name(), QStringLiteral("Symbols"));
            EXPECT_EQ(tree->subItems().size(), 8u);
            break;
        }
        }
    }
    EXPECT_EQ(defaults.colorValue(KELBackgroundColorKey), QColor(Qt::white));
    EXPECT_EQ(defaults.colorValue(KELTextColorKey), QColor(Qt::black));
    EXPECT_EQ(defaults.colorValue(KELSelectionColorKey).rgb(),
              QGuiApplication::palette().color(QPalette::Active, QPalette::Highlight).rgb());
    EXPECT_FALSE(defaults.stringValue(KELPHPLocationKey).isEmpty());
    // The software updater's settings are not ours.
    EXPECT_FALSE(defaults.value(QStringLiteral("SUCheckAtStartup")).isValid());
    EXPECT_FALSE(defaults.value(QStringLiteral("SUSendProfileInfo")).isValid());
    // Registered values never reach the user's file.
    EXPECT_TRUE(defaults.persistentDomain().isEmpty());
}

TEST_F(RegisteredDefaultsTest, DefaultFileTypeOnlyWhenKnown)
{
    KELRegisterDefaults();
    EXPECT_FALSE(kit::UserDefaults::standard().value(KELDefaultFileTypeKey).isValid());
    EXPECT_EQ(KELRegisteredDefaultsTable().size(), 53);
}

TEST_F(RegisteredDefaultsTest, StaleWebSettingsAreRemoved)
{
    auto& defaults = kit::UserDefaults::standard();
    defaults.setValue(KELWebKitStandardFontKey, QStringLiteral("Times"));
    defaults.setValue(KELWebKitDefaultFontSizeKey, qlonglong(16));
    KELRegisterDefaults();
    EXPECT_FALSE(defaults.value(KELWebKitStandardFontKey).isValid());
    EXPECT_FALSE(defaults.value(KELWebKitDefaultFontSizeKey).isValid());
}

TEST_F(RegisteredDefaultsTest, LegacyKeysMove)
{
    struct Case {
        const char* label;
        QString oldKey;
        QString newKey;
        QVariant oldValue; // invalid: not stored
        QVariant newValue; // invalid: not stored
        QVariant expected; // what the new key reads after start-up
        bool newStored;    // whether the new key is stored by the user afterwards
    };
    const Case cases[] = {
        {"moved", "Line Numbers", "KELLineNumbers", true, {}, true, true},
        {"new wins", "Word Wrap", "KELWordWrap", false, true, true, true},
        {"nothing stored", "Word Wrap Mode (Updated)", "KELWordWrapMode", {}, {}, qlonglong(0), false},
        {"moved unchanged", "Organize Tags with Space or Tab", "KELOrganizeTagsSpacer", qlonglong(0), {},
         qlonglong(0), true},
        {"integer mode", "Word Wrap Mode (Updated)", "KELWordWrapMode", qlonglong(1), {}, qlonglong(1), true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        auto& defaults = kit::UserDefaults::standard();
        defaults.resetForTesting();
        if (c.oldValue.isValid())
            defaults.setValue(c.oldKey, c.oldValue);
        if (c.newValue.isValid())
            defaults.setValue(c.newKey, c.newValue);
        KELMoveLegacyDefaults();
        KELRegisterDefaults();
        EXPECT_FALSE(defaults.hasPersistentValue(c.oldKey));
        EXPECT_EQ(defaults.hasPersistentValue(c.newKey), c.newStored);
        EXPECT_EQ(defaults.value(c.newKey), c.expected);
        EXPECT_EQ(defaults.value(c.newKey).typeId(), c.expected.typeId());
    }
}

} // namespace
