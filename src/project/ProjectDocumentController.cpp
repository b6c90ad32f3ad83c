#include "project/ProjectDocumentController.h"

#include "support/DefaultsKeys.h"
#include "document/KELFilePrefs.h"
#include "document/KELFilePrefsManager.h"
#include "document/KELSplitView.h"
#include "editor/KELHTMLView.h"
#include "document/MyDocument.h"
#include "document/MyDocumentController.h"
#include "kit/Alert.h"
#include "kit/Log.h"
#include "kit/NotificationCenter.h"
#include "kit/UserDefaults.h"
#include "kit/document/WindowRestoration.h"
#include "project/DirectoryItem.h"
#include "project/ProjectFileIndex.h"
#include "project/ProjectOutlineModel.h"
#include "project/ProjectServices.h"
#include "support/KELFileTypeManager.h"
#include "support/StringAdditions.h"
#include "support/UtilityFunctions.h"

#include <QApplication>
#include <QDataStream>
#include <QDesktopServices>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QMainWindow>
#include <QMenu>
#include <QToolButton>
#include <QVBoxLayout>
#include <utility>

namespace {
// The main thread's share of one round of reading folders again.
constexpr qint64 kReadRoundMilliseconds = 20;
// Expanded rows are saved once they have stopped changing for this long.
constexpr int kExpandedSaveDelay = 1000;

const QString ApplicationWillTerminateNotification = QStringLiteral("KELApplicationWillTerminateNotification");
const QString FileManagerDidMoveURLToTrashNotification = QStringLiteral("KELFileManagerDidMoveURLToTrashNotification");

QString standardized(const QString& path)
{
    return stringByStandardizingPath(path);
}

QByteArray archiveMap(const QVariantMap& map)
{
    QByteArray data;
    QDataStream out(&data, QIODevice::WriteOnly);
    out << map;
    return data;
}

QVariantMap unarchiveMap(const QByteArray& data)
{
    QVariantMap map;
    QDataStream in(data);
    in >> map;
    return in.status() == QDataStream::Ok ? map : QVariantMap();
}
} // namespace

ProjectDocumentController::ProjectDocumentController(const QString& directory)
    : ProjectDocumentController(directory, shouldUseTabs())
{
}

ProjectDocumentController::ProjectDocumentController(const QString& directory, bool usesTabs)
    : DocumentWindowController(usesTabs), m_directory(standardized(directory))
{
    if (ProjectServices::shared().addRecentProject)
        ProjectServices::shared().addRecentProject(m_directory);
    m_dragString = QStringLiteral("ProjectFileLinkPboardType") + m_directory;
    m_root = std::make_unique<DirectoryItem>(m_directory);
    m_root->updateContainedItems();
    m_model = new ProjectOutlineModel(m_root.get(), this);
    m_model->setRenameHandler([this](DirectoryItem* item, const QString& name) { renameItem(item, name); });
    m_fileIndex = new ProjectFileIndex(m_directory, this);
    m_model->setListingHandler([this](DirectoryItem* item) { folderListedInTree(item); });

    m_directoryUpdateTimer.setSingleShot(true);
    m_directoryUpdateTimer.setInterval(0);
    connect(&m_directoryUpdateTimer, &QTimer::timeout, this, [this] { updateDirectory(); });
    // Changes on disk come in bursts (a checkout, a build): one refresh for each burst.
    m_diskChangeTimer.setSingleShot(true);
    m_diskChangeTimer.setInterval(100);
    connect(&m_diskChangeTimer, &QTimer::timeout, this, [this] { refreshChangedFolders(); });
    connect(&m_watcher, &QFileSystemWatcher::directoryChanged, this, [this](const QString& path) { folderChangedOnDisk(path); });
    m_readTimer.setSingleShot(true);
    m_readTimer.setInterval(0);
    connect(&m_readTimer, &QTimer::timeout, this, [this] { readPendingFolders(); });
    m_expandedSaveTimer.setSingleShot(true);
    m_expandedSaveTimer.setInterval(kExpandedSaveDelay);
    connect(&m_expandedSaveTimer, &QTimer::timeout, this, [this] { saveExpandedItems(); });
    addAction(QStringLiteral("saveAll:"), [this](QObject*) { saveAll(); }, [this](QAction*) {
        for (MyDocument* document : documents())
            if (document->isDocumentEdited())
                return true;
        return false;
    });

    auto& center = kit::NotificationCenter::defaultCenter();
    center.addObserver(ApplicationWillTerminateNotification, nullptr, [this](const kit::Notification&) { savePrefs(); }, this);
    center.addObserver(KELFileTypesDidChangeNotification, nullptr, [this](const kit::Notification&) { fileTypesDidChange(); }, this);
    center.addObserver(FileManagerDidMoveURLToTrashNotification, nullptr, [this](const kit::Notification&) {
        updateDirectory();
    }, this);
    updateWatchedFolders();
}

