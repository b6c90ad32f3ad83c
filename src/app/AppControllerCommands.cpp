// The application-wide commands: opening files handed over from outside, the
// Recent Projects menu, the Close Window / Close Tab keys and the commands that
// are present but not available yet.

#include "app/AppController.h"

#include "support/InterfaceHelpers.h"
#include "support/DefaultsKeys.h"
#include "app/KELInstanceServer.h"
#include "app/MainMenu.h"
#include "componentui/KELComponentController.h"
#include "componentui/KELComponentLibraryController.h"
#include "componentui/KELComponentLibraryServices.h"
#include "document/TabView.h"
#include "document/MyDocument.h"
#include "document/MyDocumentCommands.h"
#include "document/MyDocumentController.h"
#include "kit/NotificationCenter.h"
#include "support/HelpUtils.h"
#include "support/Notifications.h"
#include "kit/ActionRouter.h"
#include "kit/Alert.h"
#include "kit/Log.h"
#include "kit/UserDefaults.h"
#include "kit/document/DocumentController.h"
#include "kit/document/WindowController.h"
#include "support/KELFileTypeManager.h"

#include <QAction>
#include <QApplication>
#include <QDBusInterface>
#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QMenu>
#include <QMainWindow>
#include <QMenuBar>
#include <QToolBar>

namespace {

AppController::ProjectAutosaveNamer& projectNamer()
{
    static AppController::ProjectAutosaveNamer namer;
    return namer;
}

bool revealInFileManager(const QString& path)
{
    QDBusInterface manager(QStringLiteral("org.freedesktop.FileManager1"), QStringLiteral("/org/freedesktop/FileManager1"),
                           QStringLiteral("org.freedesktop.FileManager1"));
    if (manager.isValid()) {
        manager.call(QStringLiteral("ShowItems"), QStringList{QUrl::fromLocalFile(path).toString()}, QString());
        return true;
    }
    return QDesktopServices::openUrl(QUrl::fromLocalFile(QFileInfo(path).absolutePath()));
}

QList<QMenuBar*> allMenuBars()
{
    QList<QMenuBar*> bars;
    for (QWidget* w : QApplication::topLevelWidgets())
        bars += w->findChildren<QMenuBar*>();
    return bars;
}

} // namespace

// ---------------------------------------------------------------- opening

AppController::OpenReply AppController::openFile(const QString& path, bool promptForExternal)
{
    return openFiles({path}, promptForExternal);
}

AppController::OpenReply AppController::openFiles(const QStringList& paths, bool promptForExternal)
{
    QStringList binary;
    QStringList text;
    for (const QString& path : paths) {
        const QFileInfo info(path);
        if (info.exists() && !info.isDir() && KELFileTypeManager::sharedInstance().typeNameForPath(path) == QLatin1String("Binary"))
            binary << path;
        else
            text << path;
    }
    auto openAll = [this](const QStringList& list, OpenReply reply) {
        for (const QString& path : list)
            if (!openFile(path))
                reply = OpenReplyFailure;
        return reply;
    };
    if (binary.isEmpty())
        return openAll(paths, OpenReplySuccess);

    int answer = kit::Alert::ThirdButtonReturn; // without asking: open externally
    if (promptForExternal) {
        const QString app = QCoreApplication::applicationName();
        kit::Alert alert;
        if (binary.size() == 1) {
            alert.setMessageText(QStringLiteral("The file \"%1\" does not have a file extension that %2 recognizes for text files.")
                                     .arg(QFileInfo(binary.first()).fileName(), app));
            alert.setInformativeText(QStringLiteral("File extensions can be configured in the \"File Types\" section of %1's "
                                                    "Preferences. You can open the file as text in %1, open in the default "
                                                    "external application, or cancel opening.").arg(app));
        } else {
            alert.setMessageText(QStringLiteral("Some of the selected files do not have file extensions that %1 recognizes for text files.").arg(app));
            alert.setInformativeText(QStringLiteral("File extensions can be configured in the \"File Types\" section of %1's "
                                                    "Preferences. You can open the files as text in %1, open in the default "
                                                    "external application, or cancel opening.").arg(app));
        }
        alert.addButton(QStringLiteral("Open as Text"));
        alert.addButton(QStringLiteral("Cancel"));
        alert.addButton(QStringLiteral("Open Externally"));
        answer = alert.runModal();
    }
    if (answer == kit::Alert::FirstButtonReturn)
        return openAll(paths, OpenReplySuccess);
    if (answer == kit::Alert::SecondButtonReturn)
        return openAll(text, OpenReplyCancel);
    for (const QString& path : binary) {
        const bool opened = m_externalOpener ? m_externalOpener(path) : QDesktopServices::openUrl(QUrl::fromLocalFile(path));
        if (!opened)
            revealInFileManager(path);
    }
    return openAll(text, OpenReplySuccess);
}

