#include "app/AppController.h"

#include "support/DefaultsKeys.h"
#include "app/KELCrashReporter.h"
#include "document/TabView.h"
#include "document/DocumentSystem.h"
#include "document/DocumentWindowController.h"
#include "app/MainMenu.h"
#include "componentui/KELComponentController.h"
#include "componentui/KELImageMapController.h"
#include "editor/BatchTextFinder.h"
#include "editor/GoToLineNumber.h"
#include "editor/TextFinder.h"
#include "support/HelpUtils.h"
#include "support/PreferenceController2.h"
#include "support/Notifications.h"
#include "app/RegisteredDefaults.h"
#include "htmlui/AdvancedInsertController.h"
#include "htmlui/ColorController.h"
#include "htmlui/MetaController.h"
#include "kit/ActionRouter.h"
#include "kit/NotificationCenter.h"
#include "kit/Resources.h"
#include "kit/TemporaryFolder.h"
#include "kit/UserDefaults.h"

#include <QApplication>
#include <QDesktopServices>
#include <QTimer>
#include <QToolBar>
#include <QDialog>
#include <QDialogButtonBox>
#include <QFile>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace {
const QString kUserAgreesKey = QStringLiteral("User Agrees to the User Agreement");
const QString kCreateNewDocumentKey = QStringLiteral("Create New Document");
}

AppController& AppController::sharedInstance()
{
    static AppController* instance = [] {
        initialize();
        return new AppController;
    }();
    return *instance;
}

void AppController::initialize()
{
    static bool done = false;
    if (done)
        return;
    done = true;
    // Legacy keys move before registration so the test for a stored new key
    // never sees a registered default.
    KELMoveLegacyDefaults();
    KELRegisterDefaults();
}

AppController::AppController()
{
    kit::ActionRouter::shared().setApplicationDelegate(this);
    // Every document window carries the application's menu bar.
    DocumentWindowController::setMenuBarFactory(KELBuildMenuBar);
    // Quit: the windows are saved for the next start, then every unsaved
    // document is asked about; Cancel keeps the application running.
    addAction(QStringLiteral("terminate:"), [this](QObject*) { terminate(); });
    addAction(QStringLiteral("toggleContinuousSpellChecking:"), [](QObject*) {
        auto& d = kit::UserDefaults::standard();
        d.setValue(KELCheckSpellingAsYouType, !d.boolValue(KELCheckSpellingAsYouType));
        kit::NotificationCenter::defaultCenter().post(KELUpdatedTextSettingsNotification, &AppController::sharedInstance());
    }, [](QAction* item) {
        item->setChecked(kit::UserDefaults::standard().boolValue(KELCheckSpellingAsYouType));
        return true;
    });
    addAction(QStringLiteral("toggleAutomaticSpellingCorrection:"), [](QObject*) {
        auto& d = kit::UserDefaults::standard();
        d.setValue(KELAutomaticallyCorrectSpelling, !d.boolValue(KELAutomaticallyCorrectSpelling));
        kit::NotificationCenter::defaultCenter().post(KELUpdatedTextSettingsNotification, &AppController::sharedInstance());
    }, [](QAction* item) {
        item->setChecked(kit::UserDefaults::standard().boolValue(KELAutomaticallyCorrectSpelling));
        return true;
    });
    // showConsole: is kept for old menus and does nothing.
    addAction(QStringLiteral("showConsole:"), [](QObject*) {});
    registerCommands();
}

