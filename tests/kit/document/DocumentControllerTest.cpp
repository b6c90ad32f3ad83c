#include "kit/Alert.h"
#include "kit/Log.h"
#include "kit/UserDefaults.h"
#include "kit/document/Document.h"
#include "kit/document/DocumentController.h"
#include "kit/document/DocumentTestSupport.h"
#include "kit/document/WindowController.h"
#include "kit/document/WindowRestoration.h"

#include <gtest/gtest.h>

#include <QTest>

#include <QCoreApplication>
#include <QTemporaryDir>
#include <QWidget>

using namespace kit;
using testsupport::fileBytes;
using testsupport::writeBytes;

namespace {

class TextDoc : public Document {
public:
    QString text;
    bool readFromData(const QByteArray& data, const QString&, Error*) override
    {
        text = QString::fromUtf8(data);
        return true;
    }
    std::optional<QByteArray> dataOfType(const QString&, Error*) override { return text.toUtf8(); }
};

class TestWindowController : public WindowController {
public:
    using WindowController::WindowController;
    QString restorationClassName() const override { return QStringLiteral("TestWindow"); }
};

class DocumentControllerTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        UserDefaults::standard().resetForTesting();
        DocumentController::resetSharedForTesting();
        controller = &DocumentController::sharedDocumentController();
        controller->setDocumentFactory([](const QString&) { return std::make_unique<TextDoc>(); });
        Alert::setResponderForTesting([this](const Alert& alert) {
            alerts << alert.messageText();
            return answers.isEmpty() ? Alert::FirstButtonReturn : answers.takeFirst();
        });
    }
    void TearDown() override
    {
        Alert::setResponderForTesting({});
        DocumentController::resetSharedForTesting();
    }
    QString path(const QString& name) const { return dir.filePath(name); }
    TextDoc* open(const QString& name)
    {
        Error error;
        return static_cast<TextDoc*>(controller->openDocumentWithContentsOfURL(QUrl::fromLocalFile(path(name)), false, &error));
    }

    QTemporaryDir dir;
    DocumentController* controller = nullptr;
    QStringList alerts;
    QList<int> answers;
};

TEST_F(DocumentControllerTest, OpeningAFileTwiceGivesTheSameDocument)
{
    ASSERT_TRUE(writeBytes(path("a.html"), "<p>"));
    TextDoc* first = open("a.html");
    ASSERT_TRUE(first);
    EXPECT_EQ(first->text, "<p>");
    EXPECT_EQ(open("a.html"), first);
    Error error;
    EXPECT_EQ(controller->documentForURL(QUrl::fromLocalFile(dir.path() + "/./a.html")), first);
    EXPECT_EQ(controller->documentForURL(QUrl::fromLocalFile(path("A.html"))), nullptr) << "paths are case-sensitive";
    EXPECT_EQ(controller->documents().size(), 1);

    EXPECT_EQ(controller->openDocumentWithContentsOfURL(QUrl::fromLocalFile(path("missing.html")), false, &error), nullptr);
    EXPECT_EQ(error.code(), FileReadNoSuchFileError);
    EXPECT_EQ(controller->documents().size(), 1);
}

TEST_F(DocumentControllerTest, TheOpenCommandOpensEveryChosenFileAndReportsEachFailure)
{
    ASSERT_TRUE(writeBytes(path("a.html"), "A"));
    ASSERT_TRUE(writeBytes(path("b.html"), "B"));
    DocumentController::setOpenPanelResponderForTesting([this] {
        return QList<QUrl>{QUrl::fromLocalFile(path("a.html")), QUrl::fromLocalFile(path("gone.html")), QUrl::fromLocalFile(path("b.html"))};
    });
    controller->openDocument();
    DocumentController::setOpenPanelResponderForTesting({});
    // The files are read on a worker, one after another in the order chosen.
    EXPECT_TRUE(controller->documents().isEmpty());
    ASSERT_TRUE(QTest::qWaitFor([this] { return !controller->isOpeningURL(QUrl::fromLocalFile(path("b.html"))); }, 10000));
    EXPECT_EQ(controller->documents().size(), 2);
    ASSERT_EQ(alerts.size(), 1);
    EXPECT_TRUE(alerts[0].contains("gone.html"));
    EXPECT_EQ(controller->recentDocumentURLs().value(0), QUrl::fromLocalFile(path("b.html")));
}

TEST_F(DocumentControllerTest, RecentDocumentsAreNewestFirstWithoutDuplicatesAndLimited)
{
    UserDefaults::standard().setValue(DocumentController::RecentDocumentsLimitKey, 3);
    for (const char* name : {"1", "2", "3", "2", "4"})
        controller->noteNewRecentDocumentURL(QUrl::fromLocalFile(path(name)));
    QList<QUrl> expected;
    for (const char* name : {"4", "2", "3"})
        expected << QUrl::fromLocalFile(path(name));
    EXPECT_EQ(controller->recentDocumentURLs(), expected);
    controller->clearRecentDocuments();
    EXPECT_TRUE(controller->recentDocumentURLs().isEmpty());
}

