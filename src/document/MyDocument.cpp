#include "document/MyDocument.h"

#include "support/DefaultsKeys.h"
#include "document/DocumentWindowController.h"
#include "support/KELComponentChecksum.h"
#include "document/KELFilePrefsManager.h"
#include "document/MyDocumentController.h"
#include "kit/Alert.h"
#include "kit/Log.h"
#include "kit/NotificationCenter.h"
#include "kit/StringEncodings.h"
#include "kit/Timers.h"
#include "kit/TypingHold.h"
#include "kit/text/TextStorage.h"
#include "kit/UndoManager.h"
#include "kit/UserDefaults.h"
#include "support/KELEncodingManager.h"
#include "support/KELEncodingPopUpButtonCell.h"
#include "support/KELFileTypeManager.h"
#include "support/UtilityFunctions.h"
#include "syntax/DocumentColoringManager.h"

#include <QApplication>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QGridLayout>
#include <QLabel>

namespace {
// One "Save" or "Unlock" silences the component-library warning until quit.
bool g_suppressComponentLibraryWarning = false;

MyDocument::ChecksumVerifier& checksumVerifier()
{
    // Every open checks for an unchanged file written by the component library.
    static MyDocument::ChecksumVerifier verifier = [](const QString& text) {
        return KELComponentChecksum::verifyChecksumForFileContents(text);
    };
    return verifier;
}

QString encodingName(kit::StringEncoding encoding)
{
    if (std::optional<QString> name = KELEncodingManager::nameForEncoding(encoding))
        return *name;
    return kit::localizedNameOfStringEncoding(encoding);
}

// An encoding stored in the defaults; NoEncoding when unset.
kit::StringEncoding defaultEncoding(const QString& key)
{
    const QVariant value = kit::UserDefaults::standard().value(key);
    if (!value.isValid())
        return kit::NoEncoding;
    const auto encoding = kit::StringEncoding(value.toULongLong());
    return encoding == 0 ? kit::NoEncoding : encoding;
}

// Text has no NUL and few control characters; data that has them is not text,
// whatever its name says (an 8-bit encoding would read it all the same).
unsigned codeAt(QStringView text, qsizetype i) { return text[i].unicode(); }
unsigned codeAt(QByteArrayView data, qsizetype i) { return uchar(data[i]); }

template<typename View>
bool looksBinary(View data)
{
    const qsizetype sample = qMin<qsizetype>(data.size(), 64 * 1024);
    qsizetype controls = 0;
    for (qsizetype i = 0; i < sample; ++i) {
        const unsigned c = codeAt(data, i);
        if (c == 0)
            return true;
        if (c < 0x20 && c != '\t' && c != '\n' && c != '\r' && c != '\f' && c != '\v' && c != 0x1B)
            ++controls;
    }
    return controls > 8 && controls * 50 > sample;
}

MyDocumentController* documentController()
{
    return qobject_cast<MyDocumentController*>(kit::DocumentController::existingSharedDocumentController());
}
} // namespace

MyDocument::MyDocument(QObject* parent) : kit::Document(parent), m_textStorage(new kit::TextStorage(this))
{
    static const bool lookupInstalled = [] {
        KELFilePrefsManager::installFileEncodingLookup();
        return true;
    }();
    Q_UNUSED(lookupInstalled);

    if (std::optional<QString> text = UtilityFunctions::stringForNewDocument(&m_documentEncoding))
        m_textStorage->setString(*text);
    connect(this, &kit::Document::editedStateChanged, this, &MyDocument::editedStateDidChange);
    connect(m_textStorage, &kit::TextStorage::charactersReplaced, this, &MyDocument::moveDocumentErrorsForReplacement);
    auto& center = kit::NotificationCenter::defaultCenter();
    center.addObserver(
        KELDocumentDidBecomeActiveNotification, this, [this](const kit::Notification&) { checkForExternalFileChanges(); }, this);
    // Per-file settings are written at quit as at close.
    center.addObserver(QStringLiteral("KELApplicationWillTerminateNotification"), nullptr,
                       [this](const kit::Notification&) { cleanupDoc(); }, this);
    center.addObserver(QStringLiteral("KELFileManagerWillMoveURLToTrashNotification"), nullptr,
                       [this](const kit::Notification& note) { willMoveURLToTrash(note); }, this);
}

MyDocument::~MyDocument()
{
    tearDownEditor();
}

void MyDocument::setChecksumVerifier(ChecksumVerifier verifier)
{
    checksumVerifier() = std::move(verifier);
}

void MyDocument::resetComponentLibraryWarningSuppression()
{
    g_suppressComponentLibraryWarning = false;
}

