#include "document/KELFilePrefsManager.h"
#include "document/MyDocument.h"
#include "document/MyDocumentController.h"
#include "document/MyDocumentPlaceholder.h"
#include "kit/StringEncodings.h"
#include "kit/UserDefaults.h"
#include "kit/document/DocumentTestSupport.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QTemporaryDir>

namespace {

TEST(MyDocumentPlaceholderTest, ReadsTheFileOnDemand)
{
    kit::UserDefaults::standard().resetForTesting();
    KELFilePrefsManager::resetSharedForTesting();
    KELFilePrefsManager::installFileEncodingLookup();
    QTemporaryDir dir;
    const QString path = dir.filePath("page.html");
    ASSERT_TRUE(testsupport::writeBytes(path, "caf\xc3\xa9"));

    MyDocumentPlaceholder placeholder(path);
    EXPECT_EQ(placeholder.displayName(), path);
    EXPECT_EQ(placeholder.fileURL(), QUrl::fromLocalFile(path));
    EXPECT_EQ(placeholder.encoding(), kit::UTF8StringEncoding);
    EXPECT_EQ(placeholder.docContents(), QStringLiteral("café"));
    ASSERT_TRUE(testsupport::writeBytes(path, "changed"));
    EXPECT_EQ(placeholder.docContents(), QStringLiteral("changed")) << "read again on every call";

    MyDocumentPlaceholder missing(dir.filePath("missing.html"));
    EXPECT_EQ(missing.encoding(), 0u);
    EXPECT_FALSE(missing.docContents());

    MyDocumentPlaceholder none(std::nullopt);
    EXPECT_TRUE(none.fileURL().isEmpty());
    EXPECT_FALSE(none.docContents());
}

TEST(MyDocumentPlaceholderTest, PlaceholdersOfOneFileAreEqualButNeverEqualAnOpenDocument)
{
    kit::UserDefaults::standard().resetForTesting();
    QTemporaryDir dir;
    const QString path = dir.filePath("page.html");
    ASSERT_TRUE(testsupport::writeBytes(path, "x"));
    MyDocumentPlaceholder a(path), b(path), other(dir.filePath("other.html"));
    EXPECT_TRUE(a.isEqualToContents(b));
    EXPECT_EQ(a.contentsHash(), b.contentsHash());
    EXPECT_FALSE(a.isEqualToContents(other));

    kit::DocumentController::resetSharedForTesting();
    auto* controller = new MyDocumentController(QCoreApplication::instance());
    kit::Error error;
    auto* doc = qobject_cast<MyDocument*>(controller->openDocumentWithContentsOfURL(QUrl::fromLocalFile(path), false, &error));
    ASSERT_TRUE(doc);
    EXPECT_FALSE(a.isEqualToContents(*doc));
    EXPECT_FALSE(doc->isEqualToContents(a));
    // The controller hands out the open document for its path, a placeholder otherwise.
    EXPECT_EQ(controller->documentContentsForPath(path).get(), static_cast<DocumentContents*>(doc));
    EXPECT_NE(dynamic_cast<MyDocumentPlaceholder*>(controller->documentContentsForPath(dir.filePath("other.html")).get()), nullptr);
    kit::DocumentController::resetSharedForTesting();
}

} // namespace
