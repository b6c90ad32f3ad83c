// The running editor end to end: start-up with the windows of the last session,
// a second start handing files over the socket, and quitting.
#include "app/Application.h"

#include "app/AppController.h"
#include "support/DefaultsKeys.h"
#include "app/RegisteredDefaults.h"
#include "document/DocumentSystem.h"
#include "document/DocumentWindowController.h"
#include "document/KELFilePrefsManager.h"
#include "document/MyDocument.h"
#include "document/MyDocumentCommands.h"
#include "document/MyDocumentController.h"
#include "document/StandaloneDocumentController.h"
#include "editor/KELHTMLView.h"
#include "kit/ActionRouter.h"
#include "kit/Alert.h"
#include "kit/StringEncodings.h"
#include "kit/UndoManager.h"
#include "kit/UserDefaults.h"
#include "kit/document/DocumentTestSupport.h"
#include "kit/document/WindowRestoration.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QKeyEvent>
#include <QMainWindow>
#include <QLocalSocket>
#include <QMessageBox>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <atomic>
#include <memory>
#include <thread>

namespace {

// Delivers what is already posted (deferred deletes included): the work an action
// queues for itself. Waiting for anything from outside (a thread, a socket, a
// timer) is QTest::qWaitFor's, on its condition.
void drainEvents()
{
    // A few rounds: what is delivered may queue more of its own (a close, then its deletion).
    for (int round = 0; round < 5; ++round) {
        QCoreApplication::processEvents();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
}

// How long a wait for another thread may take on a machine busy with other work.
constexpr int Deadline = 60000;

QList<DocumentWindowController*> openWindows()
{
    QList<DocumentWindowController*> list;
    for (kit::WindowController* window : kit::WindowController::allWindowControllers()) {
        auto* documents = qobject_cast<DocumentWindowController*>(window);
        if (documents && !documents->isClosingWindow() && !documents->documents().isEmpty())
            list << documents;
    }
    return list;
}

// The file names of each saved window's documents ("" for an untitled one).
QList<QStringList> savedWindows(const QString& store)
{
    QList<QStringList> windows;
    for (const QVariant& entry : kit::WindowRestoration::readWindows(store)) {
        QStringList names;
        for (const QVariant& document : entry.toMap().value(kit::WindowRestoration::DocumentsKey).toList())
            names << QFileInfo(QUrl(document.toMap().value(kit::WindowRestoration::FileURLKey).toString()).toLocalFile()).fileName();
        windows << names;
    }
    return windows;
}

QList<QStringList> shownWindows()
{
    QList<QStringList> windows;
    for (DocumentWindowController* window : openWindows()) {
        QStringList names;
        for (MyDocument* document : window->documents())
            names << QFileInfo(document->filePath()).fileName();
        windows << names;
    }
    return windows;
}

class KELApplicationTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        kit::UserDefaults::standard().resetForTesting();
        KELRegisterDefaults();
        kit::UserDefaults::standard().setValue(KELCheckSpellingAsYouType, false);
        kit::UserDefaults::standard().setValue(QStringLiteral("User Agrees to the User Agreement"), true);
        DocumentWindowController::setFadeDurationForTesting(0);
        AppController::sharedInstance().setExitFunction([this](int code) { exits << code; });
        store = dir.filePath(QStringLiteral("windows.plist"));
        endSession();
    }
    void TearDown() override
    {
        kit::Alert::setResponderForTesting({});
        endSession();
        AppController::sharedInstance().setExitFunction([](int) {});
    }