QString MyDocument::displayName() const
{
    if (!kit::Document::fileURL().isEmpty())
        return kit::Document::displayName();
    // Untitled numbers are given in the order names are first asked for.
    if (m_sequenceNumber == 0)
        const_cast<MyDocument*>(this)->setSequenceNumber(nextUntitledNumber());
    if (m_sequenceNumber == 1)
        return QStringLiteral("Untitled");
    return QStringLiteral("Untitled %1").arg(m_sequenceNumber);
}

QString MyDocument::syntaxTypeName() const
{
    return KELFileTypeManager::sharedInstance().typeNameForDocument(this);
}

const QString& MyDocument::currentString() const
{
    return m_textStorage->string();
}

void MyDocument::setInitialString(const QString& text)
{
    m_textStorage->setString(text);
}

void MyDocument::replaceCharactersInRange(kit::Range range, const QString& replacement)
{
    const qsizetype length = m_textStorage->length();
    range.location = qBound<qsizetype>(0, range.location, length);
    range.length = qBound<qsizetype>(0, range.length, length - range.location);
    const QString old = m_textStorage->substring(range);
    m_textStorage->replaceCharacters(range, replacement);
    const kit::Range inserted(range.location, replacement.size());
    QPointer<MyDocument> self(this);
    undoManager()->registerUndo([self, inserted, old] {
        if (self)
            self->replaceCharactersInRange(inserted, old);
    });
    validateEditInRange(inserted);
}

// ---------------------------------------------------------------- encodings

void MyDocument::setDocumentEncoding(kit::StringEncoding encoding)
{
    m_documentEncoding = encoding;
    m_hasUnsavedEncodingChange = true;
    noteEditedStateMayHaveChanged();
}

kit::StringEncoding MyDocument::suggestedDocumentEncoding() const
{
    const kit::StringEncoding forSave = defaultEncoding(KELDefaultEncodingForSave);
    if (forSave == kit::UTF8StringEncoding || forSave == kit::UTF16StringEncoding)
        return forSave;
    if (forSave != kit::NoEncoding && kit::canEncodeString(currentString(), forSave))
        return forSave;
    // Plain ASCII text is UTF-8 byte for byte: UTF-8 writes the same bytes and
    // still holds the first "é" typed later.
    return kit::UTF8StringEncoding;
}

bool MyDocument::isTextEncodableForDocumentEncoding(const QString& text) const
{
    if (m_documentEncoding == kit::UTF8StringEncoding || m_documentEncoding == kit::NoEncoding)
        return true;
    return kit::canEncodeString(text, m_documentEncoding);
}

void MyDocument::updateFilePrefsWithDocumentEncoding(kit::StringEncoding encoding)
{
    const QString path = filePath();
    if (path.isEmpty())
        return;
    KELFilePrefs& record = KELFilePrefsManager::sharedFilePrefsManager().filePrefsForFile(path);
    if (record.encoding() == encoding)
        return;
    const kit::StringEncoding openDefault = defaultEncoding(KELDefaultEncodingForOpen);
    kit::StringEncoding value = encoding;
    // What the chain finds by itself needs no record. (Plain ASCII is found as
    // UTF-8; ASCII itself is only ever the user's choice, and is kept.)
    if (encoding == openDefault)
        value = kit::NoEncoding;
    if (value != record.encoding()) {
        record.setEncoding(value);
        KELFilePrefsManager::sharedFilePrefsManager().saveFilePrefs(record);
    }
}

void MyDocument::validateEditInRange(kit::Range range)
{
    if (m_willShowEncodingAlert || m_documentEncoding == kit::UTF8StringEncoding || m_documentEncoding == kit::NoEncoding)
        return;
    // Called after every keystroke: reads the edit alone, not the whole text.
    if (range.length <= 0 || range.location < 0 || range.end() > m_textStorage->length())
        return;
    if (kit::canEncodeString(m_textStorage->substring(range), m_documentEncoding))
        return;
    m_willShowEncodingAlert = true;
    const bool undoing = undoManager()->isUndoing();
    // The keys typed on reach neither the text nor the alert until the user has
    // seen it: the alert waits for the keys already on their way, and they are
    // given back to the text once it is answered.
    QPointer<MyDocument> self(this);
    QWidget* target = m_textView ? static_cast<QWidget*>(m_textView.data()) : QApplication::focusWidget();
    if (!target) {
        // No one is typing: nothing to hold.
        kit::performOnNextTurn(this, [self, undoing] {
            if (self)
                self->showEncodingAlert(undoing);
        });
        return;
    }
    m_typingHold = new kit::TypingHold(target, this);
    m_typingHold->whenQuiet(
        EncodingAlertQuietMilliseconds,
        [self, undoing] {
            if (self)
                self->showEncodingAlert(undoing);
        },
        EncodingAlertLatestMilliseconds);
}