ProjectDocumentController::~ProjectDocumentController()
{
    kit::NotificationCenter::defaultCenter().removeObservers(this);
    m_directoryUpdateTimer.stop();
    m_diskChangeTimer.stop();
    m_readTimer.stop();
    m_expandedSaveTimer.stop();
    if (m_outline)
        m_outline->setModel(nullptr);
    delete m_model;
    m_model = nullptr;
}

bool ProjectDocumentController::shouldUseTabs()
{
    return kit::UserDefaults::standard().boolValue(KELUseTabbedInterfaceInProjectsKey);
}

QString ProjectDocumentController::expandedItemAutosaveNameForDirectory(const QString& directory)
{
    return QStringLiteral("ProjectOutline:%1").arg(directory);
}

QString ProjectDocumentController::frameAutosaveNameForDirectory(const QString& directory)
{
    return QStringLiteral("FrameAutosave:%1").arg(directory);
}

QString ProjectDocumentController::splitViewAutosaveNameForDirectory(const QString& directory)
{
    return QStringLiteral("SplitViewAutosave:%1").arg(directory);
}

QString ProjectDocumentController::expandedItemsDefaultsKey(const QString& directory)
{
    return QStringLiteral("NSOutlineView Items %1").arg(expandedItemAutosaveNameForDirectory(directory));
}

KELFilePrefs& ProjectDocumentController::projectPrefs() const
{
    return KELFilePrefsManager::sharedProjectPrefsManager().filePrefsForFile(m_directory);
}

// ---------------------------------------------------------------- opening

ProjectDocumentController* ProjectDocumentController::projectForDirectory(const QString& directory)
{
    MyDocumentController* controller = MyDocumentController::sharedDocumentController();
    if (!controller)
        return nullptr;
    const QString wanted = standardized(directory);
    for (DocumentWindowController* window : controller->projectDocuments()) {
        auto* project = qobject_cast<ProjectDocumentController*>(window);
        if (project && project->directory() == wanted && !project->isClosingWindow())
            return project;
    }
    return nullptr;
}

ProjectDocumentController* ProjectDocumentController::openProject(const QString& directory, bool display)
{
    if (ProjectDocumentController* open = projectForDirectory(directory)) {
        if (display)
            open->showWindow();
        return open;
    }
    MyDocumentController* controller = MyDocumentController::sharedDocumentController();
    if (controller)
        controller->beginOpeningProject();
    auto* project = new ProjectDocumentController(directory);
    project->loadWindow();
    if (controller) {
        controller->addProjectDocument(project);
        controller->endOpeningProject();
    }
    if (display)
        project->showWindow();
    return project;
}

ProjectDocumentController* ProjectDocumentController::restoreWindow(const QVariantMap& savedWindow)
{
    const QVariantMap state = savedWindow.value(kit::WindowRestoration::StateKey).toMap();
    const QUrl url(state.value(KELProjectDocumentControllerDirectoryKey).toString());
    if (!url.isLocalFile() || !QFileInfo(url.toLocalFile()).isDir())
        return nullptr;
    MyDocumentController* documentController = MyDocumentController::sharedDocumentController();
    if (!documentController)
        return nullptr;
    documentController->beginOpeningProject();
    const bool tabs = state.value(KELProjectDocumentControllerUsesTabsKey, shouldUseTabs()).toBool();
    auto* project = new ProjectDocumentController(url.toLocalFile(), tabs);
    project->loadWindow();
    documentController->addProjectDocument(project);
    // Documents with unsaved changes come back from their side files.
    for (const QVariant& entry : savedWindow.value(kit::WindowRestoration::DocumentsKey).toList()) {
        const QVariantMap saved = entry.toMap();
        const QUrl fileURL(saved.value(kit::WindowRestoration::FileURLKey).toString());
        const QUrl autosaveURL(saved.value(kit::WindowRestoration::AutosaveURLKey).toString());
        const bool hasSideFile = autosaveURL.isLocalFile() && QFileInfo::exists(autosaveURL.toLocalFile());
        MyDocument* document = qobject_cast<MyDocument*>(documentController->documentForURL(fileURL));
        if (!document) {
            if (!hasSideFile && (!fileURL.isLocalFile() || !QFileInfo::exists(fileURL.toLocalFile())))
                continue;
            kit::Error error;
            std::unique_ptr<kit::Document> made = documentController->makeDocumentForRestoration(
                fileURL, hasSideFile ? autosaveURL : QUrl(), saved.value(kit::WindowRestoration::FileTypeKey).toString(), &error);
            document = qobject_cast<MyDocument*>(made.get());
            if (!document)
                continue;
            made.release();
            documentController->addDocument(document);
        }
        document->restoreState(saved.value(kit::WindowRestoration::DocumentStateKey).toMap());
        project->addDocument(document);
    }
    project->restoreState(state);
    documentController->endOpeningProject();
    project->showWindow();
    return project;
}

// ---------------------------------------------------------------- window

