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
