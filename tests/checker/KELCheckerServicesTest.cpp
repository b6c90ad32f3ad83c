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
#include "editor/KELLineNumberView.h"
#include "editor/KELTooltip.h"
#include "kit/text/LayoutManager.h"
#include "kit/UndoManager.h"
#include "support/DefaultsKeys.h"
#include "support/Notifications.h"
#include "kit/text/ScrollView.h"
#include "kit/UserDefaults.h"
#include "kit/NotificationCenter.h"
#include "kit/document/WindowController.h"

#include <QSignalSpy>
#include <QTest>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using kit::Range;

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

TEST_F(KELCheckerServicesTest, GutterMarkersAndTooltipsFollowTheEditsOfTheirErrors)
{
    MyDocument* document = open(QStringLiteral("markers.html"),
        "<html>\n<body>\n<div>\n<blink>one</blink>\n</div>\n<p>text</p>\n<marquee>two</marquee>\n</body>\n</html>\n");
    ASSERT_TRUE(document && document->textView());
    KELHTMLView* view = document->textView();
    KELLineNumberView* gutter = document->gutter();
    ASSERT_TRUE(gutter);
    ASSERT_TRUE(check(document));
    ASSERT_EQ(document->documentErrors().size(), 2);
    view->window()->activateWindow();

    // Every marker stands beside the line that now holds its error's text, and its tooltip
    // names that line; the error's range still covers that text.
    auto expectMarkersOnTheirErrors = [&](const char* when) {
        SCOPED_TRACE(when);
        const QString text = view->string();
        QList<qsizetype> wanted;
        for (const char* tag : {"<blink>", "<marquee>"})
            wanted.append(text.indexOf(QLatin1String(tag)));
        ASSERT_EQ(document->documentErrors().size(), 2);
        for (int i = 0; i < 2; ++i)
            EXPECT_EQ(document->documentErrors()[i].textRange().location, wanted[i]);
        QList<KELGutterMarker> markers;
        for (const KELGutterMarker& m : gutter->visibleGutterMarkers())
            if (m.type == KELGutterMarker::ErrorGroup)
                markers.append(m);
        ASSERT_EQ(markers.size(), 2);
        const QRectF visible = view->visibleContainerRect();
        for (int i = 0; i < 2; ++i) {
            const QRectF line = view->layoutManager()->lineFragmentRect(wanted[i]);
            const qreal top = line.y() + view->textContainerInset().height() - visible.y();
            EXPECT_GE(markers[i].rect.center().y(), top) << i;
            EXPECT_LT(markers[i].rect.center().y(), top + line.height()) << i;
            const QString lineNumber = QStringLiteral("Line %1:").arg(text.left(wanted[i]).count(QLatin1Char('\n')) + 1);
            gutter->showTooltipForMarker(markers[i]);
            ASSERT_TRUE(gutter->displayedTooltip());
            EXPECT_TRUE(gutter->displayedTooltip()->tooltipView()->textDocument()->toPlainText().contains(lineNumber))
                << i << " " << lineNumber.toStdString();
            gutter->hideTooltip();
        }
    };
    expectMarkersOnTheirErrors("after the check");

    // Return twice at the top of the page.
    view->setSelectedRange(Range(0, 0));
    QTest::keyClick(view, Qt::Key_Return);
    QTest::keyClick(view, Qt::Key_Return);
    ASSERT_TRUE(view->string().startsWith(QLatin1String("\n\n<html>")));
    expectMarkersOnTheirErrors("after Return twice at the top");

    // A line typed between the two errors moves the second only.
    const qsizetype paragraph = view->string().indexOf(QLatin1String("<p>"));
    view->setSelectedRange(Range(paragraph, 0));
    view->insertText(QStringLiteral("<br>"));
    view->insertNewline();
    expectMarkersOnTheirErrors("after a line typed between them");

    // Organize Tags re-indents every line in one step.
    MyDocumentCommands::services().organizeTags(view);
    ASSERT_TRUE(view->string().contains(QLatin1String("\t\t<blink>")));
    expectMarkersOnTheirErrors("after Organize Tags");

    // Undo brings the text back, and the markers with it.
    document->undoManager()->undo();
    expectMarkersOnTheirErrors("after undoing Organize Tags");
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

    // The generated text is a read-only code view: numbered lines, no editing, no spelling
    // marks under paths and names no dictionary knows.
    KELHTMLView* source = checker->sourceTextView();
    ASSERT_TRUE(source);
    EXPECT_FALSE(source->isEditable());
    EXPECT_FALSE(source->isContinuousSpellCheckingEnabled());
    kit::UserDefaults::standard().setValue(KELCheckSpellingAsYouType, true);
    kit::NotificationCenter::defaultCenter().post(KELUpdatedTextSettingsNotification, nullptr);
    EXPECT_FALSE(source->isContinuousSpellCheckingEnabled());
    EXPECT_TRUE(document->textView()->isContinuousSpellCheckingEnabled());
    kit::UserDefaults::standard().setValue(KELCheckSpellingAsYouType, false);
    kit::NotificationCenter::defaultCenter().post(KELUpdatedTextSettingsNotification, nullptr);
    ASSERT_TRUE(source->enclosingScrollView());
    EXPECT_TRUE(qobject_cast<KELLineNumberView*>(source->enclosingScrollView()->verticalRulerView()));
    EXPECT_EQ(source->font().family(), document->textView()->font().family());

    // Idle, the progress indicator is out of sight; it shows while a check runs.
    ASSERT_TRUE(QTest::qWaitFor([&] { return !checker->progressIndicator()->isVisible(); }, 10000));
    checker->refresh();
    EXPECT_TRUE(checker->progressIndicator()->isVisible());
    ASSERT_TRUE(QTest::qWaitFor([&] { return !checker->progressIndicator()->isVisible(); }, 10000));
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
