// The camera lines of the stepper board: focus, then shutter, then both down.
#include <gtest/gtest.h>

#include <chrono>
#include <vector>

#include "DriverBench.h"
#include "HxStepperMotor.h"
#include "ftsim/Device.h"
#include "ftsim/StepperView.h"
#include "ftsim/Trace.h"

using drivertest::CLOCK_SLACK_NS;
using drivertest::NS_PER_MS;

namespace {

using Stepper = drivertest::Probe<HxStepperMotor>;

class StepperShutter : public ::testing::Test {
protected:
    void SetUp() override {
        bench = drivertest::stepperBench(ftsim::StepperSetup().stepsPerRevolution(200));
        ASSERT_TRUE(stepper.openDevice(0, nullptr));
        bench->trace().clear();
    }

    ftsim::StepperView& board() { return bench->device(0).stepper(); }

    std::unique_ptr<ftsim::Bench> bench;
    Stepper stepper{nullptr};
};

TEST_F(StepperShutter, FocusLeadsTheShutterByHalfASecondAndBothDropTogether) {
    // The shutter depends on no rotation parameter.
    stepper.SetRotationDirection(FTDIController::TT_TURN_UNDEFINED);
    const auto start = std::chrono::steady_clock::now();

    EXPECT_TRUE(stepper.triggerShutterRelease());

    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(1000));
    EXPECT_EQ(drivertest::bytesOf(bench->trace().portWrites(0)),
              (std::vector<std::uint8_t>{0x10, 0x30, 0x00}));

    const std::vector<ftsim::LineEvent> events = board().lineEvents();
    ASSERT_EQ(events.size(), 4u);
    EXPECT_EQ(events[0].line, ftsim::LineEvent::Focus);
    EXPECT_TRUE(events[0].level);
    EXPECT_EQ(events[1].line, ftsim::LineEvent::Shutter);
    EXPECT_TRUE(events[1].level);
    EXPECT_GE(events[1].time - events[0].time, 500 * NS_PER_MS - CLOCK_SLACK_NS);
    EXPECT_FALSE(events[2].level);
    EXPECT_FALSE(events[3].level);
    EXPECT_EQ(events[2].time, events[3].time);
    EXPECT_GE(events[2].time - events[1].time, 500 * NS_PER_MS - CLOCK_SLACK_NS);
    EXPECT_EQ(board().shots(), 1u);
}

TEST_F(StepperShutter, LeavesTheMotorLinesOfAPreparedMoveAlone) {
    stepper.SetCountsPerRevolution(200);
    stepper.SetRotationIncrementInCounts(1);
    ASSERT_TRUE(stepper.startRotation());
    ASSERT_TRUE(drivertest::waitForMoveEnd(stepper));
    bench->trace().clear();

    EXPECT_TRUE(stepper.triggerShutterRelease());

    EXPECT_EQ(drivertest::bytesOf(bench->trace().portWrites(0)),
              (std::vector<std::uint8_t>{0x1B, 0x3B, 0x0B}));
    EXPECT_TRUE(board().enabled());
}

TEST_F(StepperShutter, IsRefusedWhileAMoveRunsAndTouchesNoCameraLine) {
    stepper.SetCountsPerRevolution(200);
    stepper.SetRotationIncrementInCounts(0);
    ASSERT_TRUE(stepper.startRotation());
    ASSERT_TRUE(
        drivertest::waitUntil([&] { return board().position() >= 1; }, std::chrono::seconds(10)));
    const auto start = std::chrono::steady_clock::now();

    EXPECT_FALSE(stepper.triggerShutterRelease());

    // A release that ran would take at least 1000 ms; the refusal takes none.
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(900));
    ASSERT_TRUE(stepper.stopRotation());
    EXPECT_TRUE(board().lineEvents().empty());
    EXPECT_EQ(board().shots(), 0u);
}

}  // namespace
