#include "componentui/KELComponentController.h"
#include "editor/ReadOnlyTextViews.h"

#include "componentui/KELComponentInsertSheet.h"
#include "componentui/KELFileVariableControllers.h"
#include "componentui/KELVariableViews.h"
#include "components/KELComponentManager.h"
#include "editor/KELHTMLView.h"
#include "kit/ActionRouter.h"
#include "kit/Alert.h"
#include "kit/WindowPlacement.h"
#include "kit/document/Document.h"
#include "kit/document/WindowController.h"
#include "kit/document/WindowRestoration.h"
#include "kit/Log.h"
#include "kit/NotificationCenter.h"
#include "kit/UserDefaults.h"
#include "kit/text/ScrollView.h"
#include "preview/KELDocumentURLProtocol.h"
#include "preview/KELPreviewUtils.h"
#include "support/DefaultsKeys.h"
#include "support/HelpUtils.h"
#include "support/UtilityFunctions.h"
#include "syntax/SyntaxInfo.h"
#include "syntax/SyntaxManager.h"
#include "syntax/SyntaxType.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QContextMenuEvent>
#include <QDataStream>
#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QFontDatabase>
#include <QHBoxLayout>
#include <QHash>
#include <QImageReader>
#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <QPushButton>
#include <QScrollArea>
#include <QSplitter>
#include <QStackedWidget>
#include <QTabBar>
#include <QVBoxLayout>
#include <QWebEnginePage>
#include <QWebEngineProfile>
#include <QWebEngineView>

#include <tuple>

namespace {

QHash<QString, KELComponentController::Maker>& makers()
{
    static QHash<QString, KELComponentController::Maker> table;
    return table;
}

std::function<void(const QUrl&)>& externalOpener()
{
    static std::function<void(const QUrl&)> opener;
    return opener;
}

qint64 nextPreviewNumber()
{
    static qint64 counter = 0;
    return counter++;
}

bool isPageScheme(const QString& scheme)
{
    return scheme == KELDocumentURLScheme || scheme == QLatin1String("file") || scheme == QLatin1String("data")
        || scheme == QLatin1String("about") || scheme.isEmpty();
}

} // namespace

/// The preview page: shows the component's test page; links to the outside world
/// go to the desktop's browser.
class KELComponentPreviewPage : public QWebEnginePage {
public:
    explicit KELComponentPreviewPage(QObject* parent) : QWebEnginePage(QWebEngineProfile::defaultProfile(), parent)
    {
        KELDocumentURLProtocol::installOnProfile(profile());
    }

protected:
    bool acceptNavigationRequest(const QUrl& url, NavigationType type, bool isMainFrame) override
    {
        const auto decision = KELComponentController::navigationDecision(url, type == NavigationTypeLinkClicked, isMainFrame);
        if (decision == KELComponentController::NavigationDecision::OpenExternally)
            KELComponentController::openExternalURL(url);
        return decision == KELComponentController::NavigationDecision::Load;
    }
    QWebEnginePage* createWindow(WebWindowType) override { return nullptr; }
};

/// The preview's web view: a short context menu (copy, and Refresh).
class KELComponentWebView : public QWebEngineView {
public:
    KELComponentWebView(KELComponentController& controller, QWidget* parent) : QWebEngineView(parent), m_controller(controller) { }

protected:
    void contextMenuEvent(QContextMenuEvent* event) override
    {
        QMenu* standard = createStandardContextMenu();
        auto* menu = new QMenu(this);
        menu->setAttribute(Qt::WA_DeleteOnClose);
        const QList<QAction*> kept { page()->action(QWebEnginePage::CopyLinkToClipboard),
            page()->action(QWebEnginePage::CopyImageToClipboard), page()->action(QWebEnginePage::Copy) };
        bool any = false;
        for (QAction* action : standard->actions()) {
            if (kept.contains(action)) {
                menu->addAction(action);
                any = true;
            }
        }
        if (any)
            menu->addSeparator();
        QPointer<KELComponentController> controller(&m_controller);
        menu->addAction(QStringLiteral("Refresh"), menu, [controller] {
            if (controller)
                controller->refresh();
        });
        standard->deleteLater();
        menu->popup(event->globalPos());
    }

private:
    KELComponentController& m_controller;
};

