#include "SpinPlan.h"

#include <cmath>

namespace {

// Whole counts from the start to the target `degrees`, moving on from
// `position` counts, as the plug-in rounds an increment: halves up.
long countsTo(float degrees, long position, double degreesPerCount) {
    return position + long(0.5 + (std::fabs(double(degrees)) - double(position) * degreesPerCount) /
                                     degreesPerCount);
}

}  // namespace

SpinPlan::SpinPlan(const Setup& setup) : m_setup(setup) {
    const double sign = setup.counterclockwise ? -1.0 : 1.0;
    const double degreesPerCount =
        setup.countsPerRevolution == 0 ? 0.0 : 360.0 / setup.countsPerRevolution;
    // Where an unbroken session puts the table at each shot, in counts from
    // the start; a table standing at a shot stands there, so a resumed
    // session ends exactly where an unbroken one would.
    std::vector<long> reached(setup.shots + 1, 0);
    for (unsigned number = 1; number <= setup.shots && degreesPerCount > 0.0; ++number) {
        reached[number] =
            countsTo(float(angleOf(number, setup.shots)), reached[number - 1], degreesPerCount);
    }
    const long start = setup.tableAt <= setup.shots ? reached[setup.tableAt] : 0;
    m_start = start;
    long position = start;
    for (unsigned number = setup.from; number <= setup.shots; ++number) {
        Shot shot;
        shot.number = number;
        shot.angle = sign * angleOf(number, setup.shots);
        // A whole turn from the start is asked for as exactly 360, which the
        // plug-in takes as a full revolution rather than as no move.
        const double fromHere =
            setup.tableAt == 0 ? angleOf(number, setup.shots)
                               : angleOf(number, setup.shots) - double(start) * degreesPerCount;
        shot.target = float(sign * fromHere);
        if (std::fabs(shot.target) > 0.01f && degreesPerCount > 0.0) {
            const long at = start + countsTo(shot.target, position - start, degreesPerCount);
            shot.counts = at - position;
            position = at;
        }
        shot.fromStart = position;
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
