#include "SpinPlan.h"

#include <cmath>

SpinPlan::SpinPlan(const Setup& setup) : m_setup(setup) {
    const double sign = setup.counterclockwise ? -1.0 : 1.0;
    const double start = angleOf(setup.tableAt, setup.shots);
    const double degreesPerCount =
        setup.countsPerRevolution == 0 ? 0.0 : 360.0 / setup.countsPerRevolution;
    // Where the plug-in keeps the table after each move: whole counts from
    // the start, as it rounds every increment half up.
    double position = 0.0;
    for (unsigned number = setup.from; number <= setup.shots; ++number) {
        Shot shot;
        shot.number = number;
        shot.angle = sign * angleOf(number, setup.shots);
        const double fromHere = angleOf(number, setup.shots) - start;
        // A whole turn from the start is asked for as exactly 360, which the
        // plug-in takes as a full revolution rather than as no move.
        shot.target = float(sign * (setup.tableAt == 0 && number == setup.shots ? 360.0 : fromHere));
        if (std::fabs(shot.target) > 0.01f && degreesPerCount > 0.0) {
            shot.counts = long(0.5 + (std::fabs(double(shot.target)) - position) / degreesPerCount);
            position += double(shot.counts) * degreesPerCount;
        }
        m_shots.push_back(shot);
    }
}

double SpinPlan::angleOf(unsigned shot, unsigned shots) {
    return shot == shots ? 360.0 : 360.0 * shot / shots;
}

long SpinPlan::totalCounts() const {
    long total = 0;
    for (const Shot& shot : m_shots) {
        total += shot.counts;
    }
    return total;
}

std::optional<double> SpinPlan::expectedSeconds(bool dcBoard, unsigned speedMilliseconds,
                                                unsigned settleMilliseconds, bool shutter) const {
    if (dcBoard) {
        return std::nullopt;
    }
    const double perShot = double(settleMilliseconds) + (shutter ? 1000.0 : 0.0);
    return (double(totalCounts()) * (1.0 + speedMilliseconds) + perShot * double(m_shots.size())) /
           1000.0;
}
