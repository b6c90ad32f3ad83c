#pragma once
// Downloads the whole body of one URL in the background of the main event loop
// and hands it over in one piece, or says why it failed. Bodies are capped, so a
// huge or endless answer cannot use up the memory; every failure arrives on a
// later turn of the event loop, never inside the constructor.

#include "kit/Error.h"

#include <QByteArray>
#include <QObject>
#include <QPointer>
#include <QUrl>
#include <functional>

class QNetworkAccessManager;
#include <QNetworkReply>

class KELURLAsyncConnection : public QObject {
    Q_OBJECT
public:
    using Finished = std::function<void(KELURLAsyncConnection&, const QByteArray&)>;
    using Failed = std::function<void(KELURLAsyncConnection&, const kit::Error&)>;

    /// Starts at once. An unusable URL fails with KELErrorDomain code 1 on the next turn.
    KELURLAsyncConnection(const QUrl& url, Finished finished, Failed failed, int timeoutMilliseconds = 60000, QObject* parent = nullptr);
    ~KELURLAsyncConnection() override;

    /// Stops the transfer; neither callback runs afterwards.
    void cancel();
    bool isRunning() const { return m_reply != nullptr; }
    const QUrl& url() const { return m_url; }

    /// Most bytes a body may have (64 MiB).
    static qint64 maximumBodySize();
    static void setMaximumBodySizeForTesting(qint64 bytes);
    /// The one network manager of the editors (main thread).
    static QNetworkAccessManager& networkAccessManager();

    /// Error codes of KELErrorDomain.
    static constexpr int CannotConnectError = 1;
    static constexpr int TooLargeError = 2;
    /// Also a time-out, described as such.
    static constexpr int TransferError = 3;

private:
    void fail(const kit::Error& error);
    void readAvailable();
    void replyFinished();

    QUrl m_url;
    Finished m_finished;
    Failed m_failed;
    QPointer<QNetworkReply> m_reply;
    QByteArray m_data;
    int m_timeout = 60000;
    bool m_done = false;
};
