#pragma once
// The help book's own window: the pages of resources/Help in a web view, with Back,
// Forward, Contents and a way out to the desktop's browser for those who prefer it.
// Help never needs a browser to be installed.

#include <QPointer>
#include <QUrl>
#include <QWidget>

class QAction;
class QWebEngineView;

class KELHelpWindow : public QWidget
{
    Q_OBJECT
public:
    /// The one help window, made on first use.
    static KELHelpWindow& sharedHelpWindow();
    /// The help window when one was made, else null (it is never made for asking).
    static KELHelpWindow* existingHelpWindow();

    /// Shows the page (a file of the help book) and brings the window to the front.
    void showPage(const QUrl& url);
    /// The page shown, or being loaded.
    QUrl currentUrl() const;
    QWebEngineView* webView() const { return m_view; }

    QAction* backAction() const { return m_back; }
    QAction* forwardAction() const { return m_forward; }
    QAction* contentsAction() const { return m_contents; }
    QAction* openInBrowserAction() const { return m_openInBrowser; }

Q_SIGNALS:
    /// A page finished loading (ok: it loaded).
    void pageLoaded(const QUrl& url, bool ok);

private:
    explicit KELHelpWindow(QWidget* parent = nullptr);
    void updateActions();

    QWebEngineView* m_view = nullptr;
    QAction* m_back = nullptr;
    QAction* m_forward = nullptr;
    QAction* m_contents = nullptr;
    QAction* m_openInBrowser = nullptr;
};
