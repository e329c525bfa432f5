// One single-byte port write and a 1,000-step move on the simulated bench;
// usb_write_and_move measures the same on the libftdi1 backend.
#include "PortAndMoveTiming.h"
#include "ftsim/Bench.h"
#include "ftsim/BenchBuilder.h"
#include "ftsim/DeviceSetup.h"
#include "ftsim/StepperSetup.h"

namespace {

ftsim::Bench cobaltBench() {
    return ftsim::BenchBuilder()
        .traceEnabled(false)
        .device(ftsim::DeviceSetup().identity(3).stepper(
            ftsim::StepperSetup().stepsPerRevolution(3600).clockwiseActiveHigh(false)))
        .build();
}

void BM_SingleByteWrite(benchmark::State& state) {
    ftsim::Bench bench = cobaltBench();
    port_and_move_timing::singleByteWrite(state);
}

void BM_ThousandStepMove(benchmark::State& state) {
    ftsim::Bench bench = cobaltBench();
    port_and_move_timing::thousandStepMove(state);
}

}  // namespace

BENCHMARK(BM_SingleByteWrite);
BENCHMARK(BM_ThousandStepMove)->Iterations(4)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_MAIN();
