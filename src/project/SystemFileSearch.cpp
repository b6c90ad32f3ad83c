#include "project/SystemFileSearch.h"

#include <QProcess>
#include <QStandardPaths>

namespace {
SystemFileSearch::Factory& factory()
{
    static SystemFileSearch::Factory f;
    return f;
}
} // namespace

std::unique_ptr<SystemFileSearch> SystemFileSearch::make()
{
    if (factory())
        return factory()();
    return std::make_unique<LocateFileSearch>();
}

void SystemFileSearch::setFactoryForTesting(Factory f)
{
    factory() = std::move(f);
}

LocateFileSearch::LocateFileSearch(QObject* parent) : SystemFileSearch(parent)
{
    for (const char* name : {"plocate", "locate"}) {
        m_program = QStandardPaths::findExecutable(QString::fromLatin1(name));
        if (!m_program.isEmpty())
            break;
    }
}

LocateFileSearch::~LocateFileSearch()
{
    stop();
}

void LocateFileSearch::start(const QString& wildcard)
{
    stop();
    if (m_program.isEmpty()) {
        Q_EMIT finished();
        return;
    }
    m_paths.clear();
    m_pending.clear();
    m_process = new QProcess(this);
    QProcess* process = m_process;
    process->setStandardInputFile(QProcess::nullDevice());
    process->setStandardErrorFile(QProcess::nullDevice());
    connect(process, &QProcess::readyReadStandardOutput, this, [this, process] {
        if (process != m_process)
            return;
        m_pending += process->readAllStandardOutput();
        const qsizetype end = m_pending.lastIndexOf('\n');
        if (end < 0)
            return;
        for (const QByteArray& line : m_pending.left(end).split('\n')) {
            if (!line.isEmpty())
                m_paths << QString::fromLocal8Bit(line);
        }
        m_pending.remove(0, end + 1);
        Q_EMIT resultsChanged(m_paths);
    });
    connect(process, &QProcess::finished, this, [this, process] {
        if (process != m_process)
            return;
        m_process = nullptr;
        process->deleteLater();
        Q_EMIT finished();
    });
    connect(process, &QProcess::errorOccurred, this, [this, process](QProcess::ProcessError error) {
        if (process != m_process || error != QProcess::FailedToStart)
            return;
        m_process = nullptr;
        process->deleteLater();
        Q_EMIT finished();
    });
    // Base names only, ignoring case, whole-name wildcard match.
    process->start(m_program, {QStringLiteral("-i"), QStringLiteral("-b"), QStringLiteral("-l"), QString::number(ResultLimit),
                               QStringLiteral("--"), wildcard});
}

void LocateFileSearch::stop()
{
    if (!m_process)
        return;
    QProcess* process = m_process;
    m_process = nullptr;
    process->disconnect(this);
    process->kill();
    process->waitForFinished(1000);
    process->deleteLater();
}
