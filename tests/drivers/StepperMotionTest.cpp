// Moves on the stepper board: pulse count and timing, continuous moves, the
// motor lock at the end, and the end-of-move bookkeeping and report.
#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <memory>
#include <thread>
#include <vector>

#include "BoardPins.h"
#include "DriverBench.h"
#include "HxStepperMotor.h"
#include "ftsim/Device.h"
#include "ftsim/Trace.h"

using drivertest::CLOCK_SLACK_NS;
using drivertest::NS_PER_MS;
using drivertest::Pulse;

namespace {

using Stepper = drivertest::Probe<HxStepperMotor>;

class StepperMotion : public ::testing::Test {
protected:
    void SetUp() override { open(ftsim::StepperSetup().stepsPerRevolution(200)); }

    void open(const ftsim::StepperSetup& setup) {
        stepper.reset();
        bench.reset();
        bench = drivertest::stepperBench(setup);
        stepper = std::make_unique<Stepper>(reports.control());
        stepper->SetCountsPerRevolution(200);
        stepper->SetMotorEnableActiveHigh(setup.getEnableActiveHigh());
        stepper->SetClockwiseActiveHigh(setup.getClockwiseActiveHigh());
        ASSERT_TRUE(stepper->openDevice(0, nullptr));
        bench->trace().clear();
    }

    /// Starts a move and returns once it has ended by itself.
    void runCounted(int counts) {
        ASSERT_EQ(stepper->SetRotationIncrementInCounts(counts), counts < 0 ? -counts : counts);
        ASSERT_TRUE(stepper->startRotation());
        ASSERT_TRUE(drivertest::waitForMoveEnd(*stepper));
    }

    std::vector<ftsim::PortWrite> writes() const { return bench->trace().portWrites(0); }
    ftsim::StepperView& board() { return bench->device(0).stepper(); }