QWidget* ProjectDocumentController::makeCentralView(QWidget* editorArea)
{
    auto* split = new KELSplitView(Qt::Horizontal);
    split->setObjectName(QStringLiteral("splitView"));
    split->setChildrenCollapsible(true);
    m_splitView = split;

    auto* column = new QWidget;
    column->setObjectName(QStringLiteral("projectColumn"));
    auto* columnLayout = new QVBoxLayout(column);
    columnLayout->setContentsMargins(0, 0, 0, 0);
    columnLayout->setSpacing(0);
    auto* left = new KELSplitView(Qt::Vertical, column);
    left->setObjectName(QStringLiteral("leftSplitView"));
    left->setHandleWidth(1);
    m_leftSplitView = left;
    auto* outline = new ProjectOutlineView(left);
    outline->setModel(m_model);
    outline->setOutlineDelegate(this);
    m_outline = outline;
    left->addWidget(outline);
    columnLayout->addWidget(left, 1);

    auto* bar = new QWidget(column);
    auto* barLayout = new QHBoxLayout(bar);
    barLayout->setContentsMargins(2, 2, 2, 2);
    auto* addFile = new QToolButton(bar);
    addFile->setObjectName(QStringLiteral("addFilePopUpButton"));
    addFile->setIcon(QIcon::fromTheme(QStringLiteral("list-add")));
    addFile->setText(QStringLiteral("+"));
    addFile->setToolTip(QStringLiteral("Add New File"));
    addFile->setAccessibleName(QStringLiteral("Add New File"));
    addFile->setPopupMode(QToolButton::InstantPopup);
    auto* addMenu = new QMenu(addFile);
    addMenu->addActions(outline->makeAddFileMenuItems(addMenu));
    addFile->setMenu(addMenu);
    m_addFilePopUp = addFile;
    auto* action = new QToolButton(bar);
    action->setObjectName(QStringLiteral("actionPopUpButton"));
    action->setIcon(QIcon::fromTheme(QStringLiteral("configure"), QIcon::fromTheme(QStringLiteral("preferences-system"))));
    action->setToolTip(QStringLiteral("Actions"));
    action->setText(QStringLiteral("Actions"));
    action->setPopupMode(QToolButton::InstantPopup);
    auto* actionMenu = new QMenu(action);
    actionMenu->addActions(outline->makeActionMenuItems(actionMenu));
    action->setMenu(actionMenu);
    m_actionPopUp = action;
    for (QMenu* menu : {addMenu, actionMenu}) {
        QPointer<ProjectOutlineView> view(outline);
        connect(menu, &QMenu::aboutToShow, menu, [menu, view] {
            if (view)
                view->validateMenuItems(menu->actions());
        });
    }
    auto* navigator = new QToolButton(bar);
    navigator->setObjectName(QStringLiteral("codeNavigatorButton"));
    navigator->setCheckable(true);
    navigator->setIcon(QIcon::fromTheme(QStringLiteral("view-list-tree")));
    navigator->setToolTip(QStringLiteral("Show/Hide Navigator"));
    navigator->setText(QStringLiteral("Navigator"));
    connect(navigator, &QToolButton::clicked, this, [this](bool on) { showCodeNavigator(on, true); });
    m_codeNavigatorButton = navigator;
    barLayout->addWidget(addFile);
    barLayout->addWidget(action);
    barLayout->addStretch();
    barLayout->addWidget(navigator);
    columnLayout->addWidget(bar);

    split->addWidget(column);
    split->addWidget(editorArea);
    split->setStretchFactor(1, 1);
    split->setConstrainer([](KELSplitView* view, int proposed, int dividerIndex) {
        return dividerIndex == 0 ? constrainMainSplitPosition(proposed, view->width()) : proposed;
    });
    left->setConstrainer([this](KELSplitView* view, int proposed, int) {
        if (view->count() == 2 && !view->isAnimating())
            return qMin(proposed, view->height() - 23);
        return proposed;
    });
    left->installEventFilter(this);
    connect(left, &QSplitter::splitterMoved, this, [this] { keepNavigatorMinimumHeight(); });
    connect(split, &QSplitter::splitterMoved, this, [this] {
        if (m_splitView)
            kit::UserDefaults::standard().setValue(splitViewAutosaveNameForDirectory(m_directory), m_splitView->saveState());
    });

    connect(outline->selectionModel(), &QItemSelectionModel::selectionChanged, this, [this] { outlineViewSelectionDidChange(); });
    // The expanded folders are watched as they open and close, and saved after a pause.
    connect(outline, &ProjectOutlineView::expandedItemChanged, this, [this](DirectoryItem* item, bool expanded) {
        if (expanded)
            watchFolder(item->path());
        else
            unwatchFolder(item->path());
        m_expandedSaveTimer.start();
    });
    connect(outline, &ProjectOutlineView::allCollapsed, this, [this] {
        updateWatchedFolders();
        m_expandedSaveTimer.start();
    });
    return split;
}

