#include "CheckerTestSupport.h"

#include "app/RegisteredDefaults.h"
#include "document/KELCheckerServices.h"
#include "document/KELErrorChecker.h"
#include "document/KELErrorCheckerViews.h"
#include "document/DocumentSystem.h"
#include "document/DocumentWindowController.h"
#include "document/KELFilePrefsManager.h"
#include "document/MyDocument.h"
#include "document/MyDocumentCommands.h"
#include "document/MyDocumentController.h"
#include "editor/KELHTMLView.h"
#include "kit/UndoManager.h"
#include "kit/document/WindowController.h"

#include <QSignalSpy>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

void settle()
{
    for (int i = 0; i < 5; ++i) {
        QCoreApplication::processEvents();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
}

class KELCheckerServicesTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        kit::UserDefaults::standard().resetForTesting();
        KELRegisterDefaults();
        kit::UserDefaults::standard().setValue(KELCheckSpellingAsYouType, false);
        KELFilePrefsManager::resetSharedForTesting();
        kit::DocumentController::resetSharedForTesting();
        DocumentWindowController::setFadeDurationForTesting(0);
        controller = new MyDocumentController(QCoreApplication::instance());
        KELStartDocumentSystem(dir.filePath(QStringLiteral("none.plist")));
        KELInstallCheckerServices();
    }
    void TearDown() override
    {
        for (kit::WindowController* window : kit::WindowController::allWindowControllers())
            if (auto* documents = qobject_cast<DocumentWindowController*>(window))
                documents->closeWindowNow();
        settle();
        kit::DocumentController::resetSharedForTesting();
        KELFilePrefsManager::resetSharedForTesting();
    }
    MyDocument* open(const QString& name, const QByteArray& bytes)
    {
        QFile file(dir.filePath(name));
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
        file.close();
        kit::Error error;
        auto* document = qobject_cast<MyDocument*>(controller->openDocumentWithContentsOfURL(QUrl::fromLocalFile(file.fileName()), true, &error));
        settle();
        return document;
    }
    static KELErrorChecker* check(MyDocument* document)
    {
        MyDocumentCommands::services().showErrorChecker(document);
        KELErrorChecker* checker = KELErrorChecker::existingErrorCheckerWithDocument(KELSyntaxCheckDocumentForDocument(document));
        if (checker) {
            QSignalSpy shown(checker, &KELErrorChecker::resultShown);
            shown.wait(60000);
        }
        return checker;
    }

    QTemporaryDir dir;
    MyDocumentController* controller = nullptr;
};

} // namespace

TEST_F(KELCheckerServicesTest, CheckDocumentMarksTheGutterAndSelectsErrors)
{
    EXPECT_TRUE(MyDocumentCommands::services().isSyntaxCheckAvailable(QStringLiteral("HTML")));
    EXPECT_FALSE(MyDocumentCommands::services().isSyntaxCheckAvailable(QStringLiteral("Plain Text")));

    MyDocument* document = open(QStringLiteral("page.html"), "<html>\n<body>\n<blink>old</blink>\n</body>\n</html>\n");
    ASSERT_TRUE(document && document->textView());
    KELErrorChecker* checker = check(document);
    ASSERT_TRUE(checker);
    EXPECT_EQ(checker->windowTitle(), QStringLiteral("Errors for page.html"));
    ASSERT_EQ(document->documentErrors().size(), 1);
    EXPECT_EQ(document->documentErrors()[0].title(), QStringLiteral("Unrecognized Tag"));
    EXPECT_EQ(document->documentErrors()[0].lineNumber(), 3u);

    KELErrorCheckerTableView* table = checker->errorListTableView();
    QTest::mouseClick(table->viewport(), Qt::LeftButton, {}, table->visualRect(table->model()->index(0, 0)).center());
    EXPECT_EQ(document->textView()->selectedRange(), document->documentErrors()[0].textRange());

    // Closing the document closes its checker.
    QPointer<KELErrorChecker> guard(checker);
    document->close();
    settle();
    EXPECT_TRUE(guard.isNull());
}

TEST_F(KELCheckerServicesTest, PHPDocumentIsCheckedOnItsOutput)
{
    MyDocument* document = open(QStringLiteral("page.php"), "<p>\n<?php\necho $missing;\necho '<blink></blink>';\n?>\n</p>\n");
    ASSERT_TRUE(document);
    KELErrorChecker* checker = check(document);
    ASSERT_TRUE(checker);
    ASSERT_EQ(checker->typeListView()->rowCount(), 2);
    ASSERT_EQ(document->documentErrors().size(), 1);
    EXPECT_EQ(document->documentErrors()[0].title(), QStringLiteral("PHP Error"));
    EXPECT_EQ(document->documentErrors()[0].lineNumber(), 3u);
    ASSERT_EQ(checker->sourceErrors().size(), 1);
    EXPECT_EQ(checker->sourceErrors()[0].title(), QStringLiteral("Unrecognized Tag"));
    checker->close();
    EXPECT_TRUE(document->documentErrors().isEmpty());
}

TEST_F(KELCheckerServicesTest, OrganizeTagsIsOneUndoStepOfTheDocument)
{
    MyDocument* document = open(QStringLiteral("organize.html"), "<body>\n<div>\n<p>\ntext\n</p>\n</div>\n</body>\n");
    ASSERT_TRUE(document && document->textView());
    const QString before = document->textView()->string();
    MyDocumentCommands::services().organizeTags(document->textView());
    EXPECT_EQ(document->textView()->string(), QStringLiteral("<body>\n\t<div>\n\t\t<p>\n\t\t\ttext\n\t\t</p>\n\t</div>\n</body>\n"));
    settle();
    EXPECT_TRUE(document->isDocumentEdited());
    EXPECT_EQ(document->textView()->undoManager()->undoActionName(), QStringLiteral("Organize Tags"));
    document->textView()->undoManager()->undo();
    EXPECT_EQ(document->textView()->string(), before);
}
