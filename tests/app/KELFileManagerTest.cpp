#include "app/KELFileManager.h"

#include "app/ReplaceFileController.h"
#include "document/KELFilePrefsManager.h"
#include "document/MyDocument.h"
#include "document/MyDocumentController.h"
#include "kit/Alert.h"
#include "kit/NotificationCenter.h"

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <cerrno>

namespace {

class FileOperationsTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        KELFilePrefsManager::resetSharedForTesting();
        kit::DocumentController::resetSharedForTesting();
        controller = new MyDocumentController(qApp);
        alerts.clear();
        kit::Alert::setResponderForTesting([this](const kit::Alert& a) {
            alerts << a.messageText() + QStringLiteral(": ") + a.informativeText();
            return kit::Alert::FirstButtonReturn;
        });
    }
    void TearDown() override
    {
        KELFileManager::setCopyFileFunctionForTesting({});
        KELFileManager::setTrashFunctionForTesting({});
        kit::Alert::setResponderForTesting({});
        kit::DocumentController::resetSharedForTesting();
    }
    QString path(const QString& relative) const { return dir.filePath(relative); }
    void write(const QString& relative, const QByteArray& data)
    {
        QDir().mkpath(QFileInfo(path(relative)).absolutePath());
        QFile f(path(relative));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(data);
    }
    QByteArray read(const QString& relative) const
    {
        QFile f(path(relative));
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
    }
    MyDocument* open(const QString& relative)
    {
        kit::Error error;
        auto* d = qobject_cast<MyDocument*>(controller->openDocumentWithContentsOfURL(QUrl::fromLocalFile(path(relative)), false, &error));
        EXPECT_TRUE(d) << error.localizedDescription().toStdString();
        return d;
    }

    QTemporaryDir dir;
    MyDocumentController* controller = nullptr;
    QStringList alerts;
    KELFileManager& fm = KELFileManager::defaultManager();
};

} // namespace

TEST_F(FileOperationsTest, MovingAFolderRepointsItsOpenDocuments)
{
    write(QStringLiteral("site/a.html"), "a");
    write(QStringLiteral("site/css/b.css"), "b");
    MyDocument* a = open(QStringLiteral("site/a.html"));
    MyDocument* b = open(QStringLiteral("site/css/b.css"));
    kit::Error error;
    ASSERT_TRUE(fm.movePathWithDocumentUpdate(path(QStringLiteral("site")), path(QStringLiteral("moved")), &error));
    EXPECT_EQ(a->fileURLPath(), path(QStringLiteral("moved/a.html")));
    EXPECT_EQ(b->fileURLPath(), path(QStringLiteral("moved/css/b.css")));
    // A name that differs only in letter case is another file here, and a move
    // never replaces silently.
    write(QStringLiteral("Moved/x.html"), "x");
    EXPECT_FALSE(fm.movePathWithDocumentUpdate(path(QStringLiteral("Moved")), path(QStringLiteral("moved")), &error));
    EXPECT_FALSE(error.localizedDescription().isEmpty());
    EXPECT_EQ(read(QStringLiteral("moved/a.html")), "a");
    EXPECT_EQ(read(QStringLiteral("Moved/x.html")), "x");
}

TEST_F(FileOperationsTest, CopyOverAnOpenFileReloadsItButKeepsUnsavedEdits)
{
    write(QStringLiteral("new/page.html"), "new text");
    write(QStringLiteral("new/other.html"), "other new");
    write(QStringLiteral("old/page.html"), "old text");
    write(QStringLiteral("old/other.html"), "old other");
    MyDocument* clean = open(QStringLiteral("old/page.html"));
    MyDocument* edited = open(QStringLiteral("old/other.html"));
    edited->replaceCharactersInRange({0, 0}, QStringLiteral("unsaved "));
    edited->updateChangeCount(kit::ChangeType::Done);
    ASSERT_TRUE(edited->isDocumentEdited());
    kit::Error error;
    ASSERT_TRUE(fm.replaceItem(path(QStringLiteral("new")), path(QStringLiteral("old")), false, &error));
    EXPECT_EQ(read(QStringLiteral("old/page.html")), "new text");
    EXPECT_EQ(clean->currentString(), QStringLiteral("new text"));
    EXPECT_EQ(edited->currentString(), QStringLiteral("unsaved old other"));
    EXPECT_TRUE(edited->isDocumentEdited());
    EXPECT_EQ(read(QStringLiteral("new/page.html")), "new text"); // a copy leaves the source
    // Nothing set aside is left behind.
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
              QStringList({QStringLiteral("new"), QStringLiteral("old")}));
}

