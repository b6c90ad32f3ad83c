#pragma once
// The text document: one open text file (HTML, CSS, JavaScript, PHP or any
// other text). Reads through the chain of encodings, saves in the encoding the
// user chose (offering UTF-8 when the text does not fit), guards files made by
// the component library, notices changes made by other programs and records
// the file's encoding in its per-file settings.

#include "support/KELErrors.h"
#include "support/KELSyntaxCheckError.h"
#include "editor/EditorDocument.h"
#include "editor/KELCodeFoldDataSource.h"
#include "editor/KELTextView.h"
#include "kit/Error.h"
#include "kit/text/RulerView.h"
#include "kit/text/ScrollView.h"
#include "kit/Types.h"
#include "kit/document/Document.h"

#include <QDateTime>
#include <QPointer>
#include <QString>
#include <functional>

// Posted with the document as object.
inline const QString KELDocumentEditedStateDidChangeNotification = QStringLiteral("KELDocumentEditedStateDidChangeNotification");
inline const QString KELDocumentFileURLDidChangeNotification = QStringLiteral("KELDocumentFileURLDidChangeNotification");
inline const QString KELDocumentAutosaveURLDidChangeNotification = QStringLiteral("KELDocumentAutosaveURLDidChangeNotification");
inline const QString KELDocumentDidInvalidateRestorableStateNotification = QStringLiteral("KELDocumentDidInvalidateRestorableStateNotification");
inline const QString KELDocumentDidCloseWithWindowUpdateNotification = QStringLiteral("KELDocumentDidCloseWithWindowUpdateNotification");

namespace kit {
class TypingHold;
class TextStorage;
class ScrollView;
class RulerView;
struct Notification;
}
class DocumentWindowController;
class KELHTMLView;
class KELLineNumberView;
class MyDocumentCommands;
class DocumentColoringManager;
class QWidget;

class MyDocument : public kit::Document, public EditorDocument, public KELCodeFoldDataSource {
    Q_OBJECT
public:
    explicit MyDocument(QObject* parent = nullptr);
    ~MyDocument() override;

    // -- DocumentContents
    QString displayName() const override;
    QUrl fileURL() const override { return kit::Document::fileURL(); }
    std::optional<QString> docContents() override { return currentString(); }
    kit::StringEncoding encoding() override { return m_documentEncoding; }
    QObject* documentObject() override { return this; }

    // -- Text
    /// The document's text, held in the text storage the editor shows.
    const QString& currentString() const;
    kit::TextStorage* textStorage() const { return m_textStorage; }
    QString initialString() const { return currentString(); }
    void setInitialString(const QString& text);
    /// An edit made by the user: recorded for undo and checked against the encoding.
    void replaceCharactersInRange(kit::Range range, const QString& replacement);
    /// The path of the file; empty while untitled.
    QString fileURLPath() const { return filePath(); }
    /// The syntax type name of the document's file ("HTML", "CSS" ...).
    virtual QString syntaxTypeName() const;

    // -- Encodings
    kit::StringEncoding documentEncoding() const { return m_documentEncoding; }
    /// Sets the encoding to save with; the document counts as edited until saved.
    void setDocumentEncoding(kit::StringEncoding encoding);
    kit::StringEncoding encodingForSaving() const { return m_encodingForSaving; }
    void setEncodingForSaving(kit::StringEncoding encoding) { m_encodingForSaving = encoding; }
    bool hasUnsavedEncodingChange() const { return m_hasUnsavedEncodingChange; }
    kit::StringEncoding suggestedDocumentEncoding() const;
    bool isTextEncodableForDocumentEncoding(const QString& text) const;
    void updateFilePrefsWithDocumentEncoding(kit::StringEncoding encoding);
    /// After an edit: warns (on the next turn) when the edited text no longer fits the encoding.
    void validateEditInRange(kit::Range range);
    void showEncodingAlert(bool editWasUndo);

    // -- Reading
    /// Reads the document's own file and decodes it through the chain of encodings
    /// (with the encoding picked in the Open dialog, the stored one and the open
    /// default taken now); a side file is read here, on the main thread.
    BackgroundRead backgroundReadOfURL(const QUrl& url, const QString& type) override;
    bool readFromResult(const QUrl& url, const QString& type, ReadResult& result, kit::Error* error) override;
    qint64 maximumFileSize() const override;
    /// Reads the file again; a failure is reported and keeps the edits.
    bool revertToSaved();
    /// Also drops an unsaved change of encoding once the file is read again.
    bool revertToContentsOfURL(const QUrl& url, const QString& type, kit::Error* error) override;
    /// The byte-order mark of the file as read (empty when none): an unchanged
    /// save writes it again, in the same byte order.
    QByteArray byteOrderMark() const { return m_byteOrderMark; }

