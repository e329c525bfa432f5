// Configuration of a simulated DC counter board.
#ifndef FTSIM_DCSETUP_H
#define FTSIM_DCSETUP_H

#include <cstdint>

namespace ftsim {

/// The DC turntable with its 4-bit counter behind a device: bits 0-3 preset,
/// 4 status (input), 5 start, 6 mode, 7 load.
class DcSetup {
public:
    /// Time the table takes for one count (default 1 ms).
    DcSetup& countNanoseconds(std::int64_t ns) {
        m_countNs = ns;
        return *this;
    }
    /// Fault: the board ignores every start edge and never turns.
    DcSetup& neverStarts(bool never = true) {
        m_neverStarts = never;
        return *this;
    }
    /// The table is already turning continuously when the bench is built; it
    /// stops at the end of the count in progress once the mode line is seen low.
    DcSetup& startTurning(bool turning = true) {
        m_startTurning = turning;
        return *this;
    }

    std::int64_t getCountNanoseconds() const { return m_countNs; }
    bool getNeverStarts() const { return m_neverStarts; }
    bool getStartTurning() const { return m_startTurning; }

private:
    std::int64_t m_countNs = 1000000;
    bool m_neverStarts = false;
    bool m_startTurning = false;
};

}  // namespace ftsim

#endif  // FTSIM_DCSETUP_H
