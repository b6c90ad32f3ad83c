#include "WebEngineTestSupport.h"

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

} // namespace
