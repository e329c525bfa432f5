// Motion and settings through the plug-in object: the answers while closed,
// the angle interface and the moves it makes on the simulated boards.
#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <cstdint>
#include <limits>
#include <thread>

#include "PluginTest.h"
#include "ftsim/Bench.h"
#include "ftsim/BenchBuilder.h"
#include "ftsim/DcSetup.h"
#include "ftsim/DeviceSetup.h"
#include "ftsim/StepperSetup.h"

using std::chrono::milliseconds;

class ClosedPlugin : public PluginTest {};

TEST_F(ClosedPlugin, EveryOperationAnswersNeutrallyAndChangesNothing) {
    ftsim::Bench bench = ftsim::BenchBuilder().device(cobaltMedium()).build();
    HxVorandelTurntableControl plugin;

    plugin.SetCountsPerRevolution(72);
    plugin.SetRotationSpeed(5);
    plugin.SetRotationClockwise();
    plugin.SetRotationCounterClockwise();
    plugin.SetClockwiseActiveHigh(true);
    plugin.SetClockwiseActiveLow();
    plugin.SetMotorEnableActiveHigh(true);
    plugin.SetMotorEnableActiveLow();
    plugin.SetLockMotorWhenIdle(true, true);
    plugin.SetRotationGlobalOriginHere();
    plugin.SetRotationNextGlobalPositionInDegrees(90.0);
    plugin.SetRotationContinuous();
    plugin.stopRotation();
    plugin.spinningWillStart();
    plugin.stopAngleRotation();
    plugin.stepsSpinningWillStop();

    EXPECT_FALSE(plugin.startRotation());
    EXPECT_EQ(0, plugin.SetRotationIncrementInCounts(10));
    EXPECT_EQ(0.0, plugin.SetRotationIncrementInDegrees(90.0));
    EXPECT_FALSE(plugin.IsTurntableRotating());
    EXPECT_EQ(0u, plugin.rotationSpeed());
    EXPECT_FALSE(plugin.isRotationClockwise());
    EXPECT_EQ(0u, plugin.stepsPerRevolution());
    EXPECT_FALSE(plugin.isClockwiseActiveHigh());
    EXPECT_FALSE(plugin.isMotorEnableActiveHigh());
    EXPECT_FALSE(plugin.isLockMotorWhenIdle());
    EXPECT_FALSE(plugin.shutterReleaseCameraHardware());
    EXPECT_FALSE(plugin.writeToEEPROM(4));
    short id = 77;
    EXPECT_FALSE(plugin.readFromEEPROM(&id));
    EXPECT_EQ(77, id);
    EXPECT_FALSE(plugin.rotateDeviceToAngle(45.0f)) << "nothing turned: no success to report";
    EXPECT_TRUE(plugin.stepsSpinningWillStart());

    EXPECT_FALSE(plugin.isTurntableOpened());
    EXPECT_EQ(0u, bench.trace().size());
    EXPECT_EQ(0, m_stoppedReports.load());
    EXPECT_EQ("", plugin.lastError());
}

class Motion : public PluginTest {};

TEST_F(Motion, AnglesWithinOneHundredthOfZeroDoNothing) {
    ftsim::Bench bench = ftsim::BenchBuilder().device(cobaltMedium()).build();
    HxVorandelTurntableControl plugin;
    openCobalt(plugin);
    bench.trace().clear();

    plugin.SetRotationCounterClockwise();
    for (float angle : {0.01f, -0.01f, -0.005f, 0.0f, -0.0f, std::nanf("")}) {
        EXPECT_TRUE(plugin.rotateDeviceToAngle(angle)) << angle;
        EXPECT_FALSE(plugin.isRotationClockwise()) << angle;
        EXPECT_FALSE(plugin.IsTurntableRotating()) << angle;
    }
    plugin.SetRotationClockwise();
    EXPECT_TRUE(plugin.rotateDeviceToAngle(-0.005f));
    EXPECT_TRUE(plugin.isRotationClockwise());

    std::this_thread::sleep_for(milliseconds(20));
    EXPECT_EQ(0u, bench.device(0).stepper().pulsesCounted());
    EXPECT_EQ(0u, bench.trace().count("FT_Write"));
}

TEST_F(Motion, AnglesJustBeyondOneHundredthPickTheDirectionAndMove) {
    ftsim::Bench bench = ftsim::BenchBuilder().device(cobaltMedium()).build();
    HxVorandelTurntableControl plugin;
    openCobalt(plugin);
    ftsim::StepperView& board = bench.device(0).stepper();

    // Less than half a count ahead: the move turns until it is stopped.
    plugin.SetRotationCounterClockwise();
    EXPECT_TRUE(plugin.rotateDeviceToAngle(std::nextafter(0.01f, 1.0f)));
    EXPECT_TRUE(plugin.isRotationClockwise());
    ASSERT_TRUE(waitUntil([&] { return board.position() >= 2; }, milliseconds(5000)));
    plugin.stopAngleRotation();
    EXPECT_FALSE(plugin.IsTurntableRotating());

    const int64_t before = board.position();
    EXPECT_TRUE(plugin.rotateDeviceToAngle(-0.02f));
    EXPECT_FALSE(plugin.isRotationClockwise());
    ASSERT_TRUE(waitUntil([&] { return board.position() <= before - 2; }, milliseconds(5000)));
    plugin.stopAngleRotation();
    EXPECT_FALSE(plugin.IsTurntableRotating());
}

