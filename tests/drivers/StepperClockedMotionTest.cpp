// Moves on the stepper board timed by the chip's crystal
// (VORANDEL_TURNTABLE_PULSES=clocked): the pulse train on the byte grid, a
// stop, the position, the chip's byte clock measured and corrected, and an
// unplug mid-move.
#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <cstdlib>
#include <memory>
#include <thread>
#include <vector>

#include "BoardPins.h"
#include "ByteRateMeter.h"
#include "DriverBench.h"
#include "HxStepperMotor.h"
#include "PulseMode.h"
#include "StepByteStream.h"
#include "ftsim/Device.h"
#include "ftsim/Trace.h"

using drivertest::NS_PER_MS;
using drivertest::Pulse;

namespace {

using Stepper = drivertest::Probe<HxStepperMotor>;

// The grid: 10 bytes a millisecond.
constexpr ftsim::TimeNs kBytePeriod = NS_PER_MS / HxStepperMotor::GRID_BYTES_PER_MILLISECOND;
constexpr unsigned kCountsPerRevolution = 200;

class ClockedStepper : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(0, setenv(PulseMode::VARIABLE, "clocked", 1));
        open(16);
    }
    void TearDown() override {
        stepper.reset();
        unsetenv(PulseMode::VARIABLE);
    }

    void open(unsigned byteClockMultiple) {
        stepper.reset();
        bench.reset();
        bench = ftsim::BenchBuilder()
                    .device(ftsim::DeviceSetup()
                                .byteClock(byteClockMultiple)
                                .identity(5)
                                .stepper(
                                    ftsim::StepperSetup().stepsPerRevolution(kCountsPerRevolution)))
                    .buildUnique();
        stepper = std::make_unique<Stepper>(reports.control());
        stepper->SetCountsPerRevolution(kCountsPerRevolution);
        stepper->SetMotorEnableActiveHigh(true);
        stepper->SetClockwiseActiveHigh(true);
        ASSERT_TRUE(stepper->openDevice(0, nullptr));
        bench->trace().clear();
    }

    void runCounted(int counts) {
        ASSERT_EQ(stepper->SetRotationIncrementInCounts(counts), counts < 0 ? -counts : counts);
        ASSERT_TRUE(stepper->startRotation());
        ASSERT_TRUE(drivertest::waitForMoveEnd(*stepper));
    }

    std::vector<ftsim::PortWrite> writes() const { return bench->trace().portWrites(0); }
    std::vector<Pulse> steps() const {
        return drivertest::pulsesOf(writes(), BoardPins::Stepper::STEP);
    }
    ftsim::StepperView& board() { return bench->device(0).stepper(); }

    drivertest::StopReports reports;
    std::unique_ptr<ftsim::Bench> bench;
    std::unique_ptr<Stepper> stepper;
};

/// The bookkept angle of `counts` steps from 0 in the global sense
/// (clockwise lowers it).
double angleOf(std::int64_t clockwiseCounts) {
    return std::fmod(-360.0 * double(clockwiseCounts) / kCountsPerRevolution, 360.0);
}

}  // namespace

TEST_F(ClockedStepper, PulsesKeepTheirShapeOnTheByteGridWithNoSpread) {
    stepper->SetRotationSpeed(2);
    runCounted(40);

    const std::vector<ftsim::PortWrite> all = writes();
    const std::vector<Pulse> pulses = drivertest::pulsesOf(all, BoardPins::Stepper::STEP);
    ASSERT_EQ(pulses.size(), 40u);
    EXPECT_EQ(board().position(), 40);
    EXPECT_EQ(board().pulsesLost(), 0u);
    // The stream's first byte sets the direction and enables the motor,
    // 1 ms before the first rising edge.
    constexpr unsigned char kDirectionAndEnable =
        BoardPins::Stepper::MOTOR_DIRECTION | BoardPins::Stepper::MOTOR_ENABLE;
    EXPECT_EQ(all.front().byte & kDirectionAndEnable, kDirectionAndEnable);
    EXPECT_EQ(pulses[0].rise - all.front().time, NS_PER_MS);
    for (std::size_t i = 0; i < pulses.size(); ++i) {
        EXPECT_EQ(pulses[i].fall - pulses[i].rise, 2 * NS_PER_MS) << "pulse " << i;
        if (i > 0) {
            EXPECT_EQ(pulses[i].rise - pulses[i - 1].fall, NS_PER_MS) << "pulse " << i;
        }
    }
    // The move ended with the step line low and the position bookkept.
    EXPECT_EQ(all.back().byte & BoardPins::Stepper::STEP, 0);
    EXPECT_DOUBLE_EQ(FTDIControllerTestAccess::currentAngle(*stepper), angleOf(40));
}

