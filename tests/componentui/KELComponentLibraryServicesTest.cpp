#include "componentui/KELComponentLibraryServices.h"
#include "componentui/KELCoverFlowImage.h"
#include "componentui/KELCoverFlowImageLoader.h"
#include "componentui/LibraryTestSupport.h"
#include "components/KELComponentManager.h"
#include "components/KELComponentSearchIndex.h"
#include "kit/NotificationCenter.h"
#include "support/Notifications.h"

#include <QElapsedTimer>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <thread>
#include <utility>

using namespace librarytest;

// The shared search index and loader are stopped for the rest of this process:
// this test quits the library's background work for real.
TEST(KELComponentLibraryServicesTest, QuittingStopsBusySearchesAndTheLoader)
{
    static bool quitBefore = false;
    if (std::exchange(quitBefore, true))
        GTEST_SKIP() << "the shared workers were stopped by an earlier repeat";
    KELInstallComponentLibraryServices();
    ASSERT_FALSE(KELComponentManager::sharedInstance().components().isEmpty());

    KELComponentSearchIndex& index = KELComponentSearchIndex::sharedInstance();
    index.setRoundHook([] { std::this_thread::sleep_for(std::chrono::milliseconds(150)); });
    std::vector<std::shared_ptr<KELComponentSearchToken>> tokens;
    for (const char* query : {"simple", "menu", "image", "tabs", "a"}) {
        tokens.push_back(std::make_shared<KELComponentSearchToken>(QString::fromUtf8(query)));
        index.performSearch(tokens.back());
    }

    QTemporaryDir dir;
    auto component = makeComponent(dir.path(), {QStringLiteral("Slow"), {}, {}});
    std::atomic<int> decoding {0};
    KELCoverFlowImageLoader& loader = KELCoverFlowImageLoader::sharedInstance();
    loader.setDecoder([&](const QString&) {
        ++decoding;
        std::this_thread::sleep_for(std::chrono::milliseconds(150));
        return QImage();
    });
    std::vector<std::shared_ptr<KELCoverFlowImage>> images;
    for (int i = 0; i < 10; ++i) {
        images.push_back(std::make_shared<KELCoverFlowImage>(component));
        images.back()->requestImageOfSize({160, 160});
    }
    ASSERT_TRUE(waitFor([&] { return index.runningSearches() > 0 && decoding.load() > 0; }));

    kit::NotificationCenter::defaultCenter().post(KELApplicationWillTerminateNotification, qApp);
    // Both were waited for: nothing of theirs runs on after the quit.
    EXPECT_EQ(index.runningSearches(), 0);
    EXPECT_FALSE(loader.isRunning());
    EXPECT_EQ(loader.queuedCount(), 0);
    for (const auto& token : tokens)
        EXPECT_TRUE(token->cancelled());
    // The quit did not wait for the whole queue (ten slow decodes), and nothing of it runs on.
    const int decoded = decoding.load();
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    EXPECT_EQ(decoding.load(), decoded);
    EXPECT_LT(decoded, 10);
    // Quitting twice is harmless.
    KELStopComponentLibraryWorkers();
}
