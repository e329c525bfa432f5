// Test-side view of a simulated DC counter board.
#ifndef FTSIM_DCVIEW_H
#define FTSIM_DCVIEW_H

#include <cstdint>
#include <vector>
#include "ftsim/Export.h"

#include "ftsim/Time.h"

namespace ftsim {

/// One run of the DC table.
struct DcRun {
    TimeNs start = 0;
    TimeNs end = -1;           ///< -1 while a continuous run has not been told to stop
    std::uint8_t preset = 0;   ///< counter preset latched when it started
    bool continuous = false;   ///< started with the mode line high
    std::uint32_t counts = 0;  ///< counts of the whole run (known once it has an end)
};

/// View of the DC counter board of one device. A rising edge of bit 7 latches
/// the preset on bits 0-3; a rising edge of bit 5 while standing starts a run of
/// 15 - preset counts (16 for preset 15) with bit 6 low, or a continuous run
/// with bit 6 high that stops at the end of the count in progress when bit 6 is
/// written low. Bit 4 (input) reads high while standing, low while turning.
class FTSIM_API DcView {
public:
    explicit DcView(int device) : m_device(device) {}

    /// Whole counts turned so far (runs in progress included).
    std::uint64_t countsTurned() const;
    std::uint64_t runsStarted() const;
    /// The preset of each run, in order.
    std::vector<std::uint8_t> runPresets() const;
    std::vector<DcRun> runs() const;
    /// Rising edges of the start line, taken or not.
    std::uint64_t startEdges() const;
    bool isTurning() const;
    /// The preset currently latched in the counter.
    std::uint8_t latchedPreset() const;
    void setCountNanoseconds(std::int64_t ns);
    std::int64_t countNanoseconds() const;
    void setNeverStarts(bool never);

private:
    int m_device;
};

}  // namespace ftsim

#endif  // FTSIM_DCVIEW_H
