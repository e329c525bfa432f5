// Shared fixture of the plug-in tests: the host's three callback slots,
// recorded, and small helpers to drive the plug-in object on a bench.
#ifndef TESTS_PLUGIN_PLUGINTEST_H
#define TESTS_PLUGIN_PLUGINTEST_H

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstddef>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "HxTurntableHardwarePrivate.h"
#include "HxVorandelTurntableControl.h"
#include "Waiting.h"
#include "ftsim/DcSetup.h"
#include "ftsim/DeviceSetup.h"
#include "ftsim/StepperSetup.h"

/// What hardwareOpenSucceeded or hardwareDisconnected told the host.
struct OpenReport {
    HxTurntableHardware* sender;
    size_t index;
    bool succeeded;
    bool canMoveCounterclockwise;
};

/// A Cobalt Medium (row 3) whose board the tests shrink to 72 steps a turn.
inline ftsim::DeviceSetup cobaltMedium() {
    return ftsim::DeviceSetup().identity(3).stepper(
        ftsim::StepperSetup().stepsPerRevolution(72).clockwiseActiveHigh(false));
}

/// A Classic (row 1): the DC board, 72 counts a turn, 5 ms a count.
inline ftsim::DeviceSetup classic() {
    return ftsim::DeviceSetup().identity(1).dcBoard(ftsim::DcSetup().countNanoseconds(5000000));
}

using ttsupport::waitUntil;

/// The slots are process-wide: every test installs its own recorders and
/// leaves them empty when it ends.
class PluginTest : public ::testing::Test {
protected:
    void SetUp() override {
        clearSlots();
        TurntableHardwarePrivate::hardwareOpenSucceeded = [this](HxTurntableHardware* sender,
                                                                 size_t index, bool ccw) {
            std::lock_guard<std::mutex> lock(m_mutex);
            m_openReports.push_back({sender, index, true, ccw});
        };
        TurntableHardwarePrivate::hardwareDisconnected = [this](HxTurntableHardware* sender,
                                                                size_t index) {
            std::lock_guard<std::mutex> lock(m_mutex);
            m_openReports.push_back({sender, index, false, false});
        };
        TurntableHardwarePrivate::turntableRotationStopped = [this](HxTurntableHardware* sender) {
            ++m_stoppedReports;
            if (m_onStopped) {
                m_onStopped(sender);
            }
        };
    }

    void TearDown() override { clearSlots(); }

    static void clearSlots() {
        TurntableHardwarePrivate::hardwareOpenSucceeded = nullptr;
        TurntableHardwarePrivate::hardwareDisconnected = nullptr;
        TurntableHardwarePrivate::turntableRotationStopped = nullptr;
    }

    std::vector<OpenReport> openReports() {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_openReports;
    }

    /// Waits until the running move of `plugin` has ended by itself, then
    /// joins its worker (its report included) with stopRotation().
    static bool finishMove(HxVorandelTurntableControl& plugin,
                           std::chrono::milliseconds timeout = std::chrono::seconds(20)) {
        const bool ended = waitUntil([&] { return !plugin.IsTurntableRotating(); }, timeout);
        plugin.stopRotation();
        return ended;
    }

    /// Opens the cobaltMedium() table as its identified model, shrunk to the
    /// board's 72 counts a turn, at full speed.
    void openCobalt(HxVorandelTurntableControl& plugin) {
        ASSERT_TRUE(discoverAndOpen(plugin, 0));
        plugin.SetCountsPerRevolution(72);
        plugin.SetRotationSpeed(0);
    }

    /// Runs discovery and opens list position `index`; true when the host was
    /// told of success.
    bool discoverAndOpen(HxVorandelTurntableControl& plugin, size_t index) {
        plugin.availableDevices();
        plugin.openDevice(index);
        const std::vector<OpenReport> reports = openReports();
        return !reports.empty() && reports.back().succeeded;
    }

    std::mutex m_mutex;
    std::vector<OpenReport> m_openReports;
    std::atomic<int> m_stoppedReports{0};
    /// Runs inside the rotation-stopped slot, on the worker thread. Set it
    /// before the move whose end it handles starts.
    std::function<void(HxTurntableHardware*)> m_onStopped;
};

#endif  // TESTS_PLUGIN_PLUGINTEST_H
