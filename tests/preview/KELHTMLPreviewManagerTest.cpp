#include "WebEngineTestSupport.h"

#include "kit/NotificationCenter.h"
#include "preview/KELDocumentPreview.h"
#include "preview/KELHTMLPreviewManager.h"
#include "preview/KELLivePreviewSplitView.h"

#include <QAction>
#include <QImage>
#include <QMenu>
#include <QPlainTextEdit>
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

    // Edits that keep coming never reload.
    document.text.replace(QStringLiteral("first"), QStringLiteral("second"));
    for (int i = 0; i < 8; ++i) {
        kit::NotificationCenter::defaultCenter().post(QStringLiteral("KELTextDidChangeNotification"), editor.data());
        waitUntil([] { return false; }, 100);
    }
    EXPECT_EQ(loaded.size(), 1);
    EXPECT_TRUE(manager->isRefreshPending());
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