    // -- Saving
    bool writeToURL(const QUrl& url, const QString& type, kit::Error* error) override;
    bool writeSafelyToURL(const QUrl& url, const QString& type, kit::SaveOperation operation, kit::Error* error) override;
    bool saveToURL(const QUrl& url, const QString& type, kit::SaveOperation operation, kit::Error* error) override;
    using kit::Document::saveToURL;
    /// The work after a save (per-file encoding, the file URL after Save As ...).
    virtual void completeSaveToURL(const QUrl& url, const QString& type, kit::SaveOperation operation, bool success);
    void saveDocumentWithDelegate(std::function<void(kit::Document*, bool)> done) override;
    bool checkAutosavingSafety(kit::Error* error) override;
    bool attemptRecoveryFromError(int code, int optionIndex);
    void autosaveAfterError();
    bool prepareSavePanel(QFileDialog& panel) override;
    QString fileNameExtensionForType(const QString& type, kit::SaveOperation operation) const override;
    bool isUserInitiatedSave() const { return m_isUserInitiatedSave; }

    bool isDocumentEdited() const override;
    bool hasUnautosavedChanges() const override;
    /// The text as it is now, written as UTF-8 (any text fits, and side files are read so).
    SideFileContents sideFileContents() override;

    // -- Files made by the component library
    bool showComponentLibraryWarning() const;
    void setShowComponentLibraryWarning(bool show);
    /// How a text is recognised as generated by the component library (its checksum line).
    using ChecksumVerifier = std::function<bool(const QString& text)>;
    static void setChecksumVerifier(ChecksumVerifier verifier);
    /// Tests: forget that a confirmation silenced the warning.
    static void resetComponentLibraryWarningSuppression();

    // -- Outside changes
    void checkForExternalFileChanges();
    void checkForExternalFileChangesAfterDelay();
    QDateTime lastModifiedDateFromFileSystem() const;
    void updateLastModifiedDateFromFileSystem();
    QDateTime lastModifiedDate() const { return fileModificationDate(); }
    void setLastModifiedDate(const QDateTime& date) { setFileModificationDate(date); }

    // -- File and closing
    void setFileURL(const QUrl& url) override;
    /// Sets the URL unless the document was closed meanwhile.
    void setFileURLIfOpen(const QUrl& url);
    void setAutosavedContentsFileURL(const QUrl& url) override;
    void closeWithWindowUpdate();
    void close() override;
    bool documentClosed() const override { return m_documentClosed; }
    void invalidateRestorableState() override;

    /// Tests: the encoding alert and the outside-change check are scheduled.
    bool willShowEncodingAlert() const { return m_willShowEncodingAlert; }
    /// Keys typed now are kept from every widget (an encoding alert is coming or new).
    bool isHoldingTypedKeys() const;
    /// The encoding alert comes once no key was typed for this long (the keys on
    /// their way are held first), at the latest after the second time.
    static constexpr int EncodingAlertQuietMilliseconds = 150;
    static constexpr int EncodingAlertLatestMilliseconds = 1000;
    /// The alert takes keys once the typing stopped for this long.
    static constexpr int EncodingAlertKeyboardQuietMilliseconds = 1000;

    // -- The editor (made on first use)
    /// What later parts of the program add to the editor: colouring (made when
    /// the editor is, let go when the document closes) and the fold candidates of
    /// the document's structure.
    struct EditorHooks {
        std::function<void(MyDocument*)> didLoadEditor;
        std::function<void(MyDocument*)> willCloseEditor;
        std::function<QList<KELCodeFoldOpportunityRef>(MyDocument*, kit::Range)> foldOpportunities;
    };
    static void setEditorHooks(EditorHooks hooks);
    static const EditorHooks& editorHooks();

