#include "kit/ActionRouter.h"
#include "kit/Responder.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QMenuBar>
#include <QDialog>
#include <QLineEdit>
#include <QMainWindow>
#include <QMenu>
#include <QTest>
#include <QVBoxLayout>
#include <gtest/gtest.h>
#include <memory>

using kit::ActionRouter;
using kit::Responder;

namespace {

// A responder that records what it performs.
class Recorder : public Responder {
public:
    explicit Recorder(QString name, QStringList* log, Responder* next = nullptr) : m_name(std::move(name)), m_log(log), m_next(next) {}
    void handle(const QString& action, bool enabled = true)
    {
        registerAction(
            action, [this, action](QObject*) { *m_log << m_name + QLatin1Char(':') + action; },
            [enabled](QAction*) { return enabled; });
    }
    Responder* nextResponder() const override { return m_next; }
    void setNext(Responder* next) { m_next = next; }

private:
    QString m_name;
    QStringList* m_log;
    Responder* m_next;
};

// A text field that handles actions itself, as an editor view does.
class ResponderEdit : public QLineEdit, public Responder {
public:
    explicit ResponderEdit(QStringList* log) : m_log(log)
    {
        registerAction(QStringLiteral("selectAll:"), [this](QObject*) { *m_log << QStringLiteral("view:selectAll:"); });
    }
    QStringList* m_log;
};

class ActionRouterTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        auto* central = new QWidget;
        auto* layout = new QVBoxLayout(central);
        edit = new ResponderEdit(&log);
        plain = new QLineEdit;
        layout->addWidget(edit);
        layout->addWidget(plain);
        window.setCentralWidget(central);
        window.show();
        window.activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
        edit->setFocus();
        ASSERT_TRUE(QTest::qWaitFor([&] { return QApplication::focusWidget() == edit; }, 60000));
    }

    QStringList log;
    QMainWindow window;
    ResponderEdit* edit = nullptr;
    QLineEdit* plain = nullptr;
    ActionRouter router;
};

} // namespace

TEST_F(ActionRouterTest, ChainRunsFromFocusToWindowControllerToDocumentToDelegate)
{
    Recorder document(QStringLiteral("document"), &log);
    Recorder controller(QStringLiteral("controller"), &log, &document);
    Recorder delegate(QStringLiteral("delegate"), &log);
    router.setWindowResponder(&window, &controller);
    router.setApplicationDelegate(&delegate);
    document.handle(QStringLiteral("saveDocument:"));
    document.handle(QStringLiteral("selectAll:"));
    controller.handle(QStringLiteral("performClose:"));
    delegate.handle(QStringLiteral("saveDocument:"));
    delegate.handle(QStringLiteral("newDocument:"));

    const QList<Responder*> chain = router.responderChain();
    ASSERT_EQ(chain.size(), 4);
    EXPECT_EQ(chain[0], static_cast<Responder*>(edit));
    EXPECT_EQ(chain[1], &controller);
    EXPECT_EQ(chain[2], &document);
    EXPECT_EQ(chain[3], &delegate);

    EXPECT_TRUE(router.sendAction(QStringLiteral("selectAll:")));    // the focused view first
    EXPECT_TRUE(router.sendAction(QStringLiteral("saveDocument:"))); // the document before the delegate
    EXPECT_TRUE(router.sendAction(QStringLiteral("performClose:")));
    EXPECT_TRUE(router.sendAction(QStringLiteral("newDocument:")));
    EXPECT_FALSE(router.sendAction(QStringLiteral("nobodyHandles:")));
    EXPECT_EQ(log, (QStringList{QStringLiteral("view:selectAll:"), QStringLiteral("document:saveDocument:"),
                                QStringLiteral("controller:performClose:"), QStringLiteral("delegate:newDocument:")}));

    // Focus on a plain field: the view is out of the chain, and the field's own
    // editing comes first; commands it has not got go on along the chain.
    plain->setText(QStringLiteral("field"));
    plain->setFocus();
    ASSERT_TRUE(QTest::qWaitFor([&] { return QApplication::focusWidget() == plain; }, 60000));
    log.clear();
    router.sendAction(QStringLiteral("selectAll:"));
    EXPECT_EQ(plain->selectedText(), QStringLiteral("field"));
    router.sendAction(QStringLiteral("saveDocument:"));
    EXPECT_EQ(log, QStringList{QStringLiteral("document:saveDocument:")});

    // A cycle through nextResponder() ends the chain instead of looping (the field,
    // the controller, the document, the delegate).
    document.setNext(&controller);
    EXPECT_EQ(router.responderChain().size(), 4);
}

