#ifndef TURNTABLE_PRESET_H
#define TURNTABLE_PRESET_H

#include <optional>

/// Levels of the stepper board's enable and direction lines.
struct LinePolarities {
    bool motorEnableActiveHigh;
    bool clockwiseActiveHigh;
};

/// The built-in mechanical settings a model opens with.
struct TurntablePreset {
    unsigned int countsPerRevolution;
    bool lockMotorWhenIdle;
    /// None on the DC board, which has neither an enable nor a direction line.
    std::optional<LinePolarities> polarities;
};

#endif  // TURNTABLE_PRESET_H
