// Opening the stepper board and preparing a move: the exact port traffic.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "DriverBench.h"
#include "HxStepperMotor.h"
#include "ftsim/Device.h"
#include "ftsim/Trace.h"

using drivertest::NS_PER_MS;
using drivertest::Probe;

namespace {

using Stepper = Probe<HxStepperMotor>;

std::vector<std::string> callsFrom(const std::vector<ftsim::Call>& calls,
                                   const std::string& first) {
    std::vector<std::string> names;
    bool seen = false;
    for (const ftsim::Call& call : calls) {
        seen = seen || call.function == first;
        if (seen)
            names.push_back(call.function);
    }
    return names;
}

TEST(StepperOpen, SwitchesEveryPinToOutputThenWritesOneZeroByte) {
    auto bench = drivertest::stepperBench(ftsim::StepperSetup().stepsPerRevolution(200));
    Stepper stepper(nullptr);

    std::wstring error;
    ASSERT_TRUE(stepper.openDevice(0, &error));

    const std::vector<ftsim::Call> calls = bench->trace().entries(0);
    EXPECT_EQ(callsFrom(calls, "FT_SetBitMode"),
              (std::vector<std::string>{"FT_SetBitMode", "FT_SetBitMode", "FT_Purge", "FT_Write"}));

    std::vector<ftsim::Call> bitModes;
    for (const ftsim::Call& call : calls)
        if (call.function == "FT_SetBitMode")
            bitModes.push_back(call);
    ASSERT_EQ(bitModes.size(), 2u);
    EXPECT_EQ(bitModes[0].mask(), 255u);
    EXPECT_EQ(bitModes[0].mode(), 0u);
    EXPECT_EQ(bitModes[1].mask(), 255u);
    EXPECT_EQ(bitModes[1].mode(), 1u);
    EXPECT_GE(bitModes[1].time - bitModes[0].time, 10 * NS_PER_MS - drivertest::CLOCK_SLACK_NS);

    EXPECT_EQ(calls.back().bytes, std::vector<std::uint8_t>{0x00});
    EXPECT_EQ(bench->device(0).directionMask(), 255u);
    EXPECT_EQ(bench->device(0).pins(), 0x00);
    EXPECT_FALSE(bench->device(0).stepper().enabled());
}

TEST(StepperOpen, FailingOpenTouchesNeitherBitModeNorPort) {
    auto bench = drivertest::stepperBench(ftsim::StepperSetup());
    Stepper stepper(nullptr);

    std::wstring error;
    EXPECT_FALSE(stepper.openDevice(-1, &error));
    EXPECT_FALSE(error.empty());
    EXPECT_EQ(bench->trace().count("FT_SetBitMode"), 0u);
    EXPECT_EQ(bench->trace().count("FT_Write"), 0u);
}

struct PrepareCase {
    FTDIController::ENUM_ROTATION_DIRECTION direction;
    bool clockwiseHigh;
    bool enableHigh;
    bool usbEnableHigh;
    std::uint8_t preparedByte;
    int steps;  // board position after a move of 3 counts
};

class StepperPrepare : public ::testing::TestWithParam<PrepareCase> {};

TEST_P(StepperPrepare, SetsDirectionAndEnablesInOneWriteBeforeTheFirstPulse) {
    const PrepareCase& c = GetParam();
    auto bench = drivertest::stepperBench(ftsim::StepperSetup()
                                              .stepsPerRevolution(200)
                                              .clockwiseActiveHigh(c.clockwiseHigh)
                                              .enableActiveHigh(c.enableHigh));
    Stepper stepper(nullptr);
    stepper.SetClockwiseActiveHigh(c.clockwiseHigh);
    stepper.SetMotorEnableActiveHigh(c.enableHigh);
    stepper.SetUSBEnableActiveHigh(c.usbEnableHigh);
    stepper.SetCountsPerRevolution(200);
    stepper.SetRotationDirection(c.direction);
    ASSERT_TRUE(stepper.openDevice(0, nullptr));
    ASSERT_EQ(stepper.SetRotationIncrementInCounts(3), 3);
    bench->trace().clear();

    ASSERT_TRUE(stepper.startRotation());
    ASSERT_TRUE(drivertest::waitForMoveEnd(stepper));

    const std::vector<ftsim::PortWrite> writes = bench->trace().portWrites(0);
    ASSERT_GE(writes.size(), 7u);
    EXPECT_EQ(writes[0].byte, c.preparedByte);
    // The pulses carry the prepared lines unchanged, with only the step bit added.
    EXPECT_EQ(writes[1].byte, c.preparedByte | 0x04);
    EXPECT_EQ(writes[2].byte, c.preparedByte);
    EXPECT_GE(writes[1].time - writes[0].time, NS_PER_MS - drivertest::CLOCK_SLACK_NS);

    EXPECT_EQ(bench->device(0).stepper().position(), c.steps);
    EXPECT_EQ(bench->device(0).stepper().pulsesLost(), 0u);
}

using Dir = FTDIController::ENUM_ROTATION_DIRECTION;
INSTANTIATE_TEST_SUITE_P(
    DirectionsAndPolarities, StepperPrepare,
    ::testing::Values(PrepareCase{Dir::TT_TURN_CLOCKWISE, true, true, true, 0x0B, 3},
                      PrepareCase{Dir::TT_TURN_COUNTER_CLOCKWISE, true, true, true, 0x09, -3},
                      PrepareCase{Dir::TT_TURN_CLOCKWISE, false, true, true, 0x09, 3},
                      PrepareCase{Dir::TT_TURN_COUNTER_CLOCKWISE, false, true, true, 0x0B, -3},
                      PrepareCase{Dir::TT_TURN_CLOCKWISE, true, false, false, 0x02, 3},
                      PrepareCase{Dir::TT_TURN_COUNTER_CLOCKWISE, false, false, true, 0x0A, -3}));

TEST(StepperPrepareRefusal, UndefinedDirectionStartsNothingAndLeavesEveryLine) {
    auto bench = drivertest::stepperBench(ftsim::StepperSetup().stepsPerRevolution(200));
    Stepper stepper(nullptr);
    stepper.SetCountsPerRevolution(200);
    ASSERT_TRUE(stepper.openDevice(0, nullptr));
    // A first move leaves the motor locked: the lines are no longer all low.
    stepper.SetRotationIncrementInCounts(1);
    ASSERT_TRUE(stepper.startRotation());
    ASSERT_TRUE(drivertest::waitForMoveEnd(stepper));
    const UCHAR linesBefore = bench->device(0).pins();
    ASSERT_EQ(linesBefore, 0x0B);
    bench->trace().clear();

    stepper.SetRotationDirection(FTDIController::TT_TURN_UNDEFINED);
    EXPECT_FALSE(stepper.startRotation());

    EXPECT_EQ(stepper.GetLastFTDIError(), FTDIController::TT_ERROR_INITIALIZATION_FAILED);
    EXPECT_FALSE(stepper.IsTurntableRotating());
    EXPECT_TRUE(bench->trace().portWrites(0).empty());
    EXPECT_EQ(bench->device(0).pins(), linesBefore);
    EXPECT_EQ(bench->device(0).stepper().position(), 1);
}

}  // namespace
