#pragma once
// The open documents as the editor's find, go-to-line and text views ask for
// them: answered through the shared document controller.

#include "editor/EditorDocument.h"

class MyDocumentEditorSource : public EditorDocumentSource {
public:
    static MyDocumentEditorSource& sharedInstance();
    /// Registers the shared instance with the editor.
    static void install();

    bool hasDocuments() const override;
    QList<std::shared_ptr<DocumentContents>> allDocumentsAndPlaceholders() override;
    std::shared_ptr<DocumentContents> placeholderForPath(const QString& path) override;
    EditorDocument* documentForURL(const QUrl& url) override;
    bool isOpenDocument(EditorDocument* document) override;
    EditorDocument* openDocument(const QUrl& url, bool display, kit::Error* error) override;
    EditorDocument* activeDocument() override;
    bool showLineNumberInActiveDocument(qint64 line, bool* hasDocument) override;
    QString filePathForTextView(const KELHTMLView* view) override;
};
