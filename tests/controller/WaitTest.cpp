#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>

#include "MonotonicWait.h"
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

TEST(WaitSpinMargin, SettlesWhereOneWakeUpInTwentyIsLateWithinItsBounds) {
    // On-time wake-ups bring the margin down to its floor, never below.
    int64_t margin = MonotonicWait::MAX_SPIN_MARGIN_NS;
    for (int i = 0; i < 2000; ++i)
        margin = MonotonicWait::nextMargin(margin, 0);
    EXPECT_EQ(margin, MonotonicWait::MIN_SPIN_MARGIN_NS);

    // Wake-ups a millisecond late raise it step by step up to its ceiling:
    // one preempted wake-up does not make every later wait spin for long.
    const int64_t once = MonotonicWait::nextMargin(margin, 1000000);
    EXPECT_GT(once, margin);
    EXPECT_LT(once, margin + 20000);
    for (int i = 0; i < 2000; ++i)
        margin = MonotonicWait::nextMargin(margin, 1000000);
    EXPECT_EQ(margin, MonotonicWait::MAX_SPIN_MARGIN_NS);

    // With every twentieth wake-up 100 us late and the rest on time, the
    // margin stays near its start instead of following either.
    margin = 50000;
    for (int i = 0; i < 20000; ++i)
        margin = MonotonicWait::nextMargin(margin, i % 20 == 0 ? 100000 : 0);
    EXPECT_GT(margin, 40000);
    EXPECT_LT(margin, 60000);
}
