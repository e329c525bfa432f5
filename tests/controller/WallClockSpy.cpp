#include "WallClockSpy.h"

#include <sys/syscall.h>
#include <sys/time.h>
#include <time.h>
#include <unistd.h>

#include <atomic>

namespace {

std::atomic<std::int64_t> g_reads{0};
std::atomic<std::int64_t> g_offsetNs{0};

int kernelClock(clockid_t clock, timespec* ts) {
    return static_cast<int>(syscall(SYS_clock_gettime, clock, ts));
}

bool isWallClock(clockid_t clock) {
    return clock == CLOCK_REALTIME || clock == CLOCK_REALTIME_COARSE || clock == CLOCK_TAI;
}

// The true wall-clock time plus the shift, counted as one read.
std::int64_t shiftedWallNs() {
    ++g_reads;
    timespec ts{};
    kernelClock(CLOCK_REALTIME, &ts);
    return static_cast<std::int64_t>(ts.tv_sec) * 1000000000 + ts.tv_nsec + g_offsetNs.load();
}

}  // namespace

// These replace the C library's functions for the whole program, the code
// under test included.
extern "C" int clock_gettime(clockid_t clock, timespec* ts) __THROW {
    if (!isWallClock(clock))
        return kernelClock(clock, ts);
    const std::int64_t ns = shiftedWallNs();
    ts->tv_sec = static_cast<time_t>(ns / 1000000000);
    ts->tv_nsec = static_cast<long>(ns % 1000000000);
    return 0;
}

extern "C" int gettimeofday(timeval* __restrict tv, void* __restrict) __THROW {
    const std::int64_t ns = shiftedWallNs();
    tv->tv_sec = static_cast<time_t>(ns / 1000000000);
    tv->tv_usec = static_cast<suseconds_t>(ns % 1000000000 / 1000);
    return 0;
}

extern "C" time_t time(time_t* result) __THROW {
    const time_t now = static_cast<time_t>(shiftedWallNs() / 1000000000);
    if (result != nullptr)
        *result = now;
    return now;
}

namespace wallclockspy {

std::int64_t reads() {
    return g_reads.load();
}

void resetReads() {
    g_reads.store(0);
}

void shift(std::int64_t offsetNs) {
    g_offsetNs.store(offsetNs);
}

std::int64_t monotonicNs() {
    timespec ts{};
    kernelClock(CLOCK_MONOTONIC, &ts);
    return static_cast<std::int64_t>(ts.tv_sec) * 1000000000 + ts.tv_nsec;
}

}  // namespace wallclockspy
