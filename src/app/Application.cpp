#include "app/Application.h"

#include "app/AppController.h"
#include "app/AppProjectServices.h"
#include "app/KELCrashReporter.h"
#include "app/KELInstanceServer.h"
#include "app/MainMenu.h"
#include "componentui/KELImageMapController.h"
#include "document/KELCheckerServices.h"
#include "document/DocumentSystem.h"
#include "document/DocumentWindowController.h"
#include "document/MyDocument.h"
#include "document/MyDocumentController.h"
#include "editor/HTMLSpellChecker.h"
#include "editor/KELHTMLView.h"
#include "kit/Log.h"
#include "kit/WindowPlacement.h"
#include "kit/Resources.h"
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
#include <QEvent>
#include <QFileInfo>
#include <QIcon>
#include <QLabel>
#include <QMainWindow>
#include <QPointer>
#include <QTimer>

#include <utility>
#include "KelpPaths.h"

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

KELApplication::KELApplication(Options options, QObject* parent)
    : QObject(parent), m_options(std::move(options))
{
    if (m_options.serverName.isEmpty())
        m_options.serverName = KELInstanceServer::serverName();
}

KELApplication::~KELApplication()
{
    if (qApp)
        qApp->removeEventFilter(this);
    delete m_placeholder.data();
}

bool KELApplication::start(const KELOpenRequest& request)
{
    // A second start in this session hands its files to the running instance.
    if (KELInstanceServer::handOff(request, m_options.serverName))
        return false;

    AppController& controller = AppController::sharedInstance();
    // Every window from the first (restored ones included) gets the menus and its
    // place: new windows open centred on the window they belong to, wholly on screen.
    qApp->installEventFilter(this);
    kit::installWindowPlacement();
    controller.installComponentLibraryCommand();
    // The first document controller made is the shared one; the document side
    // then starts and brings back the windows of the last session.
    if (!MyDocumentController::sharedDocumentController())
        new MyDocumentController(qApp);
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
    KELImageMapController::registerImageMapWindow();
    m_restoredWindows = KELStartDocumentSystem(m_options.restorationPath);

    // Files handed over before start-up has finished wait for it.
    m_pending << request;
    m_server = new KELInstanceServer(this);
    if (!m_server->listen(m_options.serverName))
        kit::log(QStringLiteral("Other starts cannot hand their files to this one: %1").arg(m_options.serverName));
    m_server->setHandler([this](const KELOpenRequest& r) {
        if (m_launched)
            openRequest(r);
        else
            m_pending << r;
    });

    // Shown only while no document window is open.
    m_placeholder = new QMainWindow;
    m_placeholder->setWindowTitle(QStringLiteral("Kelp Studio"));
    m_placeholder->setMenuBar(KELBuildMenuBar(m_placeholder));
    auto* welcome = new QLabel(QStringLiteral("Kelp Studio"));
    welcome->setAlignment(Qt::AlignCenter);
    m_placeholder->setCentralWidget(welcome);
    m_placeholder->resize(1000, 720);

    QTimer::singleShot(0, &controller, [self = QPointer<KELApplication>(this)] {
        if (self)
            self->finishLaunching();
    });
    return true;
}

void KELApplication::openRequest(const KELOpenRequest& request)
{
    AppController::sharedInstance().openRequest(request);
}

void KELApplication::finishLaunching()
{
    AppController& controller = AppController::sharedInstance();
    if (!controller.applicationDidFinishLaunching())
        return;
    m_launched = true;
    bool openedFiles = false;
    const QList<KELOpenRequest> pending = std::exchange(m_pending, {});
    for (const KELOpenRequest& r : pending) {
        openedFiles = openedFiles || !r.paths.isEmpty();
        openRequest(r);
    }
    if (!openedFiles && m_restoredWindows == 0 && controller.applicationShouldOpenUntitledFile()) {
        if (auto* documents = MyDocumentController::sharedDocumentController())
            documents->openUntitledDocumentAndDisplay(true, nullptr);
    }
    bool windowShown = false;
    for (QWidget* w : QApplication::topLevelWidgets())
        windowShown = windowShown || (w != m_placeholder && w->isVisible() && w->isWindow() && !w->inherits("QMenu"));
    if (!windowShown && m_placeholder)
        m_placeholder->show();
}

bool KELApplication::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == qApp && event->type() == QEvent::Quit) {
        AppController::sharedInstance().terminate();
        return true;
    }
    // Every main window carries the application's menus; panels and dialogs take
    // the menus' keys for the window behind them; modal dialogs keep the keyboard
    // to themselves.
    if (event->type() == QEvent::Show && watched->isWidgetType()) {
        auto* window = static_cast<QWidget*>(watched);
        const Qt::WindowType type = window->windowType();
        if (window->isWindow() && window->windowModality() == Qt::NonModal
            && !window->testAttribute(Qt::WA_ShowModal) && !(window->windowFlags() & Qt::WindowDoesNotAcceptFocus)
            && (type == Qt::Window || type == Qt::Dialog || type == Qt::Tool)) {
            if (type != Qt::Window || !KELInstallMenuBar(window))
                KELAddMenuKeyEquivalents(window);
        }
    }
    return QObject::eventFilter(watched, event);
}

QIcon KELApplicationIcon()
{
    QIcon icon = QIcon::fromTheme(QStringLiteral("kelp-studio"));
    if (!icon.isNull())
        return icon;
    const QString hicolor = kit::resourcesPath() + QStringLiteral("/icons/hicolor");
    const QString scalable = hicolor + QStringLiteral("/scalable/apps/kelp-studio.svg");
    if (QFileInfo::exists(scalable))
        icon.addFile(scalable);
    for (int size : {16, 22, 24, 32, 48, 64, 128, 256, 512}) {
        const QString png = hicolor + QStringLiteral("/%1x%1/apps/kelp-studio.png").arg(size);
        if (QFileInfo::exists(png))
            icon.addFile(png, QSize(size, size));
    }
    return icon;
}

int KELApplicationMain(int argc, char** argv)
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Kelp Studio"));
    QApplication::setOrganizationName(QStringLiteral("Kelp Studio"));
    QApplication::setApplicationVersion(QStringLiteral(KELP_VERSION));
    // The desktop finds the icon through the desktop entry; windows carry it themselves
    // too, for desktops that look at the window (and for a program not installed).
    QGuiApplication::setDesktopFileName(QStringLiteral("kelp-studio"));
    QApplication::setWindowIcon(KELApplicationIcon());

    const KELOpenRequest request = KELInstanceServer::parseArguments(app.arguments().mid(1), QDir::currentPath());
    // Reports of a crash are written from now on and offered at the next start.
    KELCrashReporter::sharedInstance().installCrashHandler();
    KELApplication application;
    if (!application.start(request))
        return 0;
    AppController& controller = AppController::sharedInstance();
    QObject::connect(&app, &QCoreApplication::aboutToQuit, &controller, [&controller] { controller.applicationWillTerminate(); });
    return app.exec();
}
