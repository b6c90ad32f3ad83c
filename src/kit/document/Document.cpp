#include "kit/document/Document.h"

#include "kit/Alert.h"
#include "kit/Log.h"
#include "kit/UndoManager.h"
#include "kit/document/DocumentController.h"
#include "kit/document/WindowController.h"

#include <QApplication>
#include <QDir>
#include <QMutex>
#include <QMutexLocker>
#include <QThreadPool>
#include <QTimer>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QHashFunctions>
#include <QSaveFile>
#include <QTemporaryFile>
#include <QStandardPaths>
#include <QUuid>
#include <QScopeGuard>
#include <QWidget>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <unistd.h>
#include <sys/stat.h>

namespace kit {

namespace {
Document::SavePanelResponder& savePanelResponder()
{
    static Document::SavePanelResponder responder;
    return responder;
}

constexpr int FileReadNoPermission = 257;
constexpr int FileWriteNoPermission = 513;

int& sideFileIdle()
{
    static int ms = 1000;
    return ms;
}

int& sideFileLongest()
{
    static int ms = 3000;
    return ms;
}

// Side files after edits are written one at a time, off the main thread.
QThreadPool* sideFilePool()
{
    static QPointer<QThreadPool> pool;
    if (!pool) {
        pool = new QThreadPool(QCoreApplication::instance());
        pool->setMaxThreadCount(1);
    }
    return pool;
}
} // namespace

// Shared by a document and the side-file writes it started; a write takes the
// lock, so a slower, older write never replaces a newer side file, and none is
// made once the document has let go of its side file.
struct Document::SideFileState {
    QMutex mutex;
    quint64 written = 0; // the newest change the side file holds
    quint64 discarded = 0; // changes up to this one are not to be written any more
};

namespace {
// Writes the side file for the change unless it holds a newer one or was let go
// of; *written tells whether it was written. The bytes are made and written to a
// temporary file first; only the rename that puts them in place holds the lock.
bool writeSideFile(QMutex& mutex, quint64& writtenGeneration, const quint64& discarded, quint64 generation,
                   const QString& path, const Document::SideFileContents& contents, Error* error, bool* written)
{
    *written = false;
    auto stale = [&] { return generation <= writtenGeneration || generation <= discarded; };
    {
        QMutexLocker lock(&mutex);
        if (stale())
            return true;
    }
    const std::optional<QByteArray> data = contents(error);
    if (!data)
        return false;
    const QString folder = QFileInfo(path).absolutePath();
    auto failed = [&](const QString& reason) {
        setError(error, Error::withDescription(ErrorDomainCocoa, FileWriteUnknownError,
                                               QStringLiteral("The unsaved changes could not be kept in “%1”: %2")
                                                   .arg(path, reason)));
        return false;
    };
    QDir().mkpath(folder);
    QTemporaryFile file(folder + QStringLiteral("/.side-XXXXXX"));
    if (!file.open())
        return failed(file.errorString());
    if (file.write(*data) != data->size() || !file.flush())
        return failed(file.errorString());
    if (::fsync(file.handle()) != 0)
        return failed(QString::fromLocal8Bit(std::strerror(errno)));
    QMutexLocker lock(&mutex);
    if (stale())
        return true;
    if (::rename(QFile::encodeName(file.fileName()).constData(), QFile::encodeName(path).constData()) != 0)
        return failed(QString::fromLocal8Bit(std::strerror(errno)));
    file.setAutoRemove(false);
    writtenGeneration = generation;
    *written = true;
    return true;
}
} // namespace

Document::Document(QObject* parent) : QObject(parent), m_sideFile(std::make_shared<SideFileState>()) {}

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
    const QString path = filePath();
    const QFileInfo info(path);
    m_fileSize = date.isValid() && info.isFile() ? info.size() : -1;
    const FileIdentity now = date.isValid() ? fileIdentity(path) : FileIdentity();
    if (!now.valid) {
        m_fileIdentity = FileIdentity();
        m_fileFingerprint.clear();
        m_pendingFingerprint.clear();
        return;
    }
    if (!m_pendingFingerprint.isEmpty()) {
        m_fileFingerprint = m_pendingFingerprint;
        m_pendingFingerprint.clear();
    } else if (!(now == m_fileIdentity) || m_fileFingerprint.isEmpty()) {
        // Seen anew without its bytes in hand (a change accepted as it is).
        m_fileFingerprint = fingerprintOfFile(path).value_or(QByteArray());
    }
    m_fileIdentity = now;
    m_fileIdentityRacy = isRecent(now);
}

