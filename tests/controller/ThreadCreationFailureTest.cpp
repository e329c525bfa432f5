// A worker that cannot be created. pthread_create is replaced in this program
// so that it can be made to fail; sanitizer builds skip the program because
// their runtimes intercept thread creation themselves.
#include <gtest/gtest.h>

#include <dlfcn.h>
#include <pthread.h>

#include <atomic>
#include <cerrno>
#include <system_error>

#include "WorkerDriver.h"

namespace {

std::atomic<bool> failThreadCreation{false};

using CreateFunction = int (*)(pthread_t*, const pthread_attr_t*, void* (*)(void*), void*);

}  // namespace

extern "C" int pthread_create(pthread_t* thread, const pthread_attr_t* attributes,
                              void* (*start)(void*), void* argument) {
    static const CreateFunction real =
        reinterpret_cast<CreateFunction>(dlsym(RTLD_NEXT, "pthread_create"));
    if (failThreadCreation.load())
        return EAGAIN;
    return real(thread, attributes, start, argument);
}

namespace {

class ThreadCreationFailure : public WorkerBench {
protected:
    void SetUp() override {
        WorkerBench::SetUp();
        driver->SetRotationIncrementInCounts(1);
    }
    void TearDown() override {
        failThreadCreation = false;
        WorkerBench::TearDown();
    }
};

}  // namespace

TEST_F(ThreadCreationFailure, StartPropagatesTheErrorAndHoldsNoWorker) {
    failThreadCreation = true;
    EXPECT_THROW(driver->startRotation(), std::system_error);
    failThreadCreation = false;

    EXPECT_FALSE(FTDIControllerTestAccess::holdsWorker(*driver));
    EXPECT_FALSE(driver->IsTurntableRotating());
    EXPECT_EQ(driver->movesStarted, 0);

    ASSERT_TRUE(driver->startRotation());
    ASSERT_TRUE(waitUntil([&] { return driver->movesEnded == 1; }));
}

TEST_F(ThreadCreationFailure, StartFromTheCallbackKeepsTheEndedWorkerHeld) {
    std::atomic<int> thrown{0};
    std::atomic<bool> restarted{false};
    driver->onMoveEnded = [&](WorkerDriver& self) {
        if (restarted.exchange(true))
            return;
        failThreadCreation = true;
        try {
            self.startRotation();
        } catch (const std::system_error&) {
            ++thrown;
        }
        failThreadCreation = false;
    };
    ASSERT_TRUE(driver->startRotation());
    ASSERT_TRUE(waitUntil([&] { return thrown == 1; }));
    ASSERT_TRUE(waitUntil([&] { return !driver->HasWorkerInFlight(); }));

    EXPECT_EQ(driver->movesEnded, 1);
    EXPECT_EQ(driver->movesStarted, 1);
    EXPECT_TRUE(FTDIControllerTestAccess::holdsWorker(*driver))
        << "the ended worker stays held for release";
    EXPECT_TRUE(driver->stopRotation());
    EXPECT_FALSE(FTDIControllerTestAccess::holdsWorker(*driver));
    EXPECT_EQ(threadCount(), baselineThreads);
}
