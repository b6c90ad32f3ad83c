#pragma once
// The shared store of code clips and their groups: one SQLite file in the user's
// data folder, each change committed at once, a group's clips deleted with it.
// Everything the editor, the menus, completion and the Code Clips window read
// comes from the copy kept in memory here.

#include "html/KELCodeClip.h"

#include <QHash>
#include <QList>
#include <QObject>
#include <QString>
#include <functional>
#include <memory>
#include <optional>

struct sqlite3;

class KELCodeClipsManager : public QObject
{
    Q_OBJECT
public:
    /// The store of the user's data folder, opened on first use.
    static KELCodeClipsManager& sharedInstance();
    /// Tests: the shared manager becomes one over the store at the path (a fresh
    /// temporary store when empty).
    static void resetSharedInstanceForTesting(const QString& storePath = QString());
    /// "CodeClips.sqlite3" in the user's data folder.
    static QString defaultStorePath();

    /// Opens (or creates) the store. A file that cannot be read as a store is moved
    /// aside ("<path>-<seconds since 1970>") and a fresh one made in its place; the
    /// user is told once.
    explicit KELCodeClipsManager(const QString& storePath, QObject* parent = nullptr);
    ~KELCodeClipsManager() override;

    const QString& storePath() const { return m_storePath; }
    /// False when not even a fresh store could be made: clips then live only until quit.
    bool isStoreWritable() const { return m_writable; }

    // Groups, ordered by sortOrder.
    QList<KELCodeClipGroup> groups() const;
    std::optional<KELCodeClipGroup> group(qint64 id) const;
    /// The default group "(Default)", made when missing.
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

    /// Every change is already committed; kept for callers that save at quit.
    bool saveClips() { return true; }

Q_SIGNALS:
    /// Any clip or group changed, was added or was removed.
    void clipsChanged();

private:
    bool openStore(const QString& path, QString* problem);
    bool exec(const char* sql);
    void load();
    void writeClip(const KELCodeClip& clip);
    void writeGroup(const KELCodeClipGroup& group);
    void changed();
    QString untitledName(const QStringList& taken) const;

    QString m_storePath;
    sqlite3* m_db = nullptr;
    bool m_writable = false;
    QHash<qint64, KELCodeClipGroup> m_groups;
    QHash<qint64, KELCodeClip> m_clips;
    qint64 m_nextMemoryId = 1;
};
