#include "app/MainMenu.h"
#include "htmlui/KELCodeClipMenus.h"

#include "app/AppController.h"
#include "kit/ActionRouter.h"
#include "support/KELInstalledBrowsers.h"

#include <QAbstractButton>
#include <QLayout>
#include <QMainWindow>
#include <QApplication>
#include <QEvent>
#include <QPointer>
#include <QAction>
#include <QMenu>
#include <QMenuBar>
#include <QSet>
#include <QShortcut>

namespace {

KELMenuItemSpec item(const QString& title, const QString& action, const QKeySequence& shortcut = {}, int tag = 0,
                     const QString& identifier = {})
{
    KELMenuItemSpec s;
    s.title = title;
    s.action = action;
    s.shortcut = shortcut;
    s.tag = tag;
    s.identifier = identifier;
    return s;
}

KELMenuItemSpec check(const QString& title, const QString& action, const QKeySequence& shortcut = {})
{
    KELMenuItemSpec s = item(title, action, shortcut);
    s.checkable = true;
    return s;
}

KELMenuItemSpec submenu(const QString& title, const QString& identifier, QList<KELMenuItemSpec> items)
{
    KELMenuItemSpec s;
    s.title = title;
    s.identifier = identifier;
    s.submenu = std::move(items);
    return s;
}

KELMenuItemSpec separator() { return {}; }

KELMenuItemSpec pdfMode(const QString& title, int mode)
{
    KELMenuItemSpec s = item(title, QStringLiteral("changePDFDisplayMode:"), {}, mode);
    s.checkable = true;
    return s;
}

// Items whose title names what the command does: the title travels as the item's data.
KELMenuItemSpec titled(const QString& title, const QString& action)
{
    KELMenuItemSpec s = item(title, action);
    s.data = title;
    return s;
}

QList<KELMenuItemSpec> formatTagItems()
{
    QList<KELMenuItemSpec> items;
    for (const char* title : {"Bold", "Italic", "Strikethrough", "Underline", "Subscript", "Superscript", "Big", "Small",
                              "Center Align", "Horizontal Rule", "Line Break", "Paragraph", "Link to URL"})
        items << titled(QString::fromLatin1(title), QStringLiteral("formatTags:"));
    return items;
}

QKeySequence keys(const char* s) { return QKeySequence(QString::fromLatin1(s)); }

QList<KELMenuSpec> buildModel()
{
    QList<KELMenuSpec> menus;
    menus.append({QStringLiteral("&File"), QStringLiteral("file"), {
        item(QStringLiteral("&New"), QStringLiteral("newDocument:"), QKeySequence::New),
        item(QStringLiteral("&Open…"), QStringLiteral("openDocument:"), QKeySequence::Open),
        item(QStringLiteral("Open &Quickly…"), QStringLiteral("openQuickly:"), keys("Ctrl+Shift+O")),
        submenu(QStringLiteral("Open &Recent"), QStringLiteral("openRecent"), {
            item(QStringLiteral("Clear Menu"), QStringLiteral("clearRecentDocuments:"), {}, 0, QStringLiteral("clearRecentDocuments")),
        }),
        submenu(QStringLiteral("Recent &Projects"), QStringLiteral("recentProjects"), {
            item(QStringLiteral("Clear Menu"), QString(), {}, 0, QStringLiteral("clearRecentProjects")),
        }),
        separator(),
        // The keys follow the front window's tabs (AppController::updateCloseWindowCommands).
        item(QStringLiteral("Close Window"), QStringLiteral("performClose:"), keys("Ctrl+W"), 0, QStringLiteral("closeWindow")),
        item(QStringLiteral("Close Tab"), QStringLiteral("performCloseTab:"), {}, 0, QStringLiteral("closeTab")),
        item(QStringLiteral("&Save"), QStringLiteral("saveDocument:"), QKeySequence::Save),
        item(QStringLiteral("Save A&ll"), QStringLiteral("saveAll:")),
        item(QStringLiteral("Save &As…"), QStringLiteral("saveDocumentAs:"), keys("Ctrl+Shift+S")),
        item(QStringLiteral("Save &To…"), QStringLiteral("saveDocumentTo:"), keys("Ctrl+Alt+S")),
        item(QStringLiteral("Re&vert to Saved"), QStringLiteral("revertDocumentToSaved:")),
        separator(),
        item(QStringLiteral("Show &Info"), QStringLiteral("getInfo:"), keys("Ctrl+I")),
        item(QStringLiteral("Open &With…"), QStringLiteral("openWith:")),
        item(QStringLiteral("E&xport as HTML…"), QStringLiteral("export:")),
        separator(),
        item(QStringLiteral("Page Set&up…"), QStringLiteral("runPageLayout:"), keys("Ctrl+Shift+P")),
        item(QStringLiteral("&Print…"), QStringLiteral("printDocument:"), QKeySequence::Print),
        separator(),
        item(QStringLiteral("&Quit Kelp Studio"), QStringLiteral("terminate:"), QKeySequence::Quit),
    }});
    menus.append({QStringLiteral("&Edit"), QStringLiteral("edit"), {
        item(QStringLiteral("&Undo"), QStringLiteral("undo:"), QKeySequence::Undo),
        item(QStringLiteral("&Redo"), QStringLiteral("redo:"), keys("Ctrl+Shift+Z")),
        separator(),
        item(QStringLiteral("Cu&t"), QStringLiteral("cut:"), QKeySequence::Cut),
        item(QStringLiteral("&Copy"), QStringLiteral("copy:"), QKeySequence::Copy),
        item(QStringLiteral("&Paste"), QStringLiteral("paste:"), QKeySequence::Paste),
        item(QStringLiteral("&Delete"), QStringLiteral("delete:")),
        item(QStringLiteral("Select &All"), QStringLiteral("selectAll:"), QKeySequence::SelectAll),
        separator(),
        submenu(QStringLiteral("&Find"), QStringLiteral("find"), {
            item(QStringLiteral("&Find…"), QStringLiteral("performFindPanelAction:"), QKeySequence::Find, 1),
            item(QStringLiteral("Find &Next"), QStringLiteral("performFindPanelAction:"), QKeySequence::FindNext, 2),
            item(QStringLiteral("Find &Previous"), QStringLiteral("performFindPanelAction:"), QKeySequence::FindPrevious, 3),
            item(QStringLiteral("Use Selection for Find"), QStringLiteral("performFindPanelAction:"), keys("Ctrl+E"), 7),
            item(QStringLiteral("Jump to Selection"), QStringLiteral("jumpToSelection:"), keys("Ctrl+J")),
            item(QStringLiteral("Find Non-ASCII"), QStringLiteral("findNonAscii:")),
            item(QStringLiteral("Replace with HTML Code"), QStringLiteral("replaceWithHTMLCode:")),
            separator(),
            item(QStringLiteral("&Batch Find…"), QStringLiteral("showBatchTextFinderPanel:"), keys("Ctrl+Shift+F")),
        }),
        item(QStringLiteral("&Go to Line…"), QStringLiteral("showGoToLineNumberPanel:"), keys("Ctrl+L")),
        separator(),
        item(QStringLiteral("Edit &Tag…"), QStringLiteral("editTag:"), keys("Ctrl+Shift+T"), 0, QStringLiteral("editTag")),
        item(QStringLiteral("Shift &Left"), QStringLiteral("shiftLeft:"), keys("Ctrl+[")),
        item(QStringLiteral("Shift &Right"), QStringLiteral("shiftRight:"), keys("Ctrl+]")),
        item(QStringLiteral("Co&mment Selection"), QStringLiteral("toggleComments:"), keys("Ctrl+/")),
        submenu(QStringLiteral("Format Tags"), QStringLiteral("formatTags"), formatTagItems()),
        item(QStringLiteral("&Organize Tags"), QStringLiteral("organizeTags:"), keys("Ctrl+Shift+I")),
        separator(),
        submenu(QStringLiteral("&Spelling"), QStringLiteral("spelling"), {
            item(QStringLiteral("Show Spelling…"), QStringLiteral("showGuessPanel:"), keys("Ctrl+:")),
            item(QStringLiteral("Check Document Now"), QStringLiteral("checkSpelling:"), keys("Ctrl+;")),
            separator(),
            check(QStringLiteral("Check Spelling While Typing"), QStringLiteral("toggleContinuousSpellChecking:")),
            check(QStringLiteral("Correct Spelling Automatically"), QStringLiteral("toggleAutomaticSpellingCorrection:")),
        }),
        submenu(QStringLiteral("Substitutions"), QStringLiteral("substitutions"), {
            check(QStringLiteral("Smart Copy/Paste"), QStringLiteral("toggleSmartInsertDelete:")),
            check(QStringLiteral("Smart Quotes"), QStringLiteral("toggleAutomaticQuoteSubstitution:")),
            check(QStringLiteral("Smart Dashes"), QStringLiteral("toggleAutomaticDashSubstitution:")),
        }),
        separator(),
        item(QStringLiteral("Pr&eferences…"), QStringLiteral("showPreferencePanel2:"), QKeySequence::Preferences),
    }});
    menus.append({QStringLiteral("&View"), QStringLiteral("view"), {
        check(QStringLiteral("Line &Numbers"), QStringLiteral("toggleLineNumbers:")),
        check(QStringLiteral("&Wrap Lines"), QStringLiteral("toggleWordWrap:")),
        separator(),
        item(QStringLiteral("Fold Selection"), QStringLiteral("foldSelection:"), keys("Ctrl+Alt+[")),
        item(QStringLiteral("Unfold All"), QStringLiteral("unfoldAll:"), keys("Ctrl+Alt+]")),
        separator(),
        item(QStringLiteral("Zoom &In"), QStringLiteral("zoomIn:"), QKeySequence::ZoomIn, 0, QStringLiteral("zoomIn")),
        item(QStringLiteral("Zoom &Out"), QStringLiteral("zoomOut:"), QKeySequence::ZoomOut),
        // The PDF viewer's own commands.
        check(QStringLiteral("&Actual Size"), QStringLiteral("zoomToActualSize:")),
        item(QStringLiteral("Zoom to &Fit"), QStringLiteral("zoomToFit:")),
        check(QStringLiteral("Automatically &Resize"), QStringLiteral("toggleAutomaticallyResizes:")),
        submenu(QStringLiteral("&Display Mode"), QStringLiteral("pdfDisplayMode"), {
            pdfMode(QStringLiteral("Single Page"), 0),
            pdfMode(QStringLiteral("Single Page Continuous"), 1),
            pdfMode(QStringLiteral("Two Pages"), 2),
            pdfMode(QStringLiteral("Two Pages Continuous"), 3),
        }),
        item(QStringLiteral("Pre&vious Page"), QStringLiteral("goToPreviousPage:"), keys("Ctrl+Alt+Up")),
        item(QStringLiteral("Ne&xt Page"), QStringLiteral("goToNextPage:"), keys("Ctrl+Alt+Down")),
        separator(),
        item(QStringLiteral("Show &Live Preview"), QStringLiteral("toggleLivePreview:"), keys("Ctrl+Alt+P"), 0, QStringLiteral("livePreview")),
        item(QStringLiteral("&Refresh Live Preview"), QStringLiteral("refreshLivePreviewFromMenu:"), keys("Ctrl+R"), 0, QStringLiteral("refreshLivePreview")),
        item(QStringLiteral("&Preview"), QStringLiteral("quickPreviewCode:"), keys("Ctrl+Shift+R"), 0, QStringLiteral("preview")),
        submenu(QStringLiteral("Preview With &Browser"), QStringLiteral("previewInBrowser"), {
            item(QStringLiteral("Default Browser"), QStringLiteral("previewInDefaultBrowser:"), keys("Ctrl+Alt+B")),
        }),
        separator(),
        item(QStringLiteral("Code &Navigator"), QStringLiteral("toggleCodeNavigator:"), keys("Ctrl+Alt+N")),
        item(QStringLiteral("Check &Document"), QStringLiteral("showErrorChecker:"), keys("Ctrl+Shift+K")),
        separator(),
        check(QStringLiteral("Show &Toolbar"), QStringLiteral("toggleToolbarShown:"), {}),
        item(QStringLiteral("Enter &Full Screen"), QStringLiteral("toggleFullScreen:"), QKeySequence::FullScreen),
    }});
    menus.append({QStringLiteral("&Insert"), QStringLiteral("insert"), {
        item(QStringLiteral("&Advanced Tag Insert…"), QStringLiteral("showAdvancedInsertPanel:"), keys("Ctrl+Shift+A"), 0, QStringLiteral("advancedInsert")),
        item(QStringLiteral("&Quick Insert"), QStringLiteral("showQuickInsertMenu:"), keys("Ctrl+Shift+Q")),
        separator(),
        item(QStringLiteral("&Link…"), QStringLiteral("showInsertLinkPanel:")),
        item(QStringLiteral("&Image…"), QStringLiteral("showInsertImageTagPanel:")),
        item(QStringLiteral("&Table…"), QStringLiteral("showInsertTablePanel:")),
        item(QStringLiteral("Li&st…"), QStringLiteral("showInsertListPanel:")),
        item(QStringLiteral("&Font Tag…"), QStringLiteral("showInsertFontTagPanel:")),
        item(QStringLiteral("&Color…"), QStringLiteral("showInsertColorPanel:")),
        item(QStringLiteral("&Meta Tag…"), QStringLiteral("showInsertMetaTagPanel:")),
        item(QStringLiteral("Image &Map…"), QStringLiteral("showInsertImageMapPanel:")),
        separator(),
        item(QStringLiteral("Component &Library"), QStringLiteral("showComponentLibrary:"), keys("Ctrl+Shift+L"), 0, QStringLiteral("componentLibrary")),
    }});
    menus.append({QStringLiteral("S&yntax"), QStringLiteral("syntax"), {
        item(QStringLiteral("Color &All Tags"), QStringLiteral("colorAllTags:")),
        item(QStringLiteral("&Complete"), QStringLiteral("suggestCompletion:"), keys("Ctrl+Space")),
    }});
    menus.append({QStringLiteral("&Clips"), QStringLiteral("clips"), {
        item(QStringLiteral("&Manage Code Clips…"), QStringLiteral("manageCodeClips:")),
        item(QStringLiteral("&New Clip…"), QStringLiteral("newClip:")),
        item(QStringLiteral("New Clip from &Selection…"), QStringLiteral("newClipFromSelection:"), {}, 0, QStringLiteral("newClipFromSelection")),
    }});
    // Ctrl+Shift+Tab arrives as Tab or as Backtab depending on the platform; one
    // key of each form (two forms that one press matches would be ambiguous).
    KELMenuItemSpec previousTab = item(QStringLiteral("Select &Previous Tab"), QStringLiteral("selectPreviousTab:"), keys("Ctrl+Shift+Tab"));
    previousTab.alternateShortcuts = {keys("Ctrl+Shift+Backtab")};
    menus.append({QStringLiteral("&Window"), QStringLiteral("window"), {
        item(QStringLiteral("&Minimize"), QStringLiteral("performMiniaturize:"), keys("Ctrl+M")),
        separator(),
        item(QStringLiteral("Select &Next Tab"), QStringLiteral("selectNextTab:"), keys("Ctrl+Tab")),
        previousTab,
        // The open windows follow, listed each time the menu opens.
    }});
    menus.append({QStringLiteral("&Help"), QStringLiteral("help"), {
        item(QStringLiteral("Kelp Studio &Help"), QStringLiteral("showHelp:"), QKeySequence::HelpContents),
        item(QStringLiteral("&Support"), QStringLiteral("showSupport:")),
        item(QStringLiteral("Kelp Studio &Web Site"), QStringLiteral("showWebSite:")),
    }});
    return menus;
}

void addItems(QMenu* menu, const QList<KELMenuItemSpec>& items)
{
    auto& router = kit::ActionRouter::shared();
    for (const KELMenuItemSpec& spec : items) {
        if (spec.title.isEmpty()) {
            menu->addSeparator();
            continue;
        }
        if (!spec.submenu.isEmpty()) {
            QMenu* sub = menu->addMenu(spec.title);
            sub->setObjectName(spec.identifier);
            sub->menuAction()->setObjectName(spec.identifier);
            addItems(sub, spec.submenu);
            continue;
        }
        QAction* action = menu->addAction(spec.title);
        action->setObjectName(spec.identifier);
        action->setData(spec.data.isEmpty() ? QVariant(spec.tag) : QVariant(spec.data));
        action->setCheckable(spec.checkable);
        if (!spec.shortcut.isEmpty())
            action->setShortcuts(QList<QKeySequence>{spec.shortcut} + spec.alternateShortcuts);
        if (spec.action.isEmpty())
            action->setEnabled(false);
        else
            router.attachAction(action, spec.action);
    }
}

const char* const MenuKeysProperty = "kelpMenuKeys";
const char* const WindowListItemProperty = "kelpWindowListItem";

// The windows in the order they first showed, for the Window menu.
class WindowOrder : public QObject {
public:
    static WindowOrder& shared()
    {
        static auto* order = [] {
            auto* o = new WindowOrder;
            if (qApp)
                qApp->installEventFilter(o);
            return o;
        }();
        return *order;
    }
    QList<QWidget*> windows()
    {
        m_windows.removeAll(QPointer<QWidget>());
        // Windows that showed before the first menu bar was made.
        for (QWidget* w : QApplication::topLevelWidgets())
            note(w);
        QList<QWidget*> list;
        for (const QPointer<QWidget>& w : std::as_const(m_windows))
            list << w.data();
        return list;
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::Show && watched->isWidgetType() && static_cast<QWidget*>(watched)->isWindow())
            note(static_cast<QWidget*>(watched));
        return false;
    }

private:
    void note(QWidget* window)
    {
        if (window->isVisible() && !m_windows.contains(window))
            m_windows.append(window);
    }
    QList<QPointer<QWidget>> m_windows;
};

