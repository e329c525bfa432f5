// How far the busy wait overshoots the milliseconds asked for: every pin
// sequence of the drivers is paced by it, so its overshoot adds to each step.
#include <benchmark/benchmark.h>

#include <sys/time.h>

#include <cstdint>

#include "FTDIController.h"

namespace {

class WaitProbe : public FTDIController {
public:
    using FTDIController::Wait;
};

int64_t wallMicroseconds() {
    timeval now;
    gettimeofday(&now, nullptr);
    return static_cast<int64_t>(now.tv_sec) * 1000000 + now.tv_usec;
}

void BM_WaitOvershoot(benchmark::State& state) {
    const int ms = static_cast<int>(state.range(0));
    int64_t overshoot = 0;
    for (auto _ : state) {
        const int64_t start = wallMicroseconds();
        WaitProbe::Wait(ms);
        overshoot += wallMicroseconds() - start - ms * 1000;
    }
    state.counters["overshoot_us"] =
        benchmark::Counter(static_cast<double>(overshoot), benchmark::Counter::kAvgIterations);
}

}  // namespace

BENCHMARK(BM_WaitOvershoot)->Arg(0)->Arg(1)->Arg(5)->Unit(benchmark::kMicrosecond);

BENCHMARK_MAIN();
