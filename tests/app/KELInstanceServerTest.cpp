#include "app/KELInstanceServer.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QTest>
#include <thread>

TEST(InstanceServerTest, ArgumentsTable)
{
    struct Case {
        QStringList args;
        QStringList paths;
        QString sender;
        std::optional<QString> token;
        QString custom;
    };
    const Case cases[] = {
        {{QStringLiteral("a.html"), QStringLiteral("/abs/b.css")}, {QStringLiteral("/work/a.html"), QStringLiteral("/abs/b.css")}, {}, {}, {}},
        {{QStringLiteral("--odb-sender"), QStringLiteral("org.example.Client"), QStringLiteral("--odb-token"), QString(),
          QStringLiteral("--odb-custom-path"), QStringLiteral("Remote page"), QStringLiteral("../x.html")},
         {QStringLiteral("/x.html")}, QStringLiteral("org.example.Client"), QString(), QStringLiteral("Remote page")},
        {{QStringLiteral("-style"), QStringLiteral("--"), QStringLiteral("-dash.html")}, {QStringLiteral("/work/-dash.html")}, {}, {}, {}},
        {{QStringLiteral("--odb-sender")}, {}, {}, {}, {}}, // an option without its value is dropped
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.args.join(QLatin1Char(' ')).toStdString());
        const KELOpenRequest r = KELInstanceServer::parseArguments(c.args, QStringLiteral("/work"));
        EXPECT_EQ(r.paths, c.paths);
        EXPECT_EQ(r.odbSender, c.sender);
        EXPECT_EQ(r.odbToken, c.token);
        EXPECT_EQ(r.odbCustomPath, c.custom);
        const auto back = KELInstanceServer::decodeRequest(KELInstanceServer::encodeRequest(r));
        ASSERT_TRUE(back);
        EXPECT_EQ(back->paths, r.paths);
        EXPECT_EQ(back->odbToken, r.odbToken);
    }
    EXPECT_FALSE(KELInstanceServer::decodeRequest(QByteArray("garbage")));
}

TEST(InstanceServerTest, ASecondStartHandsItsFilesToTheRunningInstance)
{
    const QString name = QStringLiteral("kelp-studio-test-%1").arg(QCoreApplication::applicationPid());
    EXPECT_FALSE(KELInstanceServer::handOff({}, name, 100)); // nobody running yet
    KELInstanceServer server;
    ASSERT_TRUE(server.listen(name));
    QList<KELOpenRequest> received;
    server.setHandler([&](const KELOpenRequest& r) { received << r; });
    KELOpenRequest request;
    request.paths = {QStringLiteral("/p/one.html"), QStringLiteral("/p/two.html")};
    request.odbSender = QStringLiteral("org.example.Client");
    request.odbToken = QStringLiteral("t1");
    bool handedOff = false;
    // The second start runs beside the event loop of the first.
    // Deadlines for a machine busy with other work; each wait ends when its condition holds.
    std::thread second([&] { handedOff = KELInstanceServer::handOff(request, name, 60000); });
    const bool arrived = QTest::qWaitFor([&] { return received.size() == 1; }, 60000);
    second.join();
    ASSERT_TRUE(arrived);
    EXPECT_TRUE(handedOff);
    EXPECT_EQ(received[0].paths, request.paths);
    EXPECT_EQ(received[0].odbSender, request.odbSender);
    EXPECT_EQ(received[0].odbToken, request.odbToken);
}
