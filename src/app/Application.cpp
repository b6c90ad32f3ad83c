#include "app/Application.h"

#include "app/AppController.h"
#include "app/KELCrashReporter.h"
#include "app/KELInstanceServer.h"
#include "app/MainMenu.h"
#include "document/DocumentSystem.h"
#include "document/MyDocument.h"
#include "document/MyDocumentController.h"

#include <QApplication>
#include <QDir>
#include <QLabel>
#include <QMainWindow>
#include <QTimer>

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
