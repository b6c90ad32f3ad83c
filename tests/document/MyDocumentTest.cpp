#include "support/DefaultsKeys.h"
#include "document/KELFilePrefsManager.h"
#include "document/MyDocument.h"
#include "document/MyDocumentController.h"
#include "editor/KELHTMLView.h"
#include "editor/KELTokenParser.h"
#include "kit/text/TextStorage.h"
#include "kit/Alert.h"
#include "kit/Log.h"
#include "kit/NotificationCenter.h"
#include "kit/StringEncodings.h"
#include "kit/UndoManager.h"
#include "kit/UserDefaults.h"
#include "kit/document/DocumentTestSupport.h"
#include "support/KELEncodingPopUpButtonCell.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QComboBox>
#include <QFileDialog>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>
#include <QTimer>
#include <QApplication>

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/time.h>
#include "KelpPaths.h"

using testsupport::fileBytes;
using testsupport::writeBytes;

namespace {

constexpr kit::StringEncoding None = kit::NoEncoding;
constexpr kit::StringEncoding ASCII = kit::ASCIIStringEncoding;
constexpr kit::StringEncoding UTF8 = kit::UTF8StringEncoding;
constexpr kit::StringEncoding Latin1 = kit::ISOLatin1StringEncoding;
constexpr kit::StringEncoding CP1252 = kit::WindowsCP1252StringEncoding;
constexpr kit::StringEncoding UTF16 = kit::UTF16StringEncoding;

constexpr kit::StringEncoding Detected = 0;

const QString French = QStringLiteral("Le café est prêt à être servi près de la fenêtre.");

void processEvents()
{
    for (int i = 0; i < 3; ++i)
        QCoreApplication::processEvents();
}

// Moves a file's modification time forward, as an outside edit would.
void touchLater(const QString& path, int seconds)
{
    struct timeval times[2];
    ::gettimeofday(&times[0], nullptr);
    times[0].tv_sec += seconds;
    times[1] = times[0];
    ::utimes(QFile::encodeName(path).constData(), times);
}

class MyDocumentTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        kit::UserDefaults::standard().resetForTesting();
        KELFilePrefsManager::resetSharedForTesting();
        kit::DocumentController::resetSharedForTesting();
        controller = new MyDocumentController(qApp);
        MyDocument::resetComponentLibraryWarningSuppression();
        MyDocument::setChecksumVerifier({});
        kit::Alert::setResponderForTesting([this](const kit::Alert& alert) {
            alerts << (alert.messageText() + QLatin1Char('|') + alert.informativeText());
            return answers.isEmpty() ? kit::Alert::FirstButtonReturn : answers.takeFirst();
        });
    }
    void TearDown() override
    {
        kit::Alert::setResponderForTesting({});
        kit::Document::setSavePanelResponderForTesting({});
        MyDocument::setChecksumVerifier({});
        kit::DocumentController::resetSharedForTesting();
        KELFilePrefsManager::resetSharedForTesting();
    }
    QString path(const QString& name) const { return dir.filePath(name); }
    QString copyFixture(const QString& name)
    {
        const QString target = path(name);
        QFile::remove(target);
        EXPECT_TRUE(QFile::copy(QStringLiteral(KELP_TEST_FIXTURES "/document/") + name, target));
        QFile::setPermissions(target, QFile::ReadOwner | QFile::WriteOwner);
        return target;
    }
    // The two ways a file opens: read at once, or read on a worker (as File > Open
    // does) with the document made once the read is done.
    enum class Way { AtOnce, OnAWorker };
    static constexpr Way Ways[] = {Way::AtOnce, Way::OnAWorker};
    static const char* wayName(Way way) { return way == Way::AtOnce ? "read at once" : "read on a worker"; }
    MyDocument* open(const QString& file, kit::Error* error = nullptr, Way way = Way::AtOnce)
    {
        kit::Error ignored;
        if (way == Way::AtOnce)
            return qobject_cast<MyDocument*>(controller->openDocumentWithContentsOfURL(QUrl::fromLocalFile(file), false, error ? error : &ignored));
        struct Outcome {
            bool done = false;
            QPointer<kit::Document> document;
            kit::Error error;
        };
        auto outcome = std::make_shared<Outcome>();
        controller->openDocumentWithContentsOfURL(QUrl::fromLocalFile(file), false, [outcome](kit::Document* d, const kit::Error& e) {
            outcome->done = true;
            outcome->document = d;
            outcome->error = e;
        });
        EXPECT_TRUE(QTest::qWaitFor([outcome] { return outcome->done; }, 10000));
        EXPECT_FALSE(controller->isOpeningURL(QUrl::fromLocalFile(file)));
        if (error)
            *error = outcome->error;
        return qobject_cast<MyDocument*>(outcome->document.data());
    }
    kit::StringEncoding storedEncoding(const QString& file)
    {
        KELFilePrefs* record = KELFilePrefsManager::sharedFilePrefsManager().existingFilePrefsForFile(file);
        return record ? record->encoding() : None;
    }
    // The encoding alert comes once the keys on their way have arrived.
    static bool alertAnswered(MyDocument* doc)
    {
        return QTest::qWaitFor([doc] { return !doc->willShowEncodingAlert(); }, 5000);
    }
    void closeAll()
    {
        for (kit::Document* d : controller->documents())
            d->close();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }

    QTemporaryDir dir;
    MyDocumentController* controller = nullptr;
    QStringList alerts;
    QList<int> answers;
};

