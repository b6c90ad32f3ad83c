#pragma once
// Helpers for document tests: folders that refuse writes (also for root, through
// the immutable attribute), and a small text document.


#include <QFile>
#include <QProcess>
#include <QString>
#include <QTemporaryFile>

#include <unistd.h>

namespace testsupport {

inline QByteArray fileBytes(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return QByteArray("<unreadable>");
    return file.readAll();
}

inline bool writeBytes(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(bytes) == bytes.size();
}

/// Makes a folder refuse new files while it lives: read-only permissions and,
/// when running as root (who ignores them), the immutable attribute.
class UnwritableFolder {
public:
    explicit UnwritableFolder(const QString& path) : m_path(path)
    {
        QFile::setPermissions(path, QFile::ReadOwner | QFile::ExeOwner | QFile::ReadGroup | QFile::ExeGroup);
        if (::geteuid() == 0)
            m_immutable = QProcess::execute(QStringLiteral("chattr"), {QStringLiteral("+i"), path}) == 0;
    }
    ~UnwritableFolder()
    {
        if (m_immutable)
            QProcess::execute(QStringLiteral("chattr"), {QStringLiteral("-i"), m_path});
        QFile::setPermissions(m_path, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    }
    /// Whether writes into the folder really fail here.
    bool effective() const
    {
        QFile probe(m_path + QStringLiteral("/.probe"));
        if (probe.open(QIODevice::WriteOnly)) {
            probe.close();
            probe.remove();
            return false;
        }
        return true;
    }

private:
    QString m_path;
    bool m_immutable = false;
};

/// Whether permission bits stop this process (not so for root).
inline bool permissionsApply()
{
    return ::geteuid() != 0;
}

} // namespace testsupport
