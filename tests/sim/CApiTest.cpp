// The C interface tools use when they find the simulator behind libftd2xx.so.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "SimTestSupport.h"
#include "ftsim/Bench.h"
#include "ftsim_c.h"

TEST(CApi, BuildsAWorldWithoutABench) {
    EXPECT_EQ(ftsim_is_simulator(), 1);
    ASSERT_EQ(ftsim_reset(), 0);
    EXPECT_EQ(ftsim_device_count(), 0);
    const int stepper = ftsim_add_stepper_device("FT245R USB FIFO", "S1", 3, 19520, 1, 0);
    const int dc = ftsim_add_dc_device("FT245R USB FIFO", "D1", -1, 1000000);
    EXPECT_EQ(stepper, 0);
    EXPECT_EQ(dc, 1);
    EXPECT_EQ(ftsim_device_count(), 2);

    FT_HANDLE handle = simtest::open(0);
    ASSERT_NE(handle, nullptr);
    unsigned char record[8] = {};
    DWORD read = 0;
    ASSERT_EQ(FT_EE_UARead(handle, record, 8, &read), FT_STATUS(FT_OK));
    EXPECT_EQ(record[6], 3);
    simtest::bitBang(handle, 0xFF);
    simtest::writeByte(handle, 0x00);  // enable active high: off; clockwise low
    simtest::writeByte(handle, 0x04);  // lost
    simtest::writeByte(handle, 0x01);
    simtest::writeByte(handle, 0x05);  // clockwise step
    simtest::writeByte(handle, 0x30);
    EXPECT_EQ(ftsim_stepper_position(0), 1);
    EXPECT_EQ(ftsim_stepper_pulses(0), 1u);
    EXPECT_EQ(ftsim_stepper_lost(0), 1u);
    EXPECT_EQ(ftsim_shots(0), 0u);
    EXPECT_EQ(ftsim_dc_counts(1), 0u);
    EXPECT_EQ(ftsim_stepper_position(1), 0);  // not a stepper
    EXPECT_EQ(ftsim_stepper_position(7), 0);  // no such device

    const std::string path = ::testing::TempDir() + "capi.vcd";
    EXPECT_EQ(ftsim_write_vcd(0, path.c_str()), 0);
    EXPECT_EQ(ftsim_write_vcd(9, path.c_str()), -1);
    std::remove(path.c_str());
    EXPECT_EQ(ftsim_reset(), 0);
    EXPECT_EQ(ftsim_device_count(), 0);
}

TEST(CApi, ABenchReplacesTheWorldAndResetIsRefusedMeanwhile) {
    ftsim_reset();
    ftsim_add_stepper_device("FT245R USB FIFO", "S1", -1, 200, 1, 1);
    {
        ftsim::Bench bench;
        EXPECT_EQ(ftsim_device_count(), 0);
        EXPECT_EQ(ftsim_reset(), -1);
        EXPECT_EQ(ftsim_add_dc_device("FT245R USB FIFO", "D", 1, 1000), 0);
        EXPECT_EQ(bench.deviceCount(), 1u);
    }
    EXPECT_EQ(ftsim_device_count(), 0);  // no Bench: no device attached
}

TEST(CApi, CallDelayAppliesToDeviceCalls) {
    ASSERT_EQ(ftsim_reset(), 0);
    ftsim_add_stepper_device("FT245R USB FIFO", "S1", -1, 200, 1, 1);
    ftsim_set_call_delay_us(2000);
    FT_HANDLE handle = simtest::open(0);
    const ftsim::TimeNs before = ftsim::now();
    FT_SetLatencyTimer(handle, 2);
    EXPECT_GE(ftsim::now() - before, 2000000);
    ftsim_reset();
}

TEST(CApi, FailOpenMakesOpeningFailUntilCleared) {
    ASSERT_EQ(ftsim_reset(), 0);
    const int device = ftsim_add_stepper_device("FT245R USB FIFO", "S1", 0, 200, 1, 1);
    EXPECT_EQ(ftsim_fail_open(device, FT_DEVICE_NOT_FOUND), 0);
    EXPECT_EQ(ftsim_fail_open(5, FT_IO_ERROR), -1);
    FT_HANDLE handle = nullptr;
    EXPECT_EQ(FT_Open(device, &handle), FT_STATUS(FT_DEVICE_NOT_FOUND));
    EXPECT_EQ(FT_Open(device, &handle), FT_STATUS(FT_DEVICE_NOT_FOUND));
    EXPECT_EQ(ftsim_fail_open(device, FT_OK), 0);
    EXPECT_EQ(FT_Open(device, &handle), FT_STATUS(FT_OK));
    ftsim_reset();
}

TEST(CApi, ConfigureBuildsTheNamedTablesAndLeavesTheWorldAloneOnAFault) {
    char error[200] = {};
    ASSERT_EQ(ftsim_configure("3,usb-latency=2000; classic,unidentified; 0,fail-open=3", error,
                              sizeof error),
              3)
        << error;
    EXPECT_EQ(ftsim_board_kind(0), 1);
    EXPECT_EQ(ftsim_counts_per_revolution(0), 19520u);
    EXPECT_EQ(ftsim_board_kind(1), 2);
    EXPECT_EQ(ftsim_counts_per_revolution(1), 72u);
    EXPECT_EQ(ftsim_counts_per_revolution(2), 6400u);
    EXPECT_EQ(ftsim_board_kind(3), 0);

    FT_HANDLE handle = simtest::open(0);
    ASSERT_NE(handle, nullptr);
    unsigned char record[8] = {};
    DWORD read = 0;
    const ftsim::TimeNs before = ftsim::now();
    ASSERT_EQ(FT_EE_UARead(handle, record, 8, &read), FT_STATUS(FT_OK));
    EXPECT_GE(ftsim::now() - before, 2000000);  // the table's USB latency
    EXPECT_EQ(record[0], 0xD1);
    EXPECT_EQ(record[6], 3);
    FT_Close(handle);
    FT_HANDLE unidentified = simtest::open(1);
    ASSERT_NE(unidentified, nullptr);
    ASSERT_EQ(FT_EE_UARead(unidentified, record, 8, &read), FT_STATUS(FT_OK));
    EXPECT_NE(record[0], 0xD1);
    FT_Close(unidentified);
    FT_HANDLE failing = nullptr;
    EXPECT_EQ(FT_Open(2, &failing), FT_STATUS(FT_DEVICE_NOT_OPENED));

    EXPECT_EQ(ftsim_configure("3;x", error, sizeof error), -1);
    EXPECT_NE(std::string(error).find("no model is named \"x\""), std::string::npos) << error;
    EXPECT_EQ(ftsim_device_count(), 3);
    {
        ftsim::Bench bench;
        EXPECT_EQ(ftsim_configure("3", error, sizeof error), -1);
        EXPECT_EQ(bench.deviceCount(), 0u);
    }
    EXPECT_EQ(ftsim_configure("", nullptr, 0), 0);
    EXPECT_EQ(ftsim_device_count(), 0);
}
