#include "project/ProjectServices.h"

#include "support/FileMoves.h"

#include <QDBusInterface>
#include <QDesktopServices>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>

namespace {
const QString ProjectErrorDomain = QStringLiteral("KELProjectErrorDomain");

kit::Error fileError(const QString& message, const QString& reason)
{
    return kit::Error::withDescription(ProjectErrorDomain, 1, message, reason);
}

bool exists(const QString& path)
{
    const QFileInfo info(path);
    return info.exists() || info.isSymLink();
}
} // namespace

bool copyItemNoReplace(const QString& source, const QString& destination, kit::Error* error)
{
    const QFileInfo info(source);
    const QString message = QStringLiteral("\"%1\" could not be copied.").arg(info.fileName());
    if (!exists(source)) {
        kit::setError(error, fileError(message, QStringLiteral("The item does not exist.")));
        return false;
    }
    if (exists(destination)) {
        kit::setError(error, fileError(message, QStringLiteral("An item with the same name already exists there.")));
        return false;
    }
    bool ok = true;
    QString reason;
    if (info.isDir() && !info.isSymLink()) {
        ok = QDir().mkdir(destination);
        QDirIterator it(source, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                        QDirIterator::Subdirectories);
        while (ok && it.hasNext()) {
            const QString item = it.next();
            const QString target = destination + item.mid(source.size());
            const QFileInfo itemInfo(item);
            ok = itemInfo.isDir() && !itemInfo.isSymLink() ? QDir().mkdir(target) : QFile::copy(item, target);
            if (!ok)
                reason = QStringLiteral("\"%1\" could not be written.").arg(target);
        }
        if (!ok && exists(destination))
            QDir(destination).removeRecursively();
    } else {
        ok = QFile::copy(source, destination);
        if (!ok)
            reason = QStringLiteral("The copy could not be written.");
    }
    if (!ok)
        kit::setError(error, fileError(message, reason));
    return ok;
}

ProjectServices ProjectServices::plainServices()
{
    ProjectServices s;
    s.movePath = [](const QString& source, const QString& destination, kit::Error* error) {
        QString reason;
        if (moveItemNoReplace(source, destination, &reason))
            return true;
        kit::setError(error, fileError(QStringLiteral("\"%1\" could not be moved.").arg(QFileInfo(source).fileName()), reason));
        return false;
    };
    s.copyPath = copyItemNoReplace;
    s.moveToTrash = [](const QList<QUrl>& urls, QStringList* failures) {
        QList<QUrl> failed;
        for (const QUrl& url : urls) {
            if (!QFile::moveToTrash(url.toLocalFile())) {
                failed << url;
                if (failures)
                    *failures << QStringLiteral("\"%1\" could not be moved to the Trash.").arg(url.fileName());
            }
        }
        return failed;
    };
    s.askToReplace = [](const QList<ProjectFilePair>&) {};
    s.addRecentProject = [](const QString&) {};
    s.openFiles = [](const QStringList& paths) {
        for (const QString& path : paths)
            QDesktopServices::openUrl(QUrl::fromLocalFile(path));
    };
    s.revealInFileManager = [](const QString& path) {
        // The desktop's file manager shows the item selected; without one, its folder opens.
        QDBusInterface manager(QStringLiteral("org.freedesktop.FileManager1"), QStringLiteral("/org/freedesktop/FileManager1"),
                               QStringLiteral("org.freedesktop.FileManager1"));
        if (manager.isValid()) {
            manager.call(QStringLiteral("ShowItems"), QStringList{QUrl::fromLocalFile(path).toString()}, QString());
            return;
        }
        QDesktopServices::openUrl(QUrl::fromLocalFile(QFileInfo(path).absolutePath()));
    };
    return s;
}

ProjectServices& ProjectServices::shared()
{
    static ProjectServices services = plainServices();
    return services;
}