void ProjectDocumentController::windowDidLoad()
{
    DocumentWindowController::windowDidLoad();
    m_windowLoaded = true;
    if (tabbedEditor()) {
        tabbedEditor()->setAllowsDragAcrossControllers(false);
        tabbedEditor()->setAllowsNoTabs(true);
    }
    QWidget* w = window();
    w->setProperty("kelpProjectWindow", true);
    w->setObjectName(QStringLiteral("ProjectWindow"));
    w->installEventFilter(this);

    auto& defaults = kit::UserDefaults::standard();
    const QString frameName = frameAutosaveNameForDirectory(m_directory);
    const bool hadFrame = defaults.value(kit::WindowController::frameDefaultsKey(frameName)).isValid();
    setWindowFrameAutosaveName(frameName);
    if (hadFrame && m_splitView) {
        const QByteArray saved = defaults.value(splitViewAutosaveNameForDirectory(m_directory)).toByteArray();
        if (!saved.isEmpty())
            m_splitView->restoreState(saved);
        if (m_splitView->sizes().value(0) <= 1)
            m_splitView->setSizes({100, qMax(100, m_splitView->width() - 100)});
    } else if (m_splitView) {
        m_splitView->setSizes({220, 680});
    }
    restoreExpandedItems();
    outlineViewSelectionDidChange();
    synchronizeWindowTitleWithDocumentName();

    KELFilePrefs& prefs = projectPrefs();
    if (prefs.isShowingCodeNavigator())
        showCodeNavigator(true, false);
    if (usesTabs() && tabbedEditor()) {
        const QByteArray tabState = prefs.tabState();
        if (!tabState.isEmpty())
            tabbedEditor()->restoreWithCoder(unarchiveMap(tabState));
    }
}

void ProjectDocumentController::windowShouldClose(std::function<void(bool)> done)
{
    savePrefsBeforeClosing();
    DocumentWindowController::windowShouldClose(std::move(done));
}

void ProjectDocumentController::closeAllDocuments(std::function<void(bool)> done)
{
    savePrefsBeforeClosing();
    DocumentWindowController::closeAllDocuments(std::move(done));
}

void ProjectDocumentController::savePrefsBeforeClosing()
{
    // The documents close one by one from here on: what comes back from Recent
    // Projects is the tabs as they are now.
    if (m_prefsSavedForClose && (isInCloseSequence() || isClosingWindow()))
        return;
    m_prefsSavedForClose = false;
    savePrefs();
    m_prefsSavedForClose = true;
}

void ProjectDocumentController::windowWillClose()
{
    savePrefsBeforeClosing();
    m_readTimer.stop();
    m_foldersToRead.clear();
    m_watcher.removePaths(m_watcher.directories());
    m_watchedFolders.clear();
    DocumentWindowController::windowWillClose();
    if (MyDocumentController* controller = MyDocumentController::sharedDocumentController())
        controller->removeProjectDocument(this);
}

bool ProjectDocumentController::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_leftSplitView && event->type() == QEvent::Resize) {
        // The column has its size now: the navigator takes the height it was given.
        if (m_pendingNavigatorHeight && m_leftSplitView->height() > 0) {
            const int height = *m_pendingNavigatorHeight;
            m_pendingNavigatorHeight.reset();
            applyNavigatorHeight(navigatorHeightForShowing(height, m_leftSplitView->height()));
        }
        keepNavigatorMinimumHeight();
    }
    if (watched == window() && event->type() == QEvent::WindowActivate) {
        // The watcher reports changes as they happen; coming back reads only what it
        // cannot report, or everything after the file types changed.
        if (m_needsItemUpdate) {
            m_needsItemUpdate = false;
            updateDirectory();
        } else if (!m_unwatchedFolders.isEmpty()) {
            readFolders(m_unwatchedFolders);
        }
    }
    return DocumentWindowController::eventFilter(watched, event);
}

void ProjectDocumentController::fileTypesDidChange()
{
    // Hidden types may have changed: the index lists the project again.
    if (m_fileIndex->isReady())
        m_fileIndex->refresh();
    if (window() && window()->isActiveWindow()) {
        updateDirectory();
        if (m_outline)
            m_outline->viewport()->update();
    } else {
        m_needsItemUpdate = true;
    }
}

void ProjectDocumentController::synchronizeWindowTitleWithDocumentName()
{
    QWidget* w = window();
    if (!w)
        return;
    QString path = currentDocument() ? currentDocument()->filePath() : QString();
    if (path.isEmpty() && tabbedEditor())
        path = tabbedEditor()->currentPath();
    const QString folderName = QFileInfo(m_directory).fileName().isEmpty() ? m_directory : QFileInfo(m_directory).fileName();
    if (!path.isEmpty()) {
        QString title = QStringLiteral("%1 \u2014 %2").arg(folderName, QFileInfo(path).fileName());
        if (currentDocument() && currentDocument()->isDocumentEdited())
            title += QStringLiteral(" [*]");
        w->setWindowTitle(title);
        w->setWindowFilePath(path);
    } else {
        w->setWindowTitle(folderName);
        w->setWindowFilePath(m_directory);
    }
    w->setWindowModified(currentDocument() && currentDocument()->isDocumentEdited());
    w->setWindowIcon(UtilityFunctions::iconForPath(m_directory));
}

void ProjectDocumentController::documentDidChange(TabbedEditorController* editor)
{
    DocumentWindowController::documentDidChange(editor);
    if (MyDocument* document = currentDocument()) {
        if (!usesTabs() && !document->filePath().isEmpty())
            selectFileInTree(document->filePath(), false, false);
    } else if (!usesTabs() && tabbedEditor() && !tabbedEditor()->currentPath().isEmpty()) {
        selectFileInTree(tabbedEditor()->currentPath(), false, false);
    }
}

