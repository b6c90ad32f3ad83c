#include "componentui/KELFileVariableControllers.h"

#include "ComponentUITestSupport.h"
#include "componentui/KELURLAsyncConnection.h"
#include "kit/Log.h"

#include <gtest/gtest.h>

#include <QBuffer>
#include <QFileDialog>
#include <QImageReader>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
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
    /// Requests answered, by path.
    QHash<QByteArray, int> requests;

private:
    void answer(QTcpSocket* socket)
    {
        const QByteArray request = socket->readAll();
        const QByteArray path = request.split(' ').value(1);
        ++requests[path];
        if (path == "/broken.png") {
            // A whole answer whose picture is cut short.
            const QByteArray half = png.left(png.size() / 2);
            socket->write("HTTP/1.1 200 OK\r\nContent-Type: image/png\r\nContent-Length: " + QByteArray::number(half.size())
                + "\r\nConnection: close\r\n\r\n" + half);
            socket->disconnectFromHost();
        } else if (path.startsWith("/image")) {
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
        waitFor(outcome, 5000);
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
    for (int i = 0; i < 200 && image->width() != 30; ++i)
        QTest::qWait(10);
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

TEST(KELFileVariableControllerTest, FetchedSizeIsOneUndoAndTypingFetchesOnceItPauses)
{
    QTemporaryDir dir;
    const Tree tree = makeTree(dir, QStringLiteral("<c:varGroup><c:image var=\"pic\" name=\"Picture\"/></c:varGroup>"), true);
    auto* image = controllerAt<KELImageFileVariableController>(tree.root, QStringLiteral("pic"));
    ASSERT_TRUE(image && image->urlTextField());
    KELURLAsyncConnection::networkAccessManager().setProxy(QNetworkProxy::NoProxy);
    LoopbackServer server;
    KELComponentUndoManager manager(tree.root);
    image->setWidthTextValueSynced(QStringLiteral("120"));
    endOfEvent();
    ASSERT_EQ(image->height(), 120);
    image->setValue(QStringLiteral("selectedViewIndex"), 1);
    endOfEvent();

    // Typing an address: nothing is fetched while the keys come, once when they stop.
    QWidget* window = tree.root->view();
    window->show();
    QLineEdit* field = image->urlTextField();
    field->setFocus();
    field->selectAll();
    QTest::keyClicks(field, server.url("/image.png").toString());
    EXPECT_TRUE(server.requests.isEmpty());
    EXPECT_TRUE(image->fetchIsPending());
    EXPECT_FALSE(image->isFetching());
    QTRY_COMPARE_WITH_TIMEOUT(image->width(), 30, 10000);
    EXPECT_EQ(image->height(), 20);
    EXPECT_EQ(server.requests.value("/image.png"), 1);
    EXPECT_EQ(image->pictureStatusText(), QString());
    endOfEvent();

    // One undo gives back the sizes from before the fetch, the typed address stays.
    EXPECT_EQ(manager.undoActionName(), QStringLiteral("Change Picture Size"));
    manager.undo();
    endOfEvent();
    EXPECT_EQ(image->width(), 120);
    EXPECT_EQ(image->height(), 120);
    EXPECT_EQ(image->value(QStringLiteral("url")).toString(), server.url("/image.png").toString());
    manager.redo();
    endOfEvent();
    EXPECT_EQ(image->width(), 30);

    // A new address typed while one is on its way cancels it: one answer, the last one's.
    image->setValue(QStringLiteral("urlWithFetch"), server.url("/slow").toString());
    ASSERT_TRUE(image->isFetching());
    field->selectAll();
    QTest::keyClicks(field, server.url("/image2.png").toString());
    EXPECT_FALSE(image->isFetching());
    QTRY_COMPARE_WITH_TIMEOUT(server.requests.value("/image2.png"), 1, 10000);
    QTRY_VERIFY(!image->isFetching() && image->pictureStatusText().isEmpty());
    delete window;
}

TEST(KELFileVariableControllerTest, PicturesThatDoNotLoadSayWhyInTheForm)
{
    QTemporaryDir dir;
    const Tree tree = makeTree(dir, QStringLiteral("<c:varGroup><c:image var=\"pic\" name=\"Picture\"/></c:varGroup>"), true);
    auto* image = controllerAt<KELImageFileVariableController>(tree.root, QStringLiteral("pic"));
    ASSERT_TRUE(image);
    QWidget* form = tree.root->view();
    form->show();
    QLabel* status = nullptr;
    for (QLabel* label : form->findChildren<QLabel*>()) {
        if (label->wordWrap())
            status = label;
    }
    ASSERT_TRUE(status);
    EXPECT_FALSE(status->isVisible());

    // A picture cut short on disk.
    QImage picture(200, 150, QImage::Format_RGB32);
    picture.fill(Qt::blue);
    const QString whole = dir.filePath(QStringLiteral("whole.png"));
    ASSERT_TRUE(picture.save(whole));
    QFile source(whole);
    ASSERT_TRUE(source.open(QIODevice::ReadOnly));
    const QByteArray bytes = source.readAll();
    const QString cut = dir.filePath(QStringLiteral("cut.png"));
    QFile truncated(cut);
    ASSERT_TRUE(truncated.open(QIODevice::WriteOnly));
    truncated.write(bytes.left(bytes.size() / 2));
    truncated.close();
    image->setFileUrl(QUrl::fromLocalFile(cut));
    QTRY_VERIFY(!image->pictureProblem().isEmpty());
    EXPECT_TRUE(status->isVisible());
    EXPECT_TRUE(status->text().startsWith(QStringLiteral("The picture could not be loaded: "))) << status->text().toStdString();
    EXPECT_TRUE(status->text().contains(QStringLiteral("damaged or incomplete"))) << status->text().toStdString();
    // A good one clears it.
    image->setFileUrl(QUrl::fromLocalFile(whole));
    QTRY_VERIFY(image->pictureStatusText().isEmpty());
    EXPECT_FALSE(status->isVisible());

    // Larger than the picture reader takes.
    const int limit = QImageReader::allocationLimit();
    QImage tall(4000, 4000, QImage::Format_RGB32);
    tall.fill(Qt::white);
    const QString large = dir.filePath(QStringLiteral("large.png"));
    ASSERT_TRUE(tall.save(large));
    QImageReader::setAllocationLimit(32);
    image->setFileUrl(QUrl::fromLocalFile(large));
    QTRY_VERIFY(!image->pictureProblem().isEmpty());
    QImageReader::setAllocationLimit(limit);
    EXPECT_TRUE(image->pictureProblem().contains(QStringLiteral("4000 × 4000"))) << image->pictureProblem().toStdString();
    EXPECT_TRUE(status->isVisible());

    // Remote: a damaged answer, and a server that never answers.
    KELURLAsyncConnection::networkAccessManager().setProxy(QNetworkProxy::NoProxy);
    LoopbackServer server;
    image->setValue(QStringLiteral("selectedViewIndex"), 1);
    image->setValue(QStringLiteral("urlWithFetch"), server.url("/broken.png").toString());
    EXPECT_EQ(status->text(), QStringLiteral("Loading the picture…"));
    QTRY_VERIFY_WITH_TIMEOUT(!image->pictureProblem().isEmpty(), 10000);
    EXPECT_TRUE(image->pictureProblem().contains(QStringLiteral("damaged or incomplete"))) << image->pictureProblem().toStdString();
    image->setFetchTimeoutForTesting(300);
    image->setValue(QStringLiteral("urlWithFetch"), server.url("/slow").toString());
    EXPECT_TRUE(image->pictureProblem().isEmpty());
    QTRY_VERIFY_WITH_TIMEOUT(!image->pictureProblem().isEmpty(), 10000);
    EXPECT_TRUE(image->pictureProblem().contains(QStringLiteral("no answer came from 127.0.0.1"))) << image->pictureProblem().toStdString();
    EXPECT_TRUE(status->isVisible());
    delete form;
}

TEST(KELFileVariableControllerTest, SelectChoosesFoldersWhereTheEditorTakesThem)
{
    QTemporaryDir dir;
    QDir(dir.path()).mkdir(QStringLiteral("site"));
    const Tree tree = makeTree(dir, QStringLiteral("<c:varGroup><c:file var=\"doc\" name=\"Document\"/><c:image var=\"pic\" name=\"Picture\"/></c:varGroup>"), true);
    auto* file = controllerAt<KELFileVariableController>(tree.root, QStringLiteral("doc"));
    auto* image = controllerAt<KELImageFileVariableController>(tree.root, QStringLiteral("pic"));
    ASSERT_TRUE(file && image && file->selectButton() && image->selectButton());
    // Files and folders: the button offers both; pictures: files only.
    ASSERT_TRUE(file->selectButton()->menu());
    EXPECT_EQ(file->selectButton()->menu()->actions().size(), 2);
    EXPECT_FALSE(image->selectButton()->menu());

    QFileDialog* panel = file->selectFile(true);
    ASSERT_TRUE(panel);
    EXPECT_EQ(panel->fileMode(), QFileDialog::Directory);
    panel->setDirectory(dir.path());
    panel->selectFile(dir.filePath(QStringLiteral("site")));
    // The panel's Select button.
    QMetaObject::invokeMethod(panel, "accept");
    endOfEvent();
    EXPECT_EQ(file->value(QStringLiteral("localPath")).toString(), dir.filePath(QStringLiteral("site")));
    EXPECT_EQ(file->fileView()->fileName(), dir.filePath(QStringLiteral("site")));

    QFileDialog* pictures = image->selectFile();
    ASSERT_TRUE(pictures);
    EXPECT_EQ(pictures->fileMode(), QFileDialog::ExistingFile);
    EXPECT_TRUE(pictures->nameFilters().join(QLatin1Char(' ')).contains(QStringLiteral("*.png")));
    pictures->reject();
    delete file->view();
    delete image->view();
}
