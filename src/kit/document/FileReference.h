#pragma once
// A persistent reference to a file or folder that follows renames and moves:
// the absolute path plus the device and inode seen when the reference was made.
// Resolving tries the remembered path first (so a file replaced by a safe save,
// which gets a new inode, is still found); when nothing is there any more it
// looks for the same device and inode in the surrounding folders, so a file
// renamed or moved inside the same parent tree is re-found.

#include <QByteArray>
#include <QString>
#include <QUrl>
#include <optional>

namespace kit {

/// What identifies an item on disk: device and inode, and the birth time where
/// the file system keeps one (0 when it does not). Inodes are reused after a
/// file is deleted; the birth time tells such a newcomer from the old item.
struct FileIdentity {
    quint64 device = 0;
    quint64 inode = 0;
    qint64 birthTime = 0; // nanoseconds since the epoch; 0 = unknown
};

/// The identity of the item at a path (the link itself is not followed), from one
/// stat; none when nothing is there.
std::optional<FileIdentity> fileIdentityAt(const QString& path);

class FileReference {
public:
    FileReference() = default;

    /// A reference to what exists at the path now; none when nothing is there.
    static std::optional<FileReference> fromPath(const QString& path);
    /// Reads the stored form (see data()); none for empty or broken data.
    static std::optional<FileReference> fromData(const QByteArray& data);

    /// The stored form: the whole persistent state.
    QByteArray data() const;

    /// The item's path now, or empty when it cannot be found. Updates the
    /// remembered path and identity when they changed (see changed()).
    QString resolvedPath();
    QUrl resolvedURL();

    /// Whether the last resolve changed the remembered path or identity.
    bool changed() const { return m_changed; }

    /// Points the reference at what exists at the path; false when nothing is there.
    bool setPath(const QString& path);

    /// Try device and inode before the remembered path.
    void setTryFileIDFirst(bool flag) { m_tryFileIDFirst = flag; }
    bool tryFileIDFirst() const { return m_tryFileIDFirst; }

    const QString& lastKnownPath() const { return m_path; }
    QString lastKnownName() const;
    quint64 device() const { return m_device; }
    quint64 inode() const { return m_inode; }
    bool isValid() const { return !m_path.isEmpty(); }

    /// Both resolve, and to the same item.
    bool isSameItem(FileReference& other);

    /// How the reference relates to the item at a path whose identity is known,
    /// without looking at the disk: its remembered path, or the same item
    /// (device and inode, with the same birth time where both are known, else the
    /// same name, so a reused inode does not pass for the old file).
    enum class Match { None, ByPath, ByIdentity };
    Match match(const QString& cleanAbsolutePath, const FileIdentity& identity) const;
    /// Points the reference at the item found at the path (see match()).
    void adopt(const QString& cleanAbsolutePath, const FileIdentity& identity);
    qint64 birthTime() const { return m_birthTime; }

    /// How many folder entries one search may look at (bounds the cost of a
    /// reference whose item is gone).
    static constexpr int SearchBudget = 4000;

private:
    QString findByIdentity() const;

    QString m_path;
    qint64 m_lastFailedSearch = 0; // monotonic ms of the last search that found nothing
    quint64 m_device = 0;
    quint64 m_inode = 0;
    qint64 m_birthTime = 0;
    bool m_changed = false;
    bool m_tryFileIDFirst = false;
};

/// Device and inode of the item at a path (the link itself is not followed).
bool fileIdentity(const QString& path, quint64* device, quint64* inode);

} // namespace kit