// The read chain: picked encoding, per-file encoding, default, detection.
TEST_F(MyDocumentTest, ReadChain)
{
    struct Case {
        const char* fixture;
        kit::StringEncoding perFile;
        kit::StringEncoding openDefault;
        kit::StringEncoding picked;
        QList<kit::StringEncoding> expected; // any of these
        bool readsFrench;                    // the text reads as written
        kit::StringEncoding recorded;        // in the per-file record afterwards (Detected: the one used)
        const char* logFragment;             // a failed attempt's log line
    } cases[] = {
        // Plain ASCII is UTF-8 byte for byte: read and recorded as UTF-8, unless picked.
        {"ascii.txt", None, None, None, {UTF8}, false, UTF8, nullptr},
        {"ascii.txt", None, None, ASCII, {ASCII}, false, ASCII, nullptr},
        {"ascii.txt", None, UTF8, None, {UTF8}, false, None, nullptr},
        {"ascii.txt", Latin1, None, None, {Latin1}, false, Latin1, nullptr},
        {"utf8.html", None, None, None, {UTF8}, true, UTF8, nullptr},
        {"utf8.html", ASCII, None, None, {UTF8}, true, UTF8, "with file prefs encoding"},
        {"utf8.html", None, ASCII, None, {UTF8}, true, UTF8, "Could not open URL"},
        {"utf8.html", None, None, Latin1, {Latin1}, false, Latin1, nullptr},
        {"latin1.html", None, None, None, {Latin1, CP1252}, true, Detected, nullptr},
        {"latin1.html", None, UTF8, None, {Latin1, CP1252}, true, Detected, "with encoding"},
        {"latin1.html", Latin1, UTF8, None, {Latin1}, true, Latin1, nullptr},
        {"latin1.html", UTF8, None, Latin1, {Latin1}, true, Latin1, nullptr},
        {"latin1.html", None, Latin1, None, {Latin1}, true, None, nullptr},
        {"utf16-bom.txt", None, None, None, {UTF16}, true, UTF16, nullptr},
        {"utf16-bom.txt", None, ASCII, None, {UTF16}, true, UTF16, "with encoding"},
        {"utf16-bom.txt", UTF8, None, UTF16, {UTF16}, true, UTF16, nullptr},
    };
    for (Way way : Ways)
    for (const Case& c : cases) {
        SCOPED_TRACE(QStringLiteral("%1 perFile=%2 default=%3 picked=%4, %5").arg(c.fixture).arg(c.perFile).arg(c.openDefault).arg(c.picked).arg(wayName(way)).toStdString());
        kit::UserDefaults::standard().resetForTesting();
        KELFilePrefsManager::resetSharedForTesting();
        const QString file = copyFixture(c.fixture);
        if (c.perFile != None) {
            KELFilePrefs& record = KELFilePrefsManager::sharedFilePrefsManager().filePrefsForFile(file);
            record.setEncoding(c.perFile);
            KELFilePrefsManager::sharedFilePrefsManager().saveFilePrefs(record);
        }
        if (c.openDefault != None)
            kit::UserDefaults::standard().setValue(KELDefaultEncodingForOpen, qlonglong(c.openDefault));
        if (c.picked != None)
            controller->setSelectedEncodingForURL(QUrl::fromLocalFile(file), c.picked);

        kit::LogCapture log;
        kit::Error error;
        MyDocument* doc = open(file, &error, way);
        ASSERT_TRUE(doc) << error.localizedDescription().toStdString();
        EXPECT_TRUE(c.expected.contains(doc->documentEncoding())) << doc->documentEncoding();
        EXPECT_EQ(doc->currentString().contains(French), c.readsFrench) << doc->currentString().left(60).toStdString();
        EXPECT_FALSE(doc->currentString().startsWith(QChar(0xFEFF)));
        EXPECT_EQ(storedEncoding(file), c.recorded == Detected ? doc->documentEncoding() : c.recorded);
        if (c.logFragment) {
            EXPECT_TRUE(log.contains(QLatin1String(c.logFragment))) << log.lines().join('\n').toStdString();
        }
        // The pick served this open only.
        EXPECT_EQ(controller->lastSelectedEncodingForURL(QUrl::fromLocalFile(file)), None);
        closeAll();
    }
}

TEST_F(MyDocumentTest, BadFilesGetAClearMessageAndOpenNothing)
{
    const QString binary = copyFixture("binary.dat");
    QDir().mkpath(path("folder"));
    ASSERT_EQ(::mkfifo(QFile::encodeName(path("pipe")).constData(), 0600), 0);
    ASSERT_TRUE(writeBytes(path("photo.png"), "\x89PNG\r\n\x1a\n"));
    {
        QFile huge(path("huge.log")); // sparse: no real disk use
        ASSERT_TRUE(huge.open(QIODevice::WriteOnly));
        ASSERT_TRUE(huge.resize(qint64(65) * 1024 * 1024));
    }
    struct Case {
        QString file;
        kit::StringEncoding picked;
        const char* fragment;
    } cases[] = {
        {binary, None, "not a text file"},
        {binary, Latin1, "not a text file"}, // an 8-bit encoding reads anything: still refused
        {path("pipe"), None, "not a regular file"},
        {path("huge.log"), None, "too large"},
        {path("missing.html"), None, "does not exist"},
        // Without the project windows and viewers (not part of this test), no window opens.
        {path("folder"), None, "could not be opened"},
        {path("photo.png"), None, "could not be opened"},
    };
    for (Way way : Ways)
    for (const Case& c : cases) {
        SCOPED_TRACE(c.file.toStdString() + ", " + wayName(way));
        if (c.picked != None)
            controller->setSelectedEncodingForURL(QUrl::fromLocalFile(c.file), c.picked);
        kit::Error error;
        EXPECT_EQ(open(c.file, &error, way), nullptr);
        const QString message = error.localizedDescription() + QLatin1Char(' ') + error.localizedRecoverySuggestion();
        EXPECT_TRUE(message.contains(QLatin1String(c.fragment))) << message.toStdString();
        EXPECT_TRUE(controller->documents().isEmpty());
    }
}

