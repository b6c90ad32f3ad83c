// Every kind of window with the application's menus: each in front, and each
// behind a panel. Every item is enabled exactly when choosing it does something
// in that window, and choosing it does it; the Window menu lists every window and
// brings the chosen one to the front; text commands never reach a window behind.
#include "RunningEditor.h"

#include "componentui/KELComponentController.h"
#include "componentui/KELComponentLibraryController.h"
#include "componentui/KELImageMapController.h"
#include "editor/TextFinder.h"
#include "html/KELCodeClipsManager.h"
#include "htmlui/KELCodeClipsController.h"
#include "kit/WindowPlacement.h"
#include "project/KELPDFController.h"
#include "project/KELPDFView.h"
#include "project/ProjectDocumentController.h"
#include "project/ProjectOutlineModel.h"
#include "support/PreferenceController2.h"

#include <QClipboard>
#include <QDir>
#include <QLineEdit>
#include <QPainter>
#include <QPdfDocument>
#include <QPdfWriter>
#include <QPushButton>
#include <QScreen>
#include <QTabBar>

#include <functional>

namespace {

QStringList sorted(QStringList list)
{
    list.removeDuplicates();
    list.sort();
    return list;
}

class WindowMenusTest : public RunningEditor {
protected:
    void TearDown() override
    {
        // Windows that outlive a session in this process (the library, the clips
        // and preferences windows) or that no document system closes.
        closeComponentWindows();
        KELComponentLibraryController::sharedInstance().window()->hide();
        KELCodeClipsController::sharedInstance().hide();
        PreferenceController2::sharedInstance().window()->hide();
        TextFinder::sharedInstance().findTextField()->window()->hide();
        drainEvents();
        RunningEditor::TearDown();
    }

