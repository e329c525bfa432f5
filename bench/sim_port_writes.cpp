// Cost of the simulated port: how many purge-then-write pairs per second the
// bench answers, with and without its trace. A full stepper turn is some
// 19,520 steps, 80,000 D2XX calls.
#include <benchmark/benchmark.h>

#include "ftd2xx.h"
#include "ftsim/Bench.h"

namespace {

void stepPulses(benchmark::State& state) {
    auto bench = ftsim::BenchBuilder()
                     .device(ftsim::DeviceSetup().stepper(ftsim::StepperSetup()))
                     .traceEnabled(state.range(0) != 0)
                     .build();
    FT_HANDLE handle = nullptr;
    FT_Open(0, &handle);
    FT_SetBitMode(handle, 0xFF, FT_BITMODE_ASYNC_BITBANG);
    unsigned char on = 0x07, off = 0x03;
    DWORD written = 0;
    for (auto _ : state) {
        FT_Purge(handle, FT_PURGE_TX);
        FT_Write(handle, &on, 1, &written);
        FT_Purge(handle, FT_PURGE_TX);
        FT_Write(handle, &off, 1, &written);
    }
    state.SetItemsProcessed(state.iterations());
    state.counters["position"] = double(bench.device(0).stepper().position());
    FT_Close(handle);
}

}  // namespace

BENCHMARK(stepPulses)->Arg(1)->Arg(0)->ArgName("trace");
BENCHMARK_MAIN();