// Commands about a document window itself, which a panel has no use for.
bool isDocumentWindowCommand(const QString& action)
{
    static const QSet<QString> commands { QStringLiteral("performCloseTab:"), QStringLiteral("performMiniaturize:"),
                                          QStringLiteral("selectNextTab:"), QStringLiteral("selectPreviousTab:"),
                                          QStringLiteral("toggleFullScreen:") };
    return commands.contains(action);
}

void collectKeyItems(const QList<KELMenuItemSpec>& items, QList<const KELMenuItemSpec*>& out)
{
    for (const KELMenuItemSpec& spec : items) {
        collectKeyItems(spec.submenu, out);
        if (!spec.action.isEmpty() && !spec.shortcut.isEmpty() && !isDocumentWindowCommand(spec.action))
            out << &spec;
    }
}

QSet<QKeySequence> keysInUse(QWidget* window)
{
    QSet<QKeySequence> keys;
    QList<QAction*> actions = window->actions();
    actions += window->findChildren<QAction*>();
    for (QAction* a : std::as_const(actions))
        for (const QKeySequence& k : a->shortcuts())
            keys.insert(k);
    for (QShortcut* s : window->findChildren<QShortcut*>())
        for (const QKeySequence& k : s->keys())
            keys.insert(k);
    for (QAbstractButton* b : window->findChildren<QAbstractButton*>())
        if (!b->shortcut().isEmpty())
            keys.insert(b->shortcut());
    return keys;
}

} // namespace

