#pragma once
// The base of every document: a file (URL and type), a change count hooked to
// an undo manager, the save operations, autosave to a side file, revert, the
// save-changes question and errors with recovery options.
//
// Writes are safe: the new contents are produced in full first, then written to
// a temporary file in the same folder that replaces the old file by a rename,
// so a failed save leaves the file as it was. An autosave never touches the
// user's file: it writes a side file under the application data folder.

#include "kit/Error.h"

#include <QDateTime>
#include <QElapsedTimer>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QUrl>
#include <QVariantMap>
#include <functional>
#include <memory>
#include <optional>

class QFileDialog;
class QTimer;
class QWidget;

namespace kit {

class UndoManager;
class WindowController;

enum class SaveOperation : int { Save = 0, SaveAs = 1, SaveTo = 2, Autosave = 3 };

enum class ChangeType {
    Done,      // a change was made
    Undone,    // a change was undone
    Redone,    // an undone change was redone
    Cleared,   // the document now matches its file (saved or reverted)
    Autosaved, // the side file now holds the changes
};

class Document : public QObject {
    Q_OBJECT
public:
    explicit Document(QObject* parent = nullptr);
    ~Document() override;

    // -- The file
    QUrl fileURL() const { return m_fileURL; }
    virtual void setFileURL(const QUrl& url);
    /// The file's path; empty while untitled.
    QString filePath() const;
    QString fileType() const { return m_fileType; }
    virtual void setFileType(const QString& type) { m_fileType = type; }
    /// The file name, or "Untitled" while there is no file.
    virtual QString displayName() const;

    /// The file's modification date as last seen by this document (read, saved,
    /// reverted); compared with the disk to notice changes made by others.
    QDateTime fileModificationDate() const { return m_fileModificationDate; }
    /// Also notes the size the file has on disk now, which a save compares too.
    void setFileModificationDate(const QDateTime& date);
    /// The file's size as last seen with the date; -1 when unknown.
    qint64 fileSizeSeen() const { return m_fileSize; }
    /// The modification date of the file on disk now; invalid when there is none.
    static QDateTime modificationDateOnDisk(const QUrl& url);
    /// The file on disk is newer than the date this document last saw.
    bool fileChangedOnDisk() const;
    /// The file on disk is not the one this document last read or saved: another
    /// date or size, or (a copy that kept both, "cp -p", "rsync -t", "touch -r")
    /// another file or a later change to it whose bytes differ from those seen.
    /// False when there is no file or it was never seen.
    bool fileContentsChangedOnDisk() const;

    // -- Autosave side files
    QUrl autosavedContentsFileURL() const { return m_autosaveURL; }
    virtual void setAutosavedContentsFileURL(const QUrl& url);
    /// The folder of the side files, under the application data folder.
    static QString autosaveFolder();
    /// Deletes the side file: the user chose to discard the changes it holds (or
    /// the file now holds them). A side file still being written is never made.
    void removeAutosaveFile();

    // -- Side files while editing
    /// A change is written to the side file once editing pauses for `idleMs`, and
    /// at the latest `longestMs` after the first change it lacks, so a crash loses
    /// only the last seconds of typing.
    static void setSideFileDelays(int idleMs, int longestMs);
    static int sideFileIdleDelay();
    static int sideFileLongestDelay();
    /// Writes the side file at once (on this thread) when it lacks changes: before
    /// something that may block, such as a modal alert, a print or a long check.
    void writeSideFileNow();
    /// What the side file is to hold, taken now on this thread (a copy of the text);
    /// the function makes the bytes, on a worker thread for the writes after edits.
    /// None: the document has no such copy, and its side file is written by autosave.
    using SideFileContents = std::function<std::optional<QByteArray>(Error* error)>;
    virtual SideFileContents sideFileContents() { return {}; }

    // -- Change count
    virtual void updateChangeCount(ChangeType change);
    int changeCount() const { return m_changeCount; }
    virtual bool isDocumentEdited() const;
    virtual bool hasUnautosavedChanges() const;
    /// The document's undo manager (made on first use); its groups, undos and
    /// redos count as changes.
    UndoManager* undoManager();
    void setUndoManager(UndoManager* manager);