    static void closeComponentWindows()
    {
        QList<QPointer<KELComponentWindow>> windows;
        for (QWidget* w : QApplication::topLevelWidgets())
            if (auto* component = qobject_cast<KELComponentWindow*>(w))
                windows << component;
        for (const QPointer<KELComponentWindow>& window : windows) {
            if (window) {
                window->setWindowModified(false);
                delete window.data();
            }
        }
        drainEvents();
    }
    static void toFront(QWidget* window, QWidget* focus = nullptr)
    {
        window->show();
        window->raise();
        window->activateWindow();
        QApplication::setActiveWindow(window);
        // With a window manager the activation arrives a moment later.
        EXPECT_TRUE(QTest::qWaitFor([window] { return QApplication::activeWindow() == window; }, 10000))
            << "not in front: " << window->windowTitle().toStdString();
        if (focus)
            focus->setFocus(Qt::OtherFocusReason);
        drainEvents();
        MyDocumentController::sharedDocumentController()->sendDocumentNotificationsIfNeeded(window);
        drainEvents();
    }
    // Every item of the window that sends a command: its menu bar's and toolbars'.
    static QList<QAction*> windowItems(QWidget* window)
    {
        QList<QAction*> items = commandItems(window);
        if (!qobject_cast<QMainWindow*>(window)) {
            QList<QWidget*> holders;
            holders << menuBarOf(window);
            for (QToolBar* bar : window->findChildren<QToolBar*>())
                holders << bar;
            for (QWidget* holder : holders)
                for (QAction* a : holder ? holder->findChildren<QAction*>() : QList<QAction*>())
                    if (!kit::ActionRouter::actionOf(a).isEmpty() && !items.contains(a))
                        items << a;
        }
        return items;
    }
    static QAction* windowItem(QWidget* window, const QString& action, const QVariant& data = {})
    {
        for (QAction* a : windowItems(window))
            if (kit::ActionRouter::actionOf(a) == action && (!data.isValid() || a->data() == data))
                return a;
        return nullptr;
    }
    // The item as the user meets it: validated, then chosen when enabled.
    static bool chooseIn(QWidget* window, const QString& action, const QVariant& data = {})
    {
        QAction* a = windowItem(window, action, data);
        if (!a || !kit::ActionRouter::shared().validateAction(a))
            return false;
        a->trigger();
        drainEvents();
        return true;
    }
    // The commands of the window's menu bar that are disabled now.
    static QStringList disabledCommands(QWidget* window)
    {
        QStringList disabled;
        for (QAction* a : windowItems(window))
            if (!kit::ActionRouter::shared().validateAction(a))
                disabled << kit::ActionRouter::actionOf(a);
        return sorted(disabled);
    }
    static QMainWindow* mainWindowOf(QWidget* w) { return qobject_cast<QMainWindow*>(w); }
    static QMenuBar* menuBarOf(QWidget* window)
    {
        return window->findChild<QMenuBar*>(QString(), Qt::FindDirectChildrenOnly);
    }
    QString makePDF(const QString& name, int pages)
    {
        const QString path = dir.filePath(name);
        QPdfWriter writer(path);
        QPainter painter(&writer);
        for (int i = 0; i < pages; ++i) {
            if (i > 0)
                writer.newPage();
            painter.drawText(100, 100, QStringLiteral("Page %1").arg(i + 1));
        }
        painter.end();
        return path;
    }
    // The program starts again with the windows saved at the last quit.
    void restart()
    {
        endSession();
        KELApplication::Options options;
        options.serverName = QStringLiteral("kelp-windows-%1-%2").arg(QCoreApplication::applicationPid()).arg(++sessions());
        options.restorationPath = dir.filePath(QStringLiteral("windows.plist"));
        app = std::make_unique<KELApplication>(options);
        ASSERT_TRUE(app->start({}));
        ASSERT_TRUE(waitFor([this] { return app->hasFinishedLaunching() && MyDocumentController::sharedDocumentController(); }));
    }
    static KELComponentController* openComponent(const QString& name)
    {
        KELComponentController* controller = KELOpenComponentWindowNamed(name);
        drainEvents();
        return controller;
    }
};

// Commands that need a document to work on.
const QStringList DocumentCommands = {
    "saveDocument:", "saveDocumentAs:", "saveDocumentTo:", "revertDocumentToSaved:", "saveAll:", "performCloseTab:",
    "selectNextTab:", "selectPreviousTab:", "getInfo:", "openWith:", "export:", "printDocument:", "editTag:",
    "checkSpelling:", "colorAllTags:", "findNonAscii:", "foldSelection:", "formatTags:", "jumpToSelection:",
    "newClipFromSelection:", "organizeTags:", "performFindPanelAction:", "replaceWithHTMLCode:", "shiftLeft:",
    "shiftRight:", "showErrorChecker:", "showGuessPanel:", "suggestCompletion:", "toggleAutomaticDashSubstitution:",
    "toggleAutomaticQuoteSubstitution:", "toggleSmartInsertDelete:", "toggleComments:", "toggleLineNumbers:",
    "toggleWordWrap:", "unfoldAll:", "zoomIn:", "zoomOut:"};
// The live preview and the browser preview of a document.
const QStringList PreviewCommands = {"toggleLivePreview:", "quickPreviewCode:", "previewInDefaultBrowser:",
                                     "refreshLivePreviewFromMenu:"};
// The PDF viewer's commands, which only a PDF window runs.
const QStringList PDFCommands = {"zoomToActualSize:", "zoomToFit:", "toggleAutomaticallyResizes:", "changePDFDisplayMode:",
                                 "goToPreviousPage:", "goToNextPage:"};
// What editing needs a text with the keyboard for.
const QStringList TextCommands = {"undo:", "redo:", "cut:", "copy:", "paste:", "delete:", "selectAll:"};

QStringList minus(QStringList list, const QStringList& taken)
{
    for (const QString& s : taken)
        list.removeAll(s);
    return list;
}

} // namespace

