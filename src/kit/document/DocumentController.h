#pragma once
// Keeps the open documents: makes untitled ones, opens files (an already open
// file is shown again, not read twice), knows the current document, remembers
// recent documents in the user defaults and reviews unsaved documents at quit.
// The first controller made becomes the shared one.

#include "kit/Error.h"
#include "kit/document/Document.h"

#include <QHash>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QUrl>
#include <functional>
#include <map>
#include <memory>

class QFileDialog;
class QTimer;

namespace kit {

class DocumentController : public QObject {
    Q_OBJECT
public:
    explicit DocumentController(QObject* parent = nullptr);
    ~DocumentController() override;

    /// The shared controller; a plain one is made when none exists yet.
    static DocumentController& sharedDocumentController();
    static DocumentController* existingSharedDocumentController();

    // -- The documents
    QList<Document*> documents() const { return m_documents; }
    /// Adds the document; the controller owns it from now on.
    virtual void addDocument(Document* document);
    /// Takes the document out of the list (closing it is the document's business).
    virtual void removeDocument(Document* document);
    /// The open document of the URL (paths compared exactly, after cleaning).
    virtual Document* documentForURL(const QUrl& url) const;
    /// The document of the active window, else none.
    virtual Document* currentDocument() const;
    bool hasEditedDocuments() const;

    // -- Types and making documents
    virtual QString defaultType() const;
    virtual QString typeForContentsOfURL(const QUrl& url, Error* error) const;
    /// A new, empty document of the type (the factory's; none without one).
    virtual std::unique_ptr<Document> makeDocumentForType(const QString& type);
    using DocumentFactory = std::function<std::unique_ptr<Document>(const QString& type)>;
    void setDocumentFactory(DocumentFactory factory) { m_factory = std::move(factory); }

    virtual std::unique_ptr<Document> makeUntitledDocumentOfType(const QString& type, Error* error);
    /// Reads the file into a new document; none with the read's error.
    virtual std::unique_ptr<Document> makeDocumentWithContentsOfURL(const QUrl& url, const QString& type, Error* error);
    /// Remakes a document from a restored window: its file, or its side file
    /// when it had unsaved changes (the document then stays edited).
    virtual std::unique_ptr<Document> makeDocumentForRestoration(const QUrl& url, const QUrl& autosaveURL,
                                                                 const QString& type, Error* error);

    /// The same without holding up the window: the file is read (and decoded) on a
    /// worker thread, and the document is made here once that is done, so it is whole
    /// before anything can touch it. done hears the new document, or none with the
    /// read's error. The callback runs on a later turn of the event loop.
    using MakeDone = std::function<void(std::unique_ptr<Document> document, const Error& error)>;
    virtual void makeDocumentWithContentsOfURL(const QUrl& url, const QString& type, MakeDone done);

    virtual Document* openUntitledDocumentAndDisplay(bool display, Error* error);
    /// The open document of the URL when there is one, else a new one read from
    /// the file; shown when display is set; noted as a recent document.
    virtual Document* openDocumentWithContentsOfURL(const QUrl& url, bool display, Error* error);
    /// The same with the file read on a worker thread (File > Open): the window stays
    /// responsive meanwhile. done hears the document (already open, or new and added,
    /// shown when display is set), or none with the error; it runs at once for an
    /// open document, else on a later turn. A second request for a file being read
    /// waits for that read.
    using OpenDone = std::function<void(Document* document, const Error& error)>;
    virtual void openDocumentWithContentsOfURL(const QUrl& url, bool display, OpenDone done);
    /// Whether a file is being read for an open.
    bool isOpeningURL(const QUrl& url) const;
    /// Opens as above and presents a failure (other than a cancel) to the user.
    void openDocumentPresentingErrors(const QUrl& url);

    /// The New command: an untitled document, shown; failures are presented.
    virtual void newDocument();
    /// The Open command: the Open dialog, then every chosen file opened and shown;
    /// each failure is presented and the other files still open.
    virtual void openDocument();

