#include "MonotonicWait.h"

#include <sched.h>

#include <cerrno>
#include <ctime>

#include <algorithm>
#include <atomic>

namespace {

constexpr int64_t NS_PER_SECOND = 1000000000;
constexpr int64_t NS_PER_MILLISECOND = 1000000;
// Spun on top of the lateness seen, for the jitter between two wake-ups.
constexpr int64_t HEADROOM_NS = 5000;
// The margin tracks the 95th percentile of the lateness: a wake-up later than
// the margin raises it by 19 steps, one early enough lowers it by one, so it
// settles where one wake-up in twenty is late. A thread preempted for whole
// milliseconds on a busy machine thus moves it by microseconds only: spinning
// would not have saved that wake-up anyway.
constexpr int64_t STEP_DOWN_NS = 500;
constexpr int64_t STEP_UP_NS = 19 * STEP_DOWN_NS;

// One margin for real-time threads and one for the others: a real-time
// thread wakes within microseconds, a normal one on a busy machine often
// hundreds later, and one class must not make the other spin for it.
std::atomic<int64_t> g_spinMargins[2] = {{MonotonicWait::INITIAL_SPIN_MARGIN_NS},
                                         {MonotonicWait::INITIAL_SPIN_MARGIN_NS}};

std::atomic<int64_t>& marginOfThisThread() {
    const int policy = sched_getscheduler(0) & ~SCHED_RESET_ON_FORK;
    return g_spinMargins[policy == SCHED_FIFO || policy == SCHED_RR ? 1 : 0];
}

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
    std::atomic<int64_t>& margin = marginOfThisThread();
    const int64_t spun = margin.load(std::memory_order_relaxed);
    int64_t current = now();
    if (deadline - current > spun) {
        const int64_t wakeTarget = deadline - spun;
        sleepUntil(wakeTarget);
        current = now();
        margin.store(nextMargin(spun, current - wakeTarget), std::memory_order_relaxed);
    }
    while (current < deadline)
        current = now();
}

int64_t MonotonicWait::spinMargin() {
    return marginOfThisThread().load(std::memory_order_relaxed);
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

int64_t MonotonicWait::nextMargin(int64_t margin, int64_t lateness) {
    const int64_t next =
        lateness + HEADROOM_NS > margin ? margin + STEP_UP_NS : margin - STEP_DOWN_NS;
    return std::clamp(next, MIN_SPIN_MARGIN_NS, MAX_SPIN_MARGIN_NS);
}