TEST_F(ClockedStepper, AMoveAfterAClockedOneStartsWithItsStreamAndEndsWithItsLastByte) {
    stepper->SetRotationSpeed(0);
    runCounted(20);
    for (const bool locked : {true, false}) {
        stepper->SetLockMotorWhenIdle(locked, false);
        bench->trace().clear();
        runCounted(locked ? -20 : 20);
        // No purge, single byte or baud rate ahead of the stream: the chip
        // still runs at the grid's rate. After it: the idle bytes that time
        // its end, then their purge, alone while the motor stays locked, or
        // with the motor's release in one byte.
        const std::vector<ftsim::Call> calls = bench->trace().entries(0);
        ASSERT_GE(calls.size(), 4u);
        EXPECT_EQ(calls.front().function, "FT_Write");
        EXPECT_GT(calls.front().arg0, 1u);
        std::size_t at = calls.size() - (locked ? 2 : 3);
        EXPECT_EQ(calls[at].function, "FT_Write") << "locked " << locked;
        EXPECT_EQ(calls[at].arg0, 256u) << "locked " << locked;
        EXPECT_EQ(calls[++at].function, "FT_Purge") << "locked " << locked;
        if (!locked) {
            EXPECT_EQ(calls[++at].function, "FT_Write");
            EXPECT_EQ(calls[at].arg0, 1u);
        }
        for (const ftsim::Call& call : calls)
            EXPECT_NE(call.function, "FT_SetBaudRate");
    }
    EXPECT_EQ(board().pulsesCounted(), 60u);
    EXPECT_FALSE(board().enabled());
}

TEST_F(ClockedStepper, AtFullSpeedAPulseIsOneByteHighAndOneMillisecondLow) {
    stepper->SetRotationSpeed(0);
    runCounted(-25);

    const std::vector<Pulse> pulses = steps();
    ASSERT_EQ(pulses.size(), 25u);
    EXPECT_EQ(board().position(), -25);
    for (std::size_t i = 1; i < pulses.size(); ++i) {
        EXPECT_EQ(pulses[i].fall - pulses[i].rise, kBytePeriod);
        EXPECT_EQ(pulses[i].rise - pulses[i - 1].rise, NS_PER_MS + kBytePeriod);
    }
}

TEST_F(ClockedStepper, AStopEndsTheMoveSoonAndThePositionIsThePulsesThatReachedThePins) {
    stepper->SetRotationSpeed(0);
    stepper->SetRotationContinuous();
    stepper->SetRotationClockwise();
    ASSERT_TRUE(stepper->startRotation());
    std::this_thread::sleep_for(std::chrono::milliseconds(150));
    const auto asked = std::chrono::steady_clock::now();
    ASSERT_TRUE(stepper->stopRotation());
    // What is queued plays out: at most a chunk and the buffer (some 36 ms);
    // the bound here is loose for a loaded, sanitized machine.
    EXPECT_LT(std::chrono::steady_clock::now() - asked, std::chrono::milliseconds(2000));

    const std::int64_t reached = board().position();
    EXPECT_GT(reached, 50);
    EXPECT_EQ(std::size_t(reached), steps().size());
    EXPECT_DOUBLE_EQ(FTDIControllerTestAccess::currentAngle(*stepper), angleOf(reached));
    // Nothing reaches the pins after the stop has returned.
    const std::size_t bytes = writes().size();
    std::this_thread::sleep_for(std::chrono::milliseconds(60));
    EXPECT_EQ(writes().size(), bytes);
    EXPECT_EQ(board().position(), reached);
}

TEST_F(ClockedStepper, AStoppedCountedMoveBookkeepsOnlyThePulsesWritten) {
    stepper->SetRotationSpeed(0);
    ASSERT_EQ(stepper->SetRotationIncrementInCounts(1000), 1000);
    ASSERT_TRUE(stepper->startRotation());
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    ASSERT_TRUE(stepper->stopRotation());
    const std::int64_t reached = board().position();
    EXPECT_LT(reached, 1000);
    EXPECT_DOUBLE_EQ(FTDIControllerTestAccess::currentAngle(*stepper), angleOf(reached));
}

