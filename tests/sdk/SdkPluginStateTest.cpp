#include <gtest/gtest.h>

#include <limits>
#include <string>
#include <thread>
#include <vector>

#include "TestTurntable.h"

TEST(SdkPluginState, FreshPluginHasNoErrorAndNoChosenTurntable) {
    TestTurntable plugin;
    EXPECT_EQ(plugin.lastError(), "");
    EXPECT_EQ(plugin.currentTurntableIndex(), std::numeric_limits<size_t>::max());
}

TEST(SdkPluginState, LastErrorKeepsOnlyTheLatestTextPerObject) {
    TestTurntable first;
    TestTurntable second;
    first.setLastError("one");
    first.setLastError("two");
    second.setLastError("other");
    EXPECT_EQ(first.lastError(), "two");
    EXPECT_EQ(second.lastError(), "other");
}

TEST(SdkPluginState, CurrentTurntableIndexRoundTrips) {
    TestTurntable plugin;
    plugin.setCurrentTurntableIndex(3);
    EXPECT_EQ(plugin.currentTurntableIndex(), 3u);
    plugin.setCurrentTurntableIndex(0);
    EXPECT_EQ(plugin.currentTurntableIndex(), 0u);
}

TEST(SdkPluginState, BaseAnswersOfTheOptionalOperations) {
    TestTurntable plugin;
    HxTurntableHardware& hardware = plugin;
    EXPECT_FALSE(hardware.stepsSpinningWillStart());
    EXPECT_EQ(hardware.stepsToDegrees(100), 0.0f);
    EXPECT_EQ(hardware.degreesToSteps(90.0f), 0);
    EXPECT_EQ(HxAbstractPlugin::pathSeparator(), '/');
    EXPECT_TRUE(HxAbstractPlugin::applicationLocalDataDirectory().empty());
}

// Writers and readers on several threads at once: every read sees one whole
// text that some writer stored (ThreadSanitizer checks the locking).
TEST(SdkPluginState, LastErrorAndIndexAreSafeFromSeveralThreads) {
    TestTurntable plugin;
    const std::vector<std::string> texts = {std::string(200, 'a'), std::string(300, 'b'),
                                            std::string(50, 'c')};
    std::vector<std::thread> threads;
    std::atomic<int> torn{0};
    for (size_t t = 0; t < texts.size(); ++t) {
        threads.emplace_back([&, t] {
            for (int i = 0; i < 2000; ++i) {
                plugin.setLastError(texts[t]);
                plugin.setCurrentTurntableIndex(t);
            }
        });
        threads.emplace_back([&] {
            for (int i = 0; i < 2000; ++i) {
                const std::string seen = plugin.lastError();
                const bool whole =
                    seen.empty() || seen == texts[0] || seen == texts[1] || seen == texts[2];
                if (!whole) {
                    ++torn;
                }
                if (plugin.currentTurntableIndex() >= texts.size() &&
                    plugin.currentTurntableIndex() != std::numeric_limits<size_t>::max()) {
                    ++torn;
                }
            }
        });
    }
    for (auto& thread : threads) {
        thread.join();
    }
    EXPECT_EQ(torn.load(), 0);
}
