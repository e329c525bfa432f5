// Seeded random host sessions against a small model of what must hold:
// - no call blocks longer than the longest board sequence allows;
// - never more reports than moves that could have ended while a spin was on;
// - after a quiet stretch (moves run one after another), the table stands
//   where the plug-in's bookkeeping says, whatever the hostile stretch before
//   did (refused starts, stops, closes, unplugs, actions from the report).
// TT_STRESS_CALLS sets the length (CI: a short run), TT_STRESS_SEED replays a
// failing run; the seed is printed with every failure.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <functional>
#include <memory>
#include <random>
#include <string>
#include <thread>

#include "PluginTest.h"
#include "ftsim/Bench.h"
#include "ftsim/BenchBuilder.h"

namespace {

using std::chrono::milliseconds;
using Clock = std::chrono::steady_clock;

constexpr int kCountsPerTurn = 72;
constexpr int kDegreesPerCount = 5;
// The longest sequence a call may wait for on the stepper: the shutter (1 s)
// plus a stopped move and its report, with room for a loaded machine.
constexpr milliseconds kLongestCall(5000);

long envOr(const char* name, long fallback) {
    const char* text = std::getenv(name);
    return text != nullptr ? std::strtol(text, nullptr, 10) : fallback;
}

int modTurn(long counts) {
    return static_cast<int>(((counts % kCountsPerTurn) + kCountsPerTurn) % kCountsPerTurn);
}

}  // namespace

class HostStress : public PluginTest {
protected:
    /// One host call, timed.
    void call(const std::string& what, const std::function<void()>& operation) {
        const auto start = Clock::now();
        operation();
        const auto took = Clock::now() - start;
        EXPECT_LT(took, kLongestCall) << what << " blocked for "
                                      << std::chrono::duration_cast<milliseconds>(took).count()
                                      << " ms";
        ++calls;
    }

    long position() { return bench->device(0).stepper().position(); }

    /// A random multiple of 5 degrees, either sign, never within 0.01 of 0.
    float randomAngle() {
        const int counts = std::uniform_int_distribution<int>(1, 80)(rng);
        const bool clockwise = std::uniform_int_distribution<int>(0, 1)(rng) == 1;
        return static_cast<float>((clockwise ? counts : -counts) * kDegreesPerCount);
    }

    void reopen() {
        plugin->closeDevice();
        bench->device(0).plugIn();
        ASSERT_TRUE(discoverAndOpen(*plugin, 0));
        plugin->SetCountsPerRevolution(kCountsPerTurn);
        plugin->SetRotationSpeed(0);
    }

    void hostileStretch(int length) {
        std::uniform_int_distribution<int> pick(0, 15);
        for (int i = 0; i < length; ++i) {
            switch (pick(rng)) {
                case 0: call("rotateDeviceToAngle", [&] { plugin->rotateDeviceToAngle(randomAngle()); }); break;
                case 1: call("startRotation", [&] { plugin->startRotation(); }); break;
                case 2: call("stopRotation", [&] { plugin->stopRotation(); }); break;
                case 3: call("stopAngleRotation", [&] { plugin->stopAngleRotation(); }); break;
                case 4: call("stepsSpinningWillStart", [&] { plugin->stepsSpinningWillStart(); }); break;
                case 5: call("stepsSpinningWillStop", [&] { plugin->stepsSpinningWillStop(); }); break;
                case 6: call("SetRotationIncrementInCounts", [&] {
                            const int hostile[] = {0, 1, -7, INT32_MIN, INT32_MAX};
                            plugin->SetRotationIncrementInCounts(hostile[i % 5]);
                        }); break;
                case 7: call("SetRotationIncrementInDegrees", [&] {
                            const double hostile[] = {1e300, -1e-300, 7.5, -720.0};
                            plugin->SetRotationIncrementInDegrees(hostile[i % 4]);
                        }); break;
                case 8:
                    // A shot takes a second: rarely, or the run is all shots.
                    if (pick(rng) == 0)
                        call("shutterReleaseCameraHardware",
                             [&] { plugin->shutterReleaseCameraHardware(); });
                    break;
                case 9: call("IsTurntableRotating", [&] { plugin->IsTurntableRotating(); }); break;
                case 10: call("closeDevice+openDevice", [&] { reopen(); }); break;
                case 11: call("unplug", [&] { bench->device(0).unplug(); }); break;
                case 12: call("SetRotationGlobalOriginHere", [&] { plugin->SetRotationGlobalOriginHere(); }); break;
                case 13: call("SetRotationContinuous", [&] { plugin->SetRotationContinuous(); }); break;
                default: std::this_thread::sleep_for(milliseconds(pick(rng))); break;
            }
        }
    }

