#include "preview/KELHTMLPreviewManager.h"

#include "support/DefaultsKeys.h"
#include "kit/Alert.h"
#include "kit/NotificationCenter.h"
#include "kit/UserDefaults.h"
#include "preview/KELDocumentURLProtocol.h"
#include "preview/KELLivePreviewSplitView.h"
#include "preview/KELPreviewDocument.h"
#include "preview/KELPreviewUtils.h"

#include <QAction>
#include <QContextMenuEvent>
#include <QFileInfo>
#include <QMenu>
#include <QTimer>
#include <QVBoxLayout>
#include <QWebEngineHistory>
#include <QWebEngineProfile>
#include <QWebEngineSettings>

namespace {
const QString kTextDidChange = QStringLiteral("KELTextDidChangeNotification");
const QString kDividerChanged = QStringLiteral("KELLivePreviewDividerChanged");
const QString kShowImagesChanged = QStringLiteral("KELLivePreviewShowImagesChanged");
const QString kAnimateImagesChanged = QStringLiteral("KELLivePreviewAnimateImagesChanged");
const QString kDownloadFilesChanged = QStringLiteral("KELLivePreviewDownloadFilesChanged");
constexpr int kLoadTimeoutMilliseconds = 10000;

bool isRemoteScheme(const QString& scheme)
{
    static const QStringList remote { QStringLiteral("http"), QStringLiteral("https"), QStringLiteral("ftp"),
        QStringLiteral("ws"), QStringLiteral("wss") };
    return remote.contains(scheme.toLower());
}
} // namespace

// -- Page

KELLivePreviewPage::KELLivePreviewPage(QObject* parent)
    : QWebEnginePage(QWebEngineProfile::defaultProfile(), parent)
{
    KELDocumentURLProtocol::installOnProfile(profile());
    // Previewed pages read no local files but through the document scheme.
    settings()->setAttribute(QWebEngineSettings::LocalContentCanAccessFileUrls, false);
    // Pages that ask to close their window or rename it are ignored.
}

void KELLivePreviewPage::javaScriptAlert(const QUrl&, const QString& msg)
{
    if (!kit::UserDefaults::standard().boolValue(KELLivePreviewShowAlerts))
        return;
    kit::Alert alert;
    alert.setMessageText(QStringLiteral("JavaScript Dialog"));
    alert.setInformativeText(msg);
    alert.addButton(QStringLiteral("OK"));
    alert.runModal();
}

bool KELLivePreviewPage::javaScriptConfirm(const QUrl&, const QString& msg)
{
    if (!kit::UserDefaults::standard().boolValue(KELLivePreviewShowAlerts))
        return true;
    kit::Alert alert;
    alert.setMessageText(QStringLiteral("JavaScript Dialog"));
    alert.setInformativeText(msg);
    alert.addButton(QStringLiteral("OK"));
    alert.addButton(QStringLiteral("Cancel"));
    return alert.runModal() == kit::Alert::FirstButtonReturn;
}

void KELLivePreviewPage::javaScriptConsoleMessage(JavaScriptConsoleMessageLevel, const QString&, int, const QString&)
{
    // The page's own console is not the user's concern here.
}

// -- Resource loads

KELLivePreviewRequestInterceptor::KELLivePreviewRequestInterceptor(QObject* parent)
    : QWebEngineUrlRequestInterceptor(parent)
{
}

KELLivePreviewRequestInterceptor::Decision KELLivePreviewRequestInterceptor::decide(
    const QUrl& url, const QUrl& pageUrl, QUrl* redirect) const
{
    if (url == pageUrl)
        return Decision::Pass;
    if (KELDocumentURLProtocol::canInitWithURL(url)) {
        // "/images/a.png" in a page of a project names a file of the project's folder.
        const QString path = url.path(QUrl::FullyDecoded);
        if (QFileInfo::exists(path) || KELPreviewDocument::documentForPath(path))
            return Decision::Pass;
        const QString pagePath = pageUrl.path(QUrl::FullyDecoded);
        QString project = KELPreviewDocument::projectDirectoryContainingPath(pagePath);
        while (project.endsWith(QLatin1Char('/')))
            project.chop(1);
        if (project.isEmpty() || !QFileInfo::exists(project + path))
            return Decision::Pass;
        if (redirect) {
            QUrl target = url;
            target.setPath(project + path, QUrl::DecodedMode);
            *redirect = target;
        }
        return Decision::Redirect;
    }
    // A previewed page never reads local files except through the scheme above,
    // which serves only its own site.
    if (url.isLocalFile() || url.scheme().compare(QLatin1String("file"), Qt::CaseInsensitive) == 0)
        return Decision::Block;
    if (isRemoteScheme(url.scheme()) && !m_downloadFiles)
        return Decision::Block;
    return Decision::Pass;
}

