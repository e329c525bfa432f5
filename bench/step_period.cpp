// The step period of the stepper driver on the simulated bench, at speed 0 and
// 5 ms: one counted move of a few hundred steps per run, its period taken
// from the bench's times of the counted steps (median and worst).
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <thread>
#include <vector>

#include "HxStepperMotor.h"
#include "ftsim/Bench.h"
#include "ftsim/BenchBuilder.h"
#include "ftsim/Device.h"
#include "ftsim/DeviceSetup.h"
#include "ftsim/StepperSetup.h"

namespace {

constexpr int STEPS = 300;

void BM_StepPeriod(benchmark::State& state) {
    const unsigned speed = static_cast<unsigned>(state.range(0));
    std::vector<double> periodsMs;

    for (auto _ : state) {
        ftsim::Bench bench =
            ftsim::BenchBuilder()
                .traceEnabled(false)
                .device(ftsim::DeviceSetup().stepper(ftsim::StepperSetup().stepsPerRevolution(200)))
                .build();
        HxStepperMotor stepper;
        stepper.SetCountsPerRevolution(200);
        stepper.SetRotationSpeed(speed);
        if (!stepper.openDevice(0, nullptr)) {
            state.SkipWithError("the bench's device did not open");
            return;
        }
        stepper.SetRotationIncrementInCounts(STEPS);

        const auto start = std::chrono::steady_clock::now();
        stepper.startRotation();
        while (stepper.IsTurntableRotating())
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        stepper.stopRotation();
        state.SetIterationTime(
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());

        const std::vector<ftsim::TimeNs> steps = bench.device(0).stepper().stepTimes();
        for (std::size_t i = 1; i < steps.size(); ++i)
            periodsMs.push_back(static_cast<double>(steps[i] - steps[i - 1]) / 1e6);
    }

    if (periodsMs.empty())
        return;
    std::sort(periodsMs.begin(), periodsMs.end());
    state.counters["steps"] = static_cast<double>(periodsMs.size() + 1);
    state.counters["median_period_ms"] = periodsMs[periodsMs.size() / 2];
    state.counters["worst_period_ms"] = periodsMs.back();
    state.counters["best_period_ms"] = periodsMs.front();
}

BENCHMARK(BM_StepPeriod)
    ->ArgName("speed_ms")
    ->Arg(0)
    ->Arg(5)
    ->Iterations(1)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