bool ProjectDocumentController::validateAction(const QString& action, QAction* item)
{
    if (action == QLatin1String("performCloseTab:"))
        return usesTabs() && numTabs() >= 1;
    return DocumentWindowController::validateAction(action, item);
}

// ---------------------------------------------------------------- saved state

void ProjectDocumentController::savePrefs()
{
    // Once closing, the documents are going: the state saved as it began holds.
    if (m_prefsSavedForClose && (isInCloseSequence() || isClosingWindow()))
        return;
    KELFilePrefs& prefs = projectPrefs();
    const bool showing = isShowingCodeNavigator();
    prefs.setIsShowingCodeNavigator(showing);
    if (showing && m_pendingNavigatorHeight)
        prefs.setNavigationSplitSplitterPosition(double(*m_pendingNavigatorHeight));
    else if (showing && m_leftSplitView && m_leftSplitView->count() == 2)
        prefs.setNavigationSplitSplitterPosition(double(m_leftSplitView->widget(1)->height()));
    if (usesTabs() && tabbedEditor()) {
        QVariantMap tabs;
        tabbedEditor()->encodeWithCoder(tabs);
        prefs.setTabState(archiveMap(tabs));
    } else {
        prefs.setTabState(QByteArray());
    }
    KELFilePrefsManager::sharedProjectPrefsManager().saveFilePrefs(prefs);
    saveExpandedItems();
    if (m_splitView && m_windowLoaded)
        kit::UserDefaults::standard().setValue(splitViewAutosaveNameForDirectory(m_directory), m_splitView->saveState());
}

void ProjectDocumentController::saveExpandedItems()
{
    m_expandedSaveTimer.stop();
    if (!m_outline || !m_windowLoaded)
        return;
    // Folders only, parents before their children.
    QStringList paths;
    for (const DirectoryItem* item : m_outline->expandedItemSet()) {
        if (item->isFolder())
            paths << item->path();
    }
    paths.sort();
    kit::UserDefaults::standard().setValue(expandedItemsDefaultsKey(m_directory), paths);
}

void ProjectDocumentController::restoreExpandedItems()
{
    if (!m_outline)
        return;
    // Older lists hold files too, in row order; only folders are expanded, parents
    // first, a few at a time when there are many.
    QStringList paths = kit::UserDefaults::standard().stringListValue(expandedItemsDefaultsKey(m_directory));
    paths.removeAll(m_root->path());
    paths.sort();
    paths.removeDuplicates();
    m_outline->expandPaths(paths);
}

void ProjectDocumentController::encodeRestorableState(QVariantMap& state) const
{
    DocumentWindowController::encodeRestorableState(state);
    state[KELProjectDocumentControllerDirectoryKey] = QUrl::fromLocalFile(m_directory).toString();
    state[KELProjectDocumentControllerUsesTabsKey] = usesTabs();
}

void ProjectDocumentController::restoreState(const QVariantMap& state)
{
    // The tabs come from the project's record (when the window loaded); the
    // selected file of the saved state is shown again.
    kit::WindowController::restoreState(state);
    if (state.contains(KELDocumentWindowControllerSelectedURLKey))
        openAndDisplayDocumentWithURL(QUrl(state.value(KELDocumentWindowControllerSelectedURLKey).toString()));
}

// ---------------------------------------------------------------- tree queries

QList<std::shared_ptr<DocumentContents>> ProjectDocumentController::allDocumentsAndPlaceholders() const
{
    // The window's documents (untitled ones too) and tabs not loaded yet. The other
    // files of the project come from its file index, listed off the main thread.
    QList<std::shared_ptr<DocumentContents>> list;
    QSet<const DocumentContents*> known;
    for (MyDocument* document : documents()) {
        known.insert(document);
        list << std::shared_ptr<DocumentContents>(std::shared_ptr<DocumentContents>(), document);
    }
    for (const std::shared_ptr<DocumentContents>& contents : DocumentWindowController::allDocumentsAndPlaceholders()) {
        if (contents && !known.contains(contents.get()))
            list << contents;
    }
    return list;
}

DirectoryItem* ProjectDocumentController::itemForPath(const QString& path)
{
    return m_root->itemForPath(path);
}

void ProjectDocumentController::redisplayItemForFileName(const QString& path)
{
    DirectoryItem* item = m_root->itemForPath(path);
    if (!item)
        return;
    if (item == m_root.get()) {
        if (m_outline)
            m_outline->viewport()->update();
        return;
    }
    m_model->redisplayItem(item);
}

void ProjectDocumentController::updateItemsOnPath(const QString& path)
{
    m_root->updateItemsOnPath(path);
    updateWatchedFolders();
}

