// Time on the simulated bench.
#ifndef FTSIM_TIME_H
#define FTSIM_TIME_H

#include <cstdint>

#include "ftsim/Export.h"

namespace ftsim {

/// A point in time: nanoseconds on the monotonic clock (std::chrono::steady_clock).
using TimeNs = std::int64_t;

/// The monotonic clock now, in nanoseconds.
FTSIM_API TimeNs now();

/// Sleeps until now() reaches `time`; a past time returns at once.
FTSIM_API void sleepUntil(TimeNs time);

}  // namespace ftsim

#endif  // FTSIM_TIME_H
