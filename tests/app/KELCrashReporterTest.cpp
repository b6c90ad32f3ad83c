#include "app/KELCrashReporter.h"

#include "support/DefaultsKeys.h"
#include "kit/Alert.h"
#include "kit/UserDefaults.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QUrlQuery>
#include <csignal>

namespace {

class CrashReporterTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        kit::UserDefaults::standard().removeValue(KELLastCrashCheckKey);
        reporter.setCrashReportFolder(dir.path());
        reporter.setURLOpenerForTesting([this](const QUrl& url) {
            mailed << url;
            return true;
        });
        kit::Alert::setResponderForTesting([this](const kit::Alert& alert) {
            asked << alert.messageText();
            return answer;
        });
    }
    void TearDown() override
    {
        kit::Alert::setResponderForTesting({});
        reporter.setURLOpenerForTesting({});
        reporter.setCrashReportFolder(QString());
    }
    void plant(const QString& relative, const QByteArray& text, const QDateTime& modified)
    {
        QDir().mkpath(QFileInfo(dir.filePath(relative)).absolutePath());
        QFile f(dir.filePath(relative));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(text);
        f.flush();
        f.setFileTime(modified, QFileDevice::FileModificationTime);
    }
    static QString body(const QUrl& url)
    {
        return QUrlQuery(url).queryItemValue(QStringLiteral("BODY"), QUrl::FullyDecoded);
    }

    QTemporaryDir dir;
    KELCrashReporter& reporter = KELCrashReporter::sharedInstance();
    QList<QUrl> mailed;
    QStringList asked;
    int answer = kit::Alert::FirstButtonReturn;
};

} // namespace

TEST_F(CrashReporterTest, FirstRunOnlyRecordsTheDate)
{
    plant(QStringLiteral("Kelp Studio_1.crash"), "old", QDateTime::currentDateTime().addSecs(-60));
    reporter.detectCrashes();
    EXPECT_TRUE(asked.isEmpty());
    EXPECT_TRUE(reporter.lastCrashCheck().isValid());
}

TEST_F(CrashReporterTest, OffersTheNewestOwnReportOnceWithItsTextIntact)
{
    const QDateTime now = QDateTime::currentDateTime();
    reporter.setCrashCheckDate(now.addSecs(-3600));
    plant(QStringLiteral("Kelp Studio_older.crash"), "older report", now.addSecs(-600));
    plant(QStringLiteral("sub/Kelp Studio_newer.crash"), "a & b # c + d? e\nsecond line", now.addSecs(-300));
    plant(QStringLiteral("Other App_x.crash"), "not ours", now.addSecs(-60));
    plant(QStringLiteral("Kelp Studio_y.log"), "wrong extension", now.addSecs(-60));
    plant(QStringLiteral("Kelp Studio_stale.crash"), "before the last check", now.addSecs(-7200));
    reporter.detectCrashes();
    ASSERT_EQ(asked, QStringList({QStringLiteral("Crash Detected")}));
    ASSERT_EQ(mailed.size(), 1);
    const QUrl url = mailed[0];
    EXPECT_EQ(url.scheme(), QStringLiteral("mailto"));
    EXPECT_EQ(url.path(), KELCrashReporter::supportEmailAddress());
    EXPECT_EQ(QUrlQuery(url).queryItemValue(QStringLiteral("SUBJECT"), QUrl::FullyDecoded),
              QCoreApplication::applicationName() + QStringLiteral(" Crash Log"));
    EXPECT_EQ(body(url), QStringLiteral("Description of what you were doing when the crash occurred:\n\n\n\n\n\n\n\n"
                                        "Crash Log:\na & b # c + d? e\nsecond line\n"));
    // Offered at most once.
    reporter.detectCrashes();
    EXPECT_EQ(asked.size(), 1);
}

TEST_F(CrashReporterTest, CancelStillMovesTheCheckDateAndBadTextFallsBack)
{
    const QDateTime now = QDateTime::currentDateTime();
    reporter.setCrashCheckDate(now.addSecs(-3600));
    plant(QStringLiteral("Kelp Studio_r.crash"), "caf\x8e", now.addSecs(-60)); // not UTF-8: Mac OS Roman
    answer = kit::Alert::SecondButtonReturn;
    reporter.detectCrashes();
    EXPECT_EQ(asked.size(), 1);
    EXPECT_TRUE(mailed.isEmpty());
    EXPECT_GE(reporter.lastCrashCheck(), now.addSecs(-1)); // kept in whole seconds
    reporter.detectCrashes();
    EXPECT_EQ(asked.size(), 1);

    reporter.setCrashCheckDate(now.addSecs(-3600));
    answer = kit::Alert::FirstButtonReturn;
    reporter.detectCrashes();
    ASSERT_EQ(mailed.size(), 1);
    EXPECT_TRUE(body(mailed[0]).contains(QStringLiteral("caf\u00e9")));
    // A check date pushed into the future hides a report written just before it.
    reporter.setCrashCheckDate(QDateTime::currentDateTime().addSecs(10));
    EXPECT_TRUE(reporter.newestReportSince(reporter.lastCrashCheck()).isEmpty());
}

TEST_F(CrashReporterTest, TheHandlerWritesAReportThatTheNextStartOffers)
{
    const QDateTime before = QDateTime::currentDateTime().addSecs(-5);
    reporter.setCrashCheckDate(before);
    GTEST_FLAG_SET(death_test_style, "fast");
    EXPECT_EXIT(
        {
            reporter.installCrashHandler();
            std::raise(SIGSEGV);
        },
        ::testing::KilledBySignal(SIGSEGV), ".*");
    const QString report = reporter.newestReportSince(before);
    ASSERT_FALSE(report.isEmpty());
    QFile file(report);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray text = file.readAll();
    EXPECT_TRUE(text.contains("Signal: 11 (SIGSEGV)"));
    EXPECT_TRUE(text.contains("Backtrace:"));
    reporter.detectCrashes();
    ASSERT_EQ(mailed.size(), 1);
    EXPECT_TRUE(body(mailed[0]).contains(QStringLiteral("SIGSEGV")));
}