TEST_F(WindowMenusTest, EveryWindowInFrontAndBehindAPanelEnablesExactlyWhatItsMenusCanDo)
{
    QGuiApplication::clipboard()->clear();
    const QString pagePath = file(QStringLiteral("page.html"), "<p>hello</p>\n");
    QDir(dir.path()).mkpath(QStringLiteral("site"));
    const QString projectPage = file(QStringLiteral("site/index.html"), "<p>site</p>\n");
    const QString pdfPath = makePDF(QStringLiteral("three.pdf"), 3);

    struct Kind {
        const char* name;
        std::function<QWidget*()> open; // opens the window and puts it in front; answers it
        QStringList disabled;           // the commands that cannot run with it in front
        std::function<void(QWidget*)> effects; // choose commands from its menus and check what they did
    };
    MyDocument* page = nullptr;
    KELComponentController* component = nullptr;
    KELComponentController* imageMap = nullptr;
    KELPDFController* pdf = nullptr;
    const QStringList windowOnly = {"performCloseTab:", "selectNextTab:", "selectPreviousTab:", "revertDocumentToSaved:", "saveAll:"};
    // A window without documents, text or PDF: what it has of its own is enabled.
    const QStringList noDocument = DocumentCommands + PDFCommands + TextCommands;
    const Kind kinds[] = {
        {"document", [&]() -> QWidget* {
             page = open(pagePath);
             return page ? page->textView()->window() : nullptr;
         },
         sorted(PDFCommands + windowOnly + QStringList{"undo:", "redo:", "cut:", "copy:", "delete:", "paste:", "foldSelection:",
                                                     "newClipFromSelection:", "refreshLivePreviewFromMenu:"}),
         [&](QWidget* window) {
             ASSERT_TRUE(chooseIn(window, QStringLiteral("selectAll:")));
             EXPECT_EQ(page->textView()->selectedRange(), kit::Range(0, text(page).size()));
             const qreal size = page->textView()->font().pointSizeF();
             ASSERT_TRUE(chooseIn(window, QStringLiteral("zoomIn:")));
             EXPECT_GT(page->textView()->font().pointSizeF(), size);
         }},
        {"project", [&]() -> QWidget* {
             kit::Error error;
             kit::WindowController* project
                 = MyDocumentController::sharedDocumentController()->openWindowForURL(QUrl::fromLocalFile(dir.filePath("site")), true, &error);
             drainEvents();
             return project ? project->window() : nullptr;
         },
         // The tree has the keyboard (Select All selects its rows); the toolbar's
         // document items wait for a document.
         sorted(minus(noDocument, {"selectAll:"}) + PreviewCommands
                + QStringList{"orderFrontFindPanel:", "preview:", "quickInsert:", "quickPreview:"}),
         [&](QWidget* window) {
             auto* project = qobject_cast<ProjectDocumentController*>(kit::ActionRouter::shared().windowResponder(window) ? dynamic_cast<ProjectDocumentController*>(kit::ActionRouter::shared().windowResponder(window)) : nullptr);
             ASSERT_TRUE(project);
             project->showItemAtPath(projectPage);
             ASSERT_TRUE(waitFor([&] { return project->currentDocument() != nullptr; }));
             MyDocument* site = project->currentDocument();
             ASSERT_TRUE(site);
             EXPECT_FALSE(chooseIn(window, QStringLiteral("saveAll:"))) << "nothing to save";
             QTest::keyClicks(site->textView(), QStringLiteral("Z"));
             drainEvents();
             ASSERT_TRUE(chooseIn(window, QStringLiteral("saveAll:")));
             EXPECT_EQ(testsupport::fileBytes(projectPage), QByteArray("Z<p>site</p>\n"));
             EXPECT_FALSE(chooseIn(window, QStringLiteral("selectNextTab:"))) << "one tab";
         }},
        {"component", [&]() -> QWidget* {
             component = openComponent(QStringLiteral("Simple Link"));
             return component ? component->window() : nullptr;
         },
         sorted(noDocument + QStringList{"toggleCodeNavigator:", "toggleToolbarShown:"}), [&](QWidget* window) {
             QAction* live = windowItem(window, QStringLiteral("toggleLivePreview:"));
             ASSERT_TRUE(live && kit::ActionRouter::shared().validateAction(live));
             EXPECT_EQ(live->text(), QStringLiteral("Show Source View"));
             ASSERT_TRUE(chooseIn(window, QStringLiteral("toggleLivePreview:")));
             EXPECT_TRUE(component->sourceViewIsSelected());
             kit::ActionRouter::shared().validateAction(live);
             EXPECT_EQ(live->text(), QStringLiteral("Show Live Preview"));
             ASSERT_TRUE(chooseIn(window, QStringLiteral("quickPreviewCode:")));
             EXPECT_TRUE(component->isLivePreviewing());
             EXPECT_EQ(windowItem(window, QStringLiteral("quickPreviewCode:"))->text(), QStringLiteral("Preview Component"));
             const int regenerated = component->regenerationCount();
             ASSERT_TRUE(chooseIn(window, QStringLiteral("refreshLivePreviewFromMenu:")));
             EXPECT_GT(component->regenerationCount(), regenerated);
         }},
        {"image map", [&]() -> QWidget* {
             imageMap = openComponent(KELImageMapController::ImageMapComponentName);
             return imageMap ? imageMap->window() : nullptr;
         },
         sorted(noDocument + QStringList{"toggleCodeNavigator:", "toggleToolbarShown:"}), {}},
        {"library", [&]() -> QWidget* {
             EXPECT_TRUE(kit::ActionRouter::shared().sendAction(QStringLiteral("showComponentLibrary:")));
             drainEvents();
             return KELComponentLibraryController::sharedInstance().window();
         },
         sorted(noDocument + PreviewCommands + QStringList{"toggleCodeNavigator:"}), {}},
        {"PDF", [&]() -> QWidget* {
             AppController::sharedInstance().openFile(pdfPath);
             EXPECT_TRUE(waitFor([] { for (KELReadOnlyDocumentController* v : KELReadOnlyDocumentController::openControllers()) if (qobject_cast<KELPDFController*>(v)) return true; return false; }));
             for (KELReadOnlyDocumentController* viewer : KELReadOnlyDocumentController::openControllers())
                 if (auto* p = qobject_cast<KELPDFController*>(viewer))
                     pdf = p;
             return pdf ? pdf->window() : nullptr;
         },
         // On its first page; it zooms and prints.
         sorted(minus(noDocument, PDFCommands + QStringList{"zoomIn:", "zoomOut:", "printDocument:"}) + PreviewCommands
                + QStringList{"toggleCodeNavigator:", "goToPreviousPage:"}),
         [&](QWidget* window) {
             KELPDFView* view = pdf->pdfView();
             ASSERT_TRUE(chooseIn(window, QStringLiteral("changePDFDisplayMode:"), 0));
             EXPECT_EQ(view->displayMode(), 0);
             ASSERT_TRUE(chooseIn(window, QStringLiteral("goToNextPage:")));
             EXPECT_EQ(view->currentPage(), 1);
             ASSERT_TRUE(chooseIn(window, QStringLiteral("zoomToActualSize:")));
             EXPECT_NEAR(view->scaleFactor(), 1.0, 0.0001);
             QAction* actual = windowItem(window, QStringLiteral("zoomToActualSize:"));
             kit::ActionRouter::shared().validateAction(actual);
             EXPECT_TRUE(actual->isChecked());
             ASSERT_TRUE(chooseIn(window, QStringLiteral("toggleAutomaticallyResizes:")));
             EXPECT_TRUE(view->autoScales());
             ASSERT_TRUE(chooseIn(window, QStringLiteral("zoomToFit:")));
             ASSERT_TRUE(chooseIn(window, QStringLiteral("changePDFDisplayMode:"), 1));
             EXPECT_EQ(view->displayMode(), 1);
         }},
        {"Code Clips", [&]() -> QWidget* {
             EXPECT_TRUE(kit::ActionRouter::shared().sendAction(QStringLiteral("manageCodeClips:")));
             drainEvents();
             return &KELCodeClipsController::sharedInstance();
         },
         // The list of groups has the keyboard.
         sorted(minus(noDocument, {"selectAll:"}) + PreviewCommands + QStringList{"toggleCodeNavigator:", "toggleToolbarShown:"}),
         {}},
        {"Preferences", [&]() -> QWidget* {
             EXPECT_TRUE(kit::ActionRouter::shared().sendAction(QStringLiteral("showPreferencePanel2:")));
             drainEvents();
             return PreferenceController2::sharedInstance().window();
         },
         sorted(noDocument + PreviewCommands + QStringList{"toggleCodeNavigator:"}), {}},
    };
    for (const Kind& kind : kinds) {
        SCOPED_TRACE(kind.name);
        QWidget* window = kind.open();
        ASSERT_TRUE(window);
        toFront(window, window->focusWidget());
        ASSERT_TRUE(waitFor([&] { return menuBarOf(window) != nullptr; }, 10000)) << "every main window has the menus";
        const QStringList disabled = disabledCommands(window);
        EXPECT_EQ(disabled.join(' ').toStdString(), kind.disabled.join(' ').toStdString());
        // Nothing that cannot run is enabled: the chain of this window has no taker.
        for (QAction* a : windowItems(window)) {
            const QString action = kit::ActionRouter::actionOf(a);
            if (!disabled.contains(action))
                EXPECT_TRUE(kit::ActionRouter::shared().targetForItem(action, a)) << action.toStdString();
        }
        if (kind.effects)
            kind.effects(window);

        // Behind a panel (Find): the window's menus still act on it, and the panel's
        // keys reach it too, except the text commands, which stay in the panel.
        toFront(window, window->focusWidget());
        const QStringList inFront = disabledCommands(window);
        QWidget* panel = TextFinder::sharedInstance().findTextField()->window();
        QPushButton* button = panel->findChild<QPushButton*>();
        ASSERT_TRUE(button);
        toFront(panel, button);
        // (Under a busy window manager the activation may come late and move the keyboard.)
        ASSERT_TRUE(giveKeyboard(button));
        EXPECT_EQ(disabledCommands(window).join(' ').toStdString(), inFront.join(' ').toStdString());
        int keys = 0;
        for (QAction* key : panel->actions()) {
            const QString action = kit::ActionRouter::actionOf(key);
            QAction* own = windowItem(window, action, key->data());
            if (action.isEmpty() || !own)
                continue;
            ++keys;
            const bool expected = kit::ActionRouter::shared().validateAction(own) && !kit::ActionRouter::isTextCommand(action);
            EXPECT_EQ(kit::ActionRouter::shared().validateAction(key), expected) << action.toStdString();
        }
        EXPECT_GT(keys, 40);
        panel->hide();
        drainEvents();
    }

    // The Window menu of any window lists every window, and brings the chosen one to the front.
    QWidget* documentWindow = page->textView()->window();
    toFront(documentWindow);
    QMenu* windowMenu = KELFindMenu(menuBarOf(documentWindow), QStringLiteral("window"));
    ASSERT_TRUE(windowMenu);
    Q_EMIT windowMenu->aboutToShow();
    QStringList listed;
    QList<QAction*> entries;
    for (QAction* a : windowMenu->actions())
        if (a->objectName() == QLatin1String("windowListItem")) {
            listed << a->text();
            entries << a;
        }
    QStringList expectedTitles;
    for (QWidget* w : KELWindowMenuWindows())
        expectedTitles << KELWindowMenuTitle(w).replace(QLatin1Char('&'), QStringLiteral("&&"));
    EXPECT_EQ(listed, expectedTitles);
    for (QWidget* shown : QList<QWidget*>{documentWindow, component->window(), imageMap->window(), pdf->window(),
                           KELComponentLibraryController::sharedInstance().window(),
                           static_cast<QWidget*>(&KELCodeClipsController::sharedInstance()),
                           PreferenceController2::sharedInstance().window()})
        EXPECT_TRUE(listed.contains(KELWindowMenuTitle(shown))) << KELWindowMenuTitle(shown).toStdString();
    EXPECT_GE(listed.size(), 8);
    for (QAction* entry : entries) {
        const QString title = entry->text();
        toFront(documentWindow);
        entry->trigger();
        auto frontTitle = [] {
            QWidget* front = QApplication::activeWindow();
            return front ? KELWindowMenuTitle(front).replace(QLatin1Char('&'), QStringLiteral("&&")) : QString();
        };
        EXPECT_TRUE(QTest::qWaitFor([&] { return frontTitle() == title; }, 10000))
            << title.toStdString() << " chosen, " << frontTitle().toStdString() << " in front";
    }
    // Next and Previous Tab need a second tab.
    toFront(documentWindow);
    EXPECT_FALSE(chooseIn(documentWindow, QStringLiteral("selectNextTab:")));
    auto* documents = dynamic_cast<DocumentWindowController*>(kit::ActionRouter::shared().windowResponder(documentWindow));
    ASSERT_TRUE(documents);
    documents->openAndDisplayDocumentWithURL(QUrl::fromLocalFile(file(QStringLiteral("second.html"), "<p>2</p>\n")));
    ASSERT_TRUE(waitFor([&] { return documents->numTabs() == 2; }));
    ASSERT_EQ(documents->numTabs(), 2);
    MyDocument* before = documents->currentDocument();
    EXPECT_TRUE(chooseIn(documentWindow, QStringLiteral("selectPreviousTab:")));
    EXPECT_NE(documents->currentDocument(), before);
    EXPECT_TRUE(chooseIn(documentWindow, QStringLiteral("selectNextTab:")));
    EXPECT_EQ(documents->currentDocument(), before);

    // Close Window closes the window of the menu, also one without a controller.
    QWidget* preferences = PreferenceController2::sharedInstance().window();
    toFront(preferences);
    ASSERT_TRUE(chooseIn(preferences, QStringLiteral("performClose:")));
    EXPECT_FALSE(preferences->isVisible());
}

