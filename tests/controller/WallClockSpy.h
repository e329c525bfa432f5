// The wall clock as this test program sees it: every read of gettimeofday,
// time and clock_gettime on a wall-clock id is counted, and the time they
// report can be shifted, as a clock set back or forward by NTP or by hand
// would be. Other clocks pass through to the kernel untouched.
#ifndef TESTS_CONTROLLER_WALL_CLOCK_SPY_H
#define TESTS_CONTROLLER_WALL_CLOCK_SPY_H

#include <cstdint>

namespace wallclockspy {

/// Wall-clock reads since the last reset, from any thread.
std::int64_t reads();
void resetReads();
/// Every wall-clock reading from now on is `offsetNs` off the true time.
void shift(std::int64_t offsetNs);
/// Nanoseconds of the monotonic clock, read straight from the kernel.
std::int64_t monotonicNs();

}  // namespace wallclockspy

#endif  // TESTS_CONTROLLER_WALL_CLOCK_SPY_H