namespace {
// The window's own keys for commands of the menus give way to the menu bar's:
// the same key twice would block both.
void dropKeysTheMenuBarTakes(QWidget* window, QMenuBar* bar)
{
    QSet<QKeySequence> taken;
    for (QAction* a : bar->findChildren<QAction*>())
        for (const QKeySequence& key : a->shortcuts())
            taken.insert(key);
    for (QAction* a : window->actions()) {
        if (kit::ActionRouter::actionOf(a).isEmpty())
            continue;
        for (const QKeySequence& key : a->shortcuts()) {
            if (taken.contains(key)) {
                window->removeAction(a);
                break;
            }
        }
    }
}
} // namespace

bool KELInstallMenuBar(QWidget* window)
{
    if (!window || !window->isWindow() || window->findChild<QMenuBar*>(QString(), Qt::FindDirectChildrenOnly))
        return false;
    QMenuBar* bar = nullptr;
    if (auto* main = qobject_cast<QMainWindow*>(window)) {
        if (main->menuWidget())
            return false;
        bar = KELBuildMenuBar(main);
        main->setMenuBar(bar);
    } else {
        QLayout* layout = window->layout();
        if (!layout || layout->menuBar())
            return false;
        bar = KELBuildMenuBar(window);
        layout->setMenuBar(bar);
    }
    dropKeysTheMenuBarTakes(window, bar);
    return true;
}