bool KELLivePreviewRequestInterceptor::mayCarryDataOut(const QUrl& url, int resourceType, const QByteArray& method)
{
    if (!isRemoteScheme(url.scheme()))
        return false;
    // What a page shows (images, style sheets, scripts, fonts, media, frames) may
    // come from the network; requests that scripts send (XMLHttpRequest, fetch,
    // WebSockets, beacons, pings, reports, form posts) and navigations of the
    // preview itself could carry what the page read out, and are refused.
    switch (resourceType) {
    case QWebEngineUrlRequestInfo::ResourceTypeSubFrame:
    case QWebEngineUrlRequestInfo::ResourceTypeStylesheet:
    case QWebEngineUrlRequestInfo::ResourceTypeScript:
    case QWebEngineUrlRequestInfo::ResourceTypeImage:
    case QWebEngineUrlRequestInfo::ResourceTypeFontResource:
    case QWebEngineUrlRequestInfo::ResourceTypeMedia:
    case QWebEngineUrlRequestInfo::ResourceTypeFavicon:
        return method.toUpper() != "GET";
    default:
        return true;
    }
}

void KELLivePreviewRequestInterceptor::interceptRequest(QWebEngineUrlRequestInfo& info)
{
    const QUrl url = info.requestUrl();
    if (mayCarryDataOut(url, info.resourceType(), info.requestMethod())
        || (isRemoteScheme(url.scheme()) && !KELDocumentURLProtocol::isHostReferencedByPage(url, info.firstPartyUrl()))) {
        info.block(true);
        return;
    }
    QUrl target;
    switch (decide(info.requestUrl(), info.firstPartyUrl(), &target)) {
    case Decision::Pass:
        break;
    case Decision::Block:
        info.block(true);
        break;
    case Decision::Redirect:
        info.redirect(target);
        break;
    }
}

// -- Web view

KELLivePreviewWebView::KELLivePreviewWebView(QWidget* parent)
    : QWebEngineView(parent)
{
}

QMenu* KELLivePreviewWebView::contextMenuWithDefaultItems(const QList<QAction*>& defaultItems)
{
    auto* menu = new QMenu(this);
    menu->setAttribute(Qt::WA_DeleteOnClose);
    const QList<QAction*> kept { pageAction(QWebEnginePage::CopyLinkToClipboard),
        pageAction(QWebEnginePage::CopyImageToClipboard), pageAction(QWebEnginePage::Copy) };
    bool any = false;
    for (QAction* action : defaultItems) {
        if (action && kept.contains(action)) {
            menu->addAction(action);
            any = true;
        }
    }
    if (any)
        menu->addSeparator();
    QAction* refresh = menu->addAction(QStringLiteral("Refresh"));
    connect(refresh, &QAction::triggered, this, &KELLivePreviewWebView::refreshRequested);
    return menu;
}

void KELLivePreviewWebView::contextMenuEvent(QContextMenuEvent* event)
{
    QMenu* standard = createStandardContextMenu();
    QMenu* menu = contextMenuWithDefaultItems(standard ? standard->actions() : QList<QAction*>());
    if (standard)
        standard->deleteLater();
    menu->popup(event->globalPos());
}

// -- Manager

KELHTMLPreviewManager::KELHTMLPreviewManager(
    KELPreviewDocument* document, QWidget* editorView, const QObject* textView, bool inProjectWindow, QObject* parent)
    : QObject(parent)
    , m_document(document)
    , m_editorView(editorView)
{
    m_timer.setCallback([this] { refresh(); });

    auto& center = kit::NotificationCenter::defaultCenter();
    center.addObserver(
        kDividerChanged, nullptr, [this](const kit::Notification&) { updateDivider(); }, this);
    center.addObserver(
        kShowImagesChanged, nullptr, [this](const kit::Notification&) { applySettings(); }, this);
    center.addObserver(
        kAnimateImagesChanged, nullptr, [this](const kit::Notification&) { applySettings(); }, this);
    center.addObserver(
        kDownloadFilesChanged, nullptr, [this](const kit::Notification&) { applySettings(); }, this);
    if (textView)
        center.addObserver(
            kTextDidChange, textView, [this](const kit::Notification&) { textDidChange(); }, this);
    if (m_document) {
        m_documentCloseObserver = m_document->addCloseObserver([this] {
            m_document = nullptr;
            m_documentCloseObserver = 0;
            m_shouldRefresh = false;
            m_timer.stop();
        });
    }

    m_livePreviewView = new QWidget();
    auto* layout = new QVBoxLayout(m_livePreviewView);
    layout->setContentsMargins(0, 0, 0, 0);
    m_splitView = new KELLivePreviewSplitView(m_livePreviewView);
    layout->addWidget(m_splitView);
    m_currentContentView = new QWidget();
    m_splitView->addWidget(m_currentContentView);
    m_webView = new KELLivePreviewWebView();
    m_page = new KELLivePreviewPage(m_webView);
    m_interceptor = new KELLivePreviewRequestInterceptor(m_page);
    m_page->setUrlRequestInterceptor(m_interceptor);
    m_webView->setPage(m_page);
    m_splitView->addWidget(m_webView);
    // The editor keeps the keyboard while the page reloads.
    m_page->settings()->setAttribute(QWebEngineSettings::FocusOnNavigationEnabled, false);

    connect(m_page, &QWebEnginePage::scrollPositionChanged, this, [this](const QPointF& position) {
        if (m_shouldUpdateRect)
            m_visibleOrigin = position;
    });
    connect(m_page, &QWebEnginePage::loadFinished, this, [this](bool ok) { mainFrameDidFinishLoad(ok); });
    connect(m_webView, &KELLivePreviewWebView::refreshRequested, this, [this] { refresh(this); });

    m_loadTimeout = std::make_unique<QTimer>();
    m_loadTimeout->setSingleShot(true);
    connect(m_loadTimeout.get(), &QTimer::timeout, this, [this] { m_page->triggerAction(QWebEnginePage::Stop); });

    updateDivider();
    applySettings();
    m_splitView->setAutosaveName(inProjectWindow
            ? QStringLiteral("KELProjectDocumentLivePreviewSplitterAutosaveName")
            : QStringLiteral("KELStandaloneDocumentLivePreviewSplitterAutosaveName"));
}