bool Document::isRecent(const FileIdentity& identity)
{
    // File times move in clock ticks of a few milliseconds: a change made in the
    // same tick as the one seen leaves every time as it was. Until the file is
    // older than that, only its bytes tell.
    const qint64 now = QDateTime::currentMSecsSinceEpoch() * 1000000;
    return identity.changedNanoseconds > now - qint64(2000) * 1000000;
}

void Document::noteFileContents(const QByteArray& data)
{
    m_pendingFingerprint = fingerprint(data);
}

bool Document::fileChangedOnDisk() const
{
    const QDateTime onDisk = modificationDateOnDisk(m_fileURL);
    return onDisk.isValid() && m_fileModificationDate.isValid() && onDisk > m_fileModificationDate;
}

bool Document::fileContentsChangedOnDisk() const
{
    if (!m_fileModificationDate.isValid() || !m_fileIdentity.valid)
        return false;
    const QString path = filePath();
    const FileIdentity now = fileIdentity(path);
    if (!now.valid)
        return false;
    if (now == m_fileIdentity) {
        if (!m_fileIdentityRacy || m_fileFingerprint.isEmpty())
            return false;
        const std::optional<QByteArray> onDisk = fingerprintOfFile(path);
        if (onDisk && *onDisk == m_fileFingerprint) {
            m_fileIdentityRacy = isRecent(now);
            return false;
        }
        return true;
    }
    if (now.size != m_fileIdentity.size || now.modifiedNanoseconds != m_fileIdentity.modifiedNanoseconds)
        return true;
    // Same date and size, but another file or touched since: only the bytes tell
    // a copy that kept the date from a change of owner or permissions.
    const std::optional<QByteArray> onDisk = fingerprintOfFile(path);
    return !onDisk || m_fileFingerprint.isEmpty() || *onDisk != m_fileFingerprint;
}

Document::FileIdentity Document::fileIdentity(const QString& path)
{
    FileIdentity identity;
    struct stat info;
    if (path.isEmpty() || ::stat(QFile::encodeName(path).constData(), &info) != 0 || !S_ISREG(info.st_mode))
        return identity;
    identity.valid = true;
    identity.size = qint64(info.st_size);
    identity.modifiedNanoseconds = qint64(info.st_mtim.tv_sec) * 1000000000 + info.st_mtim.tv_nsec;
    identity.changedNanoseconds = qint64(info.st_ctim.tv_sec) * 1000000000 + info.st_ctim.tv_nsec;
    identity.device = quint64(info.st_dev);
    identity.inode = quint64(info.st_ino);
    return identity;
}

namespace {
// Tells one version of a file from another while the program runs (it is never
// stored); not a seal against forgery. Two hashes of the bytes at memory speed,
// so that a large file's check costs little more than reading it.
QByteArray fingerprintOfBytes(const void* bytes, qsizetype size)
{
    const quint64 parts[] = {quint64(size), quint64(qHashBits(bytes, size_t(size), size_t(0x9E3779B97F4A7C15ull))),
                             quint64(qHashBits(bytes, size_t(size), size_t(0xC2B2AE3D27D4EB4Full)))};
    return QByteArray(reinterpret_cast<const char*>(parts), sizeof(parts));
}
} // namespace

QByteArray Document::fingerprint(const QByteArray& data)
{
    return fingerprintOfBytes(data.constData(), data.size());
}

std::optional<QByteArray> Document::fingerprintOfFile(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    const qint64 size = file.size();
    if (size > 0) {
        if (const uchar* mapped = file.map(0, size)) {
            QByteArray result = fingerprintOfBytes(mapped, qsizetype(size));
            file.unmap(const_cast<uchar*>(mapped));
            return result;
        }
    }
    const QByteArray data = file.readAll();
    if (file.error() != QFileDevice::NoError)
        return std::nullopt;
    return fingerprint(data);
}

// ---------------------------------------------------------------- autosave

void Document::setAutosavedContentsFileURL(const QUrl& url)
{
    if (url == m_pendingSideFileURL)
        m_pendingSideFileURL.clear();
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
    {
        // A write under way either finished (its file goes now) or makes nothing.
        QMutexLocker lock(&m_sideFile->mutex);
        m_sideFile->discarded = m_changeGeneration;
        if (!m_pendingSideFileURL.isEmpty())
            QFile::remove(m_pendingSideFileURL.toLocalFile());
        if (!m_autosaveURL.isEmpty())
            QFile::remove(m_autosaveURL.toLocalFile());
    }
    m_pendingSideFileURL.clear();
    if (m_autosaveURL.isEmpty())
        return;
    setAutosavedContentsFileURL({});
}

