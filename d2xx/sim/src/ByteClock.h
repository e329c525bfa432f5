// The FT245R's transmit path in asynchronous bit-bang mode.
#ifndef FTSIM_SRC_BYTECLOCK_H
#define FTSIM_SRC_BYTECLOCK_H

#include <cstddef>
#include <cstdint>
#include <deque>

#include "ftsim/Time.h"

namespace ftsim {

/// Bytes written in bit-bang mode enter the chip's transmit buffer and reach
/// the pins one per byte period, period = 1 / (multiple x baud rate). A
/// write waits only while the buffer is full; a purge or an unplug drops
/// what it holds. A byte written while nothing is held reaches the pins at
/// once and starts the byte grid; every byte after it that finds others
/// held reaches them at an exact point of that grid, so a stream that keeps
/// the buffer fed shows no drift and no jitter, and one that lets it run
/// dry shows the gap.
///
/// The one description of the byte clock that every emulated chip uses (the
/// simulated bench and the USB-level FT245R); the caller keeps it under its
/// own lock and passes the times in.
class ByteClock {
public:
    /// Bytes the transmit buffer holds.
    static constexpr std::size_t BUFFER_BYTES = 256;
    /// Bytes a second per baud on R chips, the published figure.
    static constexpr unsigned PUBLISHED_MULTIPLE = 16;
    /// Divisor, in eighths, of the rate a chip powers up with (9600 baud).
    static constexpr std::uint32_t POWER_UP_DIVISOR = 2500;

    /// A chip that puts `multiple` x the baud rate bytes a second on its pins.
    explicit ByteClock(unsigned multiple = PUBLISHED_MULTIPLE);

    /// The divisor of the R chips' baud generator, in eighths of 3 MBd,
    /// nearest to `baud`: 3,000,000 / (n + x/8) with n from 2 to 16,383 and x
    /// from 0 to 7, or exactly 3 MBd (8) and 2 MBd (12). `baud` must be > 0.
    static std::uint32_t divisorFor(std::uint32_t baud);
    /// The baud rate a divisor gives.
    static double baudOf(std::uint32_t divisorEighths);

    /// A new divisor from `time` on: bytes still held keep their order and
    /// follow at the new period from `time`.
    void setDivisor(std::uint32_t divisorEighths, TimeNs time);
    std::uint32_t divisor() const { return m_divisor; }
    unsigned multiple() const { return m_multiple; }
    /// Bytes a second on the pins.
    double bytesPerSecond() const;

    /// Takes `count` bytes written at `time` (call advance(time) first).
    /// Returns when the last of them entered the buffer: `time` while there
    /// was room, else the moment the byte 256 places ahead reached the pins.
    TimeNs push(const std::uint8_t* bytes, std::size_t count, TimeNs time);

    /// Hands every held byte whose time at the pins is `time` or earlier to
    /// sink(byte, timeAtPins), in order, and lets it go.
    template <typename Sink>
    void advance(TimeNs time, Sink&& sink) {
        while (!m_held.empty() && m_held.front().atPins <= time) {
            const Held next = m_held.front();
            m_held.pop_front();
            sink(next.byte, next.atPins);
        }
    }

    /// Drops every byte held (purge, unplug, chip reset).
    void clear();
    std::size_t held() const { return m_held.size(); }
    /// When the last byte held reaches the pins; `fallback` when none is held.
    TimeNs drainedAt(TimeNs fallback) const;
    /// Of the last push, the bytes that had entered the buffer by `time`
    /// (for a write cut short by an unplug at `time`).
    std::size_t acceptedBy(TimeNs time) const;

private:
    struct Held {
        std::uint8_t byte;
        TimeNs atPins;
    };
    /// Time at the pins of byte `k` of the grid.
    TimeNs gridTime(std::int64_t k) const;
    /// Grid bytes that reach the pins at `time` or earlier.
    std::int64_t gridBytesBy(TimeNs time) const;

    unsigned m_multiple;
    std::uint32_t m_divisor = POWER_UP_DIVISOR;
    /// The grid: byte k reaches the pins at m_anchor + k x period.
    TimeNs m_anchor = 0;
    std::int64_t m_next = 0;  ///< grid index of the next byte pushed
    std::deque<Held> m_held;

    // The last push, for acceptedBy.
    std::int64_t m_pushFront = 0;  ///< grid index of the first byte held when it came
    std::size_t m_pushHeld = 0;    ///< bytes held when it came
    std::size_t m_pushCount = 0;
};

}  // namespace ftsim

#endif  // FTSIM_SRC_BYTECLOCK_H