TEST_F(MyDocumentTest, TextThatDoesNotFitItsEncodingOffersUTF8AndLeavesTheFileAlone)
{
    const QString file = copyFixture("ascii.txt");
    const QByteArray original = fileBytes(file);
    controller->setSelectedEncodingForURL(QUrl::fromLocalFile(file), ASCII); // the user's pick
    MyDocument* doc = open(file);
    ASSERT_TRUE(doc);
    ASSERT_EQ(doc->documentEncoding(), ASCII);
    doc->replaceCharactersInRange(kit::Range(4, 4), QStringLiteral("café"));
    ASSERT_TRUE(alertAnswered(doc));
    // The edit itself is warned about; keep it for now.
    ASSERT_EQ(alerts.size(), 1);
    EXPECT_TRUE(alerts[0].startsWith("The document \"ascii.txt\" can no longer be saved using its original encoding:"));
    doc->kit::Document::updateChangeCount(kit::ChangeType::Done);
    // The alert's "Use UTF-8" took effect; go back to ASCII to see the save refuse.
    doc->setDocumentEncoding(ASCII);

    kit::Error error;
    EXPECT_FALSE(doc->saveToURL(doc->kit::Document::fileURL(), doc->fileType(), kit::SaveOperation::Save, &error));
    EXPECT_EQ(error.domain(), KELErrorDomain);
    EXPECT_EQ(error.code(), KELErrorCannotSaveInEncoding);
    EXPECT_EQ(error.localizedRecoveryOptions(), (QStringList{"Use UTF-8", "Cancel"}));
    EXPECT_TRUE(error.localizedDescription().startsWith("The document \"ascii.txt\" cannot be saved with encoding"));
    EXPECT_EQ(fileBytes(file), original);
    EXPECT_TRUE(doc->isDocumentEdited());

    // "Cancel" changes nothing.
    EXPECT_FALSE(error.attemptRecovery(1));
    EXPECT_EQ(doc->documentEncoding(), ASCII);

    // "Use UTF-8" through the user's Save: recovered and saved in UTF-8.
    alerts.clear();
    answers = {kit::Alert::FirstButtonReturn};
    bool saved = false;
    doc->saveDocumentWithDelegate([&](kit::Document*, bool ok) { saved = ok; });
    EXPECT_TRUE(saved);
    EXPECT_EQ(alerts.size(), 1);
    EXPECT_EQ(doc->documentEncoding(), UTF8);
    EXPECT_EQ(QString::fromUtf8(fileBytes(file)), doc->currentString());
    EXPECT_FALSE(doc->isDocumentEdited());
    EXPECT_EQ(storedEncoding(file), UTF8);
    processEvents(); // the autosave after the recovery finds nothing left to do
    EXPECT_EQ(QString::fromUtf8(fileBytes(file)), doc->currentString());
}

TEST_F(MyDocumentTest, RecoveryByUTF8KeepsTheDocumentEditedAndAutosavesTheSideFileOnly)
{
    const QString file = copyFixture("ascii.txt");
    const QByteArray original = fileBytes(file);
    controller->setSelectedEncodingForURL(QUrl::fromLocalFile(file), ASCII); // the user's pick
    MyDocument* doc = open(file);
    ASSERT_TRUE(doc);
    answers = {kit::Alert::SecondButtonReturn}; // the edit warning: keep the edit? no: undo it
    doc->replaceCharactersInRange(kit::Range(0, 0), QStringLiteral("€ "));
    ASSERT_TRUE(alertAnswered(doc));
    EXPECT_FALSE(doc->currentString().contains(QStringLiteral("€"))) << "Undo Changes took the edit back";

    doc->replaceCharactersInRange(kit::Range(0, 0), QStringLiteral("€ "));
    ASSERT_TRUE(alertAnswered(doc));
    doc->setDocumentEncoding(ASCII);
    kit::Error error;
    ASSERT_FALSE(doc->saveToURL(doc->kit::Document::fileURL(), doc->fileType(), kit::SaveOperation::Save, &error));
    ASSERT_TRUE(error.attemptRecovery(0));
    EXPECT_EQ(doc->documentEncoding(), UTF8);
    EXPECT_TRUE(doc->hasUnsavedEncodingChange());
    processEvents();
    EXPECT_TRUE(doc->isDocumentEdited());
    EXPECT_EQ(fileBytes(file), original);
    const QString side = doc->autosavedContentsFileURL().toLocalFile();
    ASSERT_FALSE(side.isEmpty());
    EXPECT_EQ(QString::fromUtf8(fileBytes(side)), doc->currentString());
}

TEST_F(MyDocumentTest, UntitledDocumentsAskWhenTheirTextDoesNotFit)
{
    struct Case {
        int answer;
        bool saved;
    } cases[] = {{kit::Alert::FirstButtonReturn, true}, {kit::Alert::SecondButtonReturn, false}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.answer);
        kit::Error error;
        auto* doc = qobject_cast<MyDocument*>(controller->openUntitledDocumentAndDisplay(false, &error));
        ASSERT_TRUE(doc);
        doc->setInitialString(QStringLiteral("naïve"));
        doc->setDocumentEncoding(ASCII);
        const QString file = path(QStringLiteral("untitled%1.txt").arg(c.answer));
        kit::Document::setSavePanelResponderForTesting([&](kit::Document&, kit::SaveOperation) { return QUrl::fromLocalFile(file); });
        alerts.clear();
        answers = {c.answer};
        bool saved = !c.saved;
        doc->saveDocumentWithDelegate([&](kit::Document*, bool ok) { saved = ok; });
        EXPECT_EQ(saved, c.saved);
        ASSERT_EQ(alerts.size(), 1);
        EXPECT_TRUE(alerts[0].startsWith("Cannot Save|The document \"Untitled\" contains characters"));
        if (c.saved) {
            EXPECT_EQ(fileBytes(file), QStringLiteral("naïve").toUtf8());
            EXPECT_EQ(doc->documentEncoding(), UTF8);
        } else {
            EXPECT_FALSE(QFileInfo::exists(file));
            EXPECT_TRUE(doc->isDocumentEdited());
        }
        closeAll();
    }
}

