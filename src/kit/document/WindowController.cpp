#include "kit/document/WindowController.h"

#include "kit/UserDefaults.h"
#include "kit/WindowPlacement.h"
#include "kit/document/Document.h"

#include <QCloseEvent>
#include <QHash>
#include <QWidget>

#include <memory>
#include <optional>

namespace kit {

namespace {
QList<WindowController*>& liveControllers()
{
    static QList<WindowController*> list;
    return list;
}

// Which controller's window uses each frame autosave name.
QHash<QString, WindowController*>& frameNames()
{
    static QHash<QString, WindowController*> names;
    return names;
}

void releaseFrameName(WindowController* controller, const QString& name)
{
    if (!name.isEmpty() && frameNames().value(name) == controller)
        frameNames().remove(name);
}
} // namespace

WindowController::WindowController(QWidget* window, QObject* parent) : QObject(parent)
{
    liveControllers() << this;
    if (window)
        setWindow(window);
}

WindowController::~WindowController()
{
    liveControllers().removeAll(this);
    releaseFrameName(this, m_frameAutosaveName);
    if (m_document)
        m_document->removeWindowController(this);
    if (m_window) {
        m_window->removeEventFilter(this);
        delete m_window.data();
    }
}

QList<WindowController*> WindowController::allWindowControllers()
{
    return liveControllers();
}

void WindowController::setWindow(QWidget* window)
{
    if (window == m_window)
        return;
    if (m_window)
        m_window->removeEventFilter(this);
    m_window = window;
    if (window) {
        window->installEventFilter(this);
        synchronizeWindowTitleWithDocumentName();
        windowDidLoad();
    }
}

void WindowController::loadWindow()
{
    if (!m_window)
        setWindow(new QWidget);
}

void WindowController::setDocument(Document* document)
{
    if (document == m_document)
        return;
    if (m_document) {
        disconnect(m_document, nullptr, this, nullptr);
        m_document->removeWindowController(this);
    }
    m_document = document;
    if (document) {
        document->addWindowController(this);
        connect(document, &Document::fileURLChanged, this, &WindowController::synchronizeWindowTitleWithDocumentName);
        connect(document, &Document::editedStateChanged, this, &WindowController::synchronizeWindowTitleWithDocumentName);
    }
    synchronizeWindowTitleWithDocumentName();
}

void WindowController::synchronizeWindowTitleWithDocumentName()
{
    if (!m_window || !m_document)
        return;
    // "[*]" is where the window shows its modified mark.
    m_window->setWindowTitle(windowTitleForDocumentDisplayName(m_document->displayName()) + QStringLiteral("[*]"));
    m_window->setWindowModified(m_document->isDocumentEdited());
    if (m_document->filePath().isEmpty())
        m_window->setWindowFilePath(QString());
}

void WindowController::showWindow()
{
    loadWindow();
    m_window->show();
    m_window->raise();
    m_window->activateWindow();
}

void WindowController::close()
{
    if (m_window)
        m_window->close();
}

QString WindowController::frameDefaultsKey(const QString& name)
{
    return QStringLiteral("NSWindow Frame %1").arg(name);
}

bool WindowController::setWindowFrameAutosaveName(const QString& name)
{
    if (name == m_frameAutosaveName && (name.isEmpty() || frameNames().value(name) == this))
        return true;
    if (!name.isEmpty()) {
        WindowController* holder = frameNames().value(name);
        if (holder && holder != this)
            return false;
    }
    releaseFrameName(this, m_frameAutosaveName);
    m_frameAutosaveName = name;
    if (!name.isEmpty()) {
        frameNames().insert(name, this);
        setFrameUsingName(name);
    }
    return true;
}

void WindowController::saveFrameUsingName(const QString& name) const
{
    if (!m_window || name.isEmpty())
        return;
    UserDefaults::standard().setValue(frameDefaultsKey(name), m_window->saveGeometry());
}

bool WindowController::setFrameUsingName(const QString& name)
{
    if (!m_window || name.isEmpty())
        return false;
    const QVariant stored = UserDefaults::standard().value(frameDefaultsKey(name));
    if (stored.typeId() != QMetaType::QByteArray)
        return false;
    if (!m_window->restoreGeometry(stored.toByteArray()))
        return false;
    // A frame saved on a larger or another screen comes back wholly on this one.
    keepWindowOnScreen(m_window);
    return true;
}

void WindowController::encodeRestorableState(QVariantMap& state) const
{
    if (m_window)
        state[QStringLiteral("frame")] = m_window->saveGeometry();
}

void WindowController::restoreState(const QVariantMap& state)
{
    const QByteArray frame = state.value(QStringLiteral("frame")).toByteArray();
    if (m_window && !frame.isEmpty() && m_window->restoreGeometry(frame))
        keepWindowOnScreen(m_window);
}

QList<Document*> WindowController::documentsForRestoration() const
{
    if (m_document)
        return {m_document.data()};
    return {};
}

void WindowController::windowShouldClose(std::function<void(bool)> done)
{
    if (!m_shouldCloseDocument || !m_document) {
        done(true);
        return;
    }
    m_document->canCloseDocument(std::move(done));
}

void WindowController::windowWillClose()
{
    if (!m_frameAutosaveName.isEmpty()) {
        saveFrameUsingName(m_frameAutosaveName);
        // The next window of the kind may take the name (and the frame).
        releaseFrameName(this, m_frameAutosaveName);
        m_frameAutosaveName.clear();
    }
    if (m_shouldCloseDocument && m_document) {
        Document* document = m_document;
        setDocument(nullptr);
        document->close();
    }
    Q_EMIT windowClosed();
    if (m_ownsItself)
        deleteLater();
}

bool WindowController::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_window && (event->type() == QEvent::Move || event->type() == QEvent::Resize)
        && !m_frameAutosaveName.isEmpty() && m_window->isVisible()
        && !(m_window->windowState() & (Qt::WindowMinimized | Qt::WindowFullScreen)))
        saveFrameUsingName(m_frameAutosaveName);
    if (watched == m_window && event->type() == QEvent::Close) {
        if (m_closeApproved) {
            m_closeApproved = false;
            windowWillClose();
            return false;
        }
        if (m_closing) {
            event->ignore();
            return true;
        }
        // Ask first; the answer may come at once or later (a sheet).
        m_closing = true;
        auto answer = std::make_shared<std::optional<bool>>();
        auto waiting = std::make_shared<bool>(true);
        QPointer<WindowController> self(this);
        windowShouldClose([self, answer, waiting](bool ok) {
            if (*waiting) {
                *answer = ok;
                return;
            }
            if (!self)
                return;
            self->m_closing = false;
            if (ok && self->m_window) {
                self->m_closeApproved = true;
                self->m_window->close();
            }
        });
        *waiting = false;
        if (answer->has_value()) {
            m_closing = false;
            if (**answer) {
                event->accept();
                windowWillClose();
                return false;
            }
        }
        event->ignore();
        return true;
    }
    return QObject::eventFilter(watched, event);
}

} // namespace kit
