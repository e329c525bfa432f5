#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>

#include "TestController.h"

namespace {

// Microseconds on the monotonic clock, the one the wait itself runs on.
int64_t timedWait(int miliSec) {
    const auto start = std::chrono::steady_clock::now();
    TestController::Wait(miliSec);
    return std::chrono::duration_cast<std::chrono::microseconds>(
               std::chrono::steady_clock::now() - start)
        .count();
}

}  // namespace

TEST(Wait, NeverReturnsBeforeTheWholeMillisecondsHavePassed) {
    for (int ms : {1, 2, 5, 20}) {
        for (int round = 0; round < 3; ++round)
            EXPECT_GE(timedWait(ms), ms * 1000) << ms << " ms";
    }
}

TEST(Wait, ZeroAndNegativeReturnPromptly) {
    // Generous: a loaded, sanitized machine may deschedule the thread.
    EXPECT_LT(timedWait(0), 500000);
    EXPECT_LT(timedWait(-5), 500000);
}

TEST(Wait, LongerWaitsAreNotCutShort) {
    const int64_t elapsed = timedWait(100);
    EXPECT_GE(elapsed, 100000);
    EXPECT_LT(elapsed, 5000000);
}
