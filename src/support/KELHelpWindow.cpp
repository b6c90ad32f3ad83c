#include "support/KELHelpWindow.h"

#include "support/HelpUtils.h"

#include <QAction>
#include <QApplication>
#include <QKeySequence>
#include <QScreen>
#include <QStyle>
#include <QToolBar>
#include <QVBoxLayout>
#include <QWebEngineHistory>
#include <QWebEnginePage>
#include <QWebEngineView>

namespace {

QPointer<KELHelpWindow>& sharedWindow()
{
    static QPointer<KELHelpWindow> window;
    return window;
}

// Pages of the book open in the window; addresses outside it (a project's web site,
// mail) go to the desktop, which knows what to do with them.
class HelpPage : public QWebEnginePage
{
public:
    using QWebEnginePage::QWebEnginePage;

protected:
    bool acceptNavigationRequest(const QUrl& url, NavigationType type, bool isMainFrame) override
    {
        if (url.isLocalFile() || url.scheme() == QLatin1String("data") || url.scheme() == QLatin1String("about"))
            return QWebEnginePage::acceptNavigationRequest(url, type, isMainFrame);
        if (type == NavigationTypeLinkClicked)
            HelpUtils::openInBrowser(url);
        return false;
    }
    QWebEnginePage* createWindow(WebWindowType) override
    {
        // A link meant for a new window opens here as well: the book has one window.
        return this;
    }
};

} // namespace

KELHelpWindow& KELHelpWindow::sharedHelpWindow()
{
    QPointer<KELHelpWindow>& window = sharedWindow();
    if (!window) {
        window = new KELHelpWindow;
        // Its web page must go before the web engine does at quit.
        QObject::connect(qApp, &QCoreApplication::aboutToQuit, window, [w = window.data()] { delete w; });
    }
    return *window;
}

KELHelpWindow* KELHelpWindow::existingHelpWindow() { return sharedWindow().data(); }

KELHelpWindow::KELHelpWindow(QWidget* parent)
    : QWidget(parent, Qt::Window)
{
    setObjectName(QStringLiteral("KELHelpWindow"));
    setAttribute(Qt::WA_DeleteOnClose, false);
    setWindowTitle(QStringLiteral("Kelp Studio Help"));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    auto* toolbar = new QToolBar(this);
    toolbar->setObjectName(QStringLiteral("helpToolbar"));
    toolbar->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    layout->addWidget(toolbar);
    m_view = new QWebEngineView(this);
    m_view->setPage(new HelpPage(m_view));
    layout->addWidget(m_view, 1);

    QStyle* style = QApplication::style();
    m_back = toolbar->addAction(style->standardIcon(QStyle::SP_ArrowBack), QStringLiteral("Back"));
    m_back->setShortcut(QKeySequence::Back);
    m_forward = toolbar->addAction(style->standardIcon(QStyle::SP_ArrowForward), QStringLiteral("Forward"));
    m_forward->setShortcut(QKeySequence::Forward);
    m_contents = toolbar->addAction(style->standardIcon(QStyle::SP_DirHomeIcon), QStringLiteral("Contents"));
    auto* spacer = new QWidget(toolbar);
    spacer->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
    toolbar->addWidget(spacer);
    m_openInBrowser = toolbar->addAction(QStringLiteral("Open in Browser"));
    m_openInBrowser->setToolTip(QStringLiteral("Show this page in the desktop's web browser"));
    for (QAction* action : {m_back, m_forward, m_contents, m_openInBrowser})
        action->setShortcutContext(Qt::WindowShortcut);
    auto* close = new QAction(this);
    close->setShortcut(QKeySequence::Close);
    addAction(close);
    connect(close, &QAction::triggered, this, &QWidget::close);

    connect(m_back, &QAction::triggered, m_view, &QWebEngineView::back);
    connect(m_forward, &QAction::triggered, m_view, &QWebEngineView::forward);
    connect(m_contents, &QAction::triggered, this, [this] { showPage(HelpUtils::urlForPagePath(QString())); });
    connect(m_openInBrowser, &QAction::triggered, this, [this] {
        const QUrl url = currentUrl();
        if (!url.isEmpty())
            HelpUtils::openInBrowser(url);
    });
    connect(m_view, &QWebEngineView::titleChanged, this, [this](const QString& title) {
        setWindowTitle(title.isEmpty() ? QStringLiteral("Kelp Studio Help") : title);
    });
    connect(m_view, &QWebEngineView::urlChanged, this, [this] { updateActions(); });
    connect(m_view, &QWebEngineView::loadFinished, this, [this](bool ok) {
        updateActions();
        Q_EMIT pageLoaded(m_view->url(), ok);
    });
    updateActions();

    // A readable column of text, placed in the middle of the screen the first time.
    resize(820, 640);
    if (QScreen* screen = QGuiApplication::primaryScreen()) {
        const QRect available = screen->availableGeometry();
        resize(std::min(820, available.width()), std::min(640, available.height()));
        move(available.center() - rect().center());
    }
}

void KELHelpWindow::showPage(const QUrl& url)
{
    if (url.isEmpty())
        return;
    if (m_view->url() != url)
        m_view->setUrl(url);
    show();
    if (isMinimized())
        setWindowState(windowState() & ~Qt::WindowMinimized);
    raise();
    activateWindow();
}

QUrl KELHelpWindow::currentUrl() const
{
    const QUrl url = m_view->url();
    return url.isEmpty() ? m_view->page()->requestedUrl() : url;
}

void KELHelpWindow::updateActions()
{
    m_back->setEnabled(m_view->history()->canGoBack());
    m_forward->setEnabled(m_view->history()->canGoForward());
    m_openInBrowser->setEnabled(!currentUrl().isEmpty());
}
