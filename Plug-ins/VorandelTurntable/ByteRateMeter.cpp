#include "ByteRateMeter.h"

#include <algorithm>
#include <cmath>

void ByteRateMeter::wrote(size_t bytes, int64_t returnedAt) {
    if (m_measured)
        return;
    ++m_writes;
    if (m_writes <= WARM_UP_WRITES) {
        m_start = returnedAt;
        return;
    }
    m_bytes += bytes;
    const int64_t span = returnedAt - m_start;
    if (span >= SPAN_NS) {
        m_bytesPerSecond = static_cast<double>(m_bytes) * 1e9 / static_cast<double>(span);
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
    const double whole = std::round(ratio);
    return whole >= 1 && std::fabs(ratio - whole) <= 0.05 * whole ? whole : ratio;
}
