#include <gtest/gtest.h>

#include <sys/time.h>

#include <cstdint>

#include "TestController.h"

namespace {

int64_t wallMicroseconds() {
    timeval now;
    gettimeofday(&now, nullptr);
    return static_cast<int64_t>(now.tv_sec) * 1000000 + now.tv_usec;
}

int64_t timedWait(int miliSec) {
    const int64_t start = wallMicroseconds();
    TestController::Wait(miliSec);
    return wallMicroseconds() - start;
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
