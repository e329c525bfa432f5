#ifndef TURNTABLE_MODEL_H
#define TURNTABLE_MODEL_H

#include <optional>

#include "TurntableIds.h"
#include "TurntablePreset.h"

/// The board a model carries, and so the driver that opens it.
enum class TurntableDriver { DcMotor, StepperMotor };

/// One row of the catalogue.
struct TurntableModel {
    const char* label;  ///< the name the host shows
    TurntableIds::Id id;
    TurntableDriver driver;
    /// None for the expert row: the expert sets everything.
    std::optional<TurntablePreset> preset;
};

#endif  // TURNTABLE_MODEL_H