    // A fresh start of the editor, as after launching the program again.
    KELApplication* startSession(const KELOpenRequest& request = {})
    {
        endSession();
        KELApplication::Options options;
        options.serverName = QStringLiteral("kelp-studio-test-%1-%2").arg(QCoreApplication::applicationPid()).arg(++sessions);
        name = options.serverName;
        options.restorationPath = store;
        app = std::make_unique<KELApplication>(options);
        EXPECT_TRUE(app->start(request));
        drainEvents();
        return app.get();
    }
    // Everything of a session goes, without a word (as when the process ends).
    void endSession()
    {
        app.reset();
        KELCloseAllDocumentsWithoutAsking();
        drainEvents();
        kit::DocumentController::resetSharedForTesting();
        drainEvents();
        KELFilePrefsManager::resetSharedForTesting();
        MyDocument::resetUntitledNumbersForTesting();
        AppController::sharedInstance().resetTerminationForTesting();
        KELResumeSavingWindowsForRestoration();
    }
    // The program stops dead: windows and side files stay as they were on disk.
    void crash()
    {
        const QString keep = dir.filePath(QStringLiteral("kept"));
        QDir().mkpath(keep);
        const QStringList sideFiles = QDir(kit::Document::autosaveFolder()).entryList(QDir::Files);
        for (const QString& name : sideFiles)
            QFile::copy(QDir(kit::Document::autosaveFolder()).filePath(name), QDir(keep).filePath(name));
        QFile::copy(store, QDir(keep).filePath(QStringLiteral("windows.plist")));
        endSession();
        QFile::remove(store);
        QFile::copy(QDir(keep).filePath(QStringLiteral("windows.plist")), store);
        for (const QString& name : sideFiles)
            QFile::copy(QDir(keep).filePath(name), QDir(kit::Document::autosaveFolder()).filePath(name));
        QDir(keep).removeRecursively();
    }
    QString file(const QString& name, const QByteArray& bytes = "<p>x</p>\n")
    {
        EXPECT_TRUE(testsupport::writeBytes(dir.filePath(name), bytes));
        return dir.filePath(name);
    }
    static MyDocumentController* documents() { return MyDocumentController::sharedDocumentController(); }
    MyDocument* open(const QString& path)
    {
        kit::Error error;
        auto* document = qobject_cast<MyDocument*>(documents()->openDocumentWithContentsOfURL(QUrl::fromLocalFile(path), true, &error));
        drainEvents();
        return document;
    }
    // Key presses as the keyboard sends them, one per character (any character).
    static void type(MyDocument* document, const QString& text)
    {
        for (const QChar c : text) {
            QKeyEvent press(QEvent::KeyPress, Qt::Key_unknown, Qt::NoModifier, QString(c));
            QKeyEvent release(QEvent::KeyRelease, Qt::Key_unknown, Qt::NoModifier, QString(c));
            QApplication::sendEvent(document->textView(), &press);
            QApplication::sendEvent(document->textView(), &release);
            drainEvents();
        }
    }
    void quit()
    {
        kit::ActionRouter::shared().sendAction(QStringLiteral("terminate:"), nullptr);
        drainEvents();
    }

    QTemporaryDir dir;
    QString store;
    QString name; // the socket of the running session
    std::unique_ptr<KELApplication> app;
    QList<int> exits;
    int sessions = 0;
};

