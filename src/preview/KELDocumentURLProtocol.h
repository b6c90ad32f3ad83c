#pragma once
// Serves "keldocumenturl" URLs to the web views: every page, style sheet, script
// or image is answered with its preview (an open document's unsaved text, the PHP
// output, the page with its includes expanded), else what is on disk.

#include <QHash>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <QUrl>
#include <QWebEngineUrlSchemeHandler>
#include <memory>
#include <optional>

class KELPreviewDocument;
class KELPreviewGenerator;
class KELPreviewGeneratorResult;
class QWebEngineProfile;
class QWebEngineUrlRequestJob;

inline const QString KELDocumentURLScheme = QStringLiteral("keldocumenturl");
inline const QString KELDocumentPointerParameterName = QStringLiteral("KELDocumentPointerParameterName");

/// Registers the scheme with the web engine; must run before the QApplication is made.
void KELRegisterDocumentURLScheme();

class KELDocumentURLProtocol : public QWebEngineUrlSchemeHandler
{
    Q_OBJECT
public:
    static KELDocumentURLProtocol& sharedInstance();
    /// Serves the scheme for the web views of the profile (once per profile).
    static void installOnProfile(QWebEngineProfile* profile);

    /// Whether this handler answers the URL.
    static bool canInitWithURL(const QUrl& url);
    /// The open document a URL names: by its token when it carries one that names a
    /// live document, else the document open at the URL's path.
    static KELPreviewDocument* documentForURL(const QUrl& url);
    /// What a previewed page may load through the scheme: the page itself (and,
    /// by its token, its document's unsaved text), and files in its site's folders
    /// (the open project's folder, else the site its markers show, and always the
    /// page's own folder). Every other path is refused, so a script in the page
    /// cannot read the user's other files or documents.
    struct Site
    {
        QString pagePath;
        QString token;
        QStringList folders;
        /// The network hosts named in what was served to the page ("//host").
        QStringList referencedHosts;
    };
    /// Notes the site of a preview URL about to be loaded (its host names it).
    static void registerPreviewURL(const QUrl& url, const KELPreviewDocument* document);
    /// The same for a page without a document that may also read the given folders
    /// (a component's test page reads the library's pictures and the user's chosen files).
    static void registerPreviewURL(const QUrl& url, const KELPreviewDocument* document, const QStringList& extraFolders);
    /// The site a request belongs to: the one of the page that asked for it, else
    /// the one of the URL's own host; none for a URL no preview gave out.
    static std::optional<Site> siteForRequest(const QUrl& url, const QUrl& initiator);
    /// The file a request may be answered with: its path resolved as the system
    /// resolves it (links followed), inside the site of the page that asked.
    /// None when refused; the log says why.
    static std::optional<QString> allowedPathForRequest(const QUrl& url, const QUrl& initiator);
    /// Whether the request may be answered; says why not in the log.
    static bool isRequestAllowed(const QUrl& url, const QUrl& initiator);
    /// Whether the page at pageUrl named the URL's network host in what it was
    /// served (its text, style sheets and scripts): only such hosts may give it
    /// what it shows, so a script cannot send what it read to a host of its choice.
    static bool isHostReferencedByPage(const QUrl& url, const QUrl& pageUrl);
    /// Whether the path lies inside one of the folders, symbolic links resolved.
    static bool isPathInsideFolders(const QString& path, const QStringList& folders);

    /// The MIME type of an answer for a page of that type name and path.
    static QByteArray mimeTypeForFileType(const QString& typeName, const QString& path);

    void requestStarted(QWebEngineUrlRequestJob* job) override;

    /// Loads being answered now (tests).
    int activeLoadCount() const { return int(m_loads.size()); }

private:
    explicit KELDocumentURLProtocol(QObject* parent = nullptr);
    struct Load;
    /// Answers the job with the preview of exactly that (checked) path.
    void startLoading(QWebEngineUrlRequestJob* job, const QString& path);
    void stopLoading(Load* load);
    /// Notes the hosts that what a page was served names.
    static void noteServed(const QUrl& url, const QUrl& initiator, const QByteArray& data);
    void didCompletePreviewGeneration(Load* load, bool success, const std::optional<KELPreviewGeneratorResult>& result);

    QHash<Load*, std::shared_ptr<Load>> m_loads;
};
