// A host's own build: only the SDK headers and the plug-in class's header on
// the include path, linked to the shared libVorandelTurntable.so, so every
// name used here must be exported and no internal header may be needed.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstddef>
#include <thread>

#include "HxTurntableHardwarePrivate.h"
#include "HxVorandelTurntableControl.h"
#include "ftsim/Bench.h"
#include "ftsim/BenchBuilder.h"
#include "ftsim/DeviceSetup.h"
#include "ftsim/StepperSetup.h"

TEST(HostView, HostListsOpensTurnsAndClosesThroughTheExportedInterface) {
    ftsim::Bench bench =
        ftsim::BenchBuilder()
            .device(ftsim::DeviceSetup().identity(4).stepper(
                ftsim::StepperSetup().stepsPerRevolution(72).clockwiseActiveHigh(false)))
            .build();

    std::atomic<int> opened{0};
    std::atomic<int> stopped{0};
    TurntableHardwarePrivate::hardwareOpenSucceeded = [&](HxTurntableHardware*, size_t index,
                                                          bool ccw) {
        opened = (index == 0 && ccw) ? 1 : -1;
    };
    TurntableHardwarePrivate::hardwareDisconnected = [&](HxTurntableHardware*, size_t) {
        opened = -1;
    };
    TurntableHardwarePrivate::turntableRotationStopped = [&](HxTurntableHardware*) { ++stopped; };

    {
        HxTurntableHardware* plugin = new HxVorandelTurntableControl;
        const DevicesNamesList names = plugin->availableDevices();
        ASSERT_EQ(1u, names.size());
        EXPECT_EQ("Vorandel Cobalt Large", names.front());

        plugin->openDevice(0);
        EXPECT_EQ(1, opened.load());
        EXPECT_EQ(12062u, plugin->stepsPerRevolution());
        auto* vorandel = dynamic_cast<HxVorandelTurntableControl*>(plugin);
        ASSERT_NE(nullptr, vorandel);
        vorandel->SetCountsPerRevolution(72);

        EXPECT_TRUE(plugin->stepsSpinningWillStart());
        EXPECT_TRUE(plugin->rotateDeviceToAngle(90.0f));
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
        while (stopped.load() == 0 && std::chrono::steady_clock::now() < deadline) {
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        EXPECT_EQ(1, stopped.load());
        EXPECT_EQ(18, bench.device(0).stepper().position());

        plugin->stopAngleRotation();
        plugin->closeDevice();
        EXPECT_FALSE(bench.device(0).isOpen());
        delete plugin;
    }

    TurntableHardwarePrivate::hardwareOpenSucceeded = nullptr;
    TurntableHardwarePrivate::hardwareDisconnected = nullptr;
    TurntableHardwarePrivate::turntableRotationStopped = nullptr;
}

TEST(HostView, HostMeasuresTheChipsByteClockWithoutTurningTheTable) {
    ftsim::Bench bench = ftsim::BenchBuilder()
                             .device(ftsim::DeviceSetup().identity(3).byteClock(4).stepper(
                                 ftsim::StepperSetup().stepsPerRevolution(19520)))
                             .build();
    TurntableHardwarePrivate::hardwareOpenSucceeded = [](HxTurntableHardware*, size_t, bool) {};
    TurntableHardwarePrivate::hardwareDisconnected = [](HxTurntableHardware*, size_t) {};

    HxVorandelTurntableControl plugin;
    EXPECT_EQ(0.0, plugin.chipByteClock().bytesPerSecond);  // closed
    ASSERT_EQ(1u, plugin.availableDevices().size());
    bool opened = false;
    plugin.openDevice(0, &opened);
    ASSERT_TRUE(opened);
    EXPECT_EQ(0.0, plugin.chipByteClock().bytesPerSecond);  // not measured yet

    const HxVorandelTurntableControl::ChipByteClock clock = plugin.measureChipByteClock();
    EXPECT_EQ(4.0, clock.bytesPerBaud);
    EXPECT_NEAR(2500.0, clock.bytesPerSecond, 250.0);
    EXPECT_EQ(625u, clock.baudRate);
    EXPECT_EQ(clock.bytesPerSecond, plugin.chipByteClock().bytesPerSecond);
    EXPECT_EQ(0, bench.device(0).stepper().position());
    EXPECT_EQ(0u, bench.device(0).stepper().pulsesCounted());
    EXPECT_EQ(0u, bench.device(0).stepper().pulsesLost());

    plugin.closeDevice();
    EXPECT_EQ(0.0, plugin.chipByteClock().bytesPerSecond);
    EXPECT_EQ(0.0, plugin.measureChipByteClock().bytesPerSecond);
    TurntableHardwarePrivate::hardwareOpenSucceeded = nullptr;
    TurntableHardwarePrivate::hardwareDisconnected = nullptr;
}
