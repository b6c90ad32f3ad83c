#include "document/MyDocumentController.h"
#include "document/MyDocumentEditorSource.h"

#include "support/DefaultsKeys.h"
#include "document/DocumentWindowController.h"
#include "document/ExternalDocument.h"
#include "document/StandaloneDocumentController.h"
#include "support/StringAdditions.h"
#include "document/MyDocument.h"
#include "document/MyDocumentPlaceholder.h"
#include "kit/Alert.h"
#include "kit/Log.h"
#include "kit/NotificationCenter.h"
#include "kit/UserDefaults.h"
#include "kit/document/WindowController.h"
#include "support/KELEncodingPopUpButtonCell.h"
#include "support/KELFileTypeManager.h"

#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QGridLayout>
#include <QLabel>
#include <QPushButton>
#include <QWindow>

namespace {
QString urlKey(const QUrl& url)
{
    return url.isLocalFile() ? QDir::cleanPath(url.toLocalFile()) : url.toString();
}
} // namespace

MyDocumentController::MyDocumentController(QObject* parent) : kit::DocumentController(parent)
{
    // Side files for crash recovery, never the user's files.
    setAutosavingDelay(60);
    // The editor's find and go-to-line reach the documents through this.
    MyDocumentEditorSource::install();
    auto recompute = [this] { sendDocumentNotificationsIfNeeded(); };
    connect(qApp, &QGuiApplication::focusWindowChanged, this, recompute);
    connect(qApp, &QGuiApplication::applicationStateChanged, this, recompute);
    // Window controllers announce tab and current-document changes by name.
    for (const QString& name : {QStringLiteral("KELSelectedTabDidChangeNotification"),
                                QStringLiteral("KELCurrentDocumentDidChangeNotification")}) {
        kit::NotificationCenter::defaultCenter().addObserver(name, nullptr, [this](const kit::Notification&) { sendDocumentNotificationsIfNeeded(); }, this);
    }
}

MyDocumentController::~MyDocumentController() = default;

MyDocumentController* MyDocumentController::sharedDocumentController()
{
    return qobject_cast<MyDocumentController*>(kit::DocumentController::existingSharedDocumentController());
}

// ---------------------------------------------------------------- opening

kit::Document* MyDocumentController::openDocumentWithContentsOfURL(const QUrl& url, bool display, kit::Error* error)
{
    struct ForgetPick {
        MyDocumentController* controller;
        QUrl url;
        ~ForgetPick() { controller->m_pickedEncodings.remove(urlKey(url)); }
    } forget{this, url};

    QString typeName;
    if (opensInWindowOfItsOwn(url, &typeName)) {
        // Windows of their own are not documents: success answers no document and no error.
        openWindowForURL(url, display, error);
        return nullptr;
    }
    closeSingleUntitledDocument();
    if (!display)
        ++m_openingWithoutDisplay;
    kit::Document* document = kit::DocumentController::openDocumentWithContentsOfURL(url, display, error);
    if (!display)
        --m_openingWithoutDisplay;
    return document;
}

void MyDocumentController::openDocumentWithContentsOfURL(const QUrl& url, bool display, OpenDone done)
{
    if (opensInWindowOfItsOwn(url)) {
        kit::Error error;
        openWindowForURL(url, display, &error);
        // Windows of their own are not documents: success answers no document and no error.
        if (done)
            done(nullptr, error);
        return;
    }
    // The read takes the encoding picked in the Open dialog as it starts.
    kit::DocumentController::openDocumentWithContentsOfURL(url, display, std::move(done));
    m_pickedEncodings.remove(urlKey(url));
}

void MyDocumentController::addOpenedDocument(kit::Document* document, bool display)
{
    closeSingleUntitledDocument();
    if (!display)
        ++m_openingWithoutDisplay;
    kit::DocumentController::addOpenedDocument(document, display);
    if (!display)
        --m_openingWithoutDisplay;
}

namespace {
MyDocumentController::WindowOpener& windowOpener()
{
    static MyDocumentController::WindowOpener opener;
    return opener;
}
} // namespace

void MyDocumentController::setWindowOpener(WindowOpener opener)
{
    windowOpener() = std::move(opener);
}

