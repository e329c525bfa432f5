// The DC turntable's counter board.
#ifndef FTSIM_SRC_DCMODEL_H
#define FTSIM_SRC_DCMODEL_H

#include <cstdint>
#include <vector>

#include "Board.h"
#include "BoardPins.h"
#include "ftsim/DcView.h"
#include "ftsim/DcSetup.h"

namespace ftsim {

/// DC motor with a 4-bit counter. The load strobe (bit 7) latches the preset
/// (bits 0-3) on its rising edge. A rising edge of the start line (bit 5) while
/// standing starts a run: with the mode line (bit 6) low, 15 - preset counts
/// (16 for preset 15); with it high, the table turns until a write shows the
/// mode line low, then stands at the end of the count in progress. The status
/// line (bit 4) is high while standing, computed from the clock when read.
class DcModel : public Board {
public:
    DcModel(const DcSetup& setup, TimeNs builtAt);

    void onLines(std::uint8_t before, std::uint8_t after, TimeNs time) override;
    std::uint8_t inputMask() const override { return BoardPins::Dc::ROTATION_STATUS; }
    std::uint8_t inputs(TimeNs time) override;
    std::vector<std::pair<TimeNs, std::uint8_t>> inputChanges(TimeNs from,
                                                              TimeNs to) const override;
    const char* pinName(int bit) const override;

    bool turningAt(TimeNs time) const;
    std::uint64_t countsAt(TimeNs time) const;

    std::vector<DcRun> runs;
    std::vector<std::uint8_t> presets;  ///< of the runs started by a start edge
    std::uint64_t startEdges = 0;
    std::uint8_t latched = 0;
    std::int64_t countNs;
    bool neverStarts;

private:
    /// Index of the run in progress at `time`, or -1 while standing.
    int runningAt(TimeNs time) const;
};

}  // namespace ftsim

#endif  // FTSIM_SRC_DCMODEL_H
