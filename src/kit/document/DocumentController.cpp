#include "kit/document/DocumentController.h"

#include "kit/Alert.h"
#include "kit/Log.h"
#include "kit/UserDefaults.h"
#include "kit/document/WindowController.h"

#include <QApplication>
#include <QDir>
#include <QEvent>
#include <QFileDialog>
#include <QFileInfo>
#include <QThreadPool>
#include <QTimer>
#include <QWidget>

namespace kit {

namespace {
DocumentController*& sharedSlot()
{
    static DocumentController* shared = nullptr;
    return shared;
}

std::function<QList<QUrl>()>& openPanelResponder()
{
    static std::function<QList<QUrl>()> responder;
    return responder;
}

QString cleanLocalPath(const QUrl& url)
{
    if (!url.isLocalFile())
        return QString();
    return QDir::cleanPath(url.toLocalFile());
}
} // namespace

DocumentController::DocumentController(QObject* parent) : QObject(parent)
{
    if (!sharedSlot()) {
        sharedSlot() = this;
        // A modal window may be the start of a long wait (or of a hang): the side
        // files are brought up to date before it.
        if (QCoreApplication* app = QCoreApplication::instance())
            app->installEventFilter(this);
    }
}

DocumentController::~DocumentController()
{
    if (sharedSlot() == this)
        sharedSlot() = nullptr;
    const QList<Document*> documents = m_documents;
    m_documents.clear();
    qDeleteAll(documents);
    // Reads still under way come back to nothing.
    m_readingDocuments.clear();
}

DocumentController& DocumentController::sharedDocumentController()
{
    if (!sharedSlot())
        new DocumentController(qApp);
    return *sharedSlot();
}

DocumentController* DocumentController::existingSharedDocumentController()
{
    return sharedSlot();
}

void DocumentController::resetSharedForTesting()
{
    delete sharedSlot();
    sharedSlot() = nullptr;
}

// ---------------------------------------------------------------- documents

void DocumentController::addDocument(Document* document)
{
    if (!document || m_documents.contains(document))
        return;
    m_documents << document;
    document->setParent(this);
    Q_EMIT documentAdded(document);
}

void DocumentController::removeDocument(Document* document)
{
    if (!m_documents.removeAll(document))
        return;
    Q_EMIT documentRemoved(document);
}

void DocumentController::forgetDocument(Document* document)
{
    m_documents.removeAll(document);
}

Document* DocumentController::documentForURL(const QUrl& url) const
{
    const QString path = cleanLocalPath(url);
    for (Document* document : m_documents) {
        if (path.isEmpty() ? document->fileURL() == url && !url.isEmpty() : cleanLocalPath(document->fileURL()) == path)
            return document;
    }
    return nullptr;
}

Document* DocumentController::currentDocument() const
{
    QWidget* active = QApplication::activeWindow();
    if (!active)
        return nullptr;
    for (WindowController* controller : WindowController::allWindowControllers()) {
        if (controller->window() == active && controller->document())
            return controller->document();
    }
    return nullptr;
}

bool DocumentController::hasEditedDocuments() const
{
    for (Document* document : m_documents) {
        if (document->isDocumentEdited())
            return true;
    }
    return false;
}

// ---------------------------------------------------------------- making

QString DocumentController::defaultType() const
{
    return QStringLiteral("Plain Text");
}

QString DocumentController::typeForContentsOfURL(const QUrl&, Error*) const
{
    return defaultType();
}

std::unique_ptr<Document> DocumentController::makeDocumentForType(const QString& type)
{
    if (m_factory)
        return m_factory(type);
    return nullptr;
}

std::unique_ptr<Document> DocumentController::makeUntitledDocumentOfType(const QString& type, Error* error)
{
    std::unique_ptr<Document> document = makeDocumentForType(type);
    if (!document) {
        setError(error, Error::withDescription(ErrorDomainCocoa, FileReadUnknownError,
                                               QStringLiteral("No document of the type “%1” can be made.").arg(type)));
        return nullptr;
    }
    document->setFileType(type);
    return document;
}

std::unique_ptr<Document> DocumentController::makeDocumentWithContentsOfURL(const QUrl& url, const QString& type, Error* error)
{
    std::unique_ptr<Document> document = makeDocumentForType(type);
    if (!document) {
        setError(error, Error::withDescription(ErrorDomainCocoa, FileReadUnknownError,
                                               QStringLiteral("No document of the type “%1” can be made.").arg(type)));
        return nullptr;
    }
    document->setFileType(type);
    // The document knows its file while it reads (readers look up per-file settings).
    document->setFileURL(url);
    if (!document->readFromURL(url, type, error))
        return nullptr;
    document->setFileModificationDate(Document::modificationDateOnDisk(url));
    return document;
}

namespace {
// Files are read one after another, so that files chosen together open in the
// order they were chosen.
QThreadPool* readingPool()
{
    static QPointer<QThreadPool> pool;
    if (!pool) {
        pool = new QThreadPool(QCoreApplication::instance());
        pool->setMaxThreadCount(1);
    }
    return pool;
}
} // namespace

void DocumentController::makeDocumentWithContentsOfURL(const QUrl& url, const QString& type, MakeDone done)
{
    std::unique_ptr<Document> document = makeDocumentForType(type);
    Document::BackgroundRead read;
    if (document) {
        document->setFileType(type);
        document->setFileURL(url);
        read = document->backgroundReadOfURL(url, type);
    }
    if (!read) {
        const Error error = document ? Error(ErrorDomainCocoa, FileReadUnknownError)
                                     : Error::withDescription(ErrorDomainCocoa, FileReadUnknownError,
                                           QStringLiteral("No document of the type “%1” can be made.").arg(type));
        QMetaObject::invokeMethod(this, [done, error] { done(nullptr, error); }, Qt::QueuedConnection);
        return;
    }
    // The document waits here, unseen, while a worker reads the file; the worker
    // holds only its read, and its result comes back with a queued call.
    const quint64 ticket = ++m_lastReadTicket;
    m_readingDocuments[ticket] = std::move(document);
    QPointer<DocumentController> self(this);
    readingPool()->start([self, read = std::move(read), ticket, url, type, done]() {
        std::shared_ptr<Document::ReadResult> result = read();
        QObject* app = QCoreApplication::instance();
        if (!app)
            return;
        QMetaObject::invokeMethod(app, [self, result, ticket, url, type, done] {
            if (self)
                self->finishReading(ticket, url, type, result, done);
        }, Qt::QueuedConnection);
    });
}

void DocumentController::finishReading(quint64 ticket, const QUrl& url, const QString& type,
                                       const std::shared_ptr<Document::ReadResult>& result, const MakeDone& done)
{
    auto waiting = m_readingDocuments.find(ticket);
    if (waiting == m_readingDocuments.end())
        return;
    std::unique_ptr<Document> document = std::move(waiting->second);
    m_readingDocuments.erase(waiting);
    Error error;
    if (!result || !document->readFromResult(url, type, *result, &error)) {
        if (error.isNull())
            error = Error(ErrorDomainCocoa, FileReadUnknownError);
        done(nullptr, error);
        return;
    }
    document->setFileModificationDate(Document::modificationDateOnDisk(url));
    done(std::move(document), Error());
}

std::unique_ptr<Document> DocumentController::makeDocumentForRestoration(const QUrl& url, const QUrl& autosaveURL,
                                                                         const QString& type, Error* error)
{
    const bool hasSideFile = autosaveURL.isLocalFile() && QFileInfo::exists(autosaveURL.toLocalFile());
    if (!hasSideFile)
        return url.isEmpty() ? nullptr : makeDocumentWithContentsOfURL(url, type, error);
    std::unique_ptr<Document> document = makeDocumentForType(type);
    if (!document)
        return nullptr;
    document->setFileType(type);
    document->setFileURL(url);
    Error sideFileError;
    if (!document->readFromURL(autosaveURL, type, &sideFileError)) {
        // The side file is left where it is; the document comes back as saved.
        log(QStringLiteral("Could not read the unsaved changes in %1: %2")
                .arg(autosaveURL.toLocalFile(), sideFileError.localizedDescription()));
        if (url.isEmpty()) {
            setError(error, sideFileError);
            return nullptr;
        }
        return makeDocumentWithContentsOfURL(url, type, error);
    }
    document->setAutosavedContentsFileURL(autosaveURL);
    if (!url.isEmpty())
        document->setFileModificationDate(Document::modificationDateOnDisk(url));
    // The side file holds changes the file does not.
    document->updateChangeCount(ChangeType::Done);
    document->updateChangeCount(ChangeType::Autosaved);
    return document;
}

Document* DocumentController::openUntitledDocumentAndDisplay(bool display, Error* error)
{
    std::unique_ptr<Document> made = makeUntitledDocumentOfType(defaultType(), error);
    if (!made)
        return nullptr;
    Document* document = made.release();
    addDocument(document);
    document->makeWindowControllers();
    if (display)
        document->showWindows();
    return document;
}

Document* DocumentController::openDocumentWithContentsOfURL(const QUrl& url, bool display, Error* error)
{
    if (Document* open = documentForURL(url)) {
        if (display)
            open->showWindows();
        return open;
    }
    const QString type = typeForContentsOfURL(url, error);
    if (type.isEmpty())
        return nullptr;
    std::unique_ptr<Document> made = makeDocumentWithContentsOfURL(url, type, error);
    if (!made)
        return nullptr;
    Document* document = made.release();
    addOpenedDocument(document, display);
    return document;
}

void DocumentController::openDocumentWithContentsOfURL(const QUrl& url, bool display, OpenDone done)
{
    if (Document* open = documentForURL(url)) {
        if (display)
            open->showWindows();
        if (done)
            done(open, Error());
        return;
    }
    auto pending = m_pendingOpens.find(url);
    if (pending != m_pendingOpens.end()) {
        pending->display = pending->display || display;
        if (done)
            pending->waiting.append(std::move(done));
        return;
    }
    Error error;
    const QString type = typeForContentsOfURL(url, &error);
    if (type.isEmpty()) {
        if (done)
            QMetaObject::invokeMethod(this, [done, error] { done(nullptr, error); }, Qt::QueuedConnection);
        return;
    }
    PendingOpen& opening = m_pendingOpens[url];
    opening.display = display;
    if (done)
        opening.waiting.append(std::move(done));
    QPointer<DocumentController> self(this);
    makeDocumentWithContentsOfURL(url, type, [self, url](std::unique_ptr<Document> made, const Error& error) {
        if (!self)
            return;
        const PendingOpen opening = self->m_pendingOpens.take(url);
        Document* document = nullptr;
        if (Document* open = self->documentForURL(url)) {
            // Opened meanwhile another way: that document stays the only one.
            document = open;
            if (opening.display)
                open->showWindows();
        } else if (made) {
            document = made.release();
            self->addOpenedDocument(document, opening.display);
        }
        for (const OpenDone& waiting : opening.waiting)
            waiting(document, document ? Error() : error);
    });
}

bool DocumentController::isOpeningURL(const QUrl& url) const
{
    return m_pendingOpens.contains(url);
}

void DocumentController::openDocumentPresentingErrors(const QUrl& url)
{
    openDocumentWithContentsOfURL(url, true, [](Document* document, const Error& error) {
        if (!document && !error.isNull() && !error.isUserCancelled())
            Alert::presentError(error, QApplication::activeWindow());
    });
}

void DocumentController::addOpenedDocument(Document* document, bool display)
{
    addDocument(document);
    noteNewRecentDocument(document);
    document->makeWindowControllers();
    if (display)
        document->showWindows();
}

void DocumentController::newDocument()
{
    Error error;
    if (!openUntitledDocumentAndDisplay(true, &error) && !error.isNull() && !error.isUserCancelled())
        Alert::presentError(error, QApplication::activeWindow());
}

void DocumentController::openDocument()
{
    // Each file is read on a worker; each failure is presented when its read ends.
    for (const QUrl& url : URLsFromRunningOpenPanel())
        openDocumentPresentingErrors(url);
}

// ---------------------------------------------------------------- recent documents

int DocumentController::maximumRecentDocumentCount() const
{
    const QVariant limit = UserDefaults::standard().value(RecentDocumentsLimitKey);
    bool ok = false;
    const int count = limit.toInt(&ok);
    return ok && count >= 0 ? count : 10;
}

QList<QUrl> DocumentController::recentDocumentURLs() const
{
    QList<QUrl> urls;
    for (const QString& path : UserDefaults::standard().stringListValue(RecentDocumentsKey)) {
        if (!path.isEmpty())
            urls << QUrl::fromLocalFile(path);
    }
    return urls;
}

void DocumentController::noteNewRecentDocumentURL(const QUrl& url)
{
    if (!url.isLocalFile())
        return;
    const QString path = QDir::cleanPath(url.toLocalFile());
    QStringList paths = UserDefaults::standard().stringListValue(RecentDocumentsKey);
    paths.removeAll(path);
    paths.prepend(path);
    const int limit = maximumRecentDocumentCount();
    while (paths.size() > limit)
        paths.removeLast();
    UserDefaults::standard().setValue(RecentDocumentsKey, paths);
}

void DocumentController::noteNewRecentDocument(Document* document)
{
    if (document && !document->fileURL().isEmpty())
        noteNewRecentDocumentURL(document->fileURL());
}

void DocumentController::clearRecentDocuments()
{
    UserDefaults::standard().removeValue(RecentDocumentsKey);
}

// ---------------------------------------------------------------- open panel

void DocumentController::setOpenPanelResponderForTesting(std::function<QList<QUrl>()> responder)
{
    openPanelResponder() = std::move(responder);
}

int DocumentController::runModalOpenPanel(QFileDialog& panel)
{
    return panel.exec();
}

QList<QUrl> DocumentController::URLsFromRunningOpenPanel()
{
    QFileDialog panel(QApplication::activeWindow());
    panel.setAcceptMode(QFileDialog::AcceptOpen);
    panel.setFileMode(QFileDialog::ExistingFiles);
    panel.setOption(QFileDialog::DontUseNativeDialog, true);
    if (openPanelResponder()) {
        // Tests still go through the subclass's preparation of the dialog.
        const QList<QUrl> urls = openPanelResponder()();
        panel.selectUrl(urls.value(0));
        return urls;
    }
    if (runModalOpenPanel(panel) != QDialog::Accepted)
        return {};
    return panel.selectedUrls();
}

// ---------------------------------------------------------------- quitting

void DocumentController::closeDocumentsInTurn(QList<QPointer<Document>> queue, bool editedOnly, std::function<void(bool)> done)
{
    while (!queue.isEmpty() && (!queue.constFirst() || (editedOnly && !queue.constFirst()->isDocumentEdited())))
        queue.removeFirst();
    if (queue.isEmpty()) {
        done(true);
        return;
    }
    QPointer<Document> document = queue.takeFirst();
    QPointer<DocumentController> self(this);
    document->canCloseDocument([self, document, queue, editedOnly, done](bool shouldClose) {
        if (!shouldClose) {
            done(false);
            return;
        }
        if (document)
            document->close();
        if (self)
            self->closeDocumentsInTurn(queue, editedOnly, done);
        else
            done(true);
    });
}

void DocumentController::askInTurn(QList<QPointer<Document>> queue, QList<QPointer<Document>> discarded, ReviewDone done)
{
    while (!queue.isEmpty() && (!queue.constFirst() || !queue.constFirst()->isDocumentEdited()))
        queue.removeFirst();
    if (queue.isEmpty()) {
        done(true, discarded);
        return;
    }
    QPointer<Document> document = queue.takeFirst();
    // The question names the document its window shows.
    if (!document->windowControllers().isEmpty())
        document->showWindows();
    QPointer<DocumentController> self(this);
    document->canCloseDocument([self, document, queue, discarded, done](bool shouldClose) mutable {
        if (!shouldClose) {
            done(false, {});
            return;
        }
        // Still edited after a yes: the user chose not to save it.
        if (document && document->isDocumentEdited())
            discarded << document;
        if (self)
            self->askInTurn(queue, discarded, done);
        else
            done(true, discarded);
    });
}

void DocumentController::reviewUnsavedDocumentsBeforeQuitting(ReviewDone done)
{
    QList<QPointer<Document>> edited;
    for (Document* document : m_documents) {
        if (document->isDocumentEdited())
            edited << document;
    }
    if (edited.size() <= 1) {
        askInTurn(edited, {}, std::move(done));
        return;
    }
    Alert alert;
    alert.setMessageText(QStringLiteral("You have %1 documents with unsaved changes. Do you want to review these changes before quitting?").arg(edited.size()));
    alert.setInformativeText(QStringLiteral("If you don’t review your documents, all your changes will be lost."));
    alert.addButton(QStringLiteral("Review Changes…"));
    alert.addButton(QStringLiteral("Cancel"));
    alert.addButton(QStringLiteral("Discard Changes"));
    const int response = alert.runModal();
    if (response == Alert::FirstButtonReturn)
        askInTurn(edited, {}, std::move(done));
    else if (response == Alert::ThirdButtonReturn)
        done(true, edited);
    else
        done(false, {});
}

void DocumentController::reviewUnsavedDocuments(std::function<void(bool)> done)
{
    reviewUnsavedDocumentsBeforeQuitting([done](bool shouldTerminate, const QList<QPointer<Document>>& discarded) {
        if (shouldTerminate) {
            for (const QPointer<Document>& document : discarded) {
                if (document)
                    document->close();
            }
        }
        done(shouldTerminate);
    });
}

void DocumentController::closeAllDocuments(std::function<void(bool)> done)
{
    QList<QPointer<Document>> all;
    for (Document* document : m_documents)
        all << document;
    QPointer<DocumentController> self(this);
    closeDocumentsInTurn(all, true, [self, done](bool ok) {
        if (ok && self) {
            const QList<Document*> rest = self->m_documents;
            for (Document* document : rest)
                document->close();
        }
        done(ok);
    });
}

void DocumentController::autosaveAllDocuments(std::function<void()> done)
{
    const QList<Document*> documents = m_documents;
    for (Document* document : documents) {
        QPointer<Document> guard(document);
        document->autosaveWithImplicitCancellability(false, [guard](const Error& error) {
            if (!error.isNull())
                log(QStringLiteral("Error autosaving: %1").arg(error.localizedDescription()));
        });
    }
    if (done)
        done();
}

void DocumentController::writeSideFilesNow()
{
    const QList<Document*> documents = m_documents;
    for (Document* document : documents)
        document->writeSideFileNow();
}

bool DocumentController::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::WindowBlocked && sharedSlot() == this)
        writeSideFilesNow();
    return QObject::eventFilter(watched, event);
}

void DocumentController::setAutosavingDelay(int seconds)
{
    m_autosavingDelay = qMax(0, seconds);
    if (!m_autosaveTimer) {
        m_autosaveTimer = new QTimer(this);
        connect(m_autosaveTimer, &QTimer::timeout, this, [this] { autosaveAllDocuments({}); });
    }
    if (m_autosavingDelay > 0)
        m_autosaveTimer->start(m_autosavingDelay * 1000);
    else
        m_autosaveTimer->stop();
}

} // namespace kit
