// The connection's and the object's life from several host threads: open,
// close, start, shutter and destroy at once, reports of closed connections,
// and where the table is after moves that were cut short. Narrow windows are
// reached through the device layer's seam, not by sleeping into them.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <memory>
#include <thread>
#include <vector>

#include "FTDIControllerTestAccess.h"
#include "PluginTest.h"
#include "ftsim/Bench.h"
#include "ftsim/BenchBuilder.h"

using std::chrono::milliseconds;
using SeamPoint = FTDIControllerTestAccess::SeamPoint;

namespace {

/// Removes the seam hook when a test ends, whatever happened.
struct SeamHookGuard {
    explicit SeamHookGuard(std::function<void(const FTDIController*, SeamPoint)> hook) {
        FTDIControllerTestAccess::setSeamHook(std::move(hook));
    }
    ~SeamHookGuard() { FTDIControllerTestAccess::setSeamHook(nullptr); }
};

/// Calls of `function` on the bench that succeeded.
std::size_t succeeded(ftsim::Bench& bench, const char* function) {
    std::size_t count = 0;
    for (const ftsim::Call& call : bench.trace().entries())
        count += call.function == function && call.status == FT_OK ? 1 : 0;
    return count;
}

class ConnectionLifecycle : public PluginTest {
protected:
    void build(const ftsim::DeviceSetup& setup) {
        plugin.reset();
        bench.reset();
        bench = ftsim::BenchBuilder().device(setup).buildUnique();
        plugin = std::make_unique<HxVorandelTurntableControl>();
        plugin->availableDevices();
    }
    void openAtFullSpeed() {
        plugin->openDevice(0);
        ASSERT_TRUE(plugin->isTurntableOpened());
        plugin->SetCountsPerRevolution(72);  // as the simulated boards turn
        plugin->SetRotationSpeed(0);
    }
    std::int64_t steps() const { return bench->device(0).stepper().position(); }
    std::size_t portWrites() { return bench->trace().count("FT_Write", 0); }

    /// The chip is closed, as often as it was opened, and a fresh object
    /// finds and opens it again.
    void expectChipFreeForANewObject() {
        EXPECT_FALSE(bench->device(0).isOpen());
        EXPECT_EQ(succeeded(*bench, "FT_Open"), succeeded(*bench, "FT_Close"));
        HxVorandelTurntableControl other;
        ASSERT_EQ(other.availableDevices().size(), 1u);
        other.openDevice(0);
        EXPECT_TRUE(other.isTurntableOpened());
        other.closeDevice();
    }
    std::unique_ptr<ftsim::Bench> bench;
    std::unique_ptr<HxVorandelTurntableControl> plugin;
};

}  // namespace

// ---- Open, close, start and shutter from two threads ----

TEST_F(ConnectionLifecycle, CloseDuringTheBoardSetUpWaitsAndTheChipIsClosedOnce) {
    build(cobaltMedium());
    std::thread closer;
    bool fired = false;
    SeamHookGuard hook([&](const FTDIController*, SeamPoint point) {
        if (point == SeamPoint::BoardSetUpStarting && !fired) {
            fired = true;
            closer = std::thread([&] { plugin->closeDevice(); });
            std::this_thread::sleep_for(milliseconds(20));  // let it reach its turn
        }
    });
    plugin->openDevice(0);
    ASSERT_TRUE(closer.joinable());
    closer.join();

    // The close waited for the open and then closed it: nothing stays open.
    EXPECT_FALSE(plugin->isTurntableOpened());
    expectChipFreeForANewObject();
}

TEST_F(ConnectionLifecycle, LoopOfClosesBesideOpensNeverLeaksTheChip) {
    build(cobaltMedium());
    std::atomic<bool> opening{true};
    std::thread closer([&] {
        while (opening)
            plugin->closeDevice();
    });
    for (int round = 0; round < 30; ++round) {
        plugin->openDevice(0);
        // Whatever the order, the object is open exactly when the chip is.
        plugin->closeDevice();
        EXPECT_FALSE(bench->device(0).isOpen()) << "round " << round;
    }
    opening = false;
    closer.join();
    expectChipFreeForANewObject();
}

