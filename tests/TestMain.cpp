// Test entry point: every test binary runs inside a QApplication on the
// offscreen platform, with its own settings and data folders.
#include <gtest/gtest.h>

#include <QApplication>
#include <QStandardPaths>
#include <QTemporaryDir>

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", qgetenv("QT_QPA_PLATFORM").isEmpty() ? QByteArray("offscreen") : qgetenv("QT_QPA_PLATFORM"));
    if (qgetenv("QTWEBENGINE_DISABLE_SANDBOX").isEmpty())
        qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");
    // Keep the user's real settings out of reach of the tests.
    QTemporaryDir home;
    qputenv("XDG_CONFIG_HOME", (home.path() + "/config").toUtf8());
    qputenv("XDG_DATA_HOME", (home.path() + "/data").toUtf8());
    qputenv("XDG_CACHE_HOME", (home.path() + "/cache").toUtf8());
    // (Not Qt's test mode: it keeps every binary's data and settings in one folder of the
    // home folder, ~/.qttest, where binaries run side by side meet each other's files.)
    ::testing::InitGoogleTest(&argc, argv);
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Kelp Studio"));
    QApplication::setOrganizationName(QStringLiteral("Kelp Studio"));
    return RUN_ALL_TESTS();
}
