// The colouring panes and the completion table: the controls each type gets,
// and settings that take effect (and reach open documents) at once.

#include "support/DefaultsKeys.h"
#include "app/RegisteredDefaults.h"
#include "app/TypeColoringPreferences.h"
#include "kit/NotificationCenter.h"
#include "kit/UserDefaults.h"
#include "support/PreferenceController2.h"
#include "syntax/ColoringGroup.h"
#include "syntax/SyntaxManager.h"
#include "syntax/SyntaxType.h"

#include <QAbstractButton>
#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QScreen>
#include <QStackedWidget>
#include <QTableWidget>
#include <QTest>
#include <gtest/gtest.h>

namespace {

class TypeColoringPreferencesTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        kit::UserDefaults::standard().resetForTesting();
        KELRegisterDefaults();
        notices = 0;
        observer = kit::NotificationCenter::defaultCenter().addObserver(
            QStringLiteral("KELColoringSettingsChangedNotification"), nullptr,
            [this](const kit::Notification&) { ++notices; });
    }
    void TearDown() override { kit::NotificationCenter::defaultCenter().removeObserver(observer); }
    int notices = 0;
    quint64 observer = 0;
};

TEST_F(TypeColoringPreferencesTest, PanesFollowTheStylesOfTheirType)
{
    SyntaxManager& manager = SyntaxManager::sharedInstance();
    for (SyntaxType* root : manager.rootTypes()) {
        auto pane = TypeColoringPreferences::create(root);
        if (root->coloringStyles().empty()) {
            EXPECT_FALSE(pane) << root->typeName().toStdString();
            continue;
        }
        ASSERT_TRUE(pane);
        EXPECT_EQ(bool(pane->coloringStyleMatrix()), root->coloringStyles().size() >= 2);
        EXPECT_EQ(pane->enableColoring()->text(), QStringLiteral("Enable %1 Coloring").arg(root->typeName()));
        const QList<ColoringGroup*> groups = manager.sortedColoringGroupsForStyle(root->currentStyle(), root);
        EXPECT_EQ(pane->colorSelectionTableView()->rowCount(), groups.size());
        for (int row = 0; row < int(groups.size()); ++row)
            EXPECT_NE(pane->colorSelectionTableView()->item(row, 0)->text(), QStringLiteral("Text"));
        // On a fresh profile nothing is stored, yet the style in use (the default) shows as chosen.
        if (QButtonGroup* styles = pane->coloringStyleMatrix()) {
            ASSERT_TRUE(root->currentStyleName().isEmpty()) << root->typeName().toStdString();
            QAbstractButton* checked = styles->checkedButton();
            ASSERT_TRUE(checked) << root->typeName().toStdString();
            EXPECT_EQ(checked->text(), root->defaultStyle()->name());
        }
    }
}

TEST_F(TypeColoringPreferencesTest, SwitchingColouringOffDisablesTheWellsAndRecolours)
{
    SyntaxType* html = SyntaxManager::sharedInstance().typeForName(QStringLiteral("HTML"));
    auto pane = TypeColoringPreferences::create(html);
    ASSERT_TRUE(pane);
    QTableWidget* table = pane->colorSelectionTableView();
    ASSERT_GT(table->rowCount(), 0);
    pane->enableColoring()->click();
    EXPECT_FALSE(html->coloringEnabled());
    EXPECT_EQ(notices, 1);
    for (int row = 0; row < table->rowCount(); ++row)
        EXPECT_FALSE(table->cellWidget(row, 1)->isEnabled());
    pane->enableColoring()->click();
    EXPECT_TRUE(html->coloringEnabled());
    EXPECT_TRUE(table->cellWidget(0, 1)->isEnabled());

    // A new colour is stored and documents are told at once.
    const int before = notices;
    pane->setColor(0, QColor(0x12, 0x34, 0x56));
    EXPECT_EQ(pane->coloringGroups().first()->color(), QColor(0x12, 0x34, 0x56));
    EXPECT_EQ(notices, before + 1);
    pane->resetToDefaults();
    EXPECT_EQ(pane->coloringGroups().first()->color(), pane->coloringGroups().first()->defaultColor());
}

