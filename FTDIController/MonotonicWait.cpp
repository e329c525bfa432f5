#include "MonotonicWait.h"

#include <cerrno>
#include <ctime>

#include <algorithm>
#include <atomic>

namespace {

constexpr int64_t NS_PER_SECOND = 1000000000;
constexpr int64_t NS_PER_MILLISECOND = 1000000;
// Spun on top of the lateness seen, for the jitter between two wake-ups.
constexpr int64_t HEADROOM_NS = 8000;
// How slowly the margin creeps back down after a late wake-up: by 1/32 of
// its excess per wait, so one outlier is forgotten after some hundred waits.
constexpr int DECAY_SHIFT = 5;

std::atomic<int64_t> g_spinMargin{MonotonicWait::INITIAL_SPIN_MARGIN_NS};

}  // namespace

int64_t MonotonicWait::now() {
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<int64_t>(ts.tv_sec) * NS_PER_SECOND + ts.tv_nsec;
}

void MonotonicWait::forMilliseconds(int milliseconds) {
    const int64_t start = now();
    if (milliseconds <= 0)
        return;
    until(start + static_cast<int64_t>(milliseconds) * NS_PER_MILLISECOND);
}

void MonotonicWait::until(int64_t deadline) {
    const int64_t margin = spinMargin();
    int64_t current = now();
    if (deadline - current > margin) {
        const int64_t wakeTarget = deadline - margin;
        sleepUntil(wakeTarget);
        current = now();
        learnLateness(current - wakeTarget);
    }
    while (current < deadline)
        current = now();
}

int64_t MonotonicWait::spinMargin() {
    return g_spinMargin.load(std::memory_order_relaxed);
}

void MonotonicWait::sleepUntil(int64_t wakeTarget) {
    timespec ts{};
    ts.tv_sec = static_cast<time_t>(wakeTarget / NS_PER_SECOND);
    ts.tv_nsec = static_cast<long>(wakeTarget % NS_PER_SECOND);
    // A signal handler interrupts the sleep; the target is absolute, so the
    // sleep simply resumes.
    while (clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &ts, nullptr) == EINTR) {
    }
}

void MonotonicWait::learnLateness(int64_t lateness) {
    const int64_t wanted =
        std::clamp(lateness + HEADROOM_NS, MIN_SPIN_MARGIN_NS, MAX_SPIN_MARGIN_NS);
    const int64_t margin = spinMargin();
    const int64_t next = wanted >= margin ? wanted : margin - ((margin - wanted) >> DECAY_SHIFT);
    g_spinMargin.store(next, std::memory_order_relaxed);
}
