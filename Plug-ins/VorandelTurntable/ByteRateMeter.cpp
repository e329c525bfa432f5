#include "ByteRateMeter.h"

#include <algorithm>
#include <cmath>

void ByteRateMeter::wrote(size_t bytes, int64_t startedAt, int64_t returnedAt) {
    if (m_measured)
        return;
    ++m_writes;
    if (m_writes <= WARM_UP_WRITES) {
        m_start = m_last = returnedAt;
        m_lastBlocked = returnedAt - startedAt >= BLOCKED_NS;
        return;
    }
    // Each write's own rate: a late return makes one interval long and the
    // next one short, so the median of them is what the chip did.
    const int64_t interval = returnedAt - m_last;
    const bool blocked = returnedAt - startedAt >= BLOCKED_NS;
    const bool full = blocked && m_lastBlocked;
    m_last = returnedAt;
    m_lastBlocked = blocked;
    if (full && interval > 0)
        m_rates.push_back(static_cast<double>(bytes) * 1e9 / static_cast<double>(interval));
    if (returnedAt - m_start >= m_spanNs && m_rates.size() >= m_minIntervals) {
        std::vector<double> sorted = m_rates;
        std::nth_element(sorted.begin(), sorted.begin() + sorted.size() / 2, sorted.end());
        m_bytesPerSecond = sorted[sorted.size() / 2];
        m_measured = true;
    }
}

double ByteRateMeter::generatedBaud(unsigned long baud) {
    // Eighths of a baud-generator divisor of 3 MBd; nothing between 3 and
    // 2 MBd nor between 2 and 1.5 MBd.
    const double eighths = std::round(24000000.0 / static_cast<double>(std::max(1ul, baud)));
    const double divisor = eighths < 10 ? 8 : eighths < 14 ? 12 : std::clamp(eighths, 16.0, 131071.0);
    return 24000000.0 / divisor;
}

double ByteRateMeter::bytesPerBaud(double bytesPerSecond, unsigned long baud) {
    const double ratio = bytesPerSecond / generatedBaud(baud);
    for (const double known : {16.0, 4.0})
        if (std::fabs(ratio - known) <= 0.1 * known)
            return known;
    return ratio;
}
