#pragma once
// Another process holding an SQLite file in a write transaction, for tests of
// what a store does while someone else has it locked.

#include <QFile>
#include <QString>

#include <csignal>
#include <sqlite3.h>
#include <sys/wait.h>
#include <unistd.h>

namespace testsupport {

/// A child process that holds the store in a write transaction (with its journal
/// on disk) until it is told to let go.
class SqliteLockHolder
{
public:
    explicit SqliteLockHolder(const QString& path)
    {
        int ready[2];
        int release[2];
        if (pipe(ready) != 0 || pipe(release) != 0)
            return;
        m_pid = fork();
        if (m_pid == 0) {
            close(ready[0]);
            close(release[1]);
            sqlite3* db = nullptr;
            if (sqlite3_open_v2(QFile::encodeName(path).constData(), &db, SQLITE_OPEN_READWRITE, nullptr) != SQLITE_OK)
                _exit(2);
            sqlite3_busy_timeout(db, 10000);
            if (sqlite3_exec(db, "BEGIN EXCLUSIVE; CREATE TABLE other_process(x);", nullptr, nullptr,
                    nullptr)
                != SQLITE_OK)
                _exit(3);
            char byte = 1;
            if (write(ready[1], &byte, 1) != 1 || read(release[0], &byte, 1) != 1)
                _exit(4);
            _exit(sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr) == SQLITE_OK ? 0 : 5);
        }
        close(ready[1]);
        close(release[0]);
        m_release = release[1];
        char byte = 0;
        m_locked = m_pid > 0 && read(ready[0], &byte, 1) == 1;
        close(ready[0]);
    }
    ~SqliteLockHolder() { letGo(); }
    bool isLocked() const { return m_locked; }
    /// Ends its transaction; answers its exit status (0: it committed).
    int letGo()
    {
        if (m_pid <= 0)
            return -1;
        const char byte = 1;
        if (write(m_release, &byte, 1) != 1)
            kill(m_pid, SIGKILL);
        close(m_release);
        int status = 0;
        waitpid(m_pid, &status, 0);
        m_pid = 0;
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }

private:
    pid_t m_pid = 0;
    int m_release = -1;
    bool m_locked = false;
};

} // namespace testsupport