    void loadViewObjects();
    bool viewLoaded() const { return m_viewLoaded; }
    KELHTMLView* textView() override;
    KELHTMLView* existingTextView() const;
    kit::ScrollView* scrollView();
    KELLineNumberView* gutter() const;
    /// The document's commands (a responder after the editor view).
    MyDocumentCommands* commands() const;
    /// Colours the editor and keeps the document's outline (made with the editor).
    DocumentColoringManager* coloringManager() const;
    /// Fold candidates for the gutter.
    QList<KELCodeFoldOpportunityRef> foldOpportunitiesInRange(kit::Range range) override;
    /// The editor area view (gutter, text and whatever stands beside it).
    QWidget* primaryEditView();
    /// The view the window shows for this document.
    QWidget* currentEditView();
    /// Another view takes the window's place (the live preview), or null for the editor again.
    void setCurrentEditView(QWidget* view);
    /// The text view's visible characters, as last taken from the editor.
    kit::Range visibleTextRange() const { return m_visibleTextRange; }
    void setVisibleTextRange(kit::Range range) { m_visibleTextRange = range; }
    void updateVisibleTextRange();
    /// Scrolls the editor to the remembered visible range (when the window shows it).
    void scrollToVisibleTextRange();
    bool isLivePreviewing() const { return m_isLivePreviewing; }
    void setLivePreviewing(bool on) { m_isLivePreviewing = on; }
    bool isInViewingMode() const { return false; }
    bool isDocumentLocked() const override;

    const QList<KELSyntaxCheckError>& documentErrors() const { return m_documentErrors; }
    void setDocumentErrors(const QList<KELSyntaxCheckError>& errors);
    /// Keeps the errors on their text as a piece of an edit replaces characters.
    void moveDocumentErrorsForReplacement(kit::Range range, qsizetype changeInLength);

    // -- Untitled names
    qint64 sequenceNumber() const { return m_sequenceNumber; }
    void setSequenceNumber(qint64 number);
    /// The next untitled number: one past the largest number still in use.
    static void updateCurrentSequenceNumber();
    static qint64 nextUntitledNumber();
    static void resetUntitledNumbersForTesting();

    // -- Windows
    DocumentWindowController* windowController() const;
    /// Called by the window controllers when they take the document.
    void setWindowController(DocumentWindowController* controller, bool addToList);
    void makeWindowControllers() override;
    void showWindows() override { showWindows(true); }
    void showWindows(bool makeTextViewFirstResponder);
    QWidget* windowForSheet() const override;
    /// After a move of the file: the window that should hold it now takes it.
    void moveDocumentToCorrectWindowController();

    // -- Restorable state and per-file settings
    void encodeRestorableState(QVariantMap& state) const override;
    void restoreState(const QVariantMap& state) override;
    /// Writes the visible range, folds and live-preview flag (once per document).
    void cleanupDoc();
    void updateCodeFoldingPrefs();
    void willMoveURLToTrash(const kit::Notification& notification);

Q_SIGNALS:
    void documentErrorsChanged();
    void currentEditViewChanged();

protected:
    /// Puts read text in place (the editor, once there is one).
    virtual void updateView();

private:
    void editedStateDidChange();
    kit::Error encodingError(kit::StringEncoding encoding) const;
    bool writeText(const QString& path, kit::StringEncoding encoding, kit::Error* error);

    kit::TextStorage* m_textStorage = nullptr;
    QString m_sideFileText; // the text's last copy for its side file, kept for its memory
    bool m_isEdited = false;
    bool m_documentClosed = false;
    kit::StringEncoding m_documentEncoding = kit::NoEncoding;
    kit::StringEncoding m_encodingForSaving = kit::NoEncoding;
    QByteArray m_byteOrderMark;
    bool m_hasUnsavedEncodingChange = false;
    bool m_restoredFromSideFile = false; // until the saved window state is applied
    bool m_showComponentLibraryWarning = false;
    bool m_willShowEncodingAlert = false;
    QPointer<kit::TypingHold> m_typingHold;
    bool m_isUserInitiatedSave = false;
    kit::SaveOperation m_currentOperation = kit::SaveOperation::Save;

    // Editor
    void tearDownEditor();
    QPointer<QWidget> m_primaryEditView;
    QPointer<QWidget> m_currentEditView;
    QPointer<kit::ScrollView> m_scrollView;
    QPointer<KELTextView> m_textView;
    QPointer<kit::RulerView> m_gutter;
    QPointer<QObject> m_commands; // a MyDocumentCommands
    QPointer<QObject> m_coloringManager; // a DocumentColoringManager
    bool m_viewLoaded = false;
    bool m_loadingView = false;
    bool m_isCleanedUp = false;
    bool m_isLivePreviewing = false;
    kit::Range m_visibleTextRange{0, 0};
    mutable qint64 m_sequenceNumber = 0;
    QPointer<DocumentWindowController> m_windowController;
    QList<KELSyntaxCheckError> m_documentErrors;
};
