#ifndef TURNTABLE_CATALOGUE_H
#define TURNTABLE_CATALOGUE_H

#include <array>
#include <cstddef>

#include "TurntableIds.h"
#include "TurntableModel.h"

/// The turntable models the plug-in knows, one row each, in the order the
/// host lists them. A row is what the host opens by and what an identity
/// record stores, so rows never move. Header-only, so that a simulated bench
/// can build its tables from the same rows without linking the plug-in.
class TurntableCatalogue {
public:
    static constexpr std::size_t ROW_COUNT = 10;

    /// The model at `row`, or null beyond the catalogue.
    static constexpr const TurntableModel* model(std::size_t row) {
        return row < ROW_COUNT ? &kModels[row] : nullptr;
    }

    /// The row of model `id`, or ROW_COUNT for a value that names no model.
    static constexpr std::size_t rowOf(TurntableIds::Id id) {
        for (std::size_t row = 0; row < ROW_COUNT; ++row) {
            if (kModels[row].id == id) {
                return row;
            }
        }
        return ROW_COUNT;
    }

    static constexpr const std::array<TurntableModel, ROW_COUNT>& models() { return kModels; }

private:
    static constexpr LinePolarities kClockwiseLow{true, false};
    static constexpr LinePolarities kClockwiseHigh{true, true};

    // Rows 5 to 8 pair labels and models out of step on purpose: identity
    // records in the field store rows, and those rows must keep opening the
    // models they always opened.
    static constexpr std::array<TurntableModel, ROW_COUNT> kModels = {{
        {"Vorandel Generic (Expert use)", TurntableIds::Generic_ExpertUse,
         TurntableDriver::StepperMotor, std::nullopt},
        {"Vorandel Classic", TurntableIds::Classic, TurntableDriver::DcMotor,
         TurntablePreset{72, true, std::nullopt}},
        {"Vorandel Compact", TurntableIds::Compact, TurntableDriver::StepperMotor,
         TurntablePreset{6400, false, kClockwiseLow}},
        {"Vorandel Cobalt Medium", TurntableIds::Cobalt_M, TurntableDriver::StepperMotor,
         TurntablePreset{19520, false, kClockwiseLow}},
        {"Vorandel Cobalt Large", TurntableIds::Cobalt_L, TurntableDriver::StepperMotor,
         TurntablePreset{12062, false, kClockwiseLow}},
        {"Vorandel Cobalt Extra Large", TurntableIds::Cobalt_L_S2, TurntableDriver::StepperMotor,
         TurntablePreset{13062, false, kClockwiseHigh}},
        {"Vorandel Cobalt Large, Series 2", TurntableIds::Cobalt_XL, TurntableDriver::StepperMotor,
         TurntablePreset{11200, false, kClockwiseHigh}},
        {"Vorandel Amber Large", TurntableIds::Amber_M, TurntableDriver::StepperMotor,
         TurntablePreset{8220, false, kClockwiseLow}},
        {"Vorandel Amber Medium", TurntableIds::Amber_L, TurntableDriver::StepperMotor,
         TurntablePreset{11520, false, kClockwiseLow}},
        {"Vorandel Amber Extra Large", TurntableIds::Amber_XL, TurntableDriver::StepperMotor,
         TurntablePreset{11520, false, kClockwiseLow}},
    }};
};

#endif  // TURNTABLE_CATALOGUE_H