void AppController::openRequest(const KELOpenRequest& request)
{
    if (request.odbSender.isEmpty()) {
        openFiles(request.paths, true);
        return;
    }
    auto* controller = MyDocumentController::sharedDocumentController();
    if (!controller)
        return;
    const ExternalEditorRequest external{request.odbSender, request.odbToken, request.odbCustomPath};
    for (const QString& path : request.paths) {
        kit::Error error;
        if (!controller->openDocumentForExternalEditor(QUrl::fromLocalFile(path), external, true, &error)) {
            if (error && !error.isUserCancelled())
                kit::Alert::fromError(error).runModal();
            kit::log(QStringLiteral("Error opening file %1: %2").arg(path, error.localizedDescription()));
        }
    }
}

bool AppController::openFile(const QString& path)
{
    if (!QFileInfo::exists(path))
        return false;
    kit::Error error;
    bool opened = false;
    if (m_fileOpener) {
        opened = m_fileOpener(path, &error);
    } else if (auto* controller = MyDocumentController::sharedDocumentController()) {
        const QUrl url = QUrl::fromLocalFile(path);
        // Folders, images and PDF files open in windows of their own.
        if (MyDocumentController::opensInWindowOfItsOwn(url))
            opened = controller->openWindowForURL(url, true, &error) != nullptr;
        else
            opened = controller->openDocumentWithContentsOfURL(url, true, &error) != nullptr;
    }
    if (opened)
        return true;
    if (error && !error.isUserCancelled()) {
        kit::Alert::fromError(error).runModal();
    } else if (!error) {
        kit::Alert alert;
        alert.setMessageText(QStringLiteral("Error Opening Document"));
        alert.setInformativeText(QStringLiteral("An error occurred attempting to open the document."));
        alert.addButton(QStringLiteral("OK"));
        alert.runModal();
    }
    kit::log(QStringLiteral("Error opening file %1: %2").arg(path, error.localizedDescription()));
    return false;
}

// ---------------------------------------------------------------- recent projects

void AppController::setProjectAutosaveNamer(ProjectAutosaveNamer namer) { projectNamer() = std::move(namer); }

AppController::ProjectAutosaveNames AppController::projectAutosaveNames(const QString& folder)
{
    if (projectNamer())
        return projectNamer()(folder);
    return {QStringLiteral("KELProjectOutline ") + folder, QStringLiteral("KELProjectWindow ") + folder,
            QStringLiteral("KELProjectSplitView ") + folder};
}

void AppController::removeProjectDefaults(const QString& path)
{
    const ProjectAutosaveNames names = projectAutosaveNames(path);
    auto& defaults = kit::UserDefaults::standard();
    defaults.removeValue(QStringLiteral("NSOutlineView Items %1").arg(names.outline));
    defaults.removeValue(QStringLiteral("NSWindow Frame %1").arg(names.frame));
    defaults.removeValue(names.splitView);
}

void AppController::cleanupRecentProjects()
{
    auto& defaults = kit::UserDefaults::standard();
    QStringList list = defaults.stringListValue(KELRecentProjectsKey);
    for (qsizetype i = list.size() - 1; i >= 0; --i) {
        if (!QFileInfo::exists(list[i])) {
            removeProjectDefaults(list[i]);
            list.removeAt(i);
        }
    }
    defaults.setValue(KELRecentProjectsKey, list);
}

void AppController::addRecentProjectDirectory(const QString& path)
{
    cleanupRecentProjects();
    auto& defaults = kit::UserDefaults::standard();
    QStringList list = defaults.stringListValue(KELRecentProjectsKey);
    list.removeAll(path);
    list.insert(0, path);
    while (list.size() > MaximumRecentProjects) {
        removeProjectDefaults(list[MaximumRecentProjects]);
        list.removeAt(MaximumRecentProjects);
    }
    defaults.setValue(KELRecentProjectsKey, list);
    updateRecentProjects();
}

QStringList AppController::recentProjectTitles(const QStringList& paths)
{
    QHash<QString, int> counts;
    for (const QString& path : paths)
        counts[QFileInfo(path).fileName()] += 1;
    QStringList titles;
    for (const QString& path : paths) {
        const QFileInfo info(path);
        const QString title = menuPathString(path, counts.value(info.fileName()) > 1);
        titles << (title.isEmpty() ? path : title);
    }
    return titles;
}

