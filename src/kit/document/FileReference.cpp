#include "kit/document/FileReference.h"

#include <QDataStream>
#include <QDeadlineTimer>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QIODevice>
#include <QQueue>

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>

namespace kit {

namespace {
constexpr quint32 MagicWithoutBirthTime = 0x4b465231; // "KFR1"
constexpr quint32 Magic = 0x4b465232;                 // "KFR2": with the birth time
// A failed search is not repeated for this long: lookups walk many references.
constexpr qint64 RetryAfterMs = 30000;

qint64 nowMs()
{
    static QElapsedTimer clock;
    if (!clock.isValid())
        clock.start();
    return clock.elapsed() + 1;
}
} // namespace

std::optional<FileIdentity> fileIdentityAt(const QString& path)
{
    if (path.isEmpty())
        return std::nullopt;
    struct statx stx;
    if (::statx(AT_FDCWD, QFile::encodeName(path).constData(), AT_SYMLINK_NOFOLLOW, STATX_INO | STATX_BTIME, &stx) != 0)
        return std::nullopt;
    FileIdentity identity;
    identity.device = quint64(makedev(stx.stx_dev_major, stx.stx_dev_minor)); // as stat's st_dev
    identity.inode = quint64(stx.stx_ino);
    if (stx.stx_mask & STATX_BTIME)
        identity.birthTime = qint64(stx.stx_btime.tv_sec) * 1000000000 + qint64(stx.stx_btime.tv_nsec);
    return identity;
}

bool fileIdentity(const QString& path, quint64* device, quint64* inode)
{
    const std::optional<FileIdentity> identity = fileIdentityAt(path);
    if (!identity)
        return false;
    if (device)
        *device = identity->device;
    if (inode)
        *inode = identity->inode;
    return true;
}

std::optional<FileReference> FileReference::fromPath(const QString& path)
{
    FileReference ref;
    if (!ref.setPath(path))
        return std::nullopt;
    return ref;
}

bool FileReference::setPath(const QString& path)
{
    if (path.isEmpty())
        return false;
    const QString absolute = QDir::cleanPath(QFileInfo(path).absoluteFilePath());
    const std::optional<FileIdentity> identity = fileIdentityAt(absolute);
    if (!identity)
        return false;
    m_path = absolute;
    m_device = identity->device;
    m_inode = identity->inode;
    m_birthTime = identity->birthTime;
    m_lastFailedSearch = 0;
    return true;
}

std::optional<FileReference> FileReference::fromData(const QByteArray& data)
{
    if (data.isEmpty())
        return std::nullopt;
    QDataStream in(data);
    in.setVersion(QDataStream::Qt_6_0);
    quint32 magic = 0;
    FileReference ref;
    in >> magic;
    if (magic != Magic && magic != MagicWithoutBirthTime)
        return std::nullopt;
    in >> ref.m_path >> ref.m_device >> ref.m_inode;
    if (magic == Magic)
        in >> ref.m_birthTime;
    if (in.status() != QDataStream::Ok || ref.m_path.isEmpty() || !QDir::isAbsolutePath(ref.m_path))
        return std::nullopt;
    return ref;
}

QByteArray FileReference::data() const
{
    if (!isValid())
        return {};
    QByteArray bytes;
    QDataStream out(&bytes, QIODevice::WriteOnly);
    out.setVersion(QDataStream::Qt_6_0);
    out << Magic << m_path << m_device << m_inode << m_birthTime;
    return bytes;
}

QString FileReference::lastKnownName() const
{
    return m_path.isEmpty() ? QString() : QFileInfo(m_path).fileName();
}

QString FileReference::findByIdentity() const
{
    // Search the nearest existing folder above the remembered path, then the one
    // above it: a rename, or a move into a sibling folder, is found there.
    QString start = QFileInfo(m_path).path();
    while (!start.isEmpty() && start != QLatin1String("/") && !QFileInfo(start).isDir())
        start = QFileInfo(start).path();
    if (start.isEmpty() || start == QLatin1String("/"))
        return {};
    QStringList roots{start};
    const QString above = QFileInfo(start).path();
    if (!above.isEmpty() && above != QLatin1String("/") && above != QDir::homePath())
        roots << above;

    int budget = SearchBudget;
    QSet<QString> searched;
    for (const QString& root : roots) {
        QQueue<QString> folders;
        folders.enqueue(root);
        while (!folders.isEmpty() && budget > 0) {
            const QString folder = folders.dequeue();
            if (searched.contains(folder))
                continue;
            searched.insert(folder);
            QDir dir(folder);
            const QFileInfoList entries = dir.entryInfoList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
            for (const QFileInfo& entry : entries) {
                if (--budget <= 0)
                    break;
                const QString path = entry.absoluteFilePath();
                const std::optional<FileIdentity> identity = fileIdentityAt(path);
                if (!identity)
                    continue;
                // A reused inode is told from the remembered item by its birth time
                // where the file system keeps one.
                if (identity->device == m_device && identity->inode == m_inode
                    && (identity->birthTime == 0 || m_birthTime == 0 || identity->birthTime == m_birthTime))
                    return path;
                if (entry.isDir() && !entry.isSymLink())
                    folders.enqueue(path);
            }
        }
    }
    return {};
}

QString FileReference::resolvedPath()
{
    m_changed = false;
    if (!isValid())
        return {};
    const std::optional<FileIdentity> atPath = fileIdentityAt(m_path);
    const bool existsAtPath = bool(atPath);
    const bool sameItem = existsAtPath && atPath->device == m_device && atPath->inode == m_inode;
    if (sameItem)
        return m_path;

    if (!existsAtPath || m_tryFileIDFirst) {
        if (m_lastFailedSearch == 0 || nowMs() - m_lastFailedSearch > RetryAfterMs) {
            const QString found = findByIdentity();
            if (!found.isEmpty()) {
                m_path = found;
                m_changed = true;
                m_lastFailedSearch = 0;
                return m_path;
            }
            m_lastFailedSearch = nowMs();
        }
    }
    if (existsAtPath) {
        // Something else stands at the remembered path now (a safe save replaces
        // the file with a new one): that is the item the user knows by this name.
        m_device = atPath->device;
        m_inode = atPath->inode;
        m_birthTime = atPath->birthTime;
        m_changed = true;
        return m_path;
    }
    return {};
}

QUrl FileReference::resolvedURL()
{
    const QString path = resolvedPath();
    return path.isEmpty() ? QUrl() : QUrl::fromLocalFile(path);
}

FileReference::Match FileReference::match(const QString& cleanAbsolutePath, const FileIdentity& identity) const
{
    if (!isValid())
        return Match::None;
    if (m_path == cleanAbsolutePath)
        return Match::ByPath;
    if (identity.device != m_device || identity.inode != m_inode)
        return Match::None;
    if (identity.birthTime != 0 && m_birthTime != 0)
        return identity.birthTime == m_birthTime ? Match::ByIdentity : Match::None;
    // Without birth times only a file that kept its name counts as the same one.
    return QFileInfo(cleanAbsolutePath).fileName() == lastKnownName() ? Match::ByIdentity : Match::None;
}

void FileReference::adopt(const QString& cleanAbsolutePath, const FileIdentity& identity)
{
    m_changed = m_path != cleanAbsolutePath || m_device != identity.device || m_inode != identity.inode
        || m_birthTime != identity.birthTime;
    m_path = cleanAbsolutePath;
    m_device = identity.device;
    m_inode = identity.inode;
    m_birthTime = identity.birthTime;
    m_lastFailedSearch = 0;
}

bool FileReference::isSameItem(FileReference& other)
{
    const QString a = resolvedPath();
    const QString b = other.resolvedPath();
    if (a.isEmpty() || b.isEmpty())
        return false;
    return m_device == other.m_device && m_inode == other.m_inode;
}

} // namespace kit
