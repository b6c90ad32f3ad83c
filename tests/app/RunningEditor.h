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
        settle();
    }
    void TearDown() override
    {
        kit::ActionRouter::shared().setFocusOverrideForTesting(nullptr);
        kit::DocumentController::setOpenPanelResponderForTesting({});
        endSession();
        kit::Alert::setResponderForTesting({});
    }
public:
    static void settle()
    {
        for (int i = 0; i < 5; ++i) {
            QCoreApplication::processEvents();
            QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        }
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
        settle();
        kit::DocumentController::resetSharedForTesting();
        settle();
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
    // the keyboard in its text.
    MyDocument* open(const QString& path)
    {
        kit::Error error;
        auto* document = qobject_cast<MyDocument*>(
            MyDocumentController::sharedDocumentController()->openDocumentWithContentsOfURL(QUrl::fromLocalFile(path), true, &error));
        settle();
        if (document)
            bringToFront(document);
        return document;
    }
    static void bringToFront(MyDocument* document)
    {
        QWidget* window = document->textView()->window();
        window->show();
        window->raise();
        window->activateWindow();
        QApplication::setActiveWindow(window);
        document->textView()->setFocus(Qt::OtherFocusReason);
        settle();
        MyDocumentController::sharedDocumentController()->sendDocumentNotificationsIfNeeded(window);
        settle();
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
        settle();
        return true;
    }

    QTemporaryDir dir;
    std::unique_ptr<KELApplication> app;
    QStringList alerts;
};
