#pragma once
// A full disk and a read-only file system, for tests of what a store or a write
// does under them. Such a test runs again in a child process with a mount
// namespace of its own (unshare), where it may mount a small tmpfs and make it
// read-only without touching the machine's mounts:
//
//     TEST(StoreFaults, FullDisk)
//     {
//         KELP_RUN_WITH_PRIVATE_MOUNTS();
//         testsupport::SmallDisk disk(dir.filePath("disk"), 256);
//         ASSERT_TRUE(disk.isMounted());
//         ...
//     }

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QString>
#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <sys/mount.h>

namespace testsupport {

inline const char* PrivateMountsVariable = "KELP_TEST_PRIVATE_MOUNTS";

/// True in the child that runs a test with mounts of its own.
inline bool hasPrivateMounts() { return qEnvironmentVariableIsSet(PrivateMountsVariable); }

struct PrivateMountsRun {
    bool available = false; // namespaces could be made
    bool passed = false;
    QString output;
};

/// Runs the current test in a child process with its own user and mount namespaces.
inline PrivateMountsRun runCurrentTestWithPrivateMounts()
{
    PrivateMountsRun run;
    QProcess probe;
    probe.start(QStringLiteral("unshare"), { QStringLiteral("-Urm"), QStringLiteral("true") });
    if (!probe.waitForFinished(60000) || probe.exitStatus() != QProcess::NormalExit || probe.exitCode() != 0) {
        run.output = QStringLiteral("no private mount namespace: %1").arg(QString::fromLocal8Bit(probe.readAllStandardError()));
        return run;
    }
    run.available = true;
    const ::testing::TestInfo* test = ::testing::UnitTest::GetInstance()->current_test_info();
    const QString filter = QStringLiteral("--gtest_filter=%1.%2")
                               .arg(QString::fromUtf8(test->test_suite_name()), QString::fromUtf8(test->name()));
    QProcess child;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QString::fromLatin1(PrivateMountsVariable), QStringLiteral("1"));
    child.setProcessEnvironment(env);
    child.setProcessChannelMode(QProcess::MergedChannels);
    child.start(QStringLiteral("unshare"),
        { QStringLiteral("-Urm"), QCoreApplication::applicationFilePath(), filter });
    child.waitForFinished(-1);
    run.output = QString::fromLocal8Bit(child.readAll());
    run.passed = child.exitStatus() == QProcess::NormalExit && child.exitCode() == 0
        && run.output.contains(QStringLiteral("[  PASSED  ] 1 test"));
    return run;
}

/// A small tmpfs mounted at a path (made when missing) while the object lives: a
/// disk that fills up, or that is made read-only.
class SmallDisk
{
public:
    SmallDisk(const QString& path, int kibibytes)
        : m_path(path)
    {
        QDir().mkpath(path);
        const QByteArray options = "size=" + QByteArray::number(kibibytes) + "k";
        m_mounted = ::mount("none", QFile::encodeName(path).constData(), "tmpfs", 0, options.constData()) == 0;
        if (!m_mounted)
            ADD_FAILURE() << "mount tmpfs: " << std::strerror(errno);
    }
    ~SmallDisk()
    {
        // Detached, so that the temporary folder holding it can go.
        if (m_mounted)
            ::umount2(QFile::encodeName(m_path).constData(), MNT_DETACH);
    }
    SmallDisk(const SmallDisk&) = delete;
    SmallDisk& operator=(const SmallDisk&) = delete;
    bool isMounted() const { return m_mounted; }
    QString filePath(const QString& name) const { return QDir(m_path).filePath(name); }

    /// Read-only from now on (no file in it may be open for writing).
    bool makeReadOnly()
    {
        if (::mount("none", QFile::encodeName(m_path).constData(), nullptr, MS_REMOUNT | MS_RDONLY, nullptr) == 0)
            return true;
        ADD_FAILURE() << "remount read-only: " << std::strerror(errno);
        return false;
    }

    /// Fills the disk with one file until no byte more fits; answers its path.
    QString fill()
    {
        const QString filler = filePath(QStringLiteral("filler"));
        QFile file(filler);
        if (!file.open(QIODevice::WriteOnly))
            return QString();
        const QByteArray block(4096, 'f');
        while (file.write(block) == block.size() && file.flush()) { }
        // Whatever room a block left.
        while (file.write("f", 1) == 1 && file.flush()) { }
        return filler;
    }

private:
    QString m_path;
    bool m_mounted = false;
};

} // namespace testsupport

/// Runs the rest of the test in a child with mounts of its own; the parent reports its outcome.
#define KELP_RUN_WITH_PRIVATE_MOUNTS()                                                                                 \
    do {                                                                                                               \
        if (!testsupport::hasPrivateMounts()) {                                                                        \
            const testsupport::PrivateMountsRun run = testsupport::runCurrentTestWithPrivateMounts();                  \
            if (!run.available)                                                                                        \
                GTEST_SKIP() << run.output.toStdString();                                                              \
            EXPECT_TRUE(run.passed) << run.output.toStdString();                                                       \
            return;                                                                                                    \
        }                                                                                                              \
    } while (false)
