#include "WebEngineTestSupport.h"

#include "kit/NotificationCenter.h"
#include "preview/KELDocumentPreview.h"
#include "preview/KELHTMLPreviewManager.h"
#include "preview/KELLivePreviewSplitView.h"
#include "preview/KELDocumentURLProtocol.h"
#include "preview/KELPreviewUtils.h"

#include <QAction>
#include <QImage>
#include <QMenu>
#include <QPlainTextEdit>
#include <QElapsedTimer>
#include <QSignalSpy>

namespace {

class KELHTMLPreviewManagerTest : public PreviewTest
{
protected:
    void SetUp() override
    {
        PreviewTest::SetUp();
        editor = new QPlainTextEdit();
    }
    void TearDown() override
    {
        manager.reset();
        delete editor.data();
        PreviewTest::TearDown();
    }
    void makeManager(FakePreviewDocument& document)
    {
        manager = std::make_unique<KELHTMLPreviewManager>(&document, editor, editor.data());
    }
    QPointer<QPlainTextEdit> editor;
    std::unique_ptr<KELHTMLPreviewManager> manager;
};

TEST_F(KELHTMLPreviewManagerTest, ShowingAndHidingMovesTheEditor)
{
    FakePreviewDocument document(path(QStringLiteral("page.html")), QStringLiteral("<p>x</p>"));
    makeManager(document);
    EXPECT_EQ(manager->splitView()->indexOf(editor), -1);
    manager->showLivePreview();
    EXPECT_EQ(manager->splitView()->indexOf(editor), 0);
    EXPECT_EQ(manager->currentContentView(), editor.data());
    EXPECT_EQ(manager->splitView()->widget(1), manager->webView());
    manager->hideLivePreview();
    EXPECT_EQ(manager->splitView()->indexOf(editor), -1);
    EXPECT_EQ(editor->parent(), nullptr) << "left for the document to put back";
    EXPECT_NE(manager->currentContentView(), editor.data());

    // The divider follows its setting.
    kit::UserDefaults::standard().setValue(KELUseVerticalDividerInLivePreviewKey, true);
    kit::NotificationCenter::defaultCenter().post(QStringLiteral("KELLivePreviewDividerChanged"));
    EXPECT_EQ(manager->splitView()->orientation(), Qt::Horizontal);
    kit::UserDefaults::standard().setValue(KELUseVerticalDividerInLivePreviewKey, false);
    kit::NotificationCenter::defaultCenter().post(QStringLiteral("KELLivePreviewDividerChanged"));
    EXPECT_EQ(manager->splitView()->orientation(), Qt::Vertical);
}

TEST_F(KELHTMLPreviewManagerTest, ResourceRequests)
{
    FakePreviewDocument document(path(QStringLiteral("project/pages/page.html")), QString());
    const QString project = path(QStringLiteral("project"));
    makeFile(QStringLiteral("project/images/a.png"), "png");
    makeFile(QStringLiteral("project/pages/local.png"), "png");
    KELPreviewDocument::setProjectDirectoryLookup(
        [project](const QString& p) { return p.startsWith(project + QLatin1Char('/')) ? project : QString(); });
    KELLivePreviewRequestInterceptor interceptor;
    const QUrl pageUrl(QStringLiteral("keldocumenturl://kelp4") + project + QStringLiteral("/pages/page.html"));
    using D = KELLivePreviewRequestInterceptor::Decision;
    struct Case
    {
        const char* name;
        bool download;
        QString url;
        D decision;
        QString redirect;
    };
    const Case cases[] = {
        { "the page itself", false, pageUrl.toString(), D::Pass, QString() },
        { "remote, downloads on", true, "https://example.com/a.png", D::Pass, QString() },
        { "remote, downloads off", false, "https://example.com/a.png", D::Block, QString() },
        { "a file beside the page", false, "keldocumenturl://kelp4" + project + "/pages/local.png", D::Pass,
            QString() },
        { "root-relative in a project", false, "keldocumenturl://kelp4/images/a.png", D::Redirect,
            "keldocumenturl://kelp4" + project + "/images/a.png" },
        { "root-relative, not in the project", false, "keldocumenturl://kelp4/images/b.png", D::Pass, QString() },
        { "inline data", false, "data:image/png;base64,AAAA", D::Pass, QString() },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        interceptor.setDownloadFiles(c.download);
        QUrl redirect;
        EXPECT_EQ(interceptor.decide(QUrl(c.url), pageUrl, &redirect), c.decision);
        if (c.decision == D::Redirect) {
            EXPECT_EQ(redirect.toString(), c.redirect);
        }
    }
}

TEST_F(KELHTMLPreviewManagerTest, ContextMenuKeepsCopyingAndEndsWithRefresh)
{
    FakePreviewDocument document(path(QStringLiteral("page.html")), QString());
    makeManager(document);
    KELLivePreviewWebView* view = manager->webView();
    const QList<QAction*> defaults { view->pageAction(QWebEnginePage::Back), view->pageAction(QWebEnginePage::Copy),
        view->pageAction(QWebEnginePage::Reload), view->pageAction(QWebEnginePage::CopyLinkToClipboard),
        view->pageAction(QWebEnginePage::OpenLinkInNewWindow) };
    QMenu* menu = view->contextMenuWithDefaultItems(defaults);
    QStringList items;
    for (QAction* action : menu->actions())
        items.append(action->isSeparator() ? QStringLiteral("-") : action->text());
    EXPECT_EQ(items,
        (QStringList { view->pageAction(QWebEnginePage::Copy)->text(),
            view->pageAction(QWebEnginePage::CopyLinkToClipboard)->text(), "-", "Refresh" }));
    delete menu;

    menu = view->contextMenuWithDefaultItems({ view->pageAction(QWebEnginePage::Back) });
    ASSERT_EQ(menu->actions().size(), 1);
    EXPECT_EQ(menu->actions().first()->text(), QStringLiteral("Refresh"));
    QSignalSpy refreshed(view, &KELLivePreviewWebView::refreshRequested);
    menu->actions().first()->trigger();
    EXPECT_EQ(refreshed.size(), 1);
    delete menu;
}

TEST_F(KELHTMLPreviewManagerTest, TypingReloadsOnceAfterThePauseAndKeepsTheScrollPosition)
{
    FakePreviewDocument document(path(QStringLiteral("page.html")),
        QStringLiteral("<body style=\"margin:0\"><div style=\"height:5000px\">first</div></body>"));
    makeManager(document);
    manager->setRefreshDelayForTesting(300);
    QSignalSpy loaded(manager.get(), &KELHTMLPreviewManager::previewDidLoad);
    QWidget* view = manager->livePreviewView();
    view->resize(600, 400);
    view->show();
    manager->showLivePreview();
    manager->setShouldRefresh(true);
    manager->refresh(nullptr);
    ASSERT_TRUE(waitUntil([&] { return loaded.size() == 1; }));
    QWebEnginePage& page = *manager->webView()->page();
    EXPECT_EQ(evaluate(page, QStringLiteral("document.body.innerText")).toString(), QStringLiteral("first"));

    evaluate(page, QStringLiteral("window.scrollTo(0, 1234)"));
    ASSERT_TRUE(waitUntil([&] { return qRound(manager->visibleOrigin().y()) == 1234; }));

    // Edits that keep coming never reload. (A machine too busy to send the next
    // edit within the pause leaves nothing to check.)
    document.text.replace(QStringLiteral("first"), QStringLiteral("second"));
    QElapsedTimer sinceEdit;
    qint64 longestGap = 0;
    for (int i = 0; i < 8; ++i) {
        if (sinceEdit.isValid())
            longestGap = std::max(longestGap, sinceEdit.elapsed());
        kit::NotificationCenter::defaultCenter().post(QStringLiteral("KELTextDidChangeNotification"), editor.data());
        sinceEdit.start();
        waitUntil([] { return false; }, 100);
    }
    longestGap = std::max(longestGap, sinceEdit.elapsed());
    if (longestGap < 300) {
        EXPECT_EQ(loaded.size(), 1);
        EXPECT_TRUE(manager->isRefreshPending());
    }
    ASSERT_TRUE(waitUntil([&] { return loaded.size() == 2; }));
    EXPECT_EQ(evaluate(page, QStringLiteral("document.body.innerText")).toString(), QStringLiteral("second"));
    EXPECT_EQ(evaluate(page, QStringLiteral("window.scrollY")).toInt(), 1234);

    // Refreshing off: edits no longer reload.
    manager->setShouldRefresh(false);
    manager->textDidChange();
    waitUntil([] { return false; }, 700);
    EXPECT_EQ(loaded.size(), 2);

    // Turned off, the preview holds no page.
    manager->hideLivePreview();
    ASSERT_TRUE(
        waitUntil([&] { return evaluate(page, QStringLiteral("document.body.innerText")).toString().isEmpty(); }));
}

TEST_F(KELHTMLPreviewManagerTest, ScriptDialogsFollowTheSetting)
{
    FakePreviewDocument document(path(QStringLiteral("page.html")), QStringLiteral("<p>dialogs</p>"));
    makeManager(document);
    QSignalSpy loaded(manager.get(), &KELHTMLPreviewManager::previewDidLoad);
    manager->refresh(nullptr);
    ASSERT_TRUE(waitUntil([&] { return loaded.size() == 1; }));
    QWebEnginePage& page = *manager->webView()->page();
    const QString script = QStringLiteral("alert('hello'); confirm('sure?')");

    kit::UserDefaults::standard().setValue(KELLivePreviewShowAlerts, false);
    EXPECT_EQ(evaluate(page, script), QVariant(true));
    EXPECT_TRUE(alerts.isEmpty());

    kit::UserDefaults::standard().setValue(KELLivePreviewShowAlerts, true);
    kit::Alert::setResponderForTesting([this](const kit::Alert& alert) {
        alerts.append(alert.messageText() + ": " + alert.informativeText());
        return kit::Alert::SecondButtonReturn;
    });
    EXPECT_EQ(evaluate(page, script), QVariant(false));
    EXPECT_EQ(alerts, (QStringList { "JavaScript Dialog: hello", "JavaScript Dialog: sure?" }));
}

TEST_F(KELHTMLPreviewManagerTest, LivePreviewOfADocumentTurnsOnAndOff)
{
    FakePreviewDocument document(path(QStringLiteral("page.html")), QStringLiteral("<p>live</p>"));
    KELDocumentPreview preview(&document);
    QWidget* shown = preview.quickPreview(editor, editor.data(), false);
    ASSERT_TRUE(preview.previewManager());
    EXPECT_EQ(shown, preview.previewManager()->livePreviewView());
    EXPECT_TRUE(preview.isLivePreviewing());
    EXPECT_TRUE(preview.previewManager()->shouldRefresh());
    EXPECT_EQ(preview.previewManager()->splitView()->indexOf(editor), 0);
    QWebEnginePage& page = *preview.previewManager()->webView()->page();
    ASSERT_TRUE(waitUntil([&] {
        return evaluate(page, QStringLiteral("document.body ? document.body.innerText : ''")).toString()
            == QStringLiteral("live");
    }));

    EXPECT_EQ(preview.quickPreview(editor, editor.data(), false), nullptr);
    EXPECT_FALSE(preview.isLivePreviewing());
    EXPECT_FALSE(preview.previewManager()->shouldRefresh());
    EXPECT_EQ(editor->parent(), nullptr);

    // A type previewed through another page cannot show an untitled document.
    FakePreviewDocument untitled(QString(), QStringLiteral("body {}"));
    untitled.usesPreview = true;
    KELDocumentPreview refused(&untitled);
    EXPECT_EQ(refused.quickPreview(editor, editor.data(), false), nullptr);
    EXPECT_FALSE(refused.isLivePreviewing());
    EXPECT_EQ(alerts, QStringList { QStringLiteral("Preview Not Available") });
}

TEST_F(KELHTMLPreviewManagerTest, RootRelativeImageLoadsFromTheProjectFolder)
{
    QImage image(5, 3, QImage::Format_RGB32);
    image.fill(Qt::blue);
    QDir().mkpath(path(QStringLiteral("project/images")));
    ASSERT_TRUE(image.save(path(QStringLiteral("project/images/a.png"))));
    const QString project = path(QStringLiteral("project"));
    KELPreviewDocument::setProjectDirectoryLookup(
        [project](const QString& p) { return p.startsWith(project + QLatin1Char('/')) ? project : QString(); });
    FakePreviewDocument document(
        path(QStringLiteral("project/pages/page.html")), QStringLiteral("<img id=\"i\" src=\"/images/a.png\">"));
    makeManager(document);
    QSignalSpy loaded(manager.get(), &KELHTMLPreviewManager::previewDidLoad);
    manager->refresh(nullptr);
    ASSERT_TRUE(waitUntil([&] { return loaded.size() == 1; }));
    QWebEnginePage& page = *manager->webView()->page();
    EXPECT_TRUE(waitUntil(
        [&] { return evaluate(page, QStringLiteral("document.getElementById('i').naturalWidth")).toInt() == 5; }));
}

} // namespace

