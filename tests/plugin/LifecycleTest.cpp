// openDevice / closeDevice: the driver and preset of every row, the device
// that is opened, the host's callbacks and the texts of failed opens.
#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "BoardPins.h"
#include "PluginTest.h"
#include "ftd2xx.h"
#include "ftsim/Bench.h"
#include "ftsim/BenchBuilder.h"
#include "ftsim/DcSetup.h"
#include "ftsim/DeviceSetup.h"
#include "ftsim/StepperSetup.h"

namespace {

struct Preset {
    unsigned char directionMask;
    uint32_t countsPerRevolution;
    bool lockMotorWhenIdle;
    bool motorEnableActiveHigh;
    bool clockwiseActiveHigh;
};

// Row by row; row 0 keeps the device layer's defaults.
const Preset kPresetOfRow[10] = {
    {BoardPins::Stepper::OUTPUTS, 0, true, true, true},
    {BoardPins::Dc::OUTPUTS, 72, true, true, true},
    {BoardPins::Stepper::OUTPUTS, 6400, false, true, false},
    {BoardPins::Stepper::OUTPUTS, 19520, false, true, false},
    {BoardPins::Stepper::OUTPUTS, 12062, false, true, false},
    {BoardPins::Stepper::OUTPUTS, 13062, false, true, true},
    {BoardPins::Stepper::OUTPUTS, 11200, false, true, true},
    {BoardPins::Stepper::OUTPUTS, 8220, false, true, false},
    {BoardPins::Stepper::OUTPUTS, 11520, false, true, false},
    {BoardPins::Stepper::OUTPUTS, 11520, false, true, false},
};

void expectPreset(const Preset& expected, HxVorandelTurntableControl& plugin, ftsim::Device& device,
                  const std::string& what) {
    EXPECT_EQ(expected.directionMask, device.directionMask()) << what;
    EXPECT_EQ(expected.countsPerRevolution, plugin.stepsPerRevolution()) << what;
    EXPECT_EQ(expected.lockMotorWhenIdle, plugin.isLockMotorWhenIdle()) << what;
    EXPECT_EQ(expected.motorEnableActiveHigh, plugin.isMotorEnableActiveHigh()) << what;
    EXPECT_EQ(expected.clockwiseActiveHigh, plugin.isClockwiseActiveHigh()) << what;
    // Speed and direction are never preset.
    EXPECT_EQ(0u, plugin.rotationSpeed()) << what;
    EXPECT_TRUE(plugin.isRotationClockwise()) << what;
}

ftsim::DeviceSetup plainTurntable() {
    return ftsim::DeviceSetup().plain();
}

}  // namespace

class OpenDevice : public PluginTest {};

TEST_F(OpenDevice, EveryCatalogueRowGetsItsDriverAndPreset) {
    ftsim::Bench bench = ftsim::BenchBuilder().device(plainTurntable()).build();
    HxVorandelTurntableControl plugin;
    ASSERT_EQ(10u, plugin.availableDevices().size());

    for (size_t row = 0; row < 10; ++row) {
        plugin.openDevice(row);
        ASSERT_TRUE(plugin.isTurntableOpened()) << "row " << row;
        expectPreset(kPresetOfRow[row], plugin, bench.device(0), "row " + std::to_string(row));
        plugin.closeDevice();
        EXPECT_FALSE(bench.device(0).isOpen());
    }

    const std::vector<OpenReport> reports = openReports();
    ASSERT_EQ(10u, reports.size());
    for (size_t row = 0; row < 10; ++row) {
        EXPECT_TRUE(reports[row].succeeded);
        EXPECT_EQ(&plugin, reports[row].sender);
        EXPECT_EQ(row, reports[row].index);
        EXPECT_EQ(row != 1, reports[row].canMoveCounterclockwise) << "row " << row;
    }
}

