// Moves on the DC counter board: the split into counter runs, a board that is
// already turning, continuous moves, the stop sequence and the end of a move.
#include <gtest/gtest.h>

#include <chrono>
#include <climits>
#include <memory>
#include <ostream>
#include <vector>

#include "DriverBench.h"
#include "HxDCMotor.h"
#include "ftd2xx.h"
#include "ftsim/DcView.h"
#include "ftsim/Device.h"
#include "ftsim/Trace.h"

using drivertest::NS_PER_MS;

namespace {

using DcMotor = drivertest::Probe<HxDCMotor>;
// Long enough that the worker sees every run turning, short enough for the suite.
constexpr std::int64_t COUNT_NS = 5 * NS_PER_MS;

class DcMotion : public ::testing::Test {
protected:
    void SetUp() override { open(ftsim::DcSetup().countNanoseconds(COUNT_NS)); }

    void open(const ftsim::DcSetup& setup) {
        motor.reset();
        bench.reset();
        bench = drivertest::dcBench(setup);
        motor = std::make_unique<DcMotor>(reports.control());
        motor->SetCountsPerRevolution(72);
        ASSERT_TRUE(motor->openDevice(0, nullptr));
        bench->trace().clear();
    }

    ftsim::DcView& board() { return bench->device(0).dc(); }
    std::vector<std::uint8_t> written() const {
        return drivertest::bytesOf(bench->trace().portWrites(0));
    }

    drivertest::StopReports reports;
    std::unique_ptr<ftsim::Bench> bench;
    std::unique_ptr<DcMotor> motor;
};

struct SplitCase {
    int counts;
    std::vector<std::uint8_t> presets;
};

void PrintTo(const SplitCase& c, std::ostream* os) {
    *os << c.counts << " counts";
}

class DcCountedMove : public DcMotion, public ::testing::WithParamInterface<SplitCase> {};

TEST_P(DcCountedMove, RunsTheCounterInRunsOfAtMostSixteenAndTurnsExactlyTheCount) {
    const SplitCase& c = GetParam();
    ASSERT_EQ(motor->SetRotationIncrementInCounts(c.counts), c.counts);
    ASSERT_TRUE(motor->startRotation());
    ASSERT_TRUE(drivertest::waitForMoveEnd(*motor));

    EXPECT_EQ(board().runPresets(), c.presets);
    EXPECT_EQ(board().countsTurned(), static_cast<std::uint64_t>(c.counts));
    // Each run is far shorter than the 100 ms a start is given to settle; it
    // must still count as started, not be started again.
    EXPECT_EQ(board().startEdges(), c.presets.size());
    for (const ftsim::DcRun& run : board().runs())
        EXPECT_FALSE(run.continuous);
    EXPECT_FALSE(board().isTurning());
    EXPECT_EQ(reports.count(), 1);
}

INSTANTIATE_TEST_SUITE_P(Splits, DcCountedMove,
                         ::testing::Values(SplitCase{1, {14}}, SplitCase{16, {15}},
                                           SplitCase{37, {10, 15, 15}},
                                           SplitCase{72, {7, 15, 15, 15, 15}}));

TEST_F(DcMotion, FirstRunIsLoadedInCountedModeThenStrobed) {
    motor->SetRotationIncrementInCounts(37);
    ASSERT_TRUE(motor->startRotation());
    ASSERT_TRUE(drivertest::waitForMoveEnd(*motor));

    const std::vector<std::uint8_t> bytes = written();
    // Mode low; preset 10; load low, high; mode low; start low, high, low.
    const std::vector<std::uint8_t> firstRun{0x8E, 0x8A, 0x0A, 0x8A, 0x8A, 0x8A, 0xAA, 0x8A};
    ASSERT_GE(bytes.size(), firstRun.size());
    EXPECT_EQ(std::vector<std::uint8_t>(bytes.begin(), bytes.begin() + 8), firstRun);
}

TEST_F(DcMotion, EveryMoveEndsWithAStopAttemptOfAtLeast100Milliseconds) {
    motor->SetRotationIncrementInCounts(1);
    const auto start = std::chrono::steady_clock::now();
    ASSERT_TRUE(motor->startRotation());
    ASSERT_TRUE(drivertest::waitForMoveEnd(*motor));

    // 100 ms for the start to settle, 100 ms for the stop.
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(200));
    const std::vector<std::uint8_t> bytes = written();
    ASSERT_GE(bytes.size(), 4u);
    // Preset 14, load low, load high, mode low: one attempt, the table stands.
    EXPECT_EQ(std::vector<std::uint8_t>(bytes.end() - 4, bytes.end()),
              (std::vector<std::uint8_t>{0x8E, 0x0E, 0x8E, 0x8E}));
    EXPECT_EQ(board().latchedPreset(), 14u);
}

TEST_F(DcMotion, BoardFoundTurningIsStoppedBeforeTheOpenEnds) {
    // A table left turning by a host that went away: the position of the new
    // connection starts where it comes to stand, so the open waits for that.
    open(ftsim::DcSetup().countNanoseconds(COUNT_NS).startTurning());
    EXPECT_FALSE(board().isTurning());
    const std::uint64_t atOpen = board().countsTurned();
    ASSERT_EQ(board().runs().size(), 1u);
    EXPECT_GE(board().runs()[0].end, 0);

    motor->SetRotationIncrementInCounts(5);
    ASSERT_TRUE(motor->startRotation());
    ASSERT_TRUE(drivertest::waitForMoveEnd(*motor));

    EXPECT_EQ(board().runPresets(), (std::vector<std::uint8_t>{10}));
    EXPECT_EQ(board().countsTurned(), atOpen + 5u);
}

