#pragma once
// The live preview: the document's page in a web view beside the editor, reloaded
// one second after the last edit, keeping the reader's scroll position.

#include "kit/Timers.h"
#include "preview/KELPreviewManager.h"

#include <QObject>
#include <QPointF>
#include <QPointer>
#include <QUrl>
#include <QWebEnginePage>
#include <QWebEngineUrlRequestInterceptor>
#include <QWebEngineView>
#include <memory>

class KELLivePreviewSplitView;
class KELPreviewDocument;
class QMenu;
class QTimer;

/// The page of the live preview: script dialogs follow "KELLivePreviewShowAlerts".
class KELLivePreviewPage : public QWebEnginePage
{
    Q_OBJECT
public:
    explicit KELLivePreviewPage(QObject* parent = nullptr);

protected:
    void javaScriptAlert(const QUrl& securityOrigin, const QString& msg) override;
    bool javaScriptConfirm(const QUrl& securityOrigin, const QString& msg) override;
    void javaScriptConsoleMessage(
        JavaScriptConsoleMessageLevel level, const QString& message, int lineNumber, const QString& sourceID) override;
};

/// Decides the loads of the page's resources.
class KELLivePreviewRequestInterceptor : public QWebEngineUrlRequestInterceptor
{
    Q_OBJECT
public:
    explicit KELLivePreviewRequestInterceptor(QObject* parent = nullptr);
    void setDownloadFiles(bool download) { m_downloadFiles = download; }
    bool downloadFiles() const { return m_downloadFiles; }

    enum class Decision { Pass, Block, Redirect };
    /// What happens to a request for url made by the page at pageUrl; a redirect
    /// target is written to redirect.
    Decision decide(const QUrl& url, const QUrl& pageUrl, QUrl* redirect) const;
    void interceptRequest(QWebEngineUrlRequestInfo& info) override;
    /// Whether a request could send what the page read to the network: anything
    /// remote but a GET of something the page shows.
    static bool mayCarryDataOut(const QUrl& url, int resourceType, const QByteArray& method);

private:
    bool m_downloadFiles = true;
};

/// The web view: its context menu offers copying and "Refresh" only.
class KELLivePreviewWebView : public QWebEngineView
{
    Q_OBJECT
public:
    explicit KELLivePreviewWebView(QWidget* parent = nullptr);
    /// The menu for the engine's own items: copy link, copy image and copy are kept,
    /// then a separator (when any was kept) and "Refresh".
    QMenu* contextMenuWithDefaultItems(const QList<QAction*>& defaultItems);

Q_SIGNALS:
    void refreshRequested();

protected:
    void contextMenuEvent(QContextMenuEvent* event) override;
};

class KELHTMLPreviewManager : public QObject, public KELPreviewManager
{
    Q_OBJECT
public:
    /// editorView: the editor's scroll view, moved into the split view while shown;
    /// textView: the editor whose "KELTextDidChangeNotification" restarts the timer.
    KELHTMLPreviewManager(KELPreviewDocument* document, QWidget* editorView, const QObject* textView = nullptr,
        bool inProjectWindow = false, QObject* parent = nullptr);
    ~KELHTMLPreviewManager() override;

    // KELPreviewManager
    QWidget* livePreviewView() override;
    void showLivePreview() override;
    void hideLivePreview() override;
    void clearPreview() override;
    void refresh(QObject* sender) override;
    void setShouldRefresh(bool shouldRefresh) override { m_shouldRefresh = shouldRefresh; }

    /// The timer's work: reload (using what is cached) while refreshing is on.
    void refresh();
    /// After each change of the text: the reload comes one second after the last one.
    void textDidChange();
    /// Cache policy 1 reloads everything, 2 uses what is cached.
    void reloadWithCachePolicy(int policy);

    bool shouldRefresh() const { return m_shouldRefresh; }
    QString webViewDocumentPath() const { return m_webViewDocumentPath; }
    QUrl requestUrl() const { return m_requestUrl; }
    QPointF visibleOrigin() const { return m_visibleOrigin; }
    KELLivePreviewWebView* webView() const { return m_webView; }
    KELLivePreviewSplitView* splitView() const { return m_splitView; }
    QWidget* currentContentView() const { return m_currentContentView; }
    KELLivePreviewRequestInterceptor* interceptor() const { return m_interceptor; }
    /// Tests: the delay after the last edit (1000 ms).
    void setRefreshDelayForTesting(int milliseconds) { m_refreshDelay = milliseconds; }
    bool isRefreshPending() const { return m_timer.isActive(); }

Q_SIGNALS:
    /// The main frame finished loading and the scroll position was put back.
    void previewDidLoad(bool ok);

private:
    void applySettings();
    void updateDivider();
    void mainFrameDidFinishLoad(bool ok);

    KELPreviewDocument* m_document;
    quint64 m_documentCloseObserver = 0;
    QPointer<QWidget> m_editorView;
    QPointer<QWidget> m_livePreviewView;
    KELLivePreviewSplitView* m_splitView = nullptr;
    KELLivePreviewWebView* m_webView = nullptr;
    KELLivePreviewPage* m_page = nullptr;
    KELLivePreviewRequestInterceptor* m_interceptor = nullptr;
    QPointer<QWidget> m_currentContentView;
    kit::OneShotTimer m_timer;
    std::unique_ptr<QTimer> m_loadTimeout;
    int m_refreshDelay = 1000;
    bool m_shouldRefresh = false;
    bool m_shouldUpdateRect = true;
    QPointF m_visibleOrigin;
    int m_requestPolicy = 2;
    QString m_webViewDocumentPath;
    QUrl m_requestUrl;
};
