#ifndef TURNTABLECTL_SPIN_PLAN_H
#define TURNTABLECTL_SPIN_PLAN_H

#include <cstdio>
#include <optional>
#include <string>
#include <vector>

/// The shots of one stepped revolution, from a first shot on, with the
/// angle of each and the counts the plug-in will turn to reach it. Angles
/// are degrees of the plan: shot k of N at k * 360 / N from the start, the
/// last exactly one turn. Moves go to absolute targets measured from where
/// the table stands when the spin begins, so the rounding of one step to
/// whole counts is made good by the next.
class SpinPlan {
public:
    struct Setup {
        unsigned shots = 0;
        unsigned from = 1;     ///< first shot to take
        unsigned tableAt = 0;  ///< shot whose angle the table stands at (0: the start)
        unsigned countsPerRevolution = 0;
        bool counterclockwise = false;
    };

    struct Shot {
        unsigned number = 0;  ///< 1-based, in the whole plan
        double angle = 0;     ///< degrees of the plan, negative counter-clockwise
        float target = 0;     ///< what to ask the plug-in for, from where the table stands
        long counts = 0;      ///< counts of the move to it; 0 when the table is already there
        long fromStart = 0;   ///< where it puts the table, in counts from the start of the plan
    };

    explicit SpinPlan(const Setup& setup);

    const Setup& setup() const { return m_setup; }
    const std::vector<Shot>& shots() const { return m_shots; }
    long totalCounts() const;
    /// Counts from the start of the plan at which the table stands when
    /// the spin begins (at shot --table-at).
    long startCounts() const { return m_start; }
    /// Plan angle of shot `shot` of `shots` (0 is the start), unsigned.
    static double angleOf(unsigned shot, unsigned shots);

    /// Time the session takes at the least, or nothing when the board keeps
    /// its own pace (the DC board): each stepper count is a 1 ms gap and a
    /// pulse of `speedMilliseconds`, each shot a settle time and, with the
    /// shutter, the focus and release lines' two 500 ms.
    std::optional<double> expectedSeconds(bool dcBoard, unsigned speedMilliseconds,
                                          unsigned settleMilliseconds, bool shutter) const;

private:
    Setup m_setup;
    long m_start = 0;
    std::vector<Shot> m_shots;
};

#endif  // TURNTABLECTL_SPIN_PLAN_H