TEST_F(MyDocumentTest, TheSavePanelProposesANameAndTheSavingEncoding)
{
    kit::Error error;
    auto* doc = qobject_cast<MyDocument*>(controller->openUntitledDocumentAndDisplay(false, &error));
    ASSERT_TRUE(doc);
    doc->setInitialString(QStringLiteral("plain text"));
    QFileDialog panel;
    panel.setOption(QFileDialog::DontUseNativeDialog, true);
    panel.setAcceptMode(QFileDialog::AcceptSave);
    panel.setDirectory(dir.path());
    ASSERT_TRUE(doc->prepareSavePanel(panel));
    ASSERT_FALSE(panel.selectedFiles().isEmpty());
    EXPECT_EQ(QFileInfo(panel.selectedFiles().constFirst()).fileName(), "Untitled.html");
    // ASCII text is UTF-8 byte for byte: UTF-8 is proposed, so later typing needs no other.
    EXPECT_EQ(doc->encodingForSaving(), UTF8) << "the suggestion for ASCII text";
    bool found = false;
    for (auto* popUp : panel.findChildren<KELEncodingPopUpButtonCell*>()) {
        const int index = popUp->findData(QVariant::fromValue<quint64>(ASCII), KELEncodingPopUpButtonCell::EncodingRole);
        if (index >= 0) {
            popUp->setCurrentIndex(index);
            found = true;
        }
    }
    ASSERT_TRUE(found) << "an encoding pop-up in the panel";
    EXPECT_EQ(doc->encodingForSaving(), ASCII) << "the user's pick";
}

TEST_F(MyDocumentTest, SuggestedEncoding)
{
    struct Case {
        kit::StringEncoding saveDefault;
        const char* text;
        kit::StringEncoding expected;
    } cases[] = {
        {None, "plain", UTF8},
        {None, "é", UTF8},
        {ASCII, "plain", ASCII},
        {UTF16, "plain", UTF16},
        {ASCII, "é", UTF8},
        {Latin1, "é", Latin1},
        {Latin1, "€", UTF8},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        if (c.saveDefault == None)
            kit::UserDefaults::standard().removeValue(KELDefaultEncodingForSave);
        else
            kit::UserDefaults::standard().setValue(KELDefaultEncodingForSave, qlonglong(c.saveDefault));
        MyDocument doc;
        doc.setInitialString(QString::fromUtf8(c.text));
        EXPECT_EQ(doc.suggestedDocumentEncoding(), c.expected);
    }
}

TEST_F(MyDocumentTest, SaveAsOntoAnotherOpenDocumentNeverDropsItsEditsSilently)
{
    struct Case {
        bool otherEdited;
        int answer;
        bool saved;
        bool otherClosed;
    } cases[] = {
        {false, kit::Alert::FirstButtonReturn, true, true}, // unedited: closed without a question
        {true, kit::Alert::SecondButtonReturn, false, false},
        {true, kit::Alert::FirstButtonReturn, true, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.otherEdited);
        ASSERT_TRUE(writeBytes(path("a.html"), "A"));
        ASSERT_TRUE(writeBytes(path("b.html"), "B"));
        MyDocument* a = open(path("a.html"));
        QPointer<MyDocument> b = open(path("b.html"));
        ASSERT_TRUE(a && b);
        if (c.otherEdited) {
            b->replaceCharactersInRange(kit::Range(1, 0), QStringLiteral(" edited"));
            b->kit::Document::updateChangeCount(kit::ChangeType::Done);
        }
        alerts.clear();
        answers = {c.answer};
        kit::Error error;
        EXPECT_EQ(a->saveToURL(QUrl::fromLocalFile(path("b.html")), a->fileType(), kit::SaveOperation::SaveAs, &error), c.saved);
        EXPECT_EQ(alerts.size(), c.otherEdited ? 1 : 0);
        EXPECT_EQ(fileBytes(path("b.html")), c.saved ? "A" : "B");
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        EXPECT_EQ(b.isNull() || b->documentClosed(), c.otherClosed);
        processEvents();
        closeAll();
    }
}

TEST_F(MyDocumentTest, OutsideChangesAreNoticedOnActivation)
{
    struct Case {
        bool edited;
        int answer;
        const char* expectedText;
        int expectedAlerts;
    } cases[] = {
        {false, 0, "changed outside", 0},
        {true, kit::Alert::FirstButtonReturn, "mine", 1},  // Keep Current Version
        {true, kit::Alert::SecondButtonReturn, "changed outside", 1}, // Revert
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.edited);
        const QString file = path("page.html");
        ASSERT_TRUE(writeBytes(file, "original"));
        MyDocument* doc = open(file);
        ASSERT_TRUE(doc);
        if (c.edited) {
            doc->setInitialString(QStringLiteral("mine"));
            doc->kit::Document::updateChangeCount(kit::ChangeType::Done);
        }
        ASSERT_TRUE(writeBytes(file, "changed outside"));
        touchLater(file, 5);
        alerts.clear();
        answers = {c.answer};
        kit::NotificationCenter::defaultCenter().post(KELDocumentDidBecomeActiveNotification, doc);
        processEvents();
        EXPECT_EQ(doc->currentString(), QString::fromLatin1(c.expectedText));
        EXPECT_EQ(alerts.size(), c.expectedAlerts);
        if (c.expectedAlerts) {
            EXPECT_TRUE(alerts[0].startsWith("Warning|The file for the document at " + file + " has been modified by another application."));
        }
        // Noticed once only.
        alerts.clear();
        kit::NotificationCenter::defaultCenter().post(KELDocumentDidBecomeActiveNotification, doc);
        processEvents();
        EXPECT_TRUE(alerts.isEmpty());
        closeAll();
    }
}

TEST_F(MyDocumentTest, AFileRemovedWhileOpenLosesNothing)
{
    const QString file = path("gone.html");
    ASSERT_TRUE(writeBytes(file, "saved"));
    MyDocument* doc = open(file);
    ASSERT_TRUE(doc);
    doc->replaceCharactersInRange(kit::Range(5, 0), QStringLiteral(" and edited"));
    processEvents();
    ASSERT_TRUE(doc->isDocumentEdited());
    QFile::remove(file);

    // Activation says the file is gone (once); Revert says why it cannot.
    kit::NotificationCenter::defaultCenter().post(KELDocumentDidBecomeActiveNotification, doc);
    processEvents();
    kit::NotificationCenter::defaultCenter().post(KELDocumentDidBecomeActiveNotification, doc);
    processEvents();
    ASSERT_EQ(alerts.size(), 1);
    EXPECT_TRUE(alerts[0].startsWith(QStringLiteral("The file of the document “gone.html” has been moved or deleted.")));
    EXPECT_FALSE(doc->revertToSaved());
    ASSERT_EQ(alerts.size(), 2);
    EXPECT_TRUE(alerts[1].contains("does not exist"));
    EXPECT_EQ(doc->currentString(), "saved and edited");
    EXPECT_TRUE(doc->isDocumentEdited());
    EXPECT_TRUE(doc->undoManager()->canUndo());

    // Saving puts the file back.
    bool saved = false;
    doc->saveDocumentWithDelegate([&](kit::Document*, bool ok) { saved = ok; });
    EXPECT_TRUE(saved);
    EXPECT_EQ(fileBytes(file), "saved and edited");
}

