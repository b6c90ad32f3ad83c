#include "app/KELInstanceServer.h"

#include "kit/Log.h"

#include <QDataStream>
#include <QDir>
#include <QGuiApplication>
#include <QRegularExpression>
#include <QTimer>
#include <QFileInfo>
#include <QLocalServer>
#include <QLocalSocket>
#include <QPointer>
#include <QSharedPointer>

#include <unistd.h>

namespace {
constexpr quint32 Magic = 0x4b454c50; // "KELP"
constexpr qint64 MaximumMessage = 1 << 20;
} // namespace

QString KELInstanceServer::sessionName()
{
    QString platform = QGuiApplication::instance() ? QGuiApplication::platformName() : QString();
    if (platform.isEmpty())
        platform = qEnvironmentVariable("QT_QPA_PLATFORM");
    return sessionName(platform, qEnvironmentVariable("WAYLAND_DISPLAY"), qEnvironmentVariable("DISPLAY"));
}

QString KELInstanceServer::sessionName(const QString& platform, const QString& wayland, const QString& x11)
{
    QString session;
    if (platform.startsWith(QLatin1String("wayland")))
        session = QStringLiteral("wayland-") + (wayland.isEmpty() ? QStringLiteral("wayland-0") : wayland);
    else if (platform == QLatin1String("xcb") || (platform.isEmpty() && !x11.isEmpty()))
        session = QStringLiteral("x11-") + x11;
    else if (platform.isEmpty() && !wayland.isEmpty())
        session = QStringLiteral("wayland-") + wayland;
    else
        session = QStringLiteral("headless"); // offscreen and the like: no screen to share
    static const QRegularExpression unsafe(QStringLiteral("[^A-Za-z0-9._-]"));
    return session.replace(unsafe, QStringLiteral("_"));
}

QString KELInstanceServer::serverName()
{
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (!runtime.isEmpty() && QFileInfo(runtime).isDir())
        return QDir(runtime).filePath(QStringLiteral("kelp-studio-%1").arg(sessionName()));
    return QDir(QDir::tempPath()).filePath(QStringLiteral("kelp-studio-%1-%2").arg(::getuid()).arg(sessionName()));
}

KELOpenRequest KELInstanceServer::parseArguments(const QStringList& arguments, const QString& workingFolder)
{
    KELOpenRequest request;
    const QDir base(workingFolder);
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        const QString& arg = arguments[i];
        const bool hasValue = i + 1 < arguments.size();
        if (arg == QLatin1String("--odb-sender") && hasValue) {
            request.odbSender = arguments[++i];
        } else if (arg == QLatin1String("--odb-token") && hasValue) {
            request.odbToken = arguments[++i];
        } else if (arg == QLatin1String("--odb-custom-path") && hasValue) {
            request.odbCustomPath = arguments[++i];
        } else if (arg == QLatin1String("--")) {
            for (++i; i < arguments.size(); ++i)
                request.paths << QDir::cleanPath(base.absoluteFilePath(arguments[i]));
        } else if (arg.startsWith(QLatin1Char('-'))) {
            continue; // options of the toolkit and unknown ones
        } else {
            request.paths << QDir::cleanPath(base.absoluteFilePath(arg));
        }
    }
    return request;
}

QByteArray KELInstanceServer::encodeRequest(const KELOpenRequest& request)
{
    QByteArray data;
    QDataStream out(&data, QIODevice::WriteOnly);
    out << Magic << request.paths << request.odbSender << bool(request.odbToken) << request.odbToken.value_or(QString())
        << request.odbCustomPath;
    return data;
}

std::optional<KELOpenRequest> KELInstanceServer::decodeRequest(const QByteArray& data)
{
    QDataStream in(data);
    quint32 magic = 0;
    KELOpenRequest request;
    bool hasToken = false;
    QString token;
    in >> magic >> request.paths >> request.odbSender >> hasToken >> token >> request.odbCustomPath;
    if (magic != Magic || in.status() != QDataStream::Ok)
        return std::nullopt;
    if (hasToken)
        request.odbToken = token;
    return request;
}

bool KELInstanceServer::handOff(const KELOpenRequest& request, const QString& name, int timeoutMs)
{
    QLocalSocket socket;
    socket.connectToServer(name);
    if (!socket.waitForConnected(timeoutMs))
        return false;
    const QByteArray payload = encodeRequest(request);
    QByteArray message;
    QDataStream(&message, QIODevice::WriteOnly) << qint64(payload.size());
    message += payload;
    socket.write(message);
    if (!socket.waitForBytesWritten(timeoutMs))
        return false;
    // The running instance answers once it has the request.
    return socket.waitForReadyRead(timeoutMs) && socket.readAll().startsWith("ok");
}

KELInstanceServer::KELInstanceServer(QObject* parent)
    : QObject(parent)
{
    m_server = new QLocalServer(this);
    m_server->setSocketOptions(QLocalServer::UserAccessOption);
    connect(m_server, &QLocalServer::newConnection, this, [this] {
        while (QLocalSocket* socket = m_server->nextPendingConnection()) {
            auto buffer = QSharedPointer<QByteArray>::create();
            QPointer<QLocalSocket> guard(socket);
            connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
            connect(socket, &QLocalSocket::readyRead, this, [this, guard, buffer] {
                if (!guard || guard->property("answered").toBool())
                    return;
                *buffer += guard->readAll();
                if (buffer->size() < 8)
                    return;
                qint64 length = 0;
                QDataStream(*buffer) >> length;
                if (length < 0 || length > MaximumMessage) {
                    kit::log(QStringLiteral("Ignored a malformed request from another instance"));
                    guard->setProperty("answered", true);
                    guard->disconnectFromServer();
                    return;
                }
                if (buffer->size() < 8 + length)
                    return;
                const std::optional<KELOpenRequest> request = decodeRequest(buffer->mid(8, length));
                buffer->clear();
                // Answer and close first: the other start can go, and this socket
                // is finished before anything the request does runs.
                guard->setProperty("answered", true);
                guard->write(request ? "ok" : "bad");
                guard->flush();
                guard->disconnectFromServer();
                if (!request) {
                    kit::log(QStringLiteral("Ignored a malformed request from another instance"));
                    return;
                }
                QTimer::singleShot(0, this, [this, r = *request] {
                    if (m_handler)
                        m_handler(r);
                });
            });
        }
    });
}

KELInstanceServer::~KELInstanceServer() = default;

bool KELInstanceServer::listen(const QString& name)
{
    if (m_server->listen(name))
        return true;
    // A live instance keeps its socket; only one left by an instance that is
    // gone (it crashed) is taken over.
    QLocalSocket probe;
    probe.connectToServer(name);
    if (probe.waitForConnected(300)) {
        probe.disconnectFromServer();
        return false;
    }
    QLocalServer::removeServer(name);
    return m_server->listen(name);
}
