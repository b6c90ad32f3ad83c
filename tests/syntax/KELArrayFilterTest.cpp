// The array filter: one run per turn of the event loop, superseded jobs that
// stop and never publish, and the bound input.

#include "syntax/KELArrayFilter.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QSemaphore>
#include <QThread>
#include <atomic>
#include <gtest/gtest.h>

namespace {

QVariantList numbers(int count)
{
    QVariantList list;
    for (int i = 0; i < count; ++i)
        list.append(i);
    return list;
}

// Runs the event loop until the condition holds (or a generous limit passes, so a
// broken filter fails instead of hanging).
template <typename F>
bool spinUntil(F condition)
{
    QDeadlineTimer limit(20000);
    while (!condition()) {
        if (limit.hasExpired())
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        QThread::yieldCurrentThread();
    }
    return true;
}

struct Publications
{
    explicit Publications(KELArrayFilter& filter)
    {
        QObject::connect(&filter, &KELArrayFilter::filteredArrayChanged, &filter,
            [this, &filter] { arrays.append(filter.filteredArray()); });
    }
    QList<QVariantList> arrays;
};

TEST(KELArrayFilter, ChangesWithinOneTurnFilterOnce)
{
    KELArrayFilter filter;
    Publications published(filter);
    auto calls = std::make_shared<std::atomic<int>>(0);
    filter.setFilterPredicate([calls](const QVariant& v) {
        ++*calls;
        return v.toInt() % 2 == 0;
    });
    filter.setSourceArray(numbers(5));
    ASSERT_TRUE(spinUntil([&] { return !published.arrays.isEmpty(); }));
    QCoreApplication::processEvents();
    EXPECT_EQ(published.arrays, (QList<QVariantList> { QVariantList { 0, 2, 4 } }));
    EXPECT_EQ(calls->load(), 5) << "one job over the five elements";
}

TEST(KELArrayFilter, NoPredicatePublishesTheInputUnchanged)
{
    KELArrayFilter filter;
    Publications published(filter);
    filter.setSourceArray(numbers(3));
    ASSERT_TRUE(spinUntil([&] { return !published.arrays.isEmpty(); }));
    EXPECT_EQ(filter.filteredArray(), numbers(3));
}

// Typing in a search field: each key press gives a new predicate while the jobs
// of the earlier ones still run. Only the last job's result may appear.
TEST(KELArrayFilter, RapidTypingPublishesOnlyTheLastJob)
{
    KELArrayFilter filter;
    Publications published(filter);
    filter.setSourceArray(numbers(1000));
    ASSERT_TRUE(spinUntil([&] { return !published.arrays.isEmpty(); }));
    published.arrays.clear();

    // Earlier jobs block on their first element until every key has been typed.
    auto gate = std::make_shared<QSemaphore>(0);
    auto examined = std::make_shared<std::atomic<int>>(0);
    auto finished = std::make_shared<std::atomic<int>>(0);
    const int keys = 6;
    for (int key = 1; key < keys; ++key) {
        filter.setFilterPredicate([gate, examined, finished, key](const QVariant& v) {
            ++*examined;
            gate->acquire();
            gate->release();
            ++*finished;
            return v.toInt() % key == 0;
        });
        // The job starts on the next turn; wait until it is inside its first element.
        ASSERT_TRUE(spinUntil([&] { return examined->load() == key; }));
    }
    auto lastCalls = std::make_shared<std::atomic<int>>(0);
    filter.setFilterPredicate([lastCalls](const QVariant& v) {
        ++*lastCalls;
        return v.toInt() >= 990;
    });
    ASSERT_TRUE(spinUntil([&] { return !published.arrays.isEmpty(); }));
    gate->release();
    // Let the superseded jobs finish their element and see they were cancelled.
    ASSERT_TRUE(spinUntil([&] { return finished->load() >= keys - 1; }));
    for (int i = 0; i < 20; ++i) {
        QThread::yieldCurrentThread();
        QCoreApplication::processEvents();
    }

    ASSERT_EQ(published.arrays.size(), 1);
    QVariantList expected;
    for (int i = 990; i < 1000; ++i)
        expected.append(i);
    EXPECT_EQ(published.arrays.first(), expected);
    EXPECT_EQ(examined->load(), keys - 1) << "each superseded job stopped after its current element";
    EXPECT_EQ(lastCalls->load(), 1000);
}

class ListHolder : public QObject
{
    Q_OBJECT
public:
    QVariantList list;
Q_SIGNALS:
    void changed();
};

TEST(KELArrayFilter, BoundInputFollowsItsObjectAndASecondBindingReplacesTheFirst)
{
    KELArrayFilter filter;
    Publications published(filter);
    ListHolder first, second;
    first.list = numbers(2);
    second.list = numbers(4);
    filter.bindSourceArray(&first, &ListHolder::changed, [&first] { return first.list; });
    EXPECT_EQ(filter.sourceArray(), numbers(2));
    filter.bindSourceArray(&second, &ListHolder::changed, [&second] { return second.list; });
    EXPECT_EQ(filter.sourceArrayBindingObject(), &second);

    first.list = numbers(7);
    Q_EMIT first.changed();
    EXPECT_EQ(filter.sourceArray(), numbers(4)) << "the first binding is gone";
    second.list = numbers(5);
    Q_EMIT second.changed();
    ASSERT_TRUE(spinUntil([&] { return filter.filteredArray() == numbers(5); }));

    filter.unbindSourceArray();
    second.list = numbers(1);
    Q_EMIT second.changed();
    EXPECT_EQ(filter.sourceArray(), numbers(5));
}

TEST(KELArrayFilter, AFilterDestroyedWhileItsJobRunsPublishesNothing)
{
    auto gate = std::make_shared<QSemaphore>(0);
    auto done = std::make_shared<std::atomic<bool>>(false);
    {
        KELArrayFilter filter;
        filter.setSourceArray(numbers(3));
        filter.setFilterPredicate([gate, done](const QVariant&) {
            gate->acquire();
            done->store(true);
            return true;
        });
        filter.filterSourceArray();
    }
    gate->release(3);
    ASSERT_TRUE(spinUntil([&] { return done->load(); }));
    for (int i = 0; i < 10; ++i)
        QCoreApplication::processEvents();
    SUCCEED();
}

} // namespace

#include "KELArrayFilterTest.moc"