void Document::setSideFileDelays(int idleMs, int longestMs)
{
    sideFileIdle() = idleMs;
    sideFileLongest() = qMax(idleMs, longestMs);
}

int Document::sideFileIdleDelay()
{
    return sideFileIdle();
}

int Document::sideFileLongestDelay()
{
    return sideFileLongest();
}

QUrl Document::sideFileTarget()
{
    if (!m_autosaveURL.isEmpty())
        return m_autosaveURL;
    if (m_pendingSideFileURL.isEmpty())
        m_pendingSideFileURL = newAutosaveURL();
    return m_pendingSideFileURL;
}

void Document::noteChangeForSideFile()
{
    ++m_changeGeneration;
    if (m_closed || sideFileIdle() < 0)
        return;
    if (!m_sideFileTimer) {
        m_sideFileTimer = new QTimer(this);
        m_sideFileTimer->setSingleShot(true);
        connect(m_sideFileTimer, &QTimer::timeout, this, [this] { sideFileTimerFired(); });
    }
    if (!m_firstUnwrittenChange.isValid())
        m_firstUnwrittenChange.start();
    // Once typing pauses, but never later than the longest delay after the first
    // change the side file lacks: steady typing is saved too.
    const qint64 left = sideFileLongest() - m_firstUnwrittenChange.elapsed();
    m_sideFileTimer->start(int(std::clamp<qint64>(std::min<qint64>(sideFileIdle(), left), 0, sideFileIdle())));
}

void Document::sideFileTimerFired()
{
    if (m_sideFileWriting) {
        m_sideFileAgain = true;
        return;
    }
    if (m_savingDepth > 0) {
        // Its own save is under way (perhaps waiting for an answer): after it.
        m_sideFileTimer->start(sideFileIdle());
        return;
    }
    writeSideFileInBackground();
}

void Document::writeSideFileInBackground()
{
    if (m_closed || !m_hasUnautosavedChanges)
        return;
    if (!isDocumentEdited()) {
        // Undone back to the file: nothing to recover.
        removeAutosaveFile();
        updateChangeCount(ChangeType::Autosaved);
        return;
    }
    Error refused;
    if (!checkAutosavingSafety(&refused))
        return;
    SideFileContents contents = sideFileContents();
    if (!contents) {
        autosaveWithImplicitCancellability(false, [](const Error& error) {
            if (!error.isNull() && !error.isUserCancelled())
                log(QStringLiteral("Error autosaving: %1").arg(error.localizedDescription()));
        });
        return;
    }
    const QUrl target = sideFileTarget();
    const quint64 generation = m_changeGeneration;
    m_firstUnwrittenChange.invalidate();
    m_sideFileWriting = true;
    std::shared_ptr<SideFileState> state = m_sideFile;
    QPointer<Document> guard(this);
    sideFilePool()->start([state, generation, target, contents = std::move(contents), guard] {
        Error error;
        bool written = false;
        if (writeSideFile(state->mutex, state->written, state->discarded, generation, target.toLocalFile(), contents,
                          &error, &written))
            error = Error();
        else if (error.isNull())
            error = Error(ErrorDomainCocoa, FileWriteUnknownError);
        if (QCoreApplication* app = QCoreApplication::instance()) {
            QMetaObject::invokeMethod(app, [guard, generation, target, written, error] {
                if (guard)
                    guard->sideFileWritten(generation, target, written, error);
            }, Qt::QueuedConnection);
        }
    });
}

void Document::sideFileWritten(quint64 generation, const QUrl& target, bool written, const Error& error)
{
    m_sideFileWriting = false;
    if (!error.isNull()) {
        // Told once per spell of failures; the next change tries again.
        if (!m_sideFileErrorLogged)
            log(QStringLiteral("Error autosaving: %1").arg(error.localizedDescription()));
        m_sideFileErrorLogged = true;
    } else {
        m_sideFileErrorLogged = false;
    }
    if (written && !m_closed && generation > m_sideFile->discarded) {
        setAutosavedContentsFileURL(target);
        if (generation == m_changeGeneration)
            updateChangeCount(ChangeType::Autosaved);
    }
    if (m_sideFileAgain) {
        m_sideFileAgain = false;
        if (m_sideFileTimer && !m_closed)
            m_sideFileTimer->start(0);
    }
}