bool MyDocumentController::opensInWindowOfItsOwn(const QUrl& url, QString* typeName)
{
    if (!url.isLocalFile())
        return false;
    const QFileInfo info(url.toLocalFile());
    const QString type = info.isDir() ? KELFolderTypeName : KELFileTypeManager::sharedInstance().typeNameForURL(url);
    if (typeName)
        *typeName = type;
    return type == KELFolderTypeName || type == KELImageTypeName || type == KELPDFTypeName;
}

kit::WindowController* MyDocumentController::openWindowForURL(const QUrl& url, bool display, kit::Error* error)
{
    QString typeName;
    if (!opensInWindowOfItsOwn(url, &typeName))
        return nullptr;
    const QFileInfo info(url.toLocalFile());
    kit::WindowController* window = windowOpener() ? windowOpener()(url, typeName, display, error) : nullptr;
    if (!window) {
        const QString what = typeName == KELFolderTypeName ? QStringLiteral("folder")
            : typeName == KELPDFTypeName                   ? QStringLiteral("PDF file")
                                                           : QStringLiteral("image");
        kit::setError(error, kit::Error::withDescription(kit::ErrorDomainCocoa, kit::FileReadUnknownError,
                                                         QStringLiteral("The %1 “%2” could not be opened.").arg(what, info.fileName()),
                                                         QStringLiteral("It may have been moved, or you may not have permission to read it.")));
    }
    return window;
}

MyDocument* MyDocumentController::openTextDocumentWithContentsOfURL(const QUrl& url, bool display, kit::Error* error)
{
    if (url.isLocalFile() && QFileInfo(url.toLocalFile()).isDir())
        return nullptr;
    closeSingleUntitledDocument();
    if (!display)
        ++m_openingWithoutDisplay;
    kit::Document* document = kit::DocumentController::openDocumentWithContentsOfURL(url, display, error);
    if (!display)
        --m_openingWithoutDisplay;
    return qobject_cast<MyDocument*>(document);
}

kit::Document* MyDocumentController::openUntitledDocumentAndDisplay(bool display, kit::Error* error)
{
    if (!display)
        ++m_openingWithoutDisplay;
    kit::Document* document = kit::DocumentController::openUntitledDocumentAndDisplay(display, error);
    if (!display)
        --m_openingWithoutDisplay;
    return document;
}

MyDocument* MyDocumentController::openDocumentForExternalEditor(const QUrl& url, const ExternalEditorRequest& request,
                                                                bool display, kit::Error* error)
{
    m_externalRequest = request.sender.isEmpty() ? std::nullopt : std::optional<ExternalEditorRequest>(request);
    kit::Document* document = openDocumentWithContentsOfURL(url, display, error);
    m_externalRequest.reset();
    return qobject_cast<MyDocument*>(document);
}

std::unique_ptr<kit::Document> MyDocumentController::makeDocumentForType(const QString&)
{
    if (m_externalRequest)
        return std::make_unique<ExternalDocument>(*m_externalRequest);
    return std::make_unique<MyDocument>();
}

std::unique_ptr<kit::Document> MyDocumentController::makeDocumentWithContentsOfURL(const QUrl& url, const QString& type,
                                                                                   kit::Error* error)
{
    std::unique_ptr<kit::Document> document = kit::DocumentController::makeDocumentWithContentsOfURL(url, type, error);
    if (document)
        document->setFileType(QStringLiteral("Plain Text"));
    return document;
}

void MyDocumentController::makeDocumentWithContentsOfURL(const QUrl& url, const QString& type, MakeDone done)
{
    kit::DocumentController::makeDocumentWithContentsOfURL(url, type,
        [done](std::unique_ptr<kit::Document> document, const kit::Error& error) {
            if (document)
                document->setFileType(QStringLiteral("Plain Text"));
            done(std::move(document), error);
        });
}

void MyDocumentController::closeSingleUntitledDocument()
{
    if (!kit::UserDefaults::standard().boolValue(KELCreateNewDocumentKey) || documents().size() != 1)
        return;
    auto* document = qobject_cast<MyDocument*>(documents().constFirst());
    if (!document || !document->kit::Document::fileURL().isEmpty() || document->isDocumentEdited()
        || projectDocuments().size() > 0)
        return;
    // A project window keeps its untitled document; a standalone one (or none) lets it go.
    if (document->windowController() && !qobject_cast<StandaloneDocumentController*>(document->windowController()))
        return;
    document->closeWithWindowUpdate();
}

