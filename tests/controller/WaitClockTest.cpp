// Waits are timed on the monotonic clock alone: the wall clock, set back or
// forward while a wait or a DC start watch runs, is never read and changes
// nothing. The program replaces the C library's wall-clock functions
// (WallClockSpy), so it is a program of its own.
#include <gtest/gtest.h>

#include <sys/time.h>
#include <time.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <thread>

#include "HxDCMotor.h"
#include "MonotonicWait.h"
#include "TestController.h"
#include "WallClockSpy.h"
#include "ftsim/Bench.h"
#include "ftsim/BenchBuilder.h"
#include "ftsim/DcView.h"
#include "ftsim/DcSetup.h"
#include "ftsim/Device.h"
#include "ftsim/DeviceSetup.h"

namespace {

constexpr std::int64_t NS_PER_MS = 1000000;
constexpr std::int64_t HOUR_NS = 3600LL * 1000 * NS_PER_MS;

/// Sets the wall clock an hour back, then an hour forward, over and over,
/// while it lives.
class ClockJumper {
public:
    ClockJumper()
        : m_thread([this] {
              for (bool back = true; !m_done.load(); back = !back) {
                  wallclockspy::shift(back ? -HOUR_NS : HOUR_NS);
                  std::this_thread::sleep_for(std::chrono::microseconds(300));
              }
              wallclockspy::shift(0);
          }) {}
    ~ClockJumper() {
        m_done = true;
        m_thread.join();
    }

private:
    std::atomic<bool> m_done{false};
    std::thread m_thread;
};

std::int64_t monotonicWaitNs(int ms) {
    const std::int64_t start = wallclockspy::monotonicNs();
    TestController::Wait(ms);
    return wallclockspy::monotonicNs() - start;
}

}  // namespace

TEST(WallClockSpy, SeesEveryKindOfWallClockReadAndShiftsIt) {
    wallclockspy::resetReads();
    timeval tv{};
    gettimeofday(&tv, nullptr);
    timespec ts{};
    clock_gettime(CLOCK_REALTIME, &ts);
    (void)time(nullptr);
    (void)std::chrono::system_clock::now();
    EXPECT_EQ(wallclockspy::reads(), 4);

    const time_t before = time(nullptr);
    wallclockspy::shift(HOUR_NS);
    const time_t shifted = time(nullptr);
    wallclockspy::shift(0);
    EXPECT_GE(shifted - before, 3599);

    // The monotonic clock is not the spy's business.
    wallclockspy::resetReads();
    clock_gettime(CLOCK_MONOTONIC, &ts);
    (void)std::chrono::steady_clock::now();
    EXPECT_EQ(wallclockspy::reads(), 0);
}

TEST(WaitClock, WaitsReadNoWallClockAndIgnoreItsJumps) {
    const ClockJumper jumper;
    wallclockspy::resetReads();
    for (int ms : {1, 5, 20, 60})
        EXPECT_GE(monotonicWaitNs(ms), ms * NS_PER_MS) << ms << " ms";
    const std::int64_t deadline = MonotonicWait::now() + 3 * NS_PER_MS;
    MonotonicWait::until(deadline);
    EXPECT_GE(MonotonicWait::now(), deadline);
    EXPECT_EQ(wallclockspy::reads(), 0);
}

TEST(WaitClock, DcStartWatchReadsNoWallClockAndTurnsTheCountThroughJumps) {
    ftsim::Bench bench =
        ftsim::BenchBuilder()
            .device(ftsim::DeviceSetup().dcBoard(ftsim::DcSetup().countNanoseconds(5 * NS_PER_MS)))
            .build();
    HxDCMotor motor(nullptr);
    motor.SetCountsPerRevolution(72);
    ASSERT_TRUE(motor.openDevice(0, nullptr));

    const ClockJumper jumper;
    wallclockspy::resetReads();
    motor.SetRotationIncrementInCounts(3);
    ASSERT_TRUE(motor.startRotation());
    // sleep_for sleeps on the monotonic clock without reading any clock.
    for (int polls = 0; polls < 20000 && motor.IsTurntableRotating(); ++polls)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    motor.stopRotation();
    EXPECT_EQ(wallclockspy::reads(), 0);
    EXPECT_EQ(bench.device(0).dc().countsTurned(), 3u);
    motor.closeDevice();
}
