#include "project/KELReadOnlyDocumentController.h"

#include "kit/document/WindowRestoration.h"
#include "project/KELImageController.h"
#include "project/KELPDFController.h"
#include "support/KELFileTypeManager.h"

#include <QFileInfo>
#include <QPointer>

namespace {
QList<QPointer<KELReadOnlyDocumentController>>& registry()
{
    static QList<QPointer<KELReadOnlyDocumentController>> list;
    return list;
}
} // namespace

KELReadOnlyDocumentController::KELReadOnlyDocumentController(const QUrl& url) : m_documentURL(url)
{
    setOwnsItself(true);
    setShouldCloseDocument(false);
}

KELReadOnlyDocumentController::~KELReadOnlyDocumentController()
{
    registry().removeAll(this);
}

KELReadOnlyDocumentController* KELReadOnlyDocumentController::controllerWithURL(const QUrl& url)
{
    const QString type = KELFileTypeManager::sharedInstance().typeNameForURL(url);
    KELReadOnlyDocumentController* controller = nullptr;
    if (type == KELImageTypeName)
        controller = new KELImageController(url);
    else if (type == KELPDFTypeName)
        controller = new KELPDFController(url);
    if (controller)
        registry() << controller;
    return controller;
}

QList<KELReadOnlyDocumentController*> KELReadOnlyDocumentController::openControllers()
{
    QList<KELReadOnlyDocumentController*> list;
    for (const auto& controller : registry()) {
        if (controller)
            list << controller.data();
    }
    return list;
}

KELReadOnlyDocumentController* KELReadOnlyDocumentController::openReadOnlyDocument(const QUrl& url, bool display)
{
    for (KELReadOnlyDocumentController* open : openControllers()) {
        if (open->documentURL() == url) {
            if (display)
                open->showWindow();
            return open;
        }
    }
    KELReadOnlyDocumentController* controller = controllerWithURL(url);
    if (!controller)
        return nullptr;
    controller->loadWindow();
    if (display)
        controller->showWindow();
    return controller;
}

KELReadOnlyDocumentController* KELReadOnlyDocumentController::restoreWindow(const QVariantMap& savedWindow)
{
    const QVariantMap state = savedWindow.value(kit::WindowRestoration::StateKey).toMap();
    const QUrl url(state.value(KELReadOnlyDocumentControllerURLKey).toString());
    if (!url.isLocalFile() || !QFileInfo::exists(url.toLocalFile()))
        return nullptr;
    return openReadOnlyDocument(url, true);
}

void KELReadOnlyDocumentController::loadWindow()
{
    if (window())
        return;
    QWidget* w = makeWindow();
    w->setAttribute(Qt::WA_DeleteOnClose, false);
    setWindow(w);
}

void KELReadOnlyDocumentController::setWindowTitle(const QString& title)
{
    if (window())
        window()->setWindowTitle(title);
}

void KELReadOnlyDocumentController::windowDidLoad()
{
    setWindowFrameAutosaveName(QStringLiteral("KELReadOnlyDocumentWindowFrame:%1").arg(QString::fromLatin1(metaObject()->className())));
    if (m_documentURL.isLocalFile()) {
        setWindowTitle(QFileInfo(m_documentURL.toLocalFile()).fileName());
        window()->setWindowFilePath(m_documentURL.toLocalFile());
    } else {
        setWindowTitle(QFileInfo(m_documentURL.path()).fileName());
    }
    loadDocument();
}

void KELReadOnlyDocumentController::windowWillClose()
{
    registry().removeAll(this);
    kit::WindowController::windowWillClose();
}

void KELReadOnlyDocumentController::encodeRestorableState(QVariantMap& state) const
{
    kit::WindowController::encodeRestorableState(state);
    state[KELReadOnlyDocumentControllerURLKey] = m_documentURL.toString();
}
