#include "document/DocumentWindowController.h"

#include <QMenu>
#include <QToolButton>

#include "support/DefaultsKeys.h"
#include "document/MyDocument.h"
#include "document/MyDocumentCommands.h"
#include "document/MyDocumentController.h"
#include "document/MyDocumentPlaceholder.h"
#include "document/StandaloneDocumentController.h"
#include "kit/ActionRouter.h"
#include "support/Notifications.h"
#include "kit/Log.h"
#include "kit/NotificationCenter.h"
#include "kit/Timers.h"
#include "kit/UndoManager.h"
#include "kit/UserDefaults.h"

#include <QAction>
#include <QApplication>
#include <QFileInfo>
#include <QMainWindow>
#include <QToolBar>
#include <QVBoxLayout>
#include <QVariantAnimation>

namespace {
int g_fadeDuration = 400;

DocumentWindowController::NavigatorFactory& navigatorFactory()
{
    static DocumentWindowController::NavigatorFactory factory;
    return factory;
}

DocumentWindowController::MenuBarFactory& menuBarFactory()
{
    static DocumentWindowController::MenuBarFactory factory;
    return factory;
}

struct ToolbarItem {
    const char* identifier;
    const char* label;
    const char* toolTip;
    const char* action;
    const char* icon;
};

// The default items of a new window's toolbar, in order; empty identifiers are separators.
const ToolbarItem DefaultToolbarItems[] = {
    {"KELCodeNavigatorIdentifier", "Navigator", "Show/Hide Navigator", "toggleCodeNavigator:", "view-list-tree"},
    {"", "", "", "", ""},
    {"KELComponentLibraryIdentifier", "Components", "Show Component Library", "showComponentLibrary:", "view-grid"},
    {"Quick Insert", "Symbols", "Symbols", "quickInsert:", "insert-text"},
    {"Preview Code in Browser", "Preview", "Preview Code in Browser", "preview:", "internet-web-browser"},
    {"Live Preview", "Live Preview", "Show/Hide Live Preview", "quickPreview:", "view-preview"},
    {"", "", "", "", ""},
    {"Find", "Find", "Find Text", "orderFrontFindPanel:", "edit-find"},
    {"Batch Find", "Batch Find", "Find Text in Multiple Documents", "showBatchTextFinderPanel:", "edit-find-replace"},
    {"", "", "", "", ""},
    {"Format Tags", "Format Tags", "Format Tags", "formatTags:", "format-text-bold"},
};

// The Format Tags pull-down: each item names the format it applies; empty titles are separators.
const char* const FormatTagsItems[] = {"Link to URL", "", "Bold", "Italic", "Strikethrough", "Underline", "",
                                       "Subscript", "Superscript", "", "Big", "Small", "", "Center Align",
                                       "Horizontal Rule", "Line Break", "Paragraph"};
} // namespace

DocumentWindowController::DocumentWindowController(bool usesTabs, QObject* parent)
    : kit::WindowController(nullptr, parent), m_usesTabs(usesTabs)
{
    // The window closes its documents itself, one by one with their questions.
    setShouldCloseDocument(false);
    setOwnsItself(true);
    m_windowUndoManager = new kit::UndoManager(this);
    registerActions();
    // The preferences announce a changed colour or file type twice: the colouring
    // engine takes the first, the windows re-colour on the second.
    kit::NotificationCenter::defaultCenter().addObserver(KELColoringSettingsChangedSecondNotification, nullptr,
        [this](const kit::Notification&) { colorCurrentDocument(); }, this);
}

void DocumentWindowController::colorCurrentDocument()
{
    if (m_currentDocument && m_currentDocument->commands())
        m_currentDocument->commands()->colorViewableTags();
}

DocumentWindowController::~DocumentWindowController()
{
    delete m_navigator.data();
    if (m_tabbedEditor)
        m_tabbedEditor->setDelegate(nullptr);
}

bool DocumentWindowController::shouldUseTabs()
{
    return kit::UserDefaults::standard().boolValue(KELUseTabbedInterfaceInStandaloneDocumentsKey);
}

qsizetype DocumentWindowController::numTabs() const
{
    return m_usesTabs && m_tabbedEditor ? m_tabbedEditor->numTabs() : 0;
}

