#include "kit/document/Document.h"

#include "kit/Alert.h"
#include "kit/Log.h"
#include "kit/UndoManager.h"
#include "kit/document/DocumentController.h"
#include "kit/document/WindowController.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QSaveFile>
#include <QStandardPaths>
#include <QUuid>
#include <QWidget>

#include <cerrno>

namespace kit {

namespace {
Document::SavePanelResponder& savePanelResponder()
{
    static Document::SavePanelResponder responder;
    return responder;
}

constexpr int FileReadNoPermission = 257;
constexpr int FileWriteNoPermission = 513;
} // namespace

Document::Document(QObject* parent) : QObject(parent) {}

Document::~Document()
{
    if (DocumentController* controller = DocumentController::existingSharedDocumentController())
        controller->forgetDocument(this);
}

void Document::setFileURL(const QUrl& url)
{
    if (url == m_fileURL)
        return;
    m_fileURL = url;
    Q_EMIT fileURLChanged();
    invalidateRestorableState();
}

QString Document::filePath() const
{
    return m_fileURL.isLocalFile() ? m_fileURL.toLocalFile() : QString();
}

QString Document::displayName() const
{
    const QString path = filePath();
    if (path.isEmpty())
        return QStringLiteral("Untitled");
    return QFileInfo(path).fileName();
}

QDateTime Document::modificationDateOnDisk(const QUrl& url)
{
    if (!url.isLocalFile())
        return {};
    QFileInfo info(url.toLocalFile());
    if (!info.exists())
        return {};
    return info.lastModified();
}

void Document::setFileModificationDate(const QDateTime& date)
{
    m_fileModificationDate = date;
    const QFileInfo info(filePath());
    m_fileSize = date.isValid() && info.isFile() ? info.size() : -1;
}

bool Document::fileChangedOnDisk() const
{
    const QDateTime onDisk = modificationDateOnDisk(m_fileURL);
    return onDisk.isValid() && m_fileModificationDate.isValid() && onDisk > m_fileModificationDate;
}

// ---------------------------------------------------------------- autosave

void Document::setAutosavedContentsFileURL(const QUrl& url)
{
    if (url == m_autosaveURL)
        return;
    m_autosaveURL = url;
    Q_EMIT autosaveURLChanged();
}

QString Document::autosaveFolder()
{
    return QStandardPaths::writableLocation(QStandardPaths::AppDataLocation) + QStringLiteral("/Autosave Information");
}

QUrl Document::newAutosaveURL() const
{
    QString name = displayName();
    name.replace(QLatin1Char('/'), QLatin1Char('_'));
    return QUrl::fromLocalFile(autosaveFolder() + QLatin1Char('/')
                               + QUuid::createUuid().toString(QUuid::WithoutBraces) + QLatin1Char(' ') + name);
}

void Document::removeAutosaveFile()
{
    if (m_autosaveURL.isEmpty())
        return;
    QFile::remove(m_autosaveURL.toLocalFile());
    setAutosavedContentsFileURL({});
}

// ---------------------------------------------------------------- change count

void Document::updateChangeCount(ChangeType change)
{
    switch (change) {
    case ChangeType::Done:
    case ChangeType::Redone:
        ++m_changeCount;
        m_hasUnautosavedChanges = true;
        break;
    case ChangeType::Undone:
        --m_changeCount;
        m_hasUnautosavedChanges = true;
        break;
    case ChangeType::Cleared:
        // Typing after this point is a change of its own, never part of the
        // run (or the event's group) that the saved text already holds.
        if (m_undoManager)
            m_undoManager->breakCoalescing();
        m_changeCount = 0;
        m_hasUnautosavedChanges = false;
        break;
    case ChangeType::Autosaved:
        m_hasUnautosavedChanges = false;
        break;
    }
    noteEditedStateMayHaveChanged();
}

bool Document::isDocumentEdited() const
{
    return m_changeCount != 0;
}

bool Document::hasUnautosavedChanges() const
{
    return m_hasUnautosavedChanges;
}

void Document::noteEditedStateMayHaveChanged()
{
    const bool edited = isDocumentEdited();
    if (edited == m_lastEdited)
        return;
    m_lastEdited = edited;
    Q_EMIT editedStateChanged(edited);
}

UndoManager* Document::undoManager()
{
    if (!m_undoManager) {
        setUndoManager(new UndoManager(this));
        m_ownsUndoManager = true;
    }
    return m_undoManager;
}

void Document::setUndoManager(UndoManager* manager)
{
    if (manager == m_undoManager)
        return;
    if (m_undoManager) {
        disconnect(m_undoManager, nullptr, this, nullptr);
        if (m_ownsUndoManager)
            m_undoManager->deleteLater();
    }
    m_ownsUndoManager = false;
    m_undoManager = manager;
    if (!manager)
        return;
    connect(manager, &UndoManager::didCloseUndoGroup, this, [this] {
        if (!m_undoManager->isUndoing() && !m_undoManager->isRedoing())
            updateChangeCount(ChangeType::Done);
    });
    connect(manager, &UndoManager::didUndo, this, [this] { updateChangeCount(ChangeType::Undone); });
    connect(manager, &UndoManager::didRedo, this, [this] { updateChangeCount(ChangeType::Redone); });
}

// ---------------------------------------------------------------- reading

Error Document::fileError(int code, const QString& path, const QString& reason)
{
    QVariantMap info;
    info[FilePathErrorKey] = path;
    if (!reason.isEmpty()) {
        info[LocalizedFailureReasonKey] = reason;
        info[LocalizedRecoverySuggestionKey] = reason;
    }
    return Error(ErrorDomainCocoa, code, info);
}

qint64 Document::maximumFileSize() const
{
    return qint64(512) * 1024 * 1024;
}

std::optional<QByteArray> Document::readFileData(const QString& path, qint64 maximumSize, Error* error)
{
    if (path.isEmpty()) {
        setError(error, fileError(FileNoSuchFileError, path, QStringLiteral("The document has no file.")));
        return std::nullopt;
    }
    const QFileInfo info(path);
    if (!info.exists()) {
        setError(error, fileError(FileReadNoSuchFileError, path, QStringLiteral("The file “%1” does not exist (it may have been moved, renamed or deleted).").arg(info.fileName())));
        return std::nullopt;
    }
    if (info.isDir()) {
        setError(error, fileError(FileReadUnknownError, path, QStringLiteral("“%1” is a folder, not a file.").arg(info.fileName())));
        return std::nullopt;
    }
    if (!info.isFile()) {
        // Devices and pipes could block or never end.
        setError(error, fileError(FileReadUnknownError, path, QStringLiteral("“%1” is not a regular file.").arg(info.fileName())));
        return std::nullopt;
    }
    if (maximumSize > 0 && info.size() > maximumSize) {
        setError(error, fileError(FileReadTooLargeError, path,
                                  QStringLiteral("The file “%1” is too large (%2 MB). Files larger than %3 MB cannot be opened.")
                                      .arg(info.fileName())
                                      .arg(double(info.size()) / (1024.0 * 1024.0), 0, 'f', 1)
                                      .arg(maximumSize / (1024 * 1024))));
        return std::nullopt;
    }
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        const bool denied = file.error() == QFileDevice::OpenError && !info.isReadable();
        setError(error, fileError(denied ? FileReadNoPermission : FileReadUnknownError, path,
                                  denied ? QStringLiteral("You don’t have permission to read the file “%1”.").arg(info.fileName())
                                         : file.errorString()));
        return std::nullopt;
    }
    QByteArray data = file.readAll();
    if (file.error() != QFileDevice::NoError) {
        setError(error, fileError(FileReadUnknownError, path, file.errorString()));
        return std::nullopt;
    }
    return data;
}

