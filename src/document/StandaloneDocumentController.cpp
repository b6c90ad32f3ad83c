#include "document/StandaloneDocumentController.h"

#include "document/KELSplitView.h"
#include "document/MyDocument.h"
#include "document/MyDocumentController.h"
#include "kit/Log.h"
#include "kit/UserDefaults.h"
#include "kit/document/WindowRestoration.h"

#include <QFileInfo>
#include <QMainWindow>

StandaloneDocumentController::StandaloneDocumentController() : StandaloneDocumentController(shouldUseTabs()) {}

StandaloneDocumentController::StandaloneDocumentController(bool usesTabs) : DocumentWindowController(usesTabs) {}

StandaloneDocumentController::~StandaloneDocumentController() = default;

QWidget* StandaloneDocumentController::makeCentralView(QWidget* editorArea)
{
    auto* split = new KELSplitView(Qt::Horizontal);
    split->setObjectName(QStringLiteral("KELStandaloneNavigatorSplitView"));
    split->addWidget(editorArea);
    split->setConstrainer([this](KELSplitView*, int proposed, int) { return constrainSplitPosition(proposed); });
    connect(split, &QSplitter::splitterMoved, this, [this] { splitViewDidResizeSubviews(); });
    m_splitView = split;
    return split;
}

void StandaloneDocumentController::windowDidLoad()
{
    DocumentWindowController::windowDidLoad();
    if (tabbedEditor()) {
        tabbedEditor()->setAllowsDragAcrossControllers(true);
        tabbedEditor()->setAllowsNoTabs(false);
    }
    setWindowFrameAutosaveName(KELStandaloneFrameAutosaveName);
    if (kit::UserDefaults::standard().boolValue(KELStandaloneShowCodeNavigatorKey))
        showCodeNavigator(true, false);
}

// ---------------------------------------------------------------- documents

void StandaloneDocumentController::addDocument(MyDocument* document)
{
    DocumentWindowController::addDocument(document);
    if (!document)
        return;
    const QUrl autosaveURL = document->autosavedContentsFileURL();
    const bool untitled = document->kit::Document::fileURL().isEmpty();
    if (!m_documentRestoreData.isEmpty() && untitled && m_untitledAutosaveRestoreURLs.contains(autosaveURL)) {
        // The saved state serves the one document it was saved for.
        restoreDocument(document, m_documentRestoreData);
        m_documentRestoreData.clear();
    }
    if (untitled && !autosaveURL.isEmpty())
        m_autosaveURLsToPersist.insert(autosaveURL);
}

void StandaloneDocumentController::removeDocument(MyDocument* document)
{
    DocumentWindowController::removeDocument(document);
    if (document && !document->autosavedContentsFileURL().isEmpty())
        m_autosaveURLsToPersist.remove(document->autosavedContentsFileURL());
}

void StandaloneDocumentController::addAutosaveURL(const QUrl& url)
{
    if (!url.isEmpty())
        m_autosaveURLsToPersist.insert(url);
}

MyDocument* StandaloneDocumentController::makeUntitledDocument()
{
    MyDocumentController* controller = MyDocumentController::sharedDocumentController();
    if (!controller)
        return nullptr;
    kit::Error error;
    auto* document = qobject_cast<MyDocument*>(controller->openUntitledDocumentAndDisplay(false, &error));
    if (document)
        addDocument(document);
    return document;
}

void StandaloneDocumentController::restoreDocument(MyDocument* document, const QVariantMap& state)
{
    if (document)
        document->restoreState(state);
}

// ---------------------------------------------------------------- restoration

void StandaloneDocumentController::encodeRestorableState(QVariantMap& state) const
{
    DocumentWindowController::encodeRestorableState(state);
    QVariantList urls;
    for (const QUrl& url : m_autosaveURLsToPersist)
        urls << url.toString();
    state[KELUntitledAutosaveURLsKey] = urls;
    state[KELStandaloneDocumentControllerUsesTabsKey] = usesTabs();
    MyDocument* current = currentDocument();
    if (!usesTabs() && current && current->kit::Document::fileURL().isEmpty()) {
        QVariantMap documentState;
        current->encodeRestorableState(documentState);
        state[KELStandaloneDocumentControllerRestoredDocumentDataKey] = documentState;
    }
}

void StandaloneDocumentController::restoreState(const QVariantMap& state)
{
    DocumentWindowController::restoreState(state);
    m_untitledAutosaveRestoreURLs.clear();
    for (const QVariant& url : state.value(KELUntitledAutosaveURLsKey).toList())
        m_untitledAutosaveRestoreURLs << QUrl(url.toString());
    const QVariantMap data = state.value(KELStandaloneDocumentControllerRestoredDocumentDataKey).toMap();
    if (usesTabs() || data.isEmpty())
        return;
    if (!m_untitledAutosaveRestoreURLs.isEmpty()) {
        // Waits for the untitled document whose side file is among the URLs.
        m_documentRestoreData = data;
        for (MyDocument* document : documents()) {
            if (document->kit::Document::fileURL().isEmpty()
                && m_untitledAutosaveRestoreURLs.contains(document->autosavedContentsFileURL())) {
                restoreDocument(document, m_documentRestoreData);
                m_documentRestoreData.clear();
                break;
            }
        }
        return;
    }
    if (MyDocument* document = makeUntitledDocument()) {
        restoreDocument(document, data);
        setCurrentDocument(document);
    }
}

