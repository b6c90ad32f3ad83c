#pragma once
// The shared store of code clips and their groups: one SQLite file in the user's
// data folder, each change committed at once, a group's clips deleted with it.
// Everything the editor, the menus, completion and the Code Clips window read
// comes from the copy kept in memory here.
//
// The copy in memory is what the user sees; the file follows it. A change that
// cannot be written (a full disk, a file another program holds locked, a file
// that cannot be written) stays pending and is written when the file can take
// it, so nothing typed is lost while the program runs. The file is only ever
// moved aside when it is not a store at all; a file another program is using
// is waited for, never touched.

#include "html/KELCodeClip.h"

#include <QElapsedTimer>
#include <QHash>
#include <QList>
#include <QObject>
#include <QSet>
#include <QString>
#include <QTimer>
#include <functional>
#include <memory>
#include <optional>

struct sqlite3;

class KELCodeClipsManager : public QObject
{
    Q_OBJECT
public:
    /// The store of the user's data folder, opened on first use. It saves what is
    /// pending when the application terminates.
    static KELCodeClipsManager& sharedInstance();
    /// Tests: the shared manager becomes one over the store at the path (a fresh
    /// temporary store when empty).
    static void resetSharedInstanceForTesting(const QString& storePath = QString());
    /// "CodeClips.sqlite3" in the user's data folder.
    static QString defaultStorePath();

    /// How long the store waits for a file another program holds, and how often it
    /// tries again to write what is pending.
    struct Timing {
        int openWaitMs = 2000; // at start-up, before the clips are given up for now
        int writeWaitMs = 100; // each write; never long enough to freeze the window
        int firstRetryMs = 500; // then doubling up to
        int longestRetryMs = 5000;
        int reportLockAfterMs = 5000; // a lock held this long is shown in the window
    };
    static void setTimingForTesting(const Timing& timing);
    static Timing timing();

    /// Opens (or creates) the store. A file that is not a store is moved aside
    /// ("<path>-<seconds since 1970>", with its journal) and a fresh one made in its
    /// place; a read-only store is read and reported; a store another program holds
    /// locked is read as soon as it is free. Problems at opening are told once.
    explicit KELCodeClipsManager(const QString& storePath, QObject* parent = nullptr);
    ~KELCodeClipsManager() override;

    const QString& storePath() const { return m_storePath; }
    /// False when changes cannot be kept in the file (read-only, or not even a
    /// fresh store could be made): clips then live only until quit.
    bool isStoreWritable() const { return m_db && m_state == State::Ready; }
    /// False while the store is locked by another program since start-up and its
    /// clips are not read yet; nothing can be changed until they are.
    bool canEdit() const { return m_state != State::Unavailable; }
    /// Changes not in the file yet.
    bool hasUnsavedChanges() const;
    /// Why changes are not being kept, for the Code Clips window; empty when all is well.
    QString storeProblem() const;

    // Groups, ordered by sortOrder.
    QList<KELCodeClipGroup> groups() const;
    std::optional<KELCodeClipGroup> group(qint64 id) const;
    /// The default group "(Default)", made when missing (none, id 0, while the
    /// store cannot be read).
    KELCodeClipGroup defaultGroup();
    /// A new group after the others, named "Untitled", "Untitled 2", ... .
    KELCodeClipGroup newGroup();
    /// A group made from an archive (with its clips) at the position in the group order.
    KELCodeClipGroup insertGroup(const KELCodeClipGroup& group, const QList<KELCodeClip>& clips, qsizetype position);
    void setGroupName(qint64 id, const QString& name);
    /// Deletes the groups and their clips. The default group is never removed:
    /// answers false (and removes nothing) when it is among them.
    bool removeGroups(const QList<qint64>& ids);
    /// Gives the groups the sort orders 0, 1, 2, ... in the order of the list.
    void setGroupOrder(const QList<qint64>& ids);

