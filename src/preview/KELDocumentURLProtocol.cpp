#include "preview/KELDocumentURLProtocol.h"

#include "kit/StringEncodings.h"
#include "preview/KELPreviewDocument.h"
#include "preview/KELPreviewGenerator.h"
#include "support/KELEncodingManager.h"
#include "support/KELFileTypeManager.h"
#include "support/StringAdditions.h"

#include <QBuffer>
#include <QCoreApplication>
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
    // keldocumenturl://kelp<n>/path: the host only keeps reloads from reusing cached copies.
    scheme.setSyntax(QWebEngineUrlScheme::Syntax::Host);
    scheme.setFlags(QWebEngineUrlScheme::LocalScheme | QWebEngineUrlScheme::LocalAccessAllowed);
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
            if (KELPreviewDocument* document
                = KELPreviewDocument::documentForToken(KELPreviewDocument::tokenFromString(*it)))
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

void KELDocumentURLProtocol::requestStarted(QWebEngineUrlRequestJob* job) { startLoading(job); }

void KELDocumentURLProtocol::startLoading(QWebEngineUrlRequestJob* job)
{
    auto load = std::make_shared<Load>();
    Load* key = load.get();
    load->job = job;
    const QUrl url = job->requestUrl();
    load->path = url.path(QUrl::FullyDecoded);
    m_loads.insert(key, load);
    // The engine deletes the job when the load is cancelled: that stops the generator.
    load->destroyedConnection = connect(job, &QObject::destroyed, this, [this, key] { stopLoading(key); });

    KELPreviewDocument* document = documentForURL(url);
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