bool Document::readFromURL(const QUrl& url, const QString& type, Error* error)
{
    const std::optional<QByteArray> data = readFileData(url.isLocalFile() ? url.toLocalFile() : QString(), maximumFileSize(), error);
    if (!data)
        return false;
    return readFromData(*data, type, error);
}

bool Document::readFromData(const QByteArray&, const QString&, Error* error)
{
    setError(error, Error(ErrorDomainCocoa, FileReadUnknownError));
    return false;
}

bool Document::revertToContentsOfURL(const QUrl& url, const QString& type, Error* error)
{
    if (!readFromURL(url, type, error))
        return false;
    setFileModificationDate(modificationDateOnDisk(url));
    updateChangeCount(ChangeType::Cleared);
    if (m_undoManager)
        m_undoManager->removeAllActions();
    removeAutosaveFile();
    return true;
}

// ---------------------------------------------------------------- writing

std::optional<QByteArray> Document::dataOfType(const QString&, Error* error)
{
    setError(error, Error(ErrorDomainCocoa, FileWriteUnknownError));
    return std::nullopt;
}

bool Document::writeDataSafely(const QByteArray& data, const QString& path, Error* error)
{
    if (path.isEmpty()) {
        setError(error, fileError(FileWriteUnknownError, path, QStringLiteral("No file was given.")));
        return false;
    }
    const QFileInfo info(path);
    if (info.isDir()) {
        Error folder = fileError(FileWriteUnknownError, path,
                                 QStringLiteral("A folder named “%1” is where the file should be. Save the document "
                                                "under another name, or move the folder away.")
                                     .arg(info.fileName()));
        folder.userInfo()[LocalizedDescriptionKey] =
            QStringLiteral("The file “%1” couldn’t be saved because a folder is in its place.").arg(info.fileName());
        setError(error, folder);
        return false;
    }
    QSaveFile file(path);
    // Never fall back to writing in place: that would truncate the old file first.
    file.setDirectWriteFallback(false);
    if (!file.open(QIODevice::WriteOnly)) {
        const QFileInfo folder(info.absolutePath());
        QString reason;
        int code = FileWriteUnknownError;
        if (!folder.exists()) {
            code = FileNoSuchFileError;
            reason = QStringLiteral("The folder “%1” does not exist.").arg(folder.fileName());
        } else if (!folder.isWritable() || (info.exists() && !info.isWritable())) {
            code = FileWriteNoPermission;
            reason = info.exists() && !info.isWritable()
                ? QStringLiteral("You don’t have permission to write the file “%1”.").arg(info.fileName())
                : QStringLiteral("You don’t have permission to save in the folder “%1”.").arg(folder.fileName());
        } else {
            reason = file.errorString();
        }
        setError(error, fileError(code, path, reason));
        return false;
    }
    if (file.write(data) != data.size()) {
        const QString reason = file.errorString();
        file.cancelWriting();
        setError(error, fileError(FileWriteUnknownError, path, reason));
        return false;
    }
    if (!file.commit()) {
        setError(error, fileError(FileWriteUnknownError, path, file.errorString()));
        return false;
    }
    return true;
}