void MyDocument::showEncodingAlert(bool editWasUndo)
{
    m_willShowEncodingAlert = false;
    kit::Alert alert;
    alert.setMessageText(QStringLiteral("The document \"%1\" can no longer be saved using its original encoding: %2.")
                             .arg(displayName(), encodingName(m_documentEncoding)));
    alert.setInformativeText(QStringLiteral("Please, use the UTF-8 encoding, so that your document can be saved. If you "
                                            "prefer a different encoding, you may later select one in %1's Get Info panel.")
                                 .arg(UtilityFunctions::currentApplicationName()));
    alert.addButton(QStringLiteral("Use UTF-8"));
    alert.addButton(QStringLiteral("Undo Changes"));
    // Keys typed while the alert is new are still held; once the typing stops,
    // the alert takes the keyboard.
    QPointer<kit::TypingHold> hold = m_typingHold;
    m_typingHold = nullptr;
    if (hold) {
        hold->whenQuiet(EncodingAlertKeyboardQuietMilliseconds, [hold] {
            if (hold)
                hold->stopHolding();
        });
    }
    const int answer = alert.runModal();
    if (answer == kit::Alert::FirstButtonReturn) {
        // Recorded in the per-file settings when the file is saved in it: until
        // then the file on disk still has its old encoding.
        m_documentEncoding = kit::UTF8StringEncoding;
    } else if (editWasUndo) {
        undoManager()->redo();
    } else {
        undoManager()->undo();
    }
    // What was typed meanwhile follows the edit, as typed.
    if (hold)
        hold->giveBack();
}

bool MyDocument::isHoldingTypedKeys() const
{
    for (const kit::TypingHold* hold : findChildren<kit::TypingHold*>(Qt::FindDirectChildrenOnly)) {
        if (hold->isHolding())
            return true;
    }
    return false;
}

// ---------------------------------------------------------------- reading

qint64 MyDocument::maximumFileSize() const
{
    // Bigger files are logs or data dumps rather than pages to edit.
    return qint64(64) * 1024 * 1024;
}

namespace {
// A text file read and decoded on a worker.
struct TextReadResult : kit::Document::ReadResult
{
    QString path;
    // A side file (crash recovery or a restored window) rather than the document's own file.
    bool sideFile = false;
    std::optional<QString> text;
    // The encoding the text was read with, for the document to take; NoEncoding: keep its own.
    kit::StringEncoding encoding = kit::NoEncoding;
    kit::Error chainError;
    bool binary = false;
    bool componentLibraryFile = false;
    QByteArray byteOrderMark;
};
} // namespace

kit::Document::BackgroundRead MyDocument::backgroundReadOfURL(const QUrl& url, const QString&)
{
    // Everything the read needs from the settings and the document is taken here.
    const QString path = url.isLocalFile() ? url.toLocalFile() : QString();
    const qint64 maximumSize = maximumFileSize();
    const bool sideFile = fileURL().isEmpty() || url != fileURL();
    const QString ownPath = fileURL().isLocalFile() ? fileURL().toLocalFile() : QString();
    kit::StringEncoding first = kit::NoEncoding;
    if (!sideFile)
        if (MyDocumentController* controller = documentController())
            first = controller->lastSelectedEncodingForURL(url);
    const kit::StringEncoding stored = UtilityFunctions::storedFileEncoding(path);
    const kit::StringEncoding ownStored = ownPath.isEmpty() ? kit::NoEncoding : UtilityFunctions::storedFileEncoding(ownPath);
    const kit::StringEncoding openDefault = UtilityFunctions::openDefaultEncoding();
    const ChecksumVerifier verifier = checksumVerifier();

    return [=]() -> std::shared_ptr<ReadResult> {
        auto result = std::make_shared<TextReadResult>();
        result->path = path;
        result->sideFile = sideFile;
        result->data = readFileData(path, maximumSize, &result->error);
        if (!result->data)
            return result;
        const QByteArray& data = *result->data;
        if (sideFile) {
            // A side file is always UTF-8, whatever the document's own encoding: it
            // is read back in UTF-8, and the encoding comes from the file and the
            // saved window state.
            result->text = kit::decodeString(data, kit::UTF8StringEncoding, &result->chainError);
            if (!result->text) // not one of ours: read it as any file
                result->text = UtilityFunctions::stringContentsForData(data, path, kit::NoEncoding, stored, openDefault, nullptr);
            if (result->text && !ownPath.isEmpty()) {
                QFile own(ownPath);
                kit::StringEncoding used = kit::NoEncoding;
                if (own.open(QIODevice::ReadOnly)
                    && UtilityFunctions::stringContentsForData(own.readAll(), ownPath, kit::NoEncoding, ownStored, openDefault, &used))
                    result->encoding = used;
            }
        } else {
            kit::StringEncoding used = kit::NoEncoding;
            result->text = UtilityFunctions::stringContentsForData(data, path, first, stored, openDefault, &used, &result->chainError);
            if (result->text)
                result->encoding = used;
            result->fingerprint = fingerprint(data);
        }
        result->binary = result->text ? looksBinary(QStringView(*result->text)) : looksBinary(QByteArrayView(data));
        if (result->text && !result->binary) {
            result->componentLibraryFile = verifier && verifier(*result->text);
            result->byteOrderMark = kit::byteOrderMarkOfData(data);
        }
        return result;
    };
}

