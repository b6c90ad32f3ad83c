#pragma once
// The computer-wide file name search behind Open Quickly's system search:
// the locate database (plocate or mlocate) when one is installed.

#include <QObject>
#include <QString>
#include <QStringList>
#include <functional>
#include <memory>

class SystemFileSearch : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;
    /// Whether this search can run here.
    virtual bool isAvailable() const = 0;
    /// Starts a search for names matching the wildcard text, ignoring case.
    virtual void start(const QString& wildcard) = 0;
    virtual void stop() = 0;

    /// The search of this computer (locate), or the one a test installed.
    static std::unique_ptr<SystemFileSearch> make();
    using Factory = std::function<std::unique_ptr<SystemFileSearch>()>;
    static void setFactoryForTesting(Factory factory);

Q_SIGNALS:
    /// Paths found so far (every path found since start).
    void resultsChanged(const QStringList& paths);
    void finished();
};

/// The locate database through plocate or locate, on a separate process.
class LocateFileSearch : public SystemFileSearch {
    Q_OBJECT
public:
    explicit LocateFileSearch(QObject* parent = nullptr);
    ~LocateFileSearch() override;
    bool isAvailable() const override { return !m_program.isEmpty(); }
    void start(const QString& wildcard) override;
    void stop() override;
    /// At most this many paths are asked for.
    static constexpr int ResultLimit = 2000;

private:
    QString m_program;
    class QProcess* m_process = nullptr;
    QStringList m_paths;
    QByteArray m_pending;
};
