#include "app/KELFileManager.h"

#include "document/MyDocument.h"
#include "kit/Log.h"
#include "kit/NotificationCenter.h"
#include "kit/Timers.h"
#include "kit/document/DocumentController.h"
#include "support/KELFileTypeManager.h"

#include <QCoreApplication>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QMimeDatabase>
#include <QPointer>
#include <QUuid>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

KELFileManager::TrashFunction& trashFunction()
{
    static KELFileManager::TrashFunction f;
    return f;
}
KELFileManager::CopyFileFunction& copyFileFunction()
{
    static KELFileManager::CopyFileFunction f;
    return f;
}
KELFileManager::ProjectUpdater& projectUpdater()
{
    static KELFileManager::ProjectUpdater f;
    return f;
}

const QString FileOperationsDomain = QStringLiteral("KELFileOperationsErrorDomain");

kit::Error operationError(const QString& message, const QString& reason)
{
    return kit::Error::withDescription(FileOperationsDomain, 1, message, reason);
}

bool defaultCopyFile(const QString& source, const QString& destination, QString* reason)
{
    QFile in(source);
    if (!QFile::copy(source, destination)) {
        if (reason)
            *reason = in.open(QIODevice::ReadOnly) ? QStringLiteral("The copy could not be written.") : in.errorString();
        return false;
    }
    return true;
}

QList<MyDocument*> openTextDocuments()
{
    QList<MyDocument*> documents;
    if (auto* controller = kit::DocumentController::existingSharedDocumentController())
        for (kit::Document* d : controller->documents())
            if (auto* text = qobject_cast<MyDocument*>(d); text && !text->fileURLPath().isEmpty())
                documents << text;
    return documents;
}

// A name beside the item for setting it aside while it is being replaced.
QString asideName(const QString& path)
{
    const QFileInfo info(path);
    QString aside;
    do {
        aside = info.absolutePath() + QStringLiteral("/.") + info.fileName() + QStringLiteral(".replaced-")
                + QUuid::createUuid().toString(QUuid::Id128).left(8);
    } while (QFileInfo::exists(aside) || QFileInfo(aside).isSymLink());
    return aside;
}

bool itemExists(const QString& path)
{
    const QFileInfo info(path);
    return info.exists() || info.isSymLink();
}

bool removeItem(const QString& path)
{
    const QFileInfo info(path);
    if (info.isDir() && !info.isSymLink())
        return QDir(path).removeRecursively();
    return QFile::remove(path);
}

} // namespace

KELFileManager& KELFileManager::defaultManager()
{
    static KELFileManager manager;
    return manager;
}

void KELFileManager::setTrashFunctionForTesting(TrashFunction function) { trashFunction() = std::move(function); }
void KELFileManager::setCopyFileFunctionForTesting(CopyFileFunction function) { copyFileFunction() = std::move(function); }
void KELFileManager::setProjectUpdater(ProjectUpdater updater) { projectUpdater() = std::move(updater); }

bool KELFileManager::pathLiesUnder(const QString& path, const QString& folder)
{
    const QString p = QDir::cleanPath(path);
    const QString f = QDir::cleanPath(folder);
    if (p == f)
        return true;
    return p.startsWith(f == QLatin1String("/") ? f : f + QLatin1Char('/'));
}

bool KELFileManager::copyItem(const QString& source, const QString& destination, kit::Error* error)
{
    const QFileInfo info(source);
    const CopyFileFunction& copyFile = copyFileFunction() ? copyFileFunction() : CopyFileFunction(defaultCopyFile);
    QString reason;
    bool ok = true;
    if (info.isDir() && !info.isSymLink()) {
        ok = QDir().mkpath(destination);
        if (!ok)
            reason = QStringLiteral("The folder could not be made.");
        QDirIterator it(source, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                        QDirIterator::Subdirectories);
        while (ok && it.hasNext()) {
            const QString item = it.next();
            const QString target = destination + item.mid(source.size());
            const QFileInfo itemInfo(item);
            if (itemInfo.isDir() && !itemInfo.isSymLink()) {
                ok = QDir().mkpath(target);
                if (!ok)
                    reason = QStringLiteral("The folder \"%1\" could not be made.").arg(target);
            } else {
                ok = copyFile(item, target, &reason);
            }
        }
    } else if (info.exists() || info.isSymLink()) {
        ok = copyFile(source, destination, &reason);
    } else {
        ok = false;
        reason = QStringLiteral("The item does not exist.");
    }
    if (!ok) {
        // Nothing half copied stays behind.
        if (itemExists(destination))
            removeItem(destination);
        kit::setError(error, operationError(QStringLiteral("\"%1\" could not be copied.").arg(info.fileName()), reason));
    }
    return ok;
}