bool MyDocument::readFromResult(const QUrl&, const QString&, ReadResult& base, kit::Error* error)
{
    auto* result = dynamic_cast<TextReadResult*>(&base);
    if (!result || !result->data) {
        kit::setError(error, base.error.isNull() ? kit::Error(kit::ErrorDomainCocoa, kit::FileReadUnknownError) : base.error);
        return false;
    }
    const QString& path = result->path;
    if (result->sideFile) {
        if (result->encoding != kit::NoEncoding)
            m_documentEncoding = result->encoding;
        m_restoredFromSideFile = bool(result->text);
    } else if (result->text && result->encoding != kit::NoEncoding) {
        m_documentEncoding = result->encoding;
    }

    if (result->binary) {
        const QString name = QFileInfo(path).fileName();
        kit::Error binary(kit::ErrorDomainCocoa, kit::FileReadCorruptFileError,
                          {{kit::FilePathErrorKey, path},
                           {kit::LocalizedDescriptionKey, QStringLiteral("The file “%1” couldn’t be opened because it is not a text file.").arg(name)},
                           {kit::LocalizedRecoverySuggestionKey, QStringLiteral("It holds binary data, which the editor cannot show.")}});
        kit::setError(error, binary);
        return false;
    }
    if (!result->text) {
        kit::Error chainError = result->chainError;
        if (chainError.isNull())
            chainError = kit::Error(kit::ErrorDomainCocoa, kit::FileReadInapplicableStringEncodingError, {{kit::FilePathErrorKey, path}});
        chainError.userInfo()[kit::LocalizedRecoverySuggestionKey] =
            QStringLiteral("No text encoding reads this file. Try opening it with another encoding.");
        kit::setError(error, chainError);
        return false;
    }

    if (!m_showComponentLibraryWarning && result->componentLibraryFile)
        m_showComponentLibraryWarning = true;
    m_byteOrderMark = result->byteOrderMark;
    if (!result->sideFile)
        noteFileFingerprint(result->fingerprint);
    // The text moves into the storage: the result is done with it.
    m_textStorage->setString(*result->text);
    result->text.reset();
    result->data.reset();
    updateView();
    updateFilePrefsWithDocumentEncoding(m_documentEncoding);
    return true;
}

bool MyDocument::revertToSaved()
{
    kit::Error error;
    if (!revertToContentsOfURL(kit::Document::fileURL(), fileType(), &error)) {
        // The edits stay, and the document stays edited.
        presentError(error);
        return false;
    }
    return true;
}

bool MyDocument::revertToContentsOfURL(const QUrl& url, const QString& type, kit::Error* error)
{
    if (!kit::Document::revertToContentsOfURL(url, type, error))
        return false;
    m_hasUnsavedEncodingChange = false;
    noteEditedStateMayHaveChanged();
    return true;
}

// ---------------------------------------------------------------- saving

kit::Error MyDocument::encodingError(kit::StringEncoding encoding) const
{
    kit::Error error(KELErrorDomain, KELErrorCannotSaveInEncoding);
    error.userInfo()[kit::LocalizedDescriptionKey] =
        QStringLiteral("The document \"%1\" cannot be saved with encoding %2.").arg(displayName(), encodingName(encoding));
    error.userInfo()[kit::LocalizedRecoverySuggestionKey] = syntaxTypeName() == QLatin1String("HTML")
        ? QStringLiteral("You can save the file with the UTF-8 encoding and include the following meta tag for browsers "
                         "to read:\n<meta http-equiv=\"Content-Type\" content=\"text/html; charset=utf-8\">\n\nDo you "
                         "want to use the UTF8 encoding to save this file?")
        : QStringLiteral("Do you want to use the UTF-8 encoding to save this file instead?");
    error.setRecoveryOptions({QStringLiteral("Use UTF-8"), QStringLiteral("Cancel")});
    QPointer<MyDocument> self(const_cast<MyDocument*>(this));
    error.setRecoveryAttempter([self](int option) { return self && self->attemptRecoveryFromError(KELErrorCannotSaveInEncoding, option); });
    return error;
}

