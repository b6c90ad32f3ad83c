// The code-clip store when its file misbehaves: a full disk, a read-only file
// system, a lock held by another process, a file that is not a store. No clip is
// lost, the user is told once and clearly, and no file of another process is
// touched.

#include "html/KELCodeClipsManager.h"
#include "kit/Alert.h"
#include "kit/Log.h"
#include "PrivateMounts.h"
#include "SqliteLockHolder.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>


namespace {

class KELCodeClipsStoreFaultsTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        path = dir.filePath(QStringLiteral("CodeClips.sqlite3"));
        KELCodeClipsManager::Timing fast;
        fast.openWaitMs = 50;
        fast.writeWaitMs = 20;
        fast.firstRetryMs = 20;
        fast.longestRetryMs = 100;
        fast.reportLockAfterMs = 300;
        KELCodeClipsManager::setTimingForTesting(fast);
        kit::Alert::setResponderForTesting([this](const kit::Alert& alert) {
            alerts.append(alert.messageText());
            informative.append(alert.informativeText());
            return answer ? answer(alert) : kit::Alert::FirstButtonReturn;
        });
    }
    void TearDown() override
    {
        kit::Alert::setResponderForTesting(nullptr);
        KELCodeClipsManager::setTimingForTesting({});
    }
    qint64 addClip(KELCodeClipsManager& store, const QString& name, const QString& content)
    {
        const qint64 id = store.newClipInGroup(store.defaultGroup().id()).id();
        store.setClipName(id, name);
        store.setClipContent(id, content);
        return id;
    }
    static QString contentOf(const KELCodeClipsManager& store, qint64 id)
    {
        const std::optional<KELCodeClip> c = store.clip(id);
        return c ? c->content() : QStringLiteral("<no clip>");
    }
    QStringList storeFiles() const { return QDir(QFileInfo(path).absolutePath()).entryList({ QStringLiteral("CodeClips*") }); }

    QTemporaryDir dir;
    QString path;
    QStringList alerts;
    QStringList informative;
    std::function<int(const kit::Alert&)> answer;
};

TEST_F(KELCodeClipsStoreFaultsTest, AFullDiskLosesNoClipAndTheyAreSavedWhenThereIsRoom)
{
    KELP_RUN_WITH_PRIVATE_MOUNTS();
    testsupport::SmallDisk disk(dir.filePath(QStringLiteral("disk")), 256);
    ASSERT_TRUE(disk.isMounted());
    path = disk.filePath(QStringLiteral("CodeClips.sqlite3"));
    KELCodeClipsManager store(path);
    const qint64 a = addClip(store, QStringLiteral("alpha"), QStringLiteral("<a>"));
    const qint64 b = addClip(store, QStringLiteral("beta"), QStringLiteral("<b>"));
    ASSERT_FALSE(store.hasUnsavedChanges());

    const QString filler = disk.fill();
    ASSERT_FALSE(filler.isEmpty());
    kit::LogCapture log;
    // Made while nothing can be written: its own id, never one of a stored clip.
    const qint64 c = addClip(store, QStringLiteral("gamma"), QStringLiteral("<c>"));
    EXPECT_NE(c, a);
    EXPECT_NE(c, b);
    store.setClipContent(a, QStringLiteral("<a2>"));
    EXPECT_EQ(contentOf(store, c), QStringLiteral("<c>"));
    EXPECT_EQ(contentOf(store, b), QStringLiteral("<b>"));
    EXPECT_TRUE(store.hasUnsavedChanges());
    EXPECT_TRUE(store.storeProblem().contains(QStringLiteral("disk is full"))) << store.storeProblem().toStdString();
    EXPECT_EQ(log.lines().filter(QStringLiteral("Could not save Code Clips")).size(), 1) << log.lines().join('\n').toStdString();
    EXPECT_TRUE(alerts.isEmpty());
    {
        // The file holds what it held before the disk filled, unharmed.
        KELCodeClipsManager reader(path);
        EXPECT_EQ(contentOf(reader, a), QStringLiteral("<a>"));
        EXPECT_EQ(contentOf(reader, b), QStringLiteral("<b>"));
        EXPECT_FALSE(reader.clip(c));
    }

    ASSERT_TRUE(QFile::remove(filler));
    ASSERT_TRUE(QTest::qWaitFor([&] { return !store.hasUnsavedChanges(); }, 20000));
    EXPECT_TRUE(store.storeProblem().isEmpty());
    KELCodeClipsManager reopened(path);
    EXPECT_EQ(contentOf(reopened, a), QStringLiteral("<a2>"));
    EXPECT_EQ(contentOf(reopened, b), QStringLiteral("<b>"));
    EXPECT_EQ(contentOf(reopened, c), QStringLiteral("<c>"));
    EXPECT_EQ(reopened.clip(c)->name(), QStringLiteral("gamma"));
    EXPECT_TRUE(alerts.isEmpty());
}