// With the Component Library in front, the text commands of its menus and keys do
// nothing to the document behind it; a file opened from the project tree takes the
// keyboard.
TEST_F(WindowMenusTest, KeysActOnlyOnATextTheUserSees)
{
    const QString path = file(QStringLiteral("behind.html"), "<p>keep me</p>\n");
    MyDocument* document = open(path);
    ASSERT_TRUE(document);
    document->textView()->setSelectedRange(kit::Range(3, 4));
    ASSERT_TRUE(kit::ActionRouter::shared().sendAction(QStringLiteral("showComponentLibrary:")));
    QWidget* library = KELComponentLibraryController::sharedInstance().window();
    toFront(library, KELComponentLibraryController::sharedInstance().selectedView()->componentSelectionView());
    ASSERT_EQ(QApplication::activeWindow(), library);
    for (const auto key : {Qt::Key_A, Qt::Key_X, Qt::Key_C}) {
        QTest::keyClick(QApplication::focusWidget(), key, Qt::ControlModifier);
        drainEvents();
    }
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Delete);
    drainEvents();
    for (const char* action : {"selectAll:", "cut:", "copy:", "paste:", "delete:"})
        EXPECT_FALSE(kit::ActionRouter::shared().sendAction(QString::fromLatin1(action))) << action;
    EXPECT_EQ(text(document), QStringLiteral("<p>keep me</p>\n"));
    EXPECT_EQ(document->textView()->selectedRange(), kit::Range(3, 4));
    EXPECT_FALSE(document->isDocumentEdited());

    // A double click on a file of the project tree: what is typed next is in its text.
    QDir(dir.path()).mkpath(QStringLiteral("tree"));
    const QString treeFile = file(QStringLiteral("tree/a.html"), "<p>a</p>\n");
    kit::Error error;
    kit::WindowController* opened
        = MyDocumentController::sharedDocumentController()->openWindowForURL(QUrl::fromLocalFile(dir.filePath("tree")), true, &error);
    auto* project = qobject_cast<ProjectDocumentController*>(opened);
    ASSERT_TRUE(project);
    toFront(project->window(), project->fileOutlineView());
    ProjectOutlineView* tree = project->fileOutlineView();
    const QModelIndex row = project->outlineModel()->indexForItem(project->itemForPath(treeFile));
    ASSERT_TRUE(row.isValid());
    const QPoint at = tree->visualRect(row).center();
    QTest::mouseClick(tree->viewport(), Qt::LeftButton, {}, at);
    QTest::mouseDClick(tree->viewport(), Qt::LeftButton, {}, at);
    ASSERT_TRUE(waitFor([&] { return project->currentDocument() && project->currentDocument()->filePath() == treeFile; }));
    MyDocument* opened2 = project->currentDocument();
    ASSERT_TRUE(opened2);
    EXPECT_EQ(opened2->filePath(), treeFile);
    EXPECT_TRUE(QTest::qWaitFor([&] { return QApplication::focusWidget() == opened2->textView(); }, 10000));
    QTest::keyClicks(QApplication::focusWidget(), QStringLiteral("typed"));
    EXPECT_TRUE(waitFor([&] { return text(opened2).startsWith(QStringLiteral("typed")); }));
    EXPECT_TRUE(text(opened2).startsWith(QStringLiteral("typed"))) << text(opened2).toStdString();
}

