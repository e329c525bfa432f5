// What real hosts do around the end-of-move report: act from inside it, act
// from another thread while it runs (or while it waits for that thread), race
// each other, or lose the device. Each must complete, hang nothing and leave
// what the control class documents.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <memory>
#include <thread>

#include "PluginTest.h"
#include "ftsim/Bench.h"
#include "ftsim/BenchBuilder.h"

using std::chrono::milliseconds;

class HostPattern : public PluginTest {
protected:
    void open(const ftsim::DeviceSetup& setup) {
        plugin.reset();
        bench.reset();
        bench = ftsim::BenchBuilder().device(setup).buildUnique();
        plugin = std::make_unique<HxVorandelTurntableControl>();
        ASSERT_TRUE(discoverAndOpen(*plugin, 0));
        plugin->SetCountsPerRevolution(72);  // as the simulated boards turn
        plugin->SetRotationSpeed(0);
        ASSERT_TRUE(plugin->stepsSpinningWillStart());
    }

    /// Waits for `flag`, as a host thread waits for its UI.
    static bool await(const std::atomic<bool>& flag) {
        return waitUntil([&] { return flag.load(); }, milliseconds(20000));
    }

    int stepperPosition() { return static_cast<int>(bench->device(0).stepper().position()); }

    std::unique_ptr<ftsim::Bench> bench;
    std::unique_ptr<HxVorandelTurntableControl> plugin;
    std::atomic<bool> done{false};
};

TEST_F(HostPattern, ReportStartsTheNextStepThenClosesOrReopensOrDestroys) {
    for (int action = 0; action < 3; ++action) {
        open(cobaltMedium());
        done = false;
        m_onStopped = [&, action](HxTurntableHardware*) {
            plugin->rotateDeviceToAngle(60.0f);
            if (action == 0) {
                plugin->closeDevice();
            } else if (action == 1) {
                plugin->openDevice(0);
            } else {
                plugin.reset();
            }
            done = true;
        };
        ASSERT_TRUE(plugin ? plugin->rotateDeviceToAngle(30.0f) : false);
        ASSERT_TRUE(await(done)) << "action " << action;
        m_onStopped = nullptr;
        if (action == 1) {
            EXPECT_TRUE(plugin->isTurntableOpened());
            EXPECT_TRUE(bench->device(0).isOpen());
            plugin->closeDevice();
        } else if (action == 0) {
            EXPECT_FALSE(plugin->isTurntableOpened());
        }
        plugin.reset();
        EXPECT_FALSE(bench->device(0).isOpen()) << "action " << action;
        // The step started before the close was cancelled at its first pulses.
        EXPECT_LT(stepperPosition(), 12) << "action " << action;
    }
}

TEST_F(HostPattern, ReportStopsOrEndsTheSpinAndNothingMoreIsReported) {
    for (int action = 0; action < 2; ++action) {
        open(cobaltMedium());
        const int before = m_stoppedReports.load();
        done = false;
        m_onStopped = [&, action](HxTurntableHardware*) {
            plugin->rotateDeviceToAngle(60.0f);
            if (action == 0)
                plugin->stopAngleRotation();
            else
                plugin->stepsSpinningWillStop();
            done = true;
        };
        ASSERT_TRUE(plugin->rotateDeviceToAngle(30.0f));
        ASSERT_TRUE(await(done));
        ASSERT_TRUE(finishMove(*plugin));
        std::this_thread::sleep_for(milliseconds(30));
        EXPECT_EQ(m_stoppedReports.load(), before + 1) << "action " << action;
        EXPECT_FALSE(plugin->IsTurntableRotating());
        m_onStopped = nullptr;
        plugin.reset();
    }
}

TEST_F(HostPattern, UiThreadStopsOrClosesWhileTheReportWaitsForIt) {
    // The report hands the event to the host's thread and waits for it; that
    // thread stops the spin or closes, and only then answers.
    for (int action = 0; action < 2; ++action) {
        open(cobaltMedium());
        std::atomic<bool> inReport{false};
        std::atomic<bool> answered{false};
        done = false;
        m_onStopped = [&](HxTurntableHardware*) {
            inReport = true;
            await(answered);
            plugin->rotateDeviceToAngle(90.0f);  // refused: a stop was asked
            done = true;
        };
        ASSERT_TRUE(plugin->rotateDeviceToAngle(30.0f));
        ASSERT_TRUE(await(inReport));
        if (action == 0)
            plugin->stopAngleRotation();
        else
            plugin->closeDevice();
        answered = true;
        ASSERT_TRUE(await(done)) << "action " << action;
        EXPECT_FALSE(plugin->IsTurntableRotating());
        m_onStopped = nullptr;
        plugin.reset();
        EXPECT_EQ(stepperPosition(), 6) << "a step started after the stop, action " << action;
        EXPECT_FALSE(bench->device(0).isOpen());
    }
}

