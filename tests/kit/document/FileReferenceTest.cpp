#include "kit/document/FileReference.h"
#include "kit/document/DocumentTestSupport.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QCoreApplication>
#include <QTemporaryDir>

using namespace kit;

namespace {

TEST(FileReferenceTest, NothingAtThePathGivesNoReference)
{
    QTemporaryDir dir;
    EXPECT_FALSE(FileReference::fromPath(dir.filePath("missing")));
    EXPECT_FALSE(FileReference::fromPath(QString()));
    EXPECT_FALSE(FileReference::fromData(QByteArray()));
    EXPECT_FALSE(FileReference::fromData("not a reference"));
}

TEST(FileReferenceTest, FollowsRenamesAndMovesAndSurvivesStorage)
{
    QTemporaryDir dir;
    QDir(dir.path()).mkpath("site/css");
    QDir(dir.path()).mkpath("other/deep/er");
    struct Case {
        const char* from;
        const char* to;
    } cases[] = {
        {"site/index.html", "site/home.html"},            // renamed
        {"site/page.html", "site/css/page.html"},         // moved into a subfolder
        {"site/css/a.css", "site/b.css"},                 // moved up
        {"site/x.html", "other/deep/er/x.html"},          // moved to a cousin folder
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.from);
        ASSERT_TRUE(testsupport::writeBytes(dir.filePath(c.from), "x"));
        std::optional<FileReference> made = FileReference::fromPath(dir.filePath(c.from));
        ASSERT_TRUE(made);
        // Stored and read back, as the settings do.
        std::optional<FileReference> ref = FileReference::fromData(made->data());
        ASSERT_TRUE(ref);
        EXPECT_EQ(ref->resolvedPath(), dir.filePath(c.from));
        ASSERT_TRUE(QFile::rename(dir.filePath(c.from), dir.filePath(c.to)));
        EXPECT_EQ(ref->resolvedPath(), dir.filePath(c.to));
        EXPECT_TRUE(ref->changed());
        EXPECT_EQ(ref->lastKnownPath(), dir.filePath(c.to));
    }
}

TEST(FileReferenceTest, AFileReplacedBySafeSaveIsStillFoundAndADeletedOneIsNot)
{
    QTemporaryDir dir;
    // A name no other test uses: other files made meanwhile may take the freed inode.
    const QString path = dir.filePath(QStringLiteral("safe-save-%1.html").arg(QCoreApplication::applicationPid()));
    ASSERT_TRUE(testsupport::writeBytes(path, "old"));
    std::optional<FileReference> ref = FileReference::fromPath(path);
    ASSERT_TRUE(ref);
    // Replace by rename, as safe saves do: a new inode at the same path.
    ASSERT_TRUE(testsupport::writeBytes(dir.filePath("tmp"), "new"));
    QFile::remove(path);
    ASSERT_TRUE(QFile::rename(dir.filePath("tmp"), path));
    EXPECT_EQ(ref->resolvedPath(), path);

    QFile::remove(path);
    EXPECT_TRUE(ref->resolvedPath().isEmpty());
    EXPECT_TRUE(ref->resolvedURL().isEmpty());
}

} // namespace
