#include "kit/TemporaryFolder.h"
#include "kit/Timers.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTest>
#include <gtest/gtest.h>
#include <memory>

TEST(TimersTest, PerformOnNextTurnRunsLaterAndNotAfterItsContextIsGone)
{
    QStringList calls;
    QObject context;
    kit::performOnNextTurn(&context, [&] { calls << QStringLiteral("a"); });
    kit::performOnNextTurn(nullptr, [&] { calls << QStringLiteral("b"); });
    auto doomed = std::make_unique<QObject>();
    kit::performOnNextTurn(doomed.get(), [&] { calls << QStringLiteral("never"); });
    doomed.reset();
    EXPECT_TRUE(calls.isEmpty()); // not inside the caller
    EXPECT_TRUE(QTest::qWaitFor([&] { return calls.size() == 2; }, 60000));
    QCoreApplication::processEvents();
    EXPECT_EQ(calls, (QStringList{QStringLiteral("a"), QStringLiteral("b")}));
}

TEST(TimersTest, OneShotTimerRestartsAndStops)
{
    int fired = 0;
    kit::OneShotTimer timer([&] { ++fired; });
    timer.start(10);
    timer.start(20); // restart: still one callback
    EXPECT_TRUE(timer.isActive());
    EXPECT_TRUE(QTest::qWaitFor([&] { return fired > 0; }, 60000));
    QTest::qWait(50);
    EXPECT_EQ(fired, 1);
    EXPECT_FALSE(timer.isActive());

    timer.start(10);
    timer.stop();
    QTest::qWait(40);
    EXPECT_EQ(fired, 1);

    // A callback may restart its own timer.
    int rounds = 0;
    kit::OneShotTimer again;
    again.setCallback([&] {
        if (++rounds < 3)
            again.start(0);
    });
    again.start(0);
    EXPECT_TRUE(QTest::qWaitFor([&] { return rounds == 3; }, 60000));
}

TEST(TemporaryFolderTest, OneFolderPerProcessRemovedOnRequest)
{
    const QString folder = kit::temporaryFolder();
    ASSERT_FALSE(folder.isEmpty());
    EXPECT_TRUE(QFileInfo(folder).isDir());
    EXPECT_EQ(kit::temporaryFolder(), folder);
    const QString p1 = kit::uniqueTemporaryPath(QStringLiteral(".html"));
    const QString p2 = kit::uniqueTemporaryPath(QStringLiteral(".html"));
    EXPECT_NE(p1, p2);
    EXPECT_TRUE(p1.startsWith(folder + QLatin1Char('/')));
    EXPECT_TRUE(p1.endsWith(QStringLiteral(".html")));
    QFile f(p1);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.close();

    kit::removeTemporaryFolder();
    EXPECT_FALSE(QFileInfo::exists(folder));
    kit::removeTemporaryFolder(); // twice: no error
    const QString fresh = kit::temporaryFolder();
    EXPECT_TRUE(QFileInfo(fresh).isDir());
}