/// The component window as the application's windows know it: saved with the
/// others at quit (the component's name, its values and the frame) and remade at
/// the next start; its close asks the component first.
class KELComponentWindowController : public kit::WindowController {
public:
    explicit KELComponentWindowController(KELComponentController& owner) : m_owner(owner) { setShouldCloseDocument(false); }
    QString restorationClassName() const override { return KELComponentController::RestorationClassName; }
    void encodeRestorableState(QVariantMap& state) const override
    {
        kit::WindowController::encodeRestorableState(state);
        m_owner.encodeRestorableState(state);
    }
    void restoreState(const QVariantMap& state) override
    {
        kit::WindowController::restoreState(state);
        m_owner.restoreState(state);
    }
    QList<kit::Document*> documentsForRestoration() const override { return {}; }
    void windowShouldClose(std::function<void(bool)> done) override { done(m_owner.windowShouldClose()); }

private:
    KELComponentController& m_owner;
};

// --- Opening

KELComponentController* KELComponentController::openComponentWindow(const std::shared_ptr<KELComponent>& component)
{
    if (!component)
        return nullptr;
    if (const auto maker = makers().value(component->name().value_or(QString())))
        return maker(component);
    auto* controller = new KELComponentController(component);
    if (!controller->setUpWindow()) {
        delete controller;
        return nullptr;
    }
    controller->showWindow();
    return controller;
}

void KELComponentController::registerControllerForComponentName(const QString& componentName, Maker maker)
{
    makers().insert(componentName, std::move(maker));
}

KELComponentController* KELOpenComponentWindow(const std::shared_ptr<KELComponent>& component)
{
    return KELComponentController::openComponentWindow(component);
}

KELComponentController* KELOpenComponentWindowNamed(const QString& name)
{
    const std::shared_ptr<KELComponent> component = KELComponentManager::sharedInstance().componentWithName(name);
    if (!component) {
        kit::log(QStringLiteral("No component named %1").arg(name));
        return nullptr;
    }
    return KELOpenComponentWindow(component);
}

KELComponentController::KELComponentController(const std::shared_ptr<KELComponent>& component) : m_component(component)
{
    m_previewTimer.setSingleShot(true);
    connect(&m_previewTimer, &QTimer::timeout, this, &KELComponentController::updatePreviewAndSourceViewFromTimer);
    registerActions();
}

KELComponentController::~KELComponentController()
{
    // The window is on its way out (it owns this controller): the window
    // controller must not delete it again.
    if (m_windowController)
        m_windowController->setWindow(nullptr);
    m_windowController.reset();
    m_previewTimer.stop();
    if (m_notificationToken)
        kit::NotificationCenter::defaultCenter().removeObserver(m_notificationToken);
    if (m_activeDocumentToken)
        kit::NotificationCenter::defaultCenter().removeObserver(m_activeDocumentToken);
    if (m_rootController)
        m_rootController->controllerWillClose();
    // The undo manager stops observing before the editors go.
    m_undoManager.reset();
    m_codeGenerator.reset();
}

KELComponentUndoManager* KELComponentController::undoManager()
{
    if (!m_undoManager && m_rootController)
        m_undoManager = std::make_unique<KELComponentUndoManager>(m_rootController);
    return m_undoManager.get();
}

// --- Window