bool Document::writeToURL(const QUrl& url, const QString& type, Error* error)
{
    const std::optional<QByteArray> data = dataOfType(type, error);
    if (!data)
        return false;
    return writeDataSafely(*data, url.toLocalFile(), error);
}

bool Document::writeSafelyToURL(const QUrl& url, const QString& type, SaveOperation, Error* error)
{
    return writeToURL(url, type, error);
}

bool Document::saveToURL(const QUrl& url, const QString& type, SaveOperation operation, Error* error)
{
    if (operation == SaveOperation::Autosave) {
        // Only ever the side file: the user's file changes on an explicit save.
        if (!checkAutosavingSafety(error))
            return false;
        const QUrl target = m_autosaveURL.isEmpty() ? newAutosaveURL() : m_autosaveURL;
        QDir().mkpath(QFileInfo(target.toLocalFile()).absolutePath());
        if (!writeSafelyToURL(target, type, operation, error))
            return false;
        setAutosavedContentsFileURL(target);
        updateChangeCount(ChangeType::Autosaved);
        return true;
    }
    if (!url.isLocalFile()) {
        setError(error, fileError(FileWriteUnknownError, QString(), QStringLiteral("Only local files can be saved.")));
        return false;
    }
    if (!m_fileURL.isEmpty()
        && QDir::cleanPath(url.toLocalFile()) == QDir::cleanPath(m_fileURL.toLocalFile())) {
        bool handled = false;
        bool saved = false;
        if (!checkFileUnchangedBeforeSaving(url, &handled, &saved, error)) {
            if (!handled)
                setError(error, Error::userCancelled());
            return handled && saved;
        }
    }
    if (!writeSafelyToURL(url, type, operation, error))
        return false;
    if (operation == SaveOperation::Save || operation == SaveOperation::SaveAs) {
        setFileType(type);
        setFileURL(url);
        setFileModificationDate(modificationDateOnDisk(url));
        updateChangeCount(ChangeType::Cleared);
        removeAutosaveFile();
    }
    return true;
}

void Document::saveToURL(const QUrl& url, const QString& type, SaveOperation operation,
                         std::function<void(const Error&)> completion)
{
    Error error;
    const bool ok = saveToURL(url, type, operation, &error);
    if (ok)
        error = Error();
    else if (error.isNull())
        error = Error::userCancelled();
    if (completion)
        completion(error);
}

