// File drops, paste and copy of the project tree: files move or copy into a
// folder of the project, a copy onto its own place gets a free "copy" name, and
// clashes with existing items go to the replace question.

#include "project/ProjectDocumentController.h"

#include "kit/Alert.h"
#include "project/DirectoryItem.h"
#include "project/ProjectOutlineModel.h"
#include "project/ProjectServices.h"
#include "support/KELFileTypeManager.h"
#include "support/StringAdditions.h"
#include "support/UtilityFunctions.h"

#include <QFileInfo>

namespace {
bool itemExists(const QString& path)
{
    const QFileInfo info(path);
    return info.exists() || info.isSymLink();
}

QStringList localPaths(const QMimeData* data)
{
    QStringList paths;
    if (!data)
        return paths;
    for (const QUrl& url : data->urls()) {
        if (url.isLocalFile())
            paths << stringByStandardizingPath(url.toLocalFile());
    }
    return paths;
}

QString lastComponent(const QString& path)
{
    return path.mid(path.lastIndexOf(QLatin1Char('/')) + 1);
}
} // namespace

QString ProjectDocumentController::copyPathForDestination(const QString& destination, bool isFolder)
{
    const QString folder = destination.left(destination.lastIndexOf(QLatin1Char('/')));
    QString name = lastComponent(destination);
    QString extension;
    if (!isFolder) {
        extension = KELFileTypeManager::pathExtension(name);
        if (!extension.isEmpty())
            name.chop(extension.size() + 1);
    }
    qint64 n = 1;
    const QStringList words = name.split(QLatin1Char(' '));
    // Only a " copy" that follows a name is a copy suffix: "copy.html" and "copy 3.html"
    // are names of their own, and cutting there would leave a name that starts with a blank.
    const qsizetype suffix = name.lastIndexOf(QLatin1String(" copy"));
    if (suffix > 0 && words.constLast() == QLatin1String("copy")) {
        name.truncate(suffix);
    } else if (suffix > 0 && words.size() >= 2 && words[words.size() - 2] == QLatin1String("copy")) {
        bool ok = false;
        const qint64 number = words.constLast().toLongLong(&ok);
        if (ok && number > 0) {
            name.truncate(suffix);
            n = number + 1;
        }
    }
    QString candidate;
    for (qint64 i = 1; i <= 1000; ++i) {
        const QString suffix = n + i == 2 ? QStringLiteral(" copy") : QStringLiteral(" copy %1").arg(n + i - 1);
        candidate = folder + QLatin1Char('/') + name + suffix;
        if (!extension.isEmpty())
            candidate += QLatin1Char('.') + extension;
        // At most 999 are tested; the 1000th is taken as it is.
        if (i == 1000 || !itemExists(candidate))
            break;
    }
    return candidate;
}

bool ProjectDocumentController::performFileOperation(Qt::DropActions mask, const QStringList& paths, DirectoryItem* item, bool isDrag)
{
    DirectoryItem* target = item ? (item->isFolder() ? item : item->parent()) : nullptr;
    if (!target)
        target = m_root.get();
    const QStringList sources = UtilityFunctions::arrayByRemovingSubPaths(paths);
    const bool move = mask & Qt::MoveAction;
    const QString verb = move ? QStringLiteral("move") : QStringLiteral("copy");
    for (const QString& source : sources) {
        if (isSubpathOfString(source, target->path())) {
            QString title = verb;
            title[0] = title[0].toUpper();
            alertOK(QStringLiteral("%1 Error").arg(title),
                    QStringLiteral("You cannot %1 \"%2\" in this location because you cannot %3 an item into itself")
                        .arg(verb, target->itemName(), verb));
            return false;
        }
    }
    if (!(mask & (Qt::MoveAction | Qt::CopyAction)))
        return false;

    ProjectServices& services = ProjectServices::shared();
    QList<ProjectFilePair> pairs;
    bool result = true;
    for (const QString& source : sources) {
        const QString destination = target->path() + QLatin1Char('/') + lastComponent(source);
        const bool samePlace = stringByStandardizingPath(destination) == stringByStandardizingPath(source);
        if (move && isDrag && samePlace)
            continue;
        kit::Error error;
        if (!itemExists(destination)) {
            const bool ok = move ? services.movePath(source, destination, &error) : services.copyPath(source, destination, &error);
            if (!ok) {
                // A partly failed operation is told, not passed over.
                if (error)
                    kit::Alert::fromError(error).runModal();
                result = false;
                pairs.clear();
                break;
            }
        } else if (samePlace) {
            const QString copy = copyPathForDestination(destination, QFileInfo(source).isDir());
            if (itemExists(copy)) {
                pairs << ProjectFilePair{source, destination, false};
            } else if (!services.copyPath(source, copy, &error)) {
                if (error)
                    kit::Alert::fromError(error).runModal();
                result = false;
                pairs.clear();
                break;
            }
        } else {
            pairs << ProjectFilePair{source, destination, move};
        }
    }
    if (!pairs.isEmpty() && services.askToReplace)
        services.askToReplace(pairs);
    updateDirectory();
    return result;
}

Qt::DropAction ProjectDocumentController::validateDrop(const QMimeData* data, Qt::DropActions mask, DirectoryItem** item, int* childIndex)
{
    DirectoryItem* target = item && *item ? *item : m_root.get();
    if (!data || !data->hasUrls() || !(mask & (Qt::MoveAction | Qt::CopyAction)))
        return Qt::IgnoreAction;
    const QStringList paths = localPaths(data);
    if (paths.isEmpty())
        return Qt::IgnoreAction;
    if (!target->isFolder()) {
        // Onto a file: into its folder, as an insertion after it.
        DirectoryItem* parent = target->parent() ? target->parent() : m_root.get();
        if (item)
            *item = parent == m_root.get() ? nullptr : parent;
        if (childIndex)
            *childIndex = target->row() + 1;
        target = parent;
    }
    for (const QString& path : paths) {
        const QString destination = target->path() + QLatin1Char('/') + lastComponent(path);
        if ((mask & Qt::MoveAction) && stringByStandardizingPath(destination) == path) {
            if (item)
                *item = target == m_root.get() ? nullptr : target;
            if (childIndex)
                *childIndex = -1;
        }
        if (isSubpathOfString(path, target->path()))
            return Qt::IgnoreAction;
    }
    return (mask & Qt::MoveAction) ? Qt::MoveAction : Qt::CopyAction;
}

bool ProjectDocumentController::acceptDrop(const QMimeData* data, Qt::DropActions mask, DirectoryItem* item, int)
{
    return performFileOperation(mask, localPaths(data), item, true);
}

bool ProjectDocumentController::performPaste(const QMimeData* data, DirectoryItem* item)
{
    return performFileOperation(Qt::CopyAction, localPaths(data), item, false);
}

bool ProjectDocumentController::writeItemsToPasteboard(const QList<DirectoryItem*>& items, QMimeData* data)
{
    // Other files are read as saved on disk: there is no saving in place first.
    QStringList paths;
    for (DirectoryItem* item : items)
        paths << item->path();
    QList<QUrl> urls;
    for (const QString& path : UtilityFunctions::arrayByRemovingSubPaths(paths))
        urls << QUrl::fromLocalFile(path);
    if (data)
        data->setUrls(urls);
    return true;
}

void ProjectDocumentController::wasSourceForDragOperation(Qt::DropAction operation)
{
    // Items moved by another program (a file manager) leave the tree.
    if (operation == Qt::MoveAction)
        updateDirectory();
}
