// Seeded random host sessions against a small model of what must hold:
// - no call blocks longer than the longest board sequence allows;
// - never more reports than moves that could have ended while a spin was on;
// - after a hostile stretch of two host threads (starts, stops, closes,
//   opens, actions from the report), the bookkept position is where the
//   board stands, unless the stretch moved the origin or lost the device;
// - after a quiet stretch (moves run one after another), the table stands
//   where the plug-in's bookkeeping says;
// - destroying the object between stretches leaves the chip closed.
// Both boards: the stepper, and the DC board (clockwise only: it has no
// direction line, and its continuous runs are not counted).
// TT_STRESS_CALLS sets the length (CI: a short run), TT_STRESS_SEED replays a
// failing run; the seed is printed with every failure.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cmath>
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

    long position() {
        return dcWorld ? static_cast<long>(bench->device(0).dc().countsTurned())
                       : bench->device(0).stepper().position();
    }

    /// A random multiple of 5 degrees, never within 0.01 of 0; either sign on
    /// the stepper, clockwise on the DC board.
    float randomAngle(std::mt19937& dice) {
        const int counts = std::uniform_int_distribution<int>(1, 80)(dice);
        const bool clockwise = dcWorld || std::uniform_int_distribution<int>(0, 1)(dice) == 1;
        return static_cast<float>((clockwise ? counts : -counts) * kDegreesPerCount);
    }
    float randomAngle() { return randomAngle(rng); }

    /// Closes and opens again. Among two host threads the other one may
    /// unplug or close meanwhile, so only a reopen alone must succeed.
    void reopen(bool mustOpen = true) {
        positionUnknown = true;  // a fresh connection books from 0
        plugin->closeDevice();
        bench->device(0).plugIn();
        plugin->availableDevices();
        plugin->openDevice(0);
        if (mustOpen) {
            ASSERT_TRUE(plugin->isTurntableOpened()) << plugin->lastError();
        }
        plugin->SetCountsPerRevolution(kCountsPerTurn);
        plugin->SetRotationSpeed(0);
    }

    /// Two host threads at once, each with its own dice.
    void hostileStretches(int length) {
        std::mt19937 second(rng());
        std::thread other([&] { hostileStretch(length, second); });
        hostileStretch(length, rng);
        other.join();
    }

    void hostileStretch(int length, std::mt19937& dice) {
        std::uniform_int_distribution<int> pick(0, 15);
        for (int i = 0; i < length; ++i) {
            const int action = pick(dice);
            // The DC board keeps one direction and does not count continuous runs.
            if (dcWorld && (action == 6 || action == 7 || action == 13))
                continue;
            switch (action) {
                case 0: call("rotateDeviceToAngle", [&] { plugin->rotateDeviceToAngle(randomAngle(dice)); }); break;
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
                    if (pick(dice) == 0)
                        call("shutterReleaseCameraHardware",
                             [&] { plugin->shutterReleaseCameraHardware(); });
                    break;
                case 9: call("IsTurntableRotating", [&] { plugin->IsTurntableRotating(); }); break;
                case 10: call("closeDevice+openDevice", [&] { reopen(false); }); break;
                case 11: call("unplug", [&] {
                             positionUnknown = true;
                             bench->device(0).unplug();
                         }); break;
                case 12: call("SetRotationGlobalOriginHere", [&] {
                             positionUnknown = true;
                             plugin->SetRotationGlobalOriginHere();
                         }); break;
                case 13: call("SetRotationContinuous", [&] { plugin->SetRotationContinuous(); }); break;
                default: std::this_thread::sleep_for(milliseconds(pick(dice))); break;
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
        if (!positionUnknown) {
            // Every stop, cancel and refused start of the stretch left the
            // bookkeeping where the board is.
            const double booked = plugin->globalPositionInDegrees();
            ASSERT_EQ(modTurn(position() - origin),
                      modTurn(std::lround(booked / kDegreesPerCount)))
                << "the bookkept " << booked << " degrees are not where the board stands";
        }
        positionUnknown = false;
        if (std::uniform_int_distribution<int>(0, 3)(rng) == 0) {
            // A new object for the same table: the old one leaves it closed.
            current = nullptr;
            plugin.reset();
            ASSERT_FALSE(bench->device(0).isOpen());
            plugin = std::make_unique<HxVorandelTurntableControl>();
            current = plugin.get();
            ASSERT_TRUE(discoverAndOpen(*plugin, 0));
            plugin->SetCountsPerRevolution(kCountsPerTurn);
            plugin->SetRotationSpeed(0);
        }
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

    void run(const ftsim::DeviceSetup& table) {
        const unsigned seed =
            static_cast<unsigned>(envOr("TT_STRESS_SEED", std::random_device()()));
        // Every DC run takes its board's 100 ms settle time: an eighth of the calls.
        const long budget = envOr("TT_STRESS_CALLS", 2000) / (dcWorld ? 8 : 1);
        SCOPED_TRACE("replay with TT_STRESS_SEED=" + std::to_string(seed));
        std::printf("stress seed %u, %ld calls\n", seed, budget);
        rng.seed(seed);

        bench = ftsim::BenchBuilder().device(table).buildUnique();
        plugin = std::make_unique<HxVorandelTurntableControl>();
        current = plugin.get();
        ASSERT_TRUE(discoverAndOpen(*plugin, 0));
        plugin->SetCountsPerRevolution(kCountsPerTurn);
        plugin->SetRotationSpeed(0);

        // What the report does, chosen at random per report. Reports end
        // before an object is destroyed (the spin is ended and the move
        // finished first), so the pointer they use is always alive.
        std::atomic<unsigned> reportDice{seed};
        std::atomic<long> reports{0};
        m_onStopped = [&](HxTurntableHardware*) {
            ++reports;
            HxVorandelTurntableControl* host = current.load();
            const unsigned dice = reportDice.fetch_add(2654435761u) % 23;
            if (dice >= 8) host->rotateDeviceToAngle(static_cast<float>(5 * (dice + 3)));
            else if (dice == 1) host->stopAngleRotation();
            else if (dice == 2) host->stepsSpinningWillStop();
            else if (dice == 3) host->shutterReleaseCameraHardware();
            else if (dice < 8) host->stopRotation();
        };

        while (calls < budget && !HasFatalFailure()) {
            hostileStretches(10);
            settle();
            if (HasFatalFailure())
                break;
            quietStretch(3);
        }
        // Each report belongs to a move, and every move writes at least
        // three bytes (its preparation and one pulse or one run).
        EXPECT_LE(3 * reports.load(), static_cast<long>(bench->trace().count("FT_Write")));
        m_onStopped = nullptr;
        current = nullptr;
        plugin.reset();
        EXPECT_FALSE(bench->device(0).isOpen());
    }

    bool dcWorld = false;
    std::mt19937 rng;
    std::unique_ptr<ftsim::Bench> bench;
    std::unique_ptr<HxVorandelTurntableControl> plugin;
    /// What the reports use: the object the host holds now.
    std::atomic<HxVorandelTurntableControl*> current{nullptr};
    std::atomic<bool> positionUnknown{false};
    long origin = 0;
    std::atomic<long> calls{0};
};

TEST_F(HostStress, RandomSessionsKeepEveryPromise) {
    run(cobaltMedium());
}

TEST_F(HostStress, RandomSessionsOnTheDcBoardKeepEveryPromise) {
    dcWorld = true;
    run(ftsim::DeviceSetup().identity(1).dcBoard(ftsim::DcSetup().countNanoseconds(1000000)));
}
