// The code-clip store: its fresh state, naming rules, shortcuts, searches, what
// survives a killed process, and the recovery from an unreadable file.

#include "html/KELCodeClipsManager.h"
#include "kit/Alert.h"
#include "kit/Log.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <csignal>
#include <sys/wait.h>
#include <unistd.h>

namespace {

class KELCodeClipsManagerTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        path = dir.filePath(QStringLiteral("CodeClips.sqlite3"));
        kit::Alert::setResponderForTesting([this](const kit::Alert& alert) {
            alerts.append(alert.messageText());
            return answer;
        });
    }
    void TearDown() override { kit::Alert::setResponderForTesting(nullptr); }

    QTemporaryDir dir;
    QString path;
    QStringList alerts;
    int answer = kit::Alert::FirstButtonReturn;
};

QStringList namesOf(const QList<KELCodeClip>& clips)
{
    QStringList names;
    for (const KELCodeClip& c : clips)
        names.append(c.name());
    return names;
}

TEST_F(KELCodeClipsManagerTest, FreshStoreHoldsOnlyTheDefaultGroup)
{
    KELCodeClipsManager store(path);
    ASSERT_EQ(store.groups().size(), 1);
    const KELCodeClipGroup g = store.groups().first();
    EXPECT_EQ(g.groupName(), QStringLiteral("(Default)"));
    EXPECT_TRUE(g.isDefault());
    EXPECT_EQ(g.sortOrder(), 0);
    EXPECT_TRUE(store.allClips().isEmpty());
    EXPECT_TRUE(alerts.isEmpty());
    // Reopening finds the same single group rather than making another.
    KELCodeClipsManager again(path);
    EXPECT_EQ(again.groups().size(), 1);
}

TEST_F(KELCodeClipsManagerTest, NewClipsAreNumberedAndAGapIsFilledFirst)
{
    KELCodeClipsManager store(path);
    const qint64 group = store.defaultGroup().id();
    store.newClipInGroup(group);
    const KELCodeClip second = store.newClipInGroup(group);
    store.newClipInGroup(group);
    EXPECT_EQ(namesOf(store.clipsInGroup(group)),
        (QStringList { QStringLiteral("Untitled"), QStringLiteral("Untitled 2"), QStringLiteral("Untitled 3") }));
    store.removeClips({ second.id() });
    const KELCodeClip filled = store.newClipInGroup(group);
    EXPECT_EQ(filled.name(), QStringLiteral("Untitled 2"));
    EXPECT_EQ(filled.sortOrder(), 2); // after the renumbered 0 and 1
    EXPECT_EQ(filled.completionName(), QStringLiteral("Untitled2"));
}

TEST_F(KELCodeClipsManagerTest, CompletionNamesFollowNamesUntilTheUserChoosesOne)
{
    const struct {
        const char* name;
        const char* derived;
    } derivations[] = { { "my nice clip", "MyNiceClip" }, { "foo-bar", "Foobar" }, { "  2 col layout", "2ColLayout" },
        { "", "" }, { "déjà vu", "DéjàVu" } };
    for (const auto& d : derivations)
        EXPECT_EQ(KELCodeClip::defaultCompletionNameForClipName(QString::fromUtf8(d.name)), QString::fromUtf8(d.derived))
            << d.name;

    KELCodeClipsManager store(path);
    const qint64 id = store.newClipInGroup(store.defaultGroup().id()).id();
    store.setClipName(id, QStringLiteral("table row"));
    EXPECT_EQ(store.clip(id)->completionName(), QStringLiteral("TableRow"));
    EXPECT_EQ(store.setClipCompletionName(id, QStringLiteral("my-clip")), QStringLiteral("Myclip"));
    EXPECT_EQ(store.setClipCompletionName(id, QStringLiteral("MyClip")), QStringLiteral("MyClip"));
    store.setClipName(id, QStringLiteral("other name"));
    EXPECT_EQ(store.clip(id)->completionName(), QStringLiteral("MyClip")); // chosen by the user: kept
    store.setClipCompletionName(id, QString());
    store.setClipName(id, QStringLiteral("third"));
    EXPECT_EQ(store.clip(id)->completionName(), QStringLiteral("Third"));
}

