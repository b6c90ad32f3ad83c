#pragma once
// The preview commands of a text document: Preview in Browser (through a
// temporary preview file) and the Live Preview pane on and off. The document owns
// one and calls it from its commands.

#include <QPointer>
#include <QString>
#include <functional>
#include <memory>
#include <optional>

class KELHTMLPreviewManager;
class KELPreviewDocument;
class KELPreviewGenerator;
class KELPreviewGeneratorResult;
class QObject;
class QWidget;

class KELDocumentPreview
{
public:
    explicit KELDocumentPreview(KELPreviewDocument* document);
    ~KELDocumentPreview();
    KELDocumentPreview(const KELDocumentPreview&) = delete;
    KELDocumentPreview& operator=(const KELDocumentPreview&) = delete;

    /// The name of the document's syntax type, for the messages.
    void setSyntaxTypeName(const QString& name) { m_syntaxTypeName = name; }
    /// Stores the chosen preview file in the file's per-file settings.
    void setPreviewFileStore(std::function<void(const QString& path)> store) { m_storePreviewFile = std::move(store); }
    /// Saves the document (for "Save and Preview"); true when saved.
    void setSaveHandler(std::function<bool()> save) { m_save = std::move(save); }
    /// Whether the document has unsaved changes.
    void setEditedQuery(std::function<bool()> isEdited) { m_isEdited = std::move(isEdited); }
    /// Tests: replaces the Open panel that asks for the preview file (empty: cancelled).
    using PreviewFileChooser = std::function<QString(const QString& startFolder)>;
    static void setPreviewFileChooserForTesting(PreviewFileChooser chooser);

    /// Whether the document can be previewed: a type previewed through another page
    /// needs that page chosen (an untitled one cannot be).
    bool assertCanPreview(QWidget* window = nullptr);
    /// Makes a temporary preview file and opens it in the named browser (empty: the
    /// default one). A failed generation opens nothing.
    void previewInBrowser(const QString& browser);
    KELPreviewGenerator* previewGenerator() const { return m_previewGenerator.get(); }
    KELPreviewGenerator* previewFilePreviewGenerator() const { return m_previewFilePreviewGenerator.get(); }

    /// The live preview manager, made on first use with the editor's scroll view
    /// and text view.
    KELHTMLPreviewManager* loadPreviewManager(QWidget* editorScrollView, const QObject* textView, bool inProjectWindow);
    KELHTMLPreviewManager* previewManager() const { return m_previewManager.get(); }
    bool isLivePreviewing() const { return m_isLivePreviewing; }
    /// Turns the live preview on (answers the view to show in the editor area, which
    /// now holds the editor's scroll view) or off (answers null: the scroll view is
    /// left without a parent for the document to put back). Turning on fails (null,
    /// still off) when assertCanPreview says no.
    QWidget* quickPreview(
        QWidget* editorScrollView, const QObject* textView, bool inProjectWindow, QWidget* window = nullptr);

private:
    void didCompletePreviewGenerationForBrowser(
        bool success, const std::optional<KELPreviewGeneratorResult>& result, const QString& browser);

    KELPreviewDocument* m_document;
    quint64 m_closeObserver = 0;
    QString m_syntaxTypeName;
    std::function<void(const QString&)> m_storePreviewFile;
    std::function<bool()> m_save;
    std::function<bool()> m_isEdited;
    std::unique_ptr<KELPreviewGenerator> m_previewGenerator;
    std::unique_ptr<KELPreviewGenerator> m_previewFilePreviewGenerator;
    std::unique_ptr<KELHTMLPreviewManager> m_previewManager;
    bool m_isLivePreviewing = false;
};