bool KELComponentController::setUpWindow()
{
    m_compDef = KELComponentDefinition::definitionWithComponent(m_component);
    if (!m_compDef || !m_compDef->variableGroup()) {
        kit::log(QStringLiteral("Could not read the definition of component %1").arg(m_component->name().value_or(m_component->path())));
        return false;
    }
    m_rootController = KELVariableController::rootControllerWithVariable(*m_compDef->variableGroup(), true);
    if (!m_rootController) {
        // Without a root editor there is nothing to show or generate from.
        kit::log(QStringLiteral("Could not create the editors of component %1").arg(m_component->name().value_or(m_component->path())));
        return false;
    }
    m_codeGenerator = std::make_unique<KELComponentCodeGenerator>(m_rootController, m_compDef);
    m_previewDirectory = std::make_unique<QTemporaryDir>(QDir::tempPath() + QStringLiteral("/Component Preview XXXXXX"));
    m_preInsertDirectory = std::make_unique<QTemporaryDir>(QDir::tempPath() + QStringLiteral("/Component Pre-Insert XXXXXX"));
    m_previewDirectoryPath = m_previewDirectory->path();
    m_preInsertDirectoryPath = m_preInsertDirectory->path();

    m_window = new KELComponentWindow(this);
    setParent(m_window);
    m_window->setAttribute(Qt::WA_DeleteOnClose);
    m_window->setWindowTitle(m_component->name().value_or(QString()) + QStringLiteral("[*]"));
    m_window->setMinimumSize(600, 600);
    m_window->resize(900, 650);
    m_windowController = std::make_unique<KELComponentWindowController>(*this);
    m_windowController->setWindow(m_window);
    setWindowFrameAutosaveNameOrCascade(FrameAutosaveName);
    // The application's menus act on the component while its window is in front;
    // the component's undo is the one undo of the window, its fields' included.
    kit::ActionRouter::shared().setWindowResponder(m_window, this);
    kit::ActionRouter::shared().setWindowClaimsActions(m_window, {QStringLiteral("undo:"), QStringLiteral("redo:")});

    m_splitter = new QSplitter(Qt::Horizontal, m_window);
    m_splitter->setChildrenCollapsible(false);

    // The form pane is as wide as the form's rows need; a longer form scrolls.
    auto* variableScroll = new KELVariableFormScrollArea;
    m_variableView = variableScroll;
    variableScroll->setFormView(m_rootController->view());
    m_splitter->addWidget(variableScroll);

    auto* right = new QWidget;
    right->setMinimumWidth(300);
    auto* rightLayout = new QVBoxLayout(right);
    rightLayout->setContentsMargins(4, 4, 4, 4);
    auto* bar = new QHBoxLayout;
    m_previewSourceSegmentedControl = new QTabBar(right);
    m_previewSourceSegmentedControl->addTab(QStringLiteral("Preview"));
    m_previewSourceSegmentedControl->addTab(QStringLiteral("Source"));
    m_previewSourceSegmentedControl->setDrawBase(false);
    m_insertButton = new QPushButton(QStringLiteral("Insert"), right);
    bar->addWidget(m_previewSourceSegmentedControl);
    bar->addStretch(1);
    bar->addWidget(m_insertButton);
    rightLayout->addLayout(bar);

    m_previewSourceContentView = new QStackedWidget(right);
    m_previewWidget = makePreviewWidget();
    m_previewSourceContentView->addWidget(m_previewWidget ? m_previewWidget.data() : new QWidget);
    m_sourceContentView = makeSourceView();
    m_previewSourceContentView->addWidget(m_sourceContentView);
    rightLayout->addWidget(m_previewSourceContentView, 1);
    m_splitter->addWidget(right);
    m_splitter->setStretchFactor(1, 1);
    const int formWidth = qMax(360, variableScroll->sizeHint().width());
    m_splitter->setSizes({ formWidth, qMax(540, 900 - formWidth) });
    if (formWidth > 360)
        m_window->resize(qMax(m_window->width(), formWidth + 560), m_window->height());
    m_window->setCentralWidget(m_splitter);

    connect(m_previewSourceSegmentedControl, &QTabBar::currentChanged, this, [this] { switchPreviewSource(); });
    connect(m_insertButton, &QPushButton::clicked, this, &KELComponentController::insert);

    KELComponentUndoManager* manager = undoManager();
    m_notificationToken = kit::NotificationCenter::defaultCenter().addObserver(KELComponentVariableValueChangedNotification, manager,
        [this](const kit::Notification& notification) {
            variableDidChange(notification.userInfo.value(KELComponentVariableKeyPath).toString());
        });
    m_activeDocumentToken = kit::NotificationCenter::defaultCenter().addObserver(KELActiveDocumentDidChangeNotification, nullptr,
        [this](const kit::Notification&) {
            QPointer<KELComponentInsertSheet> sheet = m_insertSheet;
            QTimer::singleShot(0, this, [sheet] {
                if (sheet && sheet->isVisible())
                    sheet->updateInsertDocumentFields();
            });
        });
    // Undo and Redo keys of the window (the menu bar's take their place when the
    // window gets the application's menus).
    auto& router = kit::ActionRouter::shared();
    for (const auto& [title, action, key] : {std::tuple{QStringLiteral("Undo"), QStringLiteral("undo:"), QKeySequence(QKeySequence::Undo)},
                                             std::tuple{QStringLiteral("Redo"), QStringLiteral("redo:"), QKeySequence(QKeySequence::Redo)}}) {
        QAction* item = router.makeAction(title, action, m_window, key);
        item->setShortcutContext(Qt::WindowShortcut);
        m_window->addAction(item);
    }
    switchPreviewSource();
    return true;
}