// Quit with a component window and the library open: the next start brings both
// back where they were, the component with its values.
TEST_F(WindowMenusTest, ComponentWindowsAndTheLibraryComeBackWhereTheyWere)
{
    KELComponentLibraryController& library = KELComponentLibraryController::sharedInstance();
    ASSERT_TRUE(kit::ActionRouter::shared().sendAction(QStringLiteral("showComponentLibrary:")));
    drainEvents();
    library.window()->resize(520, 380);
    kit::setWindowFrameTopLeft(library.window(), QPoint(40, 50));
    KELComponentController* component = openComponent(QStringLiteral("Simple Link"));
    ASSERT_TRUE(component);
    component->window()->resize(620, 600);
    // (Below the top edge: the toolkit keeps room for a title bar of its own guess there.)
    kit::setWindowFrameTopLeft(component->window(), QPoint(120, 30));
    drainEvents();
    EXPECT_TRUE(waitFor([&] { return kit::windowFrame(library.window()).topLeft() == QPoint(40, 50)
                                      && kit::windowFrame(component->window()).topLeft() == QPoint(120, 30); }, 10000));
    const QRect libraryFrame = kit::windowFrame(library.window());
    const QRect componentFrame = kit::windowFrame(component->window());
    EXPECT_EQ(libraryFrame.topLeft(), QPoint(40, 50));
    const QString keyPath = QStringLiteral("text.value");
    const QVariant before = component->rootController()->valueForKeyPath(keyPath);
    ASSERT_TRUE(before.isValid());
    component->rootController()->setValueForKeyPath(keyPath, QStringLiteral("Kept across starts"));
    drainEvents();

    // Quit as the user does, then the process ends.
    bool exited = false;
    AppController::sharedInstance().setExitFunction([&exited](int) { exited = true; });
    ASSERT_TRUE(kit::ActionRouter::shared().sendAction(QStringLiteral("terminate:")));
    EXPECT_TRUE(waitFor([&exited] { return exited; }));
    AppController::sharedInstance().setExitFunction({});
    ASSERT_TRUE(exited);
    closeComponentWindows();
    library.window()->hide();
    restart();

    ASSERT_TRUE(waitFor([&] { return library.window()->isVisible(); }));
    EXPECT_TRUE(waitFor([&] { return kit::windowFrame(library.window()) == libraryFrame; }, 10000));
    EXPECT_EQ(kit::windowFrame(library.window()), libraryFrame);
    KELComponentWindow* restored = nullptr;
    for (QWidget* w : QApplication::topLevelWidgets())
        if (auto* window = qobject_cast<KELComponentWindow*>(w); window && window->isVisible())
            restored = window;
    ASSERT_TRUE(restored);
    EXPECT_EQ(restored->controller()->component()->name().value_or(QString()), QStringLiteral("Simple Link"));
    // The window manager frames a restored window a moment after it shows.
    EXPECT_TRUE(waitFor([&] { return kit::windowFrame(restored) == componentFrame; }, 10000));
    EXPECT_EQ(kit::windowFrame(restored), componentFrame);
    EXPECT_EQ(restored->controller()->rootController()->valueForKeyPath(keyPath).toString(), QStringLiteral("Kept across starts"));
    EXPECT_FALSE(restored->isWindowModified());
    EXPECT_TRUE(menuBarOf(restored)) << "a restored window has the menus too";
}