TEST_F(ActionRouterTest, MenusValidateBeforeShowing)
{
    Recorder controller(QStringLiteral("controller"), &log);
    router.setWindowResponder(&window, &controller);
    controller.handle(QStringLiteral("saveDocument:"));
    controller.handle(QStringLiteral("revertDocumentToSaved:"), false);
    controller.registerAction(
        QStringLiteral("toggleLivePreview:"), [](QObject*) {},
        [](QAction* item) {
            item->setText(QStringLiteral("Hide Live Preview"));
            return true;
        });

    QMenu menu;
    QAction* save = router.makeAction(QStringLiteral("Save"), QStringLiteral("saveDocument:"), &menu);
    QAction* revert = router.makeAction(QStringLiteral("Revert"), QStringLiteral("revertDocumentToSaved:"), &menu);
    QAction* unknown = router.makeAction(QStringLiteral("Frobnicate"), QStringLiteral("frobnicate:"), &menu);
    QAction* preview = router.makeAction(QStringLiteral("Show Live Preview"), QStringLiteral("toggleLivePreview:"), &menu);
    QAction* named = menu.addAction(QStringLiteral("Named by its builder"));
    named->setProperty("kelpAction", QStringLiteral("saveDocument:"));
    QAction* untouched = menu.addAction(QStringLiteral("Plain"));
    untouched->setEnabled(false);
    menu.addActions({save, revert, unknown, preview});
    QMenu* sub = menu.addMenu(QStringLiteral("More"));
    QAction* subSave = router.makeAction(QStringLiteral("Save Too"), QStringLiteral("saveDocument:"), sub);
    sub->addAction(subSave);
    router.attachMenu(&menu);

    // Everything becomes disabled when nothing takes it, and follows the state on showing.
    router.setWindowResponder(&window, nullptr);
    router.validateMenu(&menu);
    EXPECT_FALSE(save->isEnabled());
    router.setWindowResponder(&window, &controller);
    Q_EMIT menu.aboutToShow();
    EXPECT_TRUE(save->isEnabled());
    EXPECT_FALSE(revert->isEnabled());
    EXPECT_FALSE(unknown->isEnabled());
    EXPECT_TRUE(preview->isEnabled());
    EXPECT_EQ(preview->text(), QStringLiteral("Hide Live Preview"));
    EXPECT_FALSE(untouched->isEnabled()); // items without an action are left alone
    subSave->setEnabled(false);
    Q_EMIT sub->aboutToShow();
    EXPECT_TRUE(subSave->isEnabled());
    EXPECT_EQ(ActionRouter::actionOf(save), QStringLiteral("saveDocument:"));
    EXPECT_EQ(save->property("kelpAction").toString(), QStringLiteral("saveDocument:"));

    save->trigger();
    EXPECT_EQ(log, QStringList{QStringLiteral("controller:saveDocument:")});
    // An item that only carries the property is routed once its menu is attached.
    EXPECT_TRUE(named->isEnabled());
    named->trigger();
    EXPECT_EQ(log.size(), 2);
}

TEST_F(ActionRouterTest, ShortcutsAreValidatedWhenTyped)
{
    QAction* save = router.makeAction(QStringLiteral("Save"), QStringLiteral("saveDocument:"), &window,
                                      QKeySequence(Qt::CTRL | Qt::Key_S));
    window.addAction(save);
    EXPECT_FALSE(save->isEnabled()); // nobody takes it yet

    // A responder appears without any menu being shown: the key still works.
    Recorder controller(QStringLiteral("controller"), &log);
    controller.handle(QStringLiteral("saveDocument:"));
    router.setWindowResponder(&window, &controller);
    QTest::keyClick(edit, Qt::Key_S, Qt::ControlModifier);
    EXPECT_EQ(log, QStringList{QStringLiteral("controller:saveDocument:")});

    // And when it can no longer run, the key does nothing even though the item was enabled.
    controller.unregisterAction(QStringLiteral("saveDocument:"));
    controller.handle(QStringLiteral("saveDocument:"), false);
    EXPECT_TRUE(save->isEnabled());
    QTest::keyClick(edit, Qt::Key_S, Qt::ControlModifier);
    EXPECT_EQ(log.size(), 1);
    EXPECT_FALSE(save->isEnabled());
}