TEST_F(OpenDevice, IdentifiedModelOpensAsListPositionZero) {
    for (size_t row = 0; row < 10; ++row) {
        ftsim::Bench bench = ftsim::BenchBuilder()
                                 .device(plainTurntable().identity(static_cast<int16_t>(row)))
                                 .build();
        HxVorandelTurntableControl plugin;
        ASSERT_TRUE(discoverAndOpen(plugin, 0)) << "row " << row;
        expectPreset(kPresetOfRow[row], plugin, bench.device(0), "row " + std::to_string(row));

        // The DC board has no direction line, even when opened as position 0.
        const OpenReport report = openReports().back();
        EXPECT_EQ(0u, report.index);
        EXPECT_EQ(row != 1, report.canMoveCounterclockwise) << "row " << row;
    }
}

TEST_F(OpenDevice, RowsBeyondTheCatalogueOpenTheGenericModel) {
    ftsim::Bench bench = ftsim::BenchBuilder().device(plainTurntable()).build();
    HxVorandelTurntableControl plugin;
    ASSERT_TRUE(discoverAndOpen(plugin, 42));
    expectPreset(kPresetOfRow[0], plugin, bench.device(0), "row 42");
    EXPECT_EQ(42u, openReports().back().index);
    EXPECT_TRUE(openReports().back().canMoveCounterclockwise);
}

TEST_F(OpenDevice, OpensTheDeviceDiscoveryPicked) {
    ftsim::Bench bench = ftsim::BenchBuilder()
                             .device(plainTurntable().description("FT232R USB UART"))
                             .device(plainTurntable().openElsewhere())
                             .device(plainTurntable())
                             .device(plainTurntable())
                             .build();
    HxVorandelTurntableControl plugin;
    ASSERT_TRUE(discoverAndOpen(plugin, 3));
    EXPECT_FALSE(bench.device(0).isOpen());
    EXPECT_TRUE(bench.device(2).isOpen());
    EXPECT_FALSE(bench.device(3).isOpen());
    EXPECT_EQ(1000000u, bench.device(2).baudRate());
    EXPECT_EQ(2, bench.device(2).latencyTimer());
}

TEST_F(OpenDevice, WithoutDiscoveryFailsWithNoDeviceFound) {
    ftsim::Bench bench = ftsim::BenchBuilder().device(plainTurntable()).build();
    HxVorandelTurntableControl plugin;
    plugin.openDevice(3);

    EXPECT_FALSE(plugin.isTurntableOpened());
    EXPECT_FALSE(bench.device(0).isOpen());
    EXPECT_EQ("No available device found.", plugin.lastError());
    const std::vector<OpenReport> reports = openReports();
    ASSERT_EQ(1u, reports.size());
    EXPECT_FALSE(reports[0].succeeded);
    EXPECT_EQ(3u, reports[0].index);
    EXPECT_EQ(&plugin, reports[0].sender);
}

TEST_F(OpenDevice, FailedOpenHandsTheDeviceLayersTextToTheHost) {
    const struct {
        FT_STATUS status;
        const char* text;
    } cases[] = {
        {FT_INVALID_HANDLE, "Invalid handle."},
        {FT_DEVICE_NOT_FOUND, "Device not found"},
        {FT_DEVICE_NOT_OPENED, "Device not opened"},
        {FT_IO_ERROR, "IO Error"},
        {FT_INSUFFICIENT_RESOURCES, "Insufficient resources"},
        // Statuses without a text of their own leave an empty text.
        {FT_OTHER_ERROR, ""},
    };
    for (const auto& c : cases) {
        ftsim::Bench bench = ftsim::BenchBuilder().device(plainTurntable()).build();
        HxVorandelTurntableControl plugin;
        ASSERT_EQ(10u, plugin.availableDevices().size());
        plugin.setLastError("earlier text");
        bench.device(0).failOpen(c.status);

        plugin.openDevice(5);
        EXPECT_FALSE(plugin.isTurntableOpened()) << c.status;
        EXPECT_EQ(c.text, plugin.lastError()) << c.status;
        ASSERT_FALSE(openReports().empty());
        EXPECT_FALSE(openReports().back().succeeded);
        EXPECT_EQ(5u, openReports().back().index);
        // Every operation answers as closed.
        EXPECT_EQ(0u, plugin.stepsPerRevolution());
    }
}

