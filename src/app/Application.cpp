#include "app/Application.h"

#include "app/AppController.h"
#include "app/KELCrashReporter.h"
#include "app/MainMenu.h"

#include <QApplication>
#include <QLabel>
#include <QMainWindow>
#include <QTimer>

int KELApplicationMain(int argc, char** argv)
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Kelp Studio"));
    QApplication::setOrganizationName(QStringLiteral("Kelp Studio"));
    QApplication::setApplicationVersion(QStringLiteral(KELP_VERSION));

    // Reports of a crash are written from now on and offered at the next start.
    KELCrashReporter::sharedInstance().installCrashHandler();

    AppController& controller = AppController::sharedInstance();
    QObject::connect(&app, &QCoreApplication::aboutToQuit, &controller, [&controller] { controller.applicationWillTerminate(); });

    QMainWindow window;
    window.setWindowTitle(QStringLiteral("Kelp Studio"));
    window.setMenuBar(KELBuildMenuBar(&window));
    auto* welcome = new QLabel(QStringLiteral("Kelp Studio"));
    welcome->setAlignment(Qt::AlignCenter);
    window.setCentralWidget(welcome);
    window.resize(1000, 720);
    window.show();

    QTimer::singleShot(0, &controller, [&controller] { controller.applicationDidFinishLaunching(); });
    return app.exec();
}