TEST_F(ActionRouterTest, ShiftedSymbolShortcutsAreValidatedToo)
{
    QAction* zoom = router.makeAction(QStringLiteral("Zoom In"), QStringLiteral("zoomIn:"), &window,
                                      QKeySequence(Qt::CTRL | Qt::Key_Plus));
    window.addAction(zoom);
    Recorder controller(QStringLiteral("controller"), &log);
    controller.handle(QStringLiteral("zoomIn:"));
    router.setWindowResponder(&window, &controller);
    zoom->setEnabled(false); // stale: no menu was shown since the responder appeared
    QTest::keyClick(edit, Qt::Key_Plus, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_TRUE(zoom->isEnabled()); // ready for Qt's own lookup, which also tries the key without Shift
}

TEST_F(ActionRouterTest, PanelsReachTheirParentWindowsController)
{
    Recorder controller(QStringLiteral("controller"), &log);
    controller.handle(QStringLiteral("findNext:"));
    router.setWindowResponder(&window, &controller);
    QDialog panel(&window);
    auto* field = new QLineEdit(&panel);
    panel.show();
    panel.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&panel));
    field->setFocus();
    ASSERT_TRUE(QTest::qWaitFor([&] { return QApplication::focusWidget() == field; }, 60000));
    EXPECT_TRUE(router.sendAction(QStringLiteral("findNext:")));
    EXPECT_EQ(log, QStringList{QStringLiteral("controller:findNext:")});
}

TEST_F(ActionRouterTest, DestroyedRespondersAndWindowsLeaveTheRouter)
{
    auto delegate = std::make_unique<Recorder>(QStringLiteral("delegate"), &log);
    auto controller = std::make_unique<Recorder>(QStringLiteral("controller"), &log);
    router.setApplicationDelegate(delegate.get());
    router.setWindowResponder(&window, controller.get());
    delegate.reset();
    controller.reset();
    EXPECT_EQ(router.applicationDelegate(), nullptr);
    EXPECT_EQ(router.windowResponder(&window), nullptr);
    EXPECT_FALSE(router.sendAction(QStringLiteral("anything:")));

    Recorder other(QStringLiteral("other"), &log);
    auto* transient = new QWidget;
    router.setWindowResponder(transient, &other);
    delete transient;
    EXPECT_EQ(router.windowResponder(transient), nullptr);
}

TEST_F(ActionRouterTest, TheLastActiveWindowStandsInWhileNoWindowIsActive)
{
    // Focus inside an embedded native view, or no window manager, can leave the
    // application with no active window; the window's commands must stay enabled.
    Recorder controller(QStringLiteral("controller"), &log);
    controller.handle(QStringLiteral("performClose:"));
    router.setWindowResponder(&window, &controller);
    QAction item;
    router.attachAction(&item, QStringLiteral("performClose:"));
    QEvent activate(QEvent::WindowActivate);
    QCoreApplication::sendEvent(&window, &activate);

    QApplication::setActiveWindow(nullptr);
    ASSERT_TRUE(QTest::qWaitFor([] { return !QApplication::activeWindow() && !QApplication::focusWidget(); }, 60000));
    EXPECT_TRUE(router.validateAction(&item));
    EXPECT_TRUE(router.sendAction(QStringLiteral("performClose:")));
    EXPECT_EQ(log, QStringList{QStringLiteral("controller:performClose:")});

    // A hidden window no longer stands in.
    window.hide();
    EXPECT_FALSE(router.validateAction(&item));
}