TEST_F(ConnectionLifecycle, StartAndShutterDuringTheBoardSetUpAreRefused) {
    build(cobaltMedium());
    bool startDuringSetUp = true;
    bool shotDuringSetUp = true;
    bool fired = false;
    SeamHookGuard hook([&](const FTDIController* controller, SeamPoint point) {
        if (point != SeamPoint::BoardSetUpStarting || fired)
            return;
        fired = true;
        auto* driver = const_cast<FTDIController*>(controller);
        driver->SetCountsPerRevolution(72);
        driver->SetRotationIncrementInCounts(6);
        startDuringSetUp = driver->startRotation();
        shotDuringSetUp = driver->triggerShutterRelease();
        // The host's view has no driver to reach yet.
        EXPECT_FALSE(plugin->rotateDeviceToAngle(30.0f));
        EXPECT_FALSE(plugin->shutterReleaseCameraHardware());
    });
    plugin->openDevice(0);
    EXPECT_FALSE(startDuringSetUp);
    EXPECT_FALSE(shotDuringSetUp);
    ASSERT_TRUE(plugin->isTurntableOpened());
    EXPECT_EQ(steps(), 0);
    EXPECT_TRUE(bench->device(0).stepper().shotTimes().empty());
}

TEST_F(ConnectionLifecycle, StartAdmittedAsACloseComesIsCancelledBeforeTheCloseReturns) {
    build(cobaltMedium());
    openAtFullSpeed();
    ASSERT_TRUE(plugin->stepsSpinningWillStart());
    std::atomic<bool> closeReturned{false};
    std::atomic<int> reportsAfterClose{0};
    m_onStopped = [&](HxTurntableHardware*) { reportsAfterClose += closeReturned ? 1 : 0; };
    std::thread closer;
    bool fired = false;
    SeamHookGuard hook([&](const FTDIController*, SeamPoint point) {
        if (point == SeamPoint::StartAdmitted && !fired) {
            fired = true;
            closer = std::thread([&] {
                plugin->closeDevice();
                closeReturned = true;
            });
            std::this_thread::sleep_for(milliseconds(20));
        }
    });
    plugin->SetRotationContinuous();
    plugin->startRotation();  // continuous: only a stop ends it
    closer.join();

    const std::size_t writes = portWrites();
    const std::int64_t position = steps();
    std::this_thread::sleep_for(milliseconds(50));
    EXPECT_EQ(portWrites(), writes) << "the port was written after the close returned";
    EXPECT_EQ(steps(), position);
    EXPECT_EQ(reportsAfterClose, 0);
    expectChipFreeForANewObject();
}

TEST_F(ConnectionLifecycle, SecondCloseReturnsOnlyOnceTheChipIsClosedSoAReopenSucceeds) {
    // The DC board's stop sequence keeps the first close busy for 100 ms.
    build(classic());
    openAtFullSpeed();
    plugin->SetRotationIncrementInCounts(40);
    ASSERT_TRUE(plugin->startRotation());
    ASSERT_TRUE(waitUntil([&] { return bench->device(0).dc().runsStarted() >= 1; }));

    std::thread first([&] { plugin->closeDevice(); });
    std::this_thread::sleep_for(milliseconds(10));
    plugin->closeDevice();
    EXPECT_FALSE(bench->device(0).isOpen());
    plugin->openDevice(0);
    first.join();
    ASSERT_FALSE(openReports().empty());
    EXPECT_TRUE(openReports().back().succeeded) << plugin->lastError();
    plugin->closeDevice();
}

// ---- The object's life and the reports of closed connections ----

TEST_F(ConnectionLifecycle, DestructorWaitsForAReportAnotherThreadIsStoppingFor) {
    build(cobaltMedium());
    openAtFullSpeed();
    ASSERT_TRUE(plugin->stepsSpinningWillStart());
    std::atomic<bool> inReport{false};
    std::atomic<bool> reportDone{false};
    m_onStopped = [&](HxTurntableHardware*) {
        inReport = true;
        std::this_thread::sleep_for(milliseconds(400));
        reportDone = true;
    };
    ASSERT_TRUE(plugin->rotateDeviceToAngle(5.0f));
    ASSERT_TRUE(waitUntil([&] { return inReport.load(); }));
    // That thread holds the driver and waits for the same report.
    HxVorandelTurntableControl* raw = plugin.get();
    std::atomic<bool> stopping{false};
    std::thread stopper([raw, &stopping] {
        stopping = true;
        raw->stopRotation();
    });
    ASSERT_TRUE(waitUntil([&] { return stopping.load(); }));
    std::this_thread::sleep_for(milliseconds(100));  // now inside, waiting for the report
    plugin.reset();
    EXPECT_TRUE(reportDone) << "the object was destroyed under its running report";
    stopper.join();
}

