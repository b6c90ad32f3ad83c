#include "project/ProjectSystem.h"

#include "document/KELFilePrefsManager.h"
#include "document/MyDocument.h"
#include "document/MyDocumentCommands.h"
#include "document/MyDocumentController.h"
#include "editor/BatchTextFinder.h"
#include "kit/document/WindowRestoration.h"
#include "preview/KELPreviewDocument.h"
#include "project/DirectoryItem.h"
#include "project/KELGetInfoManager.h"
#include "project/KELReadOnlyDocumentController.h"
#include "project/ProjectFileIndex.h"
#include "project/ProjectDocumentController.h"
#include "kit/UserDefaults.h"
#include "support/DefaultsKeys.h"
#include "support/KELFileTypeManager.h"
#include "support/UtilityFunctions.h"
#include "support/StringAdditions.h"
#include "syntax/KELDocumentStructureItem.h"

#include <QFileInfo>
#include <QSet>

ProjectDocumentController* KELProjectContainingPath(const QString& path)
{
    MyDocumentController* controller = MyDocumentController::sharedDocumentController();
    return controller ? qobject_cast<ProjectDocumentController*>(controller->projectDocumentContainingPath(path)) : nullptr;
}

void KELProjectsUpdateItemsOnPath(const QString& path)
{
    MyDocumentController* controller = MyDocumentController::sharedDocumentController();
    if (!controller)
        return;
    for (DocumentWindowController* window : controller->projectDocuments()) {
        auto* project = qobject_cast<ProjectDocumentController*>(window);
        if (project && (isSubpathOfString(project->directory(), path) || isSubpathOfString(path, project->directory())))
            project->updateItemsOnPath(path);
    }
}

bool KELRevealInDocumentTree(QWidget* window, const QString& path)
{
    MyDocumentController* controller = MyDocumentController::sharedDocumentController();
    if (!controller)
        return false;
    for (DocumentWindowController* candidate : controller->projectDocuments()) {
        auto* project = qobject_cast<ProjectDocumentController*>(candidate);
        if (project && (!window || project->window() == window)) {
            project->selectFileInTree(path, true, true);
            return true;
        }
    }
    return false;
}

void KELInstallProjectServices()
{
    // Folders become project windows, images and PDF files viewers.
    MyDocumentController::setWindowOpener([](const QUrl& url, const QString& typeName, bool display, kit::Error*) -> kit::WindowController* {
        if (typeName == KELFolderTypeName)
            return ProjectDocumentController::openProject(url.toLocalFile(), display);
        return KELReadOnlyDocumentController::openReadOnlyDocument(url, display);
    });
    kit::WindowRestoration::registerRestorationClass(ProjectDocumentController::RestorationClassName, [](const QVariantMap& window) {
        ProjectDocumentController::restoreWindow(window);
    });
    kit::WindowRestoration::registerRestorationClass(KELReadOnlyDocumentController::RestorationClassName, [](const QVariantMap& window) {
        KELReadOnlyDocumentController::restoreWindow(window);
    });

    auto projectFolder = [](const QString& path) {
        ProjectDocumentController* project = KELProjectContainingPath(path);
        return project ? project->directory() : QString();
    };
    KELPreviewDocument::setProjectDirectoryLookup(projectFolder);
    KELDocumentStructureItem::setProjectDirectoryResolver(projectFolder);
    BatchTextFinder::setProjectFilesProvider([] {
        BatchFindProjectFiles files;
        QList<ProjectFileIndex::Reader> readers;
        QStringList roots;
        if (MyDocumentController* controller = MyDocumentController::sharedDocumentController()) {
            for (DocumentWindowController* window : controller->projectDocuments()) {
                if (auto* project = qobject_cast<ProjectDocumentController*>(window)) {
                    readers << project->fileIndex()->reader();
                    roots << project->directory();
                }
            }
        }
        // Walked on the search's worker, as the disk is now; a project inside another
        // adds no file twice.
        files.walk = [readers](const std::function<bool(const QString&)>& visit) {
            if (readers.size() == 1) {
                readers.constFirst().walk(visit);
                return;
            }
            QSet<QString> known;
            bool going = true;
            for (const ProjectFileIndex::Reader& reader : readers) {
                reader.walk([&](const QString& path) {
                    if (known.contains(path))
                        return true;
                    known.insert(path);
                    going = visit(path);
                    return going;
                });
                if (!going)
                    break;
            }
        };
        for (const ProjectFileIndex::Reader& reader : std::as_const(readers))
            files.expectedCount += reader.lastFileCount();
        // The encodings the user chose for files, taken here for the worker.
        const QHash<QString, kit::StringEncoding> encodings = KELFilePrefsManager::sharedFilePrefsManager().storedEncodingsByPath();
        const auto openDefault = kit::StringEncoding(kit::UserDefaults::standard().integerValue(KELDefaultEncodingForOpen));
        files.decode = [encodings, openDefault](const QByteArray& data, const QString& path) {
            return UtilityFunctions::stringContentsForData(data, path, kit::NoEncoding,
                encodings.value(path, kit::NoEncoding), openDefault, nullptr);
        };
        QStringList prefixes;
        for (const QString& root : std::as_const(roots))
            prefixes << (root.endsWith(QLatin1Char('/')) ? root : root + QLatin1Char('/'));
        files.contains = [prefixes](const QString& path) {
            for (const QString& prefix : prefixes) {
                if (path.startsWith(prefix))
                    return true;
            }
            return false;
        };
        return files;
    });

    MyDocumentCommands::Services& services = MyDocumentCommands::services();
    services.showGetInfo = [](const QString& path) { KELGetInfoManager::sharedInstance().showGetInfoForPath(path); };
    services.revealInDocumentTree = [](const QString& path) {
        if (ProjectDocumentController* project = KELProjectContainingPath(path))
            project->selectFileInTree(path, true, true);
    };
}