    // -- Recent documents (stored under RecentDocumentsKey, newest first)
    static inline const QString RecentDocumentsKey = QStringLiteral("KELRecentDocumentURLs");
    static inline const QString RecentDocumentsLimitKey = QStringLiteral("NSRecentDocumentsLimit");
    QList<QUrl> recentDocumentURLs() const;
    virtual void noteNewRecentDocumentURL(const QUrl& url);
    virtual void noteNewRecentDocument(Document* document);
    void clearRecentDocuments();
    int maximumRecentDocumentCount() const;

    // -- Open panel
    /// Runs the Open dialog; empty when cancelled.
    virtual QList<QUrl> URLsFromRunningOpenPanel();
    /// Runs the prepared dialog (subclasses add to it); answers QDialog's result.
    virtual int runModalOpenPanel(QFileDialog& panel);
    /// Tests: answer the Open dialog with these URLs (empty = cancel).
    static void setOpenPanelResponderForTesting(std::function<QList<QUrl>()> responder);

    // -- Closing and quitting
    /// Asks about every edited document (one question per document, each shown
    /// first, or first whether to review several) and closes none; done hears
    /// whether the application may quit and which documents the user chose to
    /// discard (they are still edited and open). The first Cancel ends it.
    using ReviewDone = std::function<void(bool shouldTerminate, const QList<QPointer<Document>>& discarded)>;
    virtual void reviewUnsavedDocumentsBeforeQuitting(ReviewDone done);
    /// The same; when the application may quit, the discarded documents are closed.
    void reviewUnsavedDocuments(std::function<void(bool shouldTerminate)> done);
    /// Closes every document, asking about unsaved ones; stops at the first Cancel.
    virtual void closeAllDocuments(std::function<void(bool didCloseAll)> done);
    /// Autosaves every document with unsaved changes to its side file.
    virtual void autosaveAllDocuments(std::function<void()> done);
    /// Writes the side file of every document that lacks changes, at once: before
    /// something that may block. A modal window opening does it too.
    void writeSideFilesNow();
    /// Seconds between automatic autosaves of all documents; 0 turns them off.
    void setAutosavingDelay(int seconds);
    int autosavingDelay() const { return m_autosavingDelay; }

    /// Tests: forget the shared controller (its documents are deleted).
    static void resetSharedForTesting();

    /// Called by a document going away without close().
    void forgetDocument(Document* document);

Q_SIGNALS:
    void documentAdded(kit::Document* document);
    void documentRemoved(kit::Document* document);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    /// Asks each document in turn whether it may close and closes it; stops at the
    /// first refusal (done(false)). With editedOnly, documents without edits are passed by.
    void closeDocumentsInTurn(QList<QPointer<Document>> queue, bool editedOnly, std::function<void(bool)> done);

    /// Adds a document just read, notes it as recent and gives it its windows.
    virtual void addOpenedDocument(Document* document, bool display);

private:
    void finishReading(quint64 ticket, const QUrl& url, const QString& type,
                       const std::shared_ptr<Document::ReadResult>& result, const MakeDone& done);
    void askInTurn(QList<QPointer<Document>> queue, QList<QPointer<Document>> discarded, ReviewDone done);

private:

    QList<Document*> m_documents;
    /// The files being read for an open, with who waits for each.
    struct PendingOpen
    {
        bool display = false;
        QList<OpenDone> waiting;
    };
    QHash<QUrl, PendingOpen> m_pendingOpens;
    /// The documents whose files a worker is reading.
    std::map<quint64, std::unique_ptr<Document>> m_readingDocuments;
    quint64 m_lastReadTicket = 0;
    DocumentFactory m_factory;
    QTimer* m_autosaveTimer = nullptr;
    int m_autosavingDelay = 0;
};

} // namespace kit