void KELComponentController::setWindowFrameAutosaveNameOrCascade(const QString& name)
{
    // The last cascade point of each kind of window, for the next one.
    static QHash<QString, QPoint> cascadePoints;
    if (!m_window || !m_windowController)
        return;
    const bool hasPoint = cascadePoints.contains(name);
    const bool hadFrame = m_windowController->setFrameUsingName(name);
    const bool tookName = m_windowController->setWindowFrameAutosaveName(name);
    // The first window of the kind without a saved frame opens over the window in front.
    if (!hadFrame && !hasPoint)
        kit::centerWindow(m_window, QApplication::activeWindow());
    const QPoint start = tookName || !hasPoint ? kit::windowFrame(m_window).topLeft() : cascadePoints.value(name);
    // The window that took the name keeps its frame; each further one steps down from the last.
    cascadePoints.insert(name, kit::cascadeTopLeftFromPoint(m_window, tookName ? QPoint() : start));
}

void KELComponentController::registerActions()
{
    // Undo and Redo: the component's steps; a field's pending typing is committed first.
    addAction(QStringLiteral("undo:"), [this](QObject*) {
        if (m_window)
            m_window->endEditing();
        if (KELComponentUndoManager* undo = undoManager(); undo && undo->canUndo())
            undo->undo();
    }, [this](QAction* item) {
        KELComponentUndoManager* undo = undoManager();
        if (item && undo)
            item->setText(undo->undoMenuItemTitle());
        return undo && undo->canUndo();
    });
    addAction(QStringLiteral("redo:"), [this](QObject*) {
        if (m_window)
            m_window->endEditing();
        if (KELComponentUndoManager* undo = undoManager(); undo && undo->canRedo())
            undo->redo();
    }, [this](QAction* item) {
        KELComponentUndoManager* undo = undoManager();
        if (item && undo)
            item->setText(undo->redoMenuItemTitle());
        return undo && undo->canRedo();
    });
    // The preview commands of the application's menus, titled for a component.
    auto titlePreviewItems = [](QAction* item) {
        auto* menu = item ? qobject_cast<QMenu*>(item->parent()) : nullptr;
        if (QMenu* browsers = menu ? menu->findChild<QMenu*>(QStringLiteral("previewInBrowser"), Qt::FindDirectChildrenOnly) : nullptr)
            browsers->setTitle(QStringLiteral("Preview Component With &Browser"));
    };
    auto toggle = [this](QObject*) { togglePreviewSource(); };
    addAction(QStringLiteral("toggleLivePreview:"), toggle, [this](QAction* item) {
        if (item)
            item->setText(isLivePreviewing() ? QStringLiteral("Show Source View") : QStringLiteral("Show Live Preview"));
        return bool(m_previewSourceSegmentedControl);
    });
    addAction(QStringLiteral("quickPreviewCode:"), toggle, [this, titlePreviewItems](QAction* item) {
        if (item) {
            item->setText(QStringLiteral("Preview Component"));
            titlePreviewItems(item);
        }
        return bool(m_previewSourceSegmentedControl);
    });
    addAction(QStringLiteral("quickPreview:"), toggle, [this](QAction*) { return bool(m_previewSourceSegmentedControl); });
    auto refreshing = [this](QObject*) { refresh(); };
    addAction(QStringLiteral("refreshLivePreviewFromMenu:"), refreshing);
    addAction(QStringLiteral("refreshLivePreview:"), refreshing);
    addAction(QStringLiteral("previewInDefaultBrowser:"), [this](QObject*) { previewInBrowser(); });
    addAction(QStringLiteral("preview:"), [this](QObject*) { previewInBrowser(); });
    addAction(QStringLiteral("previewInSelectedBrowser:"), [this](QObject* sender) {
        const auto* item = qobject_cast<QAction*>(sender);
        previewInBrowser(item ? item->data().toString() : QString());
    });
    addAction(QStringLiteral("showHelp:"), [this](QObject*) { showHelp(); });
    addAction(QStringLiteral("performClose:"), [this](QObject*) {
        if (m_window)
            m_window->close();
    });
}

