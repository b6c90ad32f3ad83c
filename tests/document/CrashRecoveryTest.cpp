// What a crash leaves on disk brings the typing back: seconds after the last key
// the side file holds the text and the saved windows name it.

#include "app/RegisteredDefaults.h"
#include "document/DocumentSystem.h"
#include "document/DocumentWindowController.h"
#include "document/KELFilePrefsManager.h"
#include "document/MyDocument.h"
#include "document/MyDocumentController.h"
#include "editor/KELHTMLView.h"
#include "kit/UserDefaults.h"
#include "kit/document/DocumentTestSupport.h"
#include "kit/document/WindowRestoration.h"
#include "kit/text/TextStorage.h"
#include "support/DefaultsKeys.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

namespace {

void settle()
{
    for (int i = 0; i < 5; ++i) {
        QCoreApplication::processEvents();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
}

class CrashRecoveryTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        kit::UserDefaults::standard().resetForTesting();
        KELRegisterDefaults();
        kit::UserDefaults::standard().setValue(KELCheckSpellingAsYouType, false);
        KELFilePrefsManager::resetSharedForTesting();
        kit::DocumentController::resetSharedForTesting();
        DocumentWindowController::setFadeDurationForTesting(0);
        kit::Document::setSideFileDelays(30, 100);
        store = dir.filePath(QStringLiteral("windows.plist"));
        controller = new MyDocumentController(QCoreApplication::instance());
        KELStartDocumentSystem(store);
    }
    void TearDown() override
    {
        closeAll();
        kit::DocumentController::resetSharedForTesting();
        settle();
        kit::Document::setSideFileDelays(1000, 3000);
    }
    static void closeAll()
    {
        for (kit::WindowController* window : kit::WindowController::allWindowControllers()) {
            if (auto* documents = qobject_cast<DocumentWindowController*>(window))
                documents->closeWindowNow();
        }
        settle();
    }
    // The side file the saved windows name for the page, when there is one.
    QString sideFileSavedFor(const QString& page) const
    {
        for (const QVariant& window : kit::WindowRestoration::readWindows(store)) {
            for (const QVariant& entry : window.toMap().value(kit::WindowRestoration::DocumentsKey).toList()) {
                const QVariantMap document = entry.toMap();
                if (QUrl(document.value(kit::WindowRestoration::FileURLKey).toString()).toLocalFile() == page)
                    return QUrl(document.value(kit::WindowRestoration::AutosaveURLKey).toString()).toLocalFile();
            }
        }
        return QString();
    }

    QTemporaryDir dir;
    QString store;
    MyDocumentController* controller = nullptr;
};

TEST_F(CrashRecoveryTest, TypingIsBackAfterACrashFromWhatItLeftOnDisk)
{
    const QString page = dir.filePath(QStringLiteral("page.html"));
    ASSERT_TRUE(testsupport::writeBytes(page, "<p>saved</p>\n"));
    kit::Error error;
    auto* document = qobject_cast<MyDocument*>(
        controller->openDocumentWithContentsOfURL(QUrl::fromLocalFile(page), true, &error));
    ASSERT_TRUE(document);
    settle();
    KELHTMLView* view = document->textView();
    ASSERT_TRUE(view);
    view->setSelectedRange(kit::Range(view->textStorage()->length(), 0));
    QTest::keyClicks(view, QStringLiteral("typed words"));

    QString side;
    ASSERT_TRUE(QTest::qWaitFor(
        [&] {
            side = sideFileSavedFor(page);
            return !side.isEmpty() && testsupport::fileBytes(side) == QByteArray("<p>saved</p>\ntyped words");
        },
        10000));
    EXPECT_EQ(testsupport::fileBytes(page), QByteArray("<p>saved</p>\n"));

    // What a process killed now leaves behind; this session then ends normally.
    const QByteArray windows = testsupport::fileBytes(store);
    const QByteArray unsaved = testsupport::fileBytes(side);
    closeAll();
    ASSERT_TRUE(testsupport::writeBytes(store, windows));
    QDir().mkpath(QFileInfo(side).absolutePath());
    ASSERT_TRUE(testsupport::writeBytes(side, unsaved));

    EXPECT_EQ(KELStartDocumentSystem(store), 1);
    settle();
    auto* restored = qobject_cast<MyDocument*>(controller->documentForURL(QUrl::fromLocalFile(page)));
    ASSERT_TRUE(restored);
    EXPECT_EQ(restored->currentString(), QStringLiteral("<p>saved</p>\ntyped words"));
    EXPECT_TRUE(restored->isDocumentEdited());
}

} // namespace
