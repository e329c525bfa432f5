// The move lifecycle of the device layer: which operation is allowed in which
// state, what it waits for, and that workers are released without growth.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <memory>
#include <thread>

#include "WorkerDriver.h"

namespace {

class MoveLifecycle : public WorkerBench {
protected:
    /// A continuous move, seen stepping.
    void startRunningMove() {
        driver->stepMilliseconds = 1;
        driver->SetRotationContinuous();
        ASSERT_TRUE(driver->startRotation());
        ASSERT_TRUE(waitUntil([&] { return driver->stepsTaken >= 1; }));
    }
};

}  // namespace

TEST(MoveLifecycleClosed, StartAndStopNeedAnOpenDevice) {
    WorkerDriver driver;
    EXPECT_FALSE(driver.startRotation());
    EXPECT_EQ(driver.GetLastFTDIError(), FTDIController::TT_ERROR_NULL_HANDLE);
    EXPECT_EQ(driver.initializeCalls, 0);
    driver.SetFTDIError(FTDIController::TT_ERROR_OK);
    EXPECT_FALSE(driver.stopRotation());
    EXPECT_EQ(driver.GetLastFTDIError(), FTDIController::TT_ERROR_NULL_HANDLE);
    EXPECT_FALSE(driver.beginExclusivePortWork());
}

TEST_F(MoveLifecycle, RefusedStartPutsThePreparedBookkeepingBack) {
    driver->SetRotationIncrementInCounts(3);
    const double target = FTDIControllerTestAccess::targetAngle(*driver);
    auto prepare = [&] {
        driver->SetRotationCounterClockwise();
        driver->SetRotationIncrementInCounts(18);
    };

    driver->initializeResult = false;
    EXPECT_FALSE(driver->prepareAndStartRotation(prepare));
    EXPECT_EQ(driver->GetLastFTDIError(), FTDIController::TT_ERROR_INITIALIZATION_FAILED);

    driver->initializeResult = true;
    startRunningMove();
    int prepared = 0;
    EXPECT_FALSE(driver->prepareAndStartRotation([&] { ++prepared; }));
    EXPECT_EQ(prepared, 0) << "prepare ran for a start that was refused";
    EXPECT_EQ(driver->initializeCalls, 2);
    EXPECT_TRUE(driver->stopRotation());

    EXPECT_EQ(driver->GetRotationDirection(), FTDIController::TT_TURN_CLOCKWISE);
    EXPECT_EQ(FTDIControllerTestAccess::storedCounts(*driver),
              0u);  // the continuous move's own setting
    // What the prepared start would have set stayed out; the stopped move is
    // booked at the steps it took (5 degrees each, clockwise lowers).
    EXPECT_DOUBLE_EQ(FTDIControllerTestAccess::targetAngle(*driver), target);
    EXPECT_DOUBLE_EQ(FTDIControllerTestAccess::currentAngle(*driver),
                     std::fmod(-5.0 * driver->stepsTaken.load(), 360.0));
}

TEST_F(MoveLifecycle, StopWaitsForTheStoppedMovesReportAndReleasesItsWorker) {
    std::atomic<bool> reportDone{false};
    driver->onMoveEnded = [&](WorkerDriver&) {
        busyWaitMilliseconds(30);
        reportDone = true;
    };
    startRunningMove();
    EXPECT_TRUE(driver->IsTurntableRotating());

    EXPECT_TRUE(driver->stopRotation());

    EXPECT_TRUE(reportDone) << "stopRotation returned before the report";
    EXPECT_FALSE(driver->IsTurntableRotating());
    EXPECT_FALSE(FTDIControllerTestAccess::holdsWorker(*driver));
    EXPECT_EQ(threadCount(), baselineThreads);
}

TEST_F(MoveLifecycle, StartsAreRefusedWhileAMoveRunsOrAnotherStartIsUnderWay) {
    driver->initializeMilliseconds = 100;
    driver->stepMilliseconds = 1;
    std::atomic<bool> firstStarted{false};
    std::thread first([&] { firstStarted = driver->startRotation(); });
    ASSERT_TRUE(waitUntil([&] { return driver->initializeCalls == 1; }));
    EXPECT_FALSE(driver->startRotation());
    first.join();
    EXPECT_TRUE(firstStarted);

    EXPECT_FALSE(driver->startRotation());
    EXPECT_EQ(driver->initializeCalls, 1) << "Initialize ran under a move";
    EXPECT_EQ(driver->GetLastFTDIError(), FTDIController::TT_ERROR_OK);
    EXPECT_TRUE(driver->IsTurntableRotating());
    EXPECT_TRUE(driver->stopRotation());
    EXPECT_EQ(driver->movesStarted, 1);
}

