// Host-paced and clocked step pulses side by side, through the plug-in
// object on whatever chip is list position 0 (simulated or emulated over
// USB): a 1,000-step move and a 24-shot spin of a Cobalt Medium, the wall
// time against the asked time, the step periods at the pins and the
// process's processor time during the moves.
#ifndef BENCH_PULSEMODECOMPARISON_H
#define BENCH_PULSEMODECOMPARISON_H

#include <time.h>

#include <algorithm>
#include <condition_variable>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "BenchHost.h"
#include "HxTurntableHardwarePrivate.h"
#include "HxVorandelTurntableControl.h"

namespace pulse_mode_comparison {

/// The times at the pins (ns) of every step the board has counted so far.
using StepTimes = std::function<std::vector<int64_t>()>;

/// Speed 1: every step asks for 1 ms low and 1 ms high.
constexpr unsigned SPEED = 1;
constexpr double ASKED_STEP_MS = 2.0;

inline int64_t clockNs(clockid_t clock) {
    timespec t{};
    clock_gettime(clock, &t);
    return int64_t(t.tv_sec) * 1000000000 + t.tv_nsec;
}

struct Result {
    uint64_t steps = 0;
    double askedSeconds = 0;
    double wallSeconds = 0;
    double cpuSeconds = 0;
    std::vector<int64_t> periods;  ///< ns, within each move
};

/// Waits for the end-of-move reports, which the plug-in gives on its worker.
class MoveEnds {
public:
    MoveEnds() {
        TurntableHardwarePrivate::turntableRotationStopped = [this](HxTurntableHardware*) {
            std::lock_guard<std::mutex> lock(m_mutex);
            ++m_ended;
            m_changed.notify_all();
        };
    }
    ~MoveEnds() { TurntableHardwarePrivate::turntableRotationStopped = nullptr; }
    void waitFor(unsigned ended) {
        std::unique_lock<std::mutex> lock(m_mutex);
        m_changed.wait(lock, [&] { return m_ended >= ended; });
    }
    unsigned ended() {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_ended;
    }

private:
    std::mutex m_mutex;
    std::condition_variable m_changed;
    unsigned m_ended = 0;
};

/// Moves the plug-in to each of `targets` in turn; the figures cover the
/// moves only.
inline Result run(HxVorandelTurntableControl& plugin, MoveEnds& ends, const StepTimes& stepTimes,
                  const std::vector<float>& targets) {
    Result result;
    for (const float target : targets) {
        const size_t before = stepTimes().size();
        const unsigned ended = ends.ended();
        const int64_t wall0 = clockNs(CLOCK_MONOTONIC);
        const int64_t cpu0 = clockNs(CLOCK_PROCESS_CPUTIME_ID);
        plugin.rotateDeviceToAngle(target);
        ends.waitFor(ended + 1);
        result.wallSeconds += double(clockNs(CLOCK_MONOTONIC) - wall0) / 1e9;
        result.cpuSeconds += double(clockNs(CLOCK_PROCESS_CPUTIME_ID) - cpu0) / 1e9;
        plugin.stopRotation();
        const std::vector<int64_t> times = stepTimes();
        for (size_t i = before + 1; i < times.size(); ++i)
            result.periods.push_back(times[i] - times[i - 1]);
        result.steps += times.size() - before;
    }
    result.askedSeconds = double(result.steps) * ASKED_STEP_MS / 1000.0;
    return result;
}

inline double percentile(std::vector<int64_t> values, double p) {
    if (values.empty())
        return 0;
    std::sort(values.begin(), values.end());
    return double(values[size_t(p * double(values.size() - 1))]);
}

inline void printHeader() {
    std::printf("| chip | usb-latency us | pulses | move | steps | asked s | wall s | wall / asked "
                "| period p50 us | p99 us | worst us | CPU %% of a core |\n");
    std::printf("|---|---|---|---|---|---|---|---|---|---|---|---|\n");
}

inline void printRow(const char* chip, unsigned latency, const char* mode, const char* move,
                     const Result& r) {
    const double worst = r.periods.empty()
                             ? 0
                             : double(*std::max_element(r.periods.begin(), r.periods.end()));
    std::printf("| %s | %u | %s | %s | %llu | %.2f | %.2f | %.3f | %.1f | %.1f | %.1f | %.2f |\n",
                chip, latency, mode, move, static_cast<unsigned long long>(r.steps),
                r.askedSeconds, r.wallSeconds, r.wallSeconds / r.askedSeconds,
                percentile(r.periods, 0.5) / 1000.0, percentile(r.periods, 0.99) / 1000.0,
                worst / 1000.0, 100.0 * r.cpuSeconds / r.wallSeconds);
    std::fflush(stdout);
}

/// Both modes, both moves, on the chip at list position 0.
inline void compare(const char* chip, unsigned latency, const StepTimes& stepTimes) {
    for (const char* mode : {"paced", "clocked"}) {
        setenv("VORANDEL_TURNTABLE_PULSES", mode, 1);
        const BenchHost host;
        MoveEnds ends;
        HxVorandelTurntableControl plugin;
        if (!BenchHost::openFirstAtFullSpeed(plugin)) {
            std::fprintf(stderr, "the turntable did not open\n");
            return;
        }
        plugin.SetRotationSpeed(SPEED);
        // The host hears of the end of every move while it spins.
        plugin.stepsSpinningWillStart();
        // 3,600 counts a turn: 100 degrees are 1,000 steps.
        plugin.SetCountsPerRevolution(3600);
        printRow(chip, latency, mode, "1,000 steps", run(plugin, ends, stepTimes, {100.0f}));
        plugin.SetRotationGlobalOriginHere();
        // A Cobalt Medium's 19,520 counts a turn, 24 shots of 15 degrees.
        plugin.SetCountsPerRevolution(19520);
        std::vector<float> shots;
        for (int shot = 1; shot <= 24; ++shot)
            shots.push_back(float(15 * shot));  // 360: a target of 0 names no move
        printRow(chip, latency, mode, "24-shot spin", run(plugin, ends, stepTimes, shots));
        plugin.closeDevice();
    }
    unsetenv("VORANDEL_TURNTABLE_PULSES");
}

}  // namespace pulse_mode_comparison

#endif  // BENCH_PULSEMODECOMPARISON_H
