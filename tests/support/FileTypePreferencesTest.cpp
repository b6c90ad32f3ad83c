#include "support/DefaultsKeys.h"
#include "kit/Alert.h"
#include "kit/NotificationCenter.h"
#include "kit/UserDefaults.h"
#include "support/FileTypePreferences.h"
#include "support/HelpUtils.h"
#include "support/KELFileTypeManager.h"

#include <QAbstractItemModel>
#include <QComboBox>
#include <QCoreApplication>
#include <QHeaderView>
#include <QLineEdit>
#include <QPushButton>
#include <QTableView>
#include <QTest>
#include <gtest/gtest.h>

namespace {

// The pane in a real window over the shipped mapping; records notifications and alerts.
class FileTypePreferencesTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        kit::UserDefaults::standard().resetForTesting();
        registry().readDefaults();
        kit::Alert::setResponderForTesting([this](const kit::Alert& alert) {
            alerts.append(alert.messageText());
            return alertResponse;
        });
        for (const QString& name : {KELFileTypesDidChangeNotification,
                 QStringLiteral("KELColoringSettingsChangedSecondNotification")})
            kit::NotificationCenter::defaultCenter().addObserver(name, nullptr,
                [this](const kit::Notification& n) { notifications.append(n.name); }, &context);
        pane = std::make_unique<FileTypePreferences>();
        pane->resize(500, 600);
        pane->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(pane.get()));
        pane->activateWindow();
    }
    void TearDown() override
    {
        pane.reset();
        kit::Alert::setResponderForTesting({});
        kit::UserDefaults::standard().resetForTesting();
        registry().readDefaults();
    }
    static KELFileTypeManager& registry() { return KELFileTypeManager::sharedInstance(); }
    QTableView* table() const { return pane->fileTypeTableView(); }
    // Whether an editor is open on the current cell.
    bool editing() const { return table()->indexWidget(table()->currentIndex()) != nullptr; }
    QAbstractItemModel* model() const { return table()->model(); }

    int rowShowing(const QString& text, int column = FileTypePreferences::extensionColumn) const
    {
        for (int row = 0; row < model()->rowCount(); ++row)
            if (model()->index(row, column).data().toString() == text)
                return row;
        return -1;
    }
    QStringList column(int column = FileTypePreferences::extensionColumn) const
    {
        QStringList texts;
        for (int row = 0; row < model()->rowCount(); ++row)
            texts.append(model()->index(row, column).data().toString());
        return texts;
    }
    // The table commits a confirmed edit on the next turn of the event loop.
    static void pressReturn(QWidget* editor)
    {
        QTest::keyClick(editor, Qt::Key_Return);
        QCoreApplication::processEvents();
    }
    // Double-clicks a cell and answers the line edit that opens.
    QLineEdit* editExtensionAt(int row)
    {
        const QModelIndex index = model()->index(row, FileTypePreferences::extensionColumn);
        table()->scrollTo(index);
        const QPoint at = table()->visualRect(index).center();
        QTest::mouseClick(table()->viewport(), Qt::LeftButton, {}, at);
        QTest::mouseDClick(table()->viewport(), Qt::LeftButton, {}, at);
        return qobject_cast<QLineEdit*>(table()->indexWidget(index));
    }
    std::shared_ptr<KELExtensionType> entryWithExtension(const QString& extension) const
    {
        for (const auto& entry : registry().extensionTypes())
            if (entry->extension() == extension)
                return entry;
        return nullptr;
    }

    std::unique_ptr<FileTypePreferences> pane;
    QObject context;
    QStringList notifications;
    QStringList alerts;
    int alertResponse = kit::Alert::FirstButtonReturn;
};

TEST_F(FileTypePreferencesTest, TheTableShowsTheMappingSortedWithPlaceholders)
{
    const QStringList extensions = column();
    EXPECT_EQ(extensions.size(), registry().extensionTypes().size());
    EXPECT_EQ(extensions.last(), "(No Extension)"); // files without extension come after the others
    QStringList named = extensions.mid(0, extensions.size() - 1);
    QStringList sorted = named;
    sorted.sort(Qt::CaseInsensitive);
    EXPECT_EQ(named, sorted);
    EXPECT_EQ(model()->index(rowShowing("php"), FileTypePreferences::typeColumn).data().toString(), "PHP");
    EXPECT_EQ(table()->model()->headerData(0, Qt::Horizontal).toString(), "Extension");
}

