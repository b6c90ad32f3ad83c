#pragma once
// One running instance per user: a second start hands its command line (files,
// and the external-editor options) to the running instance and exits; the
// running instance opens them as it opens files from the file manager.

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
    /// The per-user name of the hand-off socket.
    static QString serverName();
    /// Reads the arguments after the program name; relative paths are made
    /// absolute against the working folder.
    static KELOpenRequest parseArguments(const QStringList& arguments, const QString& workingFolder);
    static QByteArray encodeRequest(const KELOpenRequest& request);
    static std::optional<KELOpenRequest> decodeRequest(const QByteArray& data);

    /// Sends the request to a running instance; false when none answers.
    static bool handOff(const KELOpenRequest& request, const QString& name = serverName(), int timeoutMs = 1000);

    explicit KELInstanceServer(QObject* parent = nullptr);
    ~KELInstanceServer() override;
    /// Starts listening (taking over a stale socket); false when it cannot.
    bool listen(const QString& name = serverName());

    /// What is done with a request that arrives (the application opens its files).
    using Handler = std::function<void(const KELOpenRequest&)>;
    void setHandler(Handler handler) { m_handler = std::move(handler); }

private:
    QLocalServer* m_server = nullptr;
    Handler m_handler;
};
