// What sits behind the chip's data port.
#ifndef FTSIM_SRC_BOARD_H
#define FTSIM_SRC_BOARD_H

#include <cstdint>
#include <utility>
#include <vector>

#include "ftsim/Time.h"

namespace ftsim {

/// A board wired to the eight data pins. The chip tells it every change of
/// the levels it drives; the board answers the levels of the lines it drives
/// itself. Called with the bench lock held.
class Board {
public:
    virtual ~Board() = default;

    /// The lines driven by the chip changed from `before` to `after` at `time`.
    virtual void onLines(std::uint8_t before, std::uint8_t after, TimeNs time) = 0;
    /// Pins the board drives (the chip's inputs).
    virtual std::uint8_t inputMask() const { return 0; }
    /// Levels of the board-driven pins at `time` (bits outside inputMask() are 0).
    virtual std::uint8_t inputs(TimeNs /*time*/) { return 0; }
    /// Changes of the board-driven pins between `from` and `to`, in time order,
    /// as (time, levels) pairs; used to draw the inputs in a VCD.
    virtual std::vector<std::pair<TimeNs, std::uint8_t>> inputChanges(TimeNs /*from*/,
                                                                      TimeNs /*to*/) const {
        return {};
    }
    /// Name of each pin after the line it carries on this board.
    virtual const char* pinName(int bit) const = 0;
};

}  // namespace ftsim

#endif  // FTSIM_SRC_BOARD_H
