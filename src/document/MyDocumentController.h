#pragma once
// The application's document controller: every open passes through it. It
// decides what a URL becomes, remembers the encoding picked in the Open dialog
// per URL, finds documents by URL or path, makes external-editor documents for
// opens that name a sender, and tracks the active document.

#include "support/Notifications.h"
#include "editor/DocumentContents.h"
#include "kit/Types.h"
#include "kit/document/DocumentController.h"

#include <QHash>
#include <QPointer>
#include <QUrl>
#include <functional>
#include <memory>
#include <optional>

class DocumentWindowController;
class MyDocument;
namespace kit {
class WindowController;
}
class QWidget;

/// What an external editor client asked for with an open (see ExternalDocument).
struct ExternalEditorRequest {
    QString sender;                 // the client's D-Bus service name
    std::optional<QString> token;   // handed back with every notice
    QString customPath;             // shown instead of the file's name
};

class MyDocumentController : public kit::DocumentController {
    Q_OBJECT
public:
    explicit MyDocumentController(QObject* parent = nullptr);
    ~MyDocumentController() override;

    /// The shared controller when it is one of these (none otherwise).
    static MyDocumentController* sharedDocumentController();

    // -- Opening
    kit::Document* openDocumentWithContentsOfURL(const QUrl& url, bool display, kit::Error* error) override;
    /// The same with the file read on a worker; a folder, an image or a PDF file
    /// opens its window at once.
    void openDocumentWithContentsOfURL(const QUrl& url, bool display, OpenDone done) override;
    /// Opens any file as a text document; a folder gives none without error.
    MyDocument* openTextDocumentWithContentsOfURL(const QUrl& url, bool display, kit::Error* error);
    /// An open on behalf of an external editor client.
    /// A folder, an image or a PDF file opens in a window of its own (a project
    /// window, a viewer) rather than as a text document; typeName tells which.
    static bool opensInWindowOfItsOwn(const QUrl& url, QString* typeName = nullptr);
    /// Opens such a URL in its window; null (with the error) when it cannot.
    kit::WindowController* openWindowForURL(const QUrl& url, bool display, kit::Error* error);
    /// What makes those windows (the projects part of the program installs it).
    using WindowOpener = std::function<kit::WindowController*(const QUrl& url, const QString& typeName, bool display, kit::Error* error)>;
    static void setWindowOpener(WindowOpener opener);
    MyDocument* openDocumentForExternalEditor(const QUrl& url, const ExternalEditorRequest& request, bool display, kit::Error* error);
    std::unique_ptr<kit::Document> makeDocumentForType(const QString& type) override;
    std::unique_ptr<kit::Document> makeDocumentWithContentsOfURL(const QUrl& url, const QString& type, kit::Error* error) override;
    void makeDocumentWithContentsOfURL(const QUrl& url, const QString& type, MakeDone done) override;
    QString defaultType() const override { return QStringLiteral("Plain Text"); }

    /// The external-editor request of the open under way, if any.
    const std::optional<ExternalEditorRequest>& currentExternalEditorRequest() const { return m_externalRequest; }

    // -- Encodings picked in the Open dialog
    kit::StringEncoding lastSelectedEncodingForURL(const QUrl& url) const;
    void setSelectedEncodingForURL(const QUrl& url, kit::StringEncoding encoding);
    int runModalOpenPanel(QFileDialog& panel) override;
    /// The Open panel also opens a folder (as a project).
    QList<QUrl> URLsFromRunningOpenPanel() override;

    // -- Lookups
    kit::Document* documentForURL(const QUrl& url) const override;
    /// The open document of the path, else a placeholder that reads the file.
    std::shared_ptr<DocumentContents> documentContentsForPath(const QString& path);
    QList<MyDocument*> allUntitledDocuments() const;
    MyDocument* untitledDocumentWithAutoSaveURL(const QUrl& url) const;
    void removeDocument(kit::Document* document) override;

    // -- The active document
    MyDocument* activeDocument() const { return m_activeDocument; }
    /// Recomputes the active document from the window (the active window when
    /// none is given) and announces a change.
    void sendDocumentNotificationsIfNeeded(QWidget* window = nullptr);

    // Menu state of the versions browser, which this platform does not have.
    bool isVersionBrowserOpen() const { return false; }

    void closeSingleUntitledDocument();

    // -- Windows
    /// The window that should show a new text document: the project holding its
    /// file, else the front-most standalone window with tabs (when tabs are on),
    /// else a new standalone window.
    DocumentWindowController* getWindowControllerForDocument(MyDocument* document);
    /// That window, with the document added to it.
    DocumentWindowController* makeWindowControllerForDocument(MyDocument* document);
    DocumentWindowController* firstStandaloneDocumentControllerWithTabs() const;
    /// Document windows, front-most first.
    static QList<DocumentWindowController*> documentWindowControllersFrontToBack();
    /// The current documents of the shown windows front to back, then the other
    /// windows' current documents in document order; each once.
    QList<MyDocument*> visibleDocuments() const;
    MyDocument* frontMostDocument() const;
    /// The documents and not-yet-loaded tabs of every document window, then the open
    /// documents no window shows; each once.
    QList<std::shared_ptr<DocumentContents>> allDocumentsAndPlaceholders() const;
    /// Whether the open under way shows nothing (its document gets no window of its own).
    bool isOpeningWithoutDisplay() const { return m_openingWithoutDisplay > 0; }
    kit::Document* openUntitledDocumentAndDisplay(bool display, kit::Error* error) override;

    // -- Project windows (their registers; the windows come with projects)
    void addProjectDocument(DocumentWindowController* project);
    void removeProjectDocument(DocumentWindowController* project);
    QList<DocumentWindowController*> projectDocuments() const;
    DocumentWindowController* projectDocumentContainingPath(const QString& path) const;

    /// Closes every document window by window, asking about unsaved documents;
    /// documents without a window are asked and closed one by one. done hears
    /// whether everything closed (false at the first Cancel).
    void closeAllDocuments(std::function<void(bool didCloseAll)> done) override;

    /// While a project opens, the files it opens are not recent documents.
    void beginOpeningProject() { ++m_openingProjects; }
    void endOpeningProject() { --m_openingProjects; }
    void noteNewRecentDocument(kit::Document* document) override;

protected:
    /// Closes the single untitled document first, as any open does; a document
    /// opened without display gets no window.
    void addOpenedDocument(kit::Document* document, bool display) override;

private:
    QHash<QString, kit::StringEncoding> m_pickedEncodings;
    std::optional<ExternalEditorRequest> m_externalRequest;
    QPointer<MyDocument> m_activeDocument;
    mutable bool m_inDocumentForURL = false;
    qint64 m_openingProjects = 0;
    QString m_folderChosenInOpenPanel;
    int m_openingWithoutDisplay = 0;
    QList<QPointer<DocumentWindowController>> m_projectDocuments;
    void closeNextWindow(QList<QPointer<DocumentWindowController>> windows, std::function<void(bool)> done);
};
