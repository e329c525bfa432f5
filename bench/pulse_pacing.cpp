// How precisely, and at what processor cost, the step pulses are paced: one
// run measures, through the plug-in on the simulated bench, at speed 0 and 5,
//   - the step-period error (p50, p99, p99.9, worst) from the bench's time
//     stamps of the step line, and the mean period,
//   - the process's CPU time during the move as a share of one core,
//   - the time from stopRotation to its return (worst of a few stops),
//   - the time from the move's last port write to the end-of-move report,
// with and without the worker's real-time priority, and beside them the same
// pulse train written straight through D2XX, paced by a plain sleep loop and
// by a pure spin. All of it idle, then again with two CPU-bound processes
// that the program starts itself.
//
//   build/default/bench/pulse_pacing            # both loads, about 30 s
//   build/default/bench/pulse_pacing idle       # or: hogs
//
// Prints a Markdown table (BENCHMARKS.md keeps the last one recorded).
#include <signal.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "BoardPins.h"
#include "HxTurntableHardwarePrivate.h"
#include "HxVorandelTurntableControl.h"
#include "MonotonicWait.h"
#include "RealtimeMoveScope.h"
#include "ftd2xx.h"
#include "ftsim/Bench.h"
#include "ftsim/BenchBuilder.h"
#include "ftsim/Device.h"
#include "ftsim/DeviceSetup.h"
#include "ftsim/StepperSetup.h"
#include "ftsim/Trace.h"