TEST_F(ClockedStepper, AChipOfAnotherByteClockIsMeasuredAndCorrected) {
    open(4);  // 4 bytes a second per baud instead of 16: a quarter of the speed
    stepper->SetRotationSpeed(0);
    runCounted(400);  // some 440 ms at the grid's rate

    const MeasuredByteClock clock = stepper->GetMeasuredByteClock();
    EXPECT_DOUBLE_EQ(clock.bytesPerBaud, 4.0);
    EXPECT_NEAR(clock.bytesPerSecond, 2500.0, 75.0);
    EXPECT_EQ(clock.baudRate, 625u);
    const std::vector<Pulse> pulses = steps();
    ASSERT_EQ(pulses.size(), 400u);
    // From 200 ms after the first pulse on, every period is the asked one.
    std::size_t checked = 0;
    for (std::size_t i = 1; i < pulses.size(); ++i) {
        if (pulses[i - 1].rise - pulses[0].rise < 200 * NS_PER_MS)
            continue;
        EXPECT_EQ(pulses[i].rise - pulses[i - 1].rise, NS_PER_MS + kBytePeriod) << "pulse " << i;
        ++checked;
    }
    EXPECT_GT(checked, 100u);
}

TEST_F(ClockedStepper, AMeasurementMovesNothingAndTheNextMoveRunsAtTheChipsRateFromItsStart) {
    open(4);
    stepper->SetRotationSpeed(0);
    // A move too short to measure anything leaves the motor enabled and the
    // direction set: the level the measurement must keep.
    stepper->SetLockMotorWhenIdle(true, false);
    runCounted(5);
    EXPECT_FALSE(stepper->GetMeasuredByteClock().measured());
    const unsigned char level = writes().back().byte;
    ASSERT_EQ(level & BoardPins::Stepper::MOTOR_ENABLE, BoardPins::Stepper::MOTOR_ENABLE);
    bench->trace().clear();

    const MeasuredByteClock clock = stepper->MeasureByteClock();
    ASSERT_TRUE(clock.measured());
    EXPECT_DOUBLE_EQ(clock.bytesPerBaud, 4.0);
    // Snapped to 4 within 10 %; a busy host makes single readings a few
    // per cent off.
    EXPECT_NEAR(clock.bytesPerSecond, 2500.0, 250.0);
    EXPECT_EQ(clock.baudRate, 625u);
    EXPECT_DOUBLE_EQ(stepper->GetMeasuredByteClock().bytesPerSecond, clock.bytesPerSecond);
    // Every byte that reached the pins was the level they already had.
    const std::vector<ftsim::PortWrite> during = writes();
    EXPECT_GT(during.size(), 250u);
    for (const ftsim::PortWrite& write : during)
        ASSERT_EQ(write.byte, level);
    EXPECT_EQ(board().position(), 5);
    EXPECT_EQ(board().pulsesLost(), 0u);

    // Measured already: the move is at the asked period from its first step.
    bench->trace().clear();
    runCounted(100);
    const std::vector<Pulse> pulses = steps();
    ASSERT_EQ(pulses.size(), 100u);
    EXPECT_EQ(board().position(), 105);
    for (std::size_t i = 1; i < pulses.size(); ++i)
        EXPECT_EQ(pulses[i].rise - pulses[i - 1].rise, NS_PER_MS + kBytePeriod) << "pulse " << i;
}

TEST_F(ClockedStepper, AMeasurementOfAPublishedRateChipIsRefusedWhileAMoveRuns) {
    stepper->SetRotationContinuous();
    ASSERT_TRUE(stepper->startRotation());
    EXPECT_FALSE(stepper->MeasureByteClock().measured());
    ASSERT_TRUE(stepper->stopRotation());
    // The move measured the chip; a measurement now tells the same.
    const MeasuredByteClock byMove = stepper->GetMeasuredByteClock();
    const MeasuredByteClock now = stepper->MeasureByteClock();
    ASSERT_TRUE(now.measured());
    EXPECT_DOUBLE_EQ(now.bytesPerBaud, 16.0);
    EXPECT_NEAR(now.bytesPerSecond, 10000.0, 1000.0);
    if (byMove.measured()) {
        EXPECT_DOUBLE_EQ(byMove.bytesPerBaud, 16.0);
    }
}

TEST_F(ClockedStepper, HostCallsOnThePortRunWhileTheWorkerSleepsInTheStream) {
    stepper->SetRotationSpeed(0);
    stepper->SetRotationContinuous();
    ASSERT_TRUE(stepper->startRotation());
    // The identity record is read through the same handle while the worker
    // sleeps in its write, which holds no lock of the port meanwhile.
    for (int read = 0; read < 20; ++read) {
        short row = -1;
        ASSERT_TRUE(stepper->readFromEEPROM(&row)) << "read " << read;
        EXPECT_EQ(row, 5);
        stepper->GetMeasuredByteClock();
    }
    EXPECT_TRUE(stepper->IsTurntableRotating());
    ASSERT_TRUE(stepper->stopRotation());
    EXPECT_EQ(std::size_t(board().position()), steps().size());
    EXPECT_GT(board().position(), 0);
}