TEST_F(Motion, ThirtyDegreesTakeSixCountsThenAFullTurnOnTheStepper) {
    ftsim::Bench bench = ftsim::BenchBuilder().device(cobaltMedium()).build();
    HxVorandelTurntableControl plugin;
    openCobalt(plugin);
    ftsim::StepperView& board = bench.device(0).stepper();

    EXPECT_TRUE(plugin.rotateDeviceToAngle(30.0f));
    EXPECT_TRUE(plugin.isRotationClockwise());
    ASSERT_TRUE(finishMove(plugin));
    EXPECT_EQ(6, board.position());

    // The table already stands at 30 degrees: the same target is a full turn.
    EXPECT_TRUE(plugin.rotateDeviceToAngle(30.0f));
    ASSERT_TRUE(finishMove(plugin));
    EXPECT_EQ(78, board.position());
    EXPECT_EQ(78u, board.pulsesCounted());
    EXPECT_EQ(0u, board.pulsesLost());

    // Back the other way to -30 degrees: 60 degrees counter-clockwise.
    EXPECT_TRUE(plugin.rotateDeviceToAngle(-30.0f));
    ASSERT_TRUE(finishMove(plugin));
    EXPECT_EQ(66, board.position());
}

TEST_F(Motion, InfiniteAnglesStartNoMoveAndKeepThePosition) {
    ftsim::Bench bench = ftsim::BenchBuilder().device(cobaltMedium()).build();
    HxVorandelTurntableControl plugin;
    openCobalt(plugin);
    ftsim::StepperView& board = bench.device(0).stepper();

    // A finished move leaves its increment stored; an infinite angle must not
    // run it again.
    EXPECT_TRUE(plugin.rotateDeviceToAngle(30.0f));
    ASSERT_TRUE(finishMove(plugin));
    ASSERT_EQ(6u, board.pulsesCounted());

    plugin.SetRotationCounterClockwise();
    for (float angle :
         {std::numeric_limits<float>::infinity(), -std::numeric_limits<float>::infinity()}) {
        EXPECT_TRUE(plugin.rotateDeviceToAngle(angle)) << angle;
        EXPECT_FALSE(plugin.IsTurntableRotating()) << angle;
    }
    std::this_thread::sleep_for(milliseconds(20));
    EXPECT_EQ(6u, board.pulsesCounted());
    EXPECT_FALSE(plugin.isRotationClockwise());
}

TEST_F(Motion, ThirtyDegreesTakeSixCountsThenAFullTurnOnTheDcBoard) {
    ftsim::Bench bench = ftsim::BenchBuilder().device(classic()).build();
    HxVorandelTurntableControl plugin;
    ASSERT_TRUE(discoverAndOpen(plugin, 0));
    ASSERT_EQ(72u, plugin.stepsPerRevolution());
    ftsim::DcView& board = bench.device(0).dc();

    EXPECT_TRUE(plugin.rotateDeviceToAngle(30.0f));
    ASSERT_TRUE(finishMove(plugin));
    EXPECT_EQ(6u, board.countsTurned());

    EXPECT_TRUE(plugin.rotateDeviceToAngle(30.0f));
    ASSERT_TRUE(finishMove(plugin));
    EXPECT_EQ(78u, board.countsTurned());
}

TEST_F(Motion, TargetLessThanHalfACountAheadTurnsUntilStopped) {
    ftsim::Bench bench = ftsim::BenchBuilder().device(cobaltMedium()).build();
    HxVorandelTurntableControl plugin;
    openCobalt(plugin);
    ftsim::StepperView& board = bench.device(0).stepper();

    ASSERT_TRUE(plugin.rotateDeviceToAngle(30.0f));
    ASSERT_TRUE(finishMove(plugin));
    ASSERT_EQ(6, board.position());

    // One degree on at five degrees a count rounds to 0 counts: continuous.
    EXPECT_TRUE(plugin.rotateDeviceToAngle(31.0f));
    ASSERT_TRUE(waitUntil([&] { return board.position() > 6 + 80; }, milliseconds(10000)));
    EXPECT_TRUE(plugin.IsTurntableRotating());
    plugin.stopAngleRotation();
    EXPECT_FALSE(plugin.IsTurntableRotating());
    const int64_t stoppedAt = board.position();
    std::this_thread::sleep_for(milliseconds(20));
    EXPECT_EQ(stoppedAt, board.position());
}

