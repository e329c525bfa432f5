#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <string>
#include <vector>

#include "TestController.h"
#include "ftsim/Bench.h"
#include "ftsim/BenchBuilder.h"
#include "ftsim/DeviceSetup.h"

using ftsim::BenchBuilder;
using ftsim::DeviceSetup;

namespace {

const char* const CHIP = "245R";

std::vector<std::pair<int, int>> found(const FTDIController::DeviceIndexes& indexes) {
    std::vector<std::pair<int, int>> result;
    for (const FTDIController::IndexID& id : indexes)
        result.emplace_back(id.fdtiIndex, id.deviceID);
    return result;
}

using Found = std::vector<std::pair<int, int>>;

}  // namespace

TEST(Discovery, FindsNothingWithoutDevices) {
    ftsim::Bench bench;
    EXPECT_TRUE(
        FTDIController::availableDeviceIndexes(CHIP, FTDIController::VorandelTurntable).empty());
    EXPECT_TRUE(
        FTDIController::availableDeviceIndexes(CHIP, FTDIController::UnknownDevice).empty());
    EXPECT_EQ(bench.trace().count("FT_Open"), 0u);
    EXPECT_EQ(bench.trace().count("FT_GetDeviceInfoList"), 0u);
}

TEST(Discovery, TurntableSearchProbesTheRecordAndClosesTheDevice) {
    ftsim::Bench bench = BenchBuilder().device(DeviceSetup().identity(3)).build();

    EXPECT_EQ(
        found(FTDIController::availableDeviceIndexes(CHIP, FTDIController::VorandelTurntable)),
        (Found{{0, 3}}));

    EXPECT_EQ(callNames(bench.trace().entries(0)),
              (std::vector<std::string>{"FT_Open", "FT_EE_UASize", "FT_EE_UARead", "FT_Close"}));
    const std::vector<ftsim::Call> calls = bench.trace().entries(0);
    EXPECT_EQ(calls[0].openIndex(), 0u);
    EXPECT_EQ(calls[2].requested(), 8u);
    EXPECT_FALSE(bench.device(0).isOpen());
    EXPECT_EQ(bench.trace().count("FT_SetBaudRate"), 0u);
    EXPECT_EQ(bench.trace().count("FT_Write"), 0u);
}

TEST(Discovery, UnknownKindListsWithoutOpening) {
    ftsim::Bench bench = BenchBuilder().device(DeviceSetup().identity(3)).build();

    EXPECT_EQ(found(FTDIController::availableDeviceIndexes(CHIP, FTDIController::UnknownDevice)),
              (Found{{0, -1}}));
    EXPECT_EQ(bench.trace().count("FT_Open"), 0u);
    EXPECT_EQ(bench.trace().count("FT_EE_UASize"), 0u);
}

TEST(Discovery, RecordVersionIsNotExamined) {
    ftsim::Bench bench = BenchBuilder().device(DeviceSetup().identity(7, 1, 2)).build();
    EXPECT_EQ(
        found(FTDIController::availableDeviceIndexes(CHIP, FTDIController::VorandelTurntable)),
        (Found{{0, 7}}));
}

TEST(Discovery, RecordOfAnotherKindIsListedOnlyAsUnknown) {
    ftsim::Bench bench = BenchBuilder().device(DeviceSetup().identity(3, 2)).build();
    EXPECT_TRUE(
        FTDIController::availableDeviceIndexes(CHIP, FTDIController::VorandelTurntable).empty());
    EXPECT_EQ(found(FTDIController::availableDeviceIndexes(CHIP, FTDIController::UnknownDevice)),
              (Found{{0, -1}}));
    EXPECT_EQ(bench.trace().count("FT_Open"), bench.trace().count("FT_Close"));
}

TEST(Discovery, SignatureInTheWrongByteOrderIsNoRecord) {
    ftsim::Bench bench =
        BenchBuilder().device(DeviceSetup().userArea({0xF4, 0xD1, 1, 0, 1, 0, 3, 0})).build();
    EXPECT_TRUE(
        FTDIController::availableDeviceIndexes(CHIP, FTDIController::VorandelTurntable).empty());
    EXPECT_EQ(bench.trace().count("FT_Open"), 1u);
    EXPECT_EQ(bench.trace().count("FT_Close"), 1u);
}

TEST(Discovery, DescriptionMustContainTheChipNameCaseSensitively) {
    ftsim::Bench bench = BenchBuilder()
                             .device(DeviceSetup().description("FT232H USB UART").identity(1))
                             .device(DeviceSetup().description("ft245r usb fifo").identity(2))
                             .build();
    EXPECT_TRUE(
        FTDIController::availableDeviceIndexes(CHIP, FTDIController::VorandelTurntable).empty());
    EXPECT_TRUE(
        FTDIController::availableDeviceIndexes(CHIP, FTDIController::UnknownDevice).empty());
    EXPECT_EQ(bench.trace().count("FT_Open"), 0u);
}