QList<MyDocument*> DocumentWindowController::documents() const
{
    QList<MyDocument*> list;
    for (const QPointer<MyDocument>& document : m_documents) {
        if (document)
            list << document.data();
    }
    return list;
}

// ---------------------------------------------------------------- window

QMainWindow* DocumentWindowController::mainWindow() const
{
    return qobject_cast<QMainWindow*>(window());
}

void DocumentWindowController::loadWindow()
{
    if (window())
        return;
    installTabbedEditorHooks();
    auto* main = new QMainWindow;
    main->setAttribute(Qt::WA_DeleteOnClose, false);
    main->resize(900, 700);
    if (menuBarFactory())
        main->setMenuBar(menuBarFactory()(main));
    auto* editorView = new TabbedEditorView;
    m_editorArea = editorView;
    m_tabbedEditor = new TabbedEditorController(this);
    m_tabbedEditor->setTabbedEditorView(editorView);
    m_tabbedEditor->setDelegate(this);
    main->setCentralWidget(makeCentralView(editorView));
    kit::ActionRouter::shared().setWindowResponder(main, this);
    setWindow(main);
}

void DocumentWindowController::windowDidLoad()
{
    if (m_currentDocument)
        setCurrentDocument(m_currentDocument);
    if (!m_usesTabs && m_tabbedEditor)
        m_tabbedEditor->hideTabs();
    buildToolbar();
}

void DocumentWindowController::installTabbedEditorHooks()
{
    static bool installed = false;
    if (installed)
        return;
    installed = true;
    TabbedEditorDocumentHooks hooks;
    hooks.editView = [](MyDocument* document) { return document ? document->currentEditView() : nullptr; };
    hooks.willHide = [](MyDocument* document) {
        if (!document)
            return;
        document->updateVisibleTextRange();
        // An Edit Tag panel belongs to the text that goes out of sight.
        if (KELHTMLView* view = document->existingTextView())
            view->endSheet();
    };
    hooks.didShow = [](MyDocument* document, bool focus) {
        if (!document)
            return;
        if (focus && document->existingTextView())
            document->existingTextView()->setFocus(Qt::OtherFocusReason);
        // The editor has its size only once the window has laid it out.
        QPointer<MyDocument> shown(document);
        kit::performOnNextTurn(document, [shown] {
            if (shown)
                shown->scrollToVisibleTextRange();
        });
    };
    TabbedEditorController::setDocumentHooks(hooks);
    TabView::setNewWindowMaker([](MyDocument* document) -> QWidget* {
        if (!document)
            return nullptr;
        auto* controller = new StandaloneDocumentController(true);
        controller->loadWindow();
        controller->addDocument(document);
        controller->setCurrentDocument(document);
        return controller->window();
    });
}

std::function<QMenu*()>& DocumentWindowController::quickInsertMenuProvider()
{
    static std::function<QMenu*()> provider;
    return provider;
}

void DocumentWindowController::setQuickInsertMenuProvider(std::function<QMenu*()> provider)
{
    quickInsertMenuProvider() = std::move(provider);
}

QStringList DocumentWindowController::defaultToolbarItemIdentifiers()
{
    QStringList identifiers;
    for (const ToolbarItem& item : DefaultToolbarItems)
        identifiers << (*item.identifier ? QString::fromLatin1(item.identifier) : QStringLiteral("NSToolbarSeparatorItem"));
    return identifiers;
}