int KELAddMenuKeyEquivalents(QWidget* window)
{
    if (!window || !window->isWindow())
        return 0;
    if (window->findChild<QMenuBar*>(QString(), Qt::FindDirectChildrenOnly)) {
        // A window that got its menu bar since: the same keys twice would block each other.
        if (window->property(MenuKeysProperty).toBool()) {
            for (QAction* a : window->findChildren<QAction*>(QString(), Qt::FindDirectChildrenOnly))
                if (a->property(MenuKeysProperty).toBool())
                    delete a;
            window->setProperty(MenuKeysProperty, false);
        }
        return 0;
    }
    // A tool window with a parent (the Edit Tag panel) already has the keys of the
    // window it belongs to: the same keys twice would block each other.
    if (window->property(MenuKeysProperty).toBool() || (window->windowType() == Qt::Tool && window->parentWidget()))
        return 0;
    window->setProperty(MenuKeysProperty, true);
    QList<const KELMenuItemSpec*> items;
    for (const KELMenuSpec& menu : KELMainMenuModel())
        collectKeyItems(menu.items, items);
    QSet<QKeySequence> used = keysInUse(window);
    int added = 0;
    for (const KELMenuItemSpec* spec : std::as_const(items)) {
        QList<QKeySequence> keys;
        for (const QKeySequence& k : QList<QKeySequence>{spec->shortcut} + spec->alternateShortcuts)
            if (!used.contains(k))
                keys << k;
        if (keys.isEmpty())
            continue;
        auto* action = new QAction(spec->title, window);
        action->setObjectName(spec->identifier);
        action->setProperty(MenuKeysProperty, true);
        action->setData(spec->data.isEmpty() ? QVariant(spec->tag) : QVariant(spec->data));
        action->setShortcuts(keys);
        action->setShortcutContext(Qt::WindowShortcut);
        window->addAction(action);
        if (spec->action == QLatin1String("performClose:"))
            QObject::connect(action, &QAction::triggered, window, &QWidget::close);
        else
            kit::ActionRouter::shared().attachAction(action, spec->action);
        for (const QKeySequence& k : std::as_const(keys))
            used.insert(k);
        ++added;
    }
    return added;
}

