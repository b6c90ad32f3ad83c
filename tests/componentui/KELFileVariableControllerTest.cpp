#include "componentui/KELFileVariableControllers.h"

#include "ComponentUITestSupport.h"
#include "componentui/KELURLAsyncConnection.h"
#include "kit/Log.h"

#include <gtest/gtest.h>

#include <QBuffer>
#include <QElapsedTimer>
#include <QImage>
#include <QNetworkAccessManager>
#include <QNetworkProxy>
#include <QSignalSpy>
#include <QTcpServer>
#include <QTcpSocket>

using namespace componentuitest;

namespace {

// A loopback server with canned answers by path: a PNG in chunks, a body that
// never ends, a server error, a connection dropped halfway, and a silent one.
class LoopbackServer : public QObject {
public:
    LoopbackServer()
    {
        QImage image(30, 20, QImage::Format_RGB32);
        image.fill(Qt::red);
        QBuffer buffer(&png);
        buffer.open(QIODevice::WriteOnly);
        image.save(&buffer, "PNG");
        server.listen(QHostAddress::LocalHost, 0);
        connect(&server, &QTcpServer::newConnection, this, [this] {
            while (QTcpSocket* socket = server.nextPendingConnection()) {
                connect(socket, &QTcpSocket::readyRead, socket, [this, socket] { answer(socket); });
                connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
            }
        });
    }
    QUrl url(const char* path) const { return QUrl(QStringLiteral("http://127.0.0.1:%1%2").arg(server.serverPort()).arg(QLatin1String(path))); }

    QByteArray png;
    QTcpServer server;

private:
    void answer(QTcpSocket* socket)
    {
        const QByteArray request = socket->readAll();
        const QByteArray path = request.split(' ').value(1);
        if (path == "/image.png") {
            socket->write("HTTP/1.1 200 OK\r\nContent-Type: image/png\r\nContent-Length: " + QByteArray::number(png.size())
                + "\r\nConnection: close\r\n\r\n");
            socket->write(png.left(20));
            socket->flush();
            socket->write(png.mid(20));
            socket->disconnectFromHost();
        } else if (path == "/huge") {
            socket->write("HTTP/1.1 200 OK\r\nContent-Type: application/octet-stream\r\nConnection: close\r\n\r\n");
            // Bounded: enough to pass the test's cap many times over.
            for (int i = 0; i < 64 && socket->state() == QAbstractSocket::ConnectedState; ++i)
                socket->write(QByteArray(16 * 1024, 'x'));
            socket->disconnectFromHost();
        } else if (path == "/error") {
            socket->write("HTTP/1.1 500 Internal Server Error\r\nContent-Length: 4\r\nConnection: close\r\n\r\noops");
            socket->disconnectFromHost();
        } else if (path == "/cut") {
            socket->write("HTTP/1.1 200 OK\r\nContent-Length: 1000\r\nConnection: close\r\n\r\nonly a part");
            socket->flush();
            socket->abort();
        }
        // "/slow": no answer at all.
    }
};

struct Outcome {
    bool finished = false;
    bool failed = false;
    QByteArray data;
    int code = 0;
};

std::unique_ptr<KELURLAsyncConnection> load(const QUrl& url, Outcome& outcome, int timeout = 60000)
{
    return std::make_unique<KELURLAsyncConnection>(
        url,
        [&outcome](KELURLAsyncConnection&, const QByteArray& data) {
            outcome.finished = true;
            outcome.data = data;
        },
        [&outcome](KELURLAsyncConnection&, const kit::Error& error) {
            outcome.failed = true;
            outcome.code = error.code();
        },
        timeout);
}

void waitFor(const Outcome& outcome, int milliseconds)
{
    QElapsedTimer clock;
    clock.start();
    while (!outcome.finished && !outcome.failed && clock.elapsed() < milliseconds)
        QTest::qWait(10);
}

} // namespace

