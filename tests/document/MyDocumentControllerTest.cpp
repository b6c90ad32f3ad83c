#include "support/DefaultsKeys.h"
#include "document/KELFilePrefsManager.h"
#include "document/MyDocument.h"
#include "document/MyDocumentController.h"
#include "kit/Alert.h"
#include "kit/NotificationCenter.h"
#include "kit/StringEncodings.h"
#include "kit/UserDefaults.h"
#include "kit/document/DocumentTestSupport.h"
#include "kit/document/WindowController.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QTemporaryDir>
#include <QTest>
#include <QWidget>

namespace {

class MyDocumentControllerTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        kit::UserDefaults::standard().resetForTesting();
        KELFilePrefsManager::resetSharedForTesting();
        kit::DocumentController::resetSharedForTesting();
        controller = new MyDocumentController(QCoreApplication::instance());
    }
    void TearDown() override { kit::DocumentController::resetSharedForTesting(); }
    QString file(const QString& name, const QByteArray& bytes = "x")
    {
        EXPECT_TRUE(testsupport::writeBytes(dir.filePath(name), bytes));
        return dir.filePath(name);
    }
    MyDocument* open(const QString& path)
    {
        kit::Error error;
        return qobject_cast<MyDocument*>(controller->openDocumentWithContentsOfURL(QUrl::fromLocalFile(path), false, &error));
    }

    QTemporaryDir dir;
    MyDocumentController* controller = nullptr;
};

TEST_F(MyDocumentControllerTest, ActiveDocumentChangesAreAnnouncedInOrder)
{
    MyDocument* one = open(file("one.html"));
    MyDocument* two = open(file("two.html"));
    ASSERT_TRUE(one && two);
    kit::WindowController w1(new QWidget), w2(new QWidget), other(new QWidget);
    w1.setDocument(one);
    w2.setDocument(two);

    QStringList seen;
    auto& center = kit::NotificationCenter::defaultCenter();
    QObject context;
    for (const QString& name : {KELDocumentDidResignActiveNotification, KELDocumentDidBecomeActiveNotification,
                                KELActiveDocumentDidChangeNotification}) {
        center.addObserver(name, nullptr, [&, one, two](const kit::Notification& n) {
            const QString who = n.object == one ? "one" : n.object == two ? "two" : "none";
            seen << n.name + ":" + who;
        }, &context);
    }
    controller->sendDocumentNotificationsIfNeeded(w1.window());
    controller->sendDocumentNotificationsIfNeeded(w2.window());
    controller->sendDocumentNotificationsIfNeeded(other.window());
    controller->sendDocumentNotificationsIfNeeded(other.window()); // no change, nothing posted
    EXPECT_EQ(seen, (QStringList{
                        "Document Did Become Active:one", "KELActiveDocumentDidChangeNotification:one",
                        "Document Did Resign Active:one", "Document Did Become Active:two", "KELActiveDocumentDidChangeNotification:two",
                        "Document Did Resign Active:two", "KELActiveDocumentDidChangeNotification:none",
                    }));
    EXPECT_EQ(controller->activeDocument(), nullptr);
}

TEST_F(MyDocumentControllerTest, AnEncodingPickedInTheOpenDialogServesOneOpenOfEachFile)
{
    const QString a = file("a.html", "caf\xe9");
    const QString b = file("b.html", "na\xefve");
    controller->setSelectedEncodingForURL(QUrl::fromLocalFile(a), kit::ISOLatin1StringEncoding);
    controller->setSelectedEncodingForURL(QUrl::fromLocalFile(b), kit::ISOLatin1StringEncoding);
    MyDocument* docA = open(a);
    MyDocument* docB = open(b);
    ASSERT_TRUE(docA && docB);
    EXPECT_EQ(docA->currentString(), QStringLiteral("café"));
    EXPECT_EQ(docB->currentString(), QStringLiteral("naïve"));
    EXPECT_EQ(controller->lastSelectedEncodingForURL(QUrl::fromLocalFile(a)), kit::NoEncoding);
    EXPECT_EQ(controller->lastSelectedEncodingForURL(QUrl::fromLocalFile(b)), kit::NoEncoding);
}

