#include "document/ExternalDocument.h"
#include "document/ExternalEditorTestClient.h"
#include "document/KELFilePrefsManager.h"
#include "document/MyDocumentController.h"
#include "kit/Log.h"
#include "kit/UserDefaults.h"
#include "kit/document/DocumentTestSupport.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QTemporaryDir>
#include <QTest>

namespace {

class ExternalDocumentTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        kit::UserDefaults::standard().resetForTesting();
        KELFilePrefsManager::resetSharedForTesting();
        kit::DocumentController::resetSharedForTesting();
        controller = new MyDocumentController(qApp);
    }
    void TearDown() override { kit::DocumentController::resetSharedForTesting(); }
    QString path(const QString& name) const { return dir.filePath(name); }

    QTemporaryDir dir;
    MyDocumentController* controller = nullptr;
};

TEST_F(ExternalDocumentTest, ShowsTheClientsNameForTheFile)
{
    ASSERT_TRUE(testsupport::writeBytes(path("page.html"), "x"));
    kit::Error error;
    MyDocument* doc = controller->openDocumentForExternalEditor(
        QUrl::fromLocalFile(path("page.html")), {QStringLiteral("org.example.Client"), std::nullopt, QStringLiteral("ftp://example.org/site/page.html")}, false, &error);
    auto* external = qobject_cast<ExternalDocument*>(doc);
    ASSERT_TRUE(external);
    EXPECT_EQ(external->displayName(), "ftp://example.org/site/page.html");
    EXPECT_EQ(external->originalFileName(), path("page.html"));
    // An open without a sender makes a plain document.
    ASSERT_TRUE(testsupport::writeBytes(path("other.html"), "y"));
    kit::Document* plain = controller->openDocumentWithContentsOfURL(QUrl::fromLocalFile(path("other.html")), false, &error);
    EXPECT_FALSE(qobject_cast<ExternalDocument*>(plain));
}

TEST_F(ExternalDocumentTest, SavesAreReportedOverTheSessionBus)
{
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected())
        GTEST_SKIP() << "no session bus";
    const QString service = QStringLiteral("org.kelpstudio.TestClient%1").arg(QCoreApplication::applicationPid());
    TestClient client;
    ASSERT_TRUE(bus.registerService(service));
    ASSERT_TRUE(bus.registerObject(QStringLiteral("/"), &client, QDBusConnection::ExportAllSlots));

    struct Case {
        std::optional<QString> token;
        QString expectedToken;
    } cases[] = {{QStringLiteral("tok-123"), QStringLiteral("tok-123")}, {std::nullopt, QString()}};
    for (const Case& c : cases) {
        client.calls.clear();
        ASSERT_TRUE(testsupport::writeBytes(path("page.html"), "x"));
        kit::Error error;
        auto* doc = qobject_cast<ExternalDocument*>(controller->openDocumentForExternalEditor(
            QUrl::fromLocalFile(path("page.html")), {service, c.token, QString()}, false, &error));
        ASSERT_TRUE(doc);
        doc->setInitialString(QStringLiteral("edited"));
        doc->kit::Document::updateChangeCount(kit::ChangeType::Done);

        // Autosaves write side files only: nothing to report.
        doc->autosaveWithImplicitCancellability(false, {});
        ASSERT_TRUE(doc->saveToURL(doc->kit::Document::fileURL(), doc->fileType(), kit::SaveOperation::Save, &error));
        ASSERT_TRUE(QTest::qWaitFor([&] { return client.calls.size() == 1; }, 60000));
        EXPECT_EQ(client.calls[0], (QStringList{path("page.html"), QString(), c.expectedToken}));

        // Save As reports the new place once, then the relationship ends.
        ASSERT_TRUE(doc->saveToURL(QUrl::fromLocalFile(path("moved.html")), doc->fileType(), kit::SaveOperation::SaveAs, &error));
        ASSERT_TRUE(QTest::qWaitFor([&] { return client.calls.size() == 2; }, 60000));
        EXPECT_EQ(client.calls[1], (QStringList{path("page.html"), path("moved.html"), c.expectedToken}));
        EXPECT_FALSE(doc->isExternal());
        ASSERT_TRUE(doc->saveToURL(doc->kit::Document::fileURL(), doc->fileType(), kit::SaveOperation::Save, &error));
        // Nothing more reaches the client: a round trip on the bus after the save
        // comes back after anything the save sent.
        QDBusConnection::sessionBus().interface()->isServiceRegistered(service);
        QCoreApplication::processEvents();
        EXPECT_EQ(client.calls.size(), 2);
        doc->close();
    }
    bus.unregisterObject(QStringLiteral("/"));
    bus.unregisterService(service);
}

TEST_F(ExternalDocumentTest, AMissingClientIsLoggedNotReported)
{
    if (!QDBusConnection::sessionBus().isConnected())
        GTEST_SKIP() << "no session bus";
    ASSERT_TRUE(testsupport::writeBytes(path("page.html"), "x"));
    kit::Error error;
    auto* doc = qobject_cast<ExternalDocument*>(controller->openDocumentForExternalEditor(
        QUrl::fromLocalFile(path("page.html")), {QStringLiteral("org.kelpstudio.NobodyHere"), std::nullopt, QString()}, false, &error));
    ASSERT_TRUE(doc);
    kit::LogCapture log;
    EXPECT_TRUE(doc->saveToURL(doc->kit::Document::fileURL(), doc->fileType(), kit::SaveOperation::Save, &error));
    EXPECT_TRUE(log.contains("not running"));
}

} // namespace