QWidget* KELComponentController::makePreviewWidget()
{
    auto* view = new KELComponentWebView(*this, nullptr);
    view->setPage(new KELComponentPreviewPage(view));
    m_webView = view;
    return view;
}

QWidget* KELComponentController::makeSourceView()
{
    auto* source = new QSplitter(Qt::Vertical);
    m_sourceFiles = new QListWidget(source);
    m_sourceFiles->setSelectionMode(QAbstractItemView::SingleSelection);
    m_sourceFiles->setMaximumHeight(140);
    source->addWidget(m_sourceFiles);
    m_sourceStack = new QStackedWidget(source);
    auto* scroll = new kit::ScrollView;
    m_sourceTextView = new KELHTMLView;
    initializeReadOnlyTextView(m_sourceTextView, scroll);
    m_sourceStack->addWidget(scroll);
    auto* imageScroll = new QScrollArea;
    imageScroll->setAlignment(Qt::AlignCenter);
    m_sourceImageView = new QLabel;
    imageScroll->setWidget(m_sourceImageView);
    imageScroll->setWidgetResizable(false);
    m_sourceStack->addWidget(imageScroll);
    source->addWidget(m_sourceStack);
    source->setStretchFactor(1, 1);
    connect(m_sourceFiles, &QListWidget::currentRowChanged, this, [this] {
        if (!m_fillingSourceFiles)
            updateSelectedSourceFileContent();
    });
    return source;
}

void KELComponentController::showWindow()
{
    if (m_window) {
        m_window->show();
        m_window->raise();
        m_window->activateWindow();
    }
}

bool KELComponentController::windowShouldClose()
{
    if (!m_window || !m_window->isWindowModified())
        return true;
    kit::Alert alert;
    alert.setMessageText(QStringLiteral("Are you sure that you want to close this component?"));
    alert.setInformativeText(QStringLiteral("Your changes will be lost if you close the component."));
    alert.setAlertStyle(kit::Alert::WarningStyle);
    alert.addButton(QStringLiteral("Close"));
    alert.addButton(QStringLiteral("Cancel"));
    if (alert.runModal() != kit::Alert::FirstButtonReturn)
        return false;
    m_window->setWindowModified(false);
    return true;
}

// --- Changes

void KELComponentController::variableDidChange(const QString&)
{
    if (m_window && m_undoManager)
        m_window->setWindowModified(m_undoManager->hasChanges());
    // A burst of edits regenerates once, a moment after the last one.
    m_previewTimer.start(m_previewDelay);
}

void KELComponentController::updatePreviewAndSourceViewFromTimer()
{
    updatePreviewAndSourceView();
}

bool KELComponentController::sourceViewIsSelected() const
{
    return m_previewSourceSegmentedControl && m_previewSourceSegmentedControl->currentIndex() == 1;
}

void KELComponentController::togglePreviewSource()
{
    if (m_previewSourceSegmentedControl)
        m_previewSourceSegmentedControl->setCurrentIndex(sourceViewIsSelected() ? 0 : 1);
}

void KELComponentController::switchPreviewSource()
{
    if (m_previewSourceContentView) {
        if (sourceViewIsSelected()) {
            m_previewSourceContentView->setCurrentWidget(m_sourceContentView);
            if (m_webView)
                m_webView->setUrl(QUrl(QStringLiteral("about:blank")));
        } else if (m_previewWidget) {
            m_previewSourceContentView->setCurrentWidget(m_previewWidget);
        }
    }
    updatePreviewAndSourceView();
}

