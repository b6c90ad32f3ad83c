#include "document/DocumentSystem.h"

#include "document/DocumentWindowController.h"
#include "support/KELComponentChecksum.h"
#include "document/KELFilePrefsManager.h"
#include "document/MyDocument.h"
#include "document/MyDocumentController.h"
#include "document/StandaloneDocumentController.h"
#include "kit/Log.h"
#include "kit/document/WindowRestoration.h"
#include "syntax/SyntaxManager.h"

#include <QPointer>
#include <QTimer>

namespace {
QString pathOr(const QString& path)
{
    return path.isEmpty() ? kit::WindowRestoration::defaultPath() : path;
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
    const int before = int(kit::WindowController::allWindowControllers().size());
    kit::WindowRestoration::restoreWindows(pathOr(restorationPath));
    const int restored = int(kit::WindowController::allWindowControllers().size()) - before;
    // The windows are saved with the side files of unsaved documents as they go,
    // so a start after a crash brings both back.
    if (!controller->findChild<QTimer*>(QStringLiteral("KELWindowRestorationTimer"))) {
        auto* timer = new QTimer(controller);
        timer->setObjectName(QStringLiteral("KELWindowRestorationTimer"));
        const QString path = restorationPath;
        QObject::connect(timer, &QTimer::timeout, controller, [path] { KELSaveWindowsForRestoration(path); });
        timer->start(qMax(1, controller->autosavingDelay()) * 1000 + 1000);
    }
    return qMax(0, restored);
}

bool KELSaveWindowsForRestoration(const QString& restorationPath)
{
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
    KELSaveWindowsForRestoration(restorationPath);
    MyDocumentController* controller = MyDocumentController::sharedDocumentController();
    if (!controller) {
        done(true);
        return;
    }
    controller->reviewUnsavedDocuments(std::move(done));
}