TEST(Discovery, DevicesOpenElsewhereAreNeverOpened) {
    ftsim::Bench bench = BenchBuilder().device(DeviceSetup().identity(3).openElsewhere()).build();
    EXPECT_TRUE(
        FTDIController::availableDeviceIndexes(CHIP, FTDIController::VorandelTurntable).empty());
    EXPECT_TRUE(
        FTDIController::availableDeviceIndexes(CHIP, FTDIController::UnknownDevice).empty());
    EXPECT_EQ(bench.trace().count("FT_Open"), 0u);
}

TEST(Discovery, DeviceOpenInThisProcessIsSkipped) {
    ftsim::Bench bench = BenchBuilder().device(DeviceSetup().identity(3)).build();
    TestController holder;
    ASSERT_TRUE(holder.openDevice(0, nullptr));
    bench.trace().clear();

    EXPECT_TRUE(
        FTDIController::availableDeviceIndexes(CHIP, FTDIController::VorandelTurntable).empty());
    EXPECT_EQ(bench.trace().count("FT_Open"), 0u);
    holder.closeDevice();
}

TEST(Discovery, ListsMatchingDevicesInListOrder) {
    ftsim::Bench bench = BenchBuilder()
                             .device(DeviceSetup().identity(4))
                             .device(DeviceSetup().description("FT2232H"))
                             .device(DeviceSetup().identity(9))
                             .build();
    EXPECT_EQ(found(FTDIController::availableDeviceIndexes(CHIP, FTDIController::UnknownDevice)),
              (Found{{0, -1}, {2, -1}}));
    EXPECT_EQ(
        found(FTDIController::availableDeviceIndexes(CHIP, FTDIController::VorandelTurntable)),
        (Found{{0, 4}, {2, 9}}));
}

TEST(Discovery, ClosesEveryProbedDeviceWhetherOrNotItHasARecord) {
    ftsim::Bench bench = BenchBuilder()
                             .device(DeviceSetup())
                             .device(DeviceSetup().identity(5))
                             .device(DeviceSetup().userAreaSize(7))
                             .build();
    EXPECT_EQ(
        found(FTDIController::availableDeviceIndexes(CHIP, FTDIController::VorandelTurntable)),
        (Found{{1, 5}}));
    for (int dev = 0; dev < 3; ++dev) {
        const std::vector<std::string> calls = callNames(bench.trace().entries(dev));
        ASSERT_FALSE(calls.empty()) << "device " << dev;
        EXPECT_EQ(calls.front(), "FT_Open") << "device " << dev;
        EXPECT_EQ(calls.back(), "FT_Close") << "device " << dev;
        EXPECT_FALSE(bench.device(dev).isOpen());
    }
    // A user area of 7 bytes is not read at all.
    EXPECT_EQ(bench.trace().count("FT_EE_UARead", 2), 0u);
}

TEST(Discovery, DeviceThatFailsToOpenIsSkippedSilently) {
    ftsim::Bench bench = BenchBuilder()
                             .device(DeviceSetup().identity(1).failOpen(FT_DEVICE_NOT_OPENED))
                             .device(DeviceSetup().identity(2))
                             .build();
    EXPECT_EQ(
        found(FTDIController::availableDeviceIndexes(CHIP, FTDIController::VorandelTurntable)),
        (Found{{1, 2}}));
    EXPECT_EQ(bench.trace().count("FT_Close"), 1u);
}

TEST(Discovery, NegativeIdIsSignExtended) {
    ftsim::Bench bench = BenchBuilder().device(DeviceSetup().identity(-1)).build();
    EXPECT_EQ(
        found(FTDIController::availableDeviceIndexes(CHIP, FTDIController::VorandelTurntable)),
        (Found{{0, -1}}));
}

TEST(Discovery, DescriptionFillingTheWholeFieldIsMatchedWithinIt) {
    std::array<char, 64> field;
    field.fill('x');
    const std::string tail = "245R";
    std::copy(tail.begin(), tail.end(), field.end() - 4);

    ftsim::Bench bench = BenchBuilder().device(DeviceSetup().rawDescription(field)).build();
    EXPECT_EQ(found(FTDIController::availableDeviceIndexes(CHIP, FTDIController::UnknownDevice)),
              (Found{{0, -1}}));
}

TEST(Discovery, NullChipNameMatchesNothing) {
    ftsim::Bench bench = BenchBuilder().device(DeviceSetup().identity(3)).build();
    EXPECT_TRUE(
        FTDIController::availableDeviceIndexes(nullptr, FTDIController::UnknownDevice).empty());
}
