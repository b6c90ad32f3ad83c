#include "preview/KELPreviewGenerator.h"

#include "support/DefaultsKeys.h"
#include "kit/Log.h"
#include "kit/NotificationCenter.h"
#include "kit/StringEncodings.h"
#include "kit/Timers.h"
#include "kit/UserDefaults.h"
#include "preview/KELPreviewDocument.h"
#include "preview/KELPreviewSite.h"
#include "preview/KELSHTMLPreviewGenerator.h"
#include "support/KELFileTypeManager.h"
#include "support/StringAdditions.h"
#include "support/UtilityFunctions.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QSaveFile>
#include <QTimer>

namespace {
qint64 s_tempNameCounter = 1;
int s_phpTimeout = KELPreviewGenerator::DefaultPHPTimeoutMilliseconds;
const QString kTempFileBase = QStringLiteral("KelpStudioTemp");
const QString kDocumentDidClose = QStringLiteral("KELDocumentDidCloseNotification");
const QString kApplicationWillTerminate = QStringLiteral("KELApplicationWillTerminateNotification");

QString folderOfPath(const QString& path) { return QFileInfo(path).absolutePath(); }
} // namespace

std::unique_ptr<KELPreviewGenerator> KELPreviewGenerator::generatorWithDocument(KELPreviewDocument* document)
{
    if (!document)
        return nullptr;
    const QString path = document->previewFilePath();
    const QString type = KELFileTypeManager::sharedInstance().typeNameForDocumentURL(
        path.isEmpty() ? QUrl() : QUrl::fromLocalFile(path));
    if (type == KELSHTMLTypeName)
        return std::unique_ptr<KELPreviewGenerator>(new KELSHTMLPreviewGenerator(document, QString()));
    return std::unique_ptr<KELPreviewGenerator>(new KELPreviewGenerator(document, QString()));
}

std::unique_ptr<KELPreviewGenerator> KELPreviewGenerator::generatorWithFileName(const QString& path)
{
    if (KELFileTypeManager::sharedInstance().typeNameForPath(path) == KELSHTMLTypeName)
        return std::unique_ptr<KELPreviewGenerator>(new KELSHTMLPreviewGenerator(nullptr, path));
    return std::unique_ptr<KELPreviewGenerator>(new KELPreviewGenerator(nullptr, path));
}

KELPreviewGenerator::KELPreviewGenerator(KELPreviewDocument* document, const QString& fileName)
    : m_document(document)
    , m_fileName(fileName)
{
    if (m_document)
        m_lastDocumentPath = m_document->previewFilePath();
    auto& center = kit::NotificationCenter::defaultCenter();
    if (m_document) {
        m_documentCloseObserver = m_document->addCloseObserver([this] { documentDidClose(); });
        center.addObserver(
            kDocumentDidClose, m_document->previewNotificationObject(),
            [this](const kit::Notification&) { documentDidClose(); }, this);
    }
    center.addObserver(
        kApplicationWillTerminate, nullptr, [this](const kit::Notification&) { terminatePreview(); }, this);
    if (QCoreApplication::instance())
        connect(QCoreApplication::instance(), &QCoreApplication::aboutToQuit, this, [this] { terminatePreview(); });
}

KELPreviewGenerator::~KELPreviewGenerator()
{
    kit::NotificationCenter::defaultCenter().removeObservers(this);
    if (m_document && m_documentCloseObserver)
        m_document->removeCloseObserver(m_documentCloseObserver);
    // Whoever releases a generator no longer wants its answer.
    m_callback = nullptr;
    m_isPreviewing = false;
    cleanupTask();
    cleanupTempFiles();
}

void KELPreviewGenerator::documentDidClose()
{
    if (m_document) {
        // Possibly called while the document is being destroyed: only its base part is used.
        m_fileName = m_lastDocumentPath;
        if (m_documentCloseObserver)
            m_document->removeCloseObserver(m_documentCloseObserver);
        m_document = nullptr;
        m_documentCloseObserver = 0;
    }
    terminatePreview();
}

// -- Starting and ending