TEST_F(ClockedStepper, AChipPulledOutMidMoveEndsTheMove) {
    stepper->SetRotationContinuous();
    ASSERT_TRUE(stepper->startRotation());
    bench->device(0).unplugAt(ftsim::now() + 80 * NS_PER_MS);
    ASSERT_TRUE(drivertest::waitForMoveEnd(*stepper, std::chrono::seconds(5)));
    EXPECT_EQ(stepper->GetLastFTDIError(), FTDIController::TT_ERROR_WRITE_FAILED);
}

TEST(PulseModeSwitch, NamesTheTwoModesAndKeepsTheDefaultForAnythingElse) {
    EXPECT_EQ(PulseMode::parse("clocked"), PulseMode::Clocked);
    EXPECT_EQ(PulseMode::parse(" Paced "), PulseMode::Paced);
    EXPECT_EQ(PulseMode::parse("CLOCKED"), PulseMode::Clocked);
    EXPECT_FALSE(PulseMode::parse("clock").has_value());
    EXPECT_FALSE(PulseMode::parse("").has_value());

    ASSERT_EQ(0, setenv(PulseMode::VARIABLE, "crystal", 1));
    testing::internal::CaptureStderr();
    EXPECT_EQ(PulseMode::fromEnvironment(), PulseMode::Paced);
    EXPECT_EQ(PulseMode::fromEnvironment(), PulseMode::Paced);
    const std::string said = testing::internal::GetCapturedStderr();
    unsetenv(PulseMode::VARIABLE);
    EXPECT_NE(said.find("VORANDEL_TURNTABLE_PULSES=\"crystal\""), std::string::npos) << said;
    EXPECT_EQ(said.find("VORANDEL"), said.rfind("VORANDEL")) << "said more than once: " << said;
    EXPECT_EQ(PulseMode::fromEnvironment(), PulseMode::Paced);
}

TEST(ByteRate, AMeasuredRateIsReadAsAWholeMultipleOfTheGeneratedBaudRate) {
    // 625 baud is a divisor of 3 MBd; 7,000 baud runs at 6,999.1. Within 10 %
    // of a reported multiple (16 or 4) a ratio is that multiple.
    EXPECT_DOUBLE_EQ(ByteRateMeter::bytesPerBaud(10900.0, 625), 16.0);
    EXPECT_DOUBLE_EQ(ByteRateMeter::bytesPerBaud(2300.0, 625), 4.0);
    EXPECT_DOUBLE_EQ(ByteRateMeter::bytesPerBaud(1562.5, 625), 2.5);
    EXPECT_DOUBLE_EQ(ByteRateMeter::bytesPerBaud(5000.0, 625), 8.0);
    EXPECT_NEAR(ByteRateMeter::generatedBaud(7000), 24000000.0 / 3429, 1e-9);

    ByteRateMeter meter;
    std::int64_t t = 0;
    // Writes of 100 bytes that wait for the chip, which clocks 2,500 bytes a
    // second: each returns 40 ms after the one before.
    const auto blockedWrite = [&](std::int64_t interval) {
        meter.wrote(100, t + interval - 3 * NS_PER_MS, t + interval);
        t += interval;
    };
    for (unsigned i = 0; i < ByteRateMeter::WARM_UP_WRITES; ++i)
        blockedWrite(40 * NS_PER_MS);
    // One return seen 10 ms late; then a host stall: the write after it
    // returns at once and tells nothing.
    blockedWrite(50 * NS_PER_MS);
    blockedWrite(30 * NS_PER_MS);
    meter.wrote(100, t + 60 * NS_PER_MS, t + 60 * NS_PER_MS + 1000);
    t += 60 * NS_PER_MS + 1000;
    EXPECT_FALSE(meter.measured());  // two rates so far
    blockedWrite(40 * NS_PER_MS);    // follows a write that did not wait: no rate
    EXPECT_FALSE(meter.measured());
    blockedWrite(40 * NS_PER_MS);
    ASSERT_TRUE(meter.measured());
    EXPECT_DOUBLE_EQ(meter.bytesPerSecond(), 2500.0);
}