namespace {

constexpr int64_t NS_PER_MS = 1000000;
constexpr int STOPS_PER_RUN = 5;

int stepsAt(unsigned speed) {
    return speed == 0 ? 1000 : 300;
}

int64_t cpuNs() {
    timespec ts{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return static_cast<int64_t>(ts.tv_sec) * 1000000000 + ts.tv_nsec;
}

struct Row {
    std::string pacing;
    unsigned speed = 0;
    std::vector<int64_t> errorsNs;  // |period - nominal|, sorted
    double meanPeriodUs = 0;
    double cpuShare = 0;
    int64_t worstStopNs = -1;  // -1: not measured
    int64_t reportAfterWriteNs = -1;
};

double percentileUs(const std::vector<int64_t>& sorted, double p) {
    if (sorted.empty())
        return 0;
    const std::size_t i = std::min(sorted.size() - 1, static_cast<std::size_t>(p * sorted.size()));
    return static_cast<double>(sorted[i]) / 1000.0;
}

void fillPeriods(Row& row, const std::vector<ftsim::TimeNs>& steps) {
    const int64_t nominal = (1 + static_cast<int64_t>(row.speed)) * NS_PER_MS;
    for (std::size_t i = 1; i < steps.size(); ++i)
        row.errorsNs.push_back(std::llabs(steps[i] - steps[i - 1] - nominal));
    std::sort(row.errorsNs.begin(), row.errorsNs.end());
    if (steps.size() > 1)
        row.meanPeriodUs = static_cast<double>(steps.back() - steps.front()) /
                           static_cast<double>(steps.size() - 1) / 1000.0;
}

ftsim::Bench cobaltBench() {
    return ftsim::BenchBuilder()
        .device(ftsim::DeviceSetup().identity(3).stepper(
            ftsim::StepperSetup().stepsPerRevolution(19520).clockwiseActiveHigh(false)))
        .build();
}

/// The host's side: the end-of-move report, time-stamped on arrival.
class ReportWatch {
public:
    ReportWatch() {
        TurntableHardwarePrivate::turntableRotationStopped = [this](HxTurntableHardware*) {
            const int64_t at = MonotonicWait::now();
            std::lock_guard<std::mutex> lock(m_mutex);
            m_at = at;
            m_cv.notify_all();
        };
    }
    ~ReportWatch() { TurntableHardwarePrivate::turntableRotationStopped = nullptr; }
    void arm() {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_at = -1;
    }
    int64_t await() {
        std::unique_lock<std::mutex> lock(m_mutex);
        m_cv.wait(lock, [this] { return m_at >= 0; });
        return m_at;
    }

private:
    std::mutex m_mutex;
    std::condition_variable m_cv;
    int64_t m_at = -1;
};

Row runPlugin(unsigned speed, bool realtime) {
    if (realtime)
        unsetenv(RealtimeMoveScope::ENVIRONMENT_VARIABLE);
    else
        setenv(RealtimeMoveScope::ENVIRONMENT_VARIABLE, "0", 1);
    Row row;
    row.pacing = realtime ? "plug-in, real-time worker" : "plug-in, normal worker";
    row.speed = speed;

    ftsim::Bench bench = cobaltBench();
    TurntableHardwarePrivate::hardwareOpenSucceeded = [](HxTurntableHardware*, size_t, bool) {};
    TurntableHardwarePrivate::hardwareDisconnected = [](HxTurntableHardware*, size_t) {};
    ReportWatch reports;
    {
        HxVorandelTurntableControl plugin;
        plugin.availableDevices();
        plugin.openDevice(0);
        if (!plugin.isTurntableOpened()) {
            std::fprintf(stderr, "the simulated Cobalt Medium did not open\n");
            std::exit(1);
        }
        plugin.SetRotationSpeed(speed);
        plugin.stepsSpinningWillStart();

        bench.trace().clear();
        reports.arm();
        plugin.SetRotationIncrementInCounts(stepsAt(speed));
        const int64_t cpuBefore = cpuNs();
        const int64_t wallBefore = MonotonicWait::now();
        plugin.startRotation();
        const int64_t reportedAt = reports.await();
        row.cpuShare = static_cast<double>(cpuNs() - cpuBefore) /
                       static_cast<double>(MonotonicWait::now() - wallBefore);
        plugin.stopRotation();
        const std::vector<ftsim::PortWrite> writes = bench.trace().portWrites(0);
        if (!writes.empty())
            row.reportAfterWriteNs = reportedAt - writes.back().time;
        fillPeriods(row, bench.device(0).stepper().stepTimes());

        // Stops of a continuous move, at varying points of a pulse.
        plugin.stepsSpinningWillStop();
        row.worstStopNs = 0;
        for (int i = 0; i < STOPS_PER_RUN; ++i) {
            plugin.SetRotationContinuous();
            plugin.startRotation();
            std::this_thread::sleep_for(std::chrono::microseconds(30000 + 1700 * i));
            const int64_t before = MonotonicWait::now();
            plugin.stopRotation();
            row.worstStopNs = std::max(row.worstStopNs, MonotonicWait::now() - before);
        }
        plugin.closeDevice();
    }
    TurntableHardwarePrivate::hardwareOpenSucceeded = nullptr;
    TurntableHardwarePrivate::hardwareDisconnected = nullptr;
    unsetenv(RealtimeMoveScope::ENVIRONMENT_VARIABLE);
    return row;
}

void sleepMs(unsigned ms) {
    if (ms == 0)
        return;
    timespec ts{0, static_cast<long>(ms) * NS_PER_MS};
    clock_nanosleep(CLOCK_MONOTONIC, 0, &ts, nullptr);
}

void spinMs(unsigned ms) {
    const int64_t deadline = MonotonicWait::now() + static_cast<int64_t>(ms) * NS_PER_MS;
    while (MonotonicWait::now() < deadline) {
    }
}

/// The plug-in's pulse train (purge and write per edge, 1 ms low, `speed` ms
/// high) written straight through D2XX with another pacing.
Row runReference(unsigned speed, bool spin) {
    Row row;
    row.pacing = spin ? "pure spin loop" : "plain sleep loop";
    row.speed = speed;
    ftsim::Bench bench = cobaltBench();
    bench.setTraceEnabled(false);
    FT_HANDLE handle = nullptr;
    if (FT_Open(0, &handle) != FT_OK) {
        std::fprintf(stderr, "the simulated device did not open\n");
        std::exit(1);
    }
    FT_SetBitMode(handle, 0xFF, 1);
    const unsigned char enabled =
        bench.device(0).stepper().enableActiveHigh() ? BoardPins::Stepper::MOTOR_ENABLE : 0;
    const unsigned char on = static_cast<unsigned char>(enabled | BoardPins::Stepper::STEP);
    const auto write = [handle](unsigned char byte) {
        FT_Purge(handle, FT_PURGE_TX);
        DWORD written = 0;
        FT_Write(handle, &byte, 1, &written);
    };
    write(enabled);
    const auto pace = spin ? spinMs : sleepMs;
    const int64_t cpuBefore = cpuNs();
    const int64_t wallBefore = MonotonicWait::now();
    for (int i = 0; i < stepsAt(speed); ++i) {
        pace(1);
        write(on);
        pace(speed);
        write(enabled);
    }
    row.cpuShare = static_cast<double>(cpuNs() - cpuBefore) /
                   static_cast<double>(MonotonicWait::now() - wallBefore);
    FT_Close(handle);
    fillPeriods(row, bench.device(0).stepper().stepTimes());
    return row;
}

/// Two processes that keep a core busy each while the object lives.
class CpuHogs {
public:
    CpuHogs() {
        for (pid_t& pid : m_pids) {
            pid = fork();
            if (pid == 0) {
                volatile uint64_t n = 0;
                for (;;)
                    n = n + 1;
            }
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
    }
    ~CpuHogs() {
        for (pid_t pid : m_pids) {
            if (pid > 0) {
                kill(pid, SIGKILL);
                waitpid(pid, nullptr, 0);
            }
        }
    }

private:
    pid_t m_pids[2] = {-1, -1};
};

std::string loadAverage() {
    std::ifstream in("/proc/loadavg");
    std::string one, five, fifteen;
    in >> one >> five >> fifteen;
    return one + " " + five + " " + fifteen;
}

std::string micro(int64_t ns) {
    if (ns < 0)
        return "-";
    char text[32];
    std::snprintf(text, sizeof text, "%.1f", static_cast<double>(ns) / 1000.0);
    return text;
}

void printRows(const char* load, const std::string& loadBefore, const std::vector<Row>& rows) {
    std::printf("\n### %s (load average before: %s)\n\n", load, loadBefore.c_str());
    std::printf(
        "| pacing | speed | steps | period error p50 µs | p99 µs | p99.9 µs | worst µs | mean "
        "period µs | CPU %% of a core | stop returns after µs | report after last write µs |\n");
    std::printf("|---|---|---|---|---|---|---|---|---|---|---|\n");
    for (const Row& r : rows) {
        std::printf("| %s | %u | %zu | %.1f | %.1f | %.1f | %.1f | %.1f | %.1f | %s | %s |\n",
                    r.pacing.c_str(), r.speed, r.errorsNs.size() + 1, percentileUs(r.errorsNs, 0.5),
                    percentileUs(r.errorsNs, 0.99), percentileUs(r.errorsNs, 0.999),
                    percentileUs(r.errorsNs, 1.0), r.meanPeriodUs, 100.0 * r.cpuShare,
                    micro(r.worstStopNs).c_str(), micro(r.reportAfterWriteNs).c_str());
    }
    std::fflush(stdout);
}

void runLoad(const char* load) {
    std::vector<Row> rows;
    const std::string before = loadAverage();
    for (unsigned speed : {0u, 5u}) {
        rows.push_back(runPlugin(speed, true));
        rows.push_back(runPlugin(speed, false));
        rows.push_back(runReference(speed, false));
        rows.push_back(runReference(speed, true));
    }
    printRows(load, before, rows);
}

}  // namespace

int main(int argc, char** argv) {
    const std::string only = argc > 1 ? argv[1] : "";
    if (!only.empty() && only != "idle" && only != "hogs") {
        std::fprintf(stderr, "usage: %s [idle|hogs]\n", argv[0]);
        return 2;
    }
    std::printf("Real-time worker: %s; %u processors; spin margin at start %.1f µs\n",
                RealtimeMoveScope::describe(RealtimeMoveScope::probe()),
                std::thread::hardware_concurrency(),
                static_cast<double>(MonotonicWait::spinMargin()) / 1000.0);
    if (only.empty() || only == "idle")
        runLoad("Without extra load");
    if (only.empty() || only == "hogs") {
        const CpuHogs hogs;
        runLoad("With two CPU hogs beside it");
    }
    std::printf("\nSpin margin at the end: %.1f µs\n",
                static_cast<double>(MonotonicWait::spinMargin()) / 1000.0);
    return 0;
}
