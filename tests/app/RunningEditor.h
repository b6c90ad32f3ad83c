#pragma once
// The editor as it runs: a started application with a real document window in
// front, its text view holding the keyboard. Used by the menu audit and the
// end-to-end tests of the commands.

#include "app/AppController.h"
#include "app/Application.h"
#include "app/MainMenu.h"
#include "app/RegisteredDefaults.h"
#include "document/DocumentSystem.h"
#include "document/DocumentWindowController.h"
#include "document/KELFilePrefsManager.h"
#include "document/MyDocument.h"
#include "document/MyDocumentController.h"
#include "editor/KELHTMLView.h"
#include "editor/TextFinder.h"
#include "kit/ActionRouter.h"
#include "kit/Alert.h"
#include "kit/UserDefaults.h"
#include "kit/document/DocumentTestSupport.h"
#include "kit/text/TextStorage.h"
#include "support/DefaultsKeys.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QTemporaryDir>
#include <QTest>
#include <QToolBar>

#include <memory>

class RunningEditor : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        kit::UserDefaults::standard().resetForTesting();
        KELRegisterDefaults();
        kit::UserDefaults::standard().setValue(KELCheckSpellingAsYouType, false);
        kit::UserDefaults::standard().setValue(QStringLiteral("User Agrees to the User Agreement"), true);
        kit::UserDefaults::standard().setValue(QStringLiteral("Create New Document"), false);
        DocumentWindowController::setFadeDurationForTesting(0);
        // A search's time limit is wall time, from starting its process on: a machine
        // busy with other work must not cut the tests' tiny searches short.
        TextFinder::sharedInstance().setSearchTimeLimit(Deadline);
        kit::Alert::setResponderForTesting([this](const kit::Alert& alert) {
            alerts << alert.messageText();
            return kit::Alert::FirstButtonReturn;
        });
        endSession();
        KELApplication::Options options;
        options.serverName = QStringLiteral("kelp-running-%1-%2").arg(QCoreApplication::applicationPid()).arg(++sessions());
        options.restorationPath = dir.filePath(QStringLiteral("windows.plist"));
        app = std::make_unique<KELApplication>(options);
        ASSERT_TRUE(app->start({}));
        // The launch finishes on later turns of the event loop.
        ASSERT_TRUE(waitFor([this] { return app->hasFinishedLaunching() && MyDocumentController::sharedDocumentController(); }));
        drainEvents();
    }
    void TearDown() override
    {
        kit::ActionRouter::shared().setFocusOverrideForTesting(nullptr);
        TextFinder::sharedInstance().setSearchTimeLimit(TextFinder::DefaultSearchTimeLimitMilliseconds);
        kit::DocumentController::setOpenPanelResponderForTesting({});
        endSession();
        kit::Alert::setResponderForTesting({});
    }
public:
    // How long a wait may take before the test gives up: long, for a machine busy
    // with other work; a wait ends as soon as its condition holds.
    static constexpr int Deadline = 60000;

    // Runs the event loop until the condition holds; false when the deadline passed first.
    template <typename Condition>
    [[nodiscard]] static bool waitFor(Condition condition, int milliseconds = Deadline)
    {
        return QTest::qWaitFor(condition, milliseconds);
    }
    // Delivers what is already posted (deferred deletes included), for work that an
    // action queues for itself; it waits for nothing from outside the program (the
    // window manager, timers, threads): that is waitFor's.
    static void drainEvents()
    {
        // A few rounds: what is delivered may queue more of its own (a close, then its deletion).
        for (int round = 0; round < 5; ++round) {
            QCoreApplication::processEvents();
            QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        }
    }
    // The window in front as the window manager sees it, with the keyboard in the given widget.
    static ::testing::AssertionResult giveKeyboard(QWidget* widget)
    {
        QWidget* window = widget->window();
        window->show();
        window->raise();
        window->activateWindow();
        if (!waitFor([window] { return window->windowHandle() && QGuiApplication::focusWindow() == window->windowHandle()
                                    && QApplication::activeWindow() == window; }))
            return ::testing::AssertionFailure() << "the window never became active: " << window->windowTitle().toStdString();
        widget->setFocus(Qt::OtherFocusReason);
        if (!waitFor([widget] { return QApplication::focusWidget() == widget; }))
            return ::testing::AssertionFailure() << "the keyboard never reached " << widget->metaObject()->className();
        return ::testing::AssertionSuccess();
    }