namespace {

// A hostile page in the live preview: its scripts try to read a file beside its
// folder, the unsaved text of another open document (by its real token and by
// guessed ones) and a file: URL, and an image names a PHP file outside its
// folder. Only what lies inside the page's own site is served.
TEST_F(KELHTMLPreviewManagerTest, PreviewedPageIsConfinedToItsSite)
{
    QImage image(3, 2, QImage::Format_RGB32);
    image.fill(Qt::blue);
    QDir().mkpath(path(QStringLiteral("site")));
    ASSERT_TRUE(image.save(path(QStringLiteral("site/dot.png"))));
    makeFile(QStringLiteral("site/style.css"), "p { color: red; }");
    const QString secret = makeFile(QStringLiteral("secret.txt"), "TOPSECRET");
    const QString ranMarker = path(QStringLiteral("ran.txt"));
    const QString outsidePHP = makeFile(QStringLiteral("outside.php"),
        "<?php file_put_contents(__DIR__ . '/ran.txt', 'ran'); ?>");
    const QString insidePHP = makeFile(QStringLiteral("site/inside.php"),
        "<?php file_put_contents(__DIR__ . '/ran-inside.txt', 'ran'); ?>");
    FakePreviewDocument other(path(QStringLiteral("other/doc.html")), QStringLiteral("OTHERDOC unsaved"));
    const QUrl otherUrl = KELPreviewUtils::sharedInstance().previewUrlForDocument(&other);
    const QString pagePath = path(QStringLiteral("site/page.html"));

    // Tokens are 128 random bits: nothing to count up from.
    FakePreviewDocument another { QString(), QString() };
    EXPECT_EQ(other.previewTokenString().size(), 32);
    EXPECT_NE(other.previewTokenString(), another.previewTokenString());

    QStringList guesses;
    for (int i = 0; i < 16; ++i)
        guesses << QStringLiteral("'?KELDocumentPointerParameterName=0x%1'").arg(i, 0, 16);
    // Each attempt reads by fetch, by XMLHttpRequest and through a frame of the
    // page's own origin (whose document a script may read).
    const QString script = QStringLiteral(R"(
<script>
window.results = {};
function note(name, how, value) { window.results[name + '/' + how] = String(value); }
async function tryFetch(name, url) {
  try { const r = await fetch(url); note(name, 'fetch', r.ok ? await r.text() : 'status ' + r.status); }
  catch (e) { note(name, 'fetch', 'refused'); }
}
function tryXHR(name, url) {
  return new Promise(done => {
    try {
      const x = new XMLHttpRequest();
      x.onload = () => { note(name, 'xhr', x.responseText); done(); };
      x.onerror = () => { note(name, 'xhr', 'refused'); done(); };
      x.open('GET', url); x.send();
    } catch (e) { note(name, 'xhr', 'refused'); done(); }
  });
}
function tryFrame(name, url) {
  return new Promise(done => {
    const f = document.createElement('iframe');
    const finish = () => {
      try { note(name, 'frame', f.contentDocument ? f.contentDocument.documentElement.innerText : 'no document'); }
      catch (e) { note(name, 'frame', 'refused'); }
      done();
    };
    f.onload = finish; f.onerror = finish;
    setTimeout(finish, 5000);
    f.src = url; document.body.appendChild(f);
  });
}
function tryAll(name, url) { return Promise.all([tryFetch(name, url), tryXHR(name, url), tryFrame(name, url)]); }
const here = location.origin;
Promise.all([
  tryAll('inside', 'style.css'),
  tryAll('outside', '../secret.txt'),
  tryAll('absolute', here + %1),
  tryAll('file', 'file://' + %1),
  tryAll('otherUrl', %2),
  tryAll('otherTokenHere', here + %3 + '?KELDocumentPointerParameterName=' + %4),
  tryAll('otherTokenOnPage', location.pathname + '?KELDocumentPointerParameterName=' + %4),
  ...[%5].map((q, i) => tryAll('guess' + i, location.pathname + q)),
]).then(() => { window.done = true; });
</script>)")
                               .arg(QStringLiteral("'%1'").arg(secret), QStringLiteral("'%1'").arg(otherUrl.toString()),
                                   QStringLiteral("'%1'").arg(other.path), QStringLiteral("'%1'").arg(other.previewTokenString()),
                                   guesses.join(QLatin1Char(',')));
    FakePreviewDocument page(pagePath,
        QStringLiteral("<html><body><p>page</p><img id=\"dot\" src=\"dot.png\"><img src=\"../outside.php\">"
                       "<a href=\"https://cdn.example.org/lib.html\">lib</a>"
                       "<img src=\"inside.php\"><iframe src=\"file://%1\"></iframe>%2</body></html>")
            .arg(secret, script));
    makeManager(page);
    manager->showLivePreview();
    manager->setShouldRefresh(true);
    QSignalSpy loaded(manager.get(), &KELHTMLPreviewManager::previewDidLoad);
    manager->refresh(manager.get());
    ASSERT_TRUE(waitUntil([&] { return !loaded.isEmpty(); }, 60000));
    QWebEnginePage& web = *manager->webView()->page();
    ASSERT_TRUE(waitUntil([&] { return evaluate(web, QStringLiteral("window.done === true")).toBool(); }, 60000));

    const QVariantMap results = evaluate(web, QStringLiteral("window.results")).toMap();
    // The page's own files can be read (so the refusals below are the sandbox's).
    EXPECT_EQ(results.value(QStringLiteral("inside/frame")).toString(), QStringLiteral("p { color: red; }"));
    for (auto it = results.constBegin(); it != results.constEnd(); ++it) {
        if (it.key().startsWith(QLatin1String("inside/")))
            continue;
        const QString value = it.value().toString();
        EXPECT_FALSE(value.contains(QStringLiteral("TOPSECRET"))) << it.key().toStdString();
        EXPECT_FALSE(value.contains(QStringLiteral("OTHERDOC"))) << it.key().toStdString();
    }
    EXPECT_EQ(results.size(), 3 * (7 + guesses.size()));
    // The page's own image loads; the PHP outside its folder never ran, the one
    // inside did (through the interpreter, as a site's server would).
    EXPECT_TRUE(waitUntil([&] {
        return evaluate(web, QStringLiteral("document.getElementById('dot').naturalWidth")).toInt() == 3;
    }));
    EXPECT_TRUE(waitUntil([&] { return QFileInfo::exists(path(QStringLiteral("site/ran-inside.txt"))); }));
    EXPECT_FALSE(QFileInfo::exists(ranMarker));

    // With internet files on, the page may show what hosts it names serve, but a
    // script cannot send what it read to another host, nor by fetch or a socket.
    const QUrl pageUrl = manager->requestUrl();
    EXPECT_TRUE(KELDocumentURLProtocol::isHostReferencedByPage(QUrl(QStringLiteral("https://cdn.example.org/a.png")), pageUrl));
    EXPECT_FALSE(KELDocumentURLProtocol::isHostReferencedByPage(QUrl(QStringLiteral("https://evil.example.net/?TOPSECRET")), pageUrl));
    using Info = QWebEngineUrlRequestInfo;
    const struct {
        const char* url;
        int type;
        const char* method;
        bool refused;
    } requests[] = {
        {"https://cdn.example.org/a.png", Info::ResourceTypeImage, "GET", false},
        {"https://cdn.example.org/a.css", Info::ResourceTypeStylesheet, "GET", false},
        {"https://cdn.example.org/api", Info::ResourceTypeXhr, "GET", true},
        {"https://cdn.example.org/form", Info::ResourceTypeMainFrame, "POST", true},
        {"https://cdn.example.org/a.png", Info::ResourceTypeImage, "POST", true},
        {"wss://cdn.example.org/socket", Info::ResourceTypeWebSocket, "GET", true},
        {"https://cdn.example.org/beacon", Info::ResourceTypePing, "POST", true},
        {"data:text/plain,x", Info::ResourceTypeXhr, "GET", false},
    };
    for (const auto& r : requests)
        EXPECT_EQ(KELLivePreviewRequestInterceptor::mayCarryDataOut(QUrl(QString::fromLatin1(r.url)), r.type, r.method), r.refused)
            << r.url << " " << r.type;
    Q_UNUSED(outsidePHP);
    Q_UNUSED(insidePHP);
}

} // namespace