bool KELFileManager::moveItemWithoutReplacing(const QString& source, const QString& destination, QString* reason)
{
    const QByteArray from = QFile::encodeName(source);
    const QByteArray to = QFile::encodeName(destination);
    // The kernel refuses atomically when the name is taken, so an item that
    // appears after the caller looked is never replaced.
    if (::renameat2(AT_FDCWD, from.constData(), AT_FDCWD, to.constData(), RENAME_NOREPLACE) == 0)
        return true;
    int failure = errno;
    if (failure == EINVAL || failure == ENOSYS || failure == EOPNOTSUPP) {
        // A file system without that flag. A new hard link fails just as surely
        // when the name is taken; folders (and file systems without links) fall
        // back to looking first.
        struct stat st;
        const bool isFolder = ::lstat(from.constData(), &st) == 0 && S_ISDIR(st.st_mode);
        if (!isFolder && ::link(from.constData(), to.constData()) == 0) {
            ::unlink(from.constData());
            return true;
        }
        failure = isFolder ? failure : errno;
        if (isFolder || (failure != EEXIST && failure != EXDEV)) {
            if (::lstat(to.constData(), &st) == 0)
                failure = EEXIST;
            else if (std::rename(from.constData(), to.constData()) == 0)
                return true;
            else
                failure = errno;
        }
    }
    if (reason)
        *reason = failure == EEXIST ? QStringLiteral("An item with the same name already exists there.")
                                    : QString::fromLocal8Bit(std::strerror(failure));
    errno = failure;
    return false;
}

namespace {
bool rawMove(const QString& source, const QString& destination, QString* reason)
{
    return KELFileManager::moveItemWithoutReplacing(source, destination, reason);
}
} // namespace

bool KELFileManager::movePathWithDocumentUpdate(const QString& source, const QString& destination, kit::Error* error)
{
    return movePathWithDocumentUpdate(source, destination, false, error);
}

bool KELFileManager::movePathWithDocumentUpdate(const QString& source, const QString& destination, bool closeDocuments,
                                                kit::Error* error)
{
    const QString name = QFileInfo(source).fileName();
    if (!itemExists(source)) {
        kit::setError(error, operationError(QStringLiteral("\"%1\" could not be moved.").arg(name),
                                            QStringLiteral("The item does not exist.")));
        return false;
    }
    if (itemExists(destination)) {
        kit::setError(error, operationError(QStringLiteral("\"%1\" could not be moved.").arg(name),
                                            QStringLiteral("An item with the same name already exists there.")));
        return false;
    }
    QString reason;
    if (!rawMove(source, destination, &reason)) {
        // Across file systems: copy, then remove the original only once the copy is whole.
        const bool acrossFileSystems = errno == EXDEV;
        if (!acrossFileSystems || !copyItem(source, destination, error)) {
            if (!acrossFileSystems)
                kit::setError(error, operationError(QStringLiteral("\"%1\" could not be moved.").arg(name), reason));
            return false;
        }
        if (!removeItem(source))
            kit::log(QStringLiteral("Moved \"%1\" by copying; the original could not be removed").arg(source));
    }
    updateDocumentsAfterMove(source, destination, closeDocuments);
    if (projectUpdater()) {
        projectUpdater()(source);
        projectUpdater()(destination);
    }
    return true;
}