TEST_F(KELApplicationTest, QuitEndsTheProcessAndTheNextStartBringsBackEveryWindow)
{
    struct Case {
        const char* name;
        bool edit;
        QList<int> answers; // Review Changes / the question per document, in order
    };
    const Case cases[] = {
        {"clean", false, {}},
        {"edited, reviewed: save one, discard one", true,
         {kit::Alert::FirstButtonReturn, kit::Document::SaveChangesSave, kit::Document::SaveChangesDontSave}},
        {"edited, all discarded at once", true, {kit::Alert::ThirdButtonReturn}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        exits.clear();
        QFile::remove(store);
        startSession();
        // Two windows: two tabs in one, a third file in its own.
        MyDocument* a = open(file(QStringLiteral("a.html")));
        MyDocument* b = open(file(QStringLiteral("b.html")));
        kit::UserDefaults::standard().setValue(KELUseTabbedInterfaceInStandaloneDocumentsKey, false);
        MyDocument* third = open(file(QStringLiteral("c.html")));
        kit::UserDefaults::standard().setValue(KELUseTabbedInterfaceInStandaloneDocumentsKey, true);
        ASSERT_TRUE(a && b && third);
        ASSERT_EQ(shownWindows(), (QList<QStringList>{{"a.html", "b.html"}, {"c.html"}}));
        if (c.edit) {
            type(a, QStringLiteral("A"));
            type(third, QStringLiteral("C"));
        }
        QStringList questions;
        QList<int> answers = c.answers;
        bool namedTheShownDocument = true;
        kit::Alert::setResponderForTesting([&](const kit::Alert& alert) {
            // Each question names the document its window shows.
            for (kit::Document* document : documents()->documents()) {
                auto* text = qobject_cast<MyDocument*>(document);
                if (alert.messageText().contains(QStringLiteral("“%1”").arg(document->displayName())))
                    namedTheShownDocument = namedTheShownDocument && text->windowController()->currentDocument() == text;
            }
            questions << alert.messageText();
            return answers.isEmpty() ? int(kit::Document::SaveChangesCancel) : answers.takeFirst();
        });

        quit();
        EXPECT_EQ(exits, QList<int>{0});
        EXPECT_TRUE(answers.isEmpty());
        EXPECT_TRUE(namedTheShownDocument);
        EXPECT_TRUE(openWindows().isEmpty());
        EXPECT_TRUE(documents()->documents().isEmpty());
        EXPECT_EQ(savedWindows(store), (QList<QStringList>{{"a.html", "b.html"}, {"c.html"}}));
        if (c.answers.size() == 3) {
            ASSERT_EQ(questions.size(), 3);
            EXPECT_TRUE(questions[1].contains(QStringLiteral("“a.html”"))) << questions[1].toStdString();
            EXPECT_TRUE(questions[2].contains(QStringLiteral("“c.html”"))) << questions[2].toStdString();
            EXPECT_EQ(testsupport::fileBytes(dir.filePath("a.html")), QByteArray("A<p>x</p>\n"));
        } else {
            EXPECT_EQ(testsupport::fileBytes(dir.filePath("a.html")), QByteArray("<p>x</p>\n"));
        }
        EXPECT_EQ(testsupport::fileBytes(dir.filePath("c.html")), QByteArray("<p>x</p>\n"));

        // The next start shows the same windows, as saved on disk.
        startSession();
        EXPECT_EQ(app->restoredWindowCount(), 2);
        EXPECT_EQ(shownWindows(), (QList<QStringList>{{"a.html", "b.html"}, {"c.html"}}));
        EXPECT_TRUE(documents()->allUntitledDocuments().isEmpty()) << "no untitled document beside the restored windows";
        for (kit::Document* document : documents()->documents())
            EXPECT_FALSE(document->isDocumentEdited());
        EXPECT_FALSE(app->placeholderWindow()->isVisible());
        endSession();
    }
}

TEST_F(KELApplicationTest, CancelKeepsEverythingAndASecondQuitStillSavesTheWindows)
{
    startSession();
    MyDocument* a = open(file(QStringLiteral("a.html")));
    MyDocument* b = open(file(QStringLiteral("b.html")));
    ASSERT_TRUE(a && b);
    type(b, QStringLiteral("B"));
    int questions = 0;
    kit::Alert::setResponderForTesting([&](const kit::Alert&) {
        ++questions;
        return int(kit::Document::SaveChangesCancel);
    });
    quit();
    EXPECT_EQ(questions, 1);
    EXPECT_TRUE(exits.isEmpty());
    EXPECT_EQ(shownWindows(), (QList<QStringList>{{"a.html", "b.html"}}));
    EXPECT_TRUE(b->isDocumentEdited());
    EXPECT_EQ(b->textView()->string(), QStringLiteral("B<p>x</p>\n"));

    kit::Alert::setResponderForTesting([&](const kit::Alert&) { return int(kit::Document::SaveChangesSave); });
    quit();
    EXPECT_EQ(exits, QList<int>{0});
    EXPECT_EQ(testsupport::fileBytes(dir.filePath("b.html")), QByteArray("B<p>x</p>\n"));
    EXPECT_EQ(savedWindows(store), (QList<QStringList>{{"a.html", "b.html"}}));
    // What happens after the windows closed (the quit sequence) leaves the list alone.
    AppController::sharedInstance().applicationWillTerminate();
    EXPECT_FALSE(KELSaveWindowsForRestoration());
    EXPECT_EQ(savedWindows(store), (QList<QStringList>{{"a.html", "b.html"}}));
}

TEST_F(KELApplicationTest, ARestoredUntitledDocumentWhoseSideFileIsGoneIsSkipped)
{
    startSession();
    MyDocument* kept = open(file(QStringLiteral("kept.html")));
    ASSERT_TRUE(kept);
    kit::Error error;
    auto* untitled = qobject_cast<MyDocument*>(documents()->openUntitledDocumentAndDisplay(true, &error));
    ASSERT_TRUE(untitled);
    type(untitled, QStringLiteral("draft"));
    documents()->autosaveAllDocuments({});
    ASSERT_FALSE(untitled->autosavedContentsFileURL().isEmpty());
    const QString sideFile = untitled->autosavedContentsFileURL().toLocalFile();
    ASSERT_TRUE(KELSaveWindowsForRestoration());
    crash();
    ASSERT_TRUE(QFile::exists(sideFile));

    // Only the untitled document's window: nothing of it can come back.
    QFile::remove(sideFile);
    QFile::remove(dir.filePath("kept.html"));
    startSession();
    EXPECT_EQ(app->restoredWindowCount(), 0);
    // The start does not dead-end: a new untitled document stands in a window.
    ASSERT_EQ(openWindows().size(), 1);
    EXPECT_TRUE(openWindows().constFirst()->window()->isVisible());
    EXPECT_EQ(documents()->allUntitledDocuments().size(), 1);
    EXPECT_FALSE(documents()->allUntitledDocuments().constFirst()->isDocumentEdited());
    EXPECT_FALSE(app->placeholderWindow()->isVisible());
}

TEST_F(KELApplicationTest, TypingAfterASaveIsAChangeOfItsOwn)
{
    startSession();
    const QString path = file(QStringLiteral("page.html"));
    MyDocument* document = open(path);
    ASSERT_TRUE(document);
    type(document, QStringLiteral("abc"));
    document->saveDocument();
    drainEvents();
    EXPECT_FALSE(document->isDocumentEdited());
    type(document, QStringLiteral("d"));
    EXPECT_TRUE(document->isDocumentEdited());

    // Closing asks, and keeps the document when the answer is Cancel.
    QStringList questions;
    kit::Alert::setResponderForTesting([&](const kit::Alert& alert) {
        questions << alert.messageText();
        return int(kit::Document::SaveChangesCancel);
    });
    QPointer<MyDocument> guard(document);
    document->windowController()->performCloseTab();
    drainEvents();
    ASSERT_EQ(questions.size(), 1);
    EXPECT_TRUE(questions[0].contains(QStringLiteral("page.html")));
    ASSERT_TRUE(guard && !guard->documentClosed());

    // Undo steps back one group at a time: "d", then "abc".
    kit::UndoManager* undo = document->undoManager();
    undo->undo();
    EXPECT_EQ(document->textView()->string(), QStringLiteral("abc<p>x</p>\n"));
    EXPECT_FALSE(document->isDocumentEdited());
    undo->undo();
    EXPECT_EQ(document->textView()->string(), QStringLiteral("<p>x</p>\n"));
    EXPECT_TRUE(document->isDocumentEdited());
    EXPECT_EQ(testsupport::fileBytes(path), QByteArray("abc<p>x</p>\n"));
}

TEST_F(KELApplicationTest, UnsavedTextOfALatin1FileComesBackExactAfterACrash)
{
    struct Case {
        const char* name;
        QString typed;
        kit::StringEncoding savedIn; // the encoding the file is saved in afterwards
    };
    const Case cases[] = {
        {"a letter Latin-1 holds", QStringLiteral("é"), kit::ISOLatin1StringEncoding},
        {"pi, after Use UTF-8", QStringLiteral("π"), kit::UTF8StringEncoding},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        QFile::remove(store);
        const QString path = file(QStringLiteral("latin.html"), QByteArray("<p>caf\xe9</p>\n"));
        startSession();
        documents()->setSelectedEncodingForURL(QUrl::fromLocalFile(path), kit::ISOLatin1StringEncoding);
        MyDocument* document = open(path);
        ASSERT_TRUE(document);
        ASSERT_EQ(document->documentEncoding(), kit::ISOLatin1StringEncoding);
        // The encoding watch offers UTF-8 for what Latin-1 cannot hold.
        kit::Alert::setResponderForTesting([](const kit::Alert&) { return int(kit::Alert::FirstButtonReturn); });
        document->textView()->setSelectedRange(kit::Range(document->textView()->string().size(), 0));
        type(document, c.typed);
        const QString text = QStringLiteral("<p>café</p>\n") + c.typed;
        // The encoding alert comes once the keys typed on have arrived.
        ASSERT_TRUE(QTest::qWaitFor([&] { return !document->willShowEncodingAlert(); }, 5000));
        ASSERT_EQ(document->textView()->string(), text);
        ASSERT_EQ(document->documentEncoding(), c.savedIn);
        documents()->autosaveAllDocuments({});
        ASSERT_FALSE(document->autosavedContentsFileURL().isEmpty());
        ASSERT_TRUE(KELSaveWindowsForRestoration());
        crash();

        startSession();
        ASSERT_EQ(app->restoredWindowCount(), 1);
        auto* restored = qobject_cast<MyDocument*>(documents()->documentForURL(QUrl::fromLocalFile(path)));
        ASSERT_TRUE(restored);
        EXPECT_EQ(restored->textView()->string(), text);
        EXPECT_TRUE(restored->isDocumentEdited());
        EXPECT_EQ(restored->documentEncoding(), c.savedIn);
        // The file on disk was never touched; a save writes the text in its encoding.
        EXPECT_EQ(testsupport::fileBytes(path), QByteArray("<p>caf\xe9</p>\n"));
        restored->saveDocument();
        drainEvents();
        EXPECT_EQ(testsupport::fileBytes(path), *kit::encodeString(text, c.savedIn));
        EXPECT_FALSE(restored->isDocumentEdited());
        kit::Alert::setResponderForTesting({});
        endSession();
    }
}

TEST_F(KELApplicationTest, ASecondStartHandsOverWhileAnAlertOfTheFirstIsDismissedWithEscape)
{
    startSession();
    MyDocument* document = open(file(QStringLiteral("edited.html")));
    ASSERT_TRUE(document);
    type(document, QStringLiteral("keep"));
    ASSERT_TRUE(document->isDocumentEdited());
    ASSERT_TRUE(app->hasFinishedLaunching());

    // A binary file cannot open as a document: the running instance shows an alert
    // (a real one, with its own event loop) while the second start goes away.
    const QString binary = dir.filePath(QStringLiteral("image.html"));
    {
        QFile f(binary);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(QByteArray("\x89PNG\r\n\x1a\n\0\0\0\rIHDR\0\0\0\x01", 20));
    }
    KELOpenRequest request;
    request.paths = {binary};
    std::atomic<bool> handedOff{false};
    std::atomic<bool> secondStartGone{false};
    std::thread start([&] {
        handedOff = KELInstanceServer::handOff(request, name, Deadline);
        secondStartGone = true; // its socket is closed once this returns
    });
    // Joined however the test ends, so a failed check cannot end the run.
    struct Joiner {
        std::thread& thread;
        ~Joiner()
        {
            if (thread.joinable())
                thread.join();
        }
    } joinStart{start};
    QString alertText;
    QTimer escape;
    QObject::connect(&escape, &QTimer::timeout, [&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (!box || !secondStartGone)
            return;
        // The closed connection reaches this side while the alert is up.
        for (QLocalSocket* socket : app->server()->findChildren<QLocalSocket*>())
            if (socket->state() != QLocalSocket::UnconnectedState)
                return;
        alertText = box->text() + QLatin1Char(' ') + box->informativeText();
        QTest::keyClick(box, Qt::Key_Escape);
    });
    escape.start(20);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !alertText.isEmpty(); }, Deadline));
    start.join();
    escape.stop();
    drainEvents();
    EXPECT_TRUE(handedOff);
    EXPECT_FALSE(alertText.trimmed().isEmpty());

    // Still running, the edits in place; the socket takes the next start too.
    EXPECT_FALSE(document->documentClosed());
    EXPECT_TRUE(document->isDocumentEdited());
    EXPECT_EQ(document->textView()->string(), QStringLiteral("keep<p>x</p>\n"));
    request.paths = {file(QStringLiteral("next.html"))};
    std::thread again([&] { handedOff = KELInstanceServer::handOff(request, name, Deadline); });
    Joiner joinAgain{again};
    ASSERT_TRUE(QTest::qWaitFor([&] { return documents()->documentForURL(QUrl::fromLocalFile(request.paths.constFirst())); },
                                Deadline));
    again.join();
    EXPECT_TRUE(handedOff);
}

