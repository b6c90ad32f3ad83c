#pragma once
// The text document: one open text file (HTML, CSS, JavaScript, PHP or any
// other text). Reads through the chain of encodings, saves in the encoding the
// user chose (offering UTF-8 when the text does not fit), guards files made by
// the component library, notices changes made by other programs and records
// the file's encoding in its per-file settings.

#include "document/DocumentContents.h"
#include "kit/Error.h"
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

inline const QString KELErrorDomain = QStringLiteral("KELErrorDomain");
enum KELErrorCode : int {
    KELErrorExtensionInUse = 1,
    KELErrorComponentLibraryLocked = 2,
    KELErrorCannotSaveInEncoding = 3,
    KELErrorLockedDocument = 4,
};

namespace kit {
class TextStorage;
}

class MyDocument : public kit::Document, public DocumentContents {
    Q_OBJECT
public:
    explicit MyDocument(QObject* parent = nullptr);
    ~MyDocument() override;

    // -- DocumentContents
    QString displayName() const override;
    QUrl fileURL() const override { return kit::Document::fileURL(); }
    std::optional<QString> docContents() override { return currentString(); }
    kit::StringEncoding encoding() override { return m_documentEncoding; }

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
    bool readFromURL(const QUrl& url, const QString& type, kit::Error* error) override;
    qint64 maximumFileSize() const override;
    /// Reads the file again; a failure is reported and keeps the edits.
    bool revertToSaved();

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
    bool documentClosed() const { return m_documentClosed; }
    void invalidateRestorableState() override;

    /// Tests: the encoding alert and the outside-change check are scheduled.
    bool willShowEncodingAlert() const { return m_willShowEncodingAlert; }

protected:
    /// Puts read text in place (the editor, once there is one).
    virtual void updateView();

private:
    void editedStateDidChange();
    kit::Error encodingError(kit::StringEncoding encoding) const;
    bool writeText(const QString& path, kit::StringEncoding encoding, kit::Error* error);

    kit::TextStorage* m_textStorage = nullptr;
    bool m_isEdited = false;
    bool m_documentClosed = false;
    kit::StringEncoding m_documentEncoding = kit::NoEncoding;
    kit::StringEncoding m_encodingForSaving = kit::NoEncoding;
    bool m_hasUnsavedEncodingChange = false;
    bool m_showComponentLibraryWarning = false;
    bool m_willShowEncodingAlert = false;
    bool m_isUserInitiatedSave = false;
    kit::SaveOperation m_currentOperation = kit::SaveOperation::Save;
};