    /// Brings the table to rest and makes where it stands the origin.
    void settle() {
        // The spin ends first, so that no report starts a move from here on.
        call("stepsSpinningWillStop", [&] { plugin->stepsSpinningWillStop(); });
        call("stopAngleRotation", [&] { plugin->stopAngleRotation(); });
        if (!bench->device(0).isPlugged() || !plugin->isTurntableOpened())
            reopen();
        ASSERT_TRUE(finishMove(*plugin));
        plugin->SetRotationGlobalOriginHere();
        origin = position();
    }

    /// Moves one after another, each with a start attempted under it; the
    /// table must end where one of the two targets says.
    void quietStretch(int moves) {
        for (int m = 0; m < moves; ++m) {
            const float wanted = randomAngle();
            const float intruder = randomAngle();
            call("rotateDeviceToAngle", [&] { plugin->rotateDeviceToAngle(wanted); });
            call("rotateDeviceToAngle under a move", [&] { plugin->rotateDeviceToAngle(intruder); });
            ASSERT_TRUE(finishMove(*plugin));
            const int at = modTurn(position() - origin);
            const int first = modTurn(static_cast<long>(wanted) / kDegreesPerCount);
            const int second = modTurn(static_cast<long>(intruder) / kDegreesPerCount);
            if (at == second && at != first) {
                // The first move ended before the second call: it ran too.
                continue;
            }
            ASSERT_EQ(at, first) << "bookkeeping and table disagree after move " << m;
        }
    }

    std::mt19937 rng;
    std::unique_ptr<ftsim::Bench> bench;
    std::unique_ptr<HxVorandelTurntableControl> plugin;
    long origin = 0;
    long calls = 0;
};

TEST_F(HostStress, RandomSessionsKeepEveryPromise) {
    const unsigned seed = static_cast<unsigned>(envOr("TT_STRESS_SEED", std::random_device()()));
    const long budget = envOr("TT_STRESS_CALLS", 2000);
    SCOPED_TRACE("replay with TT_STRESS_SEED=" + std::to_string(seed));
    std::printf("stress seed %u, %ld calls\n", seed, budget);
    rng.seed(seed);

    bench = ftsim::BenchBuilder().device(cobaltMedium()).buildUnique();
    plugin = std::make_unique<HxVorandelTurntableControl>();
    ASSERT_TRUE(discoverAndOpen(*plugin, 0));
    plugin->SetCountsPerRevolution(kCountsPerTurn);
    plugin->SetRotationSpeed(0);

    // What the report does, chosen at random per report.
    std::atomic<unsigned> reportDice{seed};
    std::atomic<long> reports{0};
    m_onStopped = [&](HxTurntableHardware*) {
        ++reports;
        const unsigned dice = reportDice.fetch_add(2654435761u) % 23;
        if (dice >= 8) plugin->rotateDeviceToAngle(static_cast<float>(5 * (dice + 3)));
        else if (dice == 1) plugin->stopAngleRotation();
        else if (dice == 2) plugin->stepsSpinningWillStop();
        else if (dice == 3) plugin->shutterReleaseCameraHardware();
        else if (dice < 8) plugin->stopRotation();
    };

    while (calls < budget && !HasFatalFailure()) {
        hostileStretch(20);
        settle();
        if (HasFatalFailure())
            break;
        quietStretch(3);
    }
    // Each report belongs to a move, and every move writes at least three
    // bytes (its preparation and one pulse).
    EXPECT_LE(3 * reports.load(), static_cast<long>(bench->trace().count("FT_Write")));
    m_onStopped = nullptr;
    plugin.reset();
    EXPECT_FALSE(bench->device(0).isOpen());
}
