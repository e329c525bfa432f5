// The stepper turntable's electronics.
#ifndef FTSIM_SRC_STEPPERMODEL_H
#define FTSIM_SRC_STEPPERMODEL_H

#include <cstdint>
#include <vector>

#include "Board.h"
#include "ftsim/StepperView.h"
#include "ftsim/StepperSetup.h"

namespace ftsim {

/// Stepper driver plus camera lines. A rising edge of the step line (bit 2)
/// while the enable line (bit 0) is at its active level moves one step in the
/// direction the direction line (bit 1) gives; an edge while disabled, or
/// closer than 1/maxStepRate to the previous step, moves nothing (lost).
/// Focus (bit 4) and shutter (bit 5) changes are logged; a shot is the shutter
/// rising while focus is high.
class StepperModel : public Board {
public:
    explicit StepperModel(const StepperSetup& setup);

    void onLines(std::uint8_t before, std::uint8_t after, TimeNs time) override;
    const char* pinName(int bit) const override;

    std::int64_t position = 0;
    std::uint64_t counted = 0;
    std::uint64_t lostDisabled = 0;
    std::uint64_t lostFast = 0;
    std::vector<TimeNs> stepTimes;
    std::vector<LineEvent> lineEvents;
    std::vector<Shot> shots;
    StepperSetup setup;
    bool enabled = false;

private:
    TimeNs m_focusRoseAt = -1;
    TimeNs m_lastStep = 0;
    bool m_hasStepped = false;
};

}  // namespace ftsim

#endif  // FTSIM_SRC_STEPPERMODEL_H