TEST_F(MyDocumentControllerTest, APristineUntitledDocumentMakesWayForTheFirstFile)
{
    struct Case {
        bool createNewDocument;
        bool edited;
        bool untitledStays;
    } cases[] = {{true, false, false}, {true, true, true}, {false, false, true}};
    for (const Case& c : cases) {
        kit::UserDefaults::standard().setValue(KELCreateNewDocumentKey, c.createNewDocument);
        kit::Error error;
        QPointer<kit::Document> untitled = controller->openUntitledDocumentAndDisplay(false, &error);
        ASSERT_TRUE(untitled);
        if (c.edited)
            untitled->updateChangeCount(kit::ChangeType::Done);
        ASSERT_TRUE(open(file("page.html")));
        EXPECT_EQ(controller->documents().contains(untitled.data()), c.untitledStays);
        EXPECT_EQ(controller->allUntitledDocuments().size(), c.untitledStays ? 1 : 0);
        for (kit::Document* d : controller->documents())
            d->close();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
}

TEST_F(MyDocumentControllerTest, FilesOpenedWhileAProjectOpensAreNotRecent)
{
    controller->beginOpeningProject();
    ASSERT_TRUE(open(file("inside.html")));
    controller->endOpeningProject();
    EXPECT_TRUE(controller->recentDocumentURLs().isEmpty());
    ASSERT_TRUE(open(file("alone.html")));
    EXPECT_EQ(controller->recentDocumentURLs(), QList<QUrl>{QUrl::fromLocalFile(dir.filePath("alone.html"))});
}

TEST_F(MyDocumentControllerTest, ClosingADocumentIsAnnouncedBeforeItLeaves)
{
    MyDocument* doc = open(file("page.html"));
    ASSERT_TRUE(doc);
    int listedWhenAnnounced = -1;
    QObject context;
    kit::NotificationCenter::defaultCenter().addObserver(KELDocumentDidCloseNotification, doc, [&](const kit::Notification&) {
        listedWhenAnnounced = int(controller->documents().size());
    }, &context);
    doc->close();
    EXPECT_EQ(listedWhenAnnounced, 1);
    EXPECT_TRUE(controller->documents().isEmpty());
}

// File > Open reads each chosen file on a worker: the command returns before the
// document is made, the document comes whole (text, encoding, recent entry), and
// a file that cannot be opened is still reported with its own message.
TEST_F(MyDocumentControllerTest, FileOpenReadsOnAWorkerAndReportsEachFailure)
{
    const QString page = file("page.html", "<p>caf\xc3\xa9</p>\n");
    const QString binary = file("data.html", QByteArray("\x89PNG\0\0\0\rIHDR", 12));
    QStringList alerts;
    kit::Alert::setResponderForTesting([&](const kit::Alert& alert) {
        alerts << alert.messageText() + QLatin1Char(' ') + alert.informativeText();
        return kit::Alert::FirstButtonReturn;
    });
    kit::DocumentController::setOpenPanelResponderForTesting(
        [&] { return QList<QUrl>{QUrl::fromLocalFile(page), QUrl::fromLocalFile(binary)}; });
    controller->openDocument();
    EXPECT_TRUE(controller->isOpeningURL(QUrl::fromLocalFile(page)));
    EXPECT_EQ(controller->documentForURL(QUrl::fromLocalFile(page)), nullptr);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !alerts.isEmpty() && !controller->isOpeningURL(QUrl::fromLocalFile(page)); }, 10000));
    kit::DocumentController::setOpenPanelResponderForTesting({});
    kit::Alert::setResponderForTesting({});

    auto* doc = qobject_cast<MyDocument*>(controller->documentForURL(QUrl::fromLocalFile(page)));
    ASSERT_TRUE(doc);
    EXPECT_EQ(doc->currentString(), QStringLiteral("<p>café</p>\n"));
    EXPECT_EQ(doc->documentEncoding(), kit::UTF8StringEncoding);
    EXPECT_FALSE(doc->isDocumentEdited());
    EXPECT_FALSE(doc->fileContentsChangedOnDisk());
    EXPECT_EQ(controller->documents().size(), 1);
    EXPECT_EQ(controller->recentDocumentURLs(), QList<QUrl>{QUrl::fromLocalFile(page)});
    ASSERT_EQ(alerts.size(), 1);
    EXPECT_TRUE(alerts.first().contains(QLatin1String("not a text file"))) << alerts.first().toStdString();
}

// Asking again for a file while it is read, either way, never makes a second
// document: everyone who asked gets the one document.
TEST_F(MyDocumentControllerTest, AFileAskedForAgainWhileItIsReadOpensOnce)
{
    const QUrl url = QUrl::fromLocalFile(file("page.html", "<p>one</p>"));
    QList<kit::Document*> heard;
    auto listen = [&](kit::Document* d, const kit::Error&) { heard << d; };
    controller->openDocumentWithContentsOfURL(url, false, listen);
    controller->openDocumentWithContentsOfURL(url, false, listen);
    EXPECT_TRUE(controller->isOpeningURL(url));
    // An open at once meanwhile (a script, a project) reads the file itself ...
    kit::Error error;
    kit::Document* atOnce = controller->openDocumentWithContentsOfURL(url, false, &error);
    ASSERT_TRUE(atOnce);
    // ... and the read on the worker then yields to that document.
    ASSERT_TRUE(QTest::qWaitFor([&] { return heard.size() == 2; }, 10000));
    EXPECT_EQ(heard, (QList<kit::Document*>{atOnce, atOnce}));
    EXPECT_EQ(controller->documents(), QList<kit::Document*>{atOnce});
    // Once open, the document is answered at once.
    controller->openDocumentWithContentsOfURL(url, false, listen);
    EXPECT_EQ(heard.size(), 3);
}

// The controller may go away while a worker reads (the application quits): the
// read comes back to nothing.
TEST_F(MyDocumentControllerTest, AReadOutlivingItsControllerComesBackToNothing)
{
    bool heard = false;
    controller->openDocumentWithContentsOfURL(QUrl::fromLocalFile(file("page.html", QByteArray(1 << 20, 'x'))), false,
        [&](kit::Document*, const kit::Error&) { heard = true; });
    kit::DocumentController::resetSharedForTesting();
    controller = new MyDocumentController(QCoreApplication::instance());
    // Files are read one after another: once a later read is back, the first one is too.
    bool later = false;
    controller->openDocumentWithContentsOfURL(QUrl::fromLocalFile(file("later.html")), false,
        [&](kit::Document* d, const kit::Error&) { later = d != nullptr; });
    ASSERT_TRUE(QTest::qWaitFor([&] { return later; }, 10000));
    EXPECT_FALSE(heard);
    EXPECT_EQ(controller->documents().size(), 1);
}

} // namespace