TEST_F(MyDocumentTest, AnUneditedDocumentWhoseFileVanishedAsksBeforeClosing)
{
    const QString file = path("vanish.html");
    ASSERT_TRUE(writeBytes(file, "only copy"));
    MyDocument* doc = open(file);
    ASSERT_TRUE(doc);
    QFile::remove(file);
    kit::NotificationCenter::defaultCenter().post(KELDocumentDidBecomeActiveNotification, doc);
    processEvents();
    EXPECT_TRUE(doc->isDocumentEdited());
    answers = {kit::Document::SaveChangesSave};
    bool mayClose = false;
    doc->canCloseDocument([&](bool ok) { mayClose = ok; });
    EXPECT_TRUE(mayClose);
    EXPECT_EQ(fileBytes(file), "only copy");
}

TEST_F(MyDocumentTest, AFailedWriteLeavesTheFileAsItWas)
{
    QDir().mkpath(path("ro"));
    const QString file = path("ro/page.html");
    ASSERT_TRUE(writeBytes(file, "on disk"));
    MyDocument* doc = open(file);
    ASSERT_TRUE(doc);
    doc->setInitialString(QStringLiteral("replacement"));
    doc->kit::Document::updateChangeCount(kit::ChangeType::Done);
    {
        testsupport::UnwritableFolder guard(path("ro"));
        if (!guard.effective())
            GTEST_SKIP() << "cannot make a folder refuse writes here";
        bool saved = true;
        doc->saveDocumentWithDelegate([&](kit::Document*, bool ok) { saved = ok; });
        EXPECT_FALSE(saved);
        ASSERT_EQ(alerts.size(), 1);
        EXPECT_TRUE(alerts[0].contains(QStringLiteral("couldn’t be saved"))) << alerts[0].toStdString();
    }
    EXPECT_EQ(fileBytes(file), "on disk");
    EXPECT_TRUE(doc->isDocumentEdited());
    EXPECT_EQ(doc->currentString(), "replacement");
}

TEST_F(MyDocumentTest, ComponentLibraryFilesAskBeforeSaving)
{
    MyDocument::setChecksumVerifier([](const QString& text) { return text.contains("KelpStudioChecksum: "); });
    ASSERT_TRUE(writeBytes(path("lib1.html"), "<p>\nKelpStudioChecksum: 1"));
    ASSERT_TRUE(writeBytes(path("lib2.html"), "<p>\nKelpStudioChecksum: 2"));
    MyDocument* one = open(path("lib1.html"));
    MyDocument* two = open(path("lib2.html"));
    ASSERT_TRUE(one && two);
    EXPECT_TRUE(one->showComponentLibraryWarning());

    // Autosaves are refused until unlocked.
    one->kit::Document::updateChangeCount(kit::ChangeType::Done);
    kit::Error error;
    EXPECT_FALSE(one->checkAutosavingSafety(&error));
    EXPECT_EQ(error.code(), KELErrorComponentLibraryLocked);

    answers = {kit::Alert::SecondButtonReturn};
    bool saved = true;
    one->saveDocumentWithDelegate([&](kit::Document*, bool ok) { saved = ok; });
    EXPECT_FALSE(saved);
    ASSERT_EQ(alerts.size(), 1);
    EXPECT_TRUE(alerts[0].startsWith("Are you sure that you want to save changes to the Component Library file \"lib1.html\"?"));

    // One "Save" silences every library file.
    answers = {kit::Alert::FirstButtonReturn};
    one->saveDocumentWithDelegate([&](kit::Document*, bool ok) { saved = ok; });
    EXPECT_TRUE(saved);
    EXPECT_FALSE(two->showComponentLibraryWarning());
    EXPECT_TRUE(two->checkAutosavingSafety(nullptr));
}

} // namespace