void MyDocumentController::noteNewRecentDocument(kit::Document* document)
{
    if (m_openingProjects != 0)
        return;
    kit::DocumentController::noteNewRecentDocument(document);
}

// ---------------------------------------------------------------- picked encodings

kit::StringEncoding MyDocumentController::lastSelectedEncodingForURL(const QUrl& url) const
{
    return m_pickedEncodings.value(urlKey(url), kit::NoEncoding);
}

void MyDocumentController::setSelectedEncodingForURL(const QUrl& url, kit::StringEncoding encoding)
{
    m_pickedEncodings.insert(urlKey(url), encoding);
}

int MyDocumentController::runModalOpenPanel(QFileDialog& panel)
{
    const auto openDefault = kit::StringEncoding(kit::UserDefaults::standard().value(KELDefaultEncodingForOpen).toULongLong());
    KELEncodingPopUpButtonCell* popUp = nullptr;
    if (auto* grid = qobject_cast<QGridLayout*>(panel.layout())) {
        popUp = new KELEncodingPopUpButtonCell(true, openDefault == 0 ? kit::NoEncoding : openDefault, &panel);
        const int row = grid->rowCount();
        grid->addWidget(new QLabel(QStringLiteral("Text Encoding:"), &panel), row, 0);
        grid->addWidget(popUp, row, 1, 1, grid->columnCount() - 1);
    }
    if (auto* grid = qobject_cast<QGridLayout*>(panel.layout())) {
        // A folder opens as a project: the folder selected in the list, else the one shown.
        auto* openFolder = new QPushButton(QStringLiteral("Open Folder as Project"), &panel);
        openFolder->setObjectName(QStringLiteral("openFolderButton"));
        grid->addWidget(openFolder, grid->rowCount(), 1, 1, 1, Qt::AlignLeft);
        QObject::connect(openFolder, &QPushButton::clicked, &panel, [this, &panel] {
            QString folder = panel.directory().absolutePath();
            for (const QString& selected : panel.selectedFiles()) {
                if (QFileInfo(selected).isDir()) {
                    folder = selected;
                    break;
                }
            }
            m_folderChosenInOpenPanel = folder;
            static_cast<QDialog&>(panel).done(QDialog::Accepted);
        });
    }
    const int result = kit::DocumentController::runModalOpenPanel(panel);
    if (result == QDialog::Accepted && popUp) {
        const kit::StringEncoding picked = popUp->selectedEncoding();
        for (const QUrl& url : panel.selectedUrls())
            setSelectedEncodingForURL(url, picked);
    }
    return result;
}

QList<QUrl> MyDocumentController::URLsFromRunningOpenPanel()
{
    m_folderChosenInOpenPanel.clear();
    const QList<QUrl> urls = kit::DocumentController::URLsFromRunningOpenPanel();
    const QString folder = std::exchange(m_folderChosenInOpenPanel, QString());
    return folder.isEmpty() ? urls : QList<QUrl>{QUrl::fromLocalFile(folder)};
}

// ---------------------------------------------------------------- lookups

kit::Document* MyDocumentController::documentForURL(const QUrl& url) const
{
    if (m_inDocumentForURL) {
        kit::log(QStringLiteral("recursive call to documentForURL"));
        return nullptr;
    }
    m_inDocumentForURL = true;
    kit::Document* document = kit::DocumentController::documentForURL(url);
    m_inDocumentForURL = false;
    return document;
}

std::shared_ptr<DocumentContents> MyDocumentController::documentContentsForPath(const QString& path)
{
    if (auto* document = qobject_cast<MyDocument*>(documentForURL(QUrl::fromLocalFile(path)))) {
        // Open documents belong to the controller: hand out a non-owning pointer.
        return std::shared_ptr<DocumentContents>(std::shared_ptr<DocumentContents>(), document);
    }
    return std::make_shared<MyDocumentPlaceholder>(path);
}

QList<MyDocument*> MyDocumentController::allUntitledDocuments() const
{
    QList<MyDocument*> untitled;
    for (kit::Document* document : documents()) {
        auto* text = qobject_cast<MyDocument*>(document);
        if (text && document->kit::Document::fileURL().isEmpty())
            untitled << text;
    }
    return untitled;
}

MyDocument* MyDocumentController::untitledDocumentWithAutoSaveURL(const QUrl& url) const
{
    for (MyDocument* document : allUntitledDocuments()) {
        if (document->autosavedContentsFileURL() == url)
            return document;
    }
    return nullptr;
}