// The component's undo is the one undo of its window: Ctrl+Z in a text field of
// the form takes back the component's last change (the field follows), and
// Edit > Undo does the same.
TEST_F(WindowMenusTest, UndoInAFieldOfAComponentIsTheComponentsUndo)
{
    KELComponentController* component = openComponent(QStringLiteral("Simple Link"));
    ASSERT_TRUE(component);
    QWidget* window = component->window();
    QLineEdit* field = nullptr;
    for (QLineEdit* edit : window->findChildren<QLineEdit*>())
        if (edit->text() == QLatin1String("Read more"))
            field = edit;
    ASSERT_TRUE(field);
    toFront(window, field);
    ASSERT_EQ(QApplication::focusWidget(), field);
    field->end(false);
    QTest::keyClicks(field, QStringLiteral("!"));
    EXPECT_TRUE(waitFor([&] { return component->rootController()->valueForKeyPath(QStringLiteral("text.value")).toString() == QStringLiteral("Read more!"); }));
    // The typing's undo group closes on the next turn of the event loop, as between two keys.
    drainEvents();
    const QString keyPath = QStringLiteral("text.value");
    ASSERT_EQ(component->rootController()->valueForKeyPath(keyPath).toString(), QStringLiteral("Read more!"));

    QTest::keyClick(field, Qt::Key_Z, Qt::ControlModifier);
    EXPECT_TRUE(waitFor([&] { return field->text() == QStringLiteral("Read more"); }));
    EXPECT_EQ(component->rootController()->valueForKeyPath(keyPath).toString(), QStringLiteral("Read more"));
    EXPECT_EQ(field->text(), QStringLiteral("Read more"));
    EXPECT_FALSE(window->isWindowModified());
    ASSERT_TRUE(chooseIn(window, QStringLiteral("redo:")));
    EXPECT_EQ(component->rootController()->valueForKeyPath(keyPath).toString(), QStringLiteral("Read more!"));
    EXPECT_EQ(field->text(), QStringLiteral("Read more!"));
    QAction* undo = windowItem(window, QStringLiteral("undo:"));
    ASSERT_TRUE(undo && kit::ActionRouter::shared().validateAction(undo));
    undo->trigger();
    EXPECT_TRUE(waitFor([&] { return field->text() == QStringLiteral("Read more"); }));
    EXPECT_EQ(field->text(), QStringLiteral("Read more"));
}

