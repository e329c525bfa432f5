#ifndef TESTS_CONTROLLER_WORKER_DRIVER_H
#define TESTS_CONTROLLER_WORKER_DRIVER_H

#include <atomic>
#include <chrono>
#include <fstream>
#include <functional>
#include <string>
#include <thread>

#include "TestController.h"

inline void busyWaitMilliseconds(int ms) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    while (std::chrono::steady_clock::now() < end) {
    }
}

/// A driver whose worker takes GetCountsToRotate() steps (0: until stopped),
/// then ends the way the real drivers do: flag, position, end-of-move
/// callback (the host's rotation-stopped notification runs there).
class WorkerDriver : public TestController {
public:
    ~WorkerDriver() override {
        if (stopOnDestruction)
            stopRotationWorker();
    }

    std::function<void(WorkerDriver&)> onMoveEnded;
    bool stopOnDestruction = true;
    bool initializeResult = true;
    int stepMilliseconds = 0;
    int initializeMilliseconds = 0;

    std::atomic<int> initializeCalls{0};
    std::atomic<int> endedWhenInitialized{-1};
    std::atomic<int> movesStarted{0};
    std::atomic<int> movesEnded{0};
    std::atomic<int> firstReadFailures{0};
    std::atomic<int> stepsTaken{0};

protected:
    bool Initialize() override {
        ++initializeCalls;
        endedWhenInitialized = movesEnded.load();
        busyWaitMilliseconds(initializeMilliseconds);
        return initializeResult;
    }
    bool StartRotationThread() override { return launchRotationWorker(&WorkerDriver::worker); }

private:
    static void worker(FTDIController* controller) {
        WorkerDriver* self = static_cast<WorkerDriver*>(controller);
        ++self->movesStarted;
        if (self->m_rotationThread.load() == nullptr || !self->IsRotationRequested())
            ++self->firstReadFailures;
        const int counts = self->GetCountsToRotate();
        for (int done = 0; (counts == 0 || done < counts) && self->IsRotationRequested(); ++done) {
            Wait(self->stepMilliseconds);
            ++self->stepsTaken;
        }
        self->EndRotationFlag();
        self->UpdateGlobalPositionAngleAfterRotation();
        if (self->onMoveEnded)
            self->onMoveEnded(*self);
        ++self->movesEnded;
    }
};

inline bool waitUntil(const std::function<bool()>& condition,
                      std::chrono::seconds timeout = std::chrono::seconds(60)) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (!condition()) {
        if (std::chrono::steady_clock::now() > deadline)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}

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

#endif  // TESTS_CONTROLLER_WORKER_DRIVER_H
