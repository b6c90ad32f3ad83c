#include "support/DefaultsKeys.h"
#include "kit/NotificationCenter.h"
#include "kit/StringEncodings.h"
#include "kit/UserDefaults.h"
#include "support/KELEncodingManager.h"
#include "support/KELEncodingPopUpButtonCell.h"

#include <gtest/gtest.h>

#include <QDialog>
#include <QListWidget>
#include <QPushButton>
#include <QTest>

namespace {

const QString Customize = QStringLiteral("Customize Encodings List\u2026");

class KELEncodingManagerTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        kit::UserDefaults::standard().resetForTesting();
        KELEncodingManager::sharedInstance().resetForTesting();
    }
    void TearDown() override { SetUp(); }

    static QStringList titles(const QComboBox& box)
    {
        QStringList result;
        for (int i = 0; i < box.count(); ++i)
            result.append(box.itemText(i));
        return result;
    }
    static QString name(kit::StringEncoding encoding) { return *KELEncodingManager::nameForEncoding(encoding); }
    static void storeList(const QList<kit::StringEncoding>& list)
    {
        QVariantList numbers;
        for (auto e : list)
            numbers.append(qlonglong(e));
        kit::UserDefaults::standard().setValue(KELDefaultEncodingsKey, numbers);
    }
};

TEST_F(KELEncodingManagerTest, NamesAndDefaultList)
{
    EXPECT_EQ(KELEncodingManager::nameForEncoding(kit::ASCIIStringEncoding), QStringLiteral("Plain Text (ASCII)"));
    EXPECT_EQ(KELEncodingManager::nameForEncoding(kit::UTF8StringEncoding),
              kit::localizedNameOfStringEncoding(kit::UTF8StringEncoding));
    EXPECT_FALSE(KELEncodingManager::nameForEncoding(0x7777777));
    EXPECT_FALSE(KELEncodingManager::IANANameForEncoding(kit::NoEncoding));
    EXPECT_EQ(KELEncodingManager::IANANameForEncoding(kit::UTF8StringEncoding)->toLower(), QStringLiteral("utf-8"));
    EXPECT_EQ(KELEncodingManager::sharedInstance().enabledEncodings(),
              (QList<kit::StringEncoding>{kit::ASCIIStringEncoding, kit::UTF16StringEncoding, kit::UTF8StringEncoding}));
}

TEST_F(KELEncodingManagerTest, AllEncodingsStartWithASCIIThenUnicodeThenScripts)
{
    const QList<kit::StringEncoding> all = KELEncodingManager::allAvailableStringEncodings();
    ASSERT_GT(all.size(), 5);
    EXPECT_EQ(all.first(), kit::ASCIIStringEncoding);
    bool unicodeDone = false;
    quint32 lastGroup = 0;
    for (qsizetype i = 1; i < all.size(); ++i) {
        const quint32 core = kit::coreStringEncoding(all[i]);
        const quint32 group = kit::mostCompatibleMacStringEncoding(core);
        EXPECT_TRUE(KELEncodingManager::nameForEncoding(all[i]));
        if (group == 0x0100) {
            EXPECT_FALSE(unicodeDone) << "Unicode encoding after other scripts: " << all[i];
            continue;
        }
        unicodeDone = true;
        EXPECT_GE(group, lastGroup) << "script groups out of order at " << all[i];
        lastGroup = group;
    }
    EXPECT_TRUE(all.contains(kit::UTF8StringEncoding));
    EXPECT_LT(KELEncodingManager::compareCoreEncodings(0x0600, 0x0100), 0);
    EXPECT_GT(KELEncodingManager::compareCoreEncodings(0x0201, 0x08000100), 0);
    EXPECT_EQ(KELEncodingManager::compareCoreEncodings(0x0201, 0x0201), 0);
}

TEST_F(KELEncodingManagerTest, PopUpFilling)
{
    const QString ascii = name(kit::ASCIIStringEncoding), utf16 = name(kit::UTF16StringEncoding),
                  utf8 = name(kit::UTF8StringEncoding), latin1 = name(kit::ISOLatin1StringEncoding);
    struct Case {
        const char* label;
        bool automatic;
        kit::StringEncoding selected;
        QStringList expected;
        int selectedIndex;
    };
    const Case cases[] = {
        {"plain", false, kit::NoEncoding, {ascii, utf16, utf8, "", Customize}, 0},
        {"selected", false, kit::UTF8StringEncoding, {ascii, utf16, utf8, "", Customize}, 2},
        // An encoding in use that is not enabled is listed last, selected.
        {"in use", false, kit::ISOLatin1StringEncoding, {ascii, utf16, utf8, latin1, "", Customize}, 3},
        {"automatic", true, kit::NoEncoding, {"Automatic", ascii, utf16, utf8, "", Customize}, 0},
        {"automatic with choice", true, kit::UTF16StringEncoding, {"Automatic", ascii, utf16, utf8, "", Customize}, 2},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        KELEncodingPopUpButtonCell box(c.automatic, c.selected);
        EXPECT_EQ(titles(box), c.expected);
        EXPECT_EQ(box.currentIndex(), c.selectedIndex);
        // With nothing chosen the first encoding shows.
        EXPECT_EQ(box.selectedEncoding(), c.selected == kit::NoEncoding && !c.automatic ? kit::ASCIIStringEncoding
                                                                                         : c.selected);
    }
    KELEncodingPopUpButtonCell plain;
    EXPECT_EQ(titles(plain), (QStringList{ascii, utf16, utf8, "", Customize}));
}