void KELPreviewGenerator::generatePreview(Callback callback, void* contextInfo, int resultType, int options)
{
    QPointer<KELPreviewGenerator> self(this);
    terminatePreview();
    if (!self)
        return;
    m_isPreviewing = true;
    m_isAborted = false;
    m_options = options;
    m_callback = std::move(callback);
    m_resultType = resultType;
    m_contextInfo = contextInfo;
    m_tempFileEncoding = kit::NoEncoding;
    const quint64 generation = ++m_generation;
    if (fileType() == KELPHPTypeName) {
        // Other documents are not saved first: the page's own unsaved text is
        // used, other files as they are on disk.
        kit::performOnNextTurn(this, [this, generation] {
            if (m_isPreviewing && generation == m_generation)
                performGeneration();
        });
    } else {
        performGeneration();
    }
}

void KELPreviewGenerator::finishGeneration(bool success, const std::optional<KELPreviewGeneratorResult>& result)
{
    m_isPreviewing = false;
    // A copy: the callback may delete this generator.
    Callback callback = m_callback;
    void* context = m_contextInfo;
    if (callback)
        callback(this, success, success ? result : std::nullopt, context);
}

void KELPreviewGenerator::terminatePreview()
{
    Callback pending;
    void* context = m_contextInfo;
    if (m_isPreviewing) {
        m_isPreviewing = false;
        m_isAborted = true;
        pending = m_callback;
    }
    m_callback = nullptr;
    cleanupTask();
    cleanupTempFiles();
    terminateDependents();
    if (pending)
        pending(this, false, std::nullopt, context);
}

// -- What is previewed

QString KELPreviewGenerator::fileName() const
{
    if (m_document) {
        m_lastDocumentPath = m_document->previewFilePath();
        return m_lastDocumentPath;
    }
    return m_fileName;
}

KELPreviewDocument* KELPreviewGenerator::document() const
{
    if (m_document)
        return m_document;
    if (m_fileName.isEmpty())
        return nullptr;
    return KELPreviewDocument::documentForPath(m_fileName);
}

QString KELPreviewGenerator::fileType() const
{
    auto& types = KELFileTypeManager::sharedInstance();
    if (m_document) {
        const QString path = m_document->previewFilePath();
        const QString type = types.typeNameForDocumentURL(path.isEmpty() ? QUrl() : QUrl::fromLocalFile(path));
        if (type == KELImageTypeName || type == KELBinaryTypeName || type == KELHiddenTypeName
            || type == KELPDFTypeName)
            return KELPlainTextTypeName;
        return type;
    }
    return types.typeNameForPath(m_fileName);
}

KELPreviewGenerator::Contents KELPreviewGenerator::docContents() const
{
    Contents contents;
    if (KELPreviewDocument* doc = document()) {
        contents.text = doc->previewText();
        contents.encoding = doc->previewEncoding();
        return contents;
    }
    const QString path = fileName();
    if (path.isEmpty())
        return contents;
    kit::StringEncoding used = kit::NoEncoding;
    contents.text = UtilityFunctions::stringContentsForURL(QUrl::fromLocalFile(path), &used);
    if (contents.text)
        contents.encoding = used;
    return contents;
}

QString KELPreviewGenerator::pathWithRelativePath(const QString& path) const
{
    const QString page = fileName();
    if (path.startsWith(QLatin1Char('/'))) {
        const QString project = page.isEmpty() ? QString() : KELPreviewDocument::projectDirectoryContainingPath(page);
        if (!project.isEmpty()) {
            QString root = project;
            while (root.endsWith(QLatin1Char('/')))
                root.chop(1);
            const QString joined = KELPreviewSite::realPath(root + path);
            if (!joined.isEmpty() && QFileInfo::exists(joined))
                return joined;
        }
        return KELPreviewSite::realPath(path);
    }
    // An untitled page has no folder: a relative path names nothing.
    if (page.isEmpty())
        return QString();
    // Resolved as the system would open it (links first), never cleaned as text.
    return KELPreviewSite::realPath(folderOfPath(page) + QLatin1Char('/') + path);
}