TEST(KELURLAsyncConnectionTest, DownloadsWholeBodiesAndReportsEveryFailureLater)
{
    KELURLAsyncConnection::networkAccessManager().setProxy(QNetworkProxy::NoProxy);
    KELURLAsyncConnection::setMaximumBodySizeForTesting(64 * 1024);
    LoopbackServer server;
    ASSERT_TRUE(server.server.isListening());
    struct Case {
        const char* what;
        QUrl url;
        int timeout;
        bool finished;
        int code;
    };
    const Case cases[] = {
        { "image in chunks", server.url("/image.png"), 60000, true, 0 },
        { "body beyond the cap", server.url("/huge"), 60000, false, KELURLAsyncConnection::TooLargeError },
        { "server error", server.url("/error"), 60000, false, KELURLAsyncConnection::TransferError },
        { "connection cut", server.url("/cut"), 60000, false, KELURLAsyncConnection::TransferError },
        { "no answer in time", server.url("/slow"), 300, false, KELURLAsyncConnection::TransferError },
        { "unusable address", QUrl(QStringLiteral("nothing:at-all")), 60000, false, KELURLAsyncConnection::CannotConnectError },
    };
    for (const Case& c : cases) {
        Outcome outcome;
        auto connection = load(c.url, outcome, c.timeout);
        // Nothing is reported from inside the constructor.
        EXPECT_FALSE(outcome.finished || outcome.failed) << c.what;
        waitFor(outcome, 60000);
        EXPECT_EQ(outcome.finished, c.finished) << c.what;
        EXPECT_EQ(outcome.failed, !c.finished) << c.what;
        EXPECT_EQ(outcome.code, c.code) << c.what;
        if (c.finished)
            EXPECT_EQ(outcome.data, server.png) << c.what;
    }
    // A cancelled load says nothing more.
    Outcome cancelled;
    auto connection = load(server.url("/slow"), cancelled, 200);
    connection->cancel();
    QTest::qWait(400);
    EXPECT_FALSE(cancelled.finished || cancelled.failed);
    KELURLAsyncConnection::setMaximumBodySizeForTesting(0);
}

TEST(KELFileVariableControllerTest, UrlsAndMediaTypesFollowTheChosenFile)
{
    struct UrlCase {
        QString text;
        QUrl url;
    };
    for (const UrlCase& c : { UrlCase { QString(), QUrl() }, UrlCase { QStringLiteral("https://example.com/a b.png"), QUrl(QStringLiteral("https://example.com/a%20b.png")) },
             UrlCase { QStringLiteral("https://example.com/x.png"), QUrl(QStringLiteral("https://example.com/x.png")) } })
        EXPECT_EQ(KELFileVariableController::urlFromText(c.text), c.url) << c.text.toStdString();
    struct MimeCase {
        QString path;
        QString audio;
        QString video;
    };
    for (const MimeCase& c : { MimeCase { QString(), QStringLiteral("audio/mpeg"), QStringLiteral("video/mp4") },
             MimeCase { QStringLiteral("/m/song.OGG"), QStringLiteral("audio/ogg"), QStringLiteral("video/ogg") },
             MimeCase { QStringLiteral("/m/clip.wav"), QStringLiteral("audio/wav"), QStringLiteral("video/wav") },
             MimeCase { QStringLiteral("/m/noextension"), QStringLiteral("audio/"), QStringLiteral("video/") } }) {
        const QUrl url = c.path.isEmpty() ? QUrl() : QUrl::fromLocalFile(c.path);
        EXPECT_EQ(KELFileVariableController::audioMimeType(url), c.audio) << c.path.toStdString();
        if (c.path != QLatin1String("/m/song.OGG"))
            EXPECT_EQ(KELFileVariableController::videoMimeType(url), c.video) << c.path.toStdString();
    }

    QTemporaryDir dir;
    const Tree tree = makeTree(dir, QStringLiteral("<c:varGroup><c:file var=\"doc\" name=\"Document\"/><c:image var=\"pic\" name=\"Picture\"/></c:varGroup>"));
    ASSERT_TRUE(tree.root);
    auto* file = controllerAt<KELFileVariableController>(tree.root, QStringLiteral("doc"));
    auto* image = controllerAt<KELImageFileVariableController>(tree.root, QStringLiteral("pic"));
    ASSERT_TRUE(file && image);
    componenttest::writeText(dir.filePath(QStringLiteral("notes.txt")), QStringLiteral("x"));
    QDir(dir.path()).mkdir(QStringLiteral("folder"));
    struct ValidCase {
        KELFileVariableController* editor;
        QString name;
        bool valid;
    };
    for (const ValidCase& c : { ValidCase { file, QStringLiteral("notes.txt"), true }, ValidCase { file, QStringLiteral("missing.bin"), true },
             ValidCase { file, QStringLiteral("folder"), true }, ValidCase { image, QStringLiteral("notes.txt"), false },
             ValidCase { image, QStringLiteral("missing.png"), true } })
        EXPECT_EQ(c.editor->isValidFileUrl(QUrl::fromLocalFile(dir.filePath(c.name))), c.valid) << c.name.toStdString();

    // Choosing a file is one named step, whatever it changes.
    KELComponentUndoManager manager(tree.root);
    file->setFileUrl(QUrl::fromLocalFile(dir.filePath(QStringLiteral("notes.txt"))));
    endOfEvent();
    EXPECT_EQ(tree.root->valueForKeyPath(QStringLiteral("doc.fileUrl")).toUrl(), QUrl::fromLocalFile(dir.filePath(QStringLiteral("notes.txt"))));
    EXPECT_EQ(manager.undoCount(), 1);
    EXPECT_EQ(manager.undoActionName(), QStringLiteral("Select Local File"));
    file->setFileUrl(QUrl(QStringLiteral("https://example.com/")));
    endOfEvent();
    EXPECT_EQ(manager.undoActionName(), QStringLiteral("Select URL"));
    manager.undo();
    endOfEvent();
    EXPECT_EQ(tree.root->valueForKeyPath(QStringLiteral("doc.fileUrl")).toUrl(), QUrl::fromLocalFile(dir.filePath(QStringLiteral("notes.txt"))));
}