TEST_F(KELEncodingManagerTest, CustomizeItemNeverStaysSelected)
{
    KELEncodingPopUpButtonCell box(false, kit::UTF8StringEncoding);
    box.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&box));
    const int customize = box.count() - 1;
    box.selectItemAtIndex(customize);
    box.selectItemAtIndex(customize - 1); // the separator
    EXPECT_EQ(box.currentIndex(), 2);
    // Choosing it in the list opens the panel and leaves the selection alone.
    box.showPopup();
    QAbstractItemView* view = box.view();
    QTest::keyClick(view, Qt::Key_End);
    ASSERT_EQ(view->currentIndex().row(), customize);
    QTest::keyClick(view, Qt::Key_Return);
    EXPECT_EQ(box.currentIndex(), 2);
    EXPECT_EQ(box.selectedEncoding(), kit::UTF8StringEncoding);
    ASSERT_TRUE(KELEncodingManager::sharedInstance().panel());
    EXPECT_TRUE(KELEncodingManager::sharedInstance().panel()->isVisible());
}

TEST_F(KELEncodingManagerTest, PanelEditsTheListAndPopUpsFollow)
{
    auto& manager = KELEncodingManager::sharedInstance();
    auto& defaults = kit::UserDefaults::standard();
    KELEncodingPopUpButtonCell automatic(true, kit::NoEncoding);
    KELEncodingPopUpButtonCell document(false, kit::UTF16StringEncoding);
    int posts = 0;
    const quint64 observer = kit::NotificationCenter::defaultCenter().addObserver(
        KELEncodingsListChangedNotification, nullptr, [&](const kit::Notification&) { ++posts; });

    manager.showPanel();
    QListWidget* matrix = manager.encodingMatrix();
    ASSERT_TRUE(matrix);
    const QList<kit::StringEncoding> all = KELEncodingManager::allAvailableStringEncodings();
    ASSERT_EQ(matrix->count(), all.size());
    int checked = 0;
    for (int row = 0; row < matrix->count(); ++row)
        checked += matrix->item(row)->checkState() == Qt::Checked;
    EXPECT_EQ(checked, 3);
    EXPECT_EQ(posts, 0);

    // Ticking a box stores the list in the panel's order and refills every pop-up.
    const int latinRow = int(all.indexOf(kit::ISOLatin1StringEncoding));
    ASSERT_GE(latinRow, 0);
    matrix->item(latinRow)->setCheckState(Qt::Checked);
    EXPECT_EQ(posts, 1);
    QList<kit::StringEncoding> expected;
    for (auto e : all) {
        if (e == kit::ASCIIStringEncoding || e == kit::UTF16StringEncoding || e == kit::UTF8StringEncoding
            || e == kit::ISOLatin1StringEncoding)
            expected.append(e);
    }
    EXPECT_EQ(manager.enabledEncodings(), expected);
    EXPECT_EQ(defaults.listValue(KELDefaultEncodingsKey).size(), 4);
    EXPECT_TRUE(titles(automatic).contains(name(kit::ISOLatin1StringEncoding)));
    EXPECT_EQ(automatic.currentIndex(), 0); // "Automatic" stays selected
    EXPECT_EQ(document.selectedEncoding(), kit::UTF16StringEncoding);

    // Clear All: only the fixed items, plus the encoding in use where there is one.
    QTest::mouseClick(manager.panel()->findChild<QPushButton*>(QStringLiteral("clearAll")), Qt::LeftButton);
    EXPECT_EQ(posts, 2);
    EXPECT_EQ(titles(automatic), (QStringList{"Automatic", "", Customize}));
    EXPECT_EQ(titles(document), (QStringList{name(kit::UTF16StringEncoding), "", Customize}));
    EXPECT_EQ(document.selectedEncoding(), kit::UTF16StringEncoding);
    EXPECT_TRUE(defaults.listValue(KELDefaultEncodingsKey).isEmpty());
    for (int row = 0; row < matrix->count(); ++row)
        EXPECT_EQ(matrix->item(row)->checkState(), Qt::Unchecked);

    QTest::mouseClick(manager.panel()->findChild<QPushButton*>(QStringLiteral("selectAll")), Qt::LeftButton);
    EXPECT_EQ(manager.enabledEncodings(), all);
    EXPECT_EQ(automatic.count(), all.size() + 3);

    // Revert forgets the stored list without writing one.
    QTest::mouseClick(manager.panel()->findChild<QPushButton*>(QStringLiteral("revertToDefault")), Qt::LeftButton);
    EXPECT_EQ(posts, 4);
    EXPECT_FALSE(defaults.hasPersistentValue(KELDefaultEncodingsKey));
    EXPECT_EQ(manager.enabledEncodings().size(), 3);
    EXPECT_EQ(automatic.count(), 6);
    kit::NotificationCenter::defaultCenter().removeObserver(observer);
}

TEST_F(KELEncodingManagerTest, StoredListIsUsedInItsOrder)
{
    storeList({kit::UTF8StringEncoding, kit::WindowsCP1252StringEncoding});
    KELEncodingPopUpButtonCell box(false, kit::NoEncoding);
    EXPECT_EQ(titles(box), (QStringList{name(kit::UTF8StringEncoding), name(kit::WindowsCP1252StringEncoding), "",
                                        Customize}));
    // With nothing enabled and nothing in use, only the customize item remains and nothing is selected.
    storeList({});
    KELEncodingManager::sharedInstance().resetForTesting();
    KELEncodingPopUpButtonCell empty(false, kit::NoEncoding);
    EXPECT_EQ(titles(empty), QStringList{Customize});
    EXPECT_EQ(empty.currentIndex(), -1);
    EXPECT_EQ(empty.selectedEncoding(), kit::NoEncoding);
}

} // namespace