bool MyDocument::writeText(const QString& path, kit::StringEncoding encoding, kit::Error* error)
{
    std::optional<QByteArray> bytes = kit::encodeString(currentString(), encoding, false, error);
    if (!bytes)
        return false;
    return writeDataSafely(*bytes, path, error);
}

bool MyDocument::writeToURL(const QUrl& url, const QString& type, kit::Error* error)
{
    kit::StringEncoding encoding = m_encodingForSaving;
    if (encoding == kit::NoEncoding)
        encoding = m_documentEncoding;
    if (encoding == kit::NoEncoding)
        encoding = suggestedDocumentEncoding();
    setFileType(type);
    const QString path = url.toLocalFile();
    if (m_currentOperation == kit::SaveOperation::Autosave) {
        // Side files are UTF-8 (any text fits) and are read back so.
        return writeText(path, kit::UTF8StringEncoding, error);
    }

    // The bytes are made before anything is written, so a text that does not
    // fit never touches the file.
    if (std::optional<QByteArray> bytes = kit::encodeStringWithByteOrderMark(currentString(), encoding, m_byteOrderMark)) {
        if (!writeDataSafely(*bytes, path, error))
            return false;
        m_encodingForSaving = encoding;
        if (m_currentOperation == kit::SaveOperation::Save || m_currentOperation == kit::SaveOperation::SaveAs) {
            m_byteOrderMark = kit::byteOrderMarkOfData(*bytes);
            noteFileContents(*bytes);
        }
        return true;
    }

    if (m_currentOperation == kit::SaveOperation::Autosave || (kit::Document::fileURL().isEmpty() && !m_isUserInitiatedSave)) {
        // A side file keeps the changes whatever the encoding.
        m_encodingForSaving = encoding;
        return writeText(path, kit::UTF8StringEncoding, error);
    }
    if (!kit::Document::fileURL().isEmpty()) {
        m_encodingForSaving = encoding;
        kit::setError(error, encodingError(encoding));
        return false;
    }

    kit::Alert alert;
    alert.setMessageText(QStringLiteral("Cannot Save"));
    if (syntaxTypeName() == QLatin1String("HTML")) {
        alert.setInformativeText(
            QStringLiteral("The document \"%1\" contains characters that cannot be saved with the \"%2\" text encoding.  "
                           "You can save the file with the UTF-8 encoding and include the following meta tag for browsers "
                           "to read:\n<meta http-equiv=\"Content-Type\" content=\"text/html; charset=utf-8\">\n\nDo you "
                           "want to use the UTF8 encoding to save this file?")
                .arg(displayName(), encodingName(encoding)));
    } else {
        alert.setInformativeText(QStringLiteral("The document \"%1\" contains characters that cannot be saved with the "
                                                "\"%2\" text encoding.\n\nDo you want to use the UTF-8 encoding to save "
                                                "this file instead?")
                                     .arg(displayName(), encodingName(encoding)));
    }
    alert.addButton(QStringLiteral("Use UTF-8"));
    alert.addButton(QStringLiteral("Cancel"));
    if (alert.runModal() == kit::Alert::FirstButtonReturn) {
        const bool written = writeText(path, kit::UTF8StringEncoding, error);
        m_encodingForSaving = kit::UTF8StringEncoding;
        return written;
    }
    m_encodingForSaving = encoding;
    kit::setError(error, kit::Error::userCancelled());
    return false;
}

bool MyDocument::writeSafelyToURL(const QUrl& url, const QString& type, kit::SaveOperation operation, kit::Error* error)
{
    m_currentOperation = operation;
    return kit::Document::writeSafelyToURL(url, type, operation, error);
}

