#include "TimeLeftEstimate.h"

#include <algorithm>

TimeLeftEstimate::TimeLeftEstimate(unsigned runShots, std::optional<double> expectedSeconds)
    : m_runShots(runShots), m_expected(expectedSeconds) {}

void TimeLeftEstimate::shotTaken(double atSeconds) {
    ++m_taken;
    m_lastShotSeconds = atSeconds;
}

std::optional<double> TimeLeftEstimate::secondsLeft(double nowSeconds, unsigned shotsLeft) const {
    double perShot = 0.0;
    if (m_taken > 0) {
        perShot = m_lastShotSeconds / m_taken;
    } else if (m_expected && m_runShots > 0) {
        perShot = *m_expected / m_runShots;
    } else {
        return std::nullopt;
    }
    if (shotsLeft == 0) {
        return 0.0;
    }
    const double sinceLastShot = std::max(0.0, nowSeconds - m_lastShotSeconds);
    const double afterThisShot = perShot * (shotsLeft - 1);
    return std::max(afterThisShot, perShot * shotsLeft - sinceLastShot);
}