namespace {

// A save over a file that another program changed since it was read asks first:
// keep the other version, overwrite it, save elsewhere, or cancel.
TEST_F(MyDocumentTest, SaveAfterAnotherProgramChangedTheFileAsksFirst)
{
    struct Case {
        const char* name;
        const char* outside; // what the other program writes (null: nothing)
        int moveSeconds;     // how far its date moves
        int answer;
        bool saved;
        const char* fileAfter;
        const char* textAfter;
        bool editedAfter;
    } cases[] = {
        {"unchanged on disk: no question", nullptr, 0, 0, true, "mine", "mine", false},
        {"cancel", "theirs!", 0, kit::Document::ChangedFileCancel, false, "theirs!", "mine", true},
        {"overwrite", "theirs!", 0, kit::Document::ChangedFileOverwrite, true, "mine", "mine", false},
        {"keep theirs", "theirs!", 0, kit::Document::ChangedFileKeepOther, true, "theirs!", "theirs!", false},
        // Same size, only a later date: still another program's change.
        {"same size", "ORIGINAL", 5, kit::Document::ChangedFileCancel, false, "ORIGINAL", "mine", true},
        {"save elsewhere", "theirs!", 0, kit::Document::ChangedFileSaveElsewhere, true, "theirs!", "mine", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const QString file = path("page.html");
        const QString elsewhere = path("elsewhere.html");
        QFile::remove(elsewhere);
        ASSERT_TRUE(writeBytes(file, "original"));
        MyDocument* doc = open(file);
        ASSERT_TRUE(doc);
        doc->setInitialString(QStringLiteral("mine"));
        doc->kit::Document::updateChangeCount(kit::ChangeType::Done);
        if (c.outside) {
            ASSERT_TRUE(writeBytes(file, c.outside));
            if (c.moveSeconds)
                touchLater(file, c.moveSeconds);
        }
        kit::Document::setSavePanelResponderForTesting([&](kit::Document&, kit::SaveOperation) { return QUrl::fromLocalFile(elsewhere); });
        alerts.clear();
        answers = {c.answer};
        bool saved = !c.saved;
        doc->saveDocumentWithDelegate([&](kit::Document*, bool ok) { saved = ok; });
        EXPECT_EQ(saved, c.saved);
        EXPECT_EQ(alerts.size(), c.outside ? 1 : 0);
        if (c.outside && !alerts.isEmpty()) {
            EXPECT_TRUE(alerts[0].startsWith("The file “page.html” has been changed by another application")) << alerts[0].toStdString();
        }
        EXPECT_EQ(fileBytes(file), QByteArray(c.fileAfter));
        EXPECT_EQ(doc->currentString(), QString::fromLatin1(c.textAfter));
        EXPECT_EQ(doc->isDocumentEdited(), c.editedAfter);
        if (c.answer == kit::Document::ChangedFileSaveElsewhere) {
            EXPECT_EQ(fileBytes(elsewhere), "mine");
            EXPECT_EQ(doc->filePath(), elsewhere);
        }
        // Once settled, the next save does not ask again.
        if (c.saved) {
            alerts.clear();
            doc->saveDocumentWithDelegate({});
            EXPECT_TRUE(alerts.isEmpty());
        }
        closeAll();
    }
}

// Characters that a legacy encoding would drop or replace without a word (the
// invisible ones above all) make the save refuse, and the file keeps its bytes.
TEST_F(MyDocumentTest, InvisibleCharactersALegacyEncodingCannotHoldAreNeverDroppedSilently)
{
    const struct {
        kit::StringEncoding encoding;
        QString character;
    } cases[] = {
        {Latin1, QStringLiteral("\u200B")}, // zero-width space
        {Latin1, QStringLiteral("\u200E")}, // left-to-right mark
        {Latin1, QStringLiteral("\u200D")}, // zero-width joiner
        {Latin1, QStringLiteral("\uFE0F")}, // variation selector
        {CP1252, QStringLiteral("\u2060")}, // word joiner
        {CP1252, QStringLiteral("\u00AD\u200C")}, // soft hyphen fits, the non-joiner does not
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.character.toStdString());
        const QString file = path("latin.html");
        ASSERT_TRUE(writeBytes(file, kit::encodeString(QStringLiteral("café"), c.encoding).value()));
        controller->setSelectedEncodingForURL(QUrl::fromLocalFile(file), c.encoding);
        MyDocument* doc = open(file);
        ASSERT_TRUE(doc);
        ASSERT_EQ(doc->documentEncoding(), c.encoding);
        doc->setInitialString(QStringLiteral("ca") + c.character + QStringLiteral("fé"));
        doc->kit::Document::updateChangeCount(kit::ChangeType::Done);
        EXPECT_FALSE(doc->isTextEncodableForDocumentEncoding(c.character));
        kit::Error error;
        EXPECT_FALSE(doc->saveToURL(doc->kit::Document::fileURL(), doc->fileType(), kit::SaveOperation::Save, &error));
        EXPECT_EQ(error.code(), KELErrorCannotSaveInEncoding);
        EXPECT_EQ(fileBytes(file), kit::encodeString(QStringLiteral("café"), c.encoding).value());
        EXPECT_TRUE(doc->isDocumentEdited());
        closeAll();
    }
}

// An unchanged save writes the bytes it read: the UTF-8 byte-order mark stays,
// UTF-16 and UTF-32 keep their byte order; an edited save keeps both too.
TEST_F(MyDocumentTest, ByteOrderMarksAndByteOrderSurviveASave)
{
    const QString text = QStringLiteral("<p>café ✓</p>\n");
    auto bytes = [&](const char* mark, int markLength, kit::StringEncoding body, const QString& t) {
        return QByteArray(mark, markLength) + kit::encodeString(t, body).value();
    };
    const struct {
        const char* name;
        const char* mark;
        int markLength;
        kit::StringEncoding body;
    } cases[] = {
        {"UTF-8 with mark", "\xEF\xBB\xBF", 3, UTF8},
        {"UTF-8 without mark", "", 0, UTF8},
        {"UTF-16 big-endian", "\xFE\xFF", 2, kit::UTF16BigEndianStringEncoding},
        {"UTF-16 little-endian", "\xFF\xFE", 2, kit::UTF16LittleEndianStringEncoding},
        {"UTF-32 big-endian", "\0\0\xFE\xFF", 4, kit::UTF32BigEndianStringEncoding},
        {"UTF-32 little-endian", "\xFF\xFE\0\0", 4, kit::UTF32LittleEndianStringEncoding},
    };
    for (Way way : Ways)
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.name) + ", " + wayName(way));
        // A file of its own each: the encoding a file was saved in is remembered for it.
        const QString file = path(QStringLiteral("marked-%1-%2.html").arg(&c - cases).arg(int(way)));
        const QByteArray original = bytes(c.mark, c.markLength, c.body, text);
        ASSERT_TRUE(writeBytes(file, original));
        MyDocument* doc = open(file, nullptr, way);
        ASSERT_TRUE(doc);
        ASSERT_EQ(doc->currentString(), text);
        kit::Error error;
        ASSERT_TRUE(doc->saveToURL(doc->kit::Document::fileURL(), doc->fileType(), kit::SaveOperation::Save, &error))
            << error.localizedDescription().toStdString();
        EXPECT_EQ(fileBytes(file), original);

        doc->setInitialString(text + QStringLiteral("more"));
        ASSERT_TRUE(doc->saveToURL(doc->kit::Document::fileURL(), doc->fileType(), kit::SaveOperation::Save, &error));
        EXPECT_EQ(fileBytes(file), bytes(c.mark, c.markLength, c.body, text + QStringLiteral("more")));
        closeAll();
    }
}