bool MyDocument::saveToURL(const QUrl& url, const QString& type, kit::SaveOperation operation, kit::Error* error)
{
    m_isUserInitiatedSave = operation != kit::SaveOperation::Autosave;
    QPointer<MyDocument> other;
    if (operation == kit::SaveOperation::SaveAs && !url.isEmpty()) {
        if (kit::DocumentController* controller = kit::DocumentController::existingSharedDocumentController()) {
            auto* open = qobject_cast<MyDocument*>(controller->documentForURL(url));
            if (open && open != this)
                other = open;
        }
    }
    if (other && other->isDocumentEdited()) {
        // Replacing the file of an open document would throw away its edits: ask.
        kit::Alert alert;
        alert.setMessageText(QStringLiteral("The document “%1” is open and has unsaved changes.").arg(other->displayName()));
        alert.setInformativeText(QStringLiteral("Saving here replaces its file and closes it; its unsaved changes will be lost."));
        alert.addButton(QStringLiteral("Replace"));
        alert.addButton(QStringLiteral("Cancel"));
        if (alert.runModal() != kit::Alert::FirstButtonReturn) {
            m_isUserInitiatedSave = false;
            m_encodingForSaving = kit::NoEncoding;
            kit::setError(error, kit::Error::userCancelled());
            return false;
        }
    }
    const bool saved = kit::Document::saveToURL(url, type, operation, error);
    if (saved && other)
        other->closeWithWindowUpdate();
    completeSaveToURL(url, type, operation, saved);
    m_isUserInitiatedSave = false;
    return saved;
}

void MyDocument::completeSaveToURL(const QUrl& url, const QString&, kit::SaveOperation operation, bool success)
{
    if (success && (operation == kit::SaveOperation::Save || operation == kit::SaveOperation::SaveAs)) {
        // Only a save of the document's own file carries the new encoding to disk.
        m_hasUnsavedEncodingChange = false;
        if (m_encodingForSaving != kit::NoEncoding)
            m_documentEncoding = m_encodingForSaving;
        updateFilePrefsWithDocumentEncoding(m_documentEncoding);
        updateCodeFoldingPrefs();
        if (operation == kit::SaveOperation::SaveAs) {
            QPointer<MyDocument> self(this);
            kit::performOnNextTurn(this, [self, url] {
                if (self)
                    self->setFileURLIfOpen(url);
            });
            if (kit::DocumentController* controller = kit::DocumentController::existingSharedDocumentController())
                controller->noteNewRecentDocument(this);
        }
    }
    m_encodingForSaving = kit::NoEncoding;
    noteEditedStateMayHaveChanged();
}

void MyDocument::saveDocumentWithDelegate(std::function<void(kit::Document*, bool)> done)
{
    if (!kit::Document::fileURL().isEmpty() && showComponentLibraryWarning() && isDocumentEdited()) {
        kit::Alert alert;
        alert.setMessageText(QStringLiteral("Are you sure that you want to save changes to the Component Library file \"%1\"?").arg(displayName()));
        alert.setInformativeText(QStringLiteral("Making changes to this file may cause components to stop functioning correctly on your web pages."));
        alert.addButton(QStringLiteral("Save"));
        alert.addButton(QStringLiteral("Cancel"));
        if (alert.runModal() != kit::Alert::FirstButtonReturn) {
            if (done)
                done(this, false);
            return;
        }
        setShowComponentLibraryWarning(false);
    }
    kit::Document::saveDocumentWithDelegate(std::move(done));
}

bool MyDocument::checkAutosavingSafety(kit::Error* error)
{
    if (!showComponentLibraryWarning())
        return true;
    kit::Error locked(KELErrorDomain, KELErrorComponentLibraryLocked);
    locked.userInfo()[kit::LocalizedDescriptionKey] =
        QStringLiteral("Are you sure that you want to unlock the Component Library file \"%1\"?").arg(displayName());
    locked.userInfo()[kit::LocalizedRecoverySuggestionKey] =
        QStringLiteral("Making changes to this file may cause components to stop functioning correctly on your web pages.");
    locked.setRecoveryOptions({QStringLiteral("Unlock"), QStringLiteral("Cancel")});
    QPointer<MyDocument> self(this);
    locked.setRecoveryAttempter([self](int option) { return self && self->attemptRecoveryFromError(KELErrorComponentLibraryLocked, option); });
    kit::setError(error, locked);
    return false;
}

bool MyDocument::attemptRecoveryFromError(int code, int optionIndex)
{
    bool recovered = false;
    if (code == KELErrorCannotSaveInEncoding && optionIndex == 0) {
        setDocumentEncoding(kit::UTF8StringEncoding);
        updateFilePrefsWithDocumentEncoding(kit::UTF8StringEncoding);
        recovered = true;
    } else if (code == KELErrorComponentLibraryLocked && optionIndex == 0) {
        setShowComponentLibraryWarning(false);
        recovered = true;
    }
    if (recovered) {
        QPointer<MyDocument> self(this);
        kit::performOnNextTurn(this, [self] {
            if (self)
                self->autosaveAfterError();
        });
    }
    return recovered;
}

void MyDocument::autosaveAfterError()
{
    QPointer<MyDocument> self(this);
    autosaveWithImplicitCancellability(false, [self](const kit::Error& error) {
        if (error.isNull() || error.isUserCancelled() || !self)
            return;
        kit::performOnNextTurn(self, [self, error] {
            if (self)
                self->presentError(error);
        });
    });
}

