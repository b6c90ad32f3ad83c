#include "preview/KELDocumentURLProtocol.h"

#include "kit/Log.h"
#include "kit/StringEncodings.h"
#include "preview/KELPreviewDocument.h"
#include "preview/KELPreviewGenerator.h"
#include "preview/KELPreviewSite.h"
#include "support/KELEncodingManager.h"
#include "support/KELFileTypeManager.h"
#include "support/StringAdditions.h"

#include <QBuffer>
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QMimeDatabase>
#include <QSet>
#include <QUrlQuery>
#include <QWebEngineProfile>
#include <QWebEngineUrlRequestJob>
#include <QWebEngineUrlScheme>

void KELRegisterDocumentURLScheme()
{
    static bool registered = false;
    if (registered)
        return;
    registered = true;
    QWebEngineUrlScheme scheme(KELDocumentURLScheme.toLatin1());
    // keldocumenturl://kelp<n>/path: each load gets a host of its own, so it is
    // never answered from a cache and its pages form an origin of their own. No
    // local access: pages of the scheme cannot read file: URLs, and what they may
    // read through the scheme is decided per request below.
    scheme.setSyntax(QWebEngineUrlScheme::Syntax::Host);
    scheme.setFlags({});
    QWebEngineUrlScheme::registerScheme(scheme);
}

struct KELDocumentURLProtocol::Load
{
    QPointer<QWebEngineUrlRequestJob> job;
    std::unique_ptr<KELPreviewGenerator> previewGenerator;
    QString path;
    QMetaObject::Connection destroyedConnection;
};

KELDocumentURLProtocol::KELDocumentURLProtocol(QObject* parent)
    : QWebEngineUrlSchemeHandler(parent)
{
}

KELDocumentURLProtocol& KELDocumentURLProtocol::sharedInstance()
{
    // Lives as long as the application; a profile forgets a handler that goes away.
    static KELDocumentURLProtocol* instance = new KELDocumentURLProtocol(QCoreApplication::instance());
    return *instance;
}

void KELDocumentURLProtocol::installOnProfile(QWebEngineProfile* profile)
{
    if (!profile)
        return;
    const QByteArray scheme = KELDocumentURLScheme.toLatin1();
    if (profile->urlSchemeHandler(scheme) == &sharedInstance())
        return;
    profile->installUrlSchemeHandler(scheme, &sharedInstance());
}

bool KELDocumentURLProtocol::canInitWithURL(const QUrl& url)
{
    return url.scheme().compare(KELDocumentURLScheme, Qt::CaseInsensitive) == 0;
}

KELPreviewDocument* KELDocumentURLProtocol::documentForURL(const QUrl& url)
{
    if (url.hasQuery()) {
        const QHash<QString, QString> query
            = queryDictionaryUsingEncoding(url.query(QUrl::FullyEncoded), kit::UTF8StringEncoding);
        const auto it = query.constFind(KELDocumentPointerParameterName);
        if (it != query.constEnd()) {
            // The token is only compared with the live documents' own.
            if (KELPreviewDocument* document = KELPreviewDocument::documentForToken(*it))
                return document;
        }
    }
    return KELPreviewDocument::documentForPath(url.path(QUrl::FullyDecoded));
}

QByteArray KELDocumentURLProtocol::mimeTypeForFileType(const QString& typeName, const QString& path)
{
    if (typeName == KELHTMLTypeName || typeName == KELPHPTypeName || typeName == KELSHTMLTypeName
        || typeName == KELPlainTextTypeName)
        return QByteArrayLiteral("text/html");
    if (typeName == KELSVGTypeName)
        return QByteArrayLiteral("image/svg+xml");
    // The engine refuses style sheets and scripts without their type.
    const QMimeType type = QMimeDatabase().mimeTypeForFile(path, QMimeDatabase::MatchExtension);
    if (!type.isValid() || type.isDefault())
        return QByteArrayLiteral("application/octet-stream");
    return type.name().toLatin1();
}

namespace {
// Sites of the preview URLs given out lately, by host; older ones are forgotten.
constexpr qsizetype MaximumSites = 256;
QHash<QString, KELDocumentURLProtocol::Site>& sites()
{
    static QHash<QString, KELDocumentURLProtocol::Site> table;
    return table;
}
QStringList& siteOrder()
{
    static QStringList order;
    return order;
}

QString tokenOfURL(const QUrl& url)
{
    if (!url.hasQuery())
        return {};
    return queryDictionaryUsingEncoding(url.query(QUrl::FullyEncoded), kit::UTF8StringEncoding)
        .value(KELDocumentPointerParameterName);
}
} // namespace

