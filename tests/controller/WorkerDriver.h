#ifndef TESTS_CONTROLLER_WORKER_DRIVER_H
#define TESTS_CONTROLLER_WORKER_DRIVER_H

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <fstream>
#include <functional>
#include <memory>
#include <string>
#include <thread>

#include "TestController.h"
#include "Waiting.h"
#include "ftsim/Bench.h"
#include "ftsim/BenchBuilder.h"
#include "ftsim/DeviceSetup.h"

using ttsupport::waitUntil;

inline void busyWaitMilliseconds(int ms) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    while (std::chrono::steady_clock::now() < end) {
    }
}

/// A driver whose motion takes `counts` steps (0: until stopped); the base
/// ends the move and calls onMoveEnded as its end-of-move report.
class WorkerDriver : public TestController {
public:
    WorkerDriver() {
        // Counted first: the report may destroy the driver.
        SetMoveEndReport([this] {
            ++movesEnded;
            if (onMoveEnded)
                onMoveEnded(*this);
        });
    }
    ~WorkerDriver() override { stopRotationWorker(); }

    std::function<void(WorkerDriver&)> onMoveEnded;
    /// Called on the worker once per move, before its first step.
    std::function<void()> duringMotion;
    bool initializeResult = true;
    int stepMilliseconds = 0;
    int initializeMilliseconds = 0;

    std::atomic<int> initializeCalls{0};
    std::atomic<int> endedWhenInitialized{-1};
    std::atomic<int> movesStarted{0};
    std::atomic<int> movesEnded{0};
    std::atomic<int> firstReadFailures{0};
    std::atomic<int> stepsTaken{0};

    using FTDIController::beginExclusivePortWork;
    using FTDIController::endExclusivePortWork;

protected:
    bool Initialize() override {
        ++initializeCalls;
        endedWhenInitialized = movesEnded.load();
        busyWaitMilliseconds(initializeMilliseconds);
        return initializeResult;
    }
    bool StartRotationThread() override { return launchRotationWorker(&WorkerDriver::motion); }

private:
    static MotionOutcome motion(FTDIController* controller, uint32_t counts) {
        WorkerDriver* self = static_cast<WorkerDriver*>(controller);
        MotionOutcome outcome;
        ++self->movesStarted;
        if (self->duringMotion)
            self->duringMotion();
        if (!self->IsRotationRequested())
            ++self->firstReadFailures;
        for (uint32_t done = 0; (counts == 0 || done < counts) && self->IsRotationRequested();
             ++done) {
            Wait(self->stepMilliseconds);
            ++self->stepsTaken;
            ++outcome.counts;
        }
        return outcome;
    }
};

inline int threadCount() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("Threads:", 0) == 0)
            return std::stoi(line.substr(8));
    }
    return -1;
}

// The thread count before a test's workers run. A thread is started and
// joined first: a sanitizer's runtime starts its own helper thread with the
// process's first thread, and that one must count as already there.
inline int baselineThreadCount() {
    std::thread([] {}).join();
    return threadCount();
}

/// A bench with one device and a WorkerDriver opened on it, 72 counts a
/// turn; the thread count is taken before the driver exists. The driver is
/// held by pointer so that a test can destroy it; whatever is left is stopped
/// and closed at the end.
class WorkerBench : public ::testing::Test {
protected:
    void SetUp() override {
        bench = ftsim::BenchBuilder().device(ftsim::DeviceSetup()).buildUnique();
        baselineThreads = baselineThreadCount();
        driver = std::make_unique<WorkerDriver>();
        ASSERT_TRUE(driver->openDevice(0, nullptr));
        driver->SetCountsPerRevolution(72);
    }
    void TearDown() override {
        if (driver) {
            driver->stopRotation();
            driver->closeDevice();
        }
    }

    std::unique_ptr<ftsim::Bench> bench;
    int baselineThreads = 0;
    std::unique_ptr<WorkerDriver> driver;
};

#endif  // TESTS_CONTROLLER_WORKER_DRIVER_H