TEST_F(DocumentControllerTest, ReviewingUnsavedDocumentsAtQuit)
{
    struct Case {
        QList<int> answers;
        bool terminate;
        const char* aOnDisk;
    } cases[] = {
        // Review, save the first, cancel at the second: no quit, the first is saved.
        {{Alert::FirstButtonReturn, Document::SaveChangesSave, Document::SaveChangesCancel}, false, "A2"},
        // Discard everything.
        {{Alert::ThirdButtonReturn}, true, "A"},
        // Cancel at once.
        {{Alert::SecondButtonReturn}, false, "A"},
        // Review, don't save either.
        {{Alert::FirstButtonReturn, Document::SaveChangesDontSave, Document::SaveChangesDontSave}, true, "A"},
    };
    for (const Case& c : cases) {
        ASSERT_TRUE(writeBytes(path("a.txt"), "A"));
        ASSERT_TRUE(writeBytes(path("b.txt"), "B"));
        TextDoc* a = open("a.txt");
        TextDoc* b = open("b.txt");
        ASSERT_TRUE(a && b);
        a->text = "A2";
        b->text = "B2";
        a->updateChangeCount(ChangeType::Done);
        b->updateChangeCount(ChangeType::Done);
        answers = c.answers;
        alerts.clear();
        std::optional<bool> terminate;
        controller->reviewUnsavedDocuments([&](bool ok) { terminate = ok; });
        ASSERT_TRUE(terminate.has_value());
        EXPECT_EQ(*terminate, c.terminate);
        EXPECT_EQ(fileBytes(path("a.txt")), c.aOnDisk);
        EXPECT_EQ(fileBytes(path("b.txt")), "B");
        EXPECT_TRUE(alerts.value(0).startsWith("You have 2 documents with unsaved changes."));
        // Start the next case with nothing open.
        for (Document* d : controller->documents())
            d->close();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
}

TEST_F(DocumentControllerTest, WindowTitleFollowsTheDocumentAndClosingAsks)
{
    ASSERT_TRUE(writeBytes(path("page.html"), "x"));
    TextDoc* doc = open("page.html");
    ASSERT_TRUE(doc);
    auto* wc = new WindowController(new QWidget);
    wc->setOwnsItself(true);
    QPointer<WindowController> guard(wc);
    wc->setDocument(doc);
    EXPECT_EQ(wc->window()->windowTitle(), "page.html[*]");
    EXPECT_FALSE(wc->window()->isWindowModified());
    doc->updateChangeCount(ChangeType::Done);
    EXPECT_TRUE(wc->window()->isWindowModified());

    wc->window()->show();
    answers = {Document::SaveChangesCancel};
    EXPECT_FALSE(wc->window()->close());
    EXPECT_TRUE(wc->window()->isVisible());
    EXPECT_EQ(controller->documents().size(), 1);

    answers = {Document::SaveChangesDontSave};
    wc->window()->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(controller->documents().isEmpty());
    EXPECT_TRUE(guard.isNull());
    EXPECT_EQ(fileBytes(path("page.html")), "x");
}

TEST_F(DocumentControllerTest, FrameIsSavedAndRestoredByName)
{
    {
        WindowController wc(new QWidget);
        wc.window()->setGeometry(40, 50, 300, 200);
        wc.saveFrameUsingName("Test");
    }
    WindowController wc(new QWidget);
    wc.window()->setGeometry(0, 0, 100, 100);
    wc.setWindowFrameAutosaveName("Test");
    EXPECT_EQ(wc.window()->size(), QSize(300, 200));
}

TEST_F(DocumentControllerTest, WindowsAreRestoredWithTheirDocuments)
{
    ASSERT_TRUE(writeBytes(path("saved.html"), "saved text"));
    TextDoc* saved = open("saved.html");
    TextDoc* untitled = static_cast<TextDoc*>(controller->openUntitledDocumentAndDisplay(false, nullptr));
    ASSERT_TRUE(saved && untitled);
    untitled->text = "typed, never saved";
    untitled->updateChangeCount(ChangeType::Done);
    controller->autosaveAllDocuments({});
    ASSERT_FALSE(untitled->autosavedContentsFileURL().isEmpty());

    TestWindowController w1(new QWidget), w2(new QWidget);
    WindowController plain(new QWidget); // no restoration class: not saved
    w1.setDocument(saved);
    w2.setDocument(untitled);
    const QString store = path("state/windows.plist");
    Error error;
    ASSERT_TRUE(WindowRestoration::saveWindows({&w1, &w2, &plain}, store, &error));

    QList<QVariantMap> seen;
    WindowRestoration::registerRestorationClass("TestWindow", [&](const QVariantMap& window) { seen << window; });
    EXPECT_EQ(WindowRestoration::restoreWindows(store), 2);
    WindowRestoration::unregisterRestorationClass("TestWindow");
    ASSERT_EQ(seen.size(), 2);

    // Each saved document comes back: the file as saved, the untitled one from its side file.
    QStringList texts;
    for (const QVariantMap& window : seen) {
        for (const QVariant& entry : window.value(WindowRestoration::DocumentsKey).toList()) {
            const QVariantMap d = entry.toMap();
            std::unique_ptr<Document> doc = controller->makeDocumentForRestoration(
                QUrl(d.value(WindowRestoration::FileURLKey).toString()),
                QUrl(d.value(WindowRestoration::AutosaveURLKey).toString()),
                d.value(WindowRestoration::FileTypeKey).toString(), &error);
            ASSERT_TRUE(doc);
            texts << static_cast<TextDoc*>(doc.get())->text + (doc->isDocumentEdited() ? " (edited)" : "");
        }
    }
    EXPECT_EQ(texts, (QStringList{"saved text", "typed, never saved (edited)"}));
}

TEST_F(DocumentControllerTest, BrokenRestorationFileRestoresNothing)
{
    ASSERT_TRUE(writeBytes(path("windows.plist"), "\x01\x02 not a property list"));
    LogCapture capture;
    EXPECT_EQ(WindowRestoration::restoreWindows(path("windows.plist")), 0);
    EXPECT_TRUE(capture.contains("Could not restore windows"));
    EXPECT_EQ(WindowRestoration::restoreWindows(path("none.plist")), 0);
}

} // namespace
