#ifndef TURNTABLECTL_TIME_LEFT_ESTIMATE_H
#define TURNTABLECTL_TIME_LEFT_ESTIMATE_H

#include <optional>

/// The time a stepped spin has left, as its progress shows it. The pace is
/// this run's own: seconds per shot taken so far (a resumed run does not
/// count the shots of an earlier one), or, before the first shot, the plan's
/// expected duration spread over the run's shots. The time since the last
/// shot counts towards the shot under way, so that the estimate falls while
/// a move runs; it never falls below the shots still to come after that one,
/// so that a slow shot holds it rather than showing nothing left. It never
/// grows between two shots.
class TimeLeftEstimate {
public:
    /// `runShots`: the shots this run takes; `expectedSeconds`: what the
    /// plan expects the run to take, when that is known.
    TimeLeftEstimate(unsigned runShots, std::optional<double> expectedSeconds);

    /// A shot was taken `atSeconds` after the run began.
    void shotTaken(double atSeconds);

    /// Seconds left at `nowSeconds` after the run began, with `shotsLeft`
    /// shots still to take, the one under way included; nothing while no
    /// pace is known (no shot yet and no expectation).
    std::optional<double> secondsLeft(double nowSeconds, unsigned shotsLeft) const;

private:
    unsigned m_runShots;
    std::optional<double> m_expected;
    unsigned m_taken = 0;
    double m_lastShotSeconds = 0.0;
};

#endif  // TURNTABLECTL_TIME_LEFT_ESTIMATE_H
