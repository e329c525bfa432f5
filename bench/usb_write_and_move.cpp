// One single-byte port write and a 1,000-step move through the libftdi1
// backend on an FT245R emulated at the USB level (run it under
// tests/usb/run-under-umockdev.sh); sim_write_and_move measures the same on
// the simulated bench.
#include "PortAndMoveTiming.h"
#include "UsbTestbed.h"

namespace {

ChipSetup cobaltChip() {
    return ChipSetup()
        .withStepper(ftsim::StepperSetup().stepsPerRevolution(3600).clockwiseActiveHigh(false))
        .identity(3);
}

void BM_SingleByteWrite(benchmark::State& state) {
    UsbTestbed::instance().plug(cobaltChip());
    port_and_move_timing::singleByteWrite(state);
    UsbTestbed::instance().unplugAll();
}

void BM_ThousandStepMove(benchmark::State& state) {
    UsbTestbed::instance().plug(cobaltChip());
    port_and_move_timing::thousandStepMove(state);
    UsbTestbed::instance().unplugAll();
}

}  // namespace

BENCHMARK(BM_SingleByteWrite)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_ThousandStepMove)->Iterations(4)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_MAIN();
