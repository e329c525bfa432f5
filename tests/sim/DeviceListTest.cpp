// The device list and the life of handles.
#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <vector>

#include "SimTestSupport.h"
#include "ftsim/Bench.h"

using namespace ftsim;

namespace {

std::vector<FT_DEVICE_LIST_INFO_NODE> listDevices() {
    DWORD count = 0;
    EXPECT_EQ(FT_CreateDeviceInfoList(&count), FT_STATUS(FT_OK));
    std::vector<FT_DEVICE_LIST_INFO_NODE> nodes(count);
    if (count) {
        DWORD filled = count;
        EXPECT_EQ(FT_GetDeviceInfoList(nodes.data(), &filled), FT_STATUS(FT_OK));
        EXPECT_EQ(filled, count);
    }
    return nodes;
}

}  // namespace

TEST(DeviceList, WithoutBenchNoDeviceIsAttached) {
    DWORD count = 99;
    EXPECT_EQ(FT_CreateDeviceInfoList(&count), FT_STATUS(FT_OK));
    EXPECT_EQ(count, 0u);
    FT_HANDLE handle = nullptr;
    EXPECT_EQ(FT_Open(0, &handle), FT_STATUS(FT_DEVICE_NOT_FOUND));
}

TEST(DeviceList, RecordsComeInOrderWithTheirFields) {
    auto bench =
        BenchBuilder()
            .device(DeviceSetup().description("FT245R USB FIFO").serial("A1").location(0x21))
            .device(DeviceSetup().description("FT232R USB UART").serial("B2").id(0x04036015))
            .build();
    const auto nodes = listDevices();
    ASSERT_EQ(nodes.size(), 2u);
    EXPECT_STREQ(nodes[0].Description, "FT245R USB FIFO");
    EXPECT_STREQ(nodes[0].SerialNumber, "A1");
    EXPECT_EQ(nodes[0].Type, ULONG(FT_DEVICE_232R));
    EXPECT_EQ(nodes[0].ID, 0x04036001u);
    EXPECT_EQ(nodes[0].LocId, 0x21u);
    EXPECT_EQ(nodes[0].Flags, 0u);
    EXPECT_EQ(nodes[0].ftHandle, nullptr);
    EXPECT_STREQ(nodes[1].Description, "FT232R USB UART");
    EXPECT_EQ(nodes[1].ID, 0x04036015u);
}

TEST(DeviceList, FullDescriptionIsCopiedWithoutTerminator) {
    std::array<char, 64> field;
    field.fill('x');
    std::memcpy(field.data(), "FT245R", 6);
    auto bench = BenchBuilder().device(DeviceSetup().rawDescription(field)).build();
    const auto nodes = listDevices();
    ASSERT_EQ(nodes.size(), 1u);
    EXPECT_EQ(std::memcmp(nodes[0].Description, field.data(), 64), 0);
    // The byte after the field is the handle, not a terminator.
    EXPECT_EQ(nodes[0].Description[63], 'x');
}

TEST(DeviceList, OpenDevicesCarryTheOpenedFlagAndHandle) {
    auto bench = BenchBuilder().device(DeviceSetup()).device(DeviceSetup().openElsewhere()).build();
    FT_HANDLE handle = simtest::open(0);
    ASSERT_NE(handle, nullptr);
    const auto nodes = listDevices();
    ASSERT_EQ(nodes.size(), 2u);
    EXPECT_EQ(nodes[0].Flags & FT_FLAGS_OPENED, ULONG(FT_FLAGS_OPENED));
    EXPECT_EQ(nodes[0].ftHandle, handle);
    EXPECT_EQ(nodes[1].Flags & FT_FLAGS_OPENED, ULONG(FT_FLAGS_OPENED));
    EXPECT_EQ(nodes[1].Description[0], '\0');  // nothing known of a device held elsewhere
    EXPECT_TRUE(bench.device(0).isOpen());
}

TEST(DeviceList, NeverWritesMoreRecordsThanWereCounted) {
    auto bench = BenchBuilder().device(DeviceSetup()).build();
    DWORD count = 0;
    ASSERT_EQ(FT_CreateDeviceInfoList(&count), FT_STATUS(FT_OK));
    ASSERT_EQ(count, 1u);
    bench.addDevice(DeviceSetup().serial("late"));  // plugged in after counting
    FT_DEVICE_LIST_INFO_NODE nodes[2];
    std::memset(&nodes[1], 0x5A, sizeof nodes[1]);
    DWORD filled = 0;
    EXPECT_EQ(FT_GetDeviceInfoList(nodes, &filled), FT_STATUS(FT_OK));
    EXPECT_EQ(filled, 1u);
    EXPECT_EQ(static_cast<unsigned char>(nodes[1].Description[0]), 0x5Au);
}

TEST(DeviceHandles, OpeningAnOpenDeviceFails) {
    auto bench = BenchBuilder().device(DeviceSetup()).build();
    FT_HANDLE first = simtest::open(0);
    ASSERT_NE(first, nullptr);
    FT_HANDLE second = nullptr;
    EXPECT_EQ(FT_Open(0, &second), FT_STATUS(FT_DEVICE_NOT_OPENED));
    EXPECT_EQ(FT_Close(first), FT_STATUS(FT_OK));
    EXPECT_EQ(FT_Open(0, &second), FT_STATUS(FT_OK));
    EXPECT_NE(second, first);  // handles are never reused
}