TEST_F(KELApplicationTest, AFileReopensWithTheLivePreviewAsItWasLeft)
{
    startSession();
    const QString path = file(QStringLiteral("live.html"), "<p>live</p>\n");
    struct Case {
        bool on;
        bool closeWindow; // else its tab
    };
    for (const Case c : {Case{true, false}, Case{false, false}, Case{true, true}, Case{false, true}}) {
        SCOPED_TRACE(std::string(c.on ? "left on" : "left off") + (c.closeWindow ? ", window closed" : ", tab closed"));
        MyDocument* document = open(path);
        ASSERT_TRUE(document);
        if (document->isLivePreviewing() != c.on)
            MyDocumentCommands::services().toggleLivePreview(document);
        ASSERT_EQ(document->isLivePreviewing(), c.on);
        QPointer<MyDocument> guard(document);
        if (c.closeWindow)
            document->windowController()->closeWindowNow();
        else
            document->windowController()->performCloseTab();
        drainEvents();
        ASSERT_TRUE(!guard || guard->documentClosed());

        MyDocument* again = open(path);
        ASSERT_TRUE(again);
        drainEvents();
        EXPECT_EQ(again->isLivePreviewing(), c.on);
        EXPECT_EQ(again->currentEditView() != again->primaryEditView(), c.on);
        QPointer<MyDocument> previous(again);
        again->windowController()->performCloseTab();
        drainEvents();
        ASSERT_TRUE(!previous || previous->documentClosed());
    }
}