void KELDocumentURLProtocol::registerPreviewURL(const QUrl& url, const KELPreviewDocument* document)
{
    registerPreviewURL(url, document, {});
}

void KELDocumentURLProtocol::registerPreviewURL(const QUrl& url, const KELPreviewDocument* document, const QStringList& extraFolders)
{
    if (!canInitWithURL(url) || url.host().isEmpty())
        return;
    Site site;
    site.pagePath = QDir::cleanPath(url.path(QUrl::FullyDecoded));
    site.token = tokenOfURL(url);
    QStringList pages;
    if (document) {
        if (!document->previewFilePath().isEmpty())
            pages << document->previewFilePath();
        if (document->usesPreviewFile() && !document->previewFile().isEmpty())
            pages << document->previewFile();
    } else if (site.token.isEmpty()) {
        pages << site.pagePath;
    }
    for (const QString& page : std::as_const(pages))
        site.folders << KELPreviewSite::siteFoldersForPage(page);
    for (const QString& folder : extraFolders) {
        if (!folder.isEmpty())
            site.folders << QDir::cleanPath(folder);
    }
    site.folders.removeDuplicates();
    const QString host = url.host();
    if (!sites().contains(host))
        siteOrder().append(host);
    sites().insert(host, site);
    while (siteOrder().size() > MaximumSites)
        sites().remove(siteOrder().takeFirst());
}

std::optional<KELDocumentURLProtocol::Site> KELDocumentURLProtocol::siteForRequest(
    const QUrl& url, const QUrl& initiator)
{
    // A page's requests carry its origin: they get that page's site, whatever
    // host they name.
    const QString host = canInitWithURL(initiator) && !initiator.host().isEmpty() ? initiator.host() : url.host();
    const auto it = sites().constFind(host);
    if (it == sites().constEnd())
        return std::nullopt;
    return *it;
}

namespace {
// The hosts written as "//host" in served text (URLs of http, https, ws and the like).
void noteReferencedHosts(KELDocumentURLProtocol::Site& site, const QByteArray& data)
{
    constexpr qsizetype MaximumHosts = 512;
    qsizetype at = 0;
    while ((at = data.indexOf("//", at)) >= 0 && site.referencedHosts.size() < MaximumHosts) {
        at += 2;
        qsizetype end = at;
        while (end < data.size() && (QChar::isLetterOrNumber(uchar(data[end])) || data[end] == '.' || data[end] == '-'))
            ++end;
        if (end > at) {
            const QString host = QString::fromLatin1(data.mid(at, end - at)).toLower();
            if (host.contains(QLatin1Char('.')) && !site.referencedHosts.contains(host))
                site.referencedHosts << host;
        }
        at = end;
    }
}
} // namespace

bool KELDocumentURLProtocol::isHostReferencedByPage(const QUrl& url, const QUrl& pageUrl)
{
    const auto it = sites().constFind(pageUrl.host());
    if (it == sites().constEnd() || !canInitWithURL(pageUrl))
        return false;
    return it->referencedHosts.contains(url.host().toLower());
}

bool KELDocumentURLProtocol::isPathInsideFolders(const QString& path, const QStringList& folders)
{
    return KELPreviewSite::isPathInsideFolders(path, folders);
}

std::optional<QString> KELDocumentURLProtocol::allowedPathForRequest(const QUrl& url, const QUrl& initiator)
{
    const QString written = url.path(QUrl::FullyDecoded);
    auto refuse = [&](const QString& why) -> std::optional<QString> {
        kit::log(QStringLiteral("Preview refused %1: %2").arg(url.toDisplayString(), why));
        return std::nullopt;
    };
    const std::optional<Site> site = siteForRequest(url, initiator);
    if (!site)
        return refuse(QStringLiteral("no preview gave out this address"));
    const QString token = tokenOfURL(url);
    // A token other than the page's own names a document it may not read.
    if (!token.isEmpty() && token != site->token)
        return refuse(QStringLiteral("it names another document"));
    // Links are followed before the check, and what is checked is what is opened:
    // "link/..%2Fx" is the file beside the link's target, not "x" beside the link.
    const QString real = KELPreviewSite::realPath(written);
    if (real.isEmpty())
        return refuse(QStringLiteral("its path %1 names no file the system could open").arg(written));
    if (real == KELPreviewSite::realPath(site->pagePath) || KELPreviewSite::isPathInsideFolders(real, site->folders))
        return real;
    const QString leadsTo = real == QDir::cleanPath(written) ? QString() : QStringLiteral(" (it leads to %1)").arg(real);
    return refuse(QStringLiteral("it lies outside the previewed site %1%2")
                      .arg(site->folders.join(QStringLiteral(", ")), leadsTo));
}

