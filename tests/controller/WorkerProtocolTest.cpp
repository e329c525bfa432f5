#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <fstream>
#include <functional>
#include <string>
#include <thread>

#include "WorkerDriver.h"
#include "ftsim/Bench.h"
#include "ftsim/BenchBuilder.h"
#include "ftsim/DeviceSetup.h"

namespace {

class WorkerProtocol : public ::testing::Test {
protected:
    void SetUp() override {
        bench = ftsim::BenchBuilder().device(ftsim::DeviceSetup()).buildUnique();
        baselineThreads = baselineThreadCount();
        ASSERT_TRUE(driver.openDevice(0, nullptr));
        driver.SetCountsPerRevolution(72);
    }
    void TearDown() override {
        driver.stopRotation();
        driver.closeDevice();
    }

    std::unique_ptr<ftsim::Bench> bench;
    int baselineThreads = 0;
    WorkerDriver driver;
};

}  // namespace

TEST(WorkerStart, RequiresAnOpenDevice) {
    WorkerDriver driver;
    EXPECT_FALSE(driver.startRotation());
    EXPECT_EQ(driver.GetLastFTDIError(), FTDIController::TT_ERROR_NULL_HANDLE);
    EXPECT_EQ(driver.initializeCalls, 0);
    EXPECT_FALSE(driver.holdsWorker());

    driver.SetFTDIError(FTDIController::TT_ERROR_OK);
    EXPECT_FALSE(driver.stopRotation());
    EXPECT_EQ(driver.GetLastFTDIError(), FTDIController::TT_ERROR_NULL_HANDLE);
}

TEST_F(WorkerProtocol, InitializeRefusalStartsNoWorker) {
    driver.initializeResult = false;
    EXPECT_FALSE(driver.startRotation());
    EXPECT_EQ(driver.GetLastFTDIError(), FTDIController::TT_ERROR_INITIALIZATION_FAILED);
    EXPECT_FALSE(driver.holdsWorker());
    EXPECT_EQ(driver.movesStarted, 0);
}

TEST_F(WorkerProtocol, WorkerSeesItsFlagTrueFromItsFirstRead) {
    driver.SetRotationIncrementInCounts(1);
    for (int move = 0; move < 50; ++move) {
        ASSERT_TRUE(driver.startRotation());
        ASSERT_TRUE(waitUntil([&] { return driver.movesEnded == move + 1; }));
    }
    EXPECT_EQ(driver.movesStarted, 50);
    EXPECT_EQ(driver.firstReadFailures, 0);
    EXPECT_EQ(driver.stepsTaken, 50);
}

TEST_F(WorkerProtocol, CountedMoveEndsByItselfAndIsHeldUntilReleased) {
    driver.SetRotationIncrementInCounts(3);
    ASSERT_TRUE(driver.startRotation());
    EXPECT_EQ(driver.GetLastFTDIError(), FTDIController::TT_ERROR_OK);
    ASSERT_TRUE(waitUntil([&] { return driver.movesEnded == 1; }));

    EXPECT_FALSE(driver.IsTurntableRotating());
    EXPECT_TRUE(driver.IsTurntableStopped());
    EXPECT_TRUE(driver.holdsWorker());
    EXPECT_EQ(driver.stepsTaken, 3);
    EXPECT_DOUBLE_EQ(driver.currentAngle(), -15.0);

    EXPECT_TRUE(driver.stopRotation());
    EXPECT_FALSE(driver.holdsWorker());
    EXPECT_EQ(threadCount(), baselineThreads);
}

TEST_F(WorkerProtocol, StopClearsTheFlagAndWaitsForTheCallback) {
    driver.stepMilliseconds = 1;
    driver.onMoveEnded = [](WorkerDriver&) { busyWaitMilliseconds(30); };
    ASSERT_TRUE(driver.startRotation());
    ASSERT_TRUE(waitUntil([&] { return driver.stepsTaken >= 2; }));
    EXPECT_TRUE(driver.IsTurntableRotating());

    EXPECT_TRUE(driver.stopRotation());

    EXPECT_EQ(driver.movesEnded, 1) << "stopRotation returned before the worker";
    EXPECT_FALSE(driver.IsTurntableRotating());
    EXPECT_FALSE(driver.holdsWorker());
    EXPECT_EQ(threadCount(), baselineThreads);
}