// Placeholders in a file's text are tokens from the start, as after a paste: loading,
// a new document from the user's template and a revert all make them.
TEST_F(MyDocumentTest, PlaceholdersOfOpenedTextAreTokens)
{
    KELTokenParser& parser = KELTokenParser::sharedTokenParser();
    auto expectPlaceholders = [&](MyDocument* doc, QList<qsizetype> starts, const char* when) {
        SCOPED_TRACE(when);
        ASSERT_TRUE(doc && doc->textView());
        kit::TextStorage* storage = doc->textView()->textStorage();
        for (qsizetype start : starts) {
            EXPECT_TRUE(parser.textStorageHasTokenStartingAtIndex(storage, start)) << start;
            EXPECT_EQ(KELTokenParser::tokenTypeAt(storage, start), int(KELTokenTypePlaceholder)) << start;
        }
        qsizetype tokens = 0;
        for (qsizetype i = 0; i < storage->length(); ++i)
            tokens += parser.textStorageHasTokenStartingAtIndex(storage, i);
        EXPECT_EQ(tokens, starts.size());
        // The tokens are the view's business, not an edit of the document.
        EXPECT_FALSE(doc->isDocumentEdited());
    };

    const QString file = path("placeholders.html");
    ASSERT_TRUE(writeBytes(file, "<p><#name#></p>\n<#a:b#> <##>\n"));
    expectPlaceholders(open(file, nullptr, Way::OnAWorker), {3, 24}, "after opening on a worker");
    closeAll();
    MyDocument* doc = open(file);
    expectPlaceholders(doc, {3, 24}, "after opening");

    // One character to the caret: a click beside it and Backspace take the whole token.
    KELHTMLView* view = doc->textView();
    view->setSelectedRange(kit::Range(11, 0));
    view->deleteBackward();
    EXPECT_EQ(doc->currentString(), QStringLiteral("<p></p>\n<#a:b#> <##>\n"));

    // Revert puts the file's text back, placeholders as tokens.
    doc->revertToSaved();
    expectPlaceholders(doc, {3, 24}, "after revert");
    closeAll();

    // A new document from the user's template.
    const QString templ = path("template.html");
    ASSERT_TRUE(writeBytes(templ, "<title><#Title#></title>"));
    kit::UserDefaults::standard().setValue(KELShouldGetNewDocCodeFromAFileKey, true);
    kit::UserDefaults::standard().setValue(KELCodeForNewDocumentsKey, templ);
    auto* untitled = qobject_cast<MyDocument*>(controller->openUntitledDocumentAndDisplay(false, nullptr));
    expectPlaceholders(untitled, {7}, "in a new document");
    closeAll();
}

// The save panel says which command it serves: Save To writes a copy elsewhere.
TEST_F(MyDocumentTest, TheSavePanelIsTitledAfterItsCommand)
{
    const QString file = path("titled.html");
    ASSERT_TRUE(writeBytes(file, "text"));
    MyDocument* doc = open(file);
    ASSERT_TRUE(doc);
    for (const auto& [operation, title] : {std::pair{kit::SaveOperation::SaveTo, "Save To"}, std::pair{kit::SaveOperation::SaveAs, "Save As"}}) {
        QString shown;
        QTimer watcher;
        watcher.setInterval(20);
        QObject::connect(&watcher, &QTimer::timeout, [&] {
            if (auto* panel = qobject_cast<QFileDialog*>(QApplication::activeModalWidget())) {
                shown = panel->windowTitle();
                panel->reject();
            }
        });
        watcher.start();
        bool saved = true;
        doc->runModalSavePanel(operation, [&](kit::Document*, bool ok) { saved = ok; });
        EXPECT_EQ(shown, QString::fromLatin1(title));
        EXPECT_FALSE(saved);
    }
    EXPECT_EQ(fileBytes(file), "text");
    closeAll();
}

// A folder that took the file's place is named as a folder; a binary file with
// a page's extension is "not a text file".
TEST_F(MyDocumentTest, FolderInTheFilesPlaceAndBinaryPageGetTheirOwnMessages)
{
    const QString file = path("page.html");
    ASSERT_TRUE(writeBytes(file, "text"));
    MyDocument* doc = open(file);
    ASSERT_TRUE(doc);
    doc->setInitialString(QStringLiteral("new text"));
    doc->kit::Document::updateChangeCount(kit::ChangeType::Done);
    ASSERT_TRUE(QFile::remove(file));
    ASSERT_TRUE(QDir().mkpath(file));
    alerts.clear();
    bool saved = true;
    doc->saveDocumentWithDelegate([&](kit::Document*, bool ok) { saved = ok; });
    EXPECT_FALSE(saved);
    ASSERT_EQ(alerts.size(), 1);
    EXPECT_TRUE(alerts[0].contains(QStringLiteral("a folder is in its place"))) << alerts[0].toStdString();
    EXPECT_TRUE(QFileInfo(file).isDir());
    EXPECT_TRUE(doc->isDocumentEdited());
    closeAll();

    const QByteArray png("\x89PNG\r\n\x1a\n\0\0\0\rIHDR\0\0\0\x01\0\0\0\x01\x08\x02\0\0\0\x90wS\xde", 33);
    QByteArray noise;
    for (int i = 0; i < 512; ++i)
        noise.append(char(1 + (i * 151 + 7) % 255)); // every byte but NUL
    for (const QByteArray& data : {png, noise}) {
        const QString binary = path("binary.html");
        ASSERT_TRUE(writeBytes(binary, data));
        kit::Error error;
        EXPECT_EQ(open(binary, &error), nullptr);
        EXPECT_TRUE(error.localizedDescription().contains(QStringLiteral("not a text file")))
            << error.localizedDescription().toStdString();
    }
}

} // namespace