    // -- Reading
    /// Reads the file's bytes (with clear errors for a missing, unreadable,
    /// non-regular or too large file) and hands them to readFromData.
    virtual bool readFromURL(const QUrl& url, const QString& type, Error* error);
    virtual bool readFromData(const QByteArray& data, const QString& type, Error* error);
    /// Reads the file again; the change count is cleared and undo forgotten only
    /// when the read succeeded, so a failed revert keeps the edits.
    virtual bool revertToContentsOfURL(const QUrl& url, const QString& type, Error* error);
    /// Files larger than this are refused with a clear message.
    virtual qint64 maximumFileSize() const;
    /// Reads a whole file with the checks of readFromURL.
    static std::optional<QByteArray> readFileData(const QString& path, qint64 maximumSize, Error* error);

    // -- Reading on a worker thread
    /// What the worker's half of a read hands to the main thread (a subclass keeps
    /// its decoded text here).
    struct ReadResult
    {
        virtual ~ReadResult() = default;
        /// The bytes read; none with the error when the file could not be read.
        std::optional<QByteArray> data;
        /// The fingerprint of the bytes, taken on the worker.
        QByteArray fingerprint;
        Error error;
    };
    /// The slow half of reading the URL: made here, on the main thread, with every
    /// setting it needs taken now, then run on a worker thread (it touches no
    /// document, setting or widget). This one reads the bytes.
    using BackgroundRead = std::function<std::shared_ptr<ReadResult>()>;
    virtual BackgroundRead backgroundReadOfURL(const QUrl& url, const QString& type);
    /// The other half, on the main thread: takes the result into the document as
    /// readFromURL would (here through readFromData); false with the read's error.
    /// readFromURL is both halves run one after the other.
    virtual bool readFromResult(const QUrl& url, const QString& type, ReadResult& result, Error* error);

    // -- Writing
    /// The bytes to write; none with an error when they cannot be made.
    virtual std::optional<QByteArray> dataOfType(const QString& type, Error* error);
    /// Writes dataOfType to the URL safely.
    virtual bool writeToURL(const QUrl& url, const QString& type, Error* error);
    /// Writes for a save operation (the hook for subclasses around writeToURL).
    virtual bool writeSafelyToURL(const QUrl& url, const QString& type, SaveOperation operation, Error* error);
    /// Saves: Save and Save As write the file and make it the document's file,
    /// Save To writes a copy, Autosave writes the side file.
    virtual bool saveToURL(const QUrl& url, const QString& type, SaveOperation operation, Error* error);
    /// The same, reporting through a completion (a null error means success).
    virtual void saveToURL(const QUrl& url, const QString& type, SaveOperation operation,
                           std::function<void(const Error&)> completion);
    /// Writes bytes to a file without ever leaving it half written: a temporary
    /// file in the same folder is renamed over the old one (whose permissions are
    /// kept). On failure the old file is untouched.
    static bool writeDataSafely(const QByteArray& data, const QString& path, Error* error);

    /// Before a save writes over the document's own file: when another program
    /// changed the file since this document read or saved it (its date or size
    /// differ), the user chooses to keep the other version (the document reverts
    /// to it), overwrite it, or save elsewhere. Answers whether to go on writing;
    /// otherwise *handled tells whether the save is nonetheless settled (reverted or
    /// saved elsewhere, with *saved its outcome) or cancelled.
    virtual bool checkFileUnchangedBeforeSaving(const QUrl& url, bool* handled, bool* saved, Error* error);
    /// The answers of the question above.
    enum ChangedFileAnswer { ChangedFileSaveElsewhere = 1000, ChangedFileKeepOther = 1001,
                             ChangedFileOverwrite = 1002, ChangedFileCancel = 1003 };

    /// Whether an autosave may run now; false with an error that may offer recovery.
    virtual bool checkAutosavingSafety(Error* error);
    virtual void autosaveWithImplicitCancellability(bool implicitlyCancellable,
                                                    std::function<void(const Error&)> completion);

    // -- User commands
    /// Save: asks for a place when untitled; errors are presented. done gets
    /// whether the document was saved.
    virtual void saveDocumentWithDelegate(std::function<void(Document*, bool didSave)> done);
    void saveDocument() { saveDocumentWithDelegate({}); }
    void saveDocumentAs();
    void saveDocumentTo();
    /// Asks for a place and saves there with the operation (Save As, Save To or,
    /// for an untitled document, Save).
    virtual void runModalSavePanel(SaveOperation operation, std::function<void(Document*, bool didSave)> done);
    /// Lets a subclass adjust the save dialog; false cancels.
    virtual bool prepareSavePanel(QFileDialog& panel);
    /// The extension proposed for a new file name.
    virtual QString fileNameExtensionForType(const QString& type, SaveOperation operation) const;
    /// Asks, then reverts to the file; failures are presented and keep the edits.
    virtual void revertDocumentToSaved();

