#include "app/Application.h"

#include "app/AppController.h"
#include "app/AppProjectServices.h"
#include "app/KELCrashReporter.h"
#include "app/KELInstanceServer.h"
#include "app/MainMenu.h"
#include "document/KELCheckerServices.h"
#include "document/DocumentSystem.h"
#include "document/DocumentWindowController.h"
#include "document/MyDocument.h"
#include "document/MyDocumentController.h"
#include "editor/HTMLSpellChecker.h"
#include "editor/KELHTMLView.h"
#include "kit/NotificationCenter.h"
#include "syntax/DocumentColoringManager.h"
#include "editor/CodeCompletionController.h"
#include "html/KELCodeClipsManager.h"
#include "htmlui/KELCodeClipMenus.h"
#include "htmlui/QuickInsertMenu.h"
#include "app/TypeColoringPreferences.h"
#include "document/DocumentWindowController.h"
#include "syntax/KELCodeNavigatorView.h"
#include "syntax/KELCodeNavigatorViewController.h"

#include <QApplication>
#include <QDir>
#include <QLabel>
#include <QMainWindow>
#include <QPointer>
#include <QTimer>

namespace {
// Each window's navigator follows the window's current document.
void installCodeNavigator()
{
    DocumentWindowController::setCodeNavigatorFactory([](DocumentWindowController* window) -> QWidget* {
        auto* navigator = new KELCodeNavigatorViewController;
        KELCodeNavigatorView* pane = navigator->navigatorView();
        if (!pane) {
            delete navigator;
            return nullptr;
        }
        navigator->setParent(pane);
        navigator->setOpenFileHandler([](const QString& path) {
            return AppController::sharedInstance().openFile(path, false) == AppController::OpenReplySuccess;
        });
        QPointer<DocumentWindowController> guard(window);
        auto follow = [navigator, guard] {
            MyDocument* document = guard ? guard->currentDocument() : nullptr;
            DocumentColoringManager* coloring = document ? document->coloringManager() : nullptr;
            navigator->setCurrentDocument(coloring ? coloring->structure() : nullptr,
                document ? document->textView() : nullptr,
                [d = QPointer<MyDocument>(document)] { return d ? d->fileURL() : QUrl(); });
        };
        kit::NotificationCenter::defaultCenter().addObserver(
            KELCurrentDocumentDidChangeNotification, window, [follow](const kit::Notification&) { follow(); }, navigator);
        follow();
        return pane;
    });
}
} // namespace

int KELApplicationMain(int argc, char** argv)
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Kelp Studio"));
    QApplication::setOrganizationName(QStringLiteral("Kelp Studio"));
    QApplication::setApplicationVersion(QStringLiteral(KELP_VERSION));

    // A second start hands its files to the running instance.
    const KELOpenRequest request = KELInstanceServer::parseArguments(app.arguments().mid(1), QDir::currentPath());
    if (KELInstanceServer::handOff(request))
        return 0;

    // Reports of a crash are written from now on and offered at the next start.
    KELCrashReporter::sharedInstance().installCrashHandler();

    AppController& controller = AppController::sharedInstance();
    QObject::connect(&app, &QCoreApplication::aboutToQuit, &controller, [&controller] { controller.applicationWillTerminate(); });
    // The first document controller made is the shared one; the document side
    // then starts and brings back the windows of the last session.
    new MyDocumentController(&app);
    // The services the documents' commands call, in place before any window opens.
    KELInstallCheckerServices();
    HTMLSpellChecker::installAsSharedSpellChecker();
    installCodeNavigator();
    // Completion, code clips and Quick Insert: the shared list, the clip store (its
    // problems are reported before any window opens), the Clips menus and Ctrl+digit.
    CodeCompletionController::sharedInstance();
    KELCodeClipsManager::sharedInstance();
    KELCodeClipMenus::install();
    DocumentWindowController::setQuickInsertMenuProvider([] { return QuickInsertMenu::quickInsertMenu(); });
    KELInstallSyntaxPreferencePanes();
    KELInstallApplicationProjectServices();
    const int restoredWindows = KELStartDocumentSystem();

    // Files handed over before start-up has finished wait for it.
    bool launched = false;
    QList<KELOpenRequest> pending{request};
    KELInstanceServer server;
    server.listen();
    server.setHandler([&controller, &launched, &pending](const KELOpenRequest& r) {
        if (launched)
            controller.openRequest(r);
        else
            pending << r;
    });

    // Shown only while no document window is open.
    QMainWindow placeholder;
    placeholder.setWindowTitle(QStringLiteral("Kelp Studio"));
    placeholder.setMenuBar(KELBuildMenuBar(&placeholder));
    auto* welcome = new QLabel(QStringLiteral("Kelp Studio"));
    welcome->setAlignment(Qt::AlignCenter);
    placeholder.setCentralWidget(welcome);
    placeholder.resize(1000, 720);

    QTimer::singleShot(0, &controller, [&controller, &placeholder, &launched, &pending, restoredWindows] {
        if (!controller.applicationDidFinishLaunching())
            return;
        launched = true;
        bool openedFiles = false;
        for (const KELOpenRequest& r : std::as_const(pending)) {
            openedFiles = openedFiles || !r.paths.isEmpty();
            controller.openRequest(r);
        }
        pending.clear();
        if (!openedFiles && restoredWindows == 0 && controller.applicationShouldOpenUntitledFile()) {
            if (auto* documents = MyDocumentController::sharedDocumentController())
                documents->openUntitledDocumentAndDisplay(true, nullptr);
        }
        bool windowShown = false;
        for (QWidget* w : QApplication::topLevelWidgets())
            windowShown = windowShown || (w != &placeholder && w->isVisible() && w->isWindow() && !w->inherits("QMenu"));
        if (!windowShown)
            placeholder.show();
    });
    return app.exec();
}