QStringList KELPreviewGenerator::siteFolders() const
{
    if (!m_siteFolders.isEmpty())
        return m_siteFolders;
    return KELPreviewSite::siteFoldersForPage(fileName());
}

// -- Plain pages

void KELPreviewGenerator::performGeneration()
{
    if (fileType() == KELPHPTypeName) {
        performPHPGeneration();
        return;
    }
    std::optional<KELPreviewGeneratorResult> result;
    if (KELPreviewDocument* doc = document()) {
        result = resultForContent(doc->previewText(), doc->previewEncoding());
    } else {
        const QString path = fileName();
        if (!path.isEmpty() && QFileInfo(path).isFile())
            result = resultForFileName(path);
    }
    finishGeneration(result.has_value(), result);
}

std::optional<KELPreviewGeneratorResult> KELPreviewGenerator::resultForContent(
    const QString& text, kit::StringEncoding encoding)
{
    if (m_resultType == StringResult)
        return KELPreviewGeneratorResult::resultWithContents(text);
    std::optional<QByteArray> data;
    if (encoding != kit::NoEncoding)
        data = kit::encodeString(text, encoding);
    if (!data) {
        data = text.toUtf8();
        encoding = kit::UTF8StringEncoding;
    }
    if (m_resultType == FileResult) {
        const auto path = saveTempFileWithNameAndData(uniqueTempName(tempFileExtension()), *data);
        if (!path)
            return std::nullopt;
        m_locationString = *path;
        return KELPreviewGeneratorResult::resultWithLocation(*path, encoding);
    }
    return KELPreviewGeneratorResult::resultWithData(*data, encoding);
}

std::optional<KELPreviewGeneratorResult> KELPreviewGenerator::resultForFileName(const QString& path)
{
    if (m_resultType == StringResult) {
        kit::StringEncoding used = kit::NoEncoding;
        const auto text = UtilityFunctions::stringContentsForURL(QUrl::fromLocalFile(path), &used);
        if (!text)
            return std::nullopt;
        return KELPreviewGeneratorResult::resultWithContents(*text);
    }
    if (m_resultType == FileResult)
        return KELPreviewGeneratorResult::resultWithLocation(path);
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    const QByteArray data = file.readAll();
    const QString type = KELFileTypeManager::sharedInstance().typeNameForPath(path);
    if (type == KELBinaryTypeName || type == KELImageTypeName || type == KELHiddenTypeName)
        return KELPreviewGeneratorResult::resultWithData(data);
    return KELPreviewGeneratorResult::resultWithData(data, kit::detectStringEncoding(data));
}

// -- Temporary files

qint64 KELPreviewGenerator::temporaryNameCounter() { return s_tempNameCounter; }

void KELPreviewGenerator::setTemporaryNameCounterForTesting(qint64 value) { s_tempNameCounter = value; }

QString KELPreviewGenerator::uniqueTempName(const QString& extension)
{
    const qint64 value = s_tempNameCounter;
    s_tempNameCounter = (s_tempNameCounter + 1) % 1000000;
    return QStringLiteral("%1_%2.%3").arg(kTempFileBase).arg(value, 6, 10, QLatin1Char('0')).arg(extension);
}

QString KELPreviewGenerator::tempFileExtension() const
{
    const QString name = fileName();
    if (!name.isEmpty())
        return KELFileTypeManager::pathExtension(name);
    return fileType() == KELPHPTypeName ? QStringLiteral("php") : QStringLiteral("html");
}

QString KELPreviewGenerator::tempFileFolder() const
{
    const QString name = fileName();
    if (!name.isEmpty())
        return folderOfPath(name);
    const QString support = UtilityFunctions::appSupportDirectory();
    if (!support.isEmpty())
        QDir().mkpath(support);
    return support;
}

std::optional<QString> KELPreviewGenerator::saveTempFileWithName(const QString& name)
{
    KELPreviewDocument* doc = document();
    if (!doc)
        return std::nullopt;
    const QString text = doc->previewText();
    kit::StringEncoding encoding = doc->previewEncoding();
    std::optional<QByteArray> data;
    if (encoding != kit::NoEncoding)
        data = kit::encodeString(text, encoding);
    if (!data) {
        encoding = kit::UTF8StringEncoding;
        data = text.toUtf8();
    }
    m_tempFileEncoding = encoding;
    return saveTempFileWithNameAndData(name, *data);
}

