#include "WebEngineTestSupport.h"

#include "kit/Log.h"
#include "preview/KELDocumentURLProtocol.h"
#include "preview/KELPreviewUtils.h"

#include <QImage>
#include <QSignalSpy>
#include <QWebEngineProfile>

namespace {

// The scheme must be known before the QApplication is made.
const bool schemeRegistered = (KELRegisterDocumentURLScheme(), true);

class KELDocumentURLProtocolTest : public PreviewTest
{
protected:
    void SetUp() override
    {
        PreviewTest::SetUp();
        ASSERT_TRUE(schemeRegistered);
        KELDocumentURLProtocol::installOnProfile(QWebEngineProfile::defaultProfile());
    }
    /// A URL of the scheme for a file, as the preview would give it out.
    static QUrl givenOut(const QString& host, const QString& file)
    {
        const QUrl url(QStringLiteral("keldocumenturl://") + host + file);
        KELDocumentURLProtocol::registerPreviewURL(url, nullptr);
        return url;
    }
    /// Loads the URL in a fresh page; false when the load failed.
    bool load(QWebEnginePage& page, const QUrl& url)
    {
        QSignalSpy finished(&page, &QWebEnginePage::loadFinished);
        page.load(url);
        EXPECT_TRUE(waitUntil([&] { return !finished.isEmpty(); }));
        return !finished.isEmpty() && finished.first().first().toBool();
    }
};

TEST_F(KELDocumentURLProtocolTest, AnswersTypesAndCharsets)
{
    struct Case
    {
        QString type;
        QString path;
        QByteArray mime;
    };
    const Case cases[] = {
        { "HTML", "/a/page.html", "text/html" },
        { "PHP", "/a/page.php", "text/html" },
        { "SHTML", "/a/page.shtml", "text/html" },
        { "Plain Text", "/a/notes.txt", "text/html" },
        { "SVG", "/a/logo.svg", "image/svg+xml" },
        { "CSS", "/a/style.css", "text/css" },
        { "JavaScript", "/a/app.js", "application/javascript" },
        { "Image", "/a/photo.png", "image/png" },
        { "Binary", "/a/blob", "application/octet-stream" },
    };
    for (const Case& c : cases)
        EXPECT_EQ(KELDocumentURLProtocol::mimeTypeForFileType(c.type, c.path), c.mime) << c.path.toStdString();
}

TEST_F(KELDocumentURLProtocolTest, ServesUnsavedTextWithItsStyleSheetsAndImages)
{
    QImage image(7, 5, QImage::Format_RGB32);
    image.fill(Qt::red);
    ASSERT_TRUE(image.save(path(QStringLiteral("site/img/dot.png")))
        || (QDir().mkpath(path("site/img")) && image.save(path("site/img/dot.png"))));
    const QString pagePath = makeFile(QStringLiteral("site/page.html"), "<p>saved</p>");
    const QString cssPath = makeFile(QStringLiteral("site/style.css"), "p { color: rgb(9, 9, 9); }");
    // No charset in the page itself: the answer's charset must carry the encoding.
    FakePreviewDocument page(pagePath,
        QStringLiteral("<html><head><link rel=\"stylesheet\" href=\"style.css\"></head>"
                       "<body><p id=\"t\">caf\u00e9 unsaved</p><img id=\"i\" src=\"img/dot.png\"></body></html>"));
    FakePreviewDocument css(cssPath, QStringLiteral("p { color: rgb(1, 2, 3); }"));

    QWebEnginePage web;
    ASSERT_TRUE(load(web, KELPreviewUtils::sharedInstance().previewUrlForDocument(&page)));
    const QString script = QStringLiteral(
        "[document.getElementById('t').textContent, getComputedStyle(document.getElementById('t')).color,"
        " document.getElementById('i').naturalWidth].join('|')");
    // Images may finish after the page.
    ASSERT_TRUE(waitUntil([&] { return evaluate(web, script).toString().endsWith(QStringLiteral("|7")); }));
    EXPECT_EQ(evaluate(web, script).toString(), QStringLiteral("caf\u00e9 unsaved|rgb(1, 2, 3)|7"));
    EXPECT_EQ(KELDocumentURLProtocol::sharedInstance().activeLoadCount(), 0);

    // The encoding reaches the engine whichever it is.
    for (kit::StringEncoding encoding : { kit::ISOLatin1StringEncoding, kit::UTF8StringEncoding }) {
        SCOPED_TRACE(encoding);
        FakePreviewDocument text(path(QStringLiteral("site/text.html")), QStringLiteral("<p>caf\u00e9</p>"), encoding);
        ASSERT_TRUE(load(web, KELPreviewUtils::sharedInstance().previewUrlForDocument(&text)));
        EXPECT_EQ(evaluate(web, QStringLiteral("document.body.textContent")).toString(), QStringLiteral("caf\u00e9"));
    }
}

TEST_F(KELDocumentURLProtocolTest, MissingPageFailsAndEmptyPageLoads)
{
    QWebEnginePage web;
    EXPECT_FALSE(load(web, givenOut(QStringLiteral("kelp9"), path(QStringLiteral("missing.html")))));

    FakePreviewDocument empty(path(QStringLiteral("empty.html")), QString());
    EXPECT_TRUE(load(web, KELPreviewUtils::sharedInstance().previewUrlForDocument(&empty)));
    EXPECT_EQ(evaluate(web, QStringLiteral("document.body ? document.body.innerHTML : ''")).toString(), QString());
}

TEST_F(KELDocumentURLProtocolTest, PHPPageRunsThroughTheInterpreterAndStoppedLoadsStopIt)
{
    const QString php = copyFixture(QStringLiteral("hello.php"));
    QWebEnginePage web;
    ASSERT_TRUE(load(web, givenOut(QStringLiteral("kelp1"), php)));
    EXPECT_TRUE(
        evaluate(web, QStringLiteral("document.body.innerText")).toString().startsWith(QStringLiteral("Hello 3")));

    // A page that never ends: leaving it stops the interpreter and its script.
    const QString endless = copyFixture(QStringLiteral("endless.php"));
    FakePreviewDocument open(endless, QStringLiteral("<?php while (true) { usleep(10000); } ?>"));
    web.load(givenOut(QStringLiteral("kelp2"), endless));
    ASSERT_TRUE(waitUntil([&] { return !filesNamed(dir.path(), "KelpStudioTemp_").isEmpty(); }));
    web.triggerAction(QWebEnginePage::Stop);
    web.setHtml(QStringLiteral("<p>elsewhere</p>"));
    EXPECT_TRUE(waitUntil([&] {
        return filesNamed(dir.path(), "KelpStudioTemp_").isEmpty()
            && KELDocumentURLProtocol::sharedInstance().activeLoadCount() == 0;
    }));
}

// A request through a folder link is checked where it leads: with "inner" a
// link to a folder outside the site, "inner/..%2Fsecret.txt" is the file beside
// the link's target, whatever the cleaned text says; and exactly what was
// checked is opened.
TEST_F(KELDocumentURLProtocolTest, RequestsThroughAFolderLinkAreCheckedWhereTheyLead)
{
    QDir().mkpath(path(QStringLiteral("outside/deep")));
    QDir().mkpath(path(QStringLiteral("site/sub")));
    makeFile(QStringLiteral("outside/secret.txt"), "TOPSECRET");
    makeFile(QStringLiteral("site/style.css"), "p { color: rgb(1, 2, 3); }");
    ASSERT_TRUE(QFile::link(path(QStringLiteral("outside/deep")), path(QStringLiteral("site/inner"))));
    ASSERT_TRUE(QFile::link(QStringLiteral("/etc"), path(QStringLiteral("site/etc"))));
    const QString page = makeFile(QStringLiteral("site/page.html"), R"(<html><body><p id="t">page</p><script>
window.results = {};
// Read through frames of the page's own origin (the scheme answers no fetch).
function read(u) {
  return new Promise(done => {
    const f = document.createElement('iframe');
    const finish = () => {
      try { window.results[u] = f.contentDocument ? f.contentDocument.documentElement.innerText : 'none'; }
      catch (e) { window.results[u] = 'refused'; }
      done();
    };
    f.onload = finish; f.onerror = finish; setTimeout(finish, 5000);
    f.src = u; document.body.appendChild(f);
  });
}
Promise.all(['style.css', 'sub/..%2Fstyle.css', 'inner/..%2Fsecret.txt', 'etc/..%2Fetc%2Fpasswd', 'etc/passwd'].map(read))
  .then(() => { window.done = true; });
</script></body></html>)");
    const QUrl pageUrl = givenOut(QStringLiteral("kelp40"), page);
    const QString base = QStringLiteral("keldocumenturl://kelp40") + QString::fromUtf8(QUrl::toPercentEncoding(dir.path(), "/"));
    struct Case
    {
        const char* request;
        const char* opens; // empty: refused
        const char* why;
    };
    const Case cases[] = {
        { "/site/style.css", "site/style.css", nullptr },
        { "/site/sub/..%2Fstyle.css", "site/style.css", nullptr },
        { "/site/inner/..%2Fsecret.txt", nullptr, "(it leads to " },
        { "/site/etc/..%2Fetc%2Fpasswd", nullptr, "outside the previewed site" },
        { "/site/etc/passwd", nullptr, "outside the previewed site" },
        { "/site/nowhere/..%2F..%2Foutside%2Fsecret.txt", nullptr, "names no file" },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.request);
        kit::LogCapture log;
        const QUrl url(base + QString::fromLatin1(c.request));
        const std::optional<QString> opens = KELDocumentURLProtocol::allowedPathForRequest(url, pageUrl);
        if (c.opens) {
            ASSERT_TRUE(opens.has_value());
            EXPECT_EQ(*opens, QFileInfo(path(QString::fromLatin1(c.opens))).canonicalFilePath());
        } else {
            EXPECT_FALSE(opens.has_value());
            EXPECT_TRUE(log.contains(QLatin1String(c.why))) << log.lines().join(QLatin1Char('\n')).toStdString();
        }
    }

