#pragma once
// The application delegate: start-up, the application-wide commands and quit.

#include "kit/Responder.h"

#include <QObject>
#include <QPointer>

#include <QDialog>

inline const QString KELApplicationWillTerminateNotification = QStringLiteral("KELApplicationWillTerminateNotification");

class AppController : public QObject, public kit::Responder {
    Q_OBJECT
public:
    static AppController& sharedInstance();

    /// Runs once before the delegate exists: registers every default, moves the
    /// legacy keys and drops stale settings.
    static void initialize();

    /// Whether an untitled document is made at start-up ("Create New Document").
    bool applicationShouldOpenUntitledFile() const;
    /// After the event loop starts: the user agreement, then the crash check.
    void applicationDidFinishLaunching();
    /// The quit sequence.
    void applicationWillTerminate();

private:
    AppController();
    bool m_terminated = false;
};

/// The agreement panel shown until the user agrees to the licence once.
class UserAgreementController : public QObject {
    Q_OBJECT
public:
    UserAgreementController();
    ~UserAgreementController() override;
    /// Runs the panel modally while the user has not agreed; answers whether the
    /// user agreed (true at once when already agreed).
    bool showWindow();
    QDialog* panel() const { return m_panel; }
    void agree();
    void quit();

private:
    QPointer<QDialog> m_panel;
    bool m_quit = false;
};