TEST(KELFileVariableControllerTest, ImageSizesKeepTheirProportionWithinBounds)
{
    QTemporaryDir dir;
    const Tree tree = makeTree(dir, QStringLiteral("<c:varGroup><c:image var=\"pic\" name=\"Picture\"/></c:varGroup>"));
    auto* image = controllerAt<KELImageFileVariableController>(tree.root, QStringLiteral("pic"));
    ASSERT_TRUE(image);
    EXPECT_EQ(image->width(), 100);
    EXPECT_EQ(image->height(), 100);
    image->applyImageSize(QSize(300, 200));
    struct Case {
        bool locked;
        const char* width;
        qint64 expectedWidth;
        qint64 expectedHeight;
    };
    for (const Case& c : { Case { true, "450", 450, 300 }, Case { false, "100", 100, 300 }, Case { false, "20000", 9999, 300 },
             Case { false, "-5", 0, 300 } }) {
        image->setValue(QStringLiteral("lockedProportion"), c.locked);
        image->setWidthTextValueSynced(QString::fromLatin1(c.width));
        EXPECT_EQ(image->width(), c.expectedWidth) << c.width;
        EXPECT_EQ(image->height(), c.expectedHeight) << c.width;
    }

    // A remote image gives its size; a failed fetch changes nothing.
    KELURLAsyncConnection::networkAccessManager().setProxy(QNetworkProxy::NoProxy);
    LoopbackServer server;
    KELComponentUndoManager manager(tree.root);
    image->setValue(QStringLiteral("selectedViewIndex"), 1);
    image->setValue(QStringLiteral("urlWithFetch"), server.url("/image.png").toString());
    EXPECT_TRUE(QTest::qWaitFor([&] { return image->width() == 30; }, 60000));
    EXPECT_EQ(image->width(), 30);
    EXPECT_EQ(image->height(), 20);
    endOfEvent();
    image->setValue(QStringLiteral("urlWithFetch"), server.url("/error").toString());
    QTest::qWait(300);
    EXPECT_EQ(image->width(), 30);
    // An edit while a fetch runs cancels it.
    image->setValue(QStringLiteral("urlWithFetch"), server.url("/slow").toString());
    EXPECT_TRUE(image->isFetching());
    image->setWidthTextValueSynced(QStringLiteral("60"));
    EXPECT_FALSE(image->isFetching());
}