TEST(DeviceHandles, DeviceOpenElsewhereCannotBeOpened) {
    auto bench = BenchBuilder().device(DeviceSetup().openElsewhere()).build();
    FT_HANDLE handle = nullptr;
    EXPECT_EQ(FT_Open(0, &handle), FT_STATUS(FT_DEVICE_NOT_OPENED));
    bench.device(0).setOpenElsewhere(false);
    EXPECT_EQ(FT_Open(0, &handle), FT_STATUS(FT_OK));
}

TEST(DeviceHandles, FailOpenGivesTheChosenStatus) {
    auto bench = BenchBuilder()
                     .device(DeviceSetup().failOpen(FT_INSUFFICIENT_RESOURCES))
                     .device(DeviceSetup())
                     .build();
    FT_HANDLE handle = nullptr;
    EXPECT_EQ(FT_Open(0, &handle), FT_STATUS(FT_INSUFFICIENT_RESOURCES));
    EXPECT_EQ(handle, nullptr);
    bench.device(1).failOpen(FT_IO_ERROR);
    EXPECT_EQ(FT_Open(1, &handle), FT_STATUS(FT_IO_ERROR));
    bench.device(1).failOpen(FT_OK);
    EXPECT_EQ(FT_Open(1, &handle), FT_STATUS(FT_OK));
    EXPECT_EQ(FT_Open(2, &handle), FT_STATUS(FT_DEVICE_NOT_FOUND));
    EXPECT_EQ(FT_Open(-1, &handle), FT_STATUS(FT_DEVICE_NOT_FOUND));
}

TEST(DeviceHandles, NullUnknownAndClosedHandlesAreRejected) {
    auto bench = BenchBuilder().device(DeviceSetup()).build();
    DWORD moved = 0;
    unsigned char byte = 0;
    EXPECT_EQ(FT_Write(nullptr, &byte, 1, &moved), FT_STATUS(FT_INVALID_HANDLE));
    // A value that was never a handle, pointing at real memory of this test.
    int decoy = 0;
    EXPECT_EQ(FT_SetBaudRate(&decoy, 9600), FT_STATUS(FT_INVALID_HANDLE));
    EXPECT_EQ(decoy, 0);
    FT_HANDLE handle = simtest::open(0);
    ASSERT_EQ(FT_Close(handle), FT_STATUS(FT_OK));
    EXPECT_EQ(FT_Close(handle), FT_STATUS(FT_INVALID_HANDLE));
    EXPECT_EQ(FT_Read(handle, &byte, 1, &moved), FT_STATUS(FT_INVALID_HANDLE));
    EXPECT_EQ(FT_Close(nullptr), FT_STATUS(FT_INVALID_HANDLE));
}

TEST(DeviceHandles, HandlesDieWithTheirBench) {
    FT_HANDLE stale = nullptr;
    {
        auto bench = BenchBuilder().device(DeviceSetup()).build();
        stale = simtest::open(0);
        ASSERT_NE(stale, nullptr);
    }
    auto bench = BenchBuilder().device(DeviceSetup()).build();
    EXPECT_EQ(FT_SetBaudRate(stale, 9600), FT_STATUS(FT_INVALID_HANDLE));
    EXPECT_FALSE(bench.device(0).isOpen());  // a fresh world: nothing carried over
    EXPECT_EQ(bench.trace().count("FT_Open"), 0u);
}

TEST(DeviceHandles, BaudRateAndLatencyAreRecorded) {
    auto bench = BenchBuilder().device(DeviceSetup()).build();
    FT_HANDLE handle = simtest::open(0);
    EXPECT_EQ(FT_SetBaudRate(handle, 1000000), FT_STATUS(FT_OK));
    EXPECT_EQ(FT_SetLatencyTimer(handle, 2), FT_STATUS(FT_OK));
    EXPECT_EQ(bench.device(0).baudRate(), 1000000u);
    EXPECT_EQ(bench.device(0).latencyTimer(), 2);
    EXPECT_EQ(FT_SetLatencyTimer(handle, 1), FT_STATUS(FT_INVALID_PARAMETER));
    EXPECT_EQ(FT_SetBaudRate(handle, 0), FT_STATUS(FT_INVALID_BAUD_RATE));
    EXPECT_EQ(bench.device(0).baudRate(), 1000000u);
}

TEST(BenchLifetime, ASecondLiveBenchAborts) {
    EXPECT_DEATH(
        {
            Bench first;
            Bench second;
        },
        "only one simulated bench");
}

TEST(BenchLifetime, MovedBenchKeepsTheWorld) {
    auto bench = BenchBuilder().device(DeviceSetup()).buildUnique();
    Bench moved = std::move(*bench);
    bench.reset();  // the moved-from shell tears nothing down
    DWORD count = 0;
    FT_CreateDeviceInfoList(&count);
    EXPECT_EQ(count, 1u);
    EXPECT_THROW(moved.device(3), std::out_of_range);
    EXPECT_THROW(moved.device(0).dc(), std::logic_error);
}