TEST_F(Motion, StepsSpinningWillStopPreparesTheWayBackWithoutStarting) {
    ftsim::Bench bench = ftsim::BenchBuilder().device(cobaltMedium()).build();
    HxVorandelTurntableControl plugin;
    openCobalt(plugin);
    ftsim::StepperView& board = bench.device(0).stepper();
    ASSERT_TRUE(plugin.rotateDeviceToAngle(30.0f));
    ASSERT_TRUE(finishMove(plugin));

    plugin.stepsSpinningWillStop();
    std::this_thread::sleep_for(milliseconds(20));
    EXPECT_FALSE(plugin.IsTurntableRotating());
    EXPECT_EQ(6, board.position());

    // The prepared move goes on clockwise to the origin: a turn in all.
    ASSERT_TRUE(plugin.startRotation());
    ASSERT_TRUE(finishMove(plugin));
    EXPECT_EQ(72, board.position());
}

TEST_F(Motion, SpinningWillStartSetsTheOriginAndLocksTheMotor) {
    ftsim::Bench bench = ftsim::BenchBuilder().device(cobaltMedium()).build();
    HxVorandelTurntableControl plugin;
    openCobalt(plugin);
    ftsim::StepperView& board = bench.device(0).stepper();
    ASSERT_TRUE(plugin.rotateDeviceToAngle(30.0f));
    ASSERT_TRUE(finishMove(plugin));
    EXPECT_FALSE(board.enabled());  // the Cobalt preset releases the motor

    plugin.spinningWillStart();
    EXPECT_TRUE(plugin.isLockMotorWhenIdle());
    ASSERT_TRUE(plugin.rotateDeviceToAngle(30.0f));
    ASSERT_TRUE(finishMove(plugin));
    EXPECT_EQ(12, board.position());
    EXPECT_TRUE(board.enabled());
}

TEST_F(Motion, IncrementsAndSettingsReachTheDriver) {
    ftsim::Bench bench = ftsim::BenchBuilder().device(cobaltMedium()).build();
    HxVorandelTurntableControl plugin;
    openCobalt(plugin);
    ftsim::StepperView& board = bench.device(0).stepper();

    EXPECT_EQ(5, plugin.SetRotationIncrementInCounts(5));
    ASSERT_TRUE(plugin.startRotation());
    ASSERT_TRUE(finishMove(plugin));
    EXPECT_EQ(5, board.position());

    // A negative increment turns the other way and keeps that direction.
    EXPECT_EQ(3, plugin.SetRotationIncrementInCounts(-3));
    EXPECT_FALSE(plugin.isRotationClockwise());
    ASSERT_TRUE(plugin.startRotation());
    ASSERT_TRUE(finishMove(plugin));
    EXPECT_EQ(2, board.position());

    EXPECT_DOUBLE_EQ(10.0, plugin.SetRotationIncrementInDegrees(12.0));
    ASSERT_TRUE(plugin.startRotation());
    ASSERT_TRUE(finishMove(plugin));
    EXPECT_EQ(0, board.position());

    plugin.SetRotationSpeed(2);
    EXPECT_EQ(2u, plugin.rotationSpeed());
    plugin.SetClockwiseActiveLow();
    EXPECT_FALSE(plugin.isClockwiseActiveHigh());
    plugin.SetClockwiseActiveHigh(true);
    EXPECT_TRUE(plugin.isClockwiseActiveHigh());
    plugin.SetMotorEnableActiveLow();
    EXPECT_FALSE(plugin.isMotorEnableActiveHigh());
    plugin.SetMotorEnableActiveHigh(true);
    plugin.SetLockMotorWhenIdle(true, false);
    EXPECT_TRUE(plugin.isLockMotorWhenIdle());
    plugin.SetCountsPerRevolution(200);
    EXPECT_EQ(200u, plugin.stepsPerRevolution());
}

TEST_F(Motion, ShutterFiresOnTheStepperBoardOnly) {
    {
        ftsim::Bench bench = ftsim::BenchBuilder().device(cobaltMedium()).build();
        HxVorandelTurntableControl plugin;
        openCobalt(plugin);
        EXPECT_TRUE(plugin.shutterReleaseCameraHardware());
        EXPECT_EQ(1u, bench.device(0).stepper().shots());
    }
    {
        ftsim::Bench bench = ftsim::BenchBuilder().device(classic()).build();
        HxVorandelTurntableControl plugin;
        ASSERT_TRUE(discoverAndOpen(plugin, 0));
        bench.trace().clear();
        EXPECT_FALSE(plugin.shutterReleaseCameraHardware());
        EXPECT_EQ(0u, bench.trace().count("FT_Write"));
    }
}
