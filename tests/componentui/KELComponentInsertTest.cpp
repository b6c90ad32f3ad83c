#include "componentui/KELComponentInsertDefaultsController.h"
#include "componentui/KELComponentInsertSheet.h"

#include "ComponentUITestSupport.h"
#include "componentui/KELComponentController.h"
#include "document/KELFilePrefsManager.h"
#include "document/MyDocument.h"
#include "document/MyDocumentController.h"
#include "editor/KELHTMLView.h"
#include "kit/Alert.h"
#include "kit/UndoManager.h"
#include "kit/UserDefaults.h"

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QPushButton>

using namespace componentuitest;

namespace {

class KELComponentInsertTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        kit::UserDefaults::standard().resetForTesting();
        KELFilePrefsManager::resetSharedForTesting();
        kit::DocumentController::resetSharedForTesting();
        documents = new MyDocumentController(QCoreApplication::instance());
        kit::Alert::setResponderForTesting([](const kit::Alert&) { return kit::Alert::FirstButtonReturn; });
    }
    void TearDown() override
    {
        if (controller && controller->window()) {
            controller->window()->setWindowModified(false);
            delete controller->window();
        }
        kit::DocumentController::resetSharedForTesting();
        kit::Alert::setResponderForTesting(nullptr);
    }
    MyDocument* open(const QString& path)
    {
        kit::Error error;
        return qobject_cast<MyDocument*>(documents->openDocumentWithContentsOfURL(QUrl::fromLocalFile(path), true, &error));
    }
    KELComponentController* openComponent()
    {
        componenttest::writeText(componentDir.filePath(QStringLiteral("box.css")), QStringLiteral("p { color: red; }\n"));
        controller = KELOpenComponentWindow(
            fixtureComponent(componentDir, FixtureVariables, FixtureTemplate + QStringLiteral("<c:include type=\"style\" resource=\"box.css\"/>")));
        return controller;
    }

    QTemporaryDir componentDir;
    QTemporaryDir site;
    MyDocumentController* documents = nullptr;
    QPointer<KELComponentController> controller;
};

} // namespace

TEST_F(KELComponentInsertTest, FolderProposalsTakeTheFirstUsableChoice)
{
    auto& defaults = KELComponentInsertDefaultsController::sharedInstance();
    defaults.setHomeDirectoryForTesting(QStringLiteral("/home/me"));
    const QString page = site.filePath(QStringLiteral("index.html"));
    componenttest::writeText(page, QStringLiteral("<html></html>"));
    const QString beside = site.filePath(QStringLiteral("KelpComponents"));

    EXPECT_EQ(defaults.defaultScriptsPathForFile(QString()), QStringLiteral("/home/me/Sites/KelpComponents"));
    EXPECT_EQ(defaults.defaultScriptsPathForFile(page), beside);

    // A folder chosen for the file wins; one that became a file is passed over.
    const QString chosen = site.filePath(QStringLiteral("assets"));
    QDir(site.path()).mkdir(QStringLiteral("assets"));
    defaults.setDefaultScriptsPathForFile(chosen, page, false);
    EXPECT_EQ(defaults.defaultScriptsPathForFile(page), chosen);
    QDir(chosen).removeRecursively();
    componenttest::writeText(chosen, QStringLiteral("now a file"));
    EXPECT_EQ(defaults.defaultScriptsPathForFile(page), beside);

    // A project-wide choice outside any open project is kept for the file alone.
    const QString other = site.filePath(QStringLiteral("other"));
    QDir(site.path()).mkdir(QStringLiteral("other"));
    defaults.setDefaultScriptsPathForFile(other, page, true);
    EXPECT_EQ(defaults.defaultScriptsPathForFile(page), other);

    struct Case {
        QString path;
        bool valid;
    };
    QDir(site.path()).mkdir(QStringLiteral("folder"));
    KELComponentInsertDefaultsController::setWritableCheckForTesting([](const QString& path) { return !path.endsWith(QLatin1String("locked")); });
    QDir(site.path()).mkdir(QStringLiteral("locked"));
    for (const Case& c : { Case { site.filePath(QStringLiteral("missing/deeper")), true }, Case { site.filePath(QStringLiteral("folder")), true },
             Case { site.filePath(QStringLiteral("locked")), false }, Case { chosen, false }, Case { QString(), false } })
        EXPECT_EQ(KELComponentInsertDefaultsController::isValidDirectoryPath(c.path), c.valid) << c.path.toStdString();
    KELComponentInsertDefaultsController::setWritableCheckForTesting(nullptr);
    defaults.setHomeDirectoryForTesting(QString());
}

TEST_F(KELComponentInsertTest, WithoutADocumentTheSheetSaysSo)
{
    ASSERT_TRUE(openComponent());
    controller->insert();
    KELComponentInsertSheet* sheet = controller->insertSheet();
    ASSERT_TRUE(sheet);
    EXPECT_EQ(sheet->documentPopUpButton()->currentText(), KELComponentInsertSheet::NoDocumentItem);
    EXPECT_FALSE(sheet->documentPopUpButton()->isEnabled());
    EXPECT_FALSE(sheet->completeInsertButton()->isEnabled());
    EXPECT_EQ(sheet->documentAlertTextField()->text(), KELComponentInsertSheet::NoDocumentAlert);
    EXPECT_FALSE(sheet->completeInsert());
    sheet->cancelInsert();
}

TEST_F(KELComponentInsertTest, InsertPutsTheComponentAndItsFilesIntoTheDocumentAsOneStep)
{
    const QString original = QStringLiteral("<html>\n<head>\n<title>t</title>\n</head>\n<body>\n\n</body>\n</html>\n");
    const QString pagePath = site.filePath(QStringLiteral("page.html"));
    componenttest::writeText(pagePath, original);
    MyDocument* document = open(pagePath);
    ASSERT_TRUE(document && document->textView());
    endOfEvent();
    ASSERT_TRUE(openComponent());
    controller->rootController()->setValueForKeyPath(QStringLiteral("title.value"), QStringLiteral("Inserted"));
    endOfEvent();

    controller->insert();
    KELComponentInsertSheet* sheet = controller->insertSheet();
    ASSERT_TRUE(sheet);
    EXPECT_EQ(sheet->selectedDocument(), document);
    EXPECT_TRUE(sheet->completeInsertButton()->isEnabled());
    EXPECT_TRUE(sheet->scriptsPathView()->isVisibleTo(sheet));
    EXPECT_EQ(sheet->scriptsDirectory(), site.filePath(QStringLiteral("KelpComponents")));

    KELHTMLView* view = document->textView();
    kit::UndoManager* undo = view->editorUndoManager();
    const int before = undo->undoCount();
    QPointer<KELComponentWindow> window = controller->window();
    ASSERT_TRUE(sheet->completeInsert());
    endOfEvent();
    const QString text = view->string();
    EXPECT_TRUE(text.contains(QStringLiteral("<b>Inserted</b>"))) << text.toStdString();
    EXPECT_TRUE(text.contains(QStringLiteral("KelpComponents/box.css")));
    EXPECT_TRUE(QFileInfo::exists(site.filePath(QStringLiteral("KelpComponents/box.css"))));
    EXPECT_EQ(undo->undoCount(), before + 1);
    undo->undo();
    EXPECT_EQ(view->string(), original);
    // The component window closes once the insert is done.
    EXPECT_TRUE(!window || !window->isVisible());
    // The folder is remembered for the file.
    EXPECT_TRUE(KELComponentInsertDefaultsController::sharedInstance().hasDefaultPathFromFileSettings(document));
}