void AppController::buildRecentProjectsMenu(QMenu* menu)
{
    if (!menu)
        return;
    menu->clear();
    const QStringList list = kit::UserDefaults::standard().stringListValue(KELRecentProjectsKey);
    const QStringList titles = recentProjectTitles(list);
    for (qsizetype i = 0; i < list.size(); ++i) {
        // A "&" in a folder's name is shown, not taken for a shortcut letter.
        QAction* item = menu->addAction(iconForPathOrGeneric(list[i]), QString(titles[i]).replace(QLatin1Char('&'), QStringLiteral("&&")));
        item->setData(list[i]);
        item->setToolTip(list[i]);
        const QString path = list[i];
        connect(item, &QAction::triggered, this, [this, path] { openRecentProject(path); });
    }
    if (!list.isEmpty())
        menu->addSeparator();
    QAction* clear = menu->addAction(QStringLiteral("Clear Menu"));
    clear->setObjectName(QStringLiteral("clearRecentProjects"));
    if (list.isEmpty())
        clear->setEnabled(false); // no action: shown disabled
    else
        connect(clear, &QAction::triggered, this, [this] { clearRecentProjectDocuments(); });
}

void AppController::buildRecentDocumentsMenu(QMenu* menu)
{
    if (!menu)
        return;
    menu->clear();
    auto* controller = kit::DocumentController::existingSharedDocumentController();
    const QList<QUrl> urls = controller ? controller->recentDocumentURLs() : QList<QUrl>();
    QStringList paths;
    for (const QUrl& url : urls)
        paths << url.toLocalFile();
    const QStringList titles = recentProjectTitles(paths);
    for (qsizetype i = 0; i < urls.size(); ++i) {
        QAction* item = menu->addAction(iconForPathOrGeneric(paths[i]), QString(titles[i]).replace(QLatin1Char('&'), QStringLiteral("&&")));
        item->setToolTip(paths[i]);
        const QUrl url = urls[i];
        connect(item, &QAction::triggered, this, [this, url] { openFile(url.toLocalFile()); });
    }
    if (!urls.isEmpty())
        menu->addSeparator();
    QAction* clear = menu->addAction(QStringLiteral("Clear Menu"));
    clear->setObjectName(QStringLiteral("clearRecentDocuments"));
    clear->setEnabled(!urls.isEmpty());
    connect(clear, &QAction::triggered, this, [] {
        if (auto* c = kit::DocumentController::existingSharedDocumentController())
            c->clearRecentDocuments();
    });
}

void AppController::updateRecentProjects()
{
    cleanupRecentProjects();
    for (QMenuBar* bar : allMenuBars())
        if (QMenu* menu = KELFindMenu(bar, QStringLiteral("recentProjects")))
            buildRecentProjectsMenu(menu);
}

void AppController::clearRecentProjectDocuments()
{
    auto& defaults = kit::UserDefaults::standard();
    for (const QString& path : defaults.stringListValue(KELRecentProjectsKey))
        removeProjectDefaults(path);
    defaults.setValue(KELRecentProjectsKey, QStringList());
    updateRecentProjects();
}

void AppController::openRecentProject(const QString& path)
{
    if (auto* controller = MyDocumentController::sharedDocumentController())
        controller->openDocumentWithContentsOfURL(QUrl::fromLocalFile(path), true, nullptr);
}

// ---------------------------------------------------------------- close keys

bool AppController::windowWantsTabCloseKey(QWidget* window)
{
    if (!window)
        return false;
    const auto bars = window->findChildren<TabView*>();
    qsizetype tabs = 0;
    for (TabView* bar : bars)
        tabs += bar->numTabs();
    const bool project = window->property("kelpProjectWindow").toBool();
    return (project && tabs >= 1) || tabs >= 2;
}

void AppController::updateCloseWindowCommands(QWidget* window)
{
    if (!window)
        return;
    const bool tabKey = windowWantsTabCloseKey(window);
    for (QMenuBar* bar : window->findChildren<QMenuBar*>()) {
        QAction* closeWindow = KELFindMenuItem(bar, QStringLiteral("closeWindow"));
        QAction* closeTab = KELFindMenuItem(bar, QStringLiteral("closeTab"));
        if (closeWindow)
            closeWindow->setShortcuts(tabKey ? QList<QKeySequence>{QKeySequence(QStringLiteral("Ctrl+Shift+W"))}
                                             : QList<QKeySequence>{QKeySequence(QStringLiteral("Ctrl+W")),
                                                                   QKeySequence(QStringLiteral("Ctrl+Shift+W"))});
        if (closeTab)
            closeTab->setShortcuts(tabKey ? QList<QKeySequence>{QKeySequence(QStringLiteral("Ctrl+W"))} : QList<QKeySequence>{});
    }
}

