#include "componentui/KELComponentInsertDefaultsController.h"

#include "document/KELFilePrefs.h"
#include "document/KELFilePrefsManager.h"
#include "document/MyDocument.h"
#include "document/MyDocumentController.h"
#include "project/ProjectDocumentController.h"

#include <QDir>
#include <QFileInfo>
#include <pwd.h>
#include <unistd.h>

namespace {

std::function<bool(const QString&)>& writableCheck()
{
    static std::function<bool(const QString&)> check;
    return check;
}

QString documentPath(const MyDocument* document)
{
    return document && document->fileURL().isLocalFile() ? document->fileURL().toLocalFile() : QString();
}

ProjectDocumentController* projectFor(const QString& path)
{
    if (path.isEmpty())
        return nullptr;
    MyDocumentController* documents = MyDocumentController::sharedDocumentController();
    return documents ? dynamic_cast<ProjectDocumentController*>(documents->projectDocumentContainingPath(path)) : nullptr;
}

} // namespace

KELComponentInsertDefaultsController& KELComponentInsertDefaultsController::sharedInstance()
{
    static KELComponentInsertDefaultsController instance;
    return instance;
}

void KELComponentInsertDefaultsController::setWritableCheckForTesting(std::function<bool(const QString&)> check)
{
    writableCheck() = std::move(check);
}

bool KELComponentInsertDefaultsController::isValidDirectoryPath(const QString& path)
{
    if (path.isEmpty())
        return false;
    const QFileInfo info(path);
    if (!info.exists() && !info.isSymLink())
        return true;
    if (!info.isDir())
        return false;
    if (writableCheck())
        return writableCheck()(path);
    return ::access(QFile::encodeName(path).constData(), W_OK) == 0;
}

QString KELComponentInsertDefaultsController::projectDirectoryContainingPath(const QString& path)
{
    ProjectDocumentController* project = projectFor(path);
    return project ? project->directory() : QString();
}

KELFilePrefs* KELComponentInsertDefaultsController::projectPrefsForPath(const QString& path)
{
    ProjectDocumentController* project = projectFor(path);
    return project ? &project->projectPrefs() : nullptr;
}

QString KELComponentInsertDefaultsController::homeDirectory() const
{
    if (!m_home.isEmpty())
        return m_home;
    if (const passwd* account = ::getpwuid(::getuid()); account && account->pw_dir)
        return QFile::decodeName(account->pw_dir);
    return QStringLiteral("/");
}

QString KELComponentInsertDefaultsController::defaultScriptsPath(const MyDocument* document) const
{
    return defaultScriptsPathForFile(documentPath(document));
}

QString KELComponentInsertDefaultsController::defaultScriptsPathForFile(const QString& path) const
{
    if (path.isEmpty()) {
        QString home = homeDirectory();
        while (home.size() > 1 && home.endsWith(QLatin1Char('/')))
            home.chop(1);
        return QStringLiteral("%1/Sites%2").arg(home == QLatin1String("/") ? QString() : home, FolderName);
    }
    const QString besideDocument = QFileInfo(path).absolutePath() + FolderName;
    QStringList candidates;
    if (KELFilePrefs* own = KELFilePrefsManager::sharedFilePrefsManager().existingFilePrefsForFile(path))
        candidates << own->scriptsPath();
    if (KELFilePrefs* project = projectPrefsForPath(path))
        candidates << project->componentIncludeDirectoryPath();
    if (const QString projectFolder = projectDirectoryContainingPath(path); !projectFolder.isEmpty())
        candidates << QDir::cleanPath(projectFolder) + FolderName;
    candidates << besideDocument;
    for (const QString& candidate : std::as_const(candidates)) {
        if (!candidate.isEmpty() && isValidDirectoryPath(candidate))
            return candidate;
    }
    return besideDocument;
}

bool KELComponentInsertDefaultsController::hasDefaultPathFromFileSettings(const MyDocument* document) const
{
    const QString path = documentPath(document);
    if (path.isEmpty())
        return false;
    KELFilePrefs* own = KELFilePrefsManager::sharedFilePrefsManager().existingFilePrefsForFile(path);
    return own && !own->scriptsPath().isEmpty();
}

void KELComponentInsertDefaultsController::setDefaultScriptsPath(const QString& folder, const MyDocument* document, bool projectDefault)
{
    setDefaultScriptsPathForFile(folder, documentPath(document), projectDefault);
}

void KELComponentInsertDefaultsController::setDefaultScriptsPathForFile(const QString& folder, const QString& path, bool projectDefault)
{
    if (path.isEmpty())
        return;
    KELFilePrefs* project = projectDefault ? projectPrefsForPath(path) : nullptr;
    KELFilePrefs& own = KELFilePrefsManager::sharedFilePrefsManager().filePrefsForFile(path);
    if (project) {
        project->setComponentIncludeDirectoryPath(folder);
        KELFilePrefsManager::sharedProjectPrefsManager().saveFilePrefs(*project);
        // The project's folder now applies to this file too.
        own.setScriptsPath(QString());
    } else {
        own.setScriptsPath(folder);
    }
    KELFilePrefsManager::sharedFilePrefsManager().saveFilePrefs(own);
}