TEST_F(ConnectionLifecycle, ReportThatReopensWhileTheObjectIsDestroyedLeavesNothingOpen) {
    build(cobaltMedium());
    openAtFullSpeed();
    ASSERT_TRUE(plugin->stepsSpinningWillStart());
    std::atomic<bool> inReport{false};
    std::atomic<bool> destroying{false};
    HxVorandelTurntableControl* raw = plugin.get();
    m_onStopped = [&](HxTurntableHardware*) {
        inReport = true;
        waitUntil([&] { return destroying.load(); });
        std::this_thread::sleep_for(milliseconds(20));  // the destructor is waiting now
        raw->openDevice(0);
    };
    ASSERT_TRUE(plugin->rotateDeviceToAngle(5.0f));
    ASSERT_TRUE(waitUntil([&] { return inReport.load(); }));
    destroying = true;
    plugin.reset();
    EXPECT_FALSE(bench->device(0).isOpen());
    ASSERT_FALSE(openReports().empty());
    EXPECT_FALSE(openReports().back().succeeded);
    m_onStopped = nullptr;
    expectChipFreeForANewObject();
}

TEST_F(ConnectionLifecycle, CallbackDestroysTheObjectWhileAnotherThreadClosesIt) {
    for (int round = 0; round < 10; ++round) {
        build(cobaltMedium());
        openAtFullSpeed();
        ASSERT_TRUE(plugin->stepsSpinningWillStart());
        HxVorandelTurntableControl* raw = plugin.release();
        std::atomic<bool> inReport{false};
        std::atomic<bool> closing{false};
        std::atomic<bool> destroyed{false};
        m_onStopped = [&](HxTurntableHardware*) {
            inReport = true;
            waitUntil([&] { return closing.load(); });
            delete raw;
            destroyed = true;
        };
        ASSERT_TRUE(raw->rotateDeviceToAngle(5.0f));
        ASSERT_TRUE(waitUntil([&] { return inReport.load(); }));
        std::thread ui([&] {
            closing = true;
            raw->closeDevice();
        });
        ui.join();
        ASSERT_TRUE(waitUntil([&] { return destroyed.load(); })) << "round " << round;
        m_onStopped = nullptr;
        EXPECT_FALSE(bench->device(0).isOpen());
    }
}

TEST_F(ConnectionLifecycle, ReportOfAClosedConnectionCannotMoveTheReopenedOne) {
    build(cobaltMedium());
    openAtFullSpeed();
    ASSERT_TRUE(plugin->stepsSpinningWillStart());
    std::atomic<bool> inReport{false};
    std::atomic<bool> reopened{false};
    std::atomic<int> startAnswer{-1};
    std::atomic<int> shotAnswer{-1};
    m_onStopped = [&](HxTurntableHardware*) {
        if (inReport.exchange(true))
            return;
        waitUntil([&] { return reopened.load(); });
        startAnswer = plugin->rotateDeviceToAngle(60.0f) ? 1 : 0;
        shotAnswer = plugin->shutterReleaseCameraHardware() ? 1 : 0;
    };
    ASSERT_TRUE(plugin->rotateDeviceToAngle(5.0f));
    ASSERT_TRUE(waitUntil([&] { return inReport.load(); }));
    plugin->closeDevice();
    plugin->openDevice(0);
    ASSERT_TRUE(plugin->isTurntableOpened());
    const std::int64_t position = steps();
    reopened = true;
    ASSERT_TRUE(waitUntil([&] { return startAnswer >= 0 && shotAnswer >= 0; }));
    EXPECT_EQ(startAnswer, 0);
    EXPECT_EQ(shotAnswer, 0);
    std::this_thread::sleep_for(milliseconds(30));
    EXPECT_FALSE(plugin->IsTurntableRotating());
    EXPECT_EQ(steps(), position);
    m_onStopped = nullptr;
}