TEST(KELInstanceServerSessionTest, EachDesktopSessionHasASocketOfItsOwn)
{
    struct Case {
        QString platform, wayland, x11, session;
    };
    const Case cases[] = {
        {QStringLiteral("xcb"), {}, QStringLiteral(":0"), QStringLiteral("x11-_0")},
        {QStringLiteral("xcb"), QStringLiteral("wayland-0"), QStringLiteral(":1"), QStringLiteral("x11-_1")},
        {QStringLiteral("wayland"), QStringLiteral("wayland-1"), QStringLiteral(":0"), QStringLiteral("wayland-wayland-1")},
        {QStringLiteral("wayland-egl"), QStringLiteral("/run/user/1000/w-2"), {}, QStringLiteral("wayland-_run_user_1000_w-2")},
        {QStringLiteral("offscreen"), QStringLiteral("wayland-0"), QStringLiteral(":0"), QStringLiteral("headless")},
        {QString(), {}, {}, QStringLiteral("headless")},
    };
    for (const Case& c : cases)
        EXPECT_EQ(KELInstanceServer::sessionName(c.platform, c.wayland, c.x11), c.session) << c.platform.toStdString();

    const QByteArray runtime = qgetenv("XDG_RUNTIME_DIR");
    QTemporaryDir folder;
    qputenv("XDG_RUNTIME_DIR", folder.path().toUtf8());
    EXPECT_EQ(KELInstanceServer::serverName(), folder.filePath(QStringLiteral("kelp-studio-") + KELInstanceServer::sessionName()));
    qputenv("XDG_RUNTIME_DIR", runtime);
}

} // namespace