    // -- Errors
    /// Shows the error (with its recovery options as buttons); answers whether
    /// the chosen option recovered.
    virtual bool presentError(const Error& error);
    virtual Error willPresentError(const Error& error) { return error; }

    // -- Closing
    /// Asks the save-changes question when the document is edited; done gets
    /// whether the document may close (it was saved, or the user discarded).
    virtual void canCloseDocument(std::function<void(bool shouldClose)> done);
    /// Closes: window controllers let go, the document leaves the controller and
    /// its side file is removed. The object is deleted later.
    virtual void close();
    bool isClosed() const { return m_closed; }

    // -- Windows
    QList<WindowController*> windowControllers() const;
    void addWindowController(WindowController* controller);
    void removeWindowController(WindowController* controller);
    virtual void makeWindowControllers() {}
    virtual void showWindows();
    /// The window sheets and alerts of this document belong to.
    virtual QWidget* windowForSheet() const;

    // -- Restorable state
    virtual void encodeRestorableState(QVariantMap& state) const;
    virtual void restoreState(const QVariantMap& state);
    virtual void invalidateRestorableState();

    // -- Tests
    /// Answers save dialogs: returns the chosen URL, or an empty URL to cancel.
    using SavePanelResponder = std::function<QUrl(Document&, SaveOperation)>;
    static void setSavePanelResponderForTesting(SavePanelResponder responder);

    /// The save-changes question's answers.
    enum SaveChangesAnswer { SaveChangesSave = 1000, SaveChangesCancel = 1001, SaveChangesDontSave = 1002 };

Q_SIGNALS:
    void editedStateChanged(bool edited);
    void fileURLChanged();
    void autosaveURLChanged();
    void documentWillClose();
    void restorableStateInvalidated();

protected:
    /// The bytes just read from or written to the document's own file: the next
    /// note of its date keeps their fingerprint, so that the file need not be read again.
    void noteFileContents(const QByteArray& data);
    /// The same with the bytes' fingerprint taken already (on a worker).
    void noteFileFingerprint(const QByteArray& fingerprint) { m_pendingFingerprint = fingerprint; }
    /// Tells one version of a file from another; a worker thread may take it.
    static QByteArray fingerprint(const QByteArray& data);
    /// Emits editedStateChanged when the answer of isDocumentEdited changed.
    void noteEditedStateMayHaveChanged();
    /// The file's name for messages (display name in quotes is the caller's).
    static Error fileError(int code, const QString& path, const QString& reason);

private:
    QUrl newAutosaveURL() const;
    struct SideFileState;
    /// The side file's place: the one in use, the one a write is making, or a new one.
    QUrl sideFileTarget();
    void noteChangeForSideFile();
    void sideFileTimerFired();
    void writeSideFileInBackground();
    void sideFileWritten(quint64 generation, const QUrl& target, bool written, const Error& error);
    /// What identifies a file's contents short of reading it.
    struct FileIdentity
    {
        bool valid = false;
        qint64 size = -1;
        qint64 modifiedNanoseconds = 0;
        qint64 changedNanoseconds = 0;
        quint64 device = 0;
        quint64 inode = 0;
        bool operator==(const FileIdentity& other) const = default;
    };
    static FileIdentity fileIdentity(const QString& path);
    static bool isRecent(const FileIdentity& identity);
    static std::optional<QByteArray> fingerprintOfFile(const QString& path);

    QUrl m_fileURL;
    QString m_fileType;
    QDateTime m_fileModificationDate;
    qint64 m_fileSize = -1;
    FileIdentity m_fileIdentity;
    // Changed so lately when seen that a change in the same clock tick would not show.
    mutable bool m_fileIdentityRacy = false;
    QByteArray m_fileFingerprint;
    QByteArray m_pendingFingerprint;
    QUrl m_autosaveURL;
    QUrl m_pendingSideFileURL;
    std::shared_ptr<SideFileState> m_sideFile;
    QTimer* m_sideFileTimer = nullptr;
    QElapsedTimer m_firstUnwrittenChange;
    quint64 m_changeGeneration = 0;
    bool m_sideFileWriting = false;
    bool m_sideFileAgain = false;
    bool m_sideFileErrorLogged = false;
    int m_savingDepth = 0;
    int m_changeCount = 0;
    bool m_hasUnautosavedChanges = false;
    bool m_lastEdited = false;
    bool m_closed = false;
    UndoManager* m_undoManager = nullptr;
    bool m_ownsUndoManager = false;
    QList<QPointer<WindowController>> m_windowControllers;
};

} // namespace kit