void MyDocumentController::removeDocument(kit::Document* document)
{
    if (!documents().contains(document))
        return;
    kit::NotificationCenter::defaultCenter().post(KELDocumentDidCloseNotification, document);
    if (document == m_activeDocument)
        m_activeDocument = nullptr;
    kit::DocumentController::removeDocument(document);
}

// ---------------------------------------------------------------- active document

void MyDocumentController::sendDocumentNotificationsIfNeeded(QWidget* window)
{
    if (!window)
        window = QApplication::activeWindow();
    MyDocument* candidate = nullptr;
    if (window) {
        bool documentWindow = false;
        for (kit::WindowController* controller : kit::WindowController::allWindowControllers()) {
            if (controller->window() == window) {
                candidate = qobject_cast<MyDocument*>(controller->document());
                documentWindow = true;
                break;
            }
        }
        // A panel or dialog in front (Find, Go to Line, the insert panels ...) works on
        // the document window behind it, which stays the active one.
        if (!documentWindow && m_activeDocument)
            return;
    }
    if (candidate == m_activeDocument)
        return;
    QPointer<MyDocument> old = m_activeDocument;
    m_activeDocument = candidate;
    auto& center = kit::NotificationCenter::defaultCenter();
    if (old)
        center.post(KELDocumentDidResignActiveNotification, old.data());
    if (candidate)
        center.post(KELDocumentDidBecomeActiveNotification, candidate);
    center.post(KELActiveDocumentDidChangeNotification, candidate);
}

// ---------------------------------------------------------------- windows

QList<DocumentWindowController*> MyDocumentController::documentWindowControllersFrontToBack()
{
    QList<DocumentWindowController*> windows;
    QWidget* active = QApplication::activeWindow();
    const QList<kit::WindowController*> all = kit::WindowController::allWindowControllers();
    for (kit::WindowController* controller : all) {
        auto* window = qobject_cast<DocumentWindowController*>(controller);
        if (window && active && window->window() == active)
            windows << window;
    }
    // Then the newest first: the one made last is the one the user saw last.
    for (auto it = all.crbegin(); it != all.crend(); ++it) {
        auto* window = qobject_cast<DocumentWindowController*>(*it);
        if (window && !windows.contains(window) && !window->isClosingWindow())
            windows << window;
    }
    return windows;
}

DocumentWindowController* MyDocumentController::firstStandaloneDocumentControllerWithTabs() const
{
    for (DocumentWindowController* window : documentWindowControllersFrontToBack()) {
        if (qobject_cast<StandaloneDocumentController*>(window) && window->usesTabs() && !window->isInCloseSequence())
            return window;
    }
    return nullptr;
}

DocumentWindowController* MyDocumentController::getWindowControllerForDocument(MyDocument* document)
{
    if (document && !document->isInViewingMode() && !document->filePath().isEmpty()) {
        if (DocumentWindowController* project = projectDocumentContainingPath(document->filePath()))
            return project;
    }
    if (kit::UserDefaults::standard().boolValue(KELUseTabbedInterfaceInStandaloneDocumentsKey)
        && !(document && document->isInViewingMode())) {
        if (DocumentWindowController* window = firstStandaloneDocumentControllerWithTabs())
            return window;
    }
    // Owns itself and goes away with its window.
    auto* window = new StandaloneDocumentController;
    window->loadWindow();
    return window;
}

DocumentWindowController* MyDocumentController::makeWindowControllerForDocument(MyDocument* document)
{
    DocumentWindowController* window = getWindowControllerForDocument(document);
    if (window)
        window->addDocument(document);
    return window;
}

QList<MyDocument*> MyDocumentController::visibleDocuments() const
{
    QList<MyDocument*> list;
    const QList<DocumentWindowController*> windows = documentWindowControllersFrontToBack();
    for (DocumentWindowController* window : windows) {
        MyDocument* current = window->currentDocument();
        if (current && window->window() && window->window()->isVisible() && !list.contains(current))
            list << current;
    }
    for (kit::Document* document : documents()) {
        auto* text = qobject_cast<MyDocument*>(document);
        if (!text || list.contains(text))
            continue;
        DocumentWindowController* window = text->windowController();
        if (window && window->currentDocument() == text)
            list << text;
    }
    return list;
}