void ProjectDocumentController::selectFileInTree(const QString& path, bool makeFirstResponder, bool scrollToFile)
{
    DirectoryItem* item = m_root->itemForPath(path);
    if (!item || !m_outline || item == m_root.get())
        return;
    // Ancestors outermost first.
    QList<DirectoryItem*> ancestors;
    for (DirectoryItem* parent = item->parent(); parent && parent != m_root.get(); parent = parent->parent())
        ancestors.prepend(parent);
    for (DirectoryItem* ancestor : std::as_const(ancestors))
        m_outline->expand(m_model->indexForItem(ancestor));
    m_outline->selectItem(item);
    if (makeFirstResponder)
        m_outline->setFocus(Qt::OtherFocusReason);
    if (scrollToFile)
        m_outline->scrollTo(m_model->indexForItem(item));
}

void ProjectDocumentController::setNeedsDirectoryUpdate(bool needed)
{
    m_directoryUpdateTimer.stop();
    if (needed)
        m_directoryUpdateTimer.start();
}

void ProjectDocumentController::updateDirectory()
{
    m_directoryUpdateTimer.stop();
    QSet<QString> folders{m_root->path()};
    if (m_outline) {
        for (const DirectoryItem* item : m_outline->expandedItemSet())
            folders.insert(item->path());
    }
    readFolders(folders);
}

QStringList ProjectDocumentController::watchedFolders() const
{
    return m_watcher.directories();
}

void ProjectDocumentController::watchFolder(const QString& path)
{
    if (m_watchedFolders.contains(path))
        return;
    if (m_watcher.addPath(path)) {
        m_watchedFolders.insert(path);
        m_unwatchedFolders.remove(path);
    } else if (QFileInfo(path).isDir()) {
        m_unwatchedFolders.insert(path);
    }
}

void ProjectDocumentController::unwatchFolder(const QString& path)
{
    m_unwatchedFolders.remove(path);
    if (m_watchedFolders.remove(path))
        m_watcher.removePath(path);
}

void ProjectDocumentController::updateWatchedFolders()
{
    // After paths changed (a rename, a move): the watched folders are the root and
    // the expanded folders under their present paths.
    QSet<QString> wanted{m_root->path()};
    if (m_outline) {
        for (const DirectoryItem* item : m_outline->expandedItemSet()) {
            if (item->isFolder())
                wanted.insert(item->path());
        }
    }
    const QSet<QString> watched = m_watchedFolders;
    for (const QString& path : watched) {
        if (!wanted.contains(path))
            unwatchFolder(path);
    }
    for (auto it = m_unwatchedFolders.begin(); it != m_unwatchedFolders.end();) {
        if (!wanted.contains(*it))
            it = m_unwatchedFolders.erase(it);
        else
            ++it;
    }
    for (const QString& path : std::as_const(wanted))
        watchFolder(path);
}

void ProjectDocumentController::folderChangedOnDisk(const QString& path)
{
    m_changedFolders.insert(path);
    m_diskChangeTimer.start();
}

void ProjectDocumentController::refreshChangedFolders()
{
    readFolders(std::exchange(m_changedFolders, {}));
}

void ProjectDocumentController::readFolders(const QSet<QString>& paths)
{
    m_foldersToRead.unite(paths);
    readPendingFolders();
}

void ProjectDocumentController::readPendingFolders()
{
    QElapsedTimer clock;
    clock.start();
    // Parents before their children: a folder that went away takes its children along.
    QStringList order(m_foldersToRead.begin(), m_foldersToRead.end());
    order.sort();
    for (const QString& path : std::as_const(order)) {
        if (clock.elapsed() >= kReadRoundMilliseconds)
            break;
        m_foldersToRead.remove(path);
        readFolder(path);
    }
    if (!m_foldersToRead.isEmpty())
        m_readTimer.start();
}

void ProjectDocumentController::readFolder(const QString& path)
{
    DirectoryItem* item = m_root->path() == path ? m_root.get() : m_root->itemForPath(path);
    if (item)
        item->updateContainedItems();
    // A folder that went away is dropped by its parent's listing.
    if (!QFileInfo::exists(path)) {
        if (DirectoryItem* parent = m_root->itemForPath(QFileInfo(path).absolutePath()))
            parent->updateContainedItems();
        unwatchFolder(path);
    }
}

void ProjectDocumentController::folderListedInTree(DirectoryItem* item)
{
    ProjectFileIndex::Listing listing;
    listing.reserve(item->childCount());
    for (int i = 0; i < item->childCount(); ++i) {
        const DirectoryItem* child = item->childAt(i);
        listing.append(ProjectFileIndex::Entry{child->itemName(), child->isFolder()});
    }
    m_fileIndex->folderListed(item->path(), listing);
}

// ---------------------------------------------------------------- showing files

void ProjectDocumentController::showItemAtPath(const QString& path)
{
    if (DirectoryItem* item = m_root->itemForPath(path))
        showItem(item, 1);
}

void ProjectDocumentController::openAndDisplayDocumentWithURL(const QUrl& url)
{
    DirectoryItem* item = url.isLocalFile() ? m_root->itemForPath(url.toLocalFile()) : nullptr;
    if (!item) {
        // A file of the window that the tree does not list (a hidden type) still opens.
        if (url.isLocalFile() && isSubpathOfString(m_directory, url.toLocalFile()))
            DocumentWindowController::openAndDisplayDocumentWithURL(url);
        return;
    }
    const bool binary = KELFileTypeManager::sharedInstance().typeNameForPath(item->path()) == KELBinaryTypeName;
    showItem(item, binary ? 2 : 0);
}