const QList<KELMenuSpec>& KELMainMenuModel()
{
    static const QList<KELMenuSpec> model = buildModel();
    return model;
}

QMenuBar* KELBuildMenuBar(QWidget* window)
{
    auto* bar = new QMenuBar(window);
    for (const KELMenuSpec& spec : KELMainMenuModel()) {
        QMenu* menu = bar->addMenu(spec.title);
        menu->setObjectName(spec.identifier);
        addItems(menu, spec.items);
        kit::ActionRouter::shared().attachMenu(menu);
    }
    // The recent lists are filled each time they open.
    if (QMenu* recent = KELFindMenu(bar, QStringLiteral("openRecent")))
        QObject::connect(recent, &QMenu::aboutToShow, recent, [recent] { AppController::sharedInstance().buildRecentDocumentsMenu(recent); });
    // The Clips menu lists the stored clips each time it opens.
    if (QMenu* clips = KELFindMenu(bar, QStringLiteral("clips"))) {
        clips->setProperty(KELCodeClipMenus::RouteItemsProperty, true);
        QObject::connect(clips, &QMenu::aboutToShow, clips, [clips] { KELCodeClipMenus::sharedInstance().menuNeedsUpdate(clips); });
    }
    // The Window menu lists the open windows each time it opens.
    WindowOrder::shared();
    if (QMenu* windows = KELFindMenu(bar, QStringLiteral("window")))
        QObject::connect(windows, &QMenu::aboutToShow, windows, [windows] { KELFillWindowMenu(windows); });
    if (QMenu* browsers = KELFindMenu(bar, QStringLiteral("previewInBrowser")))
        KELFillPreviewBrowserMenu(browsers);
    if (QMenu* projects = KELFindMenu(bar, QStringLiteral("recentProjects")))
        QObject::connect(projects, &QMenu::aboutToShow, projects, [projects] { AppController::sharedInstance().buildRecentProjectsMenu(projects); });
    return bar;
}