    // Clips.
    /// A group's clips ordered by sortOrder.
    QList<KELCodeClip> clipsInGroup(qint64 groupId) const;
    std::optional<KELCodeClip> clip(qint64 id) const;
    QList<KELCodeClip> allClips() const;
    /// Clips whose completion name begins with the prefix, ignoring case; with an
    /// empty prefix every clip that has a completion name.
    QList<KELCodeClip> findClipsWithCompletionNamePrefix(const QString& prefix) const;
    /// Clips with that command, in the order of groups then clips (so the first is
    /// the one the shortcut inserts); none for NoCommand.
    QList<KELCodeClip> findClipsWithCommand(int command) const;
    /// A new clip at the end of the group, named "Untitled", "Untitled 2", ... .
    KELCodeClip newClipInGroup(qint64 groupId);
    /// A clip from an archive, inserted into the group at the position.
    KELCodeClip insertClip(const KELCodeClip& clip, qint64 groupId, qsizetype position);
    void setClipName(qint64 id, const QString& name);
    /// Stores the validated completion name and answers it.
    QString setClipCompletionName(qint64 id, const QString& name);
    void setClipContent(qint64 id, const QString& content);
    /// Gives the clip a command. When another clip holds it, `confirm` is asked
    /// (with that clip's name): yes takes the command from every other clip, no
    /// keeps the clip's own. Answers the command the clip now has.
    int setClipCommand(
        qint64 id, int command, const std::function<bool(const QString& otherClipName, int command)>& confirm);
    /// The question of setClipCommand as an alert: "Change Command" or "Cancel".
    static bool askToChangeCommand(const QString& otherClipName, int command);
    /// Gives the group's clips the sort orders 0, 1, 2, ... in the order of the list.
    void setClipOrder(qint64 groupId, const QList<qint64>& ids);
    void removeClips(const QList<qint64>& ids);

    /// Lets editors hand over what they hold (willSaveClips), then writes what is
    /// pending; false (logged) when something could not be written.
    bool saveClips();
    /// At quit: saves, and while changes cannot be written asks whether to try
    /// again or quit without them.
    void applicationWillTerminate();

Q_SIGNALS:
    /// Any clip or group changed, was added or was removed.
    void clipsChanged();
    /// Before saving: an editor commits the edit it holds.
    void willSaveClips();
    /// storeProblem() or hasUnsavedChanges() changed.
    void storeProblemChanged();
    /// Another program had taken the id for a new clip or group: it was given another.
    void idChanged(bool group, qint64 from, qint64 to);

private:
    enum class State {
        Ready, // read, and written as changes come
        ReadOnly, // read; the file cannot be written
        Unavailable, // locked by another program since start-up: not read yet
        SessionOnly, // no file at all
    };
    enum class Opened { Ok, ReadOnly, Busy, NotAStore, Failed };
    enum class WriteProblem { None, Locked, Full, ReadOnly, Failed };

    /// Opens and reads the store; a file that is not a store is moved aside and a
    /// fresh one made; one locked by another program is tried again later.
    void openAndRead(int waitMs);
    Opened openAndLoad(int waitMs, QString* problem);
    Opened openStore(const QString& path, int waitMs, QString* problem);
    void closeStore();
    bool load(QString* problem, int* code);
    void changed();
    void markGroup(qint64 id) { m_dirtyGroups.insert(id); }
    void markClip(qint64 id) { m_dirtyClips.insert(id); }
    void forgetGroup(qint64 id);
    void forgetClip(qint64 id);
    /// Writes what is pending in one transaction; schedules a retry when it fails.
    bool flush();
    bool writePending(int* code);
    bool writeGroupRow(qint64 id, int* code);
    bool writeClipRow(qint64 id, int* code);
    qint64 unusedId(const char* sql, qint64 memoryMax, int* code);
    /// The id a group or clip has now, after any renumbering by the last write.
    qint64 followId(bool group, qint64 id) const;
    void noteWriteFailure(int code, const QString& message);
    void noteWriteSuccess();
    void scheduleRetry();
    QString problemText(bool evenIfBrief) const;
    QString untitledName(const QStringList& taken) const;
    void reportAtOpening(const QString& title, const QString& info);

    QString m_storePath;
    sqlite3* m_db = nullptr;
    State m_state = State::Ready;
    QString m_openProblem;
    WriteProblem m_writeProblem = WriteProblem::None;
    QString m_writeMessage;
    QString m_lastError;
    int m_lastSystemError = 0;
    struct Renumbering {
        bool group;
        qint64 from;
        qint64 to;
    };
    QList<Renumbering> m_renumbered; // by the last write
    bool m_writeProblemShown = false;
    QElapsedTimer m_failingSince;
    QTimer m_retryTimer;
    int m_retryInterval = 0;

    QHash<qint64, KELCodeClipGroup> m_groups;
    QHash<qint64, KELCodeClip> m_clips;
    qint64 m_nextGroupId = 1;
    qint64 m_nextClipId = 1;
    // What the file holds, and what it still has to be told.
    QSet<qint64> m_storedGroups;
    QSet<qint64> m_storedClips;
    QSet<qint64> m_dirtyGroups;
    QSet<qint64> m_dirtyClips;
    QSet<qint64> m_deletedGroups;
    QSet<qint64> m_deletedClips;
};
