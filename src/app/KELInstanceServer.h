#pragma once
// One running instance per desktop session: a second start on the same display
// hands its command line (files, and the external-editor options) to the running
// instance and exits; the running instance opens them as it opens files from the
// file manager. A start on another display, or without one, runs on its own.

#include <QObject>
#include <QString>
#include <QStringList>
#include <functional>
#include <optional>

class QLocalServer;

/// What a command line asks to open.
struct KELOpenRequest {
    QStringList paths;          // absolute paths, in order
    QString odbSender;          // --odb-sender NAME (external editor client)
    std::optional<QString> odbToken; // --odb-token TOKEN
    QString odbCustomPath;      // --odb-custom-path PATH
};

class KELInstanceServer : public QObject {
    Q_OBJECT
public:
    /// The hand-off socket of this desktop session: in the user's runtime folder
    /// (else the temporary folder, with the user id), named after the display,
    /// the Wayland socket, or "headless" for a start without a screen.
    static QString serverName();
    /// The session part of that name, for this process.
    static QString sessionName();
    /// The session part for a platform plugin and the display variables.
    static QString sessionName(const QString& platform, const QString& waylandDisplay, const QString& x11Display);
    /// Reads the arguments after the program name; relative paths are made
    /// absolute against the working folder.
    static KELOpenRequest parseArguments(const QStringList& arguments, const QString& workingFolder);
    static QByteArray encodeRequest(const KELOpenRequest& request);
    static std::optional<KELOpenRequest> decodeRequest(const QByteArray& data);

    /// Sends the request to a running instance; false when none answers.
    static bool handOff(const KELOpenRequest& request, const QString& name = serverName(), int timeoutMs = 1000);

    explicit KELInstanceServer(QObject* parent = nullptr);
    ~KELInstanceServer() override;
    /// Starts listening (taking over a socket left by an instance that is gone);
    /// false when it cannot, or when an instance answers on it.
    bool listen(const QString& name = serverName());

    /// What is done with a request that arrives (the application opens its
    /// files). It runs on a later turn of the event loop, after the request's
    /// connection is answered and closed, so the alerts it may show never run
    /// inside the socket's own signal.
    using Handler = std::function<void(const KELOpenRequest&)>;
    void setHandler(Handler handler) { m_handler = std::move(handler); }

private:
    QLocalServer* m_server = nullptr;
    Handler m_handler;
};