TEST_F(KELCodeClipsStoreFaultsTest, AReadOnlyStoreIsReadToldOnceAndLeftAsItWas)
{
    KELP_RUN_WITH_PRIVATE_MOUNTS();
    testsupport::SmallDisk disk(dir.filePath(QStringLiteral("disk")), 512);
    ASSERT_TRUE(disk.isMounted());
    path = disk.filePath(QStringLiteral("CodeClips.sqlite3"));
    qint64 kept = 0;
    {
        KELCodeClipsManager store(path);
        kept = addClip(store, QStringLiteral("kept"), QStringLiteral("<k>"));
    }
    ASSERT_TRUE(disk.makeReadOnly());

    KELCodeClipsManager store(path);
    EXPECT_EQ(alerts, QStringList { QStringLiteral("The Code Clips file is read-only.") });
    EXPECT_FALSE(store.isStoreWritable());
    EXPECT_TRUE(store.canEdit());
    EXPECT_EQ(contentOf(store, kept), QStringLiteral("<k>"));
    EXPECT_TRUE(store.storeProblem().contains(QStringLiteral("cannot be written")));
    // Edits work for the session and are not reported again.
    store.setClipContent(kept, QStringLiteral("<changed>"));
    const qint64 added = addClip(store, QStringLiteral("added"), QStringLiteral("<new>"));
    EXPECT_EQ(contentOf(store, kept), QStringLiteral("<changed>"));
    EXPECT_EQ(contentOf(store, added), QStringLiteral("<new>"));
    EXPECT_FALSE(store.saveClips());
    store.applicationWillTerminate(); // told at opening: no question at quit
    EXPECT_EQ(alerts.size(), 1);
    EXPECT_EQ(storeFiles(), QStringList { QStringLiteral("CodeClips.sqlite3") });
}

TEST_F(KELCodeClipsStoreFaultsTest, AStoreLockedByAnotherProcessIsWaitedForAndNeverTouched)
{
    qint64 x = 0;
    {
        KELCodeClipsManager setup(path);
        x = addClip(setup, QStringLiteral("x"), QStringLiteral("old"));
    }
    KELCodeClipsManager running(path);
    testsupport::SqliteLockHolder holder(path);
    ASSERT_TRUE(holder.isLocked());
    ASSERT_TRUE(QFileInfo::exists(path + QStringLiteral("-journal")));

    running.setClipContent(x, QStringLiteral("new"));
    EXPECT_EQ(contentOf(running, x), QStringLiteral("new"));
    EXPECT_TRUE(running.hasUnsavedChanges());
    EXPECT_TRUE(running.storeProblem().isEmpty()); // a lock is usually brief: not worth a word yet
    ASSERT_TRUE(QTest::qWaitFor([&] { return !running.storeProblem().isEmpty(); }, 10000));
    EXPECT_TRUE(running.storeProblem().contains(QStringLiteral("in use by another program")));

    // Started while it is locked: the clips come when it is free.
    KELCodeClipsManager starting(path);
    EXPECT_FALSE(starting.canEdit());
    EXPECT_TRUE(starting.groups().isEmpty());
    EXPECT_TRUE(starting.storeProblem().contains(QStringLiteral("in use by another program")));
    EXPECT_FALSE(starting.newClipInGroup(starting.defaultGroup().id()).id());

    // Nothing was moved aside and the other process's journal is where it was.
    EXPECT_TRUE(alerts.isEmpty());
    EXPECT_EQ(storeFiles(), (QStringList { QStringLiteral("CodeClips.sqlite3"), QStringLiteral("CodeClips.sqlite3-journal") }));
    EXPECT_EQ(holder.letGo(), 0); // its transaction was whole

    ASSERT_TRUE(QTest::qWaitFor([&] { return !running.hasUnsavedChanges(); }, 10000));
    EXPECT_TRUE(running.storeProblem().isEmpty());
    ASSERT_TRUE(QTest::qWaitFor([&] { return starting.canEdit(); }, 10000));
    EXPECT_TRUE(starting.clip(x));
    EXPECT_EQ(starting.groups().size(), 1);
    KELCodeClipsManager reopened(path);
    EXPECT_EQ(contentOf(reopened, x), QStringLiteral("new"));
}