TEST_F(WorkerProtocol, StopsFromSeveralThreadsAllWaitForTheSameWorker) {
    driver.stepMilliseconds = 1;
    driver.onMoveEnded = [](WorkerDriver&) { busyWaitMilliseconds(100); };
    ASSERT_TRUE(driver.startRotation());
    ASSERT_TRUE(waitUntil([&] { return driver.stepsTaken >= 1; }));

    // The first stop joins the worker; the others find it being joined and
    // must still not return before it has.
    std::atomic<int> returnedEarly{0};
    std::atomic<int> stopped{0};
    auto stop = [&] {
        if (driver.stopRotation())
            ++stopped;
        if (driver.movesEnded != 1)
            ++returnedEarly;
    };
    std::thread first(stop);
    busyWaitMilliseconds(20);
    std::thread second(stop);
    stop();
    first.join();
    second.join();

    EXPECT_EQ(stopped, 3);
    EXPECT_EQ(returnedEarly, 0);
    EXPECT_FALSE(driver.holdsWorker());
    EXPECT_EQ(threadCount(), baselineThreads);
}

TEST_F(WorkerProtocol, StartWhileRunningIsRefusedAndLeavesTheMoveAlone) {
    driver.stepMilliseconds = 1;
    ASSERT_TRUE(driver.startRotation());
    ASSERT_TRUE(waitUntil([&] { return driver.stepsTaken >= 1; }));

    EXPECT_FALSE(driver.startRotation());

    EXPECT_EQ(driver.initializeCalls, 1) << "Initialize must not disturb a running move";
    EXPECT_EQ(driver.GetLastFTDIError(), FTDIController::TT_ERROR_OK);
    EXPECT_TRUE(driver.IsTurntableRotating());
    const int steps = driver.stepsTaken;
    EXPECT_TRUE(waitUntil([&] { return driver.stepsTaken > steps; }));
    EXPECT_EQ(driver.movesStarted, 1);
    EXPECT_TRUE(driver.stopRotation());
}

TEST_F(WorkerProtocol, StartDuringAnotherThreadsStartIsRefusedBeforeInitialize) {
    driver.stepMilliseconds = 1;
    driver.initializeMilliseconds = 100;
    std::atomic<bool> firstStarted{false};
    std::thread first([&] { firstStarted = driver.startRotation(); });
    ASSERT_TRUE(waitUntil([&] { return driver.initializeCalls == 1; }));

    EXPECT_FALSE(driver.startRotation());
    first.join();

    EXPECT_TRUE(firstStarted);
    EXPECT_EQ(driver.initializeCalls, 1) << "a second Initialize ran under the first move";
    EXPECT_EQ(driver.GetLastFTDIError(), FTDIController::TT_ERROR_OK);
    EXPECT_TRUE(driver.IsTurntableRotating());
    EXPECT_TRUE(driver.stopRotation());
    EXPECT_EQ(driver.movesStarted, 1);
}

TEST_F(WorkerProtocol, NextStartJoinsTheEndedWorkerBeforeInitializing) {
    driver.SetRotationIncrementInCounts(1);
    driver.onMoveEnded = [](WorkerDriver& self) {
        if (self.movesEnded == 0)
            busyWaitMilliseconds(50);
    };
    ASSERT_TRUE(driver.startRotation());
    ASSERT_TRUE(waitUntil([&] { return !driver.IsTurntableRotating(); }));

    ASSERT_TRUE(driver.startRotation());

    EXPECT_EQ(driver.endedWhenInitialized, 1)
        << "the previous worker was still running its end of move";
    ASSERT_TRUE(waitUntil([&] { return driver.movesEnded == 2; }));
}

TEST_F(WorkerProtocol, StopWithoutAWorkerDoesNothing) {
    bench->trace().clear();
    driver.SetFTDIError(FTDIController::TT_ERROR_READ_FAILED);
    EXPECT_TRUE(driver.stopRotation());
    EXPECT_EQ(bench->trace().size(), 0u);
    EXPECT_EQ(driver.GetLastFTDIError(), FTDIController::TT_ERROR_READ_FAILED);
}

TEST_F(WorkerProtocol, StopFromTheWorkersOwnCallbackReturns) {
    std::atomic<int> stopResult{-1};
    driver.SetRotationIncrementInCounts(2);
    driver.onMoveEnded = [&](WorkerDriver& self) { stopResult = self.stopRotation() ? 1 : 0; };
    ASSERT_TRUE(driver.startRotation());
    ASSERT_TRUE(waitUntil([&] { return driver.movesEnded == 1; }));
    EXPECT_EQ(stopResult, 1);
    EXPECT_TRUE(driver.stopRotation());
    EXPECT_FALSE(driver.holdsWorker());
}

