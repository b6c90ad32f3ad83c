#pragma once
// Turns a page into what a browser would be given: the editor's text for
// ordinary pages, the PHP interpreter's output for PHP pages, and (through
// KELSHTMLPreviewGenerator) the page with its server-side includes expanded.
// The answer comes as data with its encoding, a temporary file or a string.

#include "kit/Types.h"
#include "preview/KELPreviewGeneratorResult.h"

#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <functional>
#include <memory>
#include <optional>

class KELPreviewDocument;
class QProcess;
class QTimer;

class KELPreviewGenerator : public QObject
{
    Q_OBJECT
public:
    enum ResultType : int { DataResult = 0, FileResult = 1, StringResult = 2 };
    /// Option bit: PHP error messages come between "<kelphperror>" and "</kelphperror>".
    static constexpr int PHPErrorMarkersOption = 2;
    /// How long a PHP run may take before it is stopped and reported as failed.
    static constexpr int DefaultPHPTimeoutMilliseconds = 30000;

    /// Called once per generation: the generator, success, the result (none on
    /// failure) and the caller's context. The callback may delete the generator.
    using Callback = std::function<void(KELPreviewGenerator* generator, bool success,
        const std::optional<KELPreviewGeneratorResult>& result, void* contextInfo)>;

    /// A generator for an open document (its unsaved text is previewed), or for a
    /// file; an "SHTML" page gets a KELSHTMLPreviewGenerator.
    static std::unique_ptr<KELPreviewGenerator> generatorWithDocument(KELPreviewDocument* document);
    static std::unique_ptr<KELPreviewGenerator> generatorWithFileName(const QString& path);
    /// Stops a running generation without calling back and removes its files.
    ~KELPreviewGenerator() override;

    /// Starts a generation (a running one is first terminated and called back with
    /// failure). Pages that run no PHP are answered before this returns.
    void generatePreview(Callback callback, void* contextInfo, int resultType, int options = 0);
    /// Stops a running generation: its caller gets failure; the PHP process is
    /// stopped and the temporary files removed.
    virtual void terminatePreview();

    /// The document's path (empty while untitled), or the path given at creation.
    QString fileName() const;
    /// The document given at creation, else the open document of the path.
    KELPreviewDocument* document() const;
    /// The page's type name; images, binaries, hidden files and PDFs of a
    /// document count as "Plain Text".
    QString fileType() const;
    struct Contents
    {
        std::optional<QString> text;
        kit::StringEncoding encoding = kit::NoEncoding;
    };
    /// The open document's text, else the file read with encoding detection.
    Contents docContents() const;
    bool isPreviewing() const { return m_isPreviewing; }
    bool isAborted() const { return m_isAborted; }
    /// The temporary file written last; empty when none is kept.
    QString locationString() const { return m_locationString; }

    /// A path written in a page: "/..." from the root of the project that holds the
    /// page when such a file exists there, else as written; other paths from the
    /// page's folder. Resolved as the system opens it (links followed, never
    /// cleaned as text). Empty when it names nothing (an untitled page's relative
    /// path, a dangling link).
    QString pathWithRelativePath(const QString& path) const;

    /// The folders of the site the page belongs to: its own folder tree and the
    /// folder of the open project that holds it, else of the site its markers show
    /// (or those handed down by the page that includes this one). Includes may name
    /// files inside them only, and PHP reads nothing else.
    QStringList siteFolders() const;
    void setSiteFolders(const QStringList& folders) { m_siteFolders = folders; }

    /// The result in the requested form; none when the temporary file cannot be written.
    std::optional<KELPreviewGeneratorResult> resultForContent(const QString& text, kit::StringEncoding encoding);
    std::optional<KELPreviewGeneratorResult> resultForFileName(const QString& path);

    int resultType() const { return m_resultType; }
    int options() const { return m_options; }

    // Process-wide counter of unique temporary names (1 to 999999, then 0).
    static qint64 temporaryNameCounter();
    static void setTemporaryNameCounterForTesting(qint64 value);
    static void setPHPTimeoutForTesting(int milliseconds);
    static int phpTimeout();

protected:
    KELPreviewGenerator(KELPreviewDocument* document, const QString& fileName);

    /// The work of one generation, after the start (and for PHP, on the next turn).
    virtual void performGeneration();
    /// Ends the generation: no longer previewing, then the callback. The receiver
    /// may be gone when this returns.
    void finishGeneration(bool success, const std::optional<KELPreviewGeneratorResult>& result);
    /// Drops the caller without telling it (for destructors).
    void abandonGeneration()
    {
        m_callback = nullptr;
        m_isPreviewing = false;
    }
    /// Stops what a subclass started; called by terminatePreview before the callback.
    virtual void terminateDependents() { }

private:
    void performPHPGeneration();
    /// PHP's "open_basedir" for the script: the site's folders and the preview's
    /// temporary folder. None when the script's own folder cannot be listed.
    std::optional<QString> phpBaseDirectories(const QString& script) const;
    void phpDidFinish();
    void phpFailedToStart(const QString& reason);
    void phpTimedOut();
    void cleanupTask();
    void cleanupTempFiles();
    QString tempFileExtension() const;
    QString tempFileFolder() const;
    static QString uniqueTempName(const QString& extension);
    /// Writes the document's text beside the page; its encoding becomes tempFileEncoding.
    std::optional<QString> saveTempFileWithName(const QString& name);
    std::optional<QString> saveTempFileWithNameAndData(const QString& name, const QByteArray& data);
    void documentDidClose();

    KELPreviewDocument* m_document = nullptr;
    quint64 m_documentCloseObserver = 0;
    QString m_fileName;
    mutable QString m_lastDocumentPath;
    Callback m_callback;
    void* m_contextInfo = nullptr;
    int m_resultType = DataResult;
    int m_options = 0;
    bool m_isPreviewing = false;
    bool m_isAborted = false;
    quint64 m_generation = 0;
    QString m_locationString;
    std::unique_ptr<QProcess> m_task;
    std::unique_ptr<QTimer> m_taskTimer;
    kit::StringEncoding m_tempFileEncoding = kit::NoEncoding;
    QStringList m_siteFolders;
};