void KELFileManager::updateDocumentsAfterMove(const QString& source, const QString& destination, bool closeDocuments)
{
    const QString src = QDir::cleanPath(source);
    const QString dst = QDir::cleanPath(destination);
    for (MyDocument* document : openTextDocuments()) {
        const QString path = QDir::cleanPath(document->fileURLPath());
        if (pathLiesUnder(path, src)) {
            if (closeDocuments && !document->isDocumentEdited())
                document->closeWithWindowUpdate();
            else
                document->setFileURL(QUrl::fromLocalFile(dst + path.mid(src.size())));
        } else if (pathLiesUnder(path, dst)) {
            // Its file was replaced. Unsaved edits stay open for the user to keep.
            if (document->isDocumentEdited())
                kit::log(QStringLiteral("Kept \"%1\" open: its file was replaced while it had unsaved changes").arg(path));
            else
                document->closeWithWindowUpdate();
        }
    }
}

bool KELFileManager::copyPathWithDocumentUpdate(const QString& source, const QString& destination, kit::Error* error)
{
    if (itemExists(destination)) {
        kit::setError(error, operationError(QStringLiteral("\"%1\" could not be copied.").arg(QFileInfo(source).fileName()),
                                            QStringLiteral("An item with the same name already exists there.")));
        return false;
    }
    if (!copyItem(source, destination, error))
        return false;
    updateDocumentsAfterCopy(destination);
    if (projectUpdater())
        projectUpdater()(destination);
    return true;
}

void KELFileManager::updateDocumentsAfterCopy(const QString& destination)
{
    for (MyDocument* document : openTextDocuments()) {
        const QString path = document->fileURLPath();
        if (!pathLiesUnder(path, destination))
            continue;
        if (document->isDocumentEdited()) {
            // Reverting would throw the edits away; the document notices the
            // change on disk when it is next active.
            kit::log(QStringLiteral("Kept the unsaved changes of \"%1\" over the copied file").arg(path));
            continue;
        }
        const QFileInfo info(path);
        if (info.exists() && !info.isDir()) {
            document->setFileURL(QUrl::fromLocalFile(path));
            document->revertToSaved();
        } else {
            document->closeWithWindowUpdate();
        }
    }
}

bool KELFileManager::replaceItem(const QString& source, const QString& destination, bool move, kit::Error* error)
{
    if (QDir::cleanPath(source) == QDir::cleanPath(destination))
        return true;
    const QString name = QFileInfo(source).fileName();
    QString aside;
    if (itemExists(destination)) {
        aside = asideName(destination);
        QString reason;
        if (!rawMove(destination, aside, &reason)) {
            kit::setError(error, operationError(QStringLiteral("\"%1\" could not be replaced.").arg(QFileInfo(destination).fileName()), reason));
            return false;
        }
    }
    bool ok = false;
    if (move) {
        QString reason;
        ok = rawMove(source, destination, &reason);
        if (!ok && errno == EXDEV) {
            ok = copyItem(source, destination, error);
            if (ok && !removeItem(source))
                kit::log(QStringLiteral("Moved \"%1\" by copying; the original could not be removed").arg(source));
        } else if (!ok) {
            kit::setError(error, operationError(QStringLiteral("\"%1\" could not be moved.").arg(name), reason));
        }
    } else {
        ok = copyItem(source, destination, error);
    }
    if (!ok) {
        // Put the old item back where it was.
        if (!aside.isEmpty() && !rawMove(aside, destination, nullptr))
            kit::log(QStringLiteral("The replaced item was kept as \"%1\"").arg(aside));
        return false;
    }
    if (!aside.isEmpty() && !removeItem(aside))
        kit::log(QStringLiteral("The replaced item could not be removed: \"%1\"").arg(aside));
    if (move)
        updateDocumentsAfterMove(source, destination, false);
    else
        updateDocumentsAfterCopy(destination);
    if (projectUpdater()) {
        if (move)
            projectUpdater()(source);
        projectUpdater()(destination);
    }
    return true;
}