// Where a command goes depends on the window it acts on: the window of its item,
// or the key window. A panel works on the main window behind it, except for the
// text commands, which only ever reach the text that has the keyboard.
TEST_F(ActionRouterTest, TextCommandsStayInTheKeyWindowAndPanelsWorkOnTheWindowBehind)
{
    Recorder document(QStringLiteral("document"), &log);
    Recorder controller(QStringLiteral("controller"), &log, &document);
    router.setWindowResponder(&window, &controller);
    document.handle(QStringLiteral("saveDocument:"));
    edit->registerAction(QStringLiteral("copy:"), [this](QObject*) { log << QStringLiteral("view:copy:"); });
    QEvent activate(QEvent::WindowActivate);
    QCoreApplication::sendEvent(&window, &activate);

    struct Case {
        const char* name;
        Qt::WindowType type;
        bool reachesDocument; // Save goes to the document behind
    } const cases[] = {
        {"a panel", Qt::Tool, true},
        {"a dialog", Qt::Dialog, true},
        {"a window of its own (a library)", Qt::Window, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        QWidget front(nullptr, c.type);
        auto* button = new QWidget(&front);
        button->setFocusPolicy(Qt::StrongFocus);
        front.resize(200, 100);
        front.show();
        front.activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&front));
        button->setFocus();
        ASSERT_TRUE(QTest::qWaitFor([&] { return QApplication::focusWidget() == button; }, 2000));
        log.clear();
        for (const char* text : {"selectAll:", "copy:", "cut:", "paste:", "delete:"})
            EXPECT_FALSE(router.targetForAction(QString::fromLatin1(text))) << text;
        EXPECT_FALSE(router.sendAction(QStringLiteral("selectAll:")));
        EXPECT_EQ(router.sendAction(QStringLiteral("saveDocument:")), c.reachesDocument);
        EXPECT_EQ(log, c.reachesDocument ? QStringList{QStringLiteral("document:saveDocument:")} : QStringList());

        // An item of the window behind (its menu bar, its toolbar) still acts on that window.
        QAction copy;
        window.addAction(&copy);
        router.attachAction(&copy, QStringLiteral("copy:"));
        EXPECT_TRUE(router.validateAction(&copy));
        log.clear();
        copy.trigger();
        EXPECT_EQ(log, QStringList{QStringLiteral("view:copy:")});
        window.removeAction(&copy);
        front.hide();
    }
}

// A menu validated while a popup has the keyboard still asks its window's chain.
TEST_F(ActionRouterTest, AMenuValidatesAgainstItsWindowWhileAPopupHasTheKeyboard)
{
    edit->registerAction(QStringLiteral("insertCodeClip:"), [this](QObject*) { log << QStringLiteral("view:clip"); });
    QMenu* menu = window.menuBar()->addMenu(QStringLiteral("Clips"));
    QAction* clip = router.makeAction(QStringLiteral("Clip"), QStringLiteral("insertCodeClip:"), menu);
    menu->addAction(clip);
    router.attachMenu(menu);
    QMenu popup(&window);
    popup.addAction(QStringLiteral("Other"));
    popup.popup(window.mapToGlobal(QPoint(10, 10)));
    ASSERT_TRUE(QTest::qWaitFor([&] { return popup.isVisible(); }, 2000));
    router.setFocusOverrideForTesting(&popup);
    clip->setEnabled(false);
    router.validateAllActions();
    EXPECT_TRUE(clip->isEnabled());
    clip->trigger();
    EXPECT_EQ(log, QStringList{QStringLiteral("view:clip")});
    // Without an item, the keyboard's popup stands for its window too.
    EXPECT_EQ(router.targetForAction(QStringLiteral("insertCodeClip:")), static_cast<Responder*>(edit));
    router.setFocusOverrideForTesting(nullptr);
    popup.close();
}