TEST_F(KELCodeClipsManagerTest, ATakenCommandIsMovedOnlyWhenTheUserAgrees)
{
    KELCodeClipsManager store(path);
    const qint64 group = store.defaultGroup().id();
    const qint64 a = store.newClipInGroup(group).id();
    const qint64 b = store.newClipInGroup(group).id();
    int asked = 0;
    auto refuse = [&](const QString& other, int digit) {
        ++asked;
        EXPECT_EQ(other, QStringLiteral("Untitled"));
        EXPECT_EQ(digit, 3);
        return false;
    };
    EXPECT_EQ(store.setClipCommand(a, 3, refuse), 3);
    EXPECT_EQ(asked, 0);
    EXPECT_EQ(store.setClipCommand(b, 5, refuse), 5);
    EXPECT_EQ(store.setClipCommand(b, 3, refuse), 5); // Cancel: b keeps its own
    EXPECT_EQ(asked, 1);
    EXPECT_EQ(store.clip(a)->command(), 3);
    EXPECT_EQ(store.setClipCommand(b, 3, [](const QString&, int) { return true; }), 3);
    EXPECT_EQ(store.clip(a)->command(), KELCodeClip::NoCommand);
    ASSERT_EQ(store.findClipsWithCommand(3).size(), 1);
    EXPECT_EQ(store.findClipsWithCommand(3).first().id(), b);
    EXPECT_TRUE(store.findClipsWithCommand(KELCodeClip::NoCommand).isEmpty());
    // The store's own question, answered Cancel.
    answer = kit::Alert::SecondButtonReturn;
    EXPECT_EQ(store.setClipCommand(a, 3, &KELCodeClipsManager::askToChangeCommand), KELCodeClip::NoCommand);
    EXPECT_EQ(alerts, QStringList { QStringLiteral("Are you sure that you want to change the command?") });
}

TEST_F(KELCodeClipsManagerTest, PrefixSearchIgnoresCaseBeyondAscii)
{
    KELCodeClipsManager store(path);
    const qint64 group = store.defaultGroup().id();
    const QStringList names { QStringLiteral("my nice clip"), QStringLiteral("Élan vital"), QStringLiteral("other") };
    for (const QString& n : names)
        store.setClipName(store.newClipInGroup(group).id(), n);
    store.setClipCompletionName(store.clipsInGroup(group).last().id(), QString()); // no completion name
    EXPECT_EQ(namesOf(store.findClipsWithCompletionNamePrefix(QStringLiteral("my"))),
        QStringList { QStringLiteral("my nice clip") });
    EXPECT_EQ(namesOf(store.findClipsWithCompletionNamePrefix(QStringLiteral("éLA"))),
        QStringList { QStringLiteral("Élan vital") });
    EXPECT_EQ(store.findClipsWithCompletionNamePrefix(QString()).size(), 2);
}

TEST_F(KELCodeClipsManagerTest, DeletingAGroupDeletesItsClipsInTheFileToo)
{
    qint64 kept = 0;
    {
        KELCodeClipsManager store(path);
        const KELCodeClipGroup group = store.newGroup();
        EXPECT_EQ(group.groupName(), QStringLiteral("Untitled"));
        EXPECT_EQ(store.newGroup().groupName(), QStringLiteral("Untitled 2"));
        const qint64 doomed = store.newClipInGroup(group.id()).id();
        store.setClipCommand(doomed, 4, {});
        kept = store.newClipInGroup(store.defaultGroup().id()).id();
        EXPECT_FALSE(store.removeGroups({ store.defaultGroup().id(), group.id() })); // never the default
        EXPECT_EQ(store.groups().size(), 3);
        EXPECT_TRUE(store.removeGroups({ group.id() }));
        EXPECT_FALSE(store.clip(doomed));
        EXPECT_TRUE(store.findClipsWithCommand(4).isEmpty());
    }
    KELCodeClipsManager reopened(path);
    ASSERT_EQ(reopened.allClips().size(), 1);
    EXPECT_EQ(reopened.allClips().first().id(), kept);
    EXPECT_TRUE(reopened.findClipsWithCommand(4).isEmpty());
}

TEST_F(KELCodeClipsManagerTest, EditsSurviveAProcessKilledBetweenThem)
{
    int ready[2];
    ASSERT_EQ(pipe(ready), 0);
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        // The child edits, says so, and waits to be killed without any clean-up.
        close(ready[0]);
        KELCodeClipsManager store(path);
        const qint64 group = store.newGroup().id();
        store.setGroupName(group, QStringLiteral("Layouts"));
        const qint64 id = store.newClipInGroup(group).id();
        store.setClipName(id, QStringLiteral("two columns"));
        store.setClipContent(id, QStringLiteral("<div class=\"col\"><##></div>"));
        store.setClipCommand(id, 7, {});
        const char byte = 1;
        if (write(ready[1], &byte, 1) != 1)
            _exit(2);
        for (;;)
            pause();
    }
    close(ready[1]);
    char byte = 0;
    ASSERT_EQ(read(ready[0], &byte, 1), 1);
    close(ready[0]);
    kill(child, SIGKILL);
    int status = 0;
    waitpid(child, &status, 0);
    ASSERT_TRUE(WIFSIGNALED(status));

    KELCodeClipsManager store(path);
    EXPECT_TRUE(alerts.isEmpty());
    ASSERT_EQ(store.groups().size(), 2);
    EXPECT_EQ(store.groups().at(1).groupName(), QStringLiteral("Layouts"));
    const QList<KELCodeClip> clips = store.clipsInGroup(store.groups().at(1).id());
    ASSERT_EQ(clips.size(), 1);
    EXPECT_EQ(clips.first().name(), QStringLiteral("two columns"));
    EXPECT_EQ(clips.first().completionName(), QStringLiteral("TwoColumns"));
    EXPECT_EQ(clips.first().content(), QStringLiteral("<div class=\"col\"><##></div>"));
    EXPECT_EQ(clips.first().command(), 7);
}