TEST_F(FileTypePreferencesTest, EditingAnExtensionReachesTheRegistryAndItsListeners)
{
    QLineEdit* editor = editExtensionAt(rowShowing("htm"));
    ASSERT_TRUE(editor);
    EXPECT_EQ(editor->selectedText(), "htm");
    QTest::keyClicks(editor, QStringLiteral(".tpl")); // the point is refused as it is typed
    EXPECT_EQ(editor->text(), "tpl");
    pressReturn(editor);

    EXPECT_FALSE(editing());
    EXPECT_EQ(registry().typeNameForExtension(QStringLiteral("TPL")), "HTML");
    EXPECT_EQ(registry().typeNameForExtension(QStringLiteral("htm")), "Binary");
    EXPECT_TRUE(notifications.contains(KELFileTypesDidChangeNotification));
    EXPECT_TRUE(notifications.contains("KELColoringSettingsChangedSecondNotification"));
    // The row moved to its sorted place and stays selected.
    const int row = rowShowing("tpl");
    ASSERT_GE(row, 0);
    EXPECT_EQ(column().indexOf("tpl"), column().indexOf("text") + 1);
    EXPECT_EQ(column().indexOf("tpl"), column().indexOf("txt") - 1);
    EXPECT_EQ(table()->currentIndex().row(), row);
}

TEST_F(FileTypePreferencesTest, ADuplicateExtensionIsRefusedAndTheEditStaysOpen)
{
    const auto entry = entryWithExtension("htm");
    QLineEdit* editor = editExtensionAt(rowShowing("htm"));
    ASSERT_TRUE(editor);
    QTest::keyClicks(editor, QStringLiteral("CSS"));
    pressReturn(editor);
    EXPECT_EQ(alerts, QStringList({"Another entry with extension \"CSS\" already exists."}));
    EXPECT_TRUE(editing());
    EXPECT_EQ(entry->extension(), QString("htm"));
    EXPECT_FALSE(notifications.contains(KELFileTypesDidChangeNotification));

    // Corrected, the value is taken.
    editor->selectAll();
    QTest::keyClicks(editor, QStringLiteral("less"));
    pressReturn(editor);
    EXPECT_FALSE(editing());
    EXPECT_EQ(entry->extension(), QString("less"));
    EXPECT_EQ(alerts.size(), 1);
}

TEST_F(FileTypePreferencesTest, ChoosingATypeRemapsTheExtension)
{
    const int row = rowShowing("txt");
    const QModelIndex index = model()->index(row, FileTypePreferences::typeColumn);
    const QPoint at = table()->visualRect(index).center();
    QTest::mouseClick(table()->viewport(), Qt::LeftButton, {}, at);
    QTest::mouseDClick(table()->viewport(), Qt::LeftButton, {}, at);
    auto* popUp = qobject_cast<QComboBox*>(table()->indexWidget(index));
    ASSERT_TRUE(popUp);
    EXPECT_EQ(popUp->currentText(), "Plain Text");
    QTest::keyClick(popUp, Qt::Key_Up); // "PHP", just above
    EXPECT_EQ(registry().typeNameForExtension(QStringLiteral("txt")), "PHP");
    EXPECT_EQ(model()->index(rowShowing("txt"), FileTypePreferences::typeColumn).data().toString(), "PHP");
    EXPECT_TRUE(notifications.contains(KELFileTypesDidChangeNotification));
}