TEST_F(ConnectionLifecycle, ReportNotYetInHostCodeWhenTheCloseReturnsNeverBegins) {
    build(cobaltMedium());
    openAtFullSpeed();
    ASSERT_TRUE(plugin->stepsSpinningWillStart());
    std::atomic<int> reports{0};
    m_onStopped = [&](HxTurntableHardware*) { ++reports; };
    std::atomic<bool> closed{false};
    SeamHookGuard hook([&](const FTDIController*, SeamPoint point) {
        if (point == SeamPoint::ReportStarting && !closed) {
            // The close does not wait for a report, so it runs to its end here.
            std::thread([&] { plugin->closeDevice(); }).join();
            closed = true;
        }
    });
    ASSERT_TRUE(plugin->rotateDeviceToAngle(5.0f));
    ASSERT_TRUE(waitUntil([&] { return closed.load(); }));
    std::this_thread::sleep_for(milliseconds(30));
    EXPECT_EQ(reports, 0);
}

// ---- Where the table is ----

TEST_F(ConnectionLifecycle, MoveStoppedPartWayIsBookedWhereTheBoardIs) {
    build(cobaltMedium());
    openAtFullSpeed();
    plugin->SetRotationSpeed(20);
    ASSERT_TRUE(plugin->rotateDeviceToAngle(30.0f));  // 6 steps of 5 degrees
    ASSERT_TRUE(waitUntil([&] { return steps() >= 2; }));
    plugin->stopRotation();
    const std::int64_t stoppedAt = steps();
    EXPECT_LT(stoppedAt, 6);
    EXPECT_NEAR(plugin->globalPositionInDegrees(), 5.0 * static_cast<double>(stoppedAt), 1e-9);
    EXPECT_EQ(plugin->lastMoveOutcome(), HxVorandelTurntableControl::MoveStopped);

    plugin->SetRotationSpeed(0);
    ASSERT_TRUE(plugin->rotateDeviceToAngle(60.0f));
    ASSERT_TRUE(finishMove(*plugin));
    EXPECT_EQ(steps(), 12) << "the table ends at 60 degrees";
    EXPECT_NEAR(plugin->globalPositionInDegrees(), 60.0, 1e-9);
    EXPECT_EQ(plugin->lastMoveOutcome(), HxVorandelTurntableControl::MoveCompleted);
}

TEST_F(ConnectionLifecycle, SpinEndedDuringAStepReturnsToTheOriginFromWhereTheStepEnded) {
    build(cobaltMedium());
    openAtFullSpeed();
    plugin->SetRotationSpeed(5);
    ASSERT_TRUE(plugin->stepsSpinningWillStart());
    ASSERT_TRUE(plugin->rotateDeviceToAngle(30.0f));
    ASSERT_TRUE(waitUntil([&] { return steps() >= 1; }));
    plugin->stepsSpinningWillStop();  // while the step runs
    ASSERT_TRUE(finishMove(*plugin));
    ASSERT_EQ(steps(), 6);

    ASSERT_TRUE(plugin->startRotation());  // the prepared way back
    ASSERT_TRUE(finishMove(*plugin));
    EXPECT_EQ(steps() % 72, 0) << "the table is " << steps() % 72 << " steps off the origin";
    EXPECT_NEAR(std::fmod(plugin->globalPositionInDegrees(), 360.0), 0.0, 1e-9);
}

TEST_F(ConnectionLifecycle, LockSetterDuringADcMoveLeavesTheCounterPresetAlone) {
    build(classic());
    openAtFullSpeed();
    plugin->SetRotationIncrementInCounts(13);  // one run, preset 2: its lowest bit is 0
    ASSERT_TRUE(plugin->startRotation());
    while (plugin->IsTurntableRotating())
        plugin->SetLockMotorWhenIdle(false, true);
    plugin->stopRotation();
    EXPECT_EQ(bench->device(0).dc().runPresets(), (std::vector<std::uint8_t>{2}));
    EXPECT_EQ(bench->device(0).dc().countsTurned(), 13u);
    EXPECT_NEAR(plugin->globalPositionInDegrees(), 65.0, 1e-9);
}

// ---- Stops reach every wait ----