TEST_F(KELCodeClipsStoreFaultsTest, QuittingWhileChangesCannotBeWrittenAsksAndTryAgainSavesThem)
{
    qint64 x = 0;
    {
        KELCodeClipsManager setup(path);
        x = addClip(setup, QStringLiteral("x"), QStringLiteral("old"));
    }
    KELCodeClipsManager running(path);
    auto holder = std::make_unique<testsupport::SqliteLockHolder>(path);
    ASSERT_TRUE(holder->isLocked());
    running.setClipContent(x, QStringLiteral("typed before quitting"));
    ASSERT_TRUE(running.hasUnsavedChanges());
    answer = [&](const kit::Alert&) {
        holder->letGo(); // the other program is done meanwhile
        return kit::Alert::FirstButtonReturn; // "Try Again"
    };
    running.applicationWillTerminate();
    EXPECT_EQ(alerts, QStringList { QStringLiteral("Your latest changes to code clips could not be saved.") });
    EXPECT_TRUE(informative.first().contains(QStringLiteral("in use by another program")));
    EXPECT_FALSE(running.hasUnsavedChanges());
    KELCodeClipsManager reopened(path);
    EXPECT_EQ(contentOf(reopened, x), QStringLiteral("typed before quitting"));
}

TEST_F(KELCodeClipsStoreFaultsTest, AFileThatIsNotAStoreIsMovedAsideWithItsJournalAndTheAlertSaysWhere)
{
    {
        QFile garbage(path);
        ASSERT_TRUE(garbage.open(QIODevice::WriteOnly));
        garbage.write(QByteArray(8192, 'x'));
        QFile journal(path + QStringLiteral("-journal"));
        ASSERT_TRUE(journal.open(QIODevice::WriteOnly));
        journal.write(QByteArray(512, '\0')); // not hot: SQLite leaves it alone
    }
    KELCodeClipsManager store(path);
    ASSERT_EQ(alerts, QStringList { QStringLiteral("The Code Clips file could not be read.") });
    const QStringList aside = QDir(dir.path()).entryList({ QStringLiteral("CodeClips.sqlite3-1*") });
    ASSERT_EQ(aside.size(), 2) << aside.join(' ').toStdString(); // the file and its journal, together
    const QString moved = dir.filePath(aside.first());
    EXPECT_TRUE(informative.first().contains(moved)) << informative.first().toStdString();
    EXPECT_FALSE(informative.first().contains(QStringLiteral("support"), Qt::CaseInsensitive));
    QFile journal(moved + QStringLiteral("-journal"));
    ASSERT_TRUE(journal.open(QIODevice::ReadOnly));
    EXPECT_EQ(journal.readAll(), QByteArray(512, '\0'));
    // The fresh store has no stranger's journal to play back into it.
    EXPECT_TRUE(store.isStoreWritable());
    const qint64 id = addClip(store, QStringLiteral("fresh"), QStringLiteral("<f>"));
    KELCodeClipsManager reopened(path);
    EXPECT_EQ(contentOf(reopened, id), QStringLiteral("<f>"));
    EXPECT_EQ(alerts.size(), 1);
}

} // namespace