// ---------------------------------------------------------------- commands

QStringList AppController::unavailableCommands()
{
    // Every command of the menus has its window now.
    return {};
}

void AppController::installComponentLibraryCommand()
{
    KELInstallComponentLibraryServices();
    // The library and the component windows come back at the next start.
    KELComponentLibraryController::registerWindowRestoration();
    KELComponentController::registerWindowRestoration();
    // A chosen component opens in its window (the image map's own one included: the
    // windows register themselves by component name).
    KELComponentLibraryController::openComponentHandler()
        = [](const std::shared_ptr<KELComponent>& component, KELComponentLibraryController::WindowKind) {
              KELOpenComponentWindow(component);
          };
    addAction(QStringLiteral("showComponentLibrary:"), [](QObject*) {
        KELComponentLibraryController& library = KELComponentLibraryController::sharedInstance();
        // The application's menus, as in every main window.
        QMainWindow* window = library.window();
        if (!window->property("kelpMenuBar").toBool()) {
            window->setMenuBar(KELBuildMenuBar(window));
            window->setProperty("kelpMenuBar", true);
        }
        library.showWindow();
    });
}

// ---------------------------------------------------------------- documents and the View menu

namespace {

MyDocument* currentDocument()
{
    auto* controller = MyDocumentController::sharedDocumentController();
    return controller ? controller->activeDocument() : nullptr;
}

// A setting the View menu flips for every editor; its item shows the setting.
void addSettingToggle(AppController* app, const QString& action, const QString& key, const QString& notification)
{
    app->addAction(action, [key, notification](QObject*) {
        auto& defaults = kit::UserDefaults::standard();
        defaults.setValue(key, !defaults.boolValue(key));
        if (!notification.isEmpty())
            kit::NotificationCenter::defaultCenter().post(notification, &AppController::sharedInstance());
    }, [key](QAction* item) {
        item->setChecked(kit::UserDefaults::standard().boolValue(key));
        return currentDocument() != nullptr;
    });
}

} // namespace

void AppController::registerDocumentCommands()
{
    addAction(QStringLiteral("newDocument:"), [](QObject*) {
        kit::DocumentController::sharedDocumentController().newDocument();
    });
    addAction(QStringLiteral("openDocument:"), [](QObject*) {
        kit::DocumentController::sharedDocumentController().openDocument();
    });
    addAction(QStringLiteral("clearRecentDocuments:"), [](QObject*) {
        kit::DocumentController::sharedDocumentController().clearRecentDocuments();
    }, [](QAction*) {
        // Asking must not make a document controller (there is none between sessions of the tests).
        auto* controller = kit::DocumentController::existingSharedDocumentController();
        return controller && !controller->recentDocumentURLs().isEmpty();
    });
    addAction(QStringLiteral("runPageLayout:"), [](QObject*) {
        MyDocumentCommands::runPageLayout(kit::ActionRouter::shared().commandWindow());
    });
    addAction(QStringLiteral("showHelp:"), [](QObject*) { HelpUtils::showHelpPagePath(QString()); });

    addSettingToggle(this, QStringLiteral("toggleLineNumbers:"), KELLineNumbers, QString());
    addSettingToggle(this, QStringLiteral("toggleWordWrap:"), KELWordWrap, KELWordWrapNotification);

    // Show/Hide Live Preview: its title follows the current document; Refresh is
    // there only while a live preview shows. A window in front that answers the
    // preview commands itself (the component window) comes first in the chain.
    addAction(QStringLiteral("toggleLivePreview:"), [](QObject* sender) {
        kit::ActionRouter::shared().sendAction(QStringLiteral("quickPreview:"), sender);
    }, [](QAction* item) {
        MyDocument* document = currentDocument();
        item->setText(document && document->isLivePreviewing() ? QStringLiteral("Hide &Live Preview")
                                                               : QStringLiteral("Show &Live Preview"));
        return document != nullptr && kit::ActionRouter::shared().targetForAction(QStringLiteral("quickPreview:"));
    });
    addAction(QStringLiteral("refreshLivePreviewFromMenu:"), [](QObject* sender) {
        kit::ActionRouter::shared().sendAction(QStringLiteral("refreshLivePreview:"), sender);
    }, [](QAction*) {
        MyDocument* document = currentDocument();
        return document && document->isLivePreviewing()
            && kit::ActionRouter::shared().targetForAction(QStringLiteral("refreshLivePreview:"));
    });
}