TEST_F(TypeColoringPreferencesTest, TheWindowFitsTheLanguageSubPaneShown)
{
    KELInstallSyntaxPreferencePanes();
    PreferenceController2& prefs = PreferenceController2::sharedInstance();
    prefs.resetWindowForTesting();
    prefs.showWindow();
    prefs.showPreferencesPane(QStringLiteral("KELColorsPreferencesToolbarIdentifier"));
    QWidget* window = prefs.window();
    ASSERT_TRUE(QTest::qWaitFor([&] { return window->isVisible(); }, 5000));
    auto* languages = window->findChild<QComboBox*>(QStringLiteral("colorLanguage"));
    ASSERT_TRUE(languages);
    const int html = languages->findText(QStringLiteral("HTML"));
    ASSERT_GT(html, 0);
    auto* stack = qobject_cast<QStackedWidget*>(languages->parentWidget()->findChild<QStackedWidget*>());
    ASSERT_TRUE(stack);
    const int generalHeight = stack->widget(0)->sizeHint().height();
    const int htmlHeight = stack->widget(html)->sizeHint().height();
    ASSERT_NE(generalHeight, htmlHeight);
    const int available = window->screen()->availableGeometry().height() - (window->frameGeometry().height() - window->height());

    const QRect before = window->geometry();
    languages->setCurrentIndex(html);
    EXPECT_EQ(stack->currentIndex(), html);
    // The window grows or shrinks by the difference of the sub-panes, its top edge kept.
    ASSERT_TRUE(QTest::qWaitFor([&] { return window->height() == std::min(before.height() + htmlHeight - generalHeight, available); }, 5000));
    EXPECT_EQ(window->geometry().top(), before.top());
    languages->setCurrentIndex(0);
    ASSERT_TRUE(QTest::qWaitFor([&] { return window->height() == before.height(); }, 5000));
    EXPECT_EQ(window->geometry().top(), before.top());
    prefs.resetWindowForTesting();
}

TEST_F(TypeColoringPreferencesTest, CompletionModesListEachRootOnce)
{
    CodeCompletionPreferences prefs;
    QStringList names;
    for (SyntaxType* t : prefs.codeCompletionSyntaxTypes())
        names.append(t->typeName());
    // "CSS Block" offers completions under its root "CSS".
    EXPECT_EQ(names.count(QStringLiteral("CSS")), 1);
    EXPECT_FALSE(names.contains(QStringLiteral("CSS Block")));
    EXPECT_TRUE(names.contains(QStringLiteral("HTML")));
    QStringList sorted = names;
    std::sort(sorted.begin(), sorted.end(), [](const QString& a, const QString& b) {
        return QString::compare(a, b, Qt::CaseInsensitive) < 0;
    });
    EXPECT_EQ(names, sorted);

    const int row = int(names.indexOf(QStringLiteral("CSS")));
    auto* mode = qobject_cast<QComboBox*>(prefs.codeCompletionTableView()->cellWidget(row, 1));
    ASSERT_TRUE(mode);
    EXPECT_EQ(mode->currentText(), QStringLiteral("Manual"));
    prefs.setCompletionMode(row, 0);
    EXPECT_EQ(kit::UserDefaults::standard().stringValue(QStringLiteral("CompletionType:CSS")), QStringLiteral("Auto"));
    EXPECT_TRUE(SyntaxManager::sharedInstance().typeForName(QStringLiteral("CSS Block"))->usesAutoCompletion());
    prefs.setCompletionMode(row, 1);
    EXPECT_FALSE(kit::UserDefaults::standard().hasPersistentValue(QStringLiteral("CompletionType:CSS")));
}

} // namespace
