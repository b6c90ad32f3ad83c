#pragma once
// The running editor: the hand-off to an instance already running in this
// desktop session, start-up (services, the windows of the last session, the
// files asked for), the socket later starts hand their files to, and quitting.

#include "app/KELInstanceServer.h"

#include <QIcon>
#include <QList>
#include <QMainWindow>
#include <QObject>
#include <QPointer>
#include <QString>

class KELApplication : public QObject {
    Q_OBJECT
public:
    struct Options {
        QString serverName;      // empty: the session's (KELInstanceServer::serverName)
        QString restorationPath; // empty: the default window store
    };
    explicit KELApplication(Options options = {}, QObject* parent = nullptr);
    ~KELApplication() override;

    /// Hands the request to the instance already running in this session and
    /// answers false (this process then ends); otherwise starts: the services the
    /// documents rely on, the windows of the last session, the socket for later
    /// starts. The request's files open, and the launch finishes, on the next
    /// turn of the event loop.
    bool start(const KELOpenRequest& request);
    bool hasFinishedLaunching() const { return m_launched; }
    /// How many windows came back from the last session.
    int restoredWindowCount() const { return m_restoredWindows; }
    KELInstanceServer* server() const { return m_server; }
    /// The window shown when start-up leaves no document window open.
    QMainWindow* placeholderWindow() const { return m_placeholder; }

protected:
    /// Every request to quit (the desktop's, the last window closing) takes the
    /// Quit command's way: questions first, windows saved, then the end.
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void finishLaunching();
    void openRequest(const KELOpenRequest& request);

    Options m_options;
    QPointer<KELInstanceServer> m_server;
    QPointer<QMainWindow> m_placeholder;
    QList<KELOpenRequest> m_pending;
    bool m_launched = false;
    int m_restoredWindows = 0;
};

/// Starts the editor: makes the application, runs start-up and the event loop.
/// The application's icon: the installed theme's, else the one among the resources.
QIcon KELApplicationIcon();
int KELApplicationMain(int argc, char** argv);
