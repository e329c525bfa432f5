#include "ByteClock.h"

#include <algorithm>

namespace ftsim {

namespace {
/// 3 MBd in eighths of a baud: the generator's clock over its divisor.
constexpr std::int64_t kEighthBaudClock = 24000000;
constexpr std::uint32_t kThreeMegabaud = 8;
constexpr std::uint32_t kTwoMegabaud = 12;
constexpr std::uint32_t kSmallestDivisor = 16;      // n = 2
constexpr std::uint32_t kLargestDivisor = 131071;   // n = 16,383, x = 7/8
}  // namespace

ByteClock::ByteClock(unsigned multiple) : m_multiple(std::max(1u, multiple)) {}

std::uint32_t ByteClock::divisorFor(std::uint32_t baud) {
    const std::int64_t eighths = (kEighthBaudClock + baud / 2) / std::max<std::uint32_t>(baud, 1);
    // Between 3 and 2 MBd and between 2 MBd and 1.5 MBd the generator has
    // nothing: the nearest of its rates is taken.
    if (eighths < 10)
        return kThreeMegabaud;
    if (eighths < 14)
        return kTwoMegabaud;
    return std::uint32_t(std::clamp<std::int64_t>(eighths, kSmallestDivisor, kLargestDivisor));
}

double ByteClock::baudOf(std::uint32_t divisorEighths) {
    return double(kEighthBaudClock) / double(divisorEighths);
}

double ByteClock::bytesPerSecond() const {
    return double(m_multiple) * baudOf(m_divisor);
}

TimeNs ByteClock::gridTime(std::int64_t k) const {
    // period = divisor / (8 x 3e6 x multiple) s = divisor x 125 / (3 x multiple) ns
    return m_anchor + k * std::int64_t(m_divisor) * 125 / (3 * std::int64_t(m_multiple));
}

std::int64_t ByteClock::gridBytesBy(TimeNs time) const {
    if (time < m_anchor)
        return 0;
    // Bytes k >= 0 with floor(k x num / den) <= time - anchor.
    const std::int64_t num = std::int64_t(m_divisor) * 125;
    const std::int64_t den = 3 * std::int64_t(m_multiple);
    return ((time - m_anchor + 1) * den + num - 1) / num;
}

void ByteClock::setDivisor(std::uint32_t divisorEighths, TimeNs time) {
    m_divisor = divisorEighths;
    m_anchor = time;
    m_next = m_held.empty() ? 0 : 1;
    for (Held& held : m_held)
        held.atPins = gridTime(m_next++);
}

TimeNs ByteClock::push(const std::uint8_t* bytes, std::size_t count, TimeNs time) {
    // A chip with nothing held puts the first byte out at once: the grid
    // starts there. Bytes that find others held follow on the grid.
    if (m_held.empty()) {
        m_anchor = time;
        m_next = 0;
    }
    m_pushFront = m_next - std::int64_t(m_held.size());
    m_pushHeld = m_held.size();
    m_pushCount = count;
    TimeNs accepted = time;
    for (std::size_t i = 0; i < count; ++i) {
        const std::size_t place = m_held.size();
        if (place >= BUFFER_BYTES)
            accepted = std::max(accepted, m_held[place - BUFFER_BYTES].atPins);
        m_held.push_back(Held{bytes[i], gridTime(m_next++)});
    }
    return accepted;
}

void ByteClock::clear() {
    m_held.clear();
}

TimeNs ByteClock::drainedAt(TimeNs fallback) const {
    return m_held.empty() ? fallback : m_held.back().atPins;
}

std::size_t ByteClock::acceptedBy(TimeNs time) const {
    const std::int64_t gone = std::max<std::int64_t>(0, gridBytesBy(time) - m_pushFront);
    const std::int64_t accepted =
        gone + std::int64_t(BUFFER_BYTES) - std::int64_t(m_pushHeld);
    return std::size_t(std::clamp<std::int64_t>(accepted, 0, std::int64_t(m_pushCount)));
}

}  // namespace ftsim
