// Clocked stepper moves through the plug-in's shared library on the
// libftdi1 backend and an emulated chip: the pulse train on the byte grid,
// a stop, a chip clocking at another multiple, and an unplug mid-move.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <thread>
#include <vector>

#include "PluginTest.h"
#include "UsbTestbed.h"

using std::chrono::milliseconds;

namespace {

constexpr std::int64_t kMs = 1000000;
constexpr std::int64_t kBytePeriod = kMs / 10;

ChipSetup cobaltChip(unsigned byteClock = 16) {
    return ChipSetup()
        .withStepper(ftsim::StepperSetup().stepsPerRevolution(72).clockwiseActiveHigh(false))
        .identity(3)
        .byteClock(byteClock);
}

/// Periods between consecutive steps from `after` past the first step on
/// that are exactly `period`. None may be shorter: the chip's clock never
/// hurries. A longer one is the host stalled past what the chip held (on
/// this machine the emulated bus and the plug-in share two busy cores), so
/// the tests count the exact ones rather than demand every one.
std::size_t exactPeriods(const std::vector<std::int64_t>& times, std::int64_t after,
                         std::int64_t period) {
    std::size_t exact = 0;
    for (std::size_t i = 1; i < times.size(); ++i) {
        if (times[i - 1] - times[0] < after)
            continue;
        EXPECT_GE(times[i] - times[i - 1], period) << "step " << i;
        exact += times[i] - times[i - 1] == period ? 1 : 0;
    }
    return exact;
}

class ClockedOverUsb : public PluginTest {
protected:
    void SetUp() override {
        PluginTest::SetUp();
        ASSERT_EQ(0, setenv("VORANDEL_TURNTABLE_PULSES", "clocked", 1));
    }
    void TearDown() override {
        unsetenv("VORANDEL_TURNTABLE_PULSES");
        UsbTestbed::instance().unplugAll();
        PluginTest::TearDown();
    }
};

}  // namespace

TEST_F(ClockedOverUsb, AMoveIsOnTheByteGridWithExactPeriodsAndAPacedMoveAfterIsAtThePacedRate) {
    const auto chip = UsbTestbed::instance().plug(cobaltChip());
    HxVorandelTurntableControl plugin;
    openCobalt(plugin);
    plugin.SetCountsPerRevolution(720);
    plugin.SetRotationSpeed(1);
    EXPECT_TRUE(plugin.rotateDeviceToAngle(60.0f));  // 120 counts
    ASSERT_TRUE(finishMove(plugin));

    const ChipSnapshot moved = chip->snapshot();
    EXPECT_EQ(120u, moved.steps);
    EXPECT_EQ(0u, moved.stepsLost);
    ASSERT_EQ(120u, moved.stepTimes.size());
    EXPECT_GE(exactPeriods(moved.stepTimes, 0, 2 * kMs), 110u);
    // Multi-byte transfers; the chip stays at the grid's rate for the next
    // clocked move.
    EXPECT_LT(moved.bulkOutTransfers, 40u);
    EXPECT_EQ(625u, moved.baudRate);

    // A host-paced move puts it back at the paced rate before its steps.
    ASSERT_EQ(0, setenv("VORANDEL_TURNTABLE_PULSES", "paced", 1));
    EXPECT_TRUE(plugin.rotateDeviceToAngle(65.0f));  // 10 counts
    ASSERT_TRUE(finishMove(plugin));
    const ChipSnapshot paced = chip->snapshot();
    EXPECT_EQ(130u, paced.steps);
    EXPECT_EQ(1000000u, paced.baudRate);
    // One transfer per edge: two a step, plus the move's own writes.
    EXPECT_GE(paced.bulkOutTransfers - moved.bulkOutTransfers, 20u);
    plugin.closeDevice();
}

TEST_F(ClockedOverUsb, AStopLeavesNothingToReachThePinsAfterIt) {
    const auto chip = UsbTestbed::instance().plug(cobaltChip());
    HxVorandelTurntableControl plugin;
    openCobalt(plugin);
    plugin.SetRotationContinuous();
    ASSERT_TRUE(plugin.startRotation());
    std::this_thread::sleep_for(milliseconds(150));
    const auto asked = std::chrono::steady_clock::now();
    plugin.stopRotation();
    EXPECT_LT(std::chrono::steady_clock::now() - asked, milliseconds(2000));
    const ChipSnapshot stopped = chip->snapshot();
    EXPECT_GT(stopped.steps, 20u);
    std::this_thread::sleep_for(milliseconds(60));
    EXPECT_EQ(stopped.steps, chip->snapshot().steps);
    plugin.closeDevice();
}

TEST_F(ClockedOverUsb, AChipClockingAtFourBytesPerBaudIsCorrected) {
    const auto chip = UsbTestbed::instance().plug(cobaltChip(4));
    HxVorandelTurntableControl plugin;
    openCobalt(plugin);
    plugin.SetCountsPerRevolution(720);
    EXPECT_TRUE(plugin.rotateDeviceToAngle(180.0f));  // 360 counts at speed 0
    ASSERT_TRUE(finishMove(plugin));
    const std::vector<std::int64_t> times = chip->snapshot().stepTimes;
    ASSERT_EQ(360u, times.size());
    // Some 150 periods follow the first 200 ms.
    EXPECT_GE(exactPeriods(times, 200 * kMs, kMs + kBytePeriod), 140u);
    plugin.closeDevice();
}

TEST_F(ClockedOverUsb, AChipPulledOutMidMoveEndsTheMove) {
    const auto chip = UsbTestbed::instance().plug(cobaltChip());
    HxVorandelTurntableControl plugin;
    openCobalt(plugin);
    plugin.SetRotationContinuous();
    ASSERT_TRUE(plugin.startRotation());
    std::this_thread::sleep_for(milliseconds(80));
    UsbTestbed::instance().unplug(chip);
    ASSERT_TRUE(finishMove(plugin, milliseconds(5000)));
    plugin.closeDevice();
    EXPECT_FALSE(plugin.isTurntableOpened());
}