void DocumentWindowController::buildToolbar()
{
    QMainWindow* main = mainWindow();
    if (!main || m_toolbar)
        return;
    auto* bar = new QToolBar(QStringLiteral("Toolbar"), main);
    // Standalone and project windows keep their own toolbar state.
    bar->setObjectName(QStringLiteral("KELHTMLBar") + QString::fromLatin1(metaObject()->className()));
    bar->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    bar->setMovable(false);
    for (const ToolbarItem& item : DefaultToolbarItems) {
        if (!*item.identifier) {
            bar->addSeparator();
            continue;
        }
        QAction* action = kit::ActionRouter::shared().makeAction(QString::fromLatin1(item.label),
                                                                 QString::fromLatin1(item.action), bar);
        action->setObjectName(QString::fromLatin1(item.identifier));
        action->setToolTip(QString::fromLatin1(item.toolTip));
        action->setIcon(QIcon::fromTheme(QString::fromLatin1(item.icon)));
        bar->addAction(action);
        if (QLatin1String(item.identifier) == QLatin1String("Format Tags")) {
            auto* menu = new QMenu(bar);
            menu->setObjectName(QStringLiteral("formatTagsMenu"));
            for (const char* title : FormatTagsItems) {
                if (!*title) {
                    menu->addSeparator();
                    continue;
                }
                QAction* format = kit::ActionRouter::shared().makeAction(QString::fromLatin1(title), QStringLiteral("formatTags:"), menu);
                format->setData(QString::fromLatin1(title));
                menu->addAction(format);
            }
            kit::ActionRouter::shared().attachMenu(menu);
            action->setMenu(menu);
            if (auto* button = qobject_cast<QToolButton*>(bar->widgetForAction(action)))
                button->setPopupMode(QToolButton::InstantPopup);
        }
        if (QLatin1String(item.identifier) == QLatin1String("Quick Insert") && quickInsertMenuProvider()) {
            // A pull-down of the shared Symbols menu, brought up to date each time it opens.
            QMenu* menu = quickInsertMenuProvider()();
            action->setMenu(menu);
            if (auto* button = qobject_cast<QToolButton*>(bar->widgetForAction(action))) {
                button->setPopupMode(QToolButton::InstantPopup);
                connect(button, &QToolButton::pressed, button, [] { quickInsertMenuProvider()(); });
            }
        }
    }
    main->addToolBar(bar);
    m_toolbar = bar;
}

kit::UndoManager* DocumentWindowController::windowUndoManager()
{
    if (m_currentDocument) {
        m_windowUndoManager->removeAllActions();
        return m_currentDocument->undoManager();
    }
    return m_windowUndoManager;
}

// ---------------------------------------------------------------- documents

void DocumentWindowController::setDocument(kit::Document*)
{
    if (m_settingDocument)
        return;
    m_settingDocument = true;
    kit::WindowController::setDocument(m_currentDocument.data());
    // The base keeps one document per window; this window holds several.
    for (MyDocument* document : documents())
        document->addWindowController(this);
    m_settingDocument = false;
}

void DocumentWindowController::setCurrentDocument(MyDocument* document)
{
    m_currentDocument = document;
    const int announced = m_documentDidChangeCount;
    if (document) {
        addDocument(document);
        document->setWindowController(this, true);
        setDocument(nullptr);
        loadWindow();
        colorCurrentDocument();
        m_tabbedEditor->showDocument(document);
    }
    if (announced == m_documentDidChangeCount)
        announceCurrentDocument();
}

void DocumentWindowController::addDocument(MyDocument* document)
{
    if (!document)
        return;
    DocumentWindowController* other = document->windowController();
    if (other && other != this)
        other->removeDocument(document);
    if (m_fade && !m_fadingIn) {
        // A document arrived while the window was fading away: it stays.
        m_fade->stop();
        if (window())
            window()->setWindowOpacity(1.0);
    }
    for (const QPointer<MyDocument>& known : std::as_const(m_documents)) {
        if (known == document)
            return;
    }
    m_documents << document;
    document->setWindowController(this, false);
    // Tabs find their documents among the documents of their window.
    document->addWindowController(this);
}

void DocumentWindowController::removeDocument(MyDocument* document)
{
    qsizetype index = -1;
    for (qsizetype i = 0; i < m_documents.size(); ++i) {
        if (m_documents.at(i) == document)
            index = i;
    }
    if (index < 0)
        return;
    // The tab goes first; the editor then shows the tab selected in its place.
    if (m_tabbedEditor)
        m_tabbedEditor->closeDocument(document);
    m_documents.removeAt(index);
    document->removeWindowController(this);
    if (document == m_currentDocument) {
        MyDocument* shown = m_tabbedEditor ? m_tabbedEditor->currentDocument() : nullptr;
        m_currentDocument = shown != document ? shown : nullptr;
        if (!m_currentDocument && !documents().isEmpty())
            setCurrentDocument(documents().constFirst());
        else
            announceCurrentDocument();
    }
    if (documents().isEmpty()) {
        m_currentDocument = nullptr;
        setDocument(nullptr);
        if (!m_closing && !m_windowClosing && closesWithLastDocument())
            animateFadeOut();
    }
}

