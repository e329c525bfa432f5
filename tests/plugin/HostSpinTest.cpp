// Host spins as a host runs them: the rotation-stopped report, when it comes
// and when not, the next step started from it on the worker thread, and
// stopping, closing or destroying in the middle of it all.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <memory>
#include <stdexcept>
#include <thread>

#include "PluginTest.h"
#include "ftsim/Bench.h"
#include "ftsim/BenchBuilder.h"
#include "ftsim/DcSetup.h"
#include "ftsim/DeviceSetup.h"
#include "ftsim/StepperSetup.h"

using std::chrono::milliseconds;

namespace {

constexpr int kSteps = 12;
constexpr float kStepDegrees = 30.0f;

}  // namespace

class HostSpin : public PluginTest {
protected:
    /// The host's side of a spin: every report takes the next step, and the
    /// shot is taken once, half way round. Stops after `steps` reports when
    /// `steps` is positive, never otherwise.
    void runStepsFromReports(HxVorandelTurntableControl& plugin, int steps) {
        m_onStopped = [this, &plugin, steps](HxTurntableHardware* sender) {
            EXPECT_EQ(static_cast<HxTurntableHardware*>(&plugin), sender);
            EXPECT_NE(m_hostThread, std::this_thread::get_id());
            const int reported = m_stoppedReports.load();
            if (reported == steps / 2) {
                EXPECT_TRUE(plugin.shutterReleaseCameraHardware());
            }
            if (steps <= 0 || reported < steps) {
                plugin.rotateDeviceToAngle(kStepDegrees * static_cast<float>(reported + 1));
            } else {
                m_spinDone = true;
            }
        };
    }

    const std::thread::id m_hostThread = std::this_thread::get_id();
    std::atomic<bool> m_spinDone{false};
};

TEST_F(HostSpin, TwelveStepsTurnAStepperTableOnceWithOneShot) {
    ftsim::Bench bench = ftsim::BenchBuilder().device(cobaltMedium()).build();
    HxVorandelTurntableControl plugin;
    openCobalt(plugin);
    ftsim::StepperView& board = bench.device(0).stepper();

    runStepsFromReports(plugin, kSteps);
    ASSERT_TRUE(plugin.stepsSpinningWillStart());
    plugin.spinningWillStart();
    ASSERT_TRUE(plugin.rotateDeviceToAngle(kStepDegrees));
    ASSERT_TRUE(waitUntil([&] { return m_spinDone.load(); }, milliseconds(30000)));
    plugin.stepsSpinningWillStop();

    EXPECT_EQ(kSteps, m_stoppedReports.load());
    EXPECT_FALSE(plugin.IsTurntableRotating());
    EXPECT_EQ(72, board.position());
    EXPECT_EQ(72u, board.pulsesCounted());
    EXPECT_EQ(1u, board.shots());

    plugin.closeDevice();
    EXPECT_FALSE(bench.device(0).isOpen());
}

TEST_F(HostSpin, TwelveStepsTurnAClassicDcTableOnce) {
    ftsim::Bench bench = ftsim::BenchBuilder().device(classic()).build();
    HxVorandelTurntableControl plugin;
    ASSERT_TRUE(discoverAndOpen(plugin, 0));
    ASSERT_FALSE(openReports().back().canMoveCounterclockwise);
    ftsim::DcView& board = bench.device(0).dc();

    // The DC board has no camera lines: its shot fails, and the spin goes on.
    m_onStopped = [this, &plugin](HxTurntableHardware*) {
        const int reported = m_stoppedReports.load();
        if (reported == kSteps / 2) {
            EXPECT_FALSE(plugin.shutterReleaseCameraHardware());
        }
        if (reported < kSteps) {
            plugin.rotateDeviceToAngle(kStepDegrees * static_cast<float>(reported + 1));
        } else {
            m_spinDone = true;
        }
    };
    ASSERT_TRUE(plugin.stepsSpinningWillStart());
    plugin.spinningWillStart();
    ASSERT_TRUE(plugin.rotateDeviceToAngle(kStepDegrees));
    ASSERT_TRUE(waitUntil([&] { return m_spinDone.load(); }, milliseconds(60000)));
    plugin.stepsSpinningWillStop();

    EXPECT_EQ(kSteps, m_stoppedReports.load());
    EXPECT_EQ(72u, board.countsTurned());
    EXPECT_EQ(static_cast<uint64_t>(kSteps), board.runsStarted());
}

TEST_F(HostSpin, NoReportBeforeTheSpinStarts) {
    ftsim::Bench bench = ftsim::BenchBuilder().device(cobaltMedium()).build();
    HxVorandelTurntableControl plugin;
    openCobalt(plugin);

    ASSERT_TRUE(plugin.rotateDeviceToAngle(30.0f));
    ASSERT_TRUE(finishMove(plugin));
    EXPECT_EQ(6, bench.device(0).stepper().position());
    EXPECT_EQ(0, m_stoppedReports.load());
}

