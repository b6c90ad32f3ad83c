#include "kit/NotificationCenter.h"

#include <QThread>
#include <QTest>
#include <gtest/gtest.h>
#include <memory>

using kit::Notification;
using kit::NotificationCenter;

TEST(NotificationCenterTest, DeliversByNameAndObject)
{
    NotificationCenter center;
    int a = 0, b = 0;
    QStringList log;
    const int sender = 0, otherSender = 0;
    center.addObserver(QStringLiteral("Changed"), nullptr, [&](const Notification& n) {
        log << QStringLiteral("any:%1").arg(n.userInfo.value(QStringLiteral("k")).toString());
    });
    center.addObserver(QStringLiteral("Changed"), &sender, [&](const Notification&) { ++a; });
    center.addObserver(QString(), nullptr, [&](const Notification& n) { log << QStringLiteral("all:") + n.name; });
    center.addObserver(QStringLiteral("Other"), nullptr, [&](const Notification&) { ++b; });

    center.post(QStringLiteral("Changed"), &sender, {{QStringLiteral("k"), QStringLiteral("v")}});
    center.post(QStringLiteral("Changed"), &otherSender);
    EXPECT_EQ(a, 1);
    EXPECT_EQ(b, 0);
    // In registration order.
    EXPECT_EQ(log, (QStringList{QStringLiteral("any:v"), QStringLiteral("all:Changed"), QStringLiteral("any:"),
                                QStringLiteral("all:Changed")}));
}

TEST(NotificationCenterTest, ObserversMayRemoveThemselvesAndOthersDuringAPost)
{
    NotificationCenter center;
    QStringList calls;
    quint64 second = 0, third = 0;
    quint64 first = 0;
    first = center.addObserver(QStringLiteral("N"), nullptr, [&](const Notification&) {
        calls << QStringLiteral("first");
        center.removeObserver(first); // itself
        center.removeObserver(third); // a later one
    });
    second = center.addObserver(QStringLiteral("N"), nullptr, [&](const Notification&) {
        calls << QStringLiteral("second");
        // Added during the post: not called for this post.
        center.addObserver(QStringLiteral("N"), nullptr, [&](const Notification&) { calls << QStringLiteral("late"); });
    });
    third = center.addObserver(QStringLiteral("N"), nullptr, [&](const Notification&) { calls << QStringLiteral("third"); });
    center.post(QStringLiteral("N"));
    EXPECT_EQ(calls, (QStringList{QStringLiteral("first"), QStringLiteral("second")}));
    calls.clear();
    center.removeObserver(second);
    center.post(QStringLiteral("N"));
    EXPECT_EQ(calls, (QStringList{QStringLiteral("late")}));
    EXPECT_EQ(center.observerCount(), 1);
}

TEST(NotificationCenterTest, NestedPostsAndHandlersThatOutliveTheirCapture)
{
    NotificationCenter center;
    QStringList calls;
    auto state = std::make_shared<int>(0);
    quint64 id = 0;
    id = center.addObserver(QStringLiteral("Outer"), nullptr, [&, state](const Notification&) {
        center.removeObserver(id); // destroys the stored handler; this call must finish safely
        ++*state;
        center.post(QStringLiteral("Inner"));
        calls << QStringLiteral("outer done %1").arg(*state);
    });
    center.addObserver(QStringLiteral("Inner"), nullptr, [&](const Notification&) { calls << QStringLiteral("inner"); });
    center.post(QStringLiteral("Outer"));
    EXPECT_EQ(calls, (QStringList{QStringLiteral("inner"), QStringLiteral("outer done 1")}));
}

TEST(NotificationCenterTest, ContextDestructionRemovesItsObservers)
{
    NotificationCenter center;
    int calls = 0;
    auto context = std::make_unique<QObject>();
    center.addObserver(QStringLiteral("N"), nullptr, [&](const Notification&) { ++calls; }, context.get());
    center.addObserver(QStringLiteral("N"), nullptr, [&](const Notification&) { ++calls; }, context.get());
    center.post(QStringLiteral("N"));
    EXPECT_EQ(calls, 2);
    context.reset();
    center.post(QStringLiteral("N"));
    EXPECT_EQ(calls, 2);
    EXPECT_EQ(center.observerCount(), 0);

    // A context destroyed by a handler during the post stops its other observers at once.
    auto doomed = new QObject;
    QStringList order;
    center.addObserver(QStringLiteral("M"), nullptr, [&](const Notification&) {
        order << QStringLiteral("killer");
        delete doomed;
    });
    center.addObserver(QStringLiteral("M"), nullptr, [&](const Notification&) { order << QStringLiteral("victim"); }, doomed);
    center.post(QStringLiteral("M"));
    EXPECT_EQ(order, (QStringList{QStringLiteral("killer")}));

    QObject explicitContext;
    center.addObserver(QStringLiteral("N"), nullptr, [&](const Notification&) { ++calls; }, &explicitContext);
    center.removeObservers(&explicitContext);
    center.post(QStringLiteral("N"));
    EXPECT_EQ(calls, 2);
}

TEST(NotificationCenterTest, PostsFromAnotherThreadArriveOnTheMainThread)
{
    NotificationCenter& center = NotificationCenter::defaultCenter();
    QThread* deliveredOn = nullptr;
    QObject context;
    center.addObserver(QStringLiteral("FromWorker"), nullptr, [&](const Notification&) { deliveredOn = QThread::currentThread(); },
                       &context);
    std::unique_ptr<QThread> worker(QThread::create([&] { center.post(QStringLiteral("FromWorker")); }));
    worker->start();
    worker->wait();
    EXPECT_TRUE(QTest::qWaitFor([&] { return deliveredOn != nullptr; }, 60000));
    EXPECT_EQ(deliveredOn, QThread::currentThread());
}
