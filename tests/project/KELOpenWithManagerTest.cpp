#include "project/KELOpenWithManager.h"

#include "kit/Log.h"
#include "project/KELOpenWithMenuItem.h"
#include "project/KELOpenWithRegistry.h"

#include <gtest/gtest.h>

#include <QHash>
#include <QMenu>

namespace {

// A registry of made-up applications: per file extension the applications and the default.
class FakeRegistry : public KELOpenWithRegistry {
public:
    QHash<QString, QStringList> apps;
    QHash<QString, QString> defaults;
    QHash<QString, QString> names;
    QHash<QString, QString> versions;
    QStringList opened;

    static QString ext(const QString& path) { return path.section(QLatin1Char('.'), -1); }
    QStringList applicationsForFile(const QString& path) override { return apps.value(ext(path)); }
    QString defaultApplicationForFile(const QString& path) override { return defaults.value(ext(path)); }
    QString nameOfApplication(const QString& app) override { return names.value(app); }
    QString versionOfApplication(const QString& app) override { return versions.value(app); }
    bool openFiles(const QStringList& paths, const QString& app, QString* reason) override
    {
        opened << app + ":" + paths.join(",");
        if (app.contains("broken")) {
            *reason = "no such program";
            return false;
        }
        return true;
    }
};

class KELOpenWithManagerTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        auto made = std::make_unique<FakeRegistry>();
        registry = made.get();
        KELOpenWithRegistry::setSharedForTesting(std::move(made));
        registry->names = {{"/apps/edit.desktop", "Editor"}, {"/apps/web.desktop", "Browser"},
                           {"/apps/paint.desktop", "Paint"}, {"/apps/web2.desktop", "Browser"},
                           {"/apps/broken.desktop", "Broken"}};
    }
    void TearDown() override { KELOpenWithRegistry::setSharedForTesting(nullptr); }

    static QStringList titles(QMenu& menu)
    {
        QStringList list;
        for (QAction* action : menu.actions())
            list << (action->isSeparator() ? QStringLiteral("-") : action->text());
        return list;
    }
    FakeRegistry* registry = nullptr;
};

TEST_F(KELOpenWithManagerTest, OnlyApplicationsOpeningEveryFileAreListed)
{
    registry->apps = {{"html", {"/apps/edit.desktop", "/apps/web.desktop"}}, {"png", {"/apps/paint.desktop", "/apps/web.desktop"}}};
    registry->defaults = {{"html", "/apps/web.desktop"}, {"png", "/apps/paint.desktop"}};
    const auto result = KELOpenWithManager::lookupApplicationsForFileURLs(
        {QUrl::fromLocalFile("/s/a.html"), QUrl::fromLocalFile("/s/b.png")});
    ASSERT_TRUE(result);
    ASSERT_EQ(result->applications().size(), 1);
    EXPECT_EQ(result->applications().first().applicationName(), "Browser");
    EXPECT_FALSE(result->defaultApplication()) << "the files have different defaults";
    EXPECT_FALSE(KELOpenWithManager::lookupApplicationsForFileURLs({}));
}

TEST_F(KELOpenWithManagerTest, MenuPutsTheDefaultFirstWithASeparatorOnlyWhenMoreFollow)
{
    registry->apps = {{"html", {"/apps/web.desktop", "/apps/edit.desktop"}}, {"css", {"/apps/edit.desktop"}}};
    registry->defaults = {{"html", "/apps/web.desktop"}, {"css", "/apps/edit.desktop"}};
    QMenu menu;
    KELOpenWithManager::fillMenu(&menu, {QUrl::fromLocalFile("/s/a.html")}, {});
    EXPECT_EQ(titles(menu), (QStringList{"Browser (default)", "-", "Editor"}));
    KELOpenWithManager::fillMenu(&menu, {QUrl::fromLocalFile("/s/a.css")}, {});
    EXPECT_EQ(titles(menu), (QStringList{"Editor (default)"}));
    KELOpenWithManager::fillMenu(&menu, {QUrl::fromLocalFile("/s/a.zzz")}, {});
    EXPECT_EQ(titles(menu), (QStringList{"<None>"}));
    EXPECT_FALSE(menu.actions().first()->isEnabled());
}

TEST_F(KELOpenWithManagerTest, SameNamesShowTheirVersionsHigherFirst)
{
    registry->apps = {{"html", {"/apps/web.desktop", "/apps/web2.desktop", "/apps/edit.desktop"}}};
    registry->versions = {{"/apps/web.desktop", "9.2"}, {"/apps/web2.desktop", "10.1"}};
    QMenu menu;
    KELOpenWithManager::fillMenu(&menu, {QUrl::fromLocalFile("/s/a.html")}, {});
    EXPECT_EQ(titles(menu), (QStringList{"Browser (10.1)", "Browser (9.2)", "Editor"}));
}

TEST_F(KELOpenWithManagerTest, TidyingDropsCopiesAndBackups)
{
    registry->names.insert("/Volumes/Disk/web.desktop", "Browser");
    registry->names.insert("/Volumes/Backups.backupdb/x/edit.desktop", "Editor");
    KELOpenWithApplicationLookupResult result;
    for (const char* path : {"/Volumes/Disk/web.desktop", "/apps/web.desktop", "/Volumes/Backups.backupdb/x/edit.desktop"})
        result.applications() << KELOpenWithApplication(QUrl::fromLocalFile(QString::fromLatin1(path)));
    result.cleanupApplications();
    ASSERT_EQ(result.applications().size(), 1);
    EXPECT_EQ(result.applications().first().applicationURL().toLocalFile(), "/apps/web.desktop");
    EXPECT_FALSE(result.applications().first().isVersionDisplayed());
}

TEST_F(KELOpenWithManagerTest, ChoosingAnItemOpensTheFilesAndLogsFailures)
{
    registry->apps = {{"html", {"/apps/edit.desktop", "/apps/broken.desktop"}}};
    const QList<QUrl> files{QUrl::fromLocalFile("/s/a.html"), QUrl::fromLocalFile("/s/b.html")};
    QMenu menu;
    KELOpenWithManager::fillMenu(&menu, {files.first()}, [files] { return files; });
    ASSERT_EQ(menu.actions().size(), 2);
    menu.actions().at(1)->trigger(); // Editor (Broken sorts first)
    EXPECT_EQ(registry->opened, (QStringList{"/apps/edit.desktop:/s/a.html,/s/b.html"}));

    kit::LogCapture log;
    menu.actions().at(0)->trigger();
    EXPECT_TRUE(log.contains("Error opening files"));
    QObject notAnItem;
    KELOpenWithManager::openWithApplication(&notAnItem, files);
    EXPECT_TRUE(log.contains("Invalid sender for openWithApplication"));
}

} // namespace