// Plain text fields (no responders) take the editing commands of the Edit menu.
TEST_F(ActionRouterTest, PlainFieldsTakeTheEditingCommands)
{
    plain->setFocus();
    ASSERT_TRUE(QTest::qWaitFor([&] { return QApplication::focusWidget() == plain; }, 2000));
    QMenu menu;
    auto make = [&](const char* action) { return router.makeAction(QString::fromLatin1(action), QString::fromLatin1(action), &menu); };
    QAction* undo = make("undo:");
    QAction* cut = make("cut:");
    QAction* copy = make("copy:");
    QAction* paste = make("paste:");
    QAction* selectAll = make("selectAll:");
    auto enabled = [&] {
        QString states;
        for (QAction* a : {undo, cut, copy, paste, selectAll})
            states += router.validateAction(a) ? QLatin1Char('1') : QLatin1Char('0');
        return states.toStdString();
    };
    QApplication::clipboard()->clear();
    EXPECT_EQ(enabled(), "00000"); // empty field, empty clipboard
    QTest::keyClicks(plain, QStringLiteral("abc"));
    EXPECT_EQ(enabled(), "10001");
    selectAll->trigger();
    EXPECT_EQ(plain->selectedText(), QStringLiteral("abc"));
    EXPECT_EQ(enabled(), "11100");
    cut->trigger();
    EXPECT_EQ(plain->text(), QString());
    EXPECT_EQ(enabled(), "10010");
    paste->trigger();
    EXPECT_EQ(plain->text(), QStringLiteral("abc"));
    undo->trigger();
    EXPECT_EQ(plain->text(), QString());
    plain->setReadOnly(true);
    plain->setText(QStringLiteral("read only"));
    plain->selectAll();
    EXPECT_EQ(enabled(), "00100"); // copy only
}

// A window with one undo for all of its fields: Ctrl+Z in a field with an undo of
// its own goes to the window's undo.
TEST_F(ActionRouterTest, AWindowThatClaimsUndoTakesItsKeyFromAField)
{
    Recorder controller(QStringLiteral("controller"), &log);
    controller.handle(QStringLiteral("undo:"));
    router.setWindowResponder(&window, &controller);
    QAction* undo = router.makeAction(QStringLiteral("Undo"), QStringLiteral("undo:"), &window, QKeySequence::Undo);
    window.addAction(undo);
    plain->setFocus();
    ASSERT_TRUE(QTest::qWaitFor([&] { return QApplication::focusWidget() == plain; }, 2000));
    QTest::keyClicks(plain, QStringLiteral("typed"));

    // Unclaimed: the field undoes its own typing.
    QTest::keyClick(plain, Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(plain->text(), QString());
    EXPECT_TRUE(log.isEmpty());

    router.setWindowClaimsActions(&window, {QStringLiteral("undo:")});
    QTest::keyClicks(plain, QStringLiteral("again"));
    EXPECT_EQ(router.targetForAction(QStringLiteral("undo:")), static_cast<Responder*>(&controller));
    QTest::keyClick(plain, Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(plain->text(), QStringLiteral("again"));
    EXPECT_EQ(log, QStringList{QStringLiteral("controller:undo:")});
}

// A menu bar opened from the keyboard stands for the widget it took the keyboard
// from, also after one of its menus handed the keyboard back to it.
TEST_F(ActionRouterTest, AKeyboardOpenedMenuBarStandsForTheWidgetItTookTheKeyboardFrom)
{
    QMenuBar* bar = window.menuBar();
    QMenu* view = bar->addMenu(QStringLiteral("View"));
    QAction* selectAll = router.makeAction(QStringLiteral("Select All"), QStringLiteral("selectAll:"), view);
    view->addAction(selectAll);
    router.attachMenu(view);
    bar->setFocus(Qt::MenuBarFocusReason);
    ASSERT_TRUE(QTest::qWaitFor([&] { return QApplication::focusWidget() == bar; }, 2000));
    EXPECT_EQ(router.targetForAction(QStringLiteral("selectAll:")), static_cast<Responder*>(edit));
    // The bar's menu had the keyboard and gives it back to the bar.
    view->popup(window.mapToGlobal(QPoint(5, 5)));
    ASSERT_TRUE(QTest::qWaitFor([&] { return view->isVisible(); }, 2000));
    view->setFocus(Qt::PopupFocusReason);
    QCoreApplication::processEvents();
    view->close();
    bar->setFocus(Qt::MenuBarFocusReason);
    ASSERT_TRUE(QTest::qWaitFor([&] { return QApplication::focusWidget() == bar; }, 2000));
    EXPECT_EQ(router.targetForAction(QStringLiteral("selectAll:")), static_cast<Responder*>(edit));
    EXPECT_TRUE(router.validateAction(selectAll));
}