bool KELDocumentURLProtocol::isRequestAllowed(const QUrl& url, const QUrl& initiator)
{
    return allowedPathForRequest(url, initiator).has_value();
}

void KELDocumentURLProtocol::requestStarted(QWebEngineUrlRequestJob* job)
{
    const std::optional<QString> path = allowedPathForRequest(job->requestUrl(), job->initiator());
    if (!path) {
        job->fail(QWebEngineUrlRequestJob::RequestDenied);
        return;
    }
    startLoading(job, *path);
}

void KELDocumentURLProtocol::noteServed(const QUrl& url, const QUrl& initiator, const QByteArray& data)
{
    const QString host = canInitWithURL(initiator) && !initiator.host().isEmpty() ? initiator.host() : url.host();
    const auto it = sites().find(host);
    if (it != sites().end())
        noteReferencedHosts(*it, data);
}

void KELDocumentURLProtocol::startLoading(QWebEngineUrlRequestJob* job, const QString& path)
{
    auto load = std::make_shared<Load>();
    Load* key = load.get();
    load->job = job;
    const QUrl url = job->requestUrl();
    load->path = path;
    m_loads.insert(key, load);
    // The engine deletes the job when the load is cancelled: that stops the generator.
    load->destroyedConnection = connect(job, &QObject::destroyed, this, [this, key] { stopLoading(key); });

    // The page's own document by its token, else the document open at exactly the checked path.
    KELPreviewDocument* document = KELPreviewDocument::documentForToken(tokenOfURL(url));
    if (!document)
        document = KELPreviewDocument::documentForPath(path);
    load->previewGenerator = document ? KELPreviewGenerator::generatorWithDocument(document)
                                      : KELPreviewGenerator::generatorWithFileName(load->path);
    if (!load->previewGenerator) {
        job->fail(QWebEngineUrlRequestJob::UrlNotFound);
        stopLoading(key);
        return;
    }
    load->previewGenerator->generatePreview(
        [this, key](KELPreviewGenerator*, bool success, const std::optional<KELPreviewGeneratorResult>& result, void*) {
            didCompletePreviewGeneration(key, success, result);
        },
        nullptr, KELPreviewGenerator::DataResult, 0);
}

void KELDocumentURLProtocol::didCompletePreviewGeneration(
    Load* key, bool success, const std::optional<KELPreviewGeneratorResult>& result)
{
    const auto it = m_loads.constFind(key);
    if (it == m_loads.constEnd())
        return;
    std::shared_ptr<Load> load = *it;
    if (load->job) {
        // An empty page is still a page: only a missing result is a failure.
        if (!success || !result) {
            load->job->fail(QWebEngineUrlRequestJob::UrlNotFound);
        } else {
            QByteArray contentType = mimeTypeForFileType(load->previewGenerator->fileType(), load->path);
            if (const auto charset = KELEncodingManager::IANANameForEncoding(result->textEncoding()))
                contentType += "; charset=" + charset->toLatin1();
            noteServed(load->job->requestUrl(), load->job->initiator(), result->previewFileData());
            auto* buffer = new QBuffer(load->job);
            buffer->setData(result->previewFileData());
            buffer->open(QIODevice::ReadOnly);
            load->job->reply(contentType, buffer);
        }
    }
    stopLoading(key);
}

void KELDocumentURLProtocol::stopLoading(Load* key)
{
    const auto it = m_loads.find(key);
    if (it == m_loads.end())
        return;
    std::shared_ptr<Load> load = *it;
    m_loads.erase(it);
    disconnect(load->destroyedConnection);
    if (load->previewGenerator) {
        // Possibly inside the generator's own callback: terminate now, delete later.
        KELPreviewGenerator* generator = load->previewGenerator.release();
        generator->terminatePreview();
        generator->deleteLater();
    }
}
