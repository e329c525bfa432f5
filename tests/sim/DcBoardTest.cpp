// The DC counter board: preset latching, counted and continuous runs, status.
#include <gtest/gtest.h>

#include "BoardPins.h"
#include "SimTestSupport.h"
#include "ftsim/Bench.h"

using namespace ftsim;
using simtest::readByte;
using simtest::writeByte;

namespace {

constexpr std::int64_t kCountNs = 2000000;  // 2 ms a count

class Dc : public ::testing::Test {
protected:
    void build(DcSetup setup = DcSetup(), std::int64_t countNs = kCountNs) {
        bench = BenchBuilder()
                    .device(DeviceSetup().dcBoard(setup.countNanoseconds(countNs)))
                    .buildUnique();
        handle = simtest::open(0);
        simtest::bitBang(handle, BoardPins::Dc::OUTPUTS);
    }
    /// Loads `preset` and starts a run with the mode line as given; returns the
    /// time just before the start edge was written.
    TimeNs start(std::uint8_t preset, bool continuous = false) {
        const std::uint8_t mode = continuous ? BoardPins::Dc::MODE_SET : 0;
        writeByte(handle, preset);  // load strobe low
        writeByte(handle, std::uint8_t(preset | BoardPins::Dc::LOAD_COUNTERS));
        writeByte(handle, std::uint8_t(preset | BoardPins::Dc::LOAD_COUNTERS | mode));
        const TimeNs before = now();
        writeByte(handle, std::uint8_t(preset | BoardPins::Dc::LOAD_COUNTERS | mode |
                                       BoardPins::Dc::START));
        writeByte(handle, std::uint8_t(preset | BoardPins::Dc::LOAD_COUNTERS | mode));
        return before;
    }
    /// Polls the status line until it reads standing; returns when it did.
    TimeNs waitStanding() {
        const TimeNs give_up = now() + 5000000000LL;
        while (!(readByte(handle) & BoardPins::Dc::ROTATION_STATUS) && now() < give_up) {
        }
        return now();
    }
    DcView& board() { return bench->device(0).dc(); }
    std::unique_ptr<Bench> bench;
    FT_HANDLE handle = nullptr;
};

}  // namespace

TEST_F(Dc, PresetFourteenTurnsOneCount) {
    build();
    const TimeNs before = start(14);
    EXPECT_EQ(readByte(handle) & BoardPins::Dc::ROTATION_STATUS, 0);  // turning
    EXPECT_GE(waitStanding() - before, 1 * kCountNs);
    EXPECT_EQ(board().countsTurned(), 1u);
    EXPECT_EQ(board().runPresets(), std::vector<std::uint8_t>{14});
}

TEST_F(Dc, PresetTenTurnsFiveCounts) {
    build();
    const TimeNs before = start(10);
    EXPECT_GE(waitStanding() - before, 5 * kCountNs);
    EXPECT_EQ(board().countsTurned(), 5u);
    const auto runs = board().runs();
    ASSERT_EQ(runs.size(), 1u);
    EXPECT_EQ(runs[0].counts, 5u);
    EXPECT_EQ(runs[0].end - runs[0].start, 5 * kCountNs);
}

TEST_F(Dc, PresetFifteenTurnsSixteenCounts) {
    build();
    const TimeNs before = start(15);
    EXPECT_GE(waitStanding() - before, 16 * kCountNs);
    EXPECT_EQ(board().countsTurned(), 16u);
}

TEST_F(Dc, PresetIsTakenOnlyOnTheLoadStrobesRisingEdge) {
    build();
    writeByte(handle, BoardPins::Dc::LOAD_COUNTERS | 3);
    writeByte(handle, 3);
    writeByte(handle, BoardPins::Dc::LOAD_COUNTERS | 3);  // latches 3
    writeByte(handle, BoardPins::Dc::LOAD_COUNTERS | 9);  // no edge: stays 3
    EXPECT_EQ(board().latchedPreset(), 3);
}

TEST_F(Dc, ContinuousRunStopsAtTheEndOfTheCountInProgress) {
    build();
    start(14, true);
    simtest::spinFor(3 * kCountNs + kCountNs / 2);
    EXPECT_TRUE(board().isTurning());
    EXPECT_EQ(readByte(handle) & BoardPins::Dc::ROTATION_STATUS, 0);
    writeByte(handle, BoardPins::Dc::LOAD_COUNTERS | 14);  // mode low
    const TimeNs lowered = bench->trace().portWrites(0).back().time;
    const auto runs = board().runs();
    ASSERT_EQ(runs.size(), 1u);
    EXPECT_TRUE(runs[0].continuous);
    EXPECT_GE(runs[0].counts, 4u);
    EXPECT_GT(runs[0].end, lowered);             // finishes the count in progress
    EXPECT_LE(runs[0].end, lowered + kCountNs);  // and no more
    waitStanding();
    EXPECT_EQ(board().countsTurned(), runs[0].counts);
}

TEST_F(Dc, StartWhileTurningIsIgnored) {
    // Counts of a second: the first run (5 counts) still turns when the
    // second start comes, however slowly this machine runs the writes.
    build(DcSetup(), 1000000000);
    start(10);
    start(14);
    ASSERT_TRUE(board().isTurning()) << "the second start came while the first run turned";
    EXPECT_EQ(board().runsStarted(), 1u);
    EXPECT_EQ(board().startEdges(), 2u);
    EXPECT_EQ(board().runPresets(), std::vector<std::uint8_t>{10});
}

TEST_F(Dc, FaultyBoardNeverStarts) {
    build(DcSetup().neverStarts());
    start(14);
    start(14);
    EXPECT_EQ(readByte(handle) & BoardPins::Dc::ROTATION_STATUS, BoardPins::Dc::ROTATION_STATUS);
    EXPECT_EQ(board().runsStarted(), 0u);
    EXPECT_EQ(board().startEdges(), 2u);
}

TEST_F(Dc, TableBuiltTurningStopsWhenTheModeLineIsDrivenLow) {
    build(DcSetup().startTurning());
    EXPECT_TRUE(board().isTurning());
    // Entering bit-bang drove every output low, the mode line included.
    waitStanding();
    EXPECT_FALSE(board().isTurning());
    EXPECT_EQ(board().runsStarted(), 0u);
    EXPECT_EQ(board().runs().size(), 1u);
}