QList<QUrl> KELFileManager::moveURLsToTrash(const QList<QUrl>& urls, QStringList* failures)
{
    auto& center = kit::NotificationCenter::defaultCenter();
    for (const QUrl& url : urls)
        center.post(KELFileManagerWillMoveURLToTrashNotification, this, {{KELFileManagerURLUserInfoKey, url}});
    QList<QUrl> failed;
    for (const QUrl& url : urls) {
        const QString path = url.toLocalFile();
        QString reason;
        bool ok;
        if (trashFunction()) {
            ok = trashFunction()(path, &reason);
        } else {
            QFile file(path);
            ok = file.moveToTrash();
            if (!ok)
                reason = file.errorString();
        }
        if (!ok) {
            failed << url;
            const QString line = QStringLiteral("\"%1\" could not be moved to the trash: %2").arg(path, reason);
            kit::log(line);
            if (failures)
                *failures << line;
        }
    }
    // Followers hear on the next turn, as after the desktop's trash call, of the
    // items that did go; the others are still where they were.
    QList<QUrl> moved;
    for (const QUrl& url : urls) {
        if (!failed.contains(url))
            moved << url;
    }
    KELFileManager* self = this;
    auto postDid = [moved, self] {
        for (const QUrl& url : moved)
            kit::NotificationCenter::defaultCenter().post(KELFileManagerDidMoveURLToTrashNotification, self,
                                                          {{KELFileManagerURLUserInfoKey, url}});
    };
    if (!moved.isEmpty() && QCoreApplication::instance())
        kit::performOnNextTurn(QCoreApplication::instance(), postDid);
    return failed;
}

bool KELFileManager::createDirectoriesAtPath(const QString& path, const QVariantMap& attributes)
{
    if (!QDir().mkpath(path))
        return false;
    if (attributes.contains(QStringLiteral("permissions")))
        QFile::setPermissions(path, QFileDevice::Permissions(attributes.value(QStringLiteral("permissions")).toInt()));
    return true;
}

QStringList KELFileManager::utisForPath(const QString& path) const
{
    const QFileInfo info(path);
    if (!info.exists()) {
        kit::log(QStringLiteral("Error (utiForPath) getting fsref for path %1 %2").arg(path).arg(-43));
        return {};
    }
    QStringList identifiers;
    const QMimeType mime = QMimeDatabase().mimeTypeForFile(path);
    if (mime.isValid() && !mime.isDefault())
        identifiers << mime.name();
    const QString type = KELFileTypeManager::sharedInstance().typeNameForPath(path);
    if (!type.isEmpty() && type != QLatin1String("Binary") && type != QLatin1String("Image") && type != QLatin1String("Hidden")) {
        identifiers << KELUTTypeText << KELUTTypePlainText;
        QFile file(path);
        QByteArray head;
        if (file.open(QIODevice::ReadOnly))
            head = file.read(2);
        if (head == QByteArray("\xFF\xFE", 2) || head == QByteArray("\xFE\xFF", 2))
            identifiers << KELUTTypeUTF16ExternalPlainText << KELUTTypeUTF16PlainText;
        else
            identifiers << KELUTTypeUTF8PlainText;
    }
    identifiers.removeDuplicates();
    return identifiers;
}

bool KELFileManager::utiConformsToUTI(const QString& uti, const QString& other)
{
    if (uti == other)
        return true;
    static const QHash<QString, QStringList> parents = {
        {KELUTTypePlainText, {KELUTTypeText}},
        {KELUTTypeUTF8PlainText, {KELUTTypePlainText, KELUTTypeText}},
        {KELUTTypeUTF16PlainText, {KELUTTypePlainText, KELUTTypeText}},
        {KELUTTypeUTF16ExternalPlainText, {KELUTTypePlainText, KELUTTypeText}},
    };
    if (parents.value(uti).contains(other))
        return true;
    // MIME types: a type conforms to its ancestors.
    const QMimeType mime = QMimeDatabase().mimeTypeForName(uti);
    if (mime.isValid()) {
        if (mime.inherits(other))
            return true;
        if ((other == KELUTTypeText || other == KELUTTypePlainText) && mime.inherits(QStringLiteral("text/plain")))
            return true;
    }
    return false;
}

bool KELFileManager::pathConformsToUTI(const QString& path, const QString& uti) const
{
    if (path.isEmpty() || uti.isEmpty())
        return false;
    for (const QString& identifier : utisForPath(path))
        if (utiConformsToUTI(identifier, uti))
            return true;
    return false;
}
