// The worker's scheduling during a move: raised where the process may, left
// alone where the host switched it off, always given back afterwards, and
// never handed down to threads the worker starts (a host's callback may).
#include <gtest/gtest.h>

#include <sched.h>
#include <stdlib.h>
#include <sys/prctl.h>

#include <atomic>
#include <thread>

#include "RealtimeMoveScope.h"
#include "WorkerDriver.h"
#include "ftsim/Bench.h"
#include "ftsim/BenchBuilder.h"
#include "ftsim/DeviceSetup.h"

namespace {

struct Scheduling {
    int policy;
    int priority;
    int timerSlack;
    bool operator==(const Scheduling& o) const {
        return policy == o.policy && priority == o.priority && timerSlack == o.timerSlack;
    }
};

Scheduling current() {
    sched_param param{};
    sched_getparam(0, &param);
    return {sched_getscheduler(0) & ~SCHED_RESET_ON_FORK, param.sched_priority,
            prctl(PR_GET_TIMERSLACK, 0, 0, 0, 0)};
}

/// Sets or clears the switch for the length of a test.
class SwitchSetting {
public:
    explicit SwitchSetting(const char* value) {
        if (value != nullptr)
            setenv(RealtimeMoveScope::ENVIRONMENT_VARIABLE, value, 1);
        else
            unsetenv(RealtimeMoveScope::ENVIRONMENT_VARIABLE);
    }
    ~SwitchSetting() { unsetenv(RealtimeMoveScope::ENVIRONMENT_VARIABLE); }
};

}  // namespace

TEST(RealtimeMoveScope, RaisesWhereAllowedAndGivesEverythingBack) {
    const SwitchSetting unset(nullptr);
    const Scheduling before = current();
    {
        const RealtimeMoveScope scope;
        EXPECT_NE(scope.mode(), RealtimeMoveScope::SWITCHED_OFF);
        const Scheduling inside = current();
        EXPECT_LE(inside.timerSlack, 1);
        if (scope.mode() == RealtimeMoveScope::REAL_TIME) {
            EXPECT_EQ(inside.policy, SCHED_FIFO);
            EXPECT_EQ(inside.priority, RealtimeMoveScope::PRIORITY);
        } else {
            EXPECT_EQ(inside.policy, before.policy);
        }
        EXPECT_EQ(RealtimeMoveScope::probe(), scope.mode());
    }
    EXPECT_TRUE(current() == before);
}

TEST(RealtimeMoveScope, ThreadsStartedInsideRunWithNormalScheduling) {
    const SwitchSetting unset(nullptr);
    const int outside = current().policy;
    const RealtimeMoveScope scope;
    int child = -1;
    std::thread([&child] { child = current().policy; }).join();
    EXPECT_EQ(child, outside);
}

TEST(RealtimeMoveScope, TheEnvironmentSwitchesTheRaiseOff) {
    for (const char* off : {"0", "off", "No", "FALSE"}) {
        const SwitchSetting setting(off);
        const Scheduling before = current();
        const RealtimeMoveScope scope;
        EXPECT_EQ(scope.mode(), RealtimeMoveScope::SWITCHED_OFF) << off;
        EXPECT_EQ(current().policy, before.policy) << off;
        EXPECT_EQ(RealtimeMoveScope::probe(), RealtimeMoveScope::SWITCHED_OFF) << off;
    }
    for (const char* on : {"1", "", "yes"}) {
        const SwitchSetting setting(on);
        EXPECT_FALSE(RealtimeMoveScope::switchedOffByEnvironment()) << on;
    }
}

TEST(RealtimeMoveScope, EveryMoveRunsInsideOneAndItsReportOutside) {
    const SwitchSetting unset(nullptr);
    const ftsim::Bench bench = ftsim::BenchBuilder().device(ftsim::DeviceSetup()).build();
    WorkerDriver driver;
    ASSERT_TRUE(driver.openDevice(0, nullptr));
    driver.SetCountsPerRevolution(72);
    driver.SetRotationIncrementInCounts(2);
    std::atomic<int> slack{-1};
    std::atomic<int> policy{-1};
    std::atomic<int> reportPolicy{-1};
    driver.duringMotion = [&] {
        slack = current().timerSlack;
        policy = current().policy;
    };
    driver.onMoveEnded = [&](WorkerDriver&) { reportPolicy = current().policy; };
    const int hostPolicy = current().policy;
    const RealtimeMoveScope::Mode expected = RealtimeMoveScope::probe();
    ASSERT_TRUE(driver.startRotation());
    ASSERT_TRUE(waitUntil([&] { return driver.movesEnded.load() == 1; }));
    driver.stopRotation();
    EXPECT_GE(slack.load(), 0);
    EXPECT_LE(slack.load(), 1);
    if (expected == RealtimeMoveScope::REAL_TIME) {
        EXPECT_EQ(policy.load(), SCHED_FIFO);
    }
    // The host's report runs as the host's own threads do.
    EXPECT_EQ(reportPolicy.load(), hostPolicy);
    driver.closeDevice();
}