TEST_F(WorkerProtocol, RestartFromTheCallbackAThousandTimes) {
    const int moves = 1000;
    std::atomic<int> refused{0};
    std::atomic<int> callbacks{0};
    driver.SetRotationIncrementInCounts(1);
    driver.onMoveEnded = [&](WorkerDriver& self) {
        if (++callbacks < moves && !self.startRotation())
            ++refused;
    };
    ASSERT_TRUE(driver.startRotation());
    ASSERT_TRUE(waitUntil([&] { return driver.movesEnded == moves; }))
        << driver.movesEnded << " moves ended, " << refused << " restarts refused";

    EXPECT_EQ(refused, 0);
    EXPECT_EQ(driver.movesStarted, moves);
    EXPECT_EQ(driver.firstReadFailures, 0);
    EXPECT_TRUE(driver.stopRotation());
    EXPECT_FALSE(driver.holdsWorker());
    EXPECT_EQ(threadCount(), baselineThreads);
}

TEST_F(WorkerProtocol, StopAlsoStopsAMoveStartedByTheCallback) {
    driver.stepMilliseconds = 1;
    std::atomic<bool> restarted{false};
    driver.onMoveEnded = [&](WorkerDriver& self) {
        if (!restarted.exchange(true))
            self.startRotation();
    };
    ASSERT_TRUE(driver.startRotation());
    ASSERT_TRUE(waitUntil([&] { return driver.stepsTaken >= 1; }));

    EXPECT_TRUE(driver.stopRotation());

    EXPECT_EQ(driver.movesStarted, 2);
    EXPECT_EQ(driver.movesEnded, 2);
    EXPECT_FALSE(driver.IsTurntableRotating());
    EXPECT_FALSE(driver.holdsWorker());
    EXPECT_EQ(threadCount(), baselineThreads);
}

TEST_F(WorkerProtocol, CloseDeviceStopsARunningMove) {
    driver.stepMilliseconds = 1;
    ASSERT_TRUE(driver.startRotation());
    ASSERT_TRUE(waitUntil([&] { return driver.stepsTaken >= 1; }));
    driver.closeDevice();
    EXPECT_EQ(driver.movesEnded, 1);
    EXPECT_FALSE(driver.IsTurntableRotating());
    EXPECT_FALSE(bench->device(0).isOpen());
}

TEST_F(WorkerProtocol, RefusedSecondOpenStopsTheMoveOfTheHandleItCloses) {
    driver.stepMilliseconds = 1;
    ASSERT_TRUE(driver.startRotation());
    ASSERT_TRUE(waitUntil([&] { return driver.stepsTaken >= 1; }));

    EXPECT_FALSE(driver.openDevice(0, nullptr));

    // Without a handle stopRotation can no longer reach the move.
    EXPECT_EQ(driver.movesEnded, 1);
    EXPECT_FALSE(driver.IsTurntableRotating());
    EXPECT_FALSE(driver.holdsWorker());
    EXPECT_FALSE(bench->device(0).isOpen());
}

TEST(WorkerRelease, DestructionJoinsEndedAndRetiredWorkers) {
    ftsim::Bench bench = ftsim::BenchBuilder().device(ftsim::DeviceSetup()).build();
    const int baseline = baselineThreadCount();
    std::atomic<bool> restarted{false};
    {
        WorkerDriver driver;
        ASSERT_TRUE(driver.openDevice(0, nullptr));
        driver.SetCountsPerRevolution(72);
        driver.SetRotationIncrementInCounts(1);
        // The first move's worker starts the second from its callback and so
        // is retired; the second ends by itself and is held.
        driver.onMoveEnded = [&](WorkerDriver& self) {
            if (!restarted.exchange(true))
                self.startRotation();
        };
        ASSERT_TRUE(driver.startRotation());
        ASSERT_TRUE(waitUntil([&] { return driver.movesEnded == 2; }));
        EXPECT_TRUE(driver.holdsWorker());
        // Left to the base destructor, as a driver without a stop of its own.
        driver.stopOnDestruction = false;
    }
    EXPECT_EQ(threadCount(), baseline);
}

TEST(WorkerRelease, DriverDestructorStopsARunningWorker) {
    ftsim::Bench bench = ftsim::BenchBuilder().device(ftsim::DeviceSetup()).build();
    std::atomic<int> ended{0};
    const int baseline = baselineThreadCount();
    {
        WorkerDriver driver;
        ASSERT_TRUE(driver.openDevice(0, nullptr));
        driver.stepMilliseconds = 1;
        driver.onMoveEnded = [&](WorkerDriver&) { ++ended; };
        ASSERT_TRUE(driver.startRotation());
        ASSERT_TRUE(waitUntil([&] { return driver.stepsTaken >= 1; }));
    }
    EXPECT_EQ(ended, 1);
    EXPECT_EQ(threadCount(), baseline);
}
