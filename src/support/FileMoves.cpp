#include "support/FileMoves.h"

#include <QFile>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {
QString errnoText(int code)
{
    return QString::fromLocal8Bit(std::strerror(code));
}
} // namespace

bool moveItemNoReplace(const QString& source, const QString& destination, QString* reason, bool* crossDevice)
{
    if (crossDevice)
        *crossDevice = false;
    const QByteArray from = QFile::encodeName(source);
    const QByteArray to = QFile::encodeName(destination);
    if (::renameat2(AT_FDCWD, from.constData(), AT_FDCWD, to.constData(), RENAME_NOREPLACE) == 0)
        return true;
    int code = errno;
    if (code == EINVAL || code == ENOSYS || code == ENOTSUP) {
        // The file system cannot refuse for us: a hard link refuses an existing name
        // for files; folders get the closest check we can make.
        struct stat st {};
        if (::lstat(from.constData(), &st) != 0) {
            code = errno;
        } else if (!S_ISDIR(st.st_mode)) {
            if (::link(from.constData(), to.constData()) == 0) {
                ::unlink(from.constData());
                return true;
            }
            code = errno;
            if (code == EPERM || code == ENOTSUP || code == EMLINK) {
                struct stat existing {};
                if (::lstat(to.constData(), &existing) == 0) {
                    code = EEXIST;
                } else if (std::rename(from.constData(), to.constData()) == 0) {
                    return true;
                } else {
                    code = errno;
                }
            }
        } else {
            struct stat existing {};
            if (::lstat(to.constData(), &existing) == 0)
                code = EEXIST;
            else if (std::rename(from.constData(), to.constData()) == 0)
                return true;
            else
                code = errno;
        }
    }
    if (code == EXDEV && crossDevice)
        *crossDevice = true;
    if (reason)
        *reason = code == EEXIST ? QStringLiteral("An item with the same name already exists there.") : errnoText(code);
    return false;
}

bool isSameItemOnDisk(const QString& path, const QString& other)
{
    struct stat a {};
    struct stat b {};
    if (::lstat(QFile::encodeName(path).constData(), &a) != 0 || ::lstat(QFile::encodeName(other).constData(), &b) != 0)
        return false;
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}