void AppController::registerCommands()
{
    for (const QString& command : unavailableCommands())
        addAction(command, [](QObject*) {}, [](QAction*) { return false; });
    registerClipCommands();
    registerDocumentCommands();
    addAction(QStringLiteral("showPreferencePanel2:"), [](QObject*) { PreferenceController2::sharedInstance().showWindow(); });
    // The insert panels are made on first use and kept; with no editor in front they beep on insert.
    addAction(QStringLiteral("showInsertMetaTagPanel:"), [](QObject*) { MetaController::sharedInstance().showWindow(); });
    addAction(QStringLiteral("showInsertColorPanel:"), [](QObject*) { ColorController::sharedInstance().showWindow(); });
    // The simple insert panels are components opened by name.
    const QList<QPair<QString, QString>> componentPanels {
        { QStringLiteral("showInsertLinkPanel:"), QStringLiteral("Simple Link") },
        { QStringLiteral("showInsertImageTagPanel:"), QStringLiteral("Simple Image") },
        { QStringLiteral("showInsertTablePanel:"), QStringLiteral("Simple Table") },
        { QStringLiteral("showInsertListPanel:"), QStringLiteral("Simple List") },
        { QStringLiteral("showInsertFontTagPanel:"), QStringLiteral("Simple Font") } };
    for (const auto& [command, component] : componentPanels) {
        const QString name = component;
        addAction(command, [name](QObject*) { KELOpenComponentWindowNamed(name); });
    }
    addAction(QStringLiteral("showInsertImageMapPanel:"),
              [](QObject*) { KELOpenComponentWindowNamed(KELImageMapController::ImageMapComponentName); });
    addAction(QStringLiteral("showAdvancedInsertPanel:"),
              [](QObject*) { AdvancedInsertController::sharedInstance().showWindow(); });
    addAction(QStringLiteral("showWebSite:"), [](QObject*) {
        HelpUtils::openInBrowser(QUrl(QStringLiteral("https://kelp-studio.org/")));
    });
    addAction(QStringLiteral("showSupport:"), [](QObject*) { HelpUtils::showHelpForKey(KELSupportHelpKey); });
    // Window commands act on the window of the menu they were chosen from (the
    // window in front for keys).
    auto commandWindow = [] { return kit::ActionRouter::shared().commandWindow(); };
    addAction(QStringLiteral("toggleToolbarShown:"), [commandWindow](QObject*) {
        QWidget* window = commandWindow();
        QToolBar* toolbar = window ? window->findChild<QToolBar*>() : nullptr;
        if (toolbar) {
            toolbar->setVisible(!toolbar->isVisible());
            window->update();
        }
    }, [commandWindow](QAction* item) {
        QWidget* window = commandWindow();
        QToolBar* toolbar = window ? window->findChild<QToolBar*>() : nullptr;
        if (!toolbar)
            return false;
        item->setChecked(toolbar->isVisible());
        return true;
    });
    addAction(QStringLiteral("toggleFullScreen:"), [commandWindow](QObject*) {
        if (QWidget* window = commandWindow())
            window->setWindowState(window->windowState() ^ Qt::WindowFullScreen);
    }, [commandWindow](QAction* item) {
        QWidget* window = commandWindow();
        if (window)
            item->setText(window->isFullScreen() ? QStringLiteral("Exit &Full Screen") : QStringLiteral("Enter &Full Screen"));
        return window != nullptr;
    });
    addAction(QStringLiteral("performMiniaturize:"), [commandWindow](QObject*) {
        if (QWidget* window = commandWindow())
            window->showMinimized();
    }, [commandWindow](QAction*) { return commandWindow() != nullptr; });
    // Close Window for windows without a controller of their own (the library,
    // Code Clips, Preferences ...); document windows answer it themselves.
    addAction(QStringLiteral("performClose:"), [commandWindow](QObject*) {
        if (QWidget* window = commandWindow())
            window->close();
    }, [commandWindow](QAction*) { return commandWindow() != nullptr; });

    // Preview commands go to the current document (the component window, when it
    // exists, answers them first along the chain).
    const QList<QPair<QString, QString>> forwarded = {
        {QStringLiteral("previewInDefaultBrowser:"), QStringLiteral("preview:")},
        {QStringLiteral("previewInSelectedBrowser:"), QStringLiteral("preview:")},
        {QStringLiteral("quickPreviewCode:"), QStringLiteral("quickPreview:")},
        {QStringLiteral("editTag:"), QStringLiteral("startTagEdit:")},
    };
    for (const auto& [command, target] : forwarded) {
        const QString to = target;
        addAction(command, [to](QObject* sender) { kit::ActionRouter::shared().sendAction(to, sender); },
                  [this, to](QAction* item) {
                      kit::Responder* responder = kit::ActionRouter::shared().targetForAction(to);
                      return responder && responder != this && responder->validateAction(to, item);
                  });
    }

    // The find panels: made on first use, kept for the life of the application.
    addAction(QStringLiteral("performFindPanelAction:"), [](QObject* sender) {
        const auto* item = qobject_cast<QAction*>(sender);
        TextFinder::sharedInstance().performFindPanelAction(item ? item->data().toInt() : 1);
    }, [](QAction* item) {
        return TextFinder::sharedInstance().validateFindPanelAction(kit::ActionRouter::actionOf(item));
    });
    const QList<QPair<QString, void (TextFinder::*)()>> finderCommands = {
        {QStringLiteral("orderFrontFindPanel:"), &TextFinder::orderFrontFindPanel},
        {QStringLiteral("jumpToSelection:"), &TextFinder::jumpToSelection},
        {QStringLiteral("findNonAscii:"), &TextFinder::findNonAscii},
        {QStringLiteral("replaceWithHTMLCode:"), &TextFinder::replaceWithHTMLCode},
    };
    for (const auto& [command, method] : finderCommands) {
        auto m = method;
        addAction(command, [m](QObject*) { (TextFinder::sharedInstance().*m)(); },
                  [](QAction* item) { return TextFinder::sharedInstance().validateFindPanelAction(kit::ActionRouter::actionOf(item)); });
    }
    addAction(QStringLiteral("showBatchTextFinderPanel:"), [](QObject*) { BatchTextFinder::shared().showWindow(); });
    addAction(QStringLiteral("showGoToLineNumberPanel:"), [](QObject*) { GoToLineNumber::shared().showWindow(); });

    // The Close keys follow the window in front and its tabs.
    kit::NotificationCenter::defaultCenter().addObserver(KELSelectedTabDidChangeNotification, nullptr,
        [this](const kit::Notification& n) {
            const auto* bar = static_cast<const TabView*>(n.object);
            if (bar)
                updateCloseWindowCommands(const_cast<TabView*>(bar)->window());
        }, this);
    // Focus also moves while a window tears its widgets down: look at the window
    // once that is over.
    connect(qApp, &QApplication::focusChanged, this, [this] {
        QTimer::singleShot(0, this, [this] { updateCloseWindowCommands(QApplication::activeWindow()); });
    });
}