TEST_F(MoveLifecycle, ThousandRestartsFromTheReportKeepTheThreadCount) {
    const int moves = 1000;
    std::atomic<int> refused{0};
    std::atomic<int> mostThreads{0};
    driver->SetRotationIncrementInCounts(1);
    driver->onMoveEnded = [&](WorkerDriver& self) {
        mostThreads = std::max(mostThreads.load(), threadCount());
        if (self.movesEnded < moves && !self.startRotation())
            ++refused;
    };
    ASSERT_TRUE(driver->startRotation());
    ASSERT_TRUE(waitUntil([&] { return driver->movesEnded == moves; }));
    ASSERT_TRUE(waitUntil([&] { return !driver->HasWorkerInFlight(); }));

    EXPECT_EQ(refused, 0);
    EXPECT_EQ(driver->movesStarted, moves);
    EXPECT_EQ(driver->firstReadFailures, 0);
    // The reporting worker, the one it started, and one ended not yet joined.
    EXPECT_LE(mostThreads, baselineThreads + 3);
    EXPECT_TRUE(driver->stopRotation());
    EXPECT_EQ(threadCount(), baselineThreads);
}

TEST_F(MoveLifecycle, StopFromTheReportStopsTheMoveItStartedAndReturns) {
    std::atomic<int> stopResult{-1};
    driver->SetRotationIncrementInCounts(1);
    driver->stepMilliseconds = 1;
    driver->onMoveEnded = [&](WorkerDriver& self) {
        if (self.movesEnded == 1) {
            self.SetRotationContinuous();
            self.startRotation();
            stopResult = self.stopRotation() ? 1 : 0;
        }
    };
    ASSERT_TRUE(driver->startRotation());
    ASSERT_TRUE(waitUntil([&] { return stopResult != -1; }));

    EXPECT_EQ(stopResult, 1);
    EXPECT_EQ(driver->movesStarted, 2);
    EXPECT_EQ(driver->movesEnded, 2);
    EXPECT_FALSE(driver->IsTurntableRotating());
}

TEST_F(MoveLifecycle, ExclusivePortWorkAndMovesExcludeEachOther) {
    ASSERT_TRUE(driver->beginExclusivePortWork());
    EXPECT_FALSE(driver->startRotation());
    EXPECT_EQ(driver->initializeCalls, 0);
    EXPECT_FALSE(driver->beginExclusivePortWork());
    driver->endExclusivePortWork();

    startRunningMove();
    bench->trace().clear();
    EXPECT_FALSE(driver->beginExclusivePortWork());
    EXPECT_FALSE(driver->writeToEEPROM(3)) << "EEPROM programming under a move";
    EXPECT_EQ(bench->trace().count("FT_EE_UASize"), 0u);
    EXPECT_TRUE(driver->stopRotation());

    EXPECT_TRUE(driver->writeToEEPROM(3));
    short id = -1;
    EXPECT_TRUE(driver->readFromEEPROM(&id));
    EXPECT_EQ(id, 3);
}

TEST_F(MoveLifecycle, CloseCancelsARunningMoveWithoutItsReport) {
    startRunningMove();
    driver->closeDevice();
    EXPECT_EQ(driver->movesEnded, 0);
    EXPECT_FALSE(driver->IsTurntableRotating());
    EXPECT_FALSE(bench->device(0).isOpen());
    EXPECT_FALSE(driver->startRotation());
}

TEST_F(MoveLifecycle, RefusedSecondOpenClosesTheHandleAndItsMove) {
    startRunningMove();
    EXPECT_FALSE(driver->openDevice(0, nullptr));
    EXPECT_FALSE(driver->IsTurntableRotating());
    EXPECT_FALSE(driver->HasWorkerInFlight());
    EXPECT_FALSE(bench->device(0).isOpen());
}

TEST_F(MoveLifecycle, DestructionCancelsAndJoinsEveryWorker) {
    startRunningMove();
    driver.reset();
    EXPECT_EQ(threadCount(), baselineThreads);
}

TEST_F(MoveLifecycle, DestroyedFromItsOwnReportReturnsCleanly) {
    std::atomic<bool> destroyed{false};
    driver->SetRotationIncrementInCounts(1);
    WorkerDriver* raw = driver.release();
    raw->onMoveEnded = [&destroyed](WorkerDriver& self) {
        // This closure goes with the driver: nothing of it is used after.
        std::atomic<bool>* flag = &destroyed;
        delete &self;
        flag->store(true);
    };
    ASSERT_TRUE(raw->startRotation());
    ASSERT_TRUE(waitUntil([&] { return destroyed.load(); }));
    EXPECT_TRUE(waitUntil([&] { return threadCount() == baselineThreads; }));
}
