// The DC worker when the board or the device fails: every sequence runs to its
// end and the move still ends exactly once.
#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <thread>

#include "DriverBench.h"
#include "HxDCMotor.h"
#include "ftsim/DcView.h"
#include "ftsim/Device.h"
#include "ftsim/Trace.h"

using drivertest::NS_PER_MS;

namespace {

using DcMotor = drivertest::Probe<HxDCMotor>;

std::size_t callsSince(const ftsim::Trace& trace, const std::string& function,
                       ftsim::TimeNs since) {
    std::size_t count = 0;
    for (const ftsim::Call& call : trace.entries(0))
        if (call.function == function && call.time >= since)
            ++count;
    return count;
}

TEST(DcFault, BoardThatNeverStartsIsTriedAHundredTimesThenTheMoveEnds) {
    drivertest::StopReports reports;
    auto bench =
        drivertest::dcBench(ftsim::DcSetup().countNanoseconds(2 * NS_PER_MS).neverStarts());
    DcMotor motor(reports.control());
    motor.SetCountsPerRevolution(72);
    ASSERT_TRUE(motor.openDevice(0, nullptr));
    motor.SetRotationIncrementInCounts(1);

    const auto start = std::chrono::steady_clock::now();
    ASSERT_TRUE(motor.startRotation());
    ASSERT_TRUE(drivertest::waitForMoveEnd(motor, std::chrono::seconds(60)));

    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(10000));
    EXPECT_EQ(bench->device(0).dc().startEdges(), 100u);
    EXPECT_EQ(bench->device(0).dc().runsStarted(), 0u);
    EXPECT_EQ(reports.count(), 1);
}

TEST(DcFault, UnpluggedDeviceEndsTheMoveOnlyThroughStopRotation) {
    drivertest::StopReports reports;
    auto bench = drivertest::dcBench(ftsim::DcSetup().countNanoseconds(2 * NS_PER_MS));
    DcMotor motor(reports.control());
    motor.SetCountsPerRevolution(72);
    ASSERT_TRUE(motor.openDevice(0, nullptr));
    motor.SetRotationIncrementInCounts(72);  // target -360, folded to -0

    ASSERT_TRUE(motor.startRotation());
    ASSERT_TRUE(drivertest::waitUntil([&] { return bench->device(0).dc().runsStarted() >= 1; },
                                      std::chrono::seconds(5)));
    bench->device(0).unplug();

    // A failed read looks like a turning table: nothing ends the move by itself.
    std::this_thread::sleep_for(std::chrono::milliseconds(400));
    EXPECT_TRUE(motor.IsTurntableRotating());
    EXPECT_EQ(bench->device(0).dc().runsStarted(), 1u);
    EXPECT_EQ(reports.count(), 0);

    const ftsim::TimeNs stopAt = ftsim::now();
    const auto start = std::chrono::steady_clock::now();
    ASSERT_TRUE(motor.stopRotation());

    // The stop sequence used all its 20 attempts of four writes, one read and 100 ms.
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(2000));
    EXPECT_EQ(callsSince(bench->trace(), "FT_Write", stopAt), 80u);
    // One status poll may still fall between the stop request and the worker's flag read.
    EXPECT_GE(callsSince(bench->trace(), "FT_Read", stopAt), 20u);
    EXPECT_LE(callsSince(bench->trace(), "FT_Read", stopAt), 21u);
    EXPECT_NE(motor.GetLastFTDIError(), FTDIController::TT_ERROR_OK);
    EXPECT_FALSE(motor.IsTurntableRotating());
    // The one run the board showed (72 mod 16 = 8 counts) is booked.
    EXPECT_EQ(bench->device(0).dc().countsTurned(), 8u);
    EXPECT_NEAR(FTDIControllerTestAccess::currentAngle(motor), -40.0, 1e-9);
    EXPECT_EQ(reports.count(), 1);
}

}  // namespace