TEST_F(DcMotion, BoardTurningAtAMoveStartIsLetStandBeforeTheFirstRun) {
    // Something else started a continuous run on the open connection.
    UCHAR startContinuous[] = {0xCE, 0xEE, 0xCE};
    DWORD moved = 0;
    ASSERT_EQ(FT_Write(FTDIControllerTestAccess::handle(*motor), startContinuous, 3, &moved),
              FT_OK);
    ASSERT_TRUE(board().isTurning());

    motor->SetRotationIncrementInCounts(5);
    ASSERT_TRUE(motor->startRotation());
    ASSERT_TRUE(drivertest::waitForMoveEnd(*motor));

    const std::vector<ftsim::DcRun> runs = board().runs();
    ASSERT_EQ(runs.size(), 2u);
    EXPECT_TRUE(runs[0].continuous);
    EXPECT_GE(runs[0].end, 0);
    EXPECT_LE(runs[0].end, runs[1].start);
    EXPECT_EQ(board().runPresets(), (std::vector<std::uint8_t>{14, 10}));
    EXPECT_EQ(board().countsTurned(), runs[0].counts + 5u);
}

TEST_F(DcMotion, ContinuousMoveIsRestartedWheneverTheBoardStandsUntilStopped) {
    motor->SetRotationIncrementInCounts(9);  // target -45 degrees
    motor->SetRotationIncrementInCounts(0);
    ASSERT_TRUE(motor->startRotation());
    ASSERT_TRUE(
        drivertest::waitUntil([&] { return board().isTurning(); }, std::chrono::seconds(5)));

    // Something else drops the mode line: the board stops after its count.
    DWORD moved = 0;
    UCHAR modeLow = 0x8E;
    ASSERT_EQ(FT_Write(FTDIControllerTestAccess::handle(*motor), &modeLow, 1, &moved), FT_OK);
    ASSERT_TRUE(
        drivertest::waitUntil([&] { return board().runsStarted() >= 2; }, std::chrono::seconds(5)));
    EXPECT_TRUE(motor->IsTurntableRotating());

    bench->trace().clear();
    const auto stopAt = std::chrono::steady_clock::now();
    ASSERT_TRUE(motor->stopRotation());
    EXPECT_GE(std::chrono::steady_clock::now() - stopAt, std::chrono::milliseconds(100));

    const std::vector<ftsim::DcRun> runs = board().runs();
    ASSERT_EQ(runs.size(), 2u);
    for (const ftsim::DcRun& run : runs) {
        EXPECT_TRUE(run.continuous);
        EXPECT_EQ(run.preset, 14u);
        EXPECT_GE(run.end, 0);
    }
    EXPECT_FALSE(board().isTurning());
    // The stop: preset 14 with the mode still high, load low, load high, mode low.
    EXPECT_EQ(written(), (std::vector<std::uint8_t>{0xCE, 0x4E, 0xCE, 0x8E}));
    EXPECT_NEAR(FTDIControllerTestAccess::currentAngle(*motor), -45.0, 1e-9);
    EXPECT_EQ(reports.count(), 1);
}

TEST_F(DcMotion, StopRequestedAtOnceRunsAtMostTheFirstRunAndBooksWhatRan) {
    motor->SetRotationIncrementInCounts(37);  // target -185 degrees
    ASSERT_TRUE(motor->startRotation());
    ASSERT_TRUE(motor->stopRotation());

    // The stop may come before or after the first start strobe; either way
    // no second run starts and the position is the counts the board turned.
    const std::vector<std::uint8_t> presets = board().runPresets();
    ASSERT_LE(presets.size(), 1u);
    if (!presets.empty()) {
        EXPECT_EQ(presets.front(), 10u);
    }
    EXPECT_EQ(board().countsTurned(), presets.empty() ? 0u : 5u);
    EXPECT_FALSE(motor->IsTurntableRotating());
    EXPECT_NEAR(FTDIControllerTestAccess::currentAngle(*motor),
                -5.0 * static_cast<double>(board().countsTurned()), 1e-9);
    EXPECT_EQ(reports.count(), 1);
}

}  // namespace

namespace {

TEST_F(DcMotion, CountBeyondTheSignedRangeIsRunNotSkipped) {
    // INT_MIN is stored as 2^31 counts: a move far too long to end by itself.
    motor->SetRotationIncrementInCounts(INT_MIN);
    ASSERT_TRUE(motor->startRotation());
    ASSERT_TRUE(drivertest::waitUntil([&] { return board().runsStarted() >= 2; },
                                      std::chrono::seconds(10)));
    EXPECT_TRUE(motor->IsTurntableRotating());
    EXPECT_EQ(board().runPresets().front(), 15) << "2^31 counts start with a run of 16";
    EXPECT_TRUE(motor->stopRotation());
    EXPECT_EQ(reports.count(), 1);
}

}  // namespace
