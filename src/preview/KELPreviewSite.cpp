#include "preview/KELPreviewSite.h"

#include "preview/KELPreviewDocument.h"

#include <QDir>
#include <QFileInfo>

namespace {

const QStringList& repositoryMarkers()
{
    // The root of a checked-out or packaged project.
    static const QStringList markers { QStringLiteral(".git"), QStringLiteral(".hg"), QStringLiteral(".svn"),
        QStringLiteral("package.json"), QStringLiteral("composer.json") };
    return markers;
}

const QStringList& indexMarkers()
{
    static const QStringList markers { QStringLiteral("index.html"), QStringLiteral("index.php") };
    return markers;
}

bool holdsAny(const QString& folder, const QStringList& names)
{
    for (const QString& name : names) {
        if (QFileInfo::exists(folder + QLatin1Char('/') + name))
            return true;
    }
    return false;
}

QString parentOf(const QString& folder)
{
    const qsizetype slash = folder.lastIndexOf(QLatin1Char('/'));
    return slash <= 0 ? QStringLiteral("/") : folder.left(slash);
}

QString joined(const QString& folder, const QString& name)
{
    return folder.endsWith(QLatin1Char('/')) ? folder + name : folder + QLatin1Char('/') + name;
}

bool isInside(const QString& path, const QString& folder)
{
    if (path == folder)
        return true;
    return path.startsWith(folder.endsWith(QLatin1Char('/')) ? folder : folder + QLatin1Char('/'));
}

} // namespace

QString KELPreviewSite::realPath(const QString& path)
{
    if (!path.startsWith(QLatin1Char('/')))
        return QString();
    const QStringList parts = path.split(QLatin1Char('/'), Qt::SkipEmptyParts);
    QString current = QStringLiteral("/");
    for (qsizetype i = 0; i < parts.size(); ++i) {
        const QString& part = parts[i];
        if (part == QLatin1String("."))
            continue;
        if (part == QLatin1String("..")) {
            current = parentOf(current);
            continue;
        }
        const QString next = joined(current, part);
        const QFileInfo info(next);
        if (info.isSymLink() || info.exists()) {
            // Links resolved: what the system opens, whatever the text says.
            const QString real = info.canonicalFilePath();
            if (real.isEmpty())
                return QString(); // a link to nothing
            current = real;
            continue;
        }
        // Nothing there: the rest names a file that does not exist (yet). Going
        // up from inside a missing folder names nothing at all.
        QString rest = next;
        for (qsizetype j = i + 1; j < parts.size(); ++j) {
            if (parts[j] == QLatin1String(".."))
                return QString();
            if (parts[j] != QLatin1String("."))
                rest = joined(rest, parts[j]);
        }
        return rest;
    }
    return current;
}

bool KELPreviewSite::isPathInsideFolders(const QString& path, const QStringList& folders)
{
    const QString target = realPath(path);
    if (target.isEmpty())
        return false;
    for (const QString& folder : folders) {
        const QString root = realPath(folder);
        if (!root.isEmpty() && isInside(target, root))
            return true;
    }
    return false;
}

QStringList KELPreviewSite::siteMarkers()
{
    return repositoryMarkers() + indexMarkers();
}

QString KELPreviewSite::siteRootForPage(const QString& page)
{
    if (page.isEmpty())
        return QString();
    QString folder = realPath(QFileInfo(page).absolutePath());
    const QString home = realPath(QDir::homePath());
    QString outermostIndex;
    while (!folder.isEmpty() && folder != QLatin1String("/")) {
        // Neither the home folder nor what holds it, nor a top-level system folder
        // (/tmp, /srv), nor a hidden folder: none of them is a web site.
        if (!home.isEmpty() && isInside(home, folder))
            break;
        if (parentOf(folder) == QLatin1String("/"))
            break;
        if (QFileInfo(folder).fileName().startsWith(QLatin1Char('.')))
            break;
        if (holdsAny(folder, repositoryMarkers()))
            return folder;
        if (holdsAny(folder, indexMarkers()))
            outermostIndex = folder;
        else if (!outermostIndex.isEmpty())
            break; // the pages of a site hang together: a gap ends it
        folder = parentOf(folder);
    }
    return outermostIndex;
}

QStringList KELPreviewSite::siteFoldersForPage(const QString& page)
{
    if (page.isEmpty())
        return {};
    QStringList folders { QFileInfo(page).absolutePath() };
    const QString project = KELPreviewDocument::projectDirectoryContainingPath(page);
    if (!project.isEmpty()) {
        folders << project;
        return folders;
    }
    const QString root = siteRootForPage(page);
    if (!root.isEmpty() && !isPathInsideFolders(root, folders))
        folders << root;
    return folders;
}
