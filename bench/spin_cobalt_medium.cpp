// How long one full turn of a Cobalt Medium (19520 steps, speed 0) takes on
// the simulated bench, driven through the plug-in object as a host drives it.
// One turn takes some 20 s or more, so a single iteration is measured.
#include <benchmark/benchmark.h>

#include <chrono>
#include <thread>

#include "BenchHost.h"
#include "ftsim/Bench.h"
#include "ftsim/BenchBuilder.h"
#include "ftsim/DeviceSetup.h"
#include "ftsim/StepperSetup.h"

namespace {

void BM_CobaltMediumFullTurn(benchmark::State& state) {
    ftsim::Bench bench =
        ftsim::BenchBuilder()
            .traceEnabled(false)
            .device(ftsim::DeviceSetup().identity(3).stepper(
                ftsim::StepperSetup().stepsPerRevolution(19520).clockwiseActiveHigh(false)))
            .build();
    const BenchHost host;
    HxVorandelTurntableControl plugin;
    if (!BenchHost::openFirstAtFullSpeed(plugin)) {
        state.SkipWithError("the Cobalt Medium did not open");
        return;
    }
    ftsim::StepperView& board = bench.device(0).stepper();

    for (auto _ : state) {
        // At the origin, a target of 360 degrees is one whole turn.
        plugin.rotateDeviceToAngle(360.0f);
        while (plugin.IsTurntableRotating()) {
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        plugin.stopRotation();
    }
    state.counters["steps"] = static_cast<double>(board.pulsesCounted());
    state.counters["lost"] = static_cast<double>(board.pulsesLost());
    plugin.closeDevice();
}

BENCHMARK(BM_CobaltMediumFullTurn)->Iterations(1)->Unit(benchmark::kSecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