void Document::writeSideFileNow()
{
    // An alert may come up in the middle of the very event that made a change,
    // before its undo group closes and counts it.
    const bool changing = m_undoManager && m_undoManager->hasOpenChanges();
    if (m_closed || m_savingDepth > 0 || (!m_hasUnautosavedChanges && !changing))
        return;
    if (changing)
        ++m_changeGeneration;
    else if (!isDocumentEdited()) {
        removeAutosaveFile();
        updateChangeCount(ChangeType::Autosaved);
        return;
    }
    Error refused;
    if (!checkAutosavingSafety(&refused))
        return;
    const SideFileContents contents = sideFileContents();
    if (!contents) {
        autosaveWithImplicitCancellability(false, {});
        return;
    }
    const QUrl target = sideFileTarget();
    const quint64 generation = m_changeGeneration;
    Error error;
    bool written = false;
    // A write after edits still under way is older: it is passed over when it ends.
    if (!writeSideFile(m_sideFile->mutex, m_sideFile->written, m_sideFile->discarded, generation,
                       target.toLocalFile(), contents, &error, &written)) {
        log(QStringLiteral("Error autosaving: %1").arg(error.localizedDescription()));
        return;
    }
    if (written)
        setAutosavedContentsFileURL(target);
    if (written || m_hasUnautosavedChanges)
        updateChangeCount(ChangeType::Autosaved);
}

// ---------------------------------------------------------------- change count

void Document::updateChangeCount(ChangeType change)
{
    switch (change) {
    case ChangeType::Done:
    case ChangeType::Redone:
        ++m_changeCount;
        m_hasUnautosavedChanges = true;
        noteChangeForSideFile();
        break;
    case ChangeType::Undone:
        --m_changeCount;
        m_hasUnautosavedChanges = true;
        noteChangeForSideFile();
        break;
    case ChangeType::Cleared:
        // Typing after this point is a change of its own, never part of the
        // run (or the event's group) that the saved text already holds.
        if (m_undoManager)
            m_undoManager->breakCoalescing();
        m_changeCount = 0;
        m_hasUnautosavedChanges = false;
        m_firstUnwrittenChange.invalidate();
        if (m_sideFileTimer)
            m_sideFileTimer->stop();
        break;
    case ChangeType::Autosaved:
        m_hasUnautosavedChanges = false;
        m_firstUnwrittenChange.invalidate();
        if (m_sideFileTimer)
            m_sideFileTimer->stop();
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
    const BackgroundRead read = backgroundReadOfURL(url, type);
    const std::shared_ptr<ReadResult> result = read ? read() : nullptr;
    if (!result) {
        setError(error, Error(ErrorDomainCocoa, FileReadUnknownError));
        return false;
    }
    return readFromResult(url, type, *result, error);
}

Document::BackgroundRead Document::backgroundReadOfURL(const QUrl& url, const QString&)
{
    const QString path = url.isLocalFile() ? url.toLocalFile() : QString();
    const qint64 maximumSize = maximumFileSize();
    const bool ownFile = url == m_fileURL;
    return [path, maximumSize, ownFile] {
        auto result = std::make_shared<ReadResult>();
        result->data = readFileData(path, maximumSize, &result->error);
        if (result->data && ownFile)
            result->fingerprint = fingerprint(*result->data);
        return result;
    };
}

bool Document::readFromResult(const QUrl& url, const QString& type, ReadResult& result, Error* error)
{
    if (!result.data) {
        setError(error, result.error);
        return false;
    }
    if (!readFromData(*result.data, type, error))
        return false;
    if (url == m_fileURL)
        noteFileFingerprint(result.fingerprint.isEmpty() ? fingerprint(*result.data) : result.fingerprint);
    return true;
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
    ++m_savingDepth;
    const auto saving = qScopeGuard([this] { --m_savingDepth; });
    if (operation == SaveOperation::Autosave) {
        // Only ever the side file: the user's file changes on an explicit save.
        if (!checkAutosavingSafety(error))
            return false;
        const QUrl target = sideFileTarget();
        QDir().mkpath(QFileInfo(target.toLocalFile()).absolutePath());
        {
            // Side-file writes after edits that are still under way are older.
            QMutexLocker lock(&m_sideFile->mutex);
            if (!writeSafelyToURL(target, type, operation, error))
                return false;
            m_sideFile->written = qMax(m_sideFile->written, m_changeGeneration);
        }
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
    if (m_fileIdentity.valid ? !fileContentsChangedOnDisk()
                             : info.lastModified() == m_fileModificationDate && (m_fileSize < 0 || info.size() == m_fileSize))
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
