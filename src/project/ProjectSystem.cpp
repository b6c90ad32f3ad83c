#include "project/ProjectSystem.h"

#include "document/MyDocument.h"
#include "document/MyDocumentCommands.h"
#include "document/MyDocument.h"
#include "document/MyDocumentController.h"
#include "editor/BatchTextFinder.h"
#include "kit/document/WindowRestoration.h"
#include "preview/KELPreviewDocument.h"
#include "project/DirectoryItem.h"
#include "project/KELGetInfoManager.h"
#include "project/KELReadOnlyDocumentController.h"
#include "project/ProjectDocumentController.h"
#include "support/KELFileTypeManager.h"
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
        QStringList files;
        QSet<QString> known;
        MyDocumentController* controller = MyDocumentController::sharedDocumentController();
        if (!controller)
            return files;
        for (DocumentWindowController* window : controller->projectDocuments()) {
            if (auto* project = qobject_cast<ProjectDocumentController*>(window)) {
                for (const QString& file : project->rootDirectoryItem()->allFilePaths()) {
                    if (!known.contains(file)) {
                        known.insert(file);
                        files << file;
                    }
                }
            }
        }
        return files;
    });

    MyDocumentCommands::Services& services = MyDocumentCommands::services();
    services.showGetInfo = [](const QString& path) { KELGetInfoManager::sharedInstance().showGetInfoForPath(path); };
    services.revealInDocumentTree = [](const QString& path) {
        if (ProjectDocumentController* project = KELProjectContainingPath(path))
            project->selectFileInTree(path, true, true);
    };
}