bool KELIsWindowMenuWindow(const QWidget* window)
{
    if (!window || !window->isWindow() || window->windowModality() != Qt::NonModal || window->testAttribute(Qt::WA_ShowModal)
        || (window->windowFlags() & Qt::WindowDoesNotAcceptFocus))
        return false;
    if (!window->isVisible() && !window->isMinimized())
        return false;
    // Panels (Find, the insert panels) come with their commands; dialogs and windows are listed.
    const Qt::WindowType type = window->windowType();
    return (type == Qt::Window || type == Qt::Dialog) && !window->windowTitle().isEmpty();
}

QList<QWidget*> KELWindowMenuWindows()
{
    QList<QWidget*> list;
    for (QWidget* w : WindowOrder::shared().windows())
        if (KELIsWindowMenuWindow(w))
            list << w;
    return list;
}

QString KELWindowMenuTitle(const QWidget* window)
{
    QString title = window->windowTitle();
    title.replace(QStringLiteral("[*]"), QString());
    return title;
}

void KELBringWindowToFront(QWidget* window)
{
    if (!window)
        return;
    if (window->isMinimized())
        window->showNormal();
    window->show();
    window->raise();
    window->activateWindow();
}

void KELFillWindowMenu(QMenu* menu)
{
    if (!menu)
        return;
    for (QAction* a : menu->actions()) {
        if (a->property(WindowListItemProperty).toBool()) {
            menu->removeAction(a);
            a->deleteLater();
        }
    }
    const QList<QWidget*> windows = KELWindowMenuWindows();
    if (windows.isEmpty())
        return;
    QWidget* active = QApplication::activeWindow();
    QAction* separator = menu->addSeparator();
    separator->setProperty(WindowListItemProperty, true);
    for (QWidget* window : windows) {
        // The title as a plain text: "&" in a file name is no mnemonic.
        QString title = KELWindowMenuTitle(window);
        title.replace(QLatin1Char('&'), QStringLiteral("&&"));
        QAction* item = menu->addAction(title);
        item->setObjectName(QStringLiteral("windowListItem"));
        item->setProperty(WindowListItemProperty, true);
        item->setCheckable(true);
        item->setChecked(window == active);
        QPointer<QWidget> target(window);
        QObject::connect(item, &QAction::triggered, item, [target] { KELBringWindowToFront(target); });
    }
}