void KELComponentController::updatePreviewAndSourceView()
{
    m_previewTimer.stop();
    if (sourceViewIsSelected()) {
        performPreInsertCodeGeneration();
        fillSourceFiles();
        updateSelectedSourceFileContent();
    } else {
        performPreviewCodeGeneration(true);
    }
    ++m_regenerationCount;
    Q_EMIT previewUpdated();
}

QString KELComponentController::bareBonesHTMLContent() const
{
    const bool capitals = kit::UserDefaults::standard().boolValue(KELShouldCapitalizeTagsKey);
    auto tag = [capitals](const char* name) { return capitals ? QString::fromLatin1(name).toUpper() : QString::fromLatin1(name); };
    QString page = QStringLiteral("<!DOCTYPE HTML PUBLIC \"-//W3C//DTD HTML 4.01 TRANSITIONAL//EN\" \"http://www.w3.org/TR/html4/loose.dtd\">\n");
    const QStringList lines { QStringLiteral("<%1>").arg(tag("html")), QStringLiteral("\t<%1>").arg(tag("head")),
        QStringLiteral("\t<%1>%2</%1>").arg(tag("title"), m_component->name().value_or(QString())),
        QStringLiteral("\t</%1>").arg(tag("head")), QStringLiteral("\t<%1>").arg(tag("body")), QStringLiteral("\t</%1>").arg(tag("body")),
        QStringLiteral("</%1>").arg(tag("html")) };
    page += lines.join(QLatin1Char('\n'));
    page.replace(QLatin1Char('\t'), UtilityFunctions::indentSpacerSpring());
    return page;
}

QUrl KELComponentController::previewURL(const QString& pagePath, const QStringList& extraFolders)
{
    QUrl url;
    url.setScheme(KELDocumentURLScheme);
    // A new host each time, so nothing cached from the last generation is shown.
    url.setHost(QStringLiteral("kelpcomponent%1").arg(nextPreviewNumber()));
    url.setPath(pagePath, QUrl::DecodedMode);
    KELDocumentURLProtocol::registerPreviewURL(url, nullptr, extraFolders);
    return url;
}

QString KELComponentController::performPreviewCodeGeneration(bool load)
{
    const QString pagePath = m_previewDirectoryPath + QStringLiteral("/KelpStudioTemp.html");
    QString page = bareBonesHTMLContent();
    if (m_codeGenerator) {
        m_codeGenerator->generateCodeWithHtmlTemplate(
            page, pagePath, KELComponentCodeGeneratorResourcePaths(m_previewDirectoryPath), KELInsertType::Preview);
    }
    QFile file(pagePath);
    const bool written = file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(page.toUtf8()) >= 0;
    file.close();
    m_previewHtmlContent = page;
    if (load && m_webView) {
        if (written)
            m_webView->setUrl(previewURL(pagePath, previewReadableFolders()));
        else
            m_webView->setHtml(page, QUrl::fromLocalFile(pagePath));
    }
    return pagePath;
}

QStringList KELComponentController::previewReadableFolders() const
{
    // The library's pictures, and the folders of the files chosen in the editors.
    QStringList folders { KELComponentManager::componentsDirectory(), KELComponentManager::userComponentsDirectory() };
    std::function<void(const KELVariableController&)> walk = [&folders, &walk](const KELVariableController& controller) {
        if (const auto* file = dynamic_cast<const KELFileVariableController*>(&controller)) {
            const QUrl url = file->fileUrl();
            if (url.isLocalFile())
                folders << QFileInfo(url.toLocalFile()).absolutePath();
        }
        for (const KELVariableControllerPtr& child : controller.childControllers())
            walk(*child);
    };
    if (m_rootController)
        walk(*m_rootController);
    folders.removeDuplicates();
    return folders;
}

QString KELComponentController::performPreInsertCodeGeneration()
{
    const QString pagePath = m_preInsertDirectoryPath + QStringLiteral("/KelpStudioTemp.html");
    QString page = bareBonesHTMLContent();
    if (m_codeGenerator) {
        m_preInsertResult = m_codeGenerator->generateCodeWithHtmlTemplate(
            page, pagePath, KELComponentCodeGeneratorResourcePaths(m_preInsertDirectoryPath), KELInsertType::PreInsert);
    }
    m_preInsertHtmlContent = page;
    return pagePath;
}

