#include "componentui/LibraryTestSupport.h"
#include "components/KELComponentSearchIndex.h"
#include "kit/NotificationCenter.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <thread>

using namespace librarytest;

namespace {

struct Delivery {
    KELComponentSearchToken* token;
    QStringList names;
    bool complete;
};

// Records every results notification, in order.
class Deliveries {
public:
    Deliveries()
    {
        m_id = kit::NotificationCenter::defaultCenter().addObserver(
            KELComponentSearchResultsUpdatedNotification, nullptr, [this](const kit::Notification& n) {
                auto* token = static_cast<KELComponentSearchToken*>(const_cast<void*>(n.object));
                list.push_back({token, names(token->searchResults()), token->searchComplete()});
            });
    }
    ~Deliveries() { kit::NotificationCenter::defaultCenter().removeObserver(m_id); }
    std::vector<Delivery> list;

private:
    quint64 m_id = 0;
};

class KELComponentSearchIndexTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        catalogue = makeCatalogue(dir.path(), {
            {QStringLiteral("Drop-down Menus"), QStringLiteral("Navigation"), QStringLiteral("Links that open below a bar")},
            {QStringLiteral("Tabs"), QStringLiteral("Layout"), QStringLiteral("Panels behind a row of tabs")},
            {QStringLiteral("OR Gate"), QStringLiteral("Logic"), QStringLiteral("Either input, NOT both")},
            {QStringLiteral("Café Sign"), QStringLiteral("Text"), QStringLiteral("A sign for the menu board")},
        });
    }
    std::shared_ptr<KELComponentSearchToken> search(KELComponentSearchIndex& index, const QString& query)
    {
        auto token = std::make_shared<KELComponentSearchToken>(query);
        index.performSearch(token);
        EXPECT_TRUE(waitFor([&] { return token->searchComplete() && !token->awaitingNotification(); }));
        return token;
    }
    QTemporaryDir dir;
    QList<std::shared_ptr<KELComponent>> catalogue;
};

} // namespace

TEST(KELComponentSearchQueryTest, WordsBecomeQuotedPrefixTerms)
{
    const struct {
        const char* query;
        const char* expected;
    } cases[] = {
        {"menu bar", "\"menu\"* \"bar\"*"},
        {"drop-down", "\"drop\"* \"down\"*"},
        {"  spaced   out ", "\"spaced\"* \"out\"*"},
        {"OR NOT", "\"OR\"* \"NOT\"*"},
        {"caf\xC3\xA9 2", "\"caf\xC3\xA9\"* \"2\"*"},
        {"\"*-(!)", ""},
        {"", ""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(KELComponentSearchIndex::normalizeQuery(QString::fromUtf8(c.query)), QString::fromUtf8(c.expected))
            << c.query;
}

TEST_F(KELComponentSearchIndexTest, FindsComponentsByPrefixesOfEveryWord)
{
    KELComponentSearchIndex index(catalogue);
    const struct {
        const char* query;
        QStringList expected;
    } cases[] = {
        {"menu", {QStringLiteral("Drop-down Menus"), QStringLiteral("Café Sign")}},
        {"drop-down", {QStringLiteral("Drop-down Menus")}},
        {"menu board", {QStringLiteral("Café Sign")}},
        {"navig", {QStringLiteral("Drop-down Menus")}},
        {"cafe", {QStringLiteral("Café Sign")}},
        // Operator words of the query syntax are plain words here.
        {"or", {QStringLiteral("OR Gate")}},
        {"not both", {QStringLiteral("OR Gate")}},
        {"tabs nothing", {}},
    };
    for (const auto& c : cases) {
        auto token = search(index, QString::fromUtf8(c.query));
        QStringList found = names(token->searchResults());
        QStringList expected = c.expected;
        found.sort();
        expected.sort();
        EXPECT_EQ(found, expected) << c.query;
    }
}

TEST_F(KELComponentSearchIndexTest, QueriesWithoutMatchesCompleteWithOneEmptyNotification)
{
    KELComponentSearchIndex index(catalogue);
    for (const char* query : {"zzz", "-!?", "\"*"}) {
        Deliveries deliveries;
        auto token = search(index, QString::fromUtf8(query));
        QCoreApplication::processEvents();
        ASSERT_EQ(deliveries.list.size(), 1u) << query;
        EXPECT_TRUE(deliveries.list.front().names.isEmpty());
        EXPECT_TRUE(deliveries.list.front().complete);
    }
}

TEST_F(KELComponentSearchIndexTest, LargeResultsGrowInRoundsAndTheLastDeliveryIsComplete)
{
    QTemporaryDir many;
    QList<ComponentSpec> specs;
    for (int i = 0; i < 130; ++i)
        specs << ComponentSpec {QStringLiteral("Widget %1").arg(i), QStringLiteral("Group"), QStringLiteral("common")};
    KELComponentSearchIndex index(makeCatalogue(many.path(), specs));
    std::atomic<int> rounds {0};
    index.setRoundHook([&] { ++rounds; });
    Deliveries deliveries;
    auto token = search(index, QStringLiteral("common"));
    QCoreApplication::processEvents();
    EXPECT_EQ(rounds.load(), 3); // 50 + 50 + 30, the last round finding the end
    ASSERT_FALSE(deliveries.list.empty());
    EXPECT_EQ(deliveries.list.back().names.size(), 130);
    EXPECT_TRUE(deliveries.list.back().complete);
    for (size_t i = 1; i < deliveries.list.size(); ++i)
        EXPECT_GE(deliveries.list[i].names.size(), deliveries.list[i - 1].names.size());
}

TEST_F(KELComponentSearchIndexTest, CancelledTokenDeliversNothing)
{
    KELComponentSearchIndex index(catalogue);
    Deliveries deliveries;
    auto stale = std::make_shared<KELComponentSearchToken>(QStringLiteral("menu"));
    index.performSearch(stale);
    stale->setCancelled(true);
    auto current = search(index, QStringLiteral("tabs"));
    waitFor([&] { return index.runningSearches() == 0; });
    QCoreApplication::processEvents();
    for (const Delivery& d : deliveries.list)
        EXPECT_EQ(d.token, current.get());
    EXPECT_FALSE(deliveries.list.empty());
}

TEST_F(KELComponentSearchIndexTest, StopCancelsBusySearchesAndWaitsForThem)
{
    KELComponentSearchIndex index(catalogue);
    index.setRoundHook([] { std::this_thread::sleep_for(std::chrono::milliseconds(100)); });
    std::vector<std::shared_ptr<KELComponentSearchToken>> tokens;
    for (const char* query : {"menu", "tabs", "or", "sign"}) {
        tokens.push_back(std::make_shared<KELComponentSearchToken>(QString::fromUtf8(query)));
        index.performSearch(tokens.back());
    }
    ASSERT_TRUE(waitFor([&] { return index.runningSearches() > 0; }));
    index.stop();
    EXPECT_EQ(index.runningSearches(), 0);
    for (const auto& token : tokens)
        EXPECT_TRUE(token->cancelled());
    // Nothing starts after the stop.
    auto late = std::make_shared<KELComponentSearchToken>(QStringLiteral("menu"));
    index.performSearch(late);
    EXPECT_EQ(index.runningSearches(), 0);
    EXPECT_FALSE(late->searchComplete());
}