TEST_F(OpenDevice, OpenWithResultReportsThroughItsFlagAlone) {
    clearSlots();
    ftsim::Bench bench = ftsim::BenchBuilder().device(plainTurntable()).build();
    HxVorandelTurntableControl plugin;

    bool success = true;
    plugin.openDevice(0, &success);
    EXPECT_FALSE(success);
    EXPECT_FALSE(plugin.isTurntableOpened());

    plugin.availableDevices();
    plugin.openDevice(2, &success);
    EXPECT_TRUE(success);
    EXPECT_TRUE(plugin.isTurntableOpened());
    EXPECT_EQ(6400u, plugin.stepsPerRevolution());
}

TEST_F(OpenDevice, EmptySlotRaisesOnTheHostsThreadAfterTheOpen) {
    ftsim::Bench bench = ftsim::BenchBuilder().device(plainTurntable()).build();
    HxVorandelTurntableControl plugin;
    plugin.availableDevices();

    TurntableHardwarePrivate::hardwareOpenSucceeded = nullptr;
    EXPECT_THROW(plugin.openDevice(3), std::bad_function_call);
    EXPECT_TRUE(plugin.isTurntableOpened());
    EXPECT_TRUE(bench.device(0).isOpen());

    plugin.closeDevice();
    bench.device(0).failOpen(FT_IO_ERROR);
    TurntableHardwarePrivate::hardwareDisconnected = nullptr;
    EXPECT_THROW(plugin.openDevice(3), std::bad_function_call);
    EXPECT_FALSE(plugin.isTurntableOpened());
    EXPECT_EQ("IO Error", plugin.lastError());
}

TEST_F(OpenDevice, OpenWhileOpenClosesTheEarlierDeviceFirst) {
    ftsim::Bench bench = ftsim::BenchBuilder().device(plainTurntable()).build();
    ftsim::Trace& trace = bench.trace();
    HxVorandelTurntableControl plugin;
    ASSERT_TRUE(discoverAndOpen(plugin, 3));

    plugin.openDevice(1);
    ASSERT_TRUE(plugin.isTurntableOpened());
    EXPECT_TRUE(openReports().back().succeeded);
    EXPECT_EQ(BoardPins::Dc::OUTPUTS, bench.device(0).directionMask());
    EXPECT_EQ(72u, plugin.stepsPerRevolution());

    plugin.closeDevice();
    EXPECT_FALSE(bench.device(0).isOpen());
    // Every handle opened was closed again (discovery probes included).
    EXPECT_EQ(trace.count("FT_Open"), trace.count("FT_Close"));
}

TEST_F(OpenDevice, CloseWhileClosedDoesNothing) {
    ftsim::Bench bench = ftsim::BenchBuilder().device(plainTurntable()).build();
    HxVorandelTurntableControl plugin;
    plugin.closeDevice();
    EXPECT_FALSE(plugin.isTurntableOpened());

    ASSERT_TRUE(discoverAndOpen(plugin, 0));
    plugin.closeDevice();
    plugin.closeDevice();
    EXPECT_FALSE(plugin.isTurntableOpened());
    EXPECT_FALSE(bench.device(0).isOpen());
    EXPECT_EQ(bench.trace().count("FT_Open"), bench.trace().count("FT_Close"));
    // Closing makes no callback.
    EXPECT_EQ(1u, openReports().size());
}

TEST_F(OpenDevice, DestroyingAnOpenPluginClosesItsDevice) {
    ftsim::Bench bench = ftsim::BenchBuilder().device(plainTurntable()).build();
    auto plugin = std::make_unique<HxVorandelTurntableControl>();
    ASSERT_TRUE(discoverAndOpen(*plugin, 0));
    plugin.reset();
    EXPECT_FALSE(bench.device(0).isOpen());
}

TEST_F(OpenDevice, ClosedDeviceCanBeOpenedAgain) {
    ftsim::Bench bench = ftsim::BenchBuilder().device(plainTurntable()).build();
    HxVorandelTurntableControl plugin;
    ASSERT_TRUE(discoverAndOpen(plugin, 2));
    plugin.closeDevice();
    ASSERT_TRUE(discoverAndOpen(plugin, 1));
    EXPECT_TRUE(bench.device(0).isOpen());
    EXPECT_EQ(72u, plugin.stepsPerRevolution());
}