TEST_F(FileOperationsTest, MovingOverOpenFilesClosesOnlyTheUneditedOnes)
{
    write(QStringLiteral("in/a.html"), "moved a");
    write(QStringLiteral("in/b.html"), "moved b");
    write(QStringLiteral("out/a.html"), "old a");
    write(QStringLiteral("out/b.html"), "old b");
    MyDocument* clean = open(QStringLiteral("out/a.html"));
    MyDocument* edited = open(QStringLiteral("out/b.html"));
    QPointer<MyDocument> cleanGuard(clean);
    edited->updateChangeCount(kit::ChangeType::Done);
    kit::Error error;
    ASSERT_TRUE(fm.replaceItem(path(QStringLiteral("in")), path(QStringLiteral("out")), true, &error));
    EXPECT_EQ(read(QStringLiteral("out/a.html")), "moved a");
    EXPECT_FALSE(QFileInfo::exists(path(QStringLiteral("in"))));
    EXPECT_TRUE(clean->isClosed());
    EXPECT_FALSE(edited->isClosed()); // its unsaved text is still there to save
    EXPECT_TRUE(edited->isDocumentEdited());
    EXPECT_EQ(controller->documents(), QList<kit::Document*>({edited}));
}

TEST_F(FileOperationsTest, AFailingCopyKeepsTheReplacedItemAndLeavesNoHalfCopy)
{
    write(QStringLiteral("src/one.html"), "1");
    write(QStringLiteral("src/two.html"), "2");
    write(QStringLiteral("dst/keep.html"), "precious");
    KELFileManager::setCopyFileFunctionForTesting([](const QString& from, const QString& to, QString* reason) {
        if (from.endsWith(QLatin1String("two.html"))) {
            *reason = QStringLiteral("No space left on device");
            return false;
        }
        return QFile::copy(from, to);
    });
    struct Case {
        const char* name;
        std::function<bool(kit::Error*)> run;
    };
    const Case cases[] = {
        {"replace", [&](kit::Error* e) { return fm.replaceItem(path(QStringLiteral("src")), path(QStringLiteral("dst")), false, e); }},
        {"plain copy", [&](kit::Error* e) { return fm.copyPathWithDocumentUpdate(path(QStringLiteral("src")), path(QStringLiteral("fresh")), e); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        kit::Error error;
        EXPECT_FALSE(c.run(&error));
        EXPECT_TRUE(error.localizedRecoverySuggestion().contains(QStringLiteral("No space")));
        EXPECT_EQ(read(QStringLiteral("dst/keep.html")), "precious");
        EXPECT_FALSE(QFileInfo::exists(path(QStringLiteral("fresh"))));
        EXPECT_EQ(QDir(dir.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
                  QStringList({QStringLiteral("dst"), QStringLiteral("src")}));
    }
}

TEST_F(FileOperationsTest, ReplacePanelReportsAFailedCopyAndStops)
{
    write(QStringLiteral("a/x.html"), "new x");
    write(QStringLiteral("a/y.html"), "new y");
    write(QStringLiteral("b/x.html"), "old x");
    write(QStringLiteral("b/y.html"), "old y");
    KELFileManager::setCopyFileFunctionForTesting([](const QString&, const QString&, QString* reason) {
        *reason = QStringLiteral("Permission denied");
        return false;
    });
    auto* panel = new ReplaceFileController({FilePair(path(QStringLiteral("a/x.html")), path(QStringLiteral("b/x.html")), 0),
                                             FilePair(path(QStringLiteral("a/y.html")), path(QStringLiteral("b/y.html")), 0)});
    QPointer<ReplaceFileController> guard(panel);
    panel->applyAllButton()->setChecked(true);
    panel->replace();
    ASSERT_EQ(alerts.size(), 1); // stops at the first failure
    EXPECT_TRUE(alerts[0].startsWith(QStringLiteral("Copy Failed: The file \"x.html\" could not be copied.")));
    EXPECT_EQ(read(QStringLiteral("b/x.html")), "old x");
    EXPECT_EQ(read(QStringLiteral("b/y.html")), "old y");
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_FALSE(guard); // the panel closed and let itself go

    // A move that replaces: the source goes, the destination holds it.
    KELFileManager::setCopyFileFunctionForTesting({});
    auto* move = new ReplaceFileController({FilePair(path(QStringLiteral("a/x.html")), path(QStringLiteral("b/x.html")), FilePair::MoveOperation)});
    move->replace();
    EXPECT_EQ(read(QStringLiteral("b/x.html")), "new x");
    EXPECT_FALSE(QFileInfo::exists(path(QStringLiteral("a/x.html"))));
}

TEST_F(FileOperationsTest, ReplaceQuestionByModificationDates)
{
    write(QStringLiteral("s.html"), "s");
    write(QStringLiteral("d.html"), "d");
    const QDateTime base = QDateTime::currentDateTime().addDays(-1);
    struct Case {
        int sourceOffset;
        int destinationOffset;
        const char* expected;
    };
    const Case cases[] = {
        {0, 60, "A newer item named \"s.html\" already exists in this location. Do you want to replace it with the older one you are moving?"},
        {60, 0, "An older item named \"s.html\" already exists in this location. Do you want to replace it with the newer one you are moving?"},
        {30, 30, "An item named \"s.html\" already exists in this location. Do you want to replace it with the one you are moving?"},
    };
    for (const Case& c : cases) {
        QFile s(path(QStringLiteral("s.html"))), d(path(QStringLiteral("d.html")));
        ASSERT_TRUE(s.open(QIODevice::ReadWrite) && d.open(QIODevice::ReadWrite));
        s.setFileTime(base.addSecs(c.sourceOffset), QFileDevice::FileModificationTime);
        d.setFileTime(base.addSecs(c.destinationOffset), QFileDevice::FileModificationTime);
        s.close();
        d.close();
        EXPECT_EQ(ReplaceFileController::questionForPair(FilePair(s.fileName(), d.fileName(), 0)), QString::fromUtf8(c.expected));
    }
}

TEST_F(FileOperationsTest, TrashPostsAroundEachURLAndReportsFailures)
{
    write(QStringLiteral("t/a.html"), "a");
    write(QStringLiteral("t/b.html"), "b");
    QStringList trashed;
    KELFileManager::setTrashFunctionForTesting([&](const QString& p, QString* reason) {
        if (p.endsWith(QLatin1String("b.html"))) {
            *reason = QStringLiteral("no trash on this volume");
            return false;
        }
        trashed << p;
        return QFile::remove(p);
    });
    QStringList events;
    auto& center = kit::NotificationCenter::defaultCenter();
    QObject context;
    for (const QString& name : {KELFileManagerWillMoveURLToTrashNotification, KELFileManagerDidMoveURLToTrashNotification})
        center.addObserver(name, nullptr, [&events, name](const kit::Notification& n) {
            events << name.mid(14, 4) + QLatin1Char(' ') + n.userInfo.value(KELFileManagerURLUserInfoKey).toUrl().fileName();
        }, &context);
    const QList<QUrl> urls = {QUrl::fromLocalFile(path(QStringLiteral("t/a.html"))), QUrl::fromLocalFile(path(QStringLiteral("t/b.html")))};
    QStringList failures;
    const QList<QUrl> failed = fm.moveURLsToTrash(urls, &failures);
    EXPECT_EQ(failed, QList<QUrl>({urls[1]}));
    ASSERT_EQ(failures.size(), 1);
    EXPECT_TRUE(failures[0].contains(QStringLiteral("no trash on this volume")));
    EXPECT_EQ(events, QStringList({QStringLiteral("Will a.html"), QStringLiteral("Will b.html")}));
    // The moves are told on the next turn, all at once; only what went to the trash is said to have moved.
    EXPECT_TRUE(QTest::qWaitFor([&] { return events.size() > 2; }, 60000));
    EXPECT_EQ(events.mid(2), QStringList({QStringLiteral("DidM a.html")}));
    EXPECT_EQ(read(QStringLiteral("t/b.html")), "b");
    EXPECT_TRUE(fm.moveURLsToTrash({}).isEmpty());
}

TEST_F(FileOperationsTest, AMoveNeverReplacesAnItemThatAppearedAtItsDestination)
{
    // Files and folders, onto a file or a folder that is already there, as when
    // another program creates it just after the destination was looked at.
    struct Case {
        const char* source;
        bool sourceIsFolder;
        const char* destination;
        bool destinationIsFolder;
    };
    const Case cases[] = {
        {"m/a.html", false, "m/new.html", false},
        {"m/a.html", false, "m/empty", true},
        {"m/dir", true, "m/empty", true},
        {"m/dir", true, "m/new.html", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.source) + " onto " + c.destination);
        QDir(path(QStringLiteral("m"))).removeRecursively();
        if (c.sourceIsFolder)
            write(QString::fromLatin1(c.source) + QStringLiteral("/inside.html"), "inside");
        else
            write(QString::fromLatin1(c.source), "source");
        if (c.destinationIsFolder)
            QDir().mkpath(path(QString::fromLatin1(c.destination)));
        else
            write(QString::fromLatin1(c.destination), "newcomer");
        QString reason;
        errno = 0;
        EXPECT_FALSE(KELFileManager::moveItemWithoutReplacing(path(QString::fromLatin1(c.source)), path(QString::fromLatin1(c.destination)), &reason));
        EXPECT_EQ(errno, EEXIST);
        EXPECT_FALSE(reason.isEmpty());
        if (c.destinationIsFolder)
            EXPECT_TRUE(QDir(path(QString::fromLatin1(c.destination))).isEmpty());
        else
            EXPECT_EQ(read(QString::fromLatin1(c.destination)), "newcomer");
        EXPECT_EQ(read(QString::fromLatin1(c.source) + (c.sourceIsFolder ? QStringLiteral("/inside.html") : QString())),
                  c.sourceIsFolder ? QByteArray("inside") : QByteArray("source"));
    }
    // With the way clear the move happens.
    EXPECT_TRUE(KELFileManager::moveItemWithoutReplacing(path(QStringLiteral("m/dir")), path(QStringLiteral("m/moved")), nullptr));
    EXPECT_EQ(read(QStringLiteral("m/moved/inside.html")), "inside");
}

TEST_F(FileOperationsTest, TypeIdentifiersByByteOrderMark)
{
    struct Case {
        const char* name;
        QByteArray data;
        bool utf16;
    };
    const Case cases[] = {
        {"le.html", QByteArray("\xFF\xFE<\0", 4), true},
        {"be.html", QByteArray("\xFE\xFF\0<", 4), true},
        {"short.html", QByteArray("<"), false},
        {"plain.html", QByteArray("<p>"), false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        write(QString::fromLatin1(c.name), c.data);
        const QStringList ids = fm.utisForPath(path(QString::fromLatin1(c.name)));
        EXPECT_TRUE(ids.contains(KELUTTypeText));
        EXPECT_EQ(ids.contains(KELUTTypeUTF16PlainText), c.utf16);
        EXPECT_EQ(ids.contains(KELUTTypeUTF8PlainText), !c.utf16);
        EXPECT_TRUE(fm.pathConformsToUTI(path(QString::fromLatin1(c.name)), KELUTTypePlainText));
    }
    EXPECT_TRUE(fm.utisForPath(path(QStringLiteral("none.html"))).isEmpty());
    EXPECT_TRUE(fm.createDirectoriesAtPath(path(QStringLiteral("x/y/z"))));
    EXPECT_TRUE(fm.createDirectoriesAtPath(path(QStringLiteral("x/y/z")))); // existing counts as success
}
