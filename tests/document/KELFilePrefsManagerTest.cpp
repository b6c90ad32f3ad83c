#include "document/KELFilePrefsManager.h"
#include "document/NDAlias.h"
#include "kit/UserDefaults.h"
#include "kit/document/DocumentTestSupport.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QThread>

namespace {

class KELFilePrefsManagerTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        kit::UserDefaults::standard().resetForTesting();
        KELFilePrefsManager::resetSharedForTesting();
    }
    void TearDown() override { KELFilePrefsManager::resetSharedForTesting(); }
    QString file(const QString& name)
    {
        const QString path = dir.filePath(name);
        if (!QFile::exists(path)) {
            EXPECT_TRUE(testsupport::writeBytes(path, "x"));
        }
        return path;
    }
    QVariantList storedArray(const QString& key = QStringLiteral("KELFilePrefs.FilePrefs"))
    {
        return kit::UserDefaults::standard().mapValue(key).value(KELFilePrefsArrayKey).toList();
    }

    QTemporaryDir dir;
};

TEST_F(KELFilePrefsManagerTest, AliasesAreMadeOnlyForExistingItemsAndSurviveArchiving)
{
    EXPECT_FALSE(NDAlias::aliasWithPath(dir.filePath("missing")));
    std::optional<NDAlias> alias = NDAlias::aliasWithPath(file("a.html"));
    ASSERT_TRUE(alias);
    std::optional<NDAlias> back = NDAlias::unarchive(alias->archivedData());
    ASSERT_TRUE(back);
    EXPECT_EQ(back->path(), file("a.html"));
    EXPECT_TRUE(back->isEqualToAlias(*alias));
    EXPECT_EQ(back->url(), QUrl::fromLocalFile(file("a.html")));
    QFile::rename(file("a.html"), dir.filePath("b.html"));
    EXPECT_EQ(back->path(), dir.filePath("b.html"));
    EXPECT_EQ(back->displayName(), "b.html");
}

TEST_F(KELFilePrefsManagerTest, RecordsArePersistedAndFoundAgainAfterARename)
{
    {
        KELFilePrefsManager& store = KELFilePrefsManager::sharedFilePrefsManager();
        KELFilePrefs& record = store.filePrefsForFile(file("page.html"));
        EXPECT_EQ(record.encoding(), kit::NoEncoding);
        EXPECT_EQ(record.visibleTextRange(), kit::Range(0, 0));
        record.setEncoding(5);
        record.setVisibleTextRange(kit::Range(120, 40));
        record.setObject(QStringLiteral("kept"), QStringLiteral("SomeFutureKey"));
        store.saveFilePrefs(record);
        store.saveFilePrefs(record);
        EXPECT_EQ(storedArray().size(), 1) << "saving twice keeps one record";
        EXPECT_EQ(storedArray().value(0).toMap().value(KELVisibleTextRangePrefsKey).toString(), "{120, 40}");
    }
    // Renamed while the program was not running.
    ASSERT_TRUE(QFile::rename(file("page.html"), dir.filePath("renamed.html")));
    KELFilePrefsManager::resetSharedForTesting();
    KELFilePrefsManager& store = KELFilePrefsManager::sharedFilePrefsManager();
    EXPECT_EQ(store.existingFilePrefsForFile(dir.filePath("page.html")), nullptr);
    KELFilePrefs* record = store.existingFilePrefsForFile(dir.filePath("renamed.html"));
    ASSERT_TRUE(record);
    EXPECT_EQ(record->encoding(), 5u);
    EXPECT_EQ(record->visibleTextRange(), kit::Range(120, 40));
    store.saveFilePrefs(*record);
    EXPECT_EQ(storedArray().value(0).toMap().value("SomeFutureKey").toString(), "kept");
}

TEST_F(KELFilePrefsManagerTest, EmptyValuesRemoveTheirEntries)
{
    KELFilePrefs& record = KELFilePrefsManager::sharedFilePrefsManager().filePrefsForFile(file("p.html"));
    record.setCurrentPreviewFile(file("preview.html"));
    record.setScriptsPath(dir.path());
    record.setComponentIncludeDirectoryPath(dir.path());
    record.setCodeFoldingPrefsDictionary({{"length", 10}});
    record.setTabState("state");
    EXPECT_EQ(record.currentPreviewFile(), file("preview.html"));
    EXPECT_EQ(record.scriptsPath(), dir.path());
    for (const QString& key : {KELPreviewFileAliasKey, KELComponentInsertScriptsPathAliasKey,
                               KELProjectPrefsComponentIncludeDirectoryAliasKey, KELCodeFoldingPrefsKey, KELProjectPrefsTabStateKey})
        EXPECT_TRUE(record.prefsDictionary().contains(key)) << key.toStdString();
    record.setCurrentPreviewFile({});
    record.setScriptsPath({});
    record.setComponentIncludeDirectoryPath({});
    record.setCodeFoldingPrefsDictionary({});
    record.setTabState({});
    for (const QString& key : {KELPreviewFileAliasKey, KELComponentInsertScriptsPathAliasKey,
                               KELProjectPrefsComponentIncludeDirectoryAliasKey, KELCodeFoldingPrefsKey, KELProjectPrefsTabStateKey})
        EXPECT_FALSE(record.prefsDictionary().contains(key)) << key.toStdString();
}

TEST_F(KELFilePrefsManagerTest, TheOldestRecordGoesBeyondTheLimitButIsStillFoundInThisRun)
{
    KELFilePrefsManager store(QStringLiteral("Small"), 3);
    QStringList paths;
    for (int i = 0; i < 4; ++i) {
        paths << file(QStringLiteral("f%1.html").arg(i));
        KELFilePrefs& record = store.filePrefsForFile(paths.last());
        record.setEncoding(kit::StringEncoding(i + 1));
        store.saveFilePrefs(record);
        QThread::msleep(5); // distinct last-used dates
    }
    EXPECT_EQ(store.savedCount(), 3);
    const QVariantList stored = storedArray(QStringLiteral("KELFilePrefs.Small"));
    ASSERT_EQ(stored.size(), 3);
    QList<qulonglong> encodings;
    for (const QVariant& entry : stored)
        encodings << entry.toMap().value(KELFilePrefsEncodingKey).toULongLong();
    EXPECT_FALSE(encodings.contains(1)) << "the oldest is gone from disk";
    ASSERT_TRUE(store.existingFilePrefsForFile(paths[0]));
    EXPECT_EQ(store.existingFilePrefsForFile(paths[0])->encoding(), 1u);

    // A broken stored element is skipped when the store loads.
    QVariantList withBroken = stored;
    withBroken.prepend(QVariantMap{{KELFilePrefsAliasKey, QByteArray("junk")}});
    kit::UserDefaults::standard().setValue(QStringLiteral("KELFilePrefs.Small"), QVariantMap{{KELFilePrefsArrayKey, withBroken}});
    KELFilePrefsManager reloaded(QStringLiteral("Small"), 3);
    EXPECT_EQ(reloaded.savedCount(), 3);
}

TEST_F(KELFilePrefsManagerTest, RangeTextForms)
{
    struct Case {
        const char* text;
        kit::Range range;
    } cases[] = {
        {"{5, 10}", {5, 10}}, {"{0, 0}", {0, 0}}, {"garbage", {0, 0}}, {"{-3, 4}", {0, 0}}, {"", {0, 0}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(KELFilePrefs::rangeFromString(QString::fromLatin1(c.text)), c.range) << c.text;
    EXPECT_EQ(KELFilePrefs::stringFromRange(kit::Range(7, 3)), "{7, 3}");
}

} // namespace