QList<KELCodeGeneratorFile> KELComponentController::sourceFiles() const
{
    QList<KELCodeGeneratorFile> files;
    for (const KELCodeGeneratorFile& file : m_preInsertResult.includes()) {
        // Binary includes have nothing to show as text.
        if (!file.include() || int(file.include()->type()) != 4)
            files.append(file);
    }
    std::sort(files.begin(), files.end(), [](const KELCodeGeneratorFile& a, const KELCodeGeneratorFile& b) {
        return a.insertedResourceDisplayName() < b.insertedResourceDisplayName();
    });
    return files;
}

void KELComponentController::fillSourceFiles()
{
    if (!m_sourceFiles)
        return;
    // A regenerated list keeps the selected file (the same include).
    const KELComponentInclude* selected = nullptr;
    const int row = m_sourceFiles->currentRow();
    if (row >= 0 && row < m_shownSourceFiles.size())
        selected = m_shownSourceFiles.at(row).include();
    m_shownSourceFiles = sourceFiles();
    m_fillingSourceFiles = true;
    m_sourceFiles->clear();
    int keep = -1;
    for (int i = 0; i < m_shownSourceFiles.size(); ++i) {
        m_sourceFiles->addItem(m_shownSourceFiles.at(i).insertedResourceDisplayName());
        if (selected && m_shownSourceFiles.at(i).include() == selected)
            keep = i;
    }
    m_sourceFiles->setCurrentRow(keep);
    // Without included files the page alone is shown.
    m_sourceFiles->setVisible(!m_shownSourceFiles.isEmpty());
    m_fillingSourceFiles = false;
}

std::optional<KELCodeGeneratorFile> KELComponentController::selectedSourceFile() const
{
    const int row = m_sourceFiles ? m_sourceFiles->currentRow() : -1;
    if (row < 0 || row >= m_shownSourceFiles.size())
        return std::nullopt;
    return m_shownSourceFiles.at(row);
}

QString KELComponentController::syntaxNameForInclude(const KELComponentInclude* include)
{
    if (!include)
        return QStringLiteral("HTML");
    return int(include->type()) == 1 ? QStringLiteral("CSS") : QStringLiteral("JavaScript");
}

void KELComponentController::updateSelectedSourceFileContent()
{
    if (!m_sourceTextView || !m_sourceStack)
        return;
    const std::optional<KELCodeGeneratorFile> file = selectedSourceFile();
    const int type = file && file->include() ? int(file->include()->type()) : -1;
    if (type == 2 || type == 4) {
        const QImage image = QImageReader(m_preInsertResult.pathForInclude(*file)).read();
        m_sourceImageView->setPixmap(QPixmap::fromImage(image));
        m_sourceImageView->resize(image.size());
        m_sourceStack->setCurrentIndex(1);
        m_shownSourceSyntax = QStringLiteral("Image");
        return;
    }
    QString text = m_preInsertHtmlContent;
    if (file) {
        QFile contents(m_preInsertResult.pathForInclude(*file));
        text = contents.open(QIODevice::ReadOnly) ? QString::fromUtf8(contents.readAll()) : QString();
    }
    m_shownSourceSyntax = syntaxNameForInclude(file ? file->include() : nullptr);
    m_sourceTextView->setString(text);
    m_sourceStack->setCurrentIndex(0);
    // The whole text is coloured in one pass.
    if (SyntaxType* syntax = SyntaxManager::sharedInstance().typeForName(m_shownSourceSyntax)) {
        const qsizetype length = text.size();
        SyntaxInfo info(kit::Range(0, length));
        info.setSwitchIndex(length + 1);
        info.setMaxColoringLength(quint64(length + 1));
        syntax->colorHTMLView(m_sourceTextView.data(), info, false, nullptr);
    }
}

void KELComponentController::previewInBrowser(const QString& browser)
{
    const QString path = performPreviewCodeGeneration(false);
    KELPreviewUtils::sharedInstance().previewLocation(path, QString(), browser);
}