TEST_F(HostPattern, StopFromAnotherThreadEndsASpinWithinOneStep) {
    open(cobaltMedium());
    std::atomic<int> step{0};
    m_onStopped = [&](HxTurntableHardware*) {
        plugin->rotateDeviceToAngle(30.0f * static_cast<float>(++step % 12 + 1));
    };
    ASSERT_TRUE(plugin->rotateDeviceToAngle(30.0f));
    ASSERT_TRUE(waitUntil([&] { return step.load() >= 5; }, milliseconds(20000)));

    const auto start = std::chrono::steady_clock::now();
    plugin->stopRotation();
    EXPECT_LT(std::chrono::steady_clock::now() - start, milliseconds(10000));
    EXPECT_FALSE(plugin->IsTurntableRotating());
    // The stop waited for the report under way, whose restart was refused:
    // nothing moves and nothing is reported after it returned.
    const int reports = m_stoppedReports.load();
    const int position = stepperPosition();
    std::this_thread::sleep_for(milliseconds(50));
    EXPECT_FALSE(plugin->IsTurntableRotating());
    EXPECT_EQ(m_stoppedReports.load(), reports) << "a report came after the stop returned";
    EXPECT_EQ(stepperPosition(), position) << "a step started after the stop returned";
    m_onStopped = nullptr;
}

TEST_F(HostPattern, DestroyFromAnotherThreadWaitsForTheReportUnderWay) {
    open(cobaltMedium());
    std::atomic<bool> inReport{false};
    std::atomic<bool> reportLeft{false};
    m_onStopped = [&](HxTurntableHardware*) {
        inReport = true;
        std::this_thread::sleep_for(milliseconds(100));
        reportLeft = true;
    };
    ASSERT_TRUE(plugin->rotateDeviceToAngle(30.0f));
    ASSERT_TRUE(await(inReport));
    plugin.reset();
    EXPECT_TRUE(reportLeft) << "the object went while its report still ran";
    EXPECT_FALSE(bench->device(0).isOpen());
    m_onStopped = nullptr;
}

TEST_F(HostPattern, TwoHostThreadsStartStopAndCloseAtOnce) {
    open(cobaltMedium());
    std::atomic<bool> go{false};
    auto hammer = [&](int seed) {
        while (!go.load()) {
        }
        for (int i = 0; i < 200; ++i) {
            switch ((i + seed) % 5) {
                case 0:
                    plugin->rotateDeviceToAngle(static_cast<float>(10 + i % 50));
                    break;
                case 1:
                    plugin->stopRotation();
                    break;
                case 2:
                    plugin->stopAngleRotation();
                    break;
                case 3:
                    plugin->startRotation();
                    break;
                default:
                    plugin->IsTurntableRotating();
                    break;
            }
        }
    };
    std::thread a(hammer, 0);
    std::thread b(hammer, 2);
    go = true;
    std::this_thread::sleep_for(milliseconds(20));
    plugin->closeDevice();
    plugin->openDevice(0);
    a.join();
    b.join();
    plugin->stopRotation();
    EXPECT_FALSE(plugin->IsTurntableRotating());
    plugin.reset();
    EXPECT_FALSE(bench->device(0).isOpen());
}

TEST_F(HostPattern, UnplugDuringAMoveEndsItWithAtMostOneReport) {
    for (int board = 0; board < 2; ++board) {
        open(board == 0 ? cobaltMedium() : classic());
        const int before = m_stoppedReports.load();
        plugin->SetRotationContinuous();
        ASSERT_TRUE(plugin->startRotation());
        std::this_thread::sleep_for(milliseconds(30));
        bench->device(0).unplug();
        plugin->stopRotation();
        EXPECT_FALSE(plugin->IsTurntableRotating());
        EXPECT_LE(m_stoppedReports.load(), before + 1) << "board " << board;
        plugin->closeDevice();
        plugin.reset();
    }
}