StandaloneDocumentController* StandaloneDocumentController::restoreWindow(const QVariantMap& savedWindow)
{
    MyDocumentController* documentController = MyDocumentController::sharedDocumentController();
    if (!documentController)
        return nullptr;
    const QVariantMap state = savedWindow.value(kit::WindowRestoration::StateKey).toMap();
    const bool tabs = state.value(KELStandaloneDocumentControllerUsesTabsKey, shouldUseTabs()).toBool();
    auto* controller = new StandaloneDocumentController(tabs);
    controller->loadWindow();
    for (const QVariant& entry : savedWindow.value(kit::WindowRestoration::DocumentsKey).toList()) {
        const QVariantMap saved = entry.toMap();
        const QUrl url(saved.value(kit::WindowRestoration::FileURLKey).toString());
        const QUrl autosaveURL(saved.value(kit::WindowRestoration::AutosaveURLKey).toString());
        const bool hasSideFile = autosaveURL.isLocalFile() && QFileInfo::exists(autosaveURL.toLocalFile());
        MyDocument* document = qobject_cast<MyDocument*>(documentController->documentForURL(url));
        if (!document) {
            // A file that went away since is left out without a word.
            if (!hasSideFile && (!url.isLocalFile() || !QFileInfo::exists(url.toLocalFile())))
                continue;
            kit::Error error;
            std::unique_ptr<kit::Document> made = documentController->makeDocumentForRestoration(
                url, hasSideFile ? autosaveURL : QUrl(), saved.value(kit::WindowRestoration::FileTypeKey).toString(), &error);
            document = qobject_cast<MyDocument*>(made.get());
            if (!document) {
                if (!error.isNull())
                    kit::log(QStringLiteral("Could not restore the document at %1: %2").arg(url.toString(), error.localizedDescription()));
                continue;
            }
            made.release();
            documentController->addDocument(document);
        }
        document->restoreState(saved.value(kit::WindowRestoration::DocumentStateKey).toMap());
        controller->addDocument(document);
    }
    controller->restoreState(state);
    const QList<MyDocument*> restored = controller->documents();
    if (restored.isEmpty()) {
        controller->closeWindowNow();
        return nullptr;
    }
    // Documents the saved tabs did not name get a tab of their own.
    MyDocument* current = controller->currentDocument();
    if (TabView* bar = controller->tabbedEditor()->tabView()) {
        for (MyDocument* document : restored) {
            if (!bar->tabWithDocument(document))
                controller->setCurrentDocument(document);
        }
    }
    controller->setCurrentDocument(current ? current : restored.constFirst());
    controller->showWindow();
    return controller;
}

// ---------------------------------------------------------------- navigator

bool StandaloneDocumentController::isShowingCodeNavigator() const
{
    return m_splitView && m_splitView->count() == 2 && !m_splitView->isAnimating();
}

int StandaloneDocumentController::navigatorWidthForShowing() const
{
    const int total = m_splitView ? m_splitView->width() : 0;
    double width = kit::UserDefaults::standard().doubleValue(KELStandaloneCodeNavigatorSplitPositionKey);
    // Before the window is laid out the split view's width means nothing: the
    // stored width stands, and the window's first layout keeps it.
    if (width > total / 2.0 && m_splitView && m_splitView->isVisible())
        width = total / 2.0;
    else if (width < 50)
        width = 200;
    return int(width);
}

int StandaloneDocumentController::constrainSplitPosition(int proposed) const
{
    if (!m_splitView || m_splitView->isAnimating())
        return proposed;
    if (m_splitView->width() - proposed < 150)
        return m_splitView->width();
    return qMax(proposed, 100);
}

void StandaloneDocumentController::splitViewDidResizeSubviews()
{
    if (isShowingCodeNavigator())
        kit::UserDefaults::standard().setValue(KELStandaloneCodeNavigatorSplitPositionKey,
                                               double(m_splitView->widget(0)->width()));
}

void StandaloneDocumentController::showCodeNavigator(bool show, bool animate)
{
    if (!m_splitView || show == isShowingCodeNavigator())
        return;
    kit::UserDefaults::standard().setValue(KELStandaloneShowCodeNavigatorKey, show);
    QWidget* navigator = createCodeNavigator();
    if (!navigator)
        return;
    const int total = m_splitView->width();
    const int height = m_splitView->height();
    QList<QRect> targets;
    if (show) {
        const int width = navigatorWidthForShowing();
        m_splitView->insertWidget(0, navigator);
        // A wider or narrower window resizes the text, not the navigator.
        m_splitView->setStretchFactor(0, 0);
        m_splitView->setStretchFactor(1, 1);
        navigator->show();
        m_splitView->setSizes({0, total});
        targets = {QRect(0, 0, width, height), QRect(0, 0, total - width - m_splitView->handleWidth(), height)};
    } else {
        targets = {QRect(0, 0, 0, height), QRect(0, 0, total, height)};
    }
    auto finish = [this, show, navigator] {
        if (!show && m_splitView && navigator) {
            navigator->hide();
            navigator->setParent(nullptr);
        }
    };
    if (animate) {
        auto* animation = new KELSplitViewAnimation(m_splitView, targets, this);
        connect(animation, &QAbstractAnimation::finished, this, [finish, animation] {
            finish();
            animation->deleteLater();
        });
        animation->startAnimation();
    } else {
        if (show)
            m_splitView->setSizes({targets.at(0).width(), targets.at(1).width()});
        finish();
    }
}
