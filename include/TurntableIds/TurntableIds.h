#ifndef TURNTABLE_IDS_H
#define TURNTABLE_IDS_H

#include <cstdint>

/// The ids of the turntable models. Hosts know them as
/// HxVorandelTurntableControl::TurntableID, which takes its values from here;
/// the catalogue pairs each with its row. Depends on nothing, so the host's
/// view and the hardware description read the same values without seeing
/// each other.
namespace TurntableIds {

enum Id : std::int32_t {
    Generic_ExpertUse = 0,
    Classic = 100,
    Compact = 1000,
    Cobalt_M = 2000,
    Cobalt_L = 2100,
    Cobalt_L_S2 = 2101,
    Cobalt_XL = 2200,
    Amber_M = 3000,
    Amber_L = 3100,
    Amber_XL = 3200,
};

}  // namespace TurntableIds

#endif  // TURNTABLE_IDS_H