protected:
    static int& sessions()
    {
        static int count = 0;
        return count;
    }
    void endSession()
    {
        app.reset();
        KELCloseAllDocumentsWithoutAsking();
        drainEvents();
        kit::DocumentController::resetSharedForTesting();
        drainEvents();
        KELFilePrefsManager::resetSharedForTesting();
        MyDocument::resetUntitledNumbersForTesting();
        AppController::sharedInstance().resetTerminationForTesting();
        KELResumeSavingWindowsForRestoration();
    }
    QString file(const QString& name, const QByteArray& bytes)
    {
        EXPECT_TRUE(testsupport::writeBytes(dir.filePath(name), bytes));
        return dir.filePath(name);
    }
    // Opens the file as the user would and brings its window to the front with
    // the keyboard in its text; null (and a failure) when either does not happen.
    MyDocument* open(const QString& path)
    {
        kit::Error error;
        auto* document = qobject_cast<MyDocument*>(
            MyDocumentController::sharedDocumentController()->openDocumentWithContentsOfURL(QUrl::fromLocalFile(path), true, &error));
        if (!document) {
            ADD_FAILURE() << "not opened: " << path.toStdString() << " " << error.localizedDescription().toStdString();
            return nullptr;
        }
        const ::testing::AssertionResult inFront = bringToFront(document);
        if (!inFront) {
            ADD_FAILURE() << inFront.message();
            return nullptr;
        }
        return document;
    }
    // The document's window in front, its text with the keyboard, and the document
    // the active one (the commands act on it).
    static ::testing::AssertionResult bringToFront(MyDocument* document)
    {
        const ::testing::AssertionResult keyboard = giveKeyboard(document->textView());
        if (!keyboard)
            return keyboard;
        auto* documents = MyDocumentController::sharedDocumentController();
        if (!waitFor([documents, document] { return documents->activeDocument() == document; }))
            return ::testing::AssertionFailure() << "never the active document: " << document->filePath().toStdString();
        return ::testing::AssertionSuccess();
    }
    static QString text(MyDocument* document) { return document->textView()->textStorage()->string(); }
    // Every item that sends a command: the menu bar's and the toolbar's, pull-downs included.
    static QList<QAction*> commandItems(QWidget* window)
    {
        QList<QAction*> items;
        auto collect = [&items](QWidget* holder) {
            for (QAction* a : holder->findChildren<QAction*>())
                if (!kit::ActionRouter::actionOf(a).isEmpty() && !items.contains(a))
                    items << a;
        };
        if (auto* main = qobject_cast<QMainWindow*>(window)) {
            collect(main->menuBar());
            for (QToolBar* bar : main->findChildren<QToolBar*>()) {
                collect(bar);
                for (QAction* a : bar->actions())
                    if (a->menu())
                        collect(a->menu());
            }
        }
        return items;
    }
    static QAction* item(QWidget* window, const QString& action, const QVariant& data = {})
    {
        for (QAction* a : commandItems(window))
            if (kit::ActionRouter::actionOf(a) == action && (!data.isValid() || a->data() == data))
                return a;
        return nullptr;
    }
    // The item as the user meets it: validated, then chosen when enabled.
    static bool choose(QWidget* window, const QString& action, const QVariant& data = {})
    {
        QAction* a = item(window, action, data);
        if (!a || !kit::ActionRouter::shared().validateAction(a))
            return false;
        a->trigger();
        drainEvents();
        return true;
    }

    QTemporaryDir dir;
    std::unique_ptr<KELApplication> app;
    QStringList alerts;
};
