#include "app/AppProjectServices.h"

#include "app/AppController.h"
#include "app/FilePair.h"
#include "app/KELFileManager.h"
#include "app/ReplaceFileController.h"
#include "document/TabView.h"
#include "document/MyDocument.h"
#include "document/MyDocumentController.h"
#include "project/KELOpenWithManager.h"
#include "project/OpenQuicklyController.h"
#include "project/ProjectDocumentController.h"
#include "project/ProjectServices.h"
#include "project/ProjectSystem.h"

#include <QApplication>
#include <QCursor>
#include <QMenu>

void KELInstallApplicationProjectServices()
{
    KELInstallProjectServices();

    ProjectServices& services = ProjectServices::shared();
    services.movePath = [](const QString& source, const QString& destination, kit::Error* error) {
        return KELFileManager::defaultManager().movePathWithDocumentUpdate(source, destination, error);
    };
    services.copyPath = [](const QString& source, const QString& destination, kit::Error* error) {
        return KELFileManager::defaultManager().copyPathWithDocumentUpdate(source, destination, error);
    };
    services.moveToTrash = [](const QList<QUrl>& urls, QStringList* failures) {
        return KELFileManager::defaultManager().moveURLsToTrash(urls, failures);
    };
    services.askToReplace = [](const QList<ProjectFilePair>& pairs) {
        QList<FilePair> filePairs;
        for (const ProjectFilePair& pair : pairs)
            filePairs << FilePair(pair.oldPath, pair.newPath, pair.move ? FilePair::MoveOperation : 0);
        if (filePairs.isEmpty())
            return;
        // Deletes itself when its panel closes.
        auto* replace = new ReplaceFileController(filePairs);
        replace->showWindow();
    };
    services.addRecentProject = [](const QString& folder) { AppController::sharedInstance().addRecentProjectDirectory(folder); };
    services.openFiles = [](const QStringList& paths) { AppController::sharedInstance().openFiles(paths, true); };

    KELFileManager::setProjectUpdater([](const QString& path) { KELProjectsUpdateItemsOnPath(path); });
    TabView::setRevealHandler([](QWidget* window, const QString& path) { return KELRevealInDocumentTree(window, path); });
    AppController::setProjectAutosaveNamer([](const QString& folder) {
        return AppController::ProjectAutosaveNames{ProjectDocumentController::expandedItemAutosaveNameForDirectory(folder),
                                                   ProjectDocumentController::frameAutosaveNameForDirectory(folder),
                                                   ProjectDocumentController::splitViewAutosaveNameForDirectory(folder)};
    });

    AppController& app = AppController::sharedInstance();
    app.addAction(QStringLiteral("openQuickly:"), [](QObject*) { OpenQuicklyController::sharedInstance().showWindow(); });
    app.addAction(QStringLiteral("openWith:"), [](QObject*) {
        MyDocumentController* controller = MyDocumentController::sharedDocumentController();
        MyDocument* document = controller ? controller->activeDocument() : nullptr;
        if (!document || document->filePath().isEmpty()) {
            QApplication::beep();
            return;
        }
        const QList<QUrl> files{QUrl::fromLocalFile(document->filePath())};
        auto* menu = new QMenu(QStringLiteral("Open With"));
        menu->setAttribute(Qt::WA_DeleteOnClose);
        KELOpenWithManager::fillMenu(menu, files, [files] { return files; });
        menu->popup(QCursor::pos());
    }, [](QAction*) {
        MyDocumentController* controller = MyDocumentController::sharedDocumentController();
        MyDocument* document = controller ? controller->activeDocument() : nullptr;
        return document && !document->filePath().isEmpty();
    });
}
