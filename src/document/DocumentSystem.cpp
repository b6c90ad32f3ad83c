#include "document/DocumentSystem.h"

#include "document/DocumentWindowController.h"
#include "support/KELComponentChecksum.h"
#include "document/KELFilePrefsManager.h"
#include "document/MyDocument.h"
#include "document/MyDocumentController.h"
#include "document/StandaloneDocumentController.h"
#include "kit/Log.h"
#include "kit/NotificationCenter.h"
#include "kit/document/WindowRestoration.h"
#include "syntax/SyntaxManager.h"

#include <QPointer>
#include <QTimer>

namespace {
// The store named at start-up serves every later save unless one is named.
QString& startPath()
{
    static QString path;
    return path;
}

// Once quitting is agreed the saved windows are the ones open before the
// closing began: nothing may save the (emptying) window list over them.
bool& windowListFrozen()
{
    static bool frozen = false;
    return frozen;
}

QString pathOr(const QString& path)
{
    if (!path.isEmpty())
        return path;
    return startPath().isEmpty() ? kit::WindowRestoration::defaultPath() : startPath();
}

// Document windows that hold documents and are not closing.
int openDocumentWindowCount()
{
    int count = 0;
    for (kit::WindowController* controller : kit::WindowController::allWindowControllers()) {
        auto* window = qobject_cast<DocumentWindowController*>(controller);
        if (window && !window->isClosingWindow() && !window->documents().isEmpty())
            ++count;
    }
    return count;
}
} // namespace

int KELStartDocumentSystem(const QString& restorationPath)
{
    // The file-type registry takes its syntax types from the syntax definitions
    // from its first use on.
    SyntaxManager::installAsFileTypeProvider();
    KELFilePrefsManager::installFileEncodingLookup();
    MyDocument::setChecksumVerifier([](const QString& text) { return KELComponentChecksum::verifyChecksumForFileContents(text); });
    DocumentWindowController::installTabbedEditorHooks();
    kit::WindowRestoration::registerRestorationClass(StandaloneDocumentController::RestorationClassName, [](const QVariantMap& window) {
        StandaloneDocumentController::restoreWindow(window);
    });
    if (!MyDocumentController::sharedDocumentController()) {
        kit::log(QStringLiteral("Windows are not restored: there is no document controller yet"));
        return 0;
    }
    MyDocumentController* controller = MyDocumentController::sharedDocumentController();
    startPath() = restorationPath;
    windowListFrozen() = false;
    // Only windows that came back with documents count: one whose documents all
    // went away (a file deleted, a side file gone) closes again at once.
    const int before = openDocumentWindowCount();
    kit::WindowRestoration::restoreWindows(pathOr(restorationPath));
    const int restored = openDocumentWindowCount() - before;
    // The windows are saved with the side files of unsaved documents as they go,
    // so a start after a crash brings both back.
    if (!controller->findChild<QTimer*>(QStringLiteral("KELWindowRestorationTimer"))) {
        auto* timer = new QTimer(controller);
        timer->setObjectName(QStringLiteral("KELWindowRestorationTimer"));
        const QString path = restorationPath;
        QObject::connect(timer, &QTimer::timeout, controller, [path] { KELSaveWindowsForRestoration(path); });
        timer->start(qMax(1, controller->autosavingDelay()) * 1000 + 1000);
        // A document's first side file (or its last going) is noted at once: after a
        // crash the next start finds it through the saved windows.
        auto* soon = new QTimer(controller);
        soon->setSingleShot(true);
        QObject::connect(soon, &QTimer::timeout, controller, [path] { KELSaveWindowsForRestoration(path); });
        kit::NotificationCenter::defaultCenter().addObserver(KELDocumentAutosaveURLDidChangeNotification, nullptr,
            [soon](const kit::Notification&) { soon->start(0); }, soon);
    }
    return qMax(0, restored);
}

bool KELSaveWindowsForRestoration(const QString& restorationPath)
{
    if (windowListFrozen())
        return false;
    QList<kit::WindowController*> windows;
    for (kit::WindowController* controller : kit::WindowController::allWindowControllers()) {
        auto* window = qobject_cast<DocumentWindowController*>(controller);
        if (window && !window->isClosingWindow() && (!window->documents().isEmpty() || !window->closesWithLastDocument()))
            windows << window;
        // Other windows that can be restored (the image and PDF viewers).
        else if (!window && !controller->restorationClassName().isEmpty() && controller->window() && controller->window()->isVisible())
            windows << controller;
    }
    kit::Error error;
    if (!kit::WindowRestoration::saveWindows(windows, pathOr(restorationPath), &error)) {
        kit::log(QStringLiteral("Could not save the windows for the next start: %1").arg(error.localizedDescription()));
        return false;
    }
    return true;
}

void KELStopDocumentSystem(std::function<void(bool)> done, const QString& restorationPath)
{
    MyDocumentController* controller = MyDocumentController::sharedDocumentController();
    if (!controller) {
        KELSaveWindowsForRestoration(restorationPath);
        windowListFrozen() = true;
        done(true);
        return;
    }
    // Every question comes first; nothing closes until all are answered, so a
    // Cancel leaves every window as it was. The windows are saved as they stand
    // now as well, in case the answers take long.
    KELSaveWindowsForRestoration(restorationPath);
    controller->reviewUnsavedDocumentsBeforeQuitting(
        [done, restorationPath](bool shouldTerminate, const QList<QPointer<kit::Document>>& discarded) {
            if (!shouldTerminate) {
                done(false);
                return;
            }
            // What the user chose not to keep does not come back: an untitled
            // document is left out, a file comes back as saved.
            for (const QPointer<kit::Document>& document : discarded) {
                if (document)
                    document->removeAutosaveFile();
            }
            KELSaveWindowsForRestoration(restorationPath);
            windowListFrozen() = true;
            KELCloseAllDocumentsWithoutAsking();
            done(true);
        });
}

void KELCloseAllDocumentsWithoutAsking()
{
    for (kit::WindowController* controller : kit::WindowController::allWindowControllers()) {
        if (auto* window = qobject_cast<DocumentWindowController*>(controller); window && !window->isClosingWindow())
            window->closeWindowNow();
    }
    // Documents opened without a window of their own.
    if (MyDocumentController* controller = MyDocumentController::sharedDocumentController()) {
        const QList<kit::Document*> rest = controller->documents();
        for (kit::Document* document : rest)
            document->close();
    }
}

void KELResumeSavingWindowsForRestoration()
{
    windowListFrozen() = false;
}
