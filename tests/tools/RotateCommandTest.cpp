// Single moves: by counts, by degrees (rounded to whole counts), to an
// angle, and continuous until Ctrl-C.
#include <gtest/gtest.h>

#include <cstdlib>

#include "ToolRun.h"

namespace {

TEST(RotateCommand, ByDegreesMovesTheBoardByTheRoundedCount) {
    // 10 degrees of 240 counts a turn: 6.67 counts, 7 once rounded.
    const ToolRun run = ToolRun::turntablectl({"rotate", "--degrees", "10", "--sim-counts", "240"});
    ASSERT_EQ(run.exitCode, 0) << run.describe();
    EXPECT_EQ(run.board().pulses, 7u);
    EXPECT_EQ(std::llabs(run.board().position), 7);
    EXPECT_EQ(run.outLinesWith("(7 counts)").size(), 1u) << run.out;
}

TEST(RotateCommand, ByDegreesOnTheCobaltMediumUsesItsPreset) {
    // 1 degree of 19520 counts a turn: 54.2 counts, 54 once rounded.
    const ToolRun run = ToolRun::turntablectl({"rotate", "--degrees", "1"});
    ASSERT_EQ(run.exitCode, 0) << run.describe();
    EXPECT_EQ(run.board().pulses, 54u);
}

TEST(RotateCommand, NegativeCountsTurnCounterClockwise) {
    const ToolRun forward =
        ToolRun::turntablectl({"rotate", "--counts", "5", "--sim-counts", "240"});
    const ToolRun back = ToolRun::turntablectl({"rotate", "--counts", "-5", "--sim-counts", "240"});
    ASSERT_EQ(forward.exitCode, 0) << forward.describe();
    ASSERT_EQ(back.exitCode, 0) << back.describe();
    EXPECT_EQ(std::llabs(forward.board().position), 5);
    EXPECT_EQ(back.board().position, -forward.board().position);
    EXPECT_EQ(back.outLinesWith("counter-clockwise").size(), 1u) << back.out;
}

TEST(RotateCommand, ToAnAngleTurnsFromTheOrigin) {
    const ToolRun run = ToolRun::turntablectl({"rotate", "--to", "90", "--sim-counts", "240"});
    ASSERT_EQ(run.exitCode, 0) << run.describe();
    EXPECT_EQ(run.board().pulses, 60u);
}

TEST(RotateCommand, ToTheOriginDoesNothing) {
    const ToolRun run = ToolRun::turntablectl({"rotate", "--to", "0", "--sim-counts", "240"});
    ASSERT_EQ(run.exitCode, 0) << run.describe();
    EXPECT_EQ(run.board().pulses, 0u);
}

// The plug-in runs a move of 0 counts as a rotation without end: a move that
// rounds to no count is refused instead of turning until Ctrl-C.
TEST(RotateCommand, ZeroCountsAreRefusedRatherThanTurningWithoutEnd) {
    const ToolRun run = ToolRun::turntablectl({"rotate", "--counts", "0", "--sim-counts", "240"});
    EXPECT_EQ(run.exitCode, 2) << run.describe();
    EXPECT_NE(run.err.find("no move"), std::string::npos) << run.err;
}

TEST(RotateCommand, ToAnAngleBelowHalfACountIsRefusedRatherThanTurningWithoutEnd) {
    // 0.5 degrees of 240 counts a turn is a third of a count.
    const ToolRun run = ToolRun::turntablectl({"rotate", "--to", "0.5", "--sim-counts", "240"});
    EXPECT_EQ(run.exitCode, 2) << run.describe();
    EXPECT_NE(run.err.find("less than half a count"), std::string::npos) << run.err;

    // A whole turn back to the origin is a move of a whole turn.
    const ToolRun turn = ToolRun::turntablectl({"rotate", "--to", "-360", "--sim-counts", "240"});
    ASSERT_EQ(turn.exitCode, 0) << turn.describe();
    EXPECT_EQ(turn.board().position, -240);
}

TEST(RotateCommand, AnglesThatAreNoNumberOrBeyondOneMoveAreRefused) {
    for (const char* option : {"--degrees", "--to"}) {
        const ToolRun notANumber = ToolRun::turntablectl({"rotate", option, "nan"});
        EXPECT_EQ(notANumber.exitCode, 2) << option << ' ' << notANumber.describe();
    }
    const ToolRun huge = ToolRun::turntablectl({"rotate", "--degrees", "1e300"});
    EXPECT_EQ(huge.exitCode, 2) << huge.describe();
    EXPECT_EQ(huge.board().pulses, 0u);
}

TEST(RotateCommand, CounterClockwiseOnTheClassicIsRefused) {
    const ToolRun run = ToolRun::turntablectl(
        {"rotate", "--counts", "3", "--ccw", "--sim-model", "1", "--sim-count-time", "1"});
    EXPECT_EQ(run.exitCode, 1) << run.describe();
    EXPECT_NE(run.err.find("clockwise only"), std::string::npos) << run.err;
}

TEST(RotateCommand, ContinuousForADurationStopsByItself) {
    const ToolRun run = ToolRun::turntablectl({"rotate", "--continuous", "--for", "0.3"});
    ASSERT_EQ(run.exitCode, 0) << run.describe();
    EXPECT_GT(run.board().pulses, 0u);
}

TEST(CtrlC, EndsAContinuousRotationAndTheProgramWithinASecond) {
    const ToolRun run =
        ToolRun::turntablectlInterrupted({"rotate", "--continuous"}, "Ctrl-C stops");
    EXPECT_EQ(run.exitCode, 130) << run.describe();
    EXPECT_NE(run.err.find("Interrupted: the turntable stopped"), std::string::npos) << run.err;
    EXPECT_GT(run.board().pulses, 0u);
#ifdef TT_SANITIZED_BUILD
    // Sanitizer runtimes add their own work at exit (leak scan, reports).
    EXPECT_LT(run.interruptToExit.count(), 3000);
#else
    EXPECT_LT(run.interruptToExit.count(), 1000);
#endif
}

// One key press can arrive twice (`timeout` and shells signal the whole
// process group too): the move is still stopped before the program ends.
TEST(CtrlC, RepeatedAtOnceStillStopsTheMoveCleanly) {
    const ToolRun run = ToolRun::turntablectlInterrupted(
        {"rotate", "--continuous", "--sim-model", "1", "--sim-count-time", "1"}, "Ctrl-C stops", 2);
    EXPECT_EQ(run.exitCode, 130) << run.describe();
    EXPECT_NE(run.err.find("Interrupted: the turntable stopped"), std::string::npos) << run.err;
    EXPECT_GT(run.board().dcCounts, 0u);
}

}  // namespace