void DocumentWindowController::removeDocumentForHardClose(MyDocument* document)
{
    for (qsizetype i = m_documents.size() - 1; i >= 0; --i) {
        if (m_documents.at(i) == document || !m_documents.at(i))
            m_documents.removeAt(i);
    }
    if (document == m_currentDocument)
        m_currentDocument = nullptr;
}

void DocumentWindowController::documentDidChange(TabbedEditorController* editor)
{
    ++m_documentDidChangeCount;
    if (editor && editor->currentDocument() != m_currentDocument)
        m_currentDocument = editor->currentDocument();
    announceCurrentDocument();
}

void DocumentWindowController::announceCurrentDocument()
{
    if (m_currentDocument) {
        if (!documents().contains(m_currentDocument.data()))
            addDocument(m_currentDocument);
        m_currentDocument->addWindowController(this);
    }
    setDocument(nullptr);
    synchronizeWindowTitleWithDocumentName();
    kit::ActionRouter::shared().scheduleValidation();
    kit::NotificationCenter::defaultCenter().post(KELCurrentDocumentDidChangeNotification, this);
}

void DocumentWindowController::documentRequestClose(MyDocument* document, TabbedEditorController*)
{
    performCloseDocument(document);
}

void DocumentWindowController::documentAddedInDrag(MyDocument* document, TabbedEditorController*)
{
    addDocument(document);
    setCurrentDocument(document);
}

void DocumentWindowController::documentRemovedInDrag(MyDocument* document, TabbedEditorController*)
{
    removeDocument(document);
}

QList<std::shared_ptr<DocumentContents>> DocumentWindowController::allDocumentsAndPlaceholders() const
{
    QList<std::shared_ptr<DocumentContents>> list;
    if (!m_usesTabs) {
        if (m_currentDocument)
            list << std::shared_ptr<DocumentContents>(std::shared_ptr<DocumentContents>(), m_currentDocument.data());
        return list;
    }
    return m_tabbedEditor ? m_tabbedEditor->allDocumentsAndPlaceholders() : list;
}

void DocumentWindowController::updateEditorView()
{
    if (m_tabbedEditor)
        m_tabbedEditor->updateEditorView();
}

void DocumentWindowController::openAndDisplayDocumentWithURL(const QUrl& url)
{
    if (!url.isLocalFile() || !QFileInfo::exists(url.toLocalFile()))
        return;
    MyDocumentController* controller = MyDocumentController::sharedDocumentController();
    if (!controller)
        return;
    kit::Error error;
    MyDocument* document = controller->openTextDocumentWithContentsOfURL(url, false, &error);
    if (!document)
        return;
    document->loadViewObjects();
    setCurrentDocument(document);
}

void DocumentWindowController::showDocumentWithPath(const QString& path)
{
    openAndDisplayDocumentWithURL(QUrl::fromLocalFile(path));
}

// ---------------------------------------------------------------- closing

void DocumentWindowController::performCloseDocument(MyDocument* document)
{
    if (!document)
        return;
    QPointer<MyDocument> guard(document);
    document->canCloseDocument([guard](bool shouldClose) {
        if (shouldClose && guard)
            guard->closeWithWindowUpdate();
    });
}

void DocumentWindowController::performCloseTab()
{
    if (m_currentDocument)
        performCloseDocument(m_currentDocument);
}

void DocumentWindowController::windowShouldClose(std::function<void(bool)> done)
{
    if (documents().isEmpty() || m_windowClosing) {
        done(true);
        return;
    }
    if (m_closing) {
        done(false);
        return;
    }
    m_closeAllDone = nullptr;
    canFirstDocumentClose();
    // Documents that close without a question are gone by now: the window closes
    // with this very request (closing it again from inside it does nothing).
    done(m_windowClosing && documents().isEmpty());
}

void DocumentWindowController::closeAllDocuments(std::function<void(bool)> done)
{
    m_closeAllDone = std::move(done);
    canFirstDocumentClose();
}