void ProjectDocumentController::outlineViewShowItem(ProjectOutlineView*, DirectoryItem* item, int mode)
{
    showItem(item, mode);
}

void ProjectDocumentController::showItem(DirectoryItem* item, int mode)
{
    if (!item)
        return;
    if (item->isFolder()) {
        if (mode == 1 && m_outline)
            m_outline->expandItem(item);
        return;
    }
    if (MyDocument* open = item->documentIfExists(); open && open->isDocumentEdited()) {
        setCurrentDocument(open);
        if (mode == 1)
            giveKeyboardToDocument(open);
        return;
    }
    const QString path = item->path();
    if (mode != 2) {
        const QString type = KELFileTypeManager::sharedInstance().typeNameForPath(path);
        if (type == KELPDFTypeName) {
            if (mode == 1) {
                if (MyDocumentController* controller = MyDocumentController::sharedDocumentController()) {
                    kit::Error error;
                    if (!controller->openDocumentWithContentsOfURL(QUrl::fromLocalFile(path), true, &error) && error
                        && !error.isUserCancelled())
                        kit::Alert::fromError(error).runModal();
                }
            }
            return;
        }
        if (type == KELImageTypeName) {
            if (tabbedEditor())
                tabbedEditor()->showImageWithPath(path);
            return;
        }
        if (type == KELBinaryTypeName) {
            if (mode != 1)
                return;
            auto& defaults = kit::UserDefaults::standard();
            const QString extension = KELFileTypeManager::pathExtension(path);
            if (!defaults.boolValue(KELOpenFileExternallyAlertKey)
                && !KELFileTypeManager::sharedInstance().isRecognizedExtension(extension.isEmpty() ? std::optional<QString>() : std::optional<QString>(extension))) {
                defaults.setValue(KELOpenFileExternallyAlertKey, true);
                const QString app = QCoreApplication::applicationName();
                kit::Alert alert;
                alert.setMessageText(QStringLiteral("Open Externally"));
                alert.setInformativeText(
                    QStringLiteral("The document \"%1\" will open in an external application because its file extension%2 is not "
                                   "recognized. If this is a text file that you would like to open in %3, you can customize the "
                                   "file extensions listed in the File Types section of %4's Preferences.")
                        .arg(QFileInfo(path).fileName(), extension.isEmpty() ? QString() : QStringLiteral(" \"%1\"").arg(extension), app, app));
                alert.addButton(QStringLiteral("OK"));
                alert.runModal();
            }
            if (!QDesktopServices::openUrl(QUrl::fromLocalFile(path)) && ProjectServices::shared().revealInFileManager)
                ProjectServices::shared().revealInFileManager(path);
            return;
        }
    }
    MyDocumentController* controller = MyDocumentController::sharedDocumentController();
    if (!controller)
        return;
    kit::Error error;
    MyDocument* document = controller->openTextDocumentWithContentsOfURL(QUrl::fromLocalFile(path), false, &error);
    if (!document) {
        if (error && !error.isUserCancelled())
            kit::Alert::fromError(error).runModal();
        return;
    }
    document->loadViewObjects();
    setCurrentDocument(document);
    // Opened by the user (a double click, Return): what is typed next goes into the text.
    if (mode == 1)
        giveKeyboardToDocument(document);
}

void ProjectDocumentController::giveKeyboardToDocument(MyDocument* document)
{
    QPointer<QWidget> view = document ? static_cast<QWidget*>(document->textView()) : nullptr;
    if (!view)
        return;
    view->setFocus(Qt::OtherFocusReason);
    // Once the tree has finished with the click that opened the file.
    QTimer::singleShot(0, view, [view] {
        if (view && view->isVisible())
            view->setFocus(Qt::OtherFocusReason);
    });
}

void ProjectDocumentController::updateCurrentDocument(bool openBinary)
{
    if (!m_outline)
        return;
    const int mode = openBinary ? 1 : 0;
    if (usesTabs()) {
        for (DirectoryItem* item : m_outline->selectedItems())
            showItem(item, mode);
        return;
    }
    if (DirectoryItem* item = m_outline->selectedItem())
        showItem(item, mode);
}

void ProjectDocumentController::outlineViewSelectionDidChange()
{
    if (!m_outline || usesTabs() || !m_outline->selectionModel())
        return;
    if (m_outline->selectionModel()->selectedRows().size() == 1)
        updateCurrentDocument(false);
}

void ProjectDocumentController::alertOK(const QString& title, const QString& message)
{
    kit::Alert alert;
    alert.setMessageText(title);
    alert.setInformativeText(message);
    alert.addButton(QStringLiteral("OK"));
    alert.runModal();
}