KELHTMLPreviewManager::~KELHTMLPreviewManager()
{
    kit::NotificationCenter::defaultCenter().removeObservers(this);
    if (m_document && m_documentCloseObserver)
        m_document->removeCloseObserver(m_documentCloseObserver);
    m_timer.stop();
    if (m_loadTimeout)
        m_loadTimeout->stop();
    // The editor belongs to the document: hand it back before the views go.
    if (m_editorView && m_editorView == m_currentContentView)
        m_editorView->setParent(nullptr);
    delete m_livePreviewView.data();
}

QWidget* KELHTMLPreviewManager::livePreviewView() { return m_livePreviewView; }

void KELHTMLPreviewManager::updateDivider()
{
    const bool vertical = kit::UserDefaults::standard().boolValue(KELUseVerticalDividerInLivePreviewKey);
    // A vertical divider puts editor and page side by side.
    m_splitView->setOrientation(vertical ? Qt::Horizontal : Qt::Vertical);
    m_splitView->adjustSubviews();
}

void KELHTMLPreviewManager::applySettings()
{
    auto& defaults = kit::UserDefaults::standard();
    m_page->settings()->setAttribute(
        QWebEngineSettings::AutoLoadImages, defaults.boolValue(KELDisplayImagesInLivePreviewKey));
    m_interceptor->setDownloadFiles(defaults.boolValue(KELDownloadInternetFilesInLivePreviewKey));
}

void KELHTMLPreviewManager::showLivePreview()
{
    if (!m_editorView || m_currentContentView == m_editorView)
        return;
    const int index = m_splitView->indexOf(m_currentContentView);
    QWidget* old = m_splitView->replaceWidget(index < 0 ? 0 : index, m_editorView);
    if (old)
        old->deleteLater();
    m_editorView->show();
    m_currentContentView = m_editorView;
}

void KELHTMLPreviewManager::hideLivePreview()
{
    auto* empty = new QWidget();
    const int index = m_splitView->indexOf(m_currentContentView);
    QWidget* old = m_splitView->replaceWidget(index < 0 ? 0 : index, empty);
    if (old && old != m_editorView)
        old->deleteLater();
    m_currentContentView = empty;
    clearPreview();
}

void KELHTMLPreviewManager::clearPreview() { m_page->setHtml(QString(), QUrl::fromLocalFile(QStringLiteral("/"))); }

void KELHTMLPreviewManager::textDidChange() { m_timer.start(m_refreshDelay); }

void KELHTMLPreviewManager::refresh()
{
    if (m_shouldRefresh)
        reloadWithCachePolicy(2);
}

void KELHTMLPreviewManager::refresh(QObject*) { reloadWithCachePolicy(1); }

void KELHTMLPreviewManager::reloadWithCachePolicy(int policy)
{
    if (!m_document)
        return;
    m_page->triggerAction(QWebEnginePage::Stop);
    m_shouldUpdateRect = false;
    m_requestPolicy = policy;
    const QUrl url = KELPreviewUtils::sharedInstance().previewUrlForDocument(m_document);
    const bool sameUrl = url == m_requestUrl;
    m_webViewDocumentPath = url.path(QUrl::FullyDecoded);
    m_requestUrl = url;
    if (policy == 1 && sameUrl)
        m_page->triggerAction(QWebEnginePage::ReloadAndBypassCache);
    else
        m_page->load(url);
    m_loadTimeout->start(kLoadTimeoutMilliseconds);
}

void KELHTMLPreviewManager::mainFrameDidFinishLoad(bool ok)
{
    m_loadTimeout->stop();
    m_page->runJavaScript(QStringLiteral("window.scrollTo(%1, %2);").arg(m_visibleOrigin.x()).arg(m_visibleOrigin.y()),
        [self = QPointer<KELHTMLPreviewManager>(this), ok](const QVariant&) {
            if (!self)
                return;
            self->m_shouldUpdateRect = true;
            self->m_requestPolicy = 2;
            Q_EMIT self->previewDidLoad(ok);
        });
    m_page->history()->clear();
}
