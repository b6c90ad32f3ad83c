#pragma once
// A stored reference to a file or folder that survives renames and moves (on
// the kit's file reference: path, device and inode). Per-file and per-project
// settings identify their files with it.

#include "kit/document/FileReference.h"

#include <QByteArray>
#include <QString>
#include <QUrl>
#include <optional>

class NDAlias {
public:
    /// Resolve options: no user interaction (always so here) and identity before path.
    static constexpr quint32 MountFlagNoUserInteraction = 1;
    static constexpr quint32 MountFlagTryFileIDFirst = 2;

    /// None when the path is empty or nothing exists there. The base path only
    /// matters where relative records exist; ours are absolute.
    static std::optional<NDAlias> aliasWithPath(const QString& path, const QString& fromPath = {});
    static std::optional<NDAlias> aliasWithURL(const QUrl& url, const QUrl& fromURL = {});
    /// From the record's bytes; none when empty or unreadable.
    static std::optional<NDAlias> aliasWithData(const QByteArray& data);

    /// The stored form of an alias in the defaults (its archive): the record's bytes.
    QByteArray archivedData() const { return data(); }
    static std::optional<NDAlias> unarchive(const QByteArray& archive) { return aliasWithData(archive); }

    /// The item's path or URL now; empty when it no longer resolves.
    QString path() const;
    QUrl url() const;
    QUrl URL() const { return url(); }
    QString description() const { return path(); }
    QString displayName() const;
    /// Whether the last resolve changed the record.
    bool changed() const { return m_ref.changed(); }

    bool setPath(const QString& path, const QString& fromPath = {});
    bool setURL(const QUrl& url, const QUrl& fromURL = {});

    QByteArray data() const { return m_ref.data(); }
    QString lastKnownPath() const { return m_ref.lastKnownPath(); }
    QString lastKnownName() const { return m_ref.lastKnownName(); }

    void setAllowUserInteraction(bool allow);
    bool allowUserInteraction() const { return !(m_mountFlags & MountFlagNoUserInteraction); }
    void setTryFileIDFirst(bool flag);
    bool tryFileIDFirst() const { return m_mountFlags & MountFlagTryFileIDFirst; }
    quint32 mountFlags() const { return m_mountFlags; }

    /// Both resolve to the same item.
    bool isEqualToAlias(const NDAlias& other) const;

    /// Whether the alias stands for the item at the path, judged from the item's
    /// identity alone (no search on disk); see kit::FileReference::match.
    kit::FileReference::Match match(const QString& cleanAbsolutePath, const kit::FileIdentity& identity) const
    {
        return m_ref.match(cleanAbsolutePath, identity);
    }
    /// Points the alias at that item.
    void adopt(const QString& cleanAbsolutePath, const kit::FileIdentity& identity) { m_ref.adopt(cleanAbsolutePath, identity); }

private:
    NDAlias() = default;
    // Resolving updates the remembered path and identity.
    mutable kit::FileReference m_ref;
    quint32 m_mountFlags = MountFlagNoUserInteraction;
};
