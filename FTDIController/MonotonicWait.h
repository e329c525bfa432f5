#ifndef MONOTONIC_WAIT_H
#define MONOTONIC_WAIT_H

#include <cstdint>

/// The timer behind every wait of the device layer and the drivers.
///
/// Time is read from CLOCK_MONOTONIC only, never from the wall clock, so a
/// clock set back or forward (by hand, by NTP) neither lengthens nor shortens
/// a wait. A wait sleeps (absolute clock_nanosleep) until a short margin
/// before its deadline and spins only that last stretch, so it is as precise
/// as spinning while the processor stays free for most of it.
///
/// The margin follows the wake-up lateness this process observes: it settles
/// near the 95th percentile of it (plus a little headroom), within fixed
/// bounds. Real-time threads and the others keep one margin each, shared by
/// the threads of that kind and updated lock-free; a lost update only delays
/// the adaptation.
class MonotonicWait {
public:
    /// Nanoseconds on CLOCK_MONOTONIC.
    static int64_t now();

    /// Returns once at least `milliseconds` whole milliseconds have passed
    /// since the call; zero and negative values return at once.
    static void forMilliseconds(int milliseconds);

    /// Returns once now() has reached `deadline`; a past deadline returns at
    /// once.
    static void until(int64_t deadline);

    /// forMilliseconds for a wait that a stop may cut short: while more than
    /// CHECK_INTERVAL_NS remain it sleeps in slices of that length and asks
    /// keepGoing() before each, so a long wait ends within about one slice
    /// of the stop; the last stretch is timed as forMilliseconds times it.
    /// A short wait asks nothing. True when it waited in full.
    template <class KeepGoing>
    static bool forMillisecondsWhile(int milliseconds, KeepGoing keepGoing) {
        const int64_t start = now();
        if (milliseconds <= 0)
            return true;
        const int64_t deadline = start + static_cast<int64_t>(milliseconds) * 1000000;
        for (int64_t current = start; deadline - current > CHECK_INTERVAL_NS; current = now()) {
            if (!keepGoing())
                return false;
            sleepUntil(current + CHECK_INTERVAL_NS);
        }
        until(deadline);
        return true;
    }

    /// How often a long wait asks whether it is to go on.
    static constexpr int64_t CHECK_INTERVAL_NS = 2000000;

    /// The stretch before a deadline that is spun rather than slept, now,
    /// for the calling thread's kind of scheduling.
    static int64_t spinMargin();

    /// The margin after a wake-up `lateness` ns behind its target.
    static int64_t nextMargin(int64_t margin, int64_t lateness);

    /// Bounds and start value of the margin, in nanoseconds.
    static constexpr int64_t MIN_SPIN_MARGIN_NS = 10000;
    static constexpr int64_t MAX_SPIN_MARGIN_NS = 250000;
    static constexpr int64_t INITIAL_SPIN_MARGIN_NS = 100000;

private:
    static void sleepUntil(int64_t wakeTarget);
};

#endif  // MONOTONIC_WAIT_H
