#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "TestController.h"
#include "ftsim/Bench.h"
#include "ftsim/BenchBuilder.h"
#include "ftsim/DeviceSetup.h"

using ftsim::BenchBuilder;
using ftsim::DeviceSetup;

TEST(OpenDevice, OpensAtOneMegabaudWithTwoMillisecondLatencyAndWritesNothing) {
    ftsim::Bench bench = BenchBuilder().device(DeviceSetup()).build();
    TestController controller;
    std::wstring text;

    ASSERT_TRUE(controller.openDevice(0, &text));

    EXPECT_TRUE(text.empty());
    EXPECT_EQ(callNames(bench.trace().entries(0)),
              (std::vector<std::string>{"FT_Open", "FT_SetBaudRate", "FT_SetLatencyTimer"}));
    const std::vector<ftsim::Call> calls = bench.trace().entries(0);
    EXPECT_EQ(calls[1].baud(), 1000000u);
    EXPECT_EQ(calls[2].latency(), 2u);
    EXPECT_TRUE(bench.device(0).isOpen());
    EXPECT_EQ(controller.GetPacket(), 0);
    EXPECT_EQ(controller.GetLastFTDIError(), FTDIController::TT_ERROR_OK);
    controller.closeDevice();
}

TEST(OpenDevice, IndexMinusOneReportsNoDeviceWithoutOpening) {
    ftsim::Bench bench = BenchBuilder().device(DeviceSetup()).build();
    TestController controller;
    std::wstring text;

    EXPECT_FALSE(controller.openDevice(-1, &text));
    EXPECT_EQ(text, L"No available device found.");
    EXPECT_EQ(bench.trace().count("FT_Open"), 0u);
    EXPECT_FALSE(controller.openDevice(-1, nullptr));
}

TEST(OpenDevice, FailureTextFollowsTheOpenStatus) {
    const std::vector<std::pair<FT_STATUS, std::wstring>> cases = {
        {FT_INVALID_HANDLE, L"Invalid handle."},
        {FT_DEVICE_NOT_FOUND, L"Device not found"},
        {FT_DEVICE_NOT_OPENED, L"Device not opened"},
        {FT_IO_ERROR, L"IO Error"},
        {FT_INSUFFICIENT_RESOURCES, L"Insufficient resources"},
    };
    for (const auto& [status, expected] : cases) {
        ftsim::Bench bench = BenchBuilder().device(DeviceSetup().failOpen(status)).build();
        TestController controller;
        std::wstring text = L"before";
        EXPECT_FALSE(controller.openDevice(0, &text)) << status;
        EXPECT_EQ(text, expected) << status;
        // No handle is kept: the move operations see no device.
        EXPECT_FALSE(controller.stopRotation());
        EXPECT_EQ(controller.GetLastFTDIError(), FTDIController::TT_ERROR_NULL_HANDLE);
        EXPECT_EQ(bench.trace().count("FT_SetBaudRate"), 0u);
    }
}

TEST(OpenDevice, OtherStatusesLeaveTheTextUnchanged) {
    for (FT_STATUS status : {FT_INVALID_PARAMETER, FT_OTHER_ERROR}) {
        ftsim::Bench bench = BenchBuilder().device(DeviceSetup().failOpen(status)).build();
        TestController controller;
        std::wstring text = L"kept";
        EXPECT_FALSE(controller.openDevice(0, &text));
        EXPECT_EQ(text, L"kept");
        EXPECT_FALSE(controller.openDevice(0, nullptr));
        EXPECT_EQ(controller.GetLastFTDIError(), FTDIController::TT_ERROR_OK);
    }
}

TEST(OpenDevice, SecondOpenOnAnOpenObjectFailsAndLeavesNoHandle) {
    ftsim::Bench bench = BenchBuilder().device(DeviceSetup()).device(DeviceSetup()).build();
    TestController controller;
    ASSERT_TRUE(controller.openDevice(0, nullptr));
    std::wstring text = L"kept";

    EXPECT_FALSE(controller.openDevice(1, &text));
    EXPECT_EQ(text, L"kept");
    EXPECT_FALSE(bench.device(0).isOpen());
    EXPECT_FALSE(bench.device(1).isOpen());
    EXPECT_FALSE(controller.stopRotation());
}

TEST(CloseDevice, ClosesTheHandleWithoutPortTraffic) {
    ftsim::Bench bench = BenchBuilder().device(DeviceSetup()).build();
    TestController controller;
    ASSERT_TRUE(controller.openDevice(0, nullptr));
    controller.SetMaskBits(0x0F, TestController::BITS_ON);
    bench.trace().clear();

    controller.closeDevice();

    EXPECT_EQ(callNames(bench.trace().entries(0)), (std::vector<std::string>{"FT_Close"}));
    EXPECT_FALSE(bench.device(0).isOpen());
    EXPECT_EQ(controller.GetPacket(), 0x0F);
    EXPECT_FALSE(controller.startRotation());
    EXPECT_EQ(controller.GetLastFTDIError(), FTDIController::TT_ERROR_NULL_HANDLE);
}

TEST(CloseDevice, ClosingWithoutADeviceIsHarmless) {
    ftsim::Bench bench;
    TestController controller;
    controller.closeDevice();
    EXPECT_EQ(bench.trace().count("FT_Close"), 1u);
}

TEST(ErrorCode, SetFTDIErrorAlwaysReturnsFalse) {
    TestController controller;
    EXPECT_EQ(controller.GetLastFTDIError(), FTDIController::TT_ERROR_OK);
    EXPECT_FALSE(controller.SetFTDIError(FTDIController::TT_ERROR_READ_FAILED));
    EXPECT_EQ(controller.GetLastFTDIError(), FTDIController::TT_ERROR_READ_FAILED);
    EXPECT_FALSE(controller.SetFTDIError(FTDIController::TT_ERROR_OK));
    EXPECT_EQ(controller.GetLastFTDIError(), FTDIController::TT_ERROR_OK);
}

TEST(Construction, FreshControllerHoldsTheDefaults) {
    TestController controller;
    EXPECT_EQ(controller.GetLastFTDIError(), FTDIController::TT_ERROR_OK);
    EXPECT_EQ(controller.GetRotationDirection(), FTDIController::TT_TURN_CLOCKWISE);
    EXPECT_TRUE(controller.GetClockwiseIsActiveHigh());
    EXPECT_TRUE(controller.GetMotorEnableIsActiveHigh());
    EXPECT_TRUE(controller.GetUSBEnableIsActiveHigh());
    EXPECT_TRUE(controller.GetLockMotorWhenIdle());
    EXPECT_EQ(controller.GetCountsPerRevolution(), 0);
    EXPECT_EQ(controller.GetCountsToRotate(), 0);
    EXPECT_EQ(controller.GetRotationSpeed(), 0u);
    EXPECT_EQ(FTDIControllerTestAccess::currentAngle(controller), 0.0);
    EXPECT_EQ(FTDIControllerTestAccess::targetAngle(controller), 0.0);
    EXPECT_EQ(controller.GetPacket(), 0);
    EXPECT_FALSE(FTDIControllerTestAccess::holdsWorker(controller));
    EXPECT_FALSE(controller.IsTurntableRotating());
    EXPECT_TRUE(controller.IsTurntableStopped());
    EXPECT_FALSE(controller.triggerShutterRelease());
}
