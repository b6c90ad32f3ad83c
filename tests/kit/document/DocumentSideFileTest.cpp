// Side files written while editing: soon after the typing pauses, during steady
// typing too, at once when a modal window opens, and never left behind by a
// save that overtakes a write under way.

#include "kit/UndoManager.h"
#include "kit/UserDefaults.h"
#include "kit/document/Document.h"
#include "kit/document/DocumentController.h"
#include "kit/document/DocumentTestSupport.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDialog>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QSemaphore>
#include <QTemporaryDir>
#include <QTest>
#include <QWidget>

#include <atomic>

using namespace kit;
using testsupport::fileBytes;
using testsupport::writeBytes;

namespace {

// A document of UTF-8 text whose side file holds a copy of the text; a test may
// hold the copy's encoding back to catch a write under way.
class TextDoc : public Document {
public:
    QString text;
    std::shared_ptr<QSemaphore> gate; // when set, a side-file write waits for it
    std::shared_ptr<std::atomic<int>> writesStarted = std::make_shared<std::atomic<int>>(0);

    bool readFromData(const QByteArray& data, const QString&, Error*) override
    {
        text = QString::fromUtf8(data);
        return true;
    }
    std::optional<QByteArray> dataOfType(const QString&, Error*) override { return text.toUtf8(); }
    SideFileContents sideFileContents() override
    {
        return [copy = text, gate = gate, started = writesStarted](Error*) -> std::optional<QByteArray> {
            ++*started;
            if (gate)
                gate->acquire();
            return copy.toUtf8();
        };
    }
    void type(const QString& more)
    {
        const QString old = text;
        text += more;
        undoManager()->registerUndo([this, old] { text = old; });
    }
};

class DocumentSideFileTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        QDir(Document::autosaveFolder()).removeRecursively();
        Document::setSideFileDelays(40, 200);
        file = dir.filePath(QStringLiteral("page.html"));
        ASSERT_TRUE(writeBytes(file, "on disk"));
        doc.setFileURL(QUrl::fromLocalFile(file));
        doc.text = QStringLiteral("on disk");
    }
    void TearDown() override { Document::setSideFileDelays(1000, 3000); }
    QString sideFile() const { return doc.autosavedContentsFileURL().toLocalFile(); }
    QStringList sideFiles() const { return QDir(Document::autosaveFolder()).entryList(QDir::Files | QDir::Hidden); }

    QTemporaryDir dir;
    QString file;
    TextDoc doc;
};

TEST_F(DocumentSideFileTest, EditsReachTheSideFileSoonAndTheFileNever)
{
    doc.type(QStringLiteral(" and typed"));
    EXPECT_TRUE(sideFile().isEmpty()); // not on the keystroke itself
    EXPECT_TRUE(QTest::qWaitFor([&] { return fileBytes(sideFile()) == QByteArray("on disk and typed"); }, 10000));
    EXPECT_EQ(fileBytes(sideFile()), QByteArray("on disk and typed"));
    EXPECT_FALSE(doc.hasUnautosavedChanges());
    EXPECT_TRUE(doc.isDocumentEdited());
    EXPECT_EQ(fileBytes(file), "on disk");
    EXPECT_TRUE(sideFile().startsWith(Document::autosaveFolder()));

    // Steady typing, never pausing as long as the idle delay: the side file still
    // follows, before the typing stops.
    QElapsedTimer typing;
    typing.start();
    QElapsedTimer sinceKey;
    sinceKey.start();
    int keys = 0;
    bool followed = false;
    while (!followed && typing.elapsed() < 20000) {
        if (sinceKey.elapsed() >= 10) {
            doc.type(QStringLiteral("x"));
            ++keys;
            sinceKey.restart();
        }
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        followed = keys > 0 && fileBytes(sideFile()).endsWith('x');
    }
    EXPECT_TRUE(followed);

    // Undone back to the file: the side file has nothing left to recover.
    while (doc.isDocumentEdited())
        doc.undoManager()->undo();
    ASSERT_TRUE(QTest::qWaitFor([&] { return sideFiles().isEmpty(); }, 10000));
    EXPECT_TRUE(doc.autosavedContentsFileURL().isEmpty());
}

TEST_F(DocumentSideFileTest, ASaveThatOvertakesAWriteUnderWayLeavesNoSideFile)
{
    doc.gate = std::make_shared<QSemaphore>();
    doc.type(QStringLiteral(" one"));
    ASSERT_TRUE(QTest::qWaitFor([&] { return *doc.writesStarted == 1; }, 10000));
    Error error;
    ASSERT_TRUE(doc.saveToURL(doc.fileURL(), QStringLiteral("HTML"), SaveOperation::Save, &error));
    EXPECT_EQ(fileBytes(file), "on disk one");
    doc.gate->release();

    // A later write goes after the held one (one at a time): once it is in place,
    // the held one has finished, and made nothing.
    doc.gate.reset();
    doc.type(QStringLiteral(" two"));
    EXPECT_TRUE(QTest::qWaitFor([&] { return fileBytes(sideFile()) == QByteArray("on disk one two"); }, 10000));
    EXPECT_EQ(fileBytes(sideFile()), QByteArray("on disk one two"));
    EXPECT_EQ(sideFiles().size(), 1) << sideFiles().join(QLatin1Char(' ')).toStdString();
    doc.close();
    EXPECT_TRUE(sideFiles().isEmpty());
}

TEST_F(DocumentSideFileTest, AModalWindowWritesTheSideFileBeforeItWaits)
{
    Document::setSideFileDelays(60000, 60000);
    DocumentController::resetSharedForTesting();
    DocumentController& controller = DocumentController::sharedDocumentController();
    auto* owned = new TextDoc;
    owned->setFileURL(QUrl::fromLocalFile(file));
    owned->text = QStringLiteral("on disk");
    controller.addDocument(owned);
    owned->type(QStringLiteral(" and more"));
    ASSERT_TRUE(owned->autosavedContentsFileURL().isEmpty());

    QWidget window;
    window.show();
    QDialog alert(&window);
    alert.setWindowModality(Qt::WindowModal);
    alert.open();
    // Written while the dialog opened, before any event loop ran.
    const QString side = owned->autosavedContentsFileURL().toLocalFile();
    EXPECT_EQ(fileBytes(side), "on disk and more");
    EXPECT_FALSE(owned->hasUnautosavedChanges());
    alert.reject();
    owned->close();
    EXPECT_FALSE(QFileInfo::exists(side));
    DocumentController::resetSharedForTesting();
}

} // namespace
