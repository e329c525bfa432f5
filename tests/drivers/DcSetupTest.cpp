// Opening the DC counter board, and what the board does not have.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "DriverBench.h"
#include "HxDCMotor.h"
#include "ftsim/Device.h"
#include "ftsim/Fault.h"
#include "ftsim/Trace.h"

using drivertest::NS_PER_MS;

namespace {

using DcMotor = drivertest::Probe<HxDCMotor>;

TEST(DcOpen, SetsTheStatusPinAsInputAndLoadsPresetFourteen) {
    auto bench = drivertest::dcBench(ftsim::DcSetup());
    DcMotor motor(nullptr);

    ASSERT_TRUE(motor.openDevice(0, nullptr));

    std::vector<ftsim::Call> tail;
    for (const ftsim::Call& call : bench->trace().entries(0))
        if (!tail.empty() || call.function == "FT_SetBitMode")
            tail.push_back(call);
    std::vector<std::string> names;
    for (const ftsim::Call& call : tail)
        names.push_back(call.function);
    // The writes, then one look at the status line: the table stands.
    ASSERT_EQ(names, (std::vector<std::string>{"FT_SetBitMode", "FT_SetBitMode", "FT_Purge",
                                               "FT_Write", "FT_Purge", "FT_Write", "FT_Purge",
                                               "FT_Read"}));
    EXPECT_EQ(tail[0].mask(), 239u);
    EXPECT_EQ(tail[0].mode(), 0u);
    EXPECT_EQ(tail[1].mask(), 239u);
    EXPECT_EQ(tail[1].mode(), 1u);
    EXPECT_GE(tail[1].time - tail[0].time, 10 * NS_PER_MS - drivertest::CLOCK_SLACK_NS);
    EXPECT_EQ(tail[3].bytes, std::vector<std::uint8_t>{0x0E});
    EXPECT_EQ(tail[5].bytes, std::vector<std::uint8_t>{0x8E});

    EXPECT_EQ(bench->device(0).directionMask(), 239u);
    EXPECT_EQ(bench->device(0).dc().latchedPreset(), 14u);
    EXPECT_EQ(bench->device(0).dc().runsStarted(), 0u);
}

TEST(DcOpen, FailingOpenTouchesNeitherBitModeNorPort) {
    auto bench = drivertest::dcBench(ftsim::DcSetup());
    DcMotor motor(nullptr);

    std::wstring error;
    EXPECT_FALSE(motor.openDevice(-1, &error));
    EXPECT_FALSE(error.empty());
    EXPECT_EQ(bench->trace().count("FT_SetBitMode"), 0u);
    EXPECT_EQ(bench->trace().count("FT_Write"), 0u);
}

TEST(DcShutter, IsRefusedWithoutTouchingPortOrLastError) {
    auto bench = drivertest::dcBench(ftsim::DcSetup());
    DcMotor motor(nullptr);
    EXPECT_FALSE(motor.triggerShutterRelease());

    bench->device(0).failWrites(ftsim::Fault::withStatus(FT_IO_ERROR), 1, 1);
    ASSERT_TRUE(motor.openDevice(0, nullptr));
    ASSERT_EQ(motor.GetLastFTDIError(), FTDIController::TT_ERROR_WRITE_FAILED);
    const std::size_t callsBefore = bench->trace().size();

    EXPECT_FALSE(motor.triggerShutterRelease());

    EXPECT_EQ(bench->trace().size(), callsBefore);
    EXPECT_EQ(motor.GetLastFTDIError(), FTDIController::TT_ERROR_WRITE_FAILED);
}

}  // namespace
