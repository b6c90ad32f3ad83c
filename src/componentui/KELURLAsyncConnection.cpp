#include "componentui/KELURLAsyncConnection.h"

#include "support/KELErrors.h"

#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QLocale>
#include <QTimer>

namespace {
qint64& bodyLimit()
{
    static qint64 limit = 64LL * 1024 * 1024;
    return limit;
}
} // namespace

qint64 KELURLAsyncConnection::maximumBodySize()
{
    return bodyLimit();
}

void KELURLAsyncConnection::setMaximumBodySizeForTesting(qint64 bytes)
{
    bodyLimit() = bytes > 0 ? bytes : 64LL * 1024 * 1024;
}

QNetworkAccessManager& KELURLAsyncConnection::networkAccessManager()
{
    static QNetworkAccessManager* manager = new QNetworkAccessManager;
    return *manager;
}

KELURLAsyncConnection::KELURLAsyncConnection(const QUrl& url, Finished finished, Failed failed, int timeoutMilliseconds, QObject* parent)
    : QObject(parent), m_url(url), m_finished(std::move(finished)), m_failed(std::move(failed)), m_timeout(timeoutMilliseconds)
{
    QNetworkAccessManager& manager = networkAccessManager();
    if (!url.isValid() || url.scheme().isEmpty() || !manager.supportedSchemes().contains(url.scheme().toLower())) {
        fail(kit::Error::withDescription(KELErrorDomain, CannotConnectError, QStringLiteral("the address %1 cannot be loaded").arg(url.toString())));
        return;
    }
    QNetworkRequest request(url);
    request.setTransferTimeout(timeoutMilliseconds);
    m_reply = manager.get(request);
    // A new answer (after a redirect) starts the body again.
    connect(m_reply, &QNetworkReply::metaDataChanged, this, [this] { m_data.clear(); });
    connect(m_reply, &QIODevice::readyRead, this, &KELURLAsyncConnection::readAvailable);
    connect(m_reply, &QNetworkReply::finished, this, &KELURLAsyncConnection::replyFinished);
}

KELURLAsyncConnection::~KELURLAsyncConnection()
{
    cancel();
}

void KELURLAsyncConnection::cancel()
{
    m_done = true;
    if (QNetworkReply* reply = m_reply) {
        m_reply = nullptr;
        reply->disconnect(this);
        reply->abort();
        reply->deleteLater();
    }
}

void KELURLAsyncConnection::fail(const kit::Error& error)
{
    // Delivered on the next turn: the owner may cancel or drop the connection in its handler.
    QPointer<KELURLAsyncConnection> self(this);
    QTimer::singleShot(0, this, [self, error] {
        if (!self || self->m_done)
            return;
        self->m_done = true;
        if (self->m_failed)
            self->m_failed(*self, error);
    });
}

void KELURLAsyncConnection::readAvailable()
{
    if (!m_reply || m_done || !m_reply->isOpen())
        return;
    const QByteArray chunk = m_reply->readAll();
    if (m_data.size() + chunk.size() > maximumBodySize()) {
        cancel();
        m_done = false;
        fail(kit::Error::withDescription(KELErrorDomain, TooLargeError, QStringLiteral("the file at %1 is larger than %2").arg(m_url.toString(), QLocale().formattedDataSize(maximumBodySize()))));
        return;
    }
    m_data.append(chunk);
}

void KELURLAsyncConnection::replyFinished()
{
    QNetworkReply* reply = m_reply;
    if (!reply || m_done)
        return;
    readAvailable();
    if (m_done || !m_reply)
        return;
    m_reply = nullptr;
    reply->deleteLater();
    if (reply->error() == QNetworkReply::OperationCanceledError) {
        // Only the transfer time-out cancels a reply still connected to us.
        fail(kit::Error::withDescription(KELErrorDomain, TransferError,
            QStringLiteral("no answer came from %1 within %2 seconds").arg(m_url.host().isEmpty() ? m_url.toString() : m_url.host()).arg(m_timeout / 1000.0)));
        return;
    }
    if (reply->error() != QNetworkReply::NoError) {
        fail(kit::Error::withDescription(KELErrorDomain, TransferError, reply->errorString()));
        return;
    }
    m_done = true;
    const QByteArray data = m_data;
    m_data.clear();
    if (m_finished)
        m_finished(*this, data);
}