bool MyDocument::prepareSavePanel(QFileDialog& panel)
{
    if (kit::Document::fileURL().isEmpty())
        panel.selectFile(QStringLiteral("Untitled.") + fileNameExtensionForType(fileType(), kit::SaveOperation::SaveAs));
    m_encodingForSaving = m_documentEncoding != kit::NoEncoding ? m_documentEncoding : suggestedDocumentEncoding();
    if (auto* grid = qobject_cast<QGridLayout*>(panel.layout())) {
        auto* label = new QLabel(QStringLiteral("Text Encoding:"), &panel);
        auto* popUp = new KELEncodingPopUpButtonCell(false, m_encodingForSaving, &panel);
        const int row = grid->rowCount();
        grid->addWidget(label, row, 0);
        grid->addWidget(popUp, row, 1, 1, grid->columnCount() - 1);
        QPointer<MyDocument> self(this);
        QObject::connect(popUp, &QComboBox::currentIndexChanged, &panel, [self, popUp] {
            if (self && popUp->selectedEncoding() != kit::NoEncoding)
                self->setEncodingForSaving(popUp->selectedEncoding());
        });
    }
    return true;
}

QString MyDocument::fileNameExtensionForType(const QString&, kit::SaveOperation) const
{
    const QString extension = QFileInfo(filePath()).suffix();
    if (!extension.isEmpty())
        return extension;
    const QString fallback = kit::UserDefaults::standard().stringValue(KELDefaultFileExtensionKey);
    return fallback.isEmpty() ? QStringLiteral("html") : fallback;
}

bool MyDocument::isDocumentEdited() const
{
    return kit::Document::isDocumentEdited() || m_hasUnsavedEncodingChange;
}

bool MyDocument::hasUnautosavedChanges() const
{
    return m_hasUnsavedEncodingChange || kit::Document::hasUnautosavedChanges();
}

kit::Document::SideFileContents MyDocument::sideFileContents()
{
    // Copied through the typing gap (the text stays where it is) into the memory of
    // the last copy once its write let go of it: a large page costs one plain copy.
    m_textStorage->copyString(m_sideFileText);
    return [text = m_sideFileText](kit::Error* error) {
        // A lone surrogate (half a pasted character) must not cost the rest of the text.
        return kit::encodeString(text, kit::UTF8StringEncoding, true, error);
    };
}

void MyDocument::editedStateDidChange()
{
    const bool edited = isDocumentEdited();
    if (edited == m_isEdited)
        return;
    m_isEdited = edited;
    kit::NotificationCenter::defaultCenter().post(KELDocumentEditedStateDidChangeNotification, this);
}

// ---------------------------------------------------------------- component library files

bool MyDocument::showComponentLibraryWarning() const
{
    return m_showComponentLibraryWarning && !g_suppressComponentLibraryWarning;
}

void MyDocument::setShowComponentLibraryWarning(bool show)
{
    m_showComponentLibraryWarning = show;
    if (!show)
        g_suppressComponentLibraryWarning = true;
}

// ---------------------------------------------------------------- outside changes

void MyDocument::checkForExternalFileChanges()
{
    QPointer<MyDocument> self(this);
    kit::performOnNextTurn(this, [self] {
        if (self)
            self->checkForExternalFileChangesAfterDelay();
    });
}

QDateTime MyDocument::lastModifiedDateFromFileSystem() const
{
    return modificationDateOnDisk(kit::Document::fileURL());
}

void MyDocument::updateLastModifiedDateFromFileSystem()
{
    setLastModifiedDate(lastModifiedDateFromFileSystem());
}