std::optional<QString> KELPreviewGenerator::saveTempFileWithNameAndData(const QString& name, const QByteArray& data)
{
    const QString folder = tempFileFolder();
    if (folder.isEmpty())
        return std::nullopt;
    const QString path = folder + QLatin1Char('/') + name;
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(data) != data.size() || !file.commit()) {
        kit::log(QStringLiteral("Could not write the preview file %1").arg(path));
        return std::nullopt;
    }
    return path;
}

void KELPreviewGenerator::cleanupTempFiles()
{
    if (!m_locationString.isEmpty()) {
        QFile::remove(m_locationString);
        m_locationString.clear();
    }
}

// -- PHP

void KELPreviewGenerator::setPHPTimeoutForTesting(int milliseconds)
{
    s_phpTimeout = milliseconds > 0 ? milliseconds : DefaultPHPTimeoutMilliseconds;
}

int KELPreviewGenerator::phpTimeout() { return s_phpTimeout; }

void KELPreviewGenerator::performPHPGeneration()
{
    if (!UtilityFunctions::sharedInstance().assertCanFindPHP()) {
        finishGeneration(false, std::nullopt);
        return;
    }
    QString script = fileName();
    if (document()) {
        const auto written = saveTempFileWithName(uniqueTempName(tempFileExtension()));
        if (!written) {
            finishGeneration(false, std::nullopt);
            return;
        }
        m_locationString = *written;
        script = *written;
    } else if (script.isEmpty() || !QFileInfo(script).isFile()) {
        finishGeneration(false, std::nullopt);
        return;
    }

    QStringList arguments { QStringLiteral("-f"), script, QStringLiteral("-d"), QStringLiteral("display_errors=On"),
        QStringLiteral("-d"), QStringLiteral("log_errors=Off") };
    if (m_options & PHPErrorMarkersOption) {
        arguments << QStringLiteral("-d") << QStringLiteral("error_prepend_string=\"<kelphperror>\"")
                  << QStringLiteral("-d") << QStringLiteral("error_append_string=\"</kelphperror>\"");
    }

    // The page reads its own site and the preview's temporary folder, nothing
    // else: what a downloaded page's PHP may read is what its server would serve.
    const std::optional<QString> baseDirectories = phpBaseDirectories(script);
    if (!baseDirectories) {
        cleanupTempFiles();
        finishGeneration(false, std::nullopt);
        return;
    }
    arguments << QStringLiteral("-d") << QStringLiteral("open_basedir=") + *baseDirectories;
    const QString temporary = UtilityFunctions::tempDirectory();
    if (!temporary.isEmpty() && !temporary.contains(QLatin1Char(':'))) {
        arguments << QStringLiteral("-d") << QStringLiteral("sys_temp_dir=") + temporary
                  << QStringLiteral("-d") << QStringLiteral("upload_tmp_dir=") + temporary;
    }

    m_task = std::make_unique<QProcess>();
    m_task->setProgram(kit::UserDefaults::standard().stringValue(KELPHPLocationKey));
    m_task->setArguments(arguments);
    m_task->setWorkingDirectory(folderOfPath(script));
    m_task->setProcessEnvironment(QProcessEnvironment::systemEnvironment());
    // Nothing is ever written to the page's input, and what PHP writes to its
    // error stream is not shown: neither may hold the run up.
    m_task->setStandardInputFile(QProcess::nullDevice());
    m_task->setStandardErrorFile(QProcess::nullDevice());
    connect(m_task.get(), &QProcess::finished, this, [this] { phpDidFinish(); });
    connect(m_task.get(), &QProcess::errorOccurred, this, [this](QProcess::ProcessError error) {
        if (error == QProcess::FailedToStart)
            phpFailedToStart(m_task ? m_task->errorString() : QString());
    });
    m_taskTimer = std::make_unique<QTimer>();
    m_taskTimer->setSingleShot(true);
    connect(m_taskTimer.get(), &QTimer::timeout, this, [this] { phpTimedOut(); });
    m_taskTimer->start(s_phpTimeout);
    m_task->start();
}