    // The page itself, loaded: its scripts read its own style sheet, nothing beyond the link.
    QWebEnginePage web;
    ASSERT_TRUE(load(web, pageUrl));
    ASSERT_TRUE(waitUntil([&] { return evaluate(web, QStringLiteral("window.done === true")).toBool(); }, 30000));
    const QVariantMap results = evaluate(web, QStringLiteral("window.results")).toMap();
    EXPECT_EQ(results.value(QStringLiteral("style.css")).toString(), QStringLiteral("p { color: rgb(1, 2, 3); }"));
    EXPECT_EQ(results.value(QStringLiteral("sub/..%2Fstyle.css")).toString(), QStringLiteral("p { color: rgb(1, 2, 3); }"));
    for (const QString& key : { QStringLiteral("inner/..%2Fsecret.txt"), QStringLiteral("etc/..%2Fetc%2Fpasswd"),
             QStringLiteral("etc/passwd") }) {
        EXPECT_FALSE(results.value(key).toString().contains(QStringLiteral("TOPSECRET"))) << key.toStdString();
        EXPECT_FALSE(results.value(key).toString().contains(QStringLiteral("root:"))) << key.toStdString();
    }
}

// A page opened without a project reads the site its markers show: a page in
// site/pages/ gets ../css/s.css when the site has a repository, a package file or
// an index page; without any, its own folder alone, and the log says why.
TEST_F(KELDocumentURLProtocolTest, APageWithoutAProjectReadsTheSiteItsMarkersShow)
{
    struct Case
    {
        const char* site;
        const char* marker; // ends in "/" for a folder; empty: none
        bool styled;
    };
    const Case cases[] = {
        { "repository", ".git/", true },
        { "package", "package.json", true },
        { "indexed", "index.html", true },
        { "bare", "", false },
    };
    QWebEnginePage web;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.site);
        const QString site = QString::fromLatin1(c.site);
        const QString marker = site + QLatin1Char('/') + QLatin1String(c.marker);
        if (marker.endsWith(QLatin1Char('/')) && *c.marker)
            QDir().mkpath(path(marker));
        else if (*c.marker)
            makeFile(marker, "{}");
        makeFile(site + QStringLiteral("/css/s.css"), "p { color: rgb(1, 2, 3); }");
        FakePreviewDocument page(path(site + QStringLiteral("/pages/a.html")),
            QStringLiteral("<html><head><link rel=\"stylesheet\" href=\"../css/s.css\"></head>"
                           "<body><p id=\"t\">unsaved</p></body></html>"));
        kit::LogCapture log;
        ASSERT_TRUE(load(web, KELPreviewUtils::sharedInstance().previewUrlForDocument(&page)));
        const QString color = QStringLiteral("getComputedStyle(document.getElementById('t')).color");
        if (c.styled) {
            EXPECT_TRUE(waitUntil([&] { return evaluate(web, color).toString() == QStringLiteral("rgb(1, 2, 3)"); }));
        } else {
            EXPECT_TRUE(waitUntil([&] { return log.contains(QStringLiteral("s.css: it lies outside the previewed site")); }))
                << log.lines().join(QLatin1Char('\n')).toStdString();
            EXPECT_EQ(evaluate(web, color).toString(), QStringLiteral("rgb(0, 0, 0)"));
        }
    }
}

} // namespace
