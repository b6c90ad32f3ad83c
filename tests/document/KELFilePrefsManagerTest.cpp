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

namespace {

TEST_F(KELFilePrefsManagerTest, APathWhereNothingExistsGetsNoRecordAndPushesNoneOut)
{
    KELFilePrefsManager store(QStringLiteral("Small"), 2);
    for (const char* name : {"one.html", "two.html"}) {
        KELFilePrefs& record = store.filePrefsForFile(file(QString::fromLatin1(name)));
        record.setEncoding(5);
        store.saveFilePrefs(record);
    }
    const int known = store.knownCount();
    for (int i = 0; i < 5; ++i) {
        KELFilePrefs& blank = store.filePrefsForFile(dir.filePath(QStringLiteral("missing%1.html").arg(i)));
        EXPECT_FALSE(blank.alias());
        EXPECT_EQ(blank.encoding(), kit::NoEncoding);
        blank.setEncoding(4);
        store.saveFilePrefs(blank);
    }
    EXPECT_EQ(store.knownCount(), known);
    EXPECT_EQ(store.savedCount(), 2);
    const QVariantList stored = storedArray(QStringLiteral("KELFilePrefs.Small"));
    ASSERT_EQ(stored.size(), 2);
    EXPECT_EQ(store.existingFilePrefsForFile(file("one.html"))->encoding(), 5u);
    EXPECT_EQ(store.existingFilePrefsForFile(file("two.html"))->encoding(), 5u);
    EXPECT_EQ(store.existingFilePrefsForFile(dir.filePath("missing0.html")), nullptr);
}

TEST_F(KELFilePrefsManagerTest, StaleRecordsBesideABigFolderAreNotSearchedForAndStayAsStored)
{
    // Records of files deleted since, in a folder of many files: a lookup of
    // another file must neither find them nor go looking for them (a search
    // would re-point or rewrite their aliases).
    const QString big = dir.filePath(QStringLiteral("big"));
    QDir().mkpath(big);
    for (int i = 0; i < 2000; ++i)
        testsupport::writeBytes(QDir(big).filePath(QStringLiteral("f%1.txt").arg(i)), "x");
    {
        KELFilePrefsManager& store = KELFilePrefsManager::sharedFilePrefsManager();
        for (int i = 0; i < 300; ++i) {
            const QString path = QDir(big).filePath(QStringLiteral("gone%1.html").arg(i));
            testsupport::writeBytes(path, "x");
            KELFilePrefs& record = store.filePrefsForFile(path);
            record.setEncoding(5);
            store.saveFilePrefs(record);
        }
    }
    // All gone but one, which was renamed meanwhile.
    for (int i = 1; i < 300; ++i)
        QFile::remove(QDir(big).filePath(QStringLiteral("gone%1.html").arg(i)));
    ASSERT_TRUE(QFile::rename(QDir(big).filePath("gone0.html"), QDir(big).filePath("renamed.html")));
    const QVariantList before = storedArray();
    ASSERT_EQ(before.size(), 300);

    KELFilePrefsManager::resetSharedForTesting();
    KELFilePrefsManager& store = KELFilePrefsManager::sharedFilePrefsManager();
    const QString page = QDir(big).filePath(QStringLiteral("page.html"));
    testsupport::writeBytes(page, "x");
    EXPECT_EQ(store.existingFilePrefsForFile(page), nullptr);
    KELFilePrefs& record = store.filePrefsForFile(page);
    store.saveFilePrefs(record);
    const QVariantList after = storedArray();
    ASSERT_EQ(after.size(), 300);
    // Apart from the new record, every stored one is exactly as it was.
    int unchanged = 0;
    for (const QVariant& entry : after)
        unchanged += before.contains(entry) ? 1 : 0;
    EXPECT_EQ(unchanged, 299);
    // The renamed file finds its record when it is itself looked up.
    KELFilePrefs* renamed = store.existingFilePrefsForFile(QDir(big).filePath("renamed.html"));
    ASSERT_TRUE(renamed);
    EXPECT_EQ(renamed->encoding(), 5u);
}

TEST_F(KELFilePrefsManagerTest, AReusedInodeDoesNotGiveANewFileAnOldFilesSettings)
{
    // The stored record of a file that is gone remembers an identity that a new
    // file now has (its inode was reused); only the same birth time, or the same
    // name where birth times are unknown, makes it that file's record.
    const QString newcomer = file(QStringLiteral("new.html"));
    const std::optional<kit::FileIdentity> identity = kit::fileIdentityAt(newcomer);
    ASSERT_TRUE(identity);
    struct Case {
        const char* name;
        const char* rememberedName;
        qint64 rememberedBirth; // relative to the newcomer's: 0 = the same, -1 = unknown
        bool found;
    };
    const Case cases[] = {
        {"moved here, same birth", "elsewhere/new.html", 0, true},
        {"renamed, same birth", "old.html", 0, true},
        {"reused inode, other birth", "old.html", 1000, false},
        {"reused inode, other birth, same name", "elsewhere/new.html", 1000, false},
        {"no birth times, other name", "old.html", -1, false},
        {"no birth times, same name", "elsewhere/new.html", -1, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        kit::UserDefaults::standard().resetForTesting();
        std::optional<kit::FileReference> reference = kit::FileReference::fromPath(newcomer);
        ASSERT_TRUE(reference);
        kit::FileIdentity remembered = *identity;
        if (c.rememberedBirth < 0) {
            remembered.birthTime = 0;
        } else if (c.rememberedBirth > 0) {
            if (identity->birthTime == 0)
                continue; // this file system keeps no birth times
            remembered.birthTime += c.rememberedBirth;
        }
        reference->adopt(dir.filePath(QString::fromLatin1(c.rememberedName)), remembered);
        const QVariantMap stored{{KELFilePrefsAliasKey, reference->data()},
                                 {KELFilePrefsLastUsedDateKey, QDateTime::currentDateTimeUtc()},
                                 {KELFilePrefsEncodingKey, 5}};
        kit::UserDefaults::standard().setValue(QStringLiteral("KELFilePrefs.FilePrefs"),
                                               QVariantMap{{KELFilePrefsArrayKey, QVariantList{stored}}});
        KELFilePrefsManager::resetSharedForTesting();
        KELFilePrefsManager& store = KELFilePrefsManager::sharedFilePrefsManager();
        KELFilePrefs* found = store.existingFilePrefsForFile(newcomer);
        EXPECT_EQ(found != nullptr, c.found);
        EXPECT_EQ(store.filePrefsForFile(newcomer).encoding(), c.found ? 5u : kit::NoEncoding);
        if (found) {
            EXPECT_EQ(found->alias()->lastKnownPath(), newcomer); // it follows the file
        }
    }
}

} // namespace
