#include "document/MyDocument.h"
#include "kit/document/DocumentTestSupport.h"
#include "support/KELComponentChecksum.h"

#include <gtest/gtest.h>

#include <QTemporaryDir>

TEST(MyDocumentComponentFileTest, OpeningAGeneratedFileWarnsBeforeSaving)
{
    QTemporaryDir dir;
    QString generated = QStringLiteral("body { color: red; }\n");
    KELComponentChecksum::appendChecksum(generated);
    ASSERT_TRUE(testsupport::writeBytes(dir.filePath("style.css"), generated.toUtf8()));
    ASSERT_TRUE(testsupport::writeBytes(dir.filePath("mine.css"), "body {}\n"));
    EXPECT_TRUE(KELComponentChecksum::verifyChecksumForFile(dir.filePath("style.css")));
    EXPECT_FALSE(KELComponentChecksum::verifyChecksumForFile(dir.filePath("missing.css")));

    MyDocument::resetComponentLibraryWarningSuppression();
    for (const auto& [name, warns] : {std::pair{QStringLiteral("style.css"), true}, std::pair{QStringLiteral("mine.css"), false}}) {
        MyDocument document;
        kit::Error error;
        const QUrl url = QUrl::fromLocalFile(dir.filePath(name));
        document.setFileURL(url);
        ASSERT_TRUE(document.readFromURL(url, QStringLiteral("Plain Text"), &error));
        EXPECT_EQ(document.showComponentLibraryWarning(), warns) << name.toStdString();
    }
}