bool AppController::applicationShouldOpenUntitledFile() const
{
    return kit::UserDefaults::standard().boolValue(kCreateNewDocumentKey);
}

bool AppController::applicationDidFinishLaunching()
{
    UserAgreementController agreement;
    if (!agreement.showWindow())
        return false;
    updateRecentProjects();
    KELCrashReporter::sharedInstance().detectCrashes();
    return true;
}

void AppController::terminate()
{
    if (m_terminating || m_terminated)
        return;
    m_terminating = true;
    QPointer<AppController> self(this);
    KELStopDocumentSystem([self](bool shouldTerminate) {
        if (!self)
            return;
        if (!shouldTerminate) {
            self->m_terminating = false;
            return;
        }
        self->applicationWillTerminate();
        // Straight out of the event loop: the windows are closed and their
        // documents were asked; nothing is to be asked again.
        if (self->m_exit)
            self->m_exit(0);
        else
            QCoreApplication::exit(0);
    });
}

void AppController::applicationWillTerminate()
{
    if (m_terminated)
        return;
    m_terminated = true;
    kit::NotificationCenter::defaultCenter().post(KELApplicationWillTerminateNotification, qApp);
    kit::removeTemporaryFolder();
    kit::UserDefaults::standard().synchronize();
}

UserAgreementController::UserAgreementController()
{
    m_panel = new QDialog;
    m_panel->setWindowTitle(QStringLiteral("Kelp Studio Licence"));
    auto* layout = new QVBoxLayout(m_panel);
    auto* intro = new QLabel(QStringLiteral(
        "Kelp Studio is free software: you can redistribute it and/or modify it under the terms of the "
        "GNU General Public License as published by the Free Software Foundation, either version 3 of the "
        "License, or (at your option) any later version. Please read the licence and agree to continue."));
    intro->setWordWrap(true);
    layout->addWidget(intro);
    auto* text = new QPlainTextEdit;
    text->setReadOnly(true);
    QFile licence(kit::resourcesPath() + QStringLiteral("/../LICENSE"));
    if (licence.open(QIODevice::ReadOnly))
        text->setPlainText(QString::fromUtf8(licence.readAll()));
    else
        text->setPlainText(QStringLiteral("GNU General Public License, version 3 or any later version."));
    layout->addWidget(text);
    auto* buttons = new QDialogButtonBox;
    QPushButton* agreeButton = buttons->addButton(QStringLiteral("Agree"), QDialogButtonBox::AcceptRole);
    agreeButton->setObjectName(QStringLiteral("agree"));
    QPushButton* quitButton = buttons->addButton(QStringLiteral("Quit"), QDialogButtonBox::RejectRole);
    quitButton->setObjectName(QStringLiteral("quit"));
    layout->addWidget(buttons);
    connect(agreeButton, &QPushButton::clicked, this, &UserAgreementController::agree);
    connect(quitButton, &QPushButton::clicked, this, &UserAgreementController::quit);
    m_panel->resize(620, 480);
}

UserAgreementController::~UserAgreementController()
{
    delete m_panel;
}

bool UserAgreementController::showWindow()
{
    if (kit::UserDefaults::standard().boolValue(kUserAgreesKey))
        return true;
    m_panel->exec();
    if (m_quit) {
        QApplication::quit();
        return false;
    }
    return kit::UserDefaults::standard().boolValue(kUserAgreesKey);
}

void UserAgreementController::agree()
{
    kit::UserDefaults::standard().setValue(kUserAgreesKey, true);
    m_panel->accept();
}

void UserAgreementController::quit()
{
    m_quit = true;
    m_panel->reject();
}