void KELComponentController::showHelp()
{
    HelpUtils::showHelpForComponent(m_component->name().value_or(QString()));
}

// --- Insert

void KELComponentController::insert()
{
    if (!m_window)
        return;
    performPreInsertCodeGeneration();
    if (!m_insertSheet)
        m_insertSheet = new KELComponentInsertSheet(*this, m_window);
    m_insertSheet->prepare();
    m_insertSheet->open();
}

void KELComponentController::insertDidComplete()
{
    // The window closes once the sheet's event is over.
    QPointer<KELComponentWindow> window = m_window;
    QTimer::singleShot(0, this, [window] {
        if (window) {
            window->setWindowModified(false);
            window->close();
        }
    });
}

// --- Restoration

void KELComponentController::encodeRestorableState(QVariantMap& state) const
{
    state.insert(ComponentNameKey, m_component->name().value_or(QString()));
    QVariantMap root;
    if (m_rootController)
        m_rootController->encodeRestorableState(root);
    QByteArray data;
    QDataStream stream(&data, QIODevice::WriteOnly);
    stream << root;
    state.insert(RootControllerKey, data);
}

void KELComponentController::restoreState(const QVariantMap& state)
{
    QByteArray data = state.value(RootControllerKey).toByteArray();
    QDataStream stream(&data, QIODevice::ReadOnly);
    QVariantMap root;
    stream >> root;
    if (stream.status() == QDataStream::Ok && m_rootController)
        m_rootController->restoreState(root);
    // Restored values are where the window starts: nothing to undo, nothing changed.
    if (KELComponentUndoManager* manager = undoManager())
        manager->removeAllActions();
    if (m_window)
        m_window->setWindowModified(false);
    updatePreviewAndSourceView();
}

void KELComponentController::registerWindowRestoration()
{
    kit::WindowRestoration::registerRestorationClass(RestorationClassName, [](const QVariantMap& window) { restoreWindow(window); });
}

KELComponentController* KELComponentController::restoreWindow(const QVariantMap& savedWindow)
{
    const QVariantMap state = savedWindow.value(kit::WindowRestoration::StateKey).toMap();
    const QString name = state.value(ComponentNameKey).toString();
    const std::shared_ptr<KELComponent> component = name.isEmpty() ? nullptr : KELComponentManager::sharedInstance().componentWithName(name);
    if (!component) {
        kit::log(QStringLiteral("The component window of \"%1\" is not restored: there is no such component").arg(name));
        return nullptr;
    }
    KELComponentController* controller = KELOpenComponentWindow(component);
    if (controller && controller->m_windowController)
        controller->m_windowController->restoreState(state);
    return controller;
}

// --- Links

KELComponentController::NavigationDecision KELComponentController::navigationDecision(const QUrl& url, bool linkClicked, bool isMainFrame)
{
    if (isPageScheme(url.scheme().toLower()))
        return NavigationDecision::Load;
    // Only a link the user follows goes to the browser; the page's own loads and
    // redirects are refused quietly, so a regeneration never opens a browser.
    if (linkClicked && isMainFrame)
        return NavigationDecision::OpenExternally;
    return NavigationDecision::Ignore;
}

void KELComponentController::setExternalURLOpener(std::function<void(const QUrl&)> opener)
{
    externalOpener() = std::move(opener);
}

void KELComponentController::openExternalURL(const QUrl& url)
{
    if (externalOpener())
        externalOpener()(url);
    else
        QDesktopServices::openUrl(url);
}

// --- KELComponentWindow

KELComponentWindow::KELComponentWindow(KELComponentController* controller) : m_controller(controller) { }

bool KELComponentWindow::endEditing()
{
    QWidget* focused = focusWidget();
    if (!focused)
        return true;
    focused->clearFocus();
    focused->setFocus();
    return true;
}

void KELComponentWindow::closeEvent(QCloseEvent* event)
{
    // The window controller has asked already, when there is one.
    if (m_controller && !m_controller->windowController() && !m_controller->windowShouldClose()) {
        event->ignore();
        return;
    }
    QMainWindow::closeEvent(event);
}