void KELFillPreviewBrowserMenu(QMenu* menu)
{
    if (!menu)
        return;
    // The items of a previous fill go; "Default Browser" and what the model holds stay.
    for (QAction* action : menu->actions()) {
        if (action->property("kelpInstalledBrowser").toBool()) {
            menu->removeAction(action);
            delete action;
        }
    }
    const QList<KELBrowser> browsers = KELInstalledBrowsers();
    if (browsers.isEmpty())
        return;
    auto addBrowserItem = [menu](QAction* action) {
        action->setProperty("kelpInstalledBrowser", true);
        menu->addAction(action);
    };
    auto* separator = new QAction(menu);
    separator->setSeparator(true);
    addBrowserItem(separator);
    int key = 1;
    for (const KELBrowser& browser : browsers) {
        auto* item = new QAction(browser.icon, QString(browser.name).replace(QLatin1Char('&'), QStringLiteral("&&")), menu);
        item->setObjectName(QStringLiteral("previewInBrowser:") + browser.identifier);
        // The browser's desktop entry travels with the command, as the preferences store it.
        item->setData(browser.identifier);
        if (key <= 9)
            item->setShortcut(QKeySequence(QStringLiteral("Ctrl+Alt+%1").arg(key++)));
        addBrowserItem(item);
        kit::ActionRouter::shared().attachAction(item, QStringLiteral("previewInSelectedBrowser:"));
    }
}

QMenu* KELFindMenu(QMenuBar* bar, const QString& identifier)
{
    return bar ? bar->findChild<QMenu*>(identifier) : nullptr;
}

QAction* KELFindMenuItem(QWidget* barOrMenu, const QString& identifier)
{
    if (!barOrMenu)
        return nullptr;
    for (QAction* a : barOrMenu->findChildren<QAction*>(identifier))
        if (a->objectName() == identifier)
            return a;
    return nullptr;
}