// The clips of the Clips menu can be chosen from the menu bar: the menu validates
// against its window's text, also while the open menu has the keyboard.
TEST_F(WindowMenusTest, ClipsOfTheClipsMenuAreEnabledOverATextAndInsert)
{
    MyDocument* document = open(file(QStringLiteral("clip.html"), "<p>x</p>\n"));
    ASSERT_TRUE(document);
    KELCodeClipsManager& store = KELCodeClipsManager::sharedInstance();
    const KELCodeClip clip = store.newClipInGroup(store.defaultGroup().id());
    store.setClipName(clip.id(), QStringLiteral("Greeting"));
    store.setClipContent(clip.id(), QStringLiteral("<b>hi</b>"));
    QWidget* window = document->textView()->window();
    QMenu* clips = KELFindMenu(menuBarOf(window), QStringLiteral("clips"));
    ASSERT_TRUE(clips);
    clips->popup(window->mapToGlobal(QPoint(20, 20)));
    ASSERT_TRUE(QTest::qWaitFor([clips] { return clips->isVisible(); }, 5000));
    QAction* greeting = nullptr;
    for (QAction* a : clips->actions())
        if (a->text() == QLatin1String("Greeting"))
            greeting = a;
    ASSERT_TRUE(greeting);
    EXPECT_TRUE(greeting->isEnabled());
    // Validation again while the menu has the keyboard (a delayed pass after input).
    kit::ActionRouter::shared().setFocusOverrideForTesting(clips);
    kit::ActionRouter::shared().validateAllActions();
    kit::ActionRouter::shared().setFocusOverrideForTesting(nullptr);
    EXPECT_TRUE(greeting->isEnabled());
    clips->close();
    document->textView()->setSelectedRange(kit::Range(0, 0));
    greeting->trigger();
    EXPECT_TRUE(waitFor([&] { return text(document).startsWith(QStringLiteral("<b>hi</b>")); }));
    EXPECT_TRUE(text(document).startsWith(QStringLiteral("<b>hi</b>"))) << text(document).toStdString();
    store.removeClips({clip.id()});
}