MyDocument* MyDocumentController::frontMostDocument() const
{
    const QList<DocumentWindowController*> windows = documentWindowControllersFrontToBack();
    MyDocument* front = windows.isEmpty() ? nullptr : windows.constFirst()->currentDocument();
    const QList<MyDocument*> visible = visibleDocuments();
    if (front && visible.contains(front))
        return front;
    if (!visible.isEmpty())
        return visible.constFirst();
    return front;
}

QList<std::shared_ptr<DocumentContents>> MyDocumentController::allDocumentsAndPlaceholders() const
{
    QList<std::shared_ptr<DocumentContents>> list;
    // Entries by hash, so that a project of many files is not compared pair by pair.
    QMultiHash<size_t, qsizetype> byHash;
    auto known = [&list, &byHash](const DocumentContents& contents) {
        const auto range = byHash.equal_range(contents.contentsHash());
        for (auto it = range.first; it != range.second; ++it) {
            const DocumentContents& entry = *list.at(*it);
            if (entry.isEqualToContents(contents) || contents.isEqualToContents(entry))
                return true;
        }
        return false;
    };
    auto add = [&list, &byHash, &known](const std::shared_ptr<DocumentContents>& contents) {
        if (contents && !known(*contents)) {
            byHash.insert(contents->contentsHash(), list.size());
            list << contents;
        }
    };
    for (DocumentWindowController* window : documentWindowControllersFrontToBack()) {
        for (const std::shared_ptr<DocumentContents>& contents : window->allDocumentsAndPlaceholders())
            add(contents);
    }
    // Open documents that no window shows (a replace across files opens them so).
    for (kit::Document* document : documents()) {
        if (auto* text = qobject_cast<MyDocument*>(document))
            add(std::shared_ptr<DocumentContents>(std::shared_ptr<DocumentContents>(), text));
    }
    return list;
}

// ---------------------------------------------------------------- project registers

void MyDocumentController::addProjectDocument(DocumentWindowController* project)
{
    if (project && !projectDocuments().contains(project))
        m_projectDocuments << project;
}

void MyDocumentController::removeProjectDocument(DocumentWindowController* project)
{
    if (!project)
        return;
    kit::NotificationCenter::defaultCenter().post(QStringLiteral("KELProjectDidCloseNotification"), project);
    m_projectDocuments.removeAll(project);
}

QList<DocumentWindowController*> MyDocumentController::projectDocuments() const
{
    QList<DocumentWindowController*> list;
    for (const QPointer<DocumentWindowController>& project : m_projectDocuments) {
        if (project)
            list << project.data();
    }
    return list;
}

DocumentWindowController* MyDocumentController::projectDocumentContainingPath(const QString& path) const
{
    if (path.isEmpty())
        return nullptr;
    for (DocumentWindowController* project : projectDocuments()) {
        const QString folder = project->directory();
        if (!folder.isEmpty() && isSubpathOfString(folder, path))
            return project;
    }
    return nullptr;
}

// ---------------------------------------------------------------- closing all

void MyDocumentController::closeNextWindow(QList<QPointer<DocumentWindowController>> windows, std::function<void(bool)> done)
{
    while (!windows.isEmpty() && (!windows.constFirst() || windows.constFirst()->documents().isEmpty()))
        windows.removeFirst();
    if (windows.isEmpty()) {
        // Documents no window shows (opened without display) are asked one by one.
        QList<QPointer<kit::Document>> orphans;
        for (kit::Document* document : documents()) {
            auto* text = qobject_cast<MyDocument*>(document);
            if (!text || !text->windowController())
                orphans << document;
        }
        closeDocumentsInTurn(orphans, false, std::move(done));
        return;
    }
    QPointer<DocumentWindowController> window = windows.takeFirst();
    QPointer<MyDocumentController> self(this);
    window->closeAllDocuments([self, windows, done](bool didCloseAll) {
        if (!didCloseAll || !self) {
            done(didCloseAll);
            return;
        }
        self->closeNextWindow(windows, done);
    });
}

void MyDocumentController::closeAllDocuments(std::function<void(bool)> done)
{
    // A snapshot of the windows: each is asked once, so the chain always ends.
    QList<QPointer<DocumentWindowController>> windows;
    for (DocumentWindowController* window : documentWindowControllersFrontToBack())
        windows << window;
    closeNextWindow(windows, std::move(done));
}