TEST_F(HostSpin, EachMoveOfASpinIsReportedOnce) {
    ftsim::Bench bench = ftsim::BenchBuilder().device(cobaltMedium()).build();
    HxVorandelTurntableControl plugin;
    openCobalt(plugin);
    std::atomic<bool> onWorker{false};
    m_onStopped = [&](HxTurntableHardware*) {
        onWorker = std::this_thread::get_id() != m_hostThread;
    };

    ASSERT_TRUE(plugin.stepsSpinningWillStart());
    ASSERT_TRUE(plugin.rotateDeviceToAngle(30.0f));
    ASSERT_TRUE(finishMove(plugin));
    EXPECT_EQ(1, m_stoppedReports.load());
    EXPECT_TRUE(onWorker.load());

    ASSERT_TRUE(plugin.rotateDeviceToAngle(60.0f));
    ASSERT_TRUE(finishMove(plugin));
    EXPECT_EQ(2, m_stoppedReports.load());
}

TEST_F(HostSpin, NoReportAfterStopAngleRotation) {
    ftsim::Bench bench = ftsim::BenchBuilder().device(cobaltMedium()).build();
    HxVorandelTurntableControl plugin;
    openCobalt(plugin);

    ASSERT_TRUE(plugin.stepsSpinningWillStart());
    plugin.stopAngleRotation();  // nothing runs: it only ends the spin
    ASSERT_TRUE(plugin.rotateDeviceToAngle(30.0f));
    ASSERT_TRUE(finishMove(plugin));
    EXPECT_EQ(6, bench.device(0).stepper().position());
    EXPECT_EQ(0, m_stoppedReports.load());
}

TEST_F(HostSpin, NoReportAfterStepsSpinningWillStop) {
    ftsim::Bench bench = ftsim::BenchBuilder().device(cobaltMedium()).build();
    HxVorandelTurntableControl plugin;
    openCobalt(plugin);

    ASSERT_TRUE(plugin.stepsSpinningWillStart());
    plugin.stepsSpinningWillStop();
    ASSERT_TRUE(plugin.rotateDeviceToAngle(30.0f));
    ASSERT_TRUE(finishMove(plugin));
    EXPECT_EQ(0, m_stoppedReports.load());
}

TEST_F(HostSpin, MoveStoppedByStopAngleRotationIsNotReported) {
    ftsim::Bench bench = ftsim::BenchBuilder().device(cobaltMedium()).build();
    HxVorandelTurntableControl plugin;
    openCobalt(plugin);
    ftsim::StepperView& board = bench.device(0).stepper();

    ASSERT_TRUE(plugin.stepsSpinningWillStart());
    plugin.SetRotationContinuous();
    ASSERT_TRUE(plugin.startRotation());
    ASSERT_TRUE(waitUntil([&] { return board.position() > 3; }, milliseconds(5000)));
    plugin.stopAngleRotation();
    EXPECT_FALSE(plugin.IsTurntableRotating());
    EXPECT_EQ(0, m_stoppedReports.load());
}

TEST_F(HostSpin, StopAngleRotationEndsARunningSpinForGood) {
    ftsim::Bench bench = ftsim::BenchBuilder().device(cobaltMedium()).build();
    HxVorandelTurntableControl plugin;
    openCobalt(plugin);
    ftsim::StepperView& board = bench.device(0).stepper();

    runStepsFromReports(plugin, 0);
    ASSERT_TRUE(plugin.stepsSpinningWillStart());
    ASSERT_TRUE(plugin.rotateDeviceToAngle(kStepDegrees));
    ASSERT_TRUE(waitUntil([&] { return m_stoppedReports.load() >= 3; }, milliseconds(20000)));
    plugin.stopAngleRotation();

    EXPECT_FALSE(plugin.IsTurntableRotating());
    const int reports = m_stoppedReports.load();
    const int64_t position = board.position();
    std::this_thread::sleep_for(milliseconds(50));
    EXPECT_FALSE(plugin.IsTurntableRotating());
    EXPECT_EQ(reports, m_stoppedReports.load());
    EXPECT_EQ(position, board.position());
}

TEST_F(HostSpin, ReportWithAnEmptySlotIsSkippedOnTheWorker) {
    ftsim::Bench bench = ftsim::BenchBuilder().device(cobaltMedium()).build();
    HxVorandelTurntableControl plugin;
    openCobalt(plugin);
    TurntableHardwarePrivate::turntableRotationStopped = nullptr;

    ASSERT_TRUE(plugin.stepsSpinningWillStart());
    ASSERT_TRUE(plugin.rotateDeviceToAngle(30.0f));
    ASSERT_TRUE(finishMove(plugin));
    ASSERT_TRUE(plugin.rotateDeviceToAngle(60.0f));
    ASSERT_TRUE(finishMove(plugin));
    EXPECT_EQ(12, bench.device(0).stepper().position());
}