void DocumentWindowController::canFirstDocumentClose()
{
    m_closing = true;
    const QList<MyDocument*> list = documents();
    if (list.isEmpty()) {
        closeWindowNow();
        finishCloseSequence(true);
        return;
    }
    MyDocument* first = list.constFirst();
    if (first != m_currentDocument)
        setCurrentDocument(first);
    m_documentToClose = first;
    QPointer<DocumentWindowController> self(this);
    first->canCloseDocument([self](bool shouldClose) {
        if (!self)
            return;
        if (shouldClose) {
            self->completeClose();
        } else {
            self->m_closing = false;
            self->finishCloseSequence(false);
        }
    });
}

void DocumentWindowController::completeClose()
{
    if (MyDocument* document = m_documentToClose) {
        m_documentToClose = nullptr;
        document->closeWithWindowUpdate();
        removeDocumentForHardClose(document);
    }
    canFirstDocumentClose();
}

void DocumentWindowController::finishCloseSequence(bool allClosed)
{
    if (!allClosed)
        m_closing = false;
    if (m_closeAllDone) {
        std::function<void(bool)> done = std::move(m_closeAllDone);
        m_closeAllDone = nullptr;
        done(allClosed);
    }
}

void DocumentWindowController::closeWindowNow()
{
    m_windowClosing = true;
    if (window() && window()->isVisible()) {
        window()->close();
        return;
    }
    // A window never shown gets no close event.
    windowWillClose();
}

void DocumentWindowController::windowWillClose()
{
    if (m_windowClosing && documents().isEmpty() && !window())
        return;
    m_windowClosing = true;
    for (MyDocument* document : documents()) {
        if (auto* controller = MyDocumentController::sharedDocumentController())
            controller->removeDocument(document);
        document->close();
    }
    m_documents.clear();
    m_currentDocument = nullptr;
    if (m_fade)
        m_fade->stop();
    kit::WindowController::windowWillClose();
}

// ---------------------------------------------------------------- fade

void DocumentWindowController::setFadeDurationForTesting(int milliseconds)
{
    g_fadeDuration = milliseconds;
}

bool DocumentWindowController::isFading() const
{
    return m_fade && m_fade->state() == QAbstractAnimation::Running;
}

void DocumentWindowController::animateFadeIn()
{
    m_fadingIn = true;
    QWidget* w = window();
    if (!w)
        return;
    if (!m_fade) {
        m_fade = new QVariantAnimation(this);
        connect(m_fade, &QVariantAnimation::valueChanged, this, [this](const QVariant& value) {
            if (window())
                window()->setWindowOpacity(value.toDouble());
        });
        connect(m_fade, &QVariantAnimation::finished, this, [this] {
            if (!m_fadingIn && documents().isEmpty())
                closeWindowNow();
        });
    }
    m_fade->stop();
    m_fade->setDuration(qMax(1, g_fadeDuration));
    m_fade->setStartValue(0.0);
    m_fade->setEndValue(1.0);
    w->setWindowOpacity(0.0);
    m_fade->start();
}

void DocumentWindowController::animateFadeOut()
{
    m_fadingIn = false;
    QWidget* w = window();
    if (!w || !w->isVisible() || g_fadeDuration <= 0) {
        // Nothing to see fade: close on the next turn, when the caller is done with the window.
        QPointer<DocumentWindowController> self(this);
        kit::performOnNextTurn(this, [self] {
            if (self && self->documents().isEmpty() && !self->m_windowClosing)
                self->closeWindowNow();
        });
        return;
    }
    if (!m_fade) {
        animateFadeIn();
        m_fadingIn = false;
    }
    m_fade->stop();
    m_fade->setDuration(g_fadeDuration);
    m_fade->setStartValue(1.0);
    m_fade->setEndValue(0.0);
    m_fade->start();
}

// ---------------------------------------------------------------- navigator

void DocumentWindowController::setCodeNavigatorFactory(NavigatorFactory factory)
{
    navigatorFactory() = std::move(factory);
}

void DocumentWindowController::setMenuBarFactory(MenuBarFactory factory)
{
    menuBarFactory() = std::move(factory);
}