bool Document::checkFileUnchangedBeforeSaving(const QUrl& url, bool* handled, bool* saved, Error* error)
{
    *handled = false;
    *saved = false;
    const QFileInfo info(url.toLocalFile());
    // Nothing to lose when the file is gone (it is written anew) or was never
    // seen; a folder in its place fails with its own message when written.
    if (!info.exists() || info.isDir() || !m_fileModificationDate.isValid())
        return true;
    if (info.lastModified() == m_fileModificationDate && (m_fileSize < 0 || info.size() == m_fileSize))
        return true;
    Alert alert;
    alert.setMessageText(QStringLiteral("The file “%1” has been changed by another application since it was opened or saved.")
                             .arg(info.fileName()));
    alert.setInformativeText(QStringLiteral("Do you want to keep the other version (the changes in this window are "
                                            "discarded), overwrite it with this document, or save this document elsewhere?"));
    alert.addButton(QStringLiteral("Save Elsewhere…"));
    alert.addButton(QStringLiteral("Keep Other Version"));
    alert.addButton(QStringLiteral("Overwrite"));
    alert.addButton(QStringLiteral("Cancel"));
    switch (alert.runModal()) {
    case ChangedFileOverwrite:
        return true;
    case ChangedFileKeepOther:
        *handled = true;
        *saved = revertToContentsOfURL(m_fileURL, m_fileType, error);
        return false;
    case ChangedFileSaveElsewhere: {
        *handled = true;
        runModalSavePanel(SaveOperation::SaveAs, [saved](Document*, bool didSave) { *saved = didSave; });
        if (!*saved)
            setError(error, Error::userCancelled());
        return false;
    }
    default:
        return false;
    }
}

bool Document::checkAutosavingSafety(Error*)
{
    return true;
}

void Document::autosaveWithImplicitCancellability(bool, std::function<void(const Error&)> completion)
{
    if (!hasUnautosavedChanges() || m_closed) {
        if (completion)
            completion(Error());
        return;
    }
    saveToURL(m_autosaveURL, m_fileType, SaveOperation::Autosave, std::move(completion));
}

// ---------------------------------------------------------------- user commands

void Document::saveDocumentWithDelegate(std::function<void(Document*, bool)> done)
{
    if (m_fileURL.isEmpty()) {
        runModalSavePanel(SaveOperation::Save, std::move(done));
        return;
    }
    Error error;
    bool saved = saveToURL(m_fileURL, m_fileType, SaveOperation::Save, &error);
    if (!saved && !error.isNull() && !error.isUserCancelled()) {
        // A recovery (such as another encoding) is what the user chose to save with.
        if (presentError(error)) {
            Error again;
            saved = saveToURL(m_fileURL, m_fileType, SaveOperation::Save, &again);
            if (!saved && !again.isNull() && !again.isUserCancelled())
                presentError(again);
        }
    }
    if (done)
        done(this, saved);
}

void Document::saveDocumentAs()
{
    runModalSavePanel(SaveOperation::SaveAs, {});
}

void Document::saveDocumentTo()
{
    runModalSavePanel(SaveOperation::SaveTo, {});
}

bool Document::prepareSavePanel(QFileDialog&)
{
    return true;
}

QString Document::fileNameExtensionForType(const QString&, SaveOperation) const
{
    const QString suffix = QFileInfo(filePath()).suffix();
    return suffix;
}

void Document::runModalSavePanel(SaveOperation operation, std::function<void(Document*, bool)> done)
{
    // Saving an untitled document gives it its file, as Save As does.
    const SaveOperation effective = operation == SaveOperation::Save ? SaveOperation::SaveAs : operation;
    QUrl url;
    if (savePanelResponder()) {
        url = savePanelResponder()(*this, effective);
    } else {
        QFileDialog panel(windowForSheet());
        panel.setAcceptMode(QFileDialog::AcceptSave);
        // The panel names the command: Save To writes a copy and keeps the document where it is.
        panel.setWindowTitle(operation == SaveOperation::SaveTo ? QStringLiteral("Save To")
                                 : operation == SaveOperation::Save ? QStringLiteral("Save")
                                                                     : QStringLiteral("Save As"));
        panel.setFileMode(QFileDialog::AnyFile);
        panel.setOption(QFileDialog::DontUseNativeDialog, true);
        const QString path = filePath();
        panel.setDirectory(path.isEmpty() ? QDir::homePath() : QFileInfo(path).absolutePath());
        QString name = displayName();
        const QString extension = fileNameExtensionForType(m_fileType, effective);
        if (path.isEmpty() && !extension.isEmpty() && QFileInfo(name).suffix().isEmpty())
            name += QLatin1Char('.') + extension;
        panel.selectFile(name);
        if (!extension.isEmpty())
            panel.setDefaultSuffix(extension);
        if (prepareSavePanel(panel) && panel.exec() == QDialog::Accepted && !panel.selectedFiles().isEmpty())
            url = QUrl::fromLocalFile(panel.selectedFiles().constFirst());
    }
    if (url.isEmpty()) {
        if (done)
            done(this, false);
        return;
    }
    Error error;
    bool saved = saveToURL(url, m_fileType, effective, &error);
    if (!saved && !error.isNull() && !error.isUserCancelled()) {
        if (presentError(error)) {
            Error again;
            saved = saveToURL(url, m_fileType, effective, &again);
            if (!saved && !again.isNull() && !again.isUserCancelled())
                presentError(again);
        }
    }
    if (saved && effective == SaveOperation::SaveAs) {
        if (DocumentController* controller = DocumentController::existingSharedDocumentController())
            controller->noteNewRecentDocument(this);
    }
    if (done)
        done(this, saved);
}