std::optional<QString> KELPreviewGenerator::phpBaseDirectories(const QString& script) const
{
    QStringList allowed = siteFolders();
    // An untitled page's script lies in the application's folder: only the script.
    if (!KELPreviewSite::isPathInsideFolders(script, allowed))
        allowed << script;
    const QString temporary = UtilityFunctions::tempDirectory();
    if (!temporary.isEmpty())
        allowed << temporary;
    QStringList entries;
    for (const QString& entry : std::as_const(allowed)) {
        const QString real = KELPreviewSite::realPath(entry);
        if (real.isEmpty() || entries.contains(real))
            continue;
        // The list is separated by colons: a name holding one would name other folders.
        if (real.contains(QLatin1Char(':'))) {
            kit::log(QStringLiteral("PHP preview cannot read %1: its name holds a colon").arg(real));
            continue;
        }
        entries << real;
    }
    if (!KELPreviewSite::isPathInsideFolders(script, entries)) {
        // An empty list would let the page read everything.
        kit::log(QStringLiteral("PHP preview of %1 not run: its folder cannot be named to PHP").arg(script));
        return std::nullopt;
    }
    return entries.join(QLatin1Char(':'));
}

void KELPreviewGenerator::phpFailedToStart(const QString& reason)
{
    kit::log(QStringLiteral("Error executing PHP CLI: %1").arg(reason));
    cleanupTask();
    cleanupTempFiles();
    if (m_isPreviewing)
        finishGeneration(false, std::nullopt);
}

void KELPreviewGenerator::phpTimedOut()
{
    kit::log(QStringLiteral("PHP CLI did not finish within %1 seconds and was stopped").arg(s_phpTimeout / 1000.0));
    cleanupTask();
    cleanupTempFiles();
    if (m_isPreviewing)
        finishGeneration(false, std::nullopt);
}

void KELPreviewGenerator::phpDidFinish()
{
    if (!m_task)
        return;
    const QByteArray data = m_task->readAllStandardOutput();
    if (m_task->exitStatus() == QProcess::CrashExit || m_task->exitCode() != 0) {
        kit::log(QStringLiteral("PHP CLI terminated with failure: %1")
                     .arg(m_task->exitStatus() == QProcess::CrashExit ? -1 : m_task->exitCode()));
    }
    cleanupTask();
    cleanupTempFiles();
    if (!m_isPreviewing)
        return;

    std::optional<KELPreviewGeneratorResult> result;
    const kit::StringEncoding encoding = m_tempFileEncoding;
    if (m_resultType == StringResult) {
        // Output that does not fit the expected encoding is still shown.
        std::optional<QString> text
            = kit::decodeString(data, encoding == kit::NoEncoding ? kit::UTF8StringEncoding : encoding);
        if (!text)
            text = kit::decodeString(data, kit::UTF8StringEncoding);
        if (!text)
            text = QString::fromLatin1(data);
        result = KELPreviewGeneratorResult::resultWithContents(*text);
    } else if (m_resultType == FileResult) {
        const auto path = saveTempFileWithNameAndData(uniqueTempName(QStringLiteral("html")), data);
        if (path) {
            m_locationString = *path;
            result = KELPreviewGeneratorResult::resultWithLocation(*path, encoding);
        }
    } else {
        result = KELPreviewGeneratorResult::resultWithData(data, encoding);
    }
    finishGeneration(result.has_value(), result);
}

void KELPreviewGenerator::cleanupTask()
{
    if (m_taskTimer) {
        m_taskTimer->stop();
        m_taskTimer.release()->deleteLater();
    }
    if (!m_task)
        return;
    QProcess* task = m_task.release();
    task->disconnect(this);
    if (task->state() != QProcess::NotRunning) {
        task->kill();
        task->waitForFinished(2000);
    }
    // Possibly inside one of its own signals.
    task->deleteLater();
}
