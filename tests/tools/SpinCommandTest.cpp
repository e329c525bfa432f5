// The main job: a host-driven stepped spin, checked against what the
// simulated board counted.
#include <gtest/gtest.h>

#include <cstdlib>

#include "ToolRun.h"

namespace {

TEST(SpinCommand, TwentyFourShotsTurnTheBoardExactlyOneRevolution) {
    const ToolRun run =
        ToolRun::turntablectl({"spin", "--shots", "24", "--sim-counts", "240", "--settle", "0"});
    ASSERT_EQ(run.exitCode, 0) << run.describe();

    const ToolRun::Board board = run.board();
    ASSERT_TRUE(board.found) << run.out;
    EXPECT_EQ(board.pulses, 240u);
    EXPECT_EQ(std::llabs(board.position), 240);
    EXPECT_EQ(board.lost, 0u);

    const std::vector<std::string> shots = run.outLinesWith("shot ");
    ASSERT_EQ(shots.size(), 24u) << run.out;
    EXPECT_EQ(shots.front().rfind("shot 1/24 at 15.00 deg", 0), 0u) << shots.front();
    EXPECT_EQ(shots.back().rfind("shot 24/24 at 360.00 deg", 0), 0u) << shots.back();
    EXPECT_EQ(run.outLinesWith("Spin done: 24 shots").size(), 1u) << run.out;
}

TEST(SpinCommand, UnevenCountsStillEndOnExactlyOneRevolution) {
    // 7 shots of 250 counts a turn: 35.7 counts a step, rounded per step.
    const ToolRun run =
        ToolRun::turntablectl({"spin", "--shots", "7", "--sim-counts", "250", "--settle", "0"});
    ASSERT_EQ(run.exitCode, 0) << run.describe();
    EXPECT_EQ(run.board().pulses, 250u);
    EXPECT_EQ(run.outLinesWith("shot ").size(), 7u);
}

TEST(SpinCommand, ShutterIsReleasedOncePerShot) {
    const ToolRun run = ToolRun::turntablectl(
        {"spin", "--shots", "3", "--shutter", "--sim-counts", "240", "--settle", "0"});
    ASSERT_EQ(run.exitCode, 0) << run.describe();
    EXPECT_EQ(run.board().shots, 3u);
    EXPECT_EQ(run.board().pulses, 240u);
    EXPECT_EQ(run.outLinesWith("(shutter released)").size(), 3u) << run.out;
}

TEST(SpinCommand, StepInDegreesGivesTheShotCount) {
    const ToolRun run =
        ToolRun::turntablectl({"spin", "--step", "90", "--sim-counts", "240", "--settle", "0"});
    ASSERT_EQ(run.exitCode, 0) << run.describe();
    EXPECT_EQ(run.outLinesWith("shot ").size(), 4u);
    EXPECT_EQ(run.board().pulses, 240u);
}

TEST(SpinCommand, CounterClockwiseTurnsTheBoardTheOtherWay) {
    const ToolRun cw =
        ToolRun::turntablectl({"spin", "--shots", "4", "--sim-counts", "240", "--settle", "0"});
    const ToolRun ccw = ToolRun::turntablectl(
        {"spin", "--shots", "4", "--ccw", "--sim-counts", "240", "--settle", "0"});
    ASSERT_EQ(cw.exitCode, 0) << cw.describe();
    ASSERT_EQ(ccw.exitCode, 0) << ccw.describe();
    EXPECT_EQ(ccw.board().position, -cw.board().position);
    EXPECT_EQ(std::llabs(ccw.board().position), 240);
}

TEST(SpinCommand, SettleTimeIsWaitedBeforeEachShot) {
    const ToolRun run =
        ToolRun::turntablectl({"spin", "--shots", "4", "--sim-counts", "8", "--settle", "250"});
    ASSERT_EQ(run.exitCode, 0) << run.describe();
    double seconds = 0;
    const std::vector<std::string> done = run.outLinesWith("Spin done");
    ASSERT_EQ(done.size(), 1u) << run.out;
    ASSERT_EQ(std::sscanf(done[0].c_str(), "Spin done: 4 shots over one turn in %lf s", &seconds),
              1);
    EXPECT_GE(seconds, 1.0);
}

TEST(SpinCommand, ClassicDcTableSpinsByItsCounter) {
    const ToolRun run = ToolRun::turntablectl(
        {"spin", "--shots", "4", "--sim-model", "1", "--sim-count-time", "1", "--settle", "0"});
    ASSERT_EQ(run.exitCode, 0) << run.describe();
    EXPECT_EQ(run.board().dcCounts, 72u);
    EXPECT_EQ(run.outLinesWith("shot ").size(), 4u);
}

TEST(SpinCommand, ShutterOnTheClassicFailsInsteadOfPretending) {
    const ToolRun run = ToolRun::turntablectl({"spin", "--shots", "2", "--shutter", "--sim-model",
                                               "1", "--sim-count-time", "1", "--settle", "0"});
    EXPECT_EQ(run.exitCode, 1) << run.describe();
    EXPECT_NE(run.err.find("no camera lines"), std::string::npos) << run.err;
}

TEST(SpinCommand, StepsSmallerThanOneCountAreRefused) {
    // 0 counts would make the plug-in turn without end.
    const ToolRun run =
        ToolRun::turntablectl({"spin", "--shots", "24", "--sim-counts", "12", "--settle", "0"});
    EXPECT_EQ(run.exitCode, 2) << run.describe();
    EXPECT_EQ(run.board().pulses, 0u);
}

TEST(SpinCommand, CtrlCStopsTheSpinAndExits130) {
    // The first move begins just after the "Spinning" line and lasts a
    // second or more (1000 counts, a 1 ms gap each): a signal 200 ms after
    // the line comes while it runs.
    const ToolRun run = ToolRun::turntablectlInterrupted(
        {"spin", "--shots", "4", "--sim-counts", "4000", "--settle", "0"}, "Spinning", 1,
        std::chrono::milliseconds(20), std::chrono::milliseconds(200));
    EXPECT_EQ(run.exitCode, 130) << run.describe();
    // The move under way reaches its shot; nothing turns after it.
    EXPECT_NE(run.err.find("interrupted by Ctrl-C"), std::string::npos) << run.err;
    EXPECT_NE(run.err.find("rests at shot 1 (90.00 deg from the start, 1000 counts)"),
              std::string::npos)
        << run.err;
    EXPECT_EQ(run.board().pulses, 1000u);
}

}  // namespace
