// Batch Find over real project windows: what it searches and what leaves the
// results when a project closes.
#include "editor/BatchTextFinder.h"

#include "ProjectTestSupport.h"
#include "app/RegisteredDefaults.h"
#include "document/KELFilePrefs.h"
#include "document/KELFilePrefsManager.h"
#include "document/MyDocument.h"
#include "document/MyDocumentController.h"
#include "editor/KELHTMLView.h"
#include "kit/StringEncodings.h"
#include "kit/UserDefaults.h"
#include "project/ProjectDocumentController.h"
#include "project/ProjectServices.h"
#include "project/ProjectSystem.h"
#include "support/DefaultsKeys.h"

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QLabel>
#include <QLineEdit>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

using projecttest::makeTree;
using projecttest::writeFile;

namespace {

class ProjectBatchFindTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(site.isValid() && other.isValid());
        kit::UserDefaults::standard().resetForTesting();
        KELRegisterDefaults();
        KELFilePrefsManager::resetSharedForTesting();
        kit::DocumentController::resetSharedForTesting();
        DocumentWindowController::setFadeDurationForTesting(0);
        controller = new MyDocumentController(QCoreApplication::instance());
        KELInstallProjectServices();
        ProjectServices::shared() = ProjectServices::plainServices();
        finder().resetValues();
        finder().fileField()->clear();
        finder().ignoreCaseButton()->setChecked(true);
        kit::UserDefaults::standard().setValue(KELBatchFindRegexTypeKey, qlonglong(0));
    }
    void TearDown() override
    {
        finder().window()->hide();
        finder().resetValues();
        for (kit::Document* document : controller->documents())
            document->close();
        for (DocumentWindowController* window : controller->projectDocuments())
            window->closeWindowNow();
        QCoreApplication::processEvents();
        kit::DocumentController::resetSharedForTesting();
    }
    static BatchTextFinder& finder() { return BatchTextFinder::shared(); }
    void search(const QString& text)
    {
        QSignalSpy finished(&finder(), &BatchTextFinder::findFinished);
        finder().findComboBox()->setEditText(text);
        ASSERT_TRUE(finder().find());
        ASSERT_TRUE(finished.wait(10000));
    }
    QStringList results() const
    {
        QStringList out;
        for (const auto& file : finder().outlineViewItemsArray()) {
            QString path = file->filePath;
            path.replace(site.path(), QStringLiteral("site")).replace(other.path(), QStringLiteral("other"));
            out << path + QLatin1Char(':') + QString::number(file->containedItemsCount());
        }
        return out;
    }

    QTemporaryDir site;
    QTemporaryDir other;
    MyDocumentController* controller = nullptr;
};

TEST_F(ProjectBatchFindTest, SearchesEveryFileOfTheProjectsAsTheTreeListsThem)
{
    const QString root = site.path();
    makeTree(root, {"index.html", "blog/2019/post.html", "blog/notes.txt", "empty/"});
    writeFile(root + "/index.html", "<p>sea</p>\n");
    writeFile(root + "/blog/2019/post.html", "<p>Sea and sea</p>\n");
    writeFile(root + "/blog/notes.txt", "no match\n");
    writeFile(root + "/.git/config", "sea\n");                       // dot folders are not listed
    writeFile(root + "/KelpStudioTemp_000001.html", "sea\n");         // nor preview files
    writeFile(root + "/image.png", QByteArray("\x89PNG\r\n\x1a\nsea")); // nor images
    writeFile(root + "/data.html", QByteArray("sea\0sea", 7));         // nor binary data
    ASSERT_TRUE(QFile::link(root, root + "/blog/loop"));               // a loop is listed once
    // A file kept in Latin-1 is read so, as the user chose for it.
    writeFile(root + "/latin.html", QByteArray("caf\xe9 sea\n"));
    KELFilePrefs& prefs = KELFilePrefsManager::sharedFilePrefsManager().filePrefsForFile(root + "/latin.html");
    prefs.setEncoding(kit::ISOLatin1StringEncoding);
    KELFilePrefsManager::sharedFilePrefsManager().saveFilePrefs(prefs);

    ASSERT_TRUE(ProjectDocumentController::openProject(root, true));
    search(QStringLiteral("sea"));
    EXPECT_EQ(results(), (QStringList{"site/blog/2019/post.html:2", "site/index.html:1", "site/latin.html:1"}));
    EXPECT_EQ(finder().findStatusField()->text(), QStringLiteral("4 Found"));
    ASSERT_EQ(finder().outlineViewItemsArray().size(), 3);
    EXPECT_EQ(finder().outlineViewItemsArray().last()->containedItemsArray.first()->matchRange, kit::Range(5, 3));
    search(QStringLiteral("caf\u00e9"));
    EXPECT_EQ(results(), QStringList{"site/latin.html:1"});
}

TEST_F(ProjectBatchFindTest, ClosingAProjectDropsItsFilesButNotItsOpenDocuments)
{
    makeTree(site.path(), {"a.html", "b.html"});
    makeTree(other.path(), {"c.html"});
    for (const QString& path : {site.path() + "/a.html", site.path() + "/b.html", other.path() + "/c.html"})
        writeFile(path, "<p>sea</p>\n");
    ProjectDocumentController* first = ProjectDocumentController::openProject(site.path(), true);
    ASSERT_TRUE(ProjectDocumentController::openProject(other.path(), true));
    kit::Error error;
    // An untitled document in a window of its own stays a result of its own.
    auto* open = qobject_cast<MyDocument*>(controller->openUntitledDocumentAndDisplay(true, &error));
    ASSERT_TRUE(open);
    open->textView()->insertText(QStringLiteral("sea"));
    finder().showWindow();
    search(QStringLiteral("sea"));
    ASSERT_EQ(finder().outlineViewItemsArray().size(), 4);

    first->closeWindowNow();
    QTest::qWaitFor([&] { return results().size() == 2; }, 10000);
    ASSERT_EQ(results().size(), 2);
    EXPECT_TRUE(results().contains(QStringLiteral("other/c.html:1")));
}

} // namespace
