#include "app/Application.h"

#include <QApplication>
#include <QMainWindow>
#include <QMenuBar>

int KELApplicationMain(int argc, char** argv)
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Kelp Studio"));
    QApplication::setOrganizationName(QStringLiteral("Kelp Studio"));
    QMainWindow window;
    window.setWindowTitle(QStringLiteral("Kelp Studio"));
    auto* quit = window.menuBar()->addMenu(QStringLiteral("&File"))->addAction(QStringLiteral("&Quit"));
    quit->setShortcut(QKeySequence::Quit);
    QObject::connect(quit, &QAction::triggered, &app, &QApplication::quit);
    window.resize(900, 700);
    window.show();
    return app.exec();
}
