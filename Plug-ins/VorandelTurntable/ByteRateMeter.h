#ifndef BYTE_RATE_METER_H
#define BYTE_RATE_METER_H

#include <cstddef>
#include <cstdint>
#include <vector>

/// Measures how fast the chip clocks bytes out in bit-bang mode, from the
/// writes of a streamed move: once the chip's transmit buffer is full, a
/// write returns only as the chip makes room, so the bytes of a write over
/// the time since the previous one returned is the chip's byte rate. The
/// host being late to write again changes nothing as long as the buffer does
/// not run dry: the chip keeps clocking meanwhile, and the next write returns
/// that much sooner. A return seen late (a busy host) lengthens one interval
/// and shortens the next: the median of the writes' rates is taken.
class ByteRateMeter {
public:
    /// Writes passed over before the timing starts, so that the buffer is
    /// full by then.
    static constexpr unsigned WARM_UP_WRITES = 3;
    /// How long the timing of a move runs, and over at least how many
    /// writes: short, so that a chip at another multiple is corrected early
    /// in the first move.
    static constexpr int64_t SPAN_NS = 100000000;
    static constexpr size_t MIN_INTERVALS = 3;
    static constexpr int64_t BLOCKED_NS = 2000000;

    /// Times over at least `spanNs` and `minIntervals` writes that tell the
    /// rate: more of them outvote more stalls of a busy host.
    explicit ByteRateMeter(int64_t spanNs = SPAN_NS, size_t minIntervals = MIN_INTERVALS)
        : m_spanNs(spanNs), m_minIntervals(minIntervals) {}

    /// A write of `bytes` made at `startedAt` returned at `returnedAt` (ns,
    /// monotonic clock). Only a write that waited for the chip (at least
    /// BLOCKED_NS) and follows one that did tells the rate: after a host
    /// stall the buffer has room and a write returns at once.
    void wrote(size_t bytes, int64_t startedAt, int64_t returnedAt);
    bool measured() const { return m_measured; }
    /// Bytes a second; valid once measured().
    double bytesPerSecond() const { return m_bytesPerSecond; }

    /// The rate the R chips' baud generator runs at when asked for `baud`:
    /// 3,000,000 / (n + x/8), the divisor nearest to the rate.
    static double generatedBaud(unsigned long baud);
    /// The bytes a second per baud a measured rate shows: one of the
    /// multiples reported for these chips (16, the published figure, and 4)
    /// when it is within 10 % of it (a crystal is off by parts per million,
    /// the timing of a busy host by a few per cent), else the measured ratio.
    static double bytesPerBaud(double bytesPerSecond, unsigned long baud);

private:
    int64_t m_spanNs;
    size_t m_minIntervals;
    unsigned m_writes = 0;
    int64_t m_start = 0;
    int64_t m_last = 0;
    bool m_lastBlocked = false;
    std::vector<double> m_rates;
    bool m_measured = false;
    double m_bytesPerSecond = 0.0;
};

#endif  // BYTE_RATE_METER_H
