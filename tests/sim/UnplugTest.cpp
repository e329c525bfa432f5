// Devices that go away: at once, after some writes, at a time; and come back.
#include <gtest/gtest.h>

#include "SimTestSupport.h"
#include "ftsim/Bench.h"

using namespace ftsim;
using simtest::writeByte;

namespace {

DWORD listed() {
    DWORD count = 0;
    FT_CreateDeviceInfoList(&count);
    return count;
}

}  // namespace

TEST(Unplug, HandleFailsWithIoErrorAndDeviceLeavesTheList) {
    auto bench =
        BenchBuilder().device(DeviceSetup().serial("A")).device(DeviceSetup().serial("B")).build();
    FT_HANDLE handle = simtest::open(0);
    bench.device(0).unplug();
    EXPECT_EQ(writeByte(handle, 1), FT_STATUS(FT_IO_ERROR));
    DWORD size = 0;
    EXPECT_EQ(FT_EE_UASize(handle, &size), FT_STATUS(FT_IO_ERROR));
    EXPECT_EQ(listed(), 1u);
    FT_DEVICE_LIST_INFO_NODE node{};
    DWORD count = 1;
    FT_GetDeviceInfoList(&node, &count);
    EXPECT_STREQ(node.SerialNumber, "B");
    EXPECT_FALSE(bench.device(0).isOpen());
    // Closing releases the dead handle; it is unknown afterwards.
    EXPECT_EQ(FT_Close(handle), FT_STATUS(FT_IO_ERROR));
    EXPECT_EQ(FT_Close(handle), FT_STATUS(FT_INVALID_HANDLE));
}

TEST(Unplug, AfterNWritesTheNextWriteFails) {
    auto bench = BenchBuilder().device(DeviceSetup().stepper(StepperSetup())).build();
    FT_HANDLE handle = simtest::open(0);
    simtest::bitBang(handle, 0xFF);
    bench.device(0).unplugAfterWrites(3);
    EXPECT_EQ(writeByte(handle, 0x01), FT_STATUS(FT_OK));
    EXPECT_EQ(writeByte(handle, 0x05), FT_STATUS(FT_OK));
    EXPECT_EQ(writeByte(handle, 0x01), FT_STATUS(FT_OK));
    EXPECT_EQ(writeByte(handle, 0x05), FT_STATUS(FT_IO_ERROR));
    EXPECT_EQ(bench.device(0).stepper().pulsesCounted(), 1u);
    EXPECT_FALSE(bench.device(0).isPlugged());
}

TEST(Unplug, AtAGivenTime) {
    auto bench = BenchBuilder().device(DeviceSetup()).build();
    FT_HANDLE handle = simtest::open(0);
    const TimeNs when = now() + 20000000;  // 20 ms from now
    bench.device(0).unplugAt(when);
    EXPECT_EQ(FT_SetLatencyTimer(handle, 2), FT_STATUS(FT_OK));
    simtest::spinFor(when - now() + 1000);
    EXPECT_EQ(FT_SetLatencyTimer(handle, 2), FT_STATUS(FT_IO_ERROR));
    EXPECT_EQ(listed(), 0u);
}

TEST(Unplug, PluggedBackInItCanBeOpenedAgain) {
    auto bench = BenchBuilder().device(DeviceSetup()).build();
    FT_HANDLE old = simtest::open(0);
    bench.device(0).unplug();
    EXPECT_EQ(simtest::open(0), nullptr);
    bench.device(0).plugIn();
    EXPECT_EQ(listed(), 1u);
    FT_HANDLE fresh = simtest::open(0);
    ASSERT_NE(fresh, nullptr);
    EXPECT_EQ(FT_SetBaudRate(old, 9600), FT_STATUS(FT_IO_ERROR));  // the old one stays dead
    EXPECT_EQ(FT_SetBaudRate(fresh, 9600), FT_STATUS(FT_OK));
}