QWidget* DocumentWindowController::createCodeNavigator()
{
    if (m_navigator)
        return m_navigator;
    if (navigatorFactory())
        m_navigator = navigatorFactory()(this);
    if (!m_navigator)
        kit::log(QStringLiteral("Failed to load CodeNavigator"));
    return m_navigator;
}

void DocumentWindowController::showCodeNavigator(bool, bool) {}

void DocumentWindowController::selectNextTab()
{
    if (!m_usesTabs || !m_tabbedEditor) {
        QApplication::beep();
        return;
    }
    m_tabbedEditor->selectNextTab();
}

void DocumentWindowController::selectPreviousTab()
{
    if (!m_usesTabs || !m_tabbedEditor) {
        QApplication::beep();
        return;
    }
    m_tabbedEditor->selectPreviousTab();
}

// ---------------------------------------------------------------- restoration

void DocumentWindowController::encodeRestorableState(QVariantMap& state) const
{
    kit::WindowController::encodeRestorableState(state);
    if (m_tabbedEditor) {
        m_tabbedEditor->encodeWithCoder(state);
        if (!m_tabbedEditor->currentPath().isEmpty())
            state[KELDocumentWindowControllerSelectedURLKey] = QUrl::fromLocalFile(m_tabbedEditor->currentPath()).toString();
    }
}

void DocumentWindowController::restoreState(const QVariantMap& state)
{
    kit::WindowController::restoreState(state);
    if (m_tabbedEditor)
        m_tabbedEditor->restoreWithCoder(state);
    if (state.contains(KELDocumentWindowControllerSelectedURLKey))
        openAndDisplayDocumentWithURL(QUrl(state.value(KELDocumentWindowControllerSelectedURLKey).toString()));
}

QList<kit::Document*> DocumentWindowController::documentsForRestoration() const
{
    QList<kit::Document*> list;
    for (MyDocument* document : documents())
        list << document;
    return list;
}

// ---------------------------------------------------------------- commands

kit::Responder* DocumentWindowController::nextResponder() const
{
    // Then the current document's own commands.
    return m_currentDocument ? m_currentDocument->commands() : nullptr;
}

bool DocumentWindowController::validateAction(const QString& action, QAction* item)
{
    return kit::Responder::validateAction(action, item);
}

void DocumentWindowController::registerActions()
{
    auto hasDocument = [this](QAction*) { return bool(m_currentDocument); };
    addAction(QStringLiteral("saveDocument:"), [this](QObject*) { if (m_currentDocument) m_currentDocument->saveDocument(); }, hasDocument);
    addAction(QStringLiteral("saveDocumentAs:"), [this](QObject*) { if (m_currentDocument) m_currentDocument->saveDocumentAs(); }, hasDocument);
    addAction(QStringLiteral("saveDocumentTo:"), [this](QObject*) { if (m_currentDocument) m_currentDocument->saveDocumentTo(); }, hasDocument);
    addAction(QStringLiteral("revertDocumentToSaved:"), [this](QObject*) {
        if (m_currentDocument)
            m_currentDocument->revertDocumentToSaved();
    }, [this](QAction*) { return m_currentDocument && !m_currentDocument->filePath().isEmpty() && m_currentDocument->isDocumentEdited(); });
    addAction(QStringLiteral("performClose:"), [this](QObject*) { if (window()) window()->close(); });
    addAction(QStringLiteral("performCloseTab:"), [this](QObject*) { performCloseTab(); },
              [this](QAction*) { return m_usesTabs && numTabs() > 1; });
    // With one tab there is no other tab to go to.
    auto severalTabs = [this](QAction*) { return m_usesTabs && numTabs() > 1; };
    addAction(QStringLiteral("selectNextTab:"), [this](QObject*) { selectNextTab(); }, severalTabs);
    addAction(QStringLiteral("selectPreviousTab:"), [this](QObject*) { selectPreviousTab(); }, severalTabs);
    addAction(QStringLiteral("toggleCodeNavigator:"), [this](QObject*) { toggleCodeNavigator(); }, [this](QAction* item) {
        if (item && item->objectName() != QLatin1String("KELCodeNavigatorIdentifier"))
            item->setText(isShowingCodeNavigator() ? QStringLiteral("Hide Navigator") : QStringLiteral("Show Navigator"));
        return true;
    });
}