TEST_F(ConnectionLifecycle, StopEndsALongStepPulseAtOnce) {
    build(cobaltMedium());
    openAtFullSpeed();
    plugin->SetRotationSpeed(4294967295u);  // a pulse of 49 days
    ASSERT_TRUE(plugin->rotateDeviceToAngle(30.0f));
    ASSERT_TRUE(waitUntil([&] { return steps() >= 1; }));
    const auto stopAt = std::chrono::steady_clock::now();
    plugin->stopRotation();
    EXPECT_LT(std::chrono::steady_clock::now() - stopAt, std::chrono::seconds(5));
    EXPECT_EQ(steps(), 1);
    EXPECT_NEAR(plugin->globalPositionInDegrees(), 5.0, 1e-9);
}

TEST_F(ConnectionLifecycle, StopOnADcBoardThatNeverTurnsEndsTheStartWatch) {
    build(ftsim::DeviceSetup().identity(1).dcBoard(ftsim::DcSetup().neverStarts()));
    openAtFullSpeed();
    plugin->SetRotationIncrementInCounts(10);
    ASSERT_TRUE(plugin->startRotation());
    std::this_thread::sleep_for(milliseconds(300));  // inside the start watch
    const auto stopAt = std::chrono::steady_clock::now();
    plugin->stopAngleRotation();
    const auto took = std::chrono::steady_clock::now() - stopAt;
    // The stop sequence's own settle time, and far below the watch's 10 s.
    EXPECT_GE(took, milliseconds(100));
    EXPECT_LT(took, milliseconds(3000));
    EXPECT_FALSE(plugin->IsTurntableRotating());
    EXPECT_NEAR(plugin->globalPositionInDegrees(), 0.0, 1e-9);
}

// ---- Discovery, polling and answers ----

TEST_F(ConnectionLifecycle, DiscoveryOfOneObjectNeverFailsTheOpenOfAnother) {
    build(cobaltMedium());
    std::atomic<bool> opening{true};
    std::thread discoverer([&] {
        HxVorandelTurntableControl other;
        while (opening)
            other.availableDevices();
    });
    int failed = 0;
    for (int round = 0; round < 60; ++round) {
        plugin->openDevice(0);
        failed += plugin->isTurntableOpened() ? 0 : 1;
        plugin->closeDevice();
    }
    opening = false;
    discoverer.join();
    EXPECT_EQ(failed, 0);
}

TEST_F(ConnectionLifecycle, DiscoveryAndOpenOnOneObjectFromTwoThreads) {
    build(cobaltMedium());
    std::atomic<bool> running{true};
    std::thread discoverer([&] {
        while (running)
            plugin->availableDevices();
    });
    for (int round = 0; round < 30; ++round) {
        plugin->openDevice(0);
        plugin->closeDevice();
    }
    running = false;
    discoverer.join();
    plugin->availableDevices();
    plugin->openDevice(0);
    EXPECT_TRUE(plugin->isTurntableOpened());
}

TEST_F(ConnectionLifecycle, StartAnswersWhetherItStartedAndPollingSaysWhenItWould) {
    build(cobaltMedium());
    openAtFullSpeed();
    for (int round = 0; round < 20; ++round) {
        // Long pulses: the move still runs at the second call however busy
        // the machine; the stop cuts them short.
        plugin->SetRotationSpeed(200);
        ASSERT_TRUE(plugin->rotateDeviceToAngle(90.0f)) << "round " << round;
        EXPECT_FALSE(plugin->rotateDeviceToAngle(90.0f)) << "refused while the move runs";
        std::thread stopper([&] { plugin->stopAngleRotation(); });
        while (plugin->IsTurntableRotating()) {
        }
        stopper.join();
        const std::int64_t before = steps();
        // Polling said stopped: a start is admitted now, and says so.
        plugin->SetRotationSpeed(0);
        ASSERT_TRUE(plugin->rotateDeviceToAngle(10.0f)) << "round " << round;
        ASSERT_TRUE(finishMove(*plugin));
        EXPECT_GT(steps(), before);
        EXPECT_NEAR(plugin->globalPositionInDegrees(),
                    std::fmod(5.0 * static_cast<double>(steps()), 360.0), 1e-9);
    }
}