    // Declared first: the report counter outlives the driver that reports to it.
    drivertest::StopReports reports;
    std::unique_ptr<ftsim::Bench> bench;
    std::unique_ptr<Stepper> stepper;
};

TEST_F(StepperMotion, CountedMoveGivesExactlyNStepsClockwise) {
    runCounted(7);

    EXPECT_EQ(drivertest::pulsesOf(writes(), BoardPins::Stepper::STEP).size(), 7u);
    EXPECT_EQ(board().position(), 7);
    EXPECT_EQ(board().pulsesLost(), 0u);
}

TEST_F(StepperMotion, NegativeCountTurnsTheBoardCounterClockwise) {
    runCounted(-4);

    EXPECT_EQ(stepper->GetRotationDirection(), FTDIController::TT_TURN_COUNTER_CLOCKWISE);
    EXPECT_EQ(drivertest::pulsesOf(writes(), BoardPins::Stepper::STEP).size(), 4u);
    EXPECT_EQ(board().position(), -4);
}

TEST_F(StepperMotion, StepLineIsHighForTheSpeedAndLowForAtLeastOneMillisecond) {
    stepper->SetRotationSpeed(3);
    runCounted(5);

    const std::vector<ftsim::PortWrite> all = writes();
    const std::vector<Pulse> pulses = drivertest::pulsesOf(all, BoardPins::Stepper::STEP);
    ASSERT_EQ(pulses.size(), 5u);
    // The prepare write comes at least 1 ms before the first rising edge.
    EXPECT_GE(pulses[0].rise - all.front().time, NS_PER_MS - CLOCK_SLACK_NS);
    for (std::size_t i = 0; i < pulses.size(); ++i) {
        ASSERT_GE(pulses[i].fall, 0) << "pulse " << i << " never fell";
        EXPECT_GE(pulses[i].fall - pulses[i].rise, 3 * NS_PER_MS - CLOCK_SLACK_NS) << i;
        if (i + 1 < pulses.size()) {
            EXPECT_GE(pulses[i + 1].rise - pulses[i].fall, NS_PER_MS - CLOCK_SLACK_NS) << i;
        }
    }
}

TEST_F(StepperMotion, SpeedZeroStillKeepsTheStepLineLowForOneMillisecond) {
    stepper->SetRotationSpeed(0);
    runCounted(6);

    const std::vector<Pulse> pulses = drivertest::pulsesOf(writes(), BoardPins::Stepper::STEP);
    ASSERT_EQ(pulses.size(), 6u);
    for (std::size_t i = 0; i + 1 < pulses.size(); ++i)
        EXPECT_GE(pulses[i + 1].rise - pulses[i].fall, NS_PER_MS - CLOCK_SLACK_NS) << i;
    EXPECT_EQ(board().position(), 6);
}

TEST_F(StepperMotion, ContinuousMovePulsesUntilStoppedAndEndsWhereItsStepsTookIt) {
    stepper->SetRotationIncrementInCounts(10);  // target -18 degrees
    stepper->SetRotationIncrementInCounts(0);
    ASSERT_TRUE(stepper->startRotation());
    ASSERT_TRUE(
        drivertest::waitUntil([&] { return board().position() >= 15; }, std::chrono::seconds(10)));
    EXPECT_TRUE(stepper->IsTurntableRotating());

    ASSERT_TRUE(stepper->stopRotation());
    const std::size_t writesAtStop = writes().size();
    std::this_thread::sleep_for(std::chrono::milliseconds(20));

    EXPECT_EQ(writes().size(), writesAtStop);
    const std::vector<Pulse> pulses = drivertest::pulsesOf(writes(), BoardPins::Stepper::STEP);
    EXPECT_EQ(static_cast<std::int64_t>(pulses.size()), board().position());
    EXPECT_NE(pulses.back().fall, -1);
    // 200 steps a turn: 1.8 degrees a step, clockwise lowers the angle.
    EXPECT_NEAR(FTDIControllerTestAccess::currentAngle(*stepper),
                std::fmod(-1.8 * static_cast<double>(board().position()), 360.0), 1e-9);
    EXPECT_EQ(reports.count(), 1);
}

TEST_F(StepperMotion, MoveStoppedAtOnceStillEmitsOnePulse) {
    stepper->SetRotationIncrementInCounts(0);
    ASSERT_TRUE(stepper->startRotation());
    ASSERT_TRUE(stepper->stopRotation());

    EXPECT_GE(drivertest::pulsesOf(writes(), BoardPins::Stepper::STEP).size(), 1u);
    EXPECT_GE(board().position(), 1);
    EXPECT_EQ(reports.count(), 1);
}

TEST_F(StepperMotion, LockOnKeepsTheMotorEnabledAfterTheMove) {
    stepper->SetLockMotorWhenIdle(true, false);
    runCounted(3);

    const std::vector<ftsim::PortWrite> all = writes();
    // Prepare, then two writes per pulse, and nothing after the last one.
    ASSERT_EQ(all.size(), 1u + 2u * 3u);
    EXPECT_EQ(all.back().byte, 0x0B);
    EXPECT_TRUE(board().enabled());
}

TEST_F(StepperMotion, LockOffReleasesTheMotorInOneFinalWrite) {
    stepper->SetLockMotorWhenIdle(false, false);
    runCounted(3);

    const std::vector<ftsim::PortWrite> all = writes();
    ASSERT_EQ(all.size(), 1u + 2u * 3u + 1u);
    EXPECT_EQ(all[all.size() - 2].byte, 0x0B);
    EXPECT_EQ(all.back().byte, 0x0B & ~BoardPins::Stepper::MOTOR_ENABLE);
    EXPECT_FALSE(board().enabled());
    EXPECT_EQ(board().position(), 3);
}

TEST_F(StepperMotion, LockOffWithEnableActiveLowDrivesTheLineHigh) {
    open(ftsim::StepperSetup().stepsPerRevolution(200).enableActiveHigh(false));
    stepper->SetLockMotorWhenIdle(false, false);
    runCounted(2);

    const std::vector<ftsim::PortWrite> all = writes();
    ASSERT_FALSE(all.empty());
    EXPECT_EQ(all.front().byte, 0x0A);
    EXPECT_EQ(all.back().byte, 0x0B);
    EXPECT_FALSE(board().enabled());
    EXPECT_EQ(board().position(), 2);
}

TEST_F(StepperMotion, CompletedMoveSetsThePositionAndReportsOnce) {
    runCounted(5);  // 9 degrees clockwise

    EXPECT_NEAR(FTDIControllerTestAccess::currentAngle(*stepper), -9.0, 1e-9);
    EXPECT_EQ(reports.count(), 1);
    EXPECT_EQ(reports.foreign(), 0);
    EXPECT_FALSE(stepper->IsTurntableRotating());
}

TEST_F(StepperMotion, MoveStoppedEarlyIsBookedAtTheStepsTakenAndReportsOnce) {
    stepper->SetRotationSpeed(1);
    ASSERT_EQ(stepper->SetRotationIncrementInCounts(150), 150);  // target -270 degrees
    ASSERT_TRUE(stepper->startRotation());
    ASSERT_TRUE(
        drivertest::waitUntil([&] { return board().position() >= 3; }, std::chrono::seconds(10)));
    ASSERT_TRUE(stepper->stopRotation());

    EXPECT_LT(board().position(), 150);
    EXPECT_NEAR(FTDIControllerTestAccess::currentAngle(*stepper),
                -1.8 * static_cast<double>(board().position()), 1e-9);
    EXPECT_EQ(reports.count(), 1);
}

TEST_F(StepperMotion, MoveOnAnUnpluggedDeviceTriesItsPulsesAndBooksTheOnesThatGotThrough) {
    bench->device(0).unplugAfterWrites(4);
    runCounted(6);

    // The four writes that got through: prepare, one whole pulse, the next rise.
    EXPECT_EQ(board().position(), 2);
    EXPECT_EQ(stepper->GetLastFTDIError(), FTDIController::TT_ERROR_WRITE_FAILED);
    EXPECT_NEAR(FTDIControllerTestAccess::currentAngle(*stepper), -3.6, 1e-9);
    EXPECT_EQ(reports.count(), 1);
    // Every pulse of the count was still tried: two writes each, after the prepare.
    EXPECT_EQ(bench->trace().count("FT_Write", 0), 1u + 2u * 6u);
}

TEST_F(StepperMotion, DestroyingTheDriverCancelsItsRunningMoveUnreported) {
    stepper->SetRotationIncrementInCounts(0);
    ASSERT_TRUE(stepper->startRotation());
    ASSERT_TRUE(
        drivertest::waitUntil([&] { return board().position() >= 2; }, std::chrono::seconds(10)));

    stepper.reset();
    const std::int64_t position = board().position();
    std::this_thread::sleep_for(std::chrono::milliseconds(20));

    EXPECT_EQ(board().position(), position);
    EXPECT_EQ(reports.count(), 0);
}

}  // namespace
