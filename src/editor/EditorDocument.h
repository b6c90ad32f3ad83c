#pragma once
// An open document as the editor's find, go-to-line and text views see it, and
// the source of the open documents that the document layer registers. The editor
// asks through these and never reaches up into the document classes.

#include "editor/DocumentContents.h"
#include "kit/Error.h"

#include <QList>
#include <QString>
#include <QUrl>
#include <memory>

class KELHTMLView;
class QObject;

class EditorDocument : public DocumentContents {
public:
    /// The document as an object, to notice when it goes.
    virtual QObject* documentObject() = 0;
    /// The editor view, made on first use.
    virtual KELHTMLView* textView() = 0;
    virtual bool documentClosed() const = 0;
    virtual bool isDocumentLocked() const = 0;
    /// Brings the document's tab and window to the front.
    virtual void showWindows() = 0;
};

class EditorDocumentSource {
public:
    virtual ~EditorDocumentSource() = default;

    /// The registered source; none before the document layer registers one.
    static EditorDocumentSource* shared();
    /// The registered source while it has documents to offer (a document controller
    /// exists); none otherwise.
    static EditorDocumentSource* available();
    static void setShared(EditorDocumentSource* source);

    virtual bool hasDocuments() const = 0;
    /// Every open document and tab not loaded yet, each once (the other files of
    /// projects are listed by the project layer).
    virtual QList<std::shared_ptr<DocumentContents>> allDocumentsAndPlaceholders() = 0;
    /// What stands for a file that is not open.
    virtual std::shared_ptr<DocumentContents> placeholderForPath(const QString& path) = 0;
    virtual EditorDocument* documentForURL(const QUrl& url) = 0;
    virtual bool isOpenDocument(EditorDocument* document) = 0;
    virtual EditorDocument* openDocument(const QUrl& url, bool display, kit::Error* error) = 0;
    virtual EditorDocument* activeDocument() = 0;
    /// Shows the line in the active document; `hasDocument` tells whether one could.
    virtual bool showLineNumberInActiveDocument(qint64 line, bool* hasDocument) = 0;
    /// The file path of the document shown in the view; empty when none is.
    virtual QString filePathForTextView(const KELHTMLView* view) = 0;
};