void MyDocument::checkForExternalFileChangesAfterDelay()
{
    if (m_documentClosed)
        return;
    const QDateTime onDisk = lastModifiedDateFromFileSystem();
    const QDateTime seen = lastModifiedDate();
    // A later date, or a copy that kept its date and size but not its bytes.
    const bool changed = onDisk.isValid() && seen.isValid() && (onDisk > seen || fileContentsChangedOnDisk());
    if (changed && !QApplication::activeModalWidget()) {
        // Remember the date first: a revert that fails must not ask again and again.
        setLastModifiedDate(onDisk);
        if (isDocumentEdited()) {
            kit::Alert alert;
            alert.setMessageText(QStringLiteral("Warning"));
            alert.setInformativeText(QStringLiteral("The file for the document at %1 has been modified by another "
                                                    "application.  There are also unsaved changes in %2.  Do you want to "
                                                    "keep the current version or revert to the version on disk?")
                                         .arg(filePath(), UtilityFunctions::currentApplicationName()));
            alert.addButton(QStringLiteral("Keep Current Version"));
            alert.addButton(QStringLiteral("Revert"));
            if (alert.runModal() == kit::Alert::SecondButtonReturn)
                revertToSaved();
        } else {
            revertToSaved();
        }
    }
    if (!onDisk.isValid() && seen.isValid() && !QFileInfo::exists(filePath()) && !QApplication::activeModalWidget()) {
        // The file went away (moved or deleted by another program): the text is
        // now only here, so say so and let closing ask before it is lost.
        setLastModifiedDate(QDateTime());
        if (!isDocumentEdited())
            updateChangeCount(kit::ChangeType::Done);
        kit::Alert alert;
        alert.setMessageText(QStringLiteral("The file of the document “%1” has been moved or deleted.").arg(displayName()));
        alert.setInformativeText(QStringLiteral("Its text is still open here. Save the document to write the file again."));
        alert.addButton(QStringLiteral("OK"));
        alert.runModal();
        return;
    }
    setLastModifiedDate(onDisk);
}

// ---------------------------------------------------------------- file and closing

void MyDocument::setFileURL(const QUrl& url)
{
    const QUrl oldURL = kit::Document::fileURL();
    const bool changed = url != oldURL;
    const QString oldType = m_viewLoaded ? syntaxTypeName() : QString();
    kit::Document::setFileURL(url);
    if (!changed)
        return;
    // A new extension may mean another language.
    if (m_viewLoaded && coloringManager() && syntaxTypeName() != oldType)
        coloringManager()->recolorAllTags();
    if (oldURL.isEmpty() && !url.isEmpty())
        updateCurrentSequenceNumber();
    if (m_viewLoaded && m_windowController && m_windowController->isProjectWindow() && !oldURL.isEmpty()
        && oldURL.adjusted(QUrl::NormalizePathSegments) != url.adjusted(QUrl::NormalizePathSegments)) {
        m_windowController->setNeedsDirectoryUpdate();
        QPointer<MyDocument> self(this);
        kit::performOnNextTurn(this, [self] {
            if (self)
                self->moveDocumentToCorrectWindowController();
        });
    }
    updateLastModifiedDateFromFileSystem();
    kit::NotificationCenter::defaultCenter().post(KELDocumentFileURLDidChangeNotification, this);
}

void MyDocument::setFileURLIfOpen(const QUrl& url)
{
    if (!m_documentClosed)
        setFileURL(url);
}

void MyDocument::setAutosavedContentsFileURL(const QUrl& url)
{
    // Side files are written every few seconds of typing, mostly to the same place.
    const bool changed = url != autosavedContentsFileURL();
    kit::Document::setAutosavedContentsFileURL(url);
    if (!changed)
        return;
    if (m_windowController && !url.isEmpty())
        m_windowController->addAutosaveURL(url);
    kit::NotificationCenter::defaultCenter().post(KELDocumentAutosaveURLDidChangeNotification, this);
}

void MyDocument::closeWithWindowUpdate()
{
    for (kit::WindowController* controller : windowControllers()) {
        if (auto* window = qobject_cast<DocumentWindowController*>(controller))
            window->removeDocument(this);
    }
    if (m_windowController)
        m_windowController->removeDocument(this);
    kit::NotificationCenter::defaultCenter().post(KELDocumentDidCloseWithWindowUpdateNotification, this);
    close();
}

void MyDocument::close()
{
    if (m_documentClosed)
        return;
    cleanupDoc();
    m_documentClosed = true;
    QList<DocumentWindowController*> windows;
    for (kit::WindowController* controller : windowControllers()) {
        if (auto* window = qobject_cast<DocumentWindowController*>(controller))
            windows << window;
    }
    if (m_windowController && !windows.contains(m_windowController.data()))
        windows << m_windowController.data();
    for (DocumentWindowController* window : windows) {
        // A window that is closing lets go of its documents itself.
        if (window->isClosingWindow())
            window->removeDocumentForHardClose(this);
        else
            window->removeDocument(this);
        removeWindowController(window);
    }
    m_windowController = nullptr;
    if (editorHooks().willCloseEditor && m_viewLoaded)
        editorHooks().willCloseEditor(this);
    const bool wasUntitled = kit::Document::fileURL().isEmpty();
    kit::Document::close();
    tearDownEditor();
    if (wasUntitled)
        updateCurrentSequenceNumber();
}

void MyDocument::invalidateRestorableState()
{
    kit::Document::invalidateRestorableState();
    kit::NotificationCenter::defaultCenter().post(KELDocumentDidInvalidateRestorableStateNotification, this);
}