namespace {

// Short pages give a guess too little to go on: they open in the encoding they
// declare, and what is typed is saved in it.
TEST_F(MyDocumentTest, ShortPagesOpenInTheEncodingTheyDeclare)
{
    struct Case {
        const char* name;
        QByteArray bytes;
        QString text;
        QString typed;
    } cases[] = {
        {"sjis.html", "<meta charset=\"Shift_JIS\"><p>\x93\xfa\x96\x7b\x8c\xea</p>",
         QStringLiteral("<meta charset=\"Shift_JIS\"><p>\u65e5\u672c\u8a9e</p>"), QStringLiteral("\u8a9e")},
        {"latin1.html", "<meta http-equiv=\"Content-Type\" content=\"text/html; charset=iso-8859-1\"><p>caf\xe9</p>",
         QStringLiteral("<meta http-equiv=\"Content-Type\" content=\"text/html; charset=iso-8859-1\"><p>caf\u00e9</p>"),
         QStringLiteral("\u00e8")},
        {"cp1252.html", "<meta charset=windows-1252><p>\x93quoted\x94 \x80</p>",
         QStringLiteral("<meta charset=windows-1252><p>\u201cquoted\u201d \u20ac</p>"), QStringLiteral("\u2014")},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const QString file = path(QString::fromLatin1(c.name));
        ASSERT_TRUE(writeBytes(file, c.bytes));
        MyDocument* doc = open(file);
        ASSERT_TRUE(doc);
        EXPECT_EQ(doc->currentString(), c.text);
        const kit::StringEncoding declared = kit::encodingForIANACharsetName(
            QString::fromLatin1(c.name).startsWith(QLatin1String("sjis")) ? QStringLiteral("shift_jis")
            : QString::fromLatin1(c.name).startsWith(QLatin1String("latin1")) ? QStringLiteral("iso-8859-1")
                                                                              : QStringLiteral("windows-1252"));
        EXPECT_EQ(doc->documentEncoding(), declared) << kit::localizedNameOfStringEncoding(doc->documentEncoding()).toStdString();
        // A character of that encoding typed in: no alert, saved in it.
        alerts.clear();
        doc->replaceCharactersInRange(kit::Range(doc->currentString().size() - 4, 0), c.typed);
        processEvents();
        EXPECT_FALSE(doc->willShowEncodingAlert());
        EXPECT_TRUE(alerts.isEmpty()) << alerts.join('\n').toStdString();
        kit::Error error;
        ASSERT_TRUE(doc->saveToURL(doc->kit::Document::fileURL(), doc->fileType(), kit::SaveOperation::Save, &error))
            << error.localizedDescription().toStdString();
        EXPECT_EQ(fileBytes(file), *kit::encodeString(doc->currentString(), declared));
        closeAll();
    }
}

// A copy that kept the file's date and size ("cp -p", "rsync -t", "touch -r") is
// another program's change all the same: the save asks, and the document notices
// it when it comes to the front. A change of permissions alone, or an identical
// copy put in the file's place, is no change.
TEST_F(MyDocumentTest, AChangeThatKeptTheDateAndSizeIsStillNoticed)
{
    enum How { Rewrite, Replace, Chmod, ReplaceIdentical };
    struct Case {
        const char* name;
        How how;
        bool changed;
    } cases[] = {
        {"rewritten in place, date put back", Rewrite, true},
        {"another file put in its place with the same date", Replace, true},
        {"permissions changed", Chmod, false},
        {"an identical copy put in its place", ReplaceIdentical, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const QString file = path("page.html");
        ASSERT_TRUE(writeBytes(file, "original"));
        MyDocument* doc = open(file);
        ASSERT_TRUE(doc);
        struct stat before;
        ASSERT_EQ(::stat(QFile::encodeName(file).constData(), &before), 0);
        const QByteArray theirs = c.changed ? QByteArray("ORIGINAL") : QByteArray("original");
        switch (c.how) {
        case Rewrite:
            ASSERT_TRUE(writeBytes(file, theirs));
            break;
        case Replace:
        case ReplaceIdentical:
            ASSERT_TRUE(writeBytes(path("copy.tmp"), theirs));
            ASSERT_EQ(::rename(QFile::encodeName(path("copy.tmp")).constData(), QFile::encodeName(file).constData()), 0);
            break;
        case Chmod:
            ASSERT_EQ(::chmod(QFile::encodeName(file).constData(), 0640), 0);
            break;
        }
        // The date put back to the nanosecond, as "touch -r" does.
        const struct timespec times[2] = {before.st_atim, before.st_mtim};
        ASSERT_EQ(::utimensat(AT_FDCWD, QFile::encodeName(file).constData(), times, 0), 0);

        // Unedited, it follows the file when it comes to the front.
        alerts.clear();
        kit::NotificationCenter::defaultCenter().post(KELDocumentDidBecomeActiveNotification, doc);
        processEvents();
        EXPECT_EQ(doc->currentString(), QString::fromLatin1(theirs));
        EXPECT_TRUE(alerts.isEmpty());
        // Edited, a save over yet another such copy asks first (Cancel keeps theirs).
        doc->setInitialString(QStringLiteral("mine...."));
        doc->kit::Document::updateChangeCount(kit::ChangeType::Done);
        ASSERT_EQ(::stat(QFile::encodeName(file).constData(), &before), 0);
        ASSERT_TRUE(writeBytes(path("copy.tmp"), c.changed ? QByteArray("THEIRS!!") : fileBytes(file)));
        ASSERT_EQ(::rename(QFile::encodeName(path("copy.tmp")).constData(), QFile::encodeName(file).constData()), 0);
        const struct timespec again[2] = {before.st_atim, before.st_mtim};
        ASSERT_EQ(::utimensat(AT_FDCWD, QFile::encodeName(file).constData(), again, 0), 0);
        answers = {kit::Document::ChangedFileCancel};
        bool saved = false;
        doc->saveDocumentWithDelegate([&](kit::Document*, bool ok) { saved = ok; });
        EXPECT_EQ(alerts.size(), c.changed ? 1 : 0) << alerts.join('\n').toStdString();
        EXPECT_EQ(saved, !c.changed);
        EXPECT_EQ(fileBytes(file), c.changed ? QByteArray("THEIRS!!") : QByteArray("mine...."));
        closeAll();
    }
}

} // namespace
