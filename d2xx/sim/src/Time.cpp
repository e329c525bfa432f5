#include "ftsim/Time.h"

#include <time.h>

#include <cerrno>
#include <chrono>

namespace ftsim {

TimeNs now() {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

void sleepUntil(TimeNs time) {
    // steady_clock is CLOCK_MONOTONIC here: sleep on that clock's absolute time.
    timespec until{};
    until.tv_sec = time_t(time / 1000000000);
    until.tv_nsec = long(time % 1000000000);
    while (now() < time && clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &until, nullptr) == EINTR) {
    }
}

}  // namespace ftsim