TEST_F(HostSpin, ExceptionFromTheHostsCallbackStaysOnTheWorker) {
    ftsim::Bench bench = ftsim::BenchBuilder().device(cobaltMedium()).build();
    HxVorandelTurntableControl plugin;
    openCobalt(plugin);
    m_onStopped = [](HxTurntableHardware*) { throw std::runtime_error("host failed"); };

    ASSERT_TRUE(plugin.stepsSpinningWillStart());
    ASSERT_TRUE(plugin.rotateDeviceToAngle(30.0f));
    ASSERT_TRUE(finishMove(plugin));
    EXPECT_EQ(1, m_stoppedReports.load());

    ASSERT_TRUE(plugin.rotateDeviceToAngle(60.0f));
    ASSERT_TRUE(finishMove(plugin));
    EXPECT_EQ(2, m_stoppedReports.load());
    EXPECT_EQ(12, bench.device(0).stepper().position());
}

TEST_F(HostSpin, CloseInTheMiddleOfASpinStopsItForGood) {
    ftsim::Bench bench = ftsim::BenchBuilder().device(cobaltMedium()).build();
    HxVorandelTurntableControl plugin;
    openCobalt(plugin);
    ftsim::StepperView& board = bench.device(0).stepper();

    runStepsFromReports(plugin, 0);
    ASSERT_TRUE(plugin.stepsSpinningWillStart());
    ASSERT_TRUE(plugin.rotateDeviceToAngle(kStepDegrees));
    ASSERT_TRUE(waitUntil([&] { return m_stoppedReports.load() >= 2; }, milliseconds(20000)));
    plugin.closeDevice();

    EXPECT_FALSE(plugin.isTurntableOpened());
    EXPECT_FALSE(bench.device(0).isOpen());
    const int reports = m_stoppedReports.load();
    const int64_t position = board.position();
    std::this_thread::sleep_for(milliseconds(50));
    EXPECT_EQ(reports, m_stoppedReports.load());
    EXPECT_EQ(position, board.position());

    // Reopened, the same object spins again; the spin flag survived the close.
    m_onStopped = nullptr;
    const int before = m_stoppedReports.load();
    openCobalt(plugin);
    ASSERT_TRUE(plugin.rotateDeviceToAngle(30.0f));
    ASSERT_TRUE(finishMove(plugin));
    EXPECT_EQ(before + 1, m_stoppedReports.load());
    EXPECT_EQ(position + 6, board.position());
}

TEST_F(HostSpin, CloseInTheMiddleOfAMoveStopsIt) {
    ftsim::Bench bench = ftsim::BenchBuilder().device(classic()).build();
    HxVorandelTurntableControl plugin;
    ASSERT_TRUE(discoverAndOpen(plugin, 0));
    ftsim::DcView& board = bench.device(0).dc();

    plugin.SetRotationContinuous();
    ASSERT_TRUE(plugin.startRotation());
    ASSERT_TRUE(waitUntil([&] { return board.countsTurned() > 2; }, milliseconds(5000)));
    plugin.closeDevice();

    EXPECT_FALSE(bench.device(0).isOpen());
    EXPECT_FALSE(board.isTurning());
    EXPECT_EQ(0, m_stoppedReports.load());
}

TEST_F(HostSpin, DestroyInTheMiddleOfAMoveStopsAndCloses) {
    ftsim::Bench bench = ftsim::BenchBuilder().device(cobaltMedium()).build();
    auto plugin = std::make_unique<HxVorandelTurntableControl>();
    openCobalt(*plugin);
    ftsim::StepperView& board = bench.device(0).stepper();

    ASSERT_TRUE(plugin->stepsSpinningWillStart());
    plugin->SetRotationContinuous();
    ASSERT_TRUE(plugin->startRotation());
    ASSERT_TRUE(waitUntil([&] { return board.position() > 3; }, milliseconds(5000)));
    plugin.reset();

    EXPECT_FALSE(bench.device(0).isOpen());
    const int64_t position = board.position();
    std::this_thread::sleep_for(milliseconds(20));
    EXPECT_EQ(position, board.position());
    EXPECT_EQ(0, m_stoppedReports.load());
}

TEST_F(HostSpin, CloseFromTheReportOnTheWorkerReleasesTheDevice) {
    ftsim::Bench bench = ftsim::BenchBuilder().device(cobaltMedium()).build();
    HxVorandelTurntableControl plugin;
    openCobalt(plugin);

    // The host ends its session from the last step's report, on the worker,
    // and tells its own thread when that is done.
    std::atomic<bool> closed{false};
    m_onStopped = [&plugin, &closed](HxTurntableHardware*) {
        plugin.closeDevice();
        closed = true;
    };
    ASSERT_TRUE(plugin.stepsSpinningWillStart());
    ASSERT_TRUE(plugin.rotateDeviceToAngle(kStepDegrees));
    ASSERT_TRUE(waitUntil([&] { return closed.load(); }, milliseconds(5000)));

    EXPECT_FALSE(plugin.isTurntableOpened());
    EXPECT_FALSE(bench.device(0).isOpen());
    EXPECT_EQ(1, m_stoppedReports.load());
    EXPECT_EQ(6, bench.device(0).stepper().position());
}