TEST_F(FileTypePreferencesTest, AddAndRemoveRows)
{
    const qsizetype before = registry().extensionTypes().size();
    QTest::mouseClick(pane->addButton(), Qt::LeftButton);
    ASSERT_EQ(registry().extensionTypes().size(), before + 1);
    EXPECT_TRUE(editing());
    // Files without extension have their row already, so the new one starts without value.
    EXPECT_EQ(registry().extensionTypes().last()->extension(), std::nullopt);
    auto* editor = qobject_cast<QLineEdit*>(table()->indexWidget(table()->currentIndex()));
    ASSERT_TRUE(editor);
    EXPECT_EQ(column().last(), "Enter Value");
    QTest::keyClicks(editor, QStringLiteral("vue"));
    pressReturn(editor);
    EXPECT_EQ(registry().typeNameForExtension(QStringLiteral("vue")), "HTML");

    // Adding while an edit holds a duplicate adds nothing.
    editor = editExtensionAt(rowShowing("vue"));
    ASSERT_TRUE(editor);
    QTest::keyClicks(editor, QStringLiteral("js"));
    QTest::mouseClick(pane->addButton(), Qt::LeftButton);
    EXPECT_EQ(registry().extensionTypes().size(), before + 1);
    EXPECT_EQ(alerts.size(), 1);
    QTest::keyClick(editor, Qt::Key_Escape);

    notifications.clear();
    table()->clearSelection();
    table()->selectRow(rowShowing("vue"));
    QTest::mouseClick(pane->removeButton(), Qt::LeftButton);
    EXPECT_EQ(registry().extensionTypes().size(), before);
    EXPECT_EQ(registry().typeNameForExtension(QStringLiteral("vue")), "Binary");
    EXPECT_EQ(rowShowing("vue"), -1);
    EXPECT_TRUE(notifications.contains(KELFileTypesDidChangeNotification));
}

TEST_F(FileTypePreferencesTest, ResetAsksFirst)
{
    table()->selectRow(rowShowing("css"));
    QTest::mouseClick(pane->removeButton(), Qt::LeftButton);
    kit::UserDefaults::standard().setValue(KELDefaultFileTypeKey, QStringLiteral("CSS"));

    alertResponse = kit::Alert::SecondButtonReturn; // Cancel
    QTest::mouseClick(pane->resetButton(), Qt::LeftButton);
    EXPECT_EQ(alerts, QStringList({"Are you sure that you want to reset all file types to their default values?"}));
    EXPECT_EQ(registry().typeNameForExtension(QStringLiteral("css")), "Binary");

    alertResponse = kit::Alert::FirstButtonReturn; // Reset to Defaults
    QTest::mouseClick(pane->resetButton(), Qt::LeftButton);
    EXPECT_EQ(registry().typeNameForExtension(QStringLiteral("css")), "CSS");
    EXPECT_GE(rowShowing("css"), 0);
    EXPECT_EQ(pane->defaultTypePopUpButton()->currentText(), "HTML");
    EXPECT_TRUE(notifications.contains(KELFileTypesDidChangeNotification));
}

TEST_F(FileTypePreferencesTest, DefaultTypeHelpAndClosingThePreferences)
{
    QComboBox* popUp = pane->defaultTypePopUpButton();
    EXPECT_EQ(popUp->count(), registry().newFileTypeNames().size()); // no "Hidden"
    EXPECT_EQ(popUp->currentText(), "HTML");
    popUp->setFocus();
    QTest::keyClick(popUp, Qt::Key_Down); // "JavaScript"
    EXPECT_EQ(kit::UserDefaults::standard().stringValue(KELDefaultFileTypeKey), "JavaScript");
    EXPECT_EQ(registry().defaultTypeName(), "JavaScript");
    EXPECT_TRUE(notifications.contains(KELFileTypesDidChangeNotification));

    QList<QUrl> opened;
    HelpUtils::setOpenerForTesting([&](const QUrl& url) {
        opened.append(url);
        return true;
    });
    QTest::mouseClick(pane->helpButton(), Qt::LeftButton);
    HelpUtils::setOpenerForTesting({});
    ASSERT_EQ(opened.size(), 1);
    EXPECT_TRUE(opened.first().toLocalFile().endsWith("/Help/prefs/filetypes.html"));

    entryWithExtension("htm")->setExtension(QStringLiteral("htmx"));
    EXPECT_FALSE(kit::UserDefaults::standard().hasPersistentValue(KELFileExtensionTypesKey));
    kit::NotificationCenter::defaultCenter().post(QStringLiteral("KELPreferencesWindowWillCloseNotification"));
    EXPECT_TRUE(kit::UserDefaults::standard().mapValue(KELFileExtensionTypesKey).value("HTML").toList().contains("htmx"));
}

} // namespace
