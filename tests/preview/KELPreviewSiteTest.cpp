#include "PreviewTestSupport.h"

#include "preview/KELPreviewSite.h"

#include <QFile>

namespace {

class KELPreviewSiteTest : public PreviewTest
{
protected:
    void SetUp() override
    {
        PreviewTest::SetUp();
        // The home folder bounds the search for a site: one of our own.
        savedHome = qgetenv("HOME");
        root = QFileInfo(dir.path()).canonicalFilePath();
        QDir().mkpath(root + QStringLiteral("/home"));
        qputenv("HOME", QFile::encodeName(root + QStringLiteral("/home")));
    }
    void TearDown() override
    {
        qputenv("HOME", savedHome);
        PreviewTest::TearDown();
    }
    void folder(const QString& name) { QDir().mkpath(root + QLatin1Char('/') + name); }
    void link(const QString& name, const QString& target)
    {
        QDir().mkpath(QFileInfo(root + QLatin1Char('/') + name).path());
        ASSERT_TRUE(QFile::link(target, root + QLatin1Char('/') + name)) << name.toStdString();
    }
    QString at(const QString& name) const { return name.isEmpty() ? QString() : root + QLatin1Char('/') + name; }

    QByteArray savedHome;
    QString root;
};

// Paths are resolved as the system opens them: a link is followed before ".."
// is applied, so "link/../x" lies beside the link's target.
TEST_F(KELPreviewSiteTest, PathsResolveAsTheSystemOpensThem)
{
    folder(QStringLiteral("outside/deep"));
    makeFile(QStringLiteral("outside/secret.txt"), "TOPSECRET");
    makeFile(QStringLiteral("site/style.css"), "p {}");
    folder(QStringLiteral("site/sub"));
    link(QStringLiteral("site/inner"), root + QStringLiteral("/outside/deep"));
    link(QStringLiteral("site/dangling"), root + QStringLiteral("/nowhere"));
    struct Case
    {
        const char* path;
        const char* real; // empty: names nothing
    };
    const Case cases[] = {
        { "site/style.css", "site/style.css" },
        { "site/./sub/../style.css", "site/style.css" },
        { "site/inner/../secret.txt", "outside/secret.txt" },
        { "site/inner/../../site/style.css", "site/style.css" },
        { "site/new.html", "site/new.html" },
        { "site/missing/page.html", "site/missing/page.html" },
        { "site/missing/../../outside/secret.txt", "" },
        { "site/dangling", "" },
        { "site/dangling/x", "" },
    };
    const QStringList site { at(QStringLiteral("site")) };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path);
        const QString path = at(QString::fromLatin1(c.path));
        EXPECT_EQ(KELPreviewSite::realPath(path), at(QString::fromLatin1(c.real)));
        const bool inside = QByteArray(c.real).startsWith("site/");
        EXPECT_EQ(KELPreviewSite::isPathInsideFolders(path, site), inside);
    }
    EXPECT_TRUE(KELPreviewSite::realPath(QStringLiteral("relative/path")).isEmpty());
    // A folder named like the site's start is not inside it.
    folder(QStringLiteral("site-other"));
    EXPECT_FALSE(KELPreviewSite::isPathInsideFolders(at(QStringLiteral("site-other")), site));
}

// Without a project, a page's site is found by its markers: the nearest folder of
// a repository or package, else the pages' tree of index files; never the home
// folder or above it, a hidden folder, or a folder directly under the root.
TEST_F(KELPreviewSiteTest, APageOutsideAProjectFindsItsSiteByMarkers)
{
    struct Case
    {
        const char* what;
        QStringList markers; // files (or folders ending in "/") to make
        const char* page;
        const char* site; // empty: none (the page's folder alone)
    };
    const Case cases[] = {
        { "git folder", { "home/a/.git/" }, "home/a/pages/deep/p.html", "home/a" },
        { "git file of a work tree", { "home/b/.git" }, "home/b/pages/p.html", "home/b" },
        { "package file", { "home/c/package.json" }, "home/c/src/p.html", "home/c" },
        { "composer file", { "home/d/composer.json" }, "home/d/web/p.php", "home/d" },
        { "mercurial and subversion", { "home/e/.hg/", "home/e/x/.svn/" }, "home/e/x/y/p.html", "home/e/x" },
        { "index page", { "home/f/index.html" }, "home/f/pages/p.html", "home/f" },
        { "index pages one above the other", { "home/g/index.php", "home/g/blog/index.html" }, "home/g/blog/p.html",
            "home/g" },
        { "a gap ends the pages' tree", { "home/h/index.html", "home/h/x/y/index.html" }, "home/h/x/y/p.html",
            "home/h/x/y" },
        { "repository beyond index pages", { "home/i/.git/", "home/i/public/index.html" }, "home/i/public/p.html",
            "home/i" },
        { "no marker", {}, "home/j/pages/p.html", "" },
        { "the home folder itself is no site", { "home/.git/", "home/index.html" }, "home/k/p.html", "" },
        { "nor a hidden folder of it", { "home/.config/index.html" }, "home/.config/app/p.html", "" },
        { "nor what a hidden folder holds above", { "home/.local/.git/" }, "home/.local/share/p.html", "" },
        { "outside the home folder", { "srv/www/.git/" }, "srv/www/pages/p.html", "srv/www" },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        for (const QString& marker : c.markers) {
            if (marker.endsWith(QLatin1Char('/')))
                folder(marker);
            else
                makeFile(marker, "x");
        }
        const QString page = makeFile(QString::fromLatin1(c.page), "<p>page</p>");
        EXPECT_EQ(KELPreviewSite::siteRootForPage(page), at(QString::fromLatin1(c.site)));
        QStringList expected { QFileInfo(page).absolutePath() };
        if (*c.site && at(QString::fromLatin1(c.site)) != expected.constFirst())
            expected << at(QString::fromLatin1(c.site));
        EXPECT_EQ(KELPreviewSite::siteFoldersForPage(page), expected);
    }
    // An open project's folder is the site, whatever the markers say.
    const QString project = at(QStringLiteral("home/a/pages"));
    KELPreviewDocument::setProjectDirectoryLookup(
        [project](const QString& p) { return p.startsWith(project + QLatin1Char('/')) ? project : QString(); });
    EXPECT_EQ(KELPreviewSite::siteFoldersForPage(at(QStringLiteral("home/a/pages/deep/p.html"))),
        (QStringList { at(QStringLiteral("home/a/pages/deep")), project }));
}

} // namespace