TEST_F(KELCodeClipsManagerTest, AnUnreadableFileIsMovedAsideAndReportedOnce)
{
    {
        QFile garbage(path);
        ASSERT_TRUE(garbage.open(QIODevice::WriteOnly));
        garbage.write(QByteArray(4096, 'x'));
    }
    kit::LogCapture log;
    KELCodeClipsManager store(path);
    EXPECT_EQ(alerts, QStringList { QStringLiteral("The Code Clips file could not be read.") });
    EXPECT_TRUE(log.contains(QStringLiteral("Error generating persistent store for Code Clips:")));
    EXPECT_TRUE(store.isStoreWritable());
    const QStringList aside = QDir(dir.path()).entryList({ QStringLiteral("CodeClips.sqlite3-*") });
    ASSERT_EQ(aside.size(), 1);
    QFile old(dir.filePath(aside.first()));
    ASSERT_TRUE(old.open(QIODevice::ReadOnly));
    EXPECT_EQ(old.readAll(), QByteArray(4096, 'x')); // the user's old file is kept as it was
    ASSERT_EQ(store.groups().size(), 1);
    const qint64 id = store.newClipInGroup(store.defaultGroup().id()).id();
    KELCodeClipsManager reopened(path);
    EXPECT_TRUE(reopened.clip(id));
    EXPECT_EQ(alerts.size(), 1);
}

TEST_F(KELCodeClipsManagerTest, AStoreThatCannotBeMadeStillWorksForTheSessionAndSaysSo)
{
    // Its folder is a plain file: neither the store nor a fresh one can be made.
    QFile blocker(dir.filePath(QStringLiteral("data")));
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    kit::LogCapture log;
    KELCodeClipsManager store(dir.filePath(QStringLiteral("data/CodeClips.sqlite3")));
    EXPECT_FALSE(store.isStoreWritable());
    EXPECT_EQ(alerts.size(), 1);
    EXPECT_TRUE(log.contains(QStringLiteral("on second attempt")));
    const qint64 id = store.newClipInGroup(store.defaultGroup().id()).id();
    EXPECT_TRUE(store.clip(id));
}

TEST_F(KELCodeClipsManagerTest, ArchivesMakeNewClipsAndGroupsWithTheirOwnOrder)
{
    KELCodeClipsManager store(path);
    KELCodeClip original;
    original.setName(QStringLiteral("row"));
    original.setCompletionName(QStringLiteral("Tr"));
    original.setContent(QStringLiteral("<tr><##></tr>"));
    original.setCommand(2);
    const KELCodeClip decoded = KELCodeClip::fromArchive(original.archive());
    EXPECT_EQ(decoded.completionName(), QStringLiteral("Tr")); // the archived one wins over the derived
    EXPECT_EQ(decoded.command(), 2);

    const qint64 group = store.defaultGroup().id();
    store.newClipInGroup(group);
    store.newClipInGroup(group);
    const KELCodeClip inserted = store.insertClip(decoded, group, 1);
    EXPECT_EQ(namesOf(store.clipsInGroup(group)),
        (QStringList { QStringLiteral("Untitled"), QStringLiteral("row"), QStringLiteral("Untitled 2") }));
    EXPECT_NE(inserted.id(), 0);

    const std::optional<QVariantList> data
        = codeClipArchivesFromData(codeClipArchivesData({ KELCodeClipGroup::archive(*store.group(group), store.clipsInGroup(group)) }));
    ASSERT_TRUE(data);
    QList<KELCodeClip> clips;
    const KELCodeClipGroup copy = KELCodeClipGroup::fromArchive(data->first().toMap(), &clips);
    EXPECT_EQ(clips.size(), 3);
    const KELCodeClipGroup made = store.insertGroup(copy, clips, 0);
    EXPECT_FALSE(made.isDefault()); // one default group only
    EXPECT_EQ(store.groups().first().id(), made.id());
    EXPECT_EQ(store.clipsInGroup(made.id()).size(), 3);
    EXPECT_FALSE(codeClipArchivesFromData(QByteArray("not clips")));
}

} // namespace