void ProjectDocumentController::renameItem(DirectoryItem* item, const QString& name)
{
    if (!item)
        return;
    const QString parentPath = item->parent() ? item->parent()->path() : QString();
    const int result = item->setName(name);
    switch (result) {
    case DirectoryItem::RenameNameExists:
        alertOK(QStringLiteral("File Name Exists"), QStringLiteral("A file already exists with the specified file name."));
        break;
    case DirectoryItem::RenameFailed:
        alertOK(QStringLiteral("Rename Error"), QStringLiteral("There was an error renaming the file."));
        break;
    case DirectoryItem::RenameEmptyName:
        alertOK(QStringLiteral("Rename Error"), QStringLiteral("The file must be given a name."));
        break;
    default:
        break;
    }
    // The node may have been replaced by a refresh: find it again by path.
    if (!parentPath.isEmpty()) {
        QString newName = name;
        newName.replace(QLatin1Char('/'), QLatin1Char(':'));
        const QString path = result == DirectoryItem::RenameDone ? parentPath + QLatin1Char('/') + newName : QString();
        if (!path.isEmpty()) {
            // The row moves to its place under the new name.
            updateItemsOnPath(path);
            selectFileInTree(path, false, true);
        }
    }
}

// ---------------------------------------------------------------- navigator

bool ProjectDocumentController::isShowingCodeNavigator() const
{
    return m_leftSplitView && m_leftSplitView->count() == 2 && !m_leftSplitView->isAnimating();
}

int ProjectDocumentController::navigatorHeightForShowing(std::optional<double> stored, int columnHeight)
{
    double h = stored.value_or(150.0);
    if (h > columnHeight)
        h = columnHeight;
    if (h < 50.0)
        h = 100.0;
    return int(h);
}

int ProjectDocumentController::constrainMainSplitPosition(int proposed, int totalWidth)
{
    if (totalWidth - proposed < 150)
        return totalWidth;
    if (proposed < 50)
        return 0;
    return proposed;
}

void ProjectDocumentController::showCodeNavigator(bool show, bool animate)
{
    if (!m_leftSplitView || show == isShowingCodeNavigator())
        return;
    if (m_codeNavigatorButton)
        m_codeNavigatorButton->setChecked(show);
    QWidget* navigator = createCodeNavigator();
    if (!navigator)
        return;
    KELSplitView* left = m_leftSplitView;
    const int width = left->width();
    const int height = left->height();
    KELFilePrefs& prefs = projectPrefs();
    QList<QRect> targets;
    m_pendingNavigatorHeight.reset();
    if (show) {
        left->addWidget(navigator);
        navigator->show();
        // Not laid out yet (a window being restored): the heights are set once the
        // column has its size, so the tree keeps its room.
        if (!window() || !window()->isVisible() || height <= 0) {
            const std::optional<double> stored = prefs.navigationSplitViewSplitterPosition();
            m_pendingNavigatorHeight = int(stored.value_or(150.0));
            return;
        }
        const int h = navigatorHeightForShowing(prefs.navigationSplitViewSplitterPosition(), height);
        left->setSizes({height, 0});
        targets = {QRect(0, 0, width, qMax(0, height - h - left->handleWidth())), QRect(0, height - h, width, h)};
    } else {
        if (left->count() == 2)
            prefs.setNavigationSplitSplitterPosition(double(left->widget(1)->height()));
        prefs.setIsShowingCodeNavigator(false);
        KELFilePrefsManager::sharedProjectPrefsManager().saveFilePrefs(prefs);
        targets = {QRect(0, 0, width, height), QRect(0, height, width, 0)};
    }
    QPointer<QWidget> pane(navigator);
    QPointer<KELSplitView> split(left);
    auto finish = [show, pane, split] {
        if (!show && pane && split) {
            pane->hide();
            pane->setParent(nullptr);
        }
    };
    if (animate && window() && window()->isVisible()) {
        auto* animation = new KELSplitViewAnimation(left, targets, this);
        connect(animation, &QAbstractAnimation::finished, this, [finish, animation] {
            finish();
            animation->deleteLater();
        });
        animation->startAnimation();
    } else {
        left->setSizes({targets.at(0).height(), targets.at(1).height()});
        finish();
    }
}

void ProjectDocumentController::applyNavigatorHeight(int height)
{
    KELSplitView* left = m_leftSplitView;
    if (!left || left->count() != 2)
        return;
    const int total = left->height();
    left->setSizes({qMax(0, total - height - left->handleWidth()), height});
}

void ProjectDocumentController::keepNavigatorMinimumHeight()
{
    // The navigator pane stays at least 22 points tall; the tree gives up the room.
    KELSplitView* left = m_leftSplitView;
    if (!left || left->count() != 2 || left->isAnimating() || m_pendingNavigatorHeight || left->height() <= 0)
        return;
    const QList<int> sizes = left->sizes();
    if (sizes.value(1) >= MinimumNavigatorHeight)
        return;
    const int total = sizes.value(0) + sizes.value(1);
    left->setSizes({qMax(0, total - MinimumNavigatorHeight), MinimumNavigatorHeight});
}

void ProjectDocumentController::saveAll()
{
    for (MyDocument* document : documents())
        document->saveDocument();
}