void Document::revertDocumentToSaved()
{
    if (m_fileURL.isEmpty())
        return;
    Alert alert;
    alert.setMessageText(QStringLiteral("Do you want to revert to the most recently saved version of the document “%1”?").arg(displayName()));
    alert.setInformativeText(QStringLiteral("Your current changes will be lost."));
    alert.addButton(QStringLiteral("Revert"));
    alert.addButton(QStringLiteral("Cancel"));
    if (alert.runModal() != Alert::FirstButtonReturn)
        return;
    Error error;
    if (!revertToContentsOfURL(m_fileURL, m_fileType, &error))
        presentError(error);
}

// ---------------------------------------------------------------- errors

bool Document::presentError(const Error& error)
{
    return Alert::presentError(willPresentError(error), windowForSheet());
}

// ---------------------------------------------------------------- closing

void Document::canCloseDocument(std::function<void(bool)> done)
{
    if (!isDocumentEdited()) {
        done(true);
        return;
    }
    Alert alert;
    alert.setMessageText(QStringLiteral("Do you want to save the changes made to the document “%1”?").arg(displayName()));
    alert.setInformativeText(QStringLiteral("Your changes will be lost if you don’t save them."));
    alert.addButton(QStringLiteral("Save"));
    alert.addButton(QStringLiteral("Cancel"));
    alert.addButton(QStringLiteral("Don't Save"));
    QPointer<Document> self(this);
    alert.beginSheet(windowForSheet(), [self, done](int response) {
        if (!self) {
            done(false);
            return;
        }
        switch (response) {
        case SaveChangesSave:
            self->saveDocumentWithDelegate([done](Document*, bool saved) { done(saved); });
            break;
        case SaveChangesDontSave:
            done(true);
            break;
        default:
            done(false);
            break;
        }
    });
}

void Document::close()
{
    if (m_closed)
        return;
    m_closed = true;
    Q_EMIT documentWillClose();
    const QList<QPointer<WindowController>> controllers = m_windowControllers;
    for (const QPointer<WindowController>& controller : controllers) {
        if (!controller || controller->document() != this)
            continue;
        controller->setDocument(nullptr);
        // A window that stands for this document alone goes with it.
        if (controller && controller->shouldCloseDocument())
            controller->close();
    }
    m_windowControllers.clear();
    if (DocumentController* controller = DocumentController::existingSharedDocumentController())
        controller->removeDocument(this);
    removeAutosaveFile();
    deleteLater();
}

// ---------------------------------------------------------------- windows

QList<WindowController*> Document::windowControllers() const
{
    QList<WindowController*> list;
    for (const QPointer<WindowController>& controller : m_windowControllers) {
        if (controller)
            list << controller.data();
    }
    return list;
}

void Document::addWindowController(WindowController* controller)
{
    if (!controller || m_windowControllers.contains(controller))
        return;
    m_windowControllers << controller;
    if (controller->document() != this)
        controller->setDocument(this);
}

void Document::removeWindowController(WindowController* controller)
{
    m_windowControllers.removeAll(controller);
}

void Document::showWindows()
{
    for (WindowController* controller : windowControllers())
        controller->showWindow();
}

QWidget* Document::windowForSheet() const
{
    for (const QPointer<WindowController>& controller : m_windowControllers) {
        if (controller && controller->window())
            return controller->window();
    }
    return QApplication::activeWindow();
}

// ---------------------------------------------------------------- restorable state

void Document::encodeRestorableState(QVariantMap& state) const
{
    if (!m_fileURL.isEmpty())
        state[QStringLiteral("fileURL")] = m_fileURL.toString();
    if (!m_autosaveURL.isEmpty())
        state[QStringLiteral("autosaveURL")] = m_autosaveURL.toString();
    state[QStringLiteral("fileType")] = m_fileType;
}

void Document::restoreState(const QVariantMap&) {}

void Document::invalidateRestorableState()
{
    Q_EMIT restorableStateInvalidated();
}

void Document::setSavePanelResponderForTesting(SavePanelResponder responder)
{
    savePanelResponder() = std::move(responder);
}

} // namespace kit
