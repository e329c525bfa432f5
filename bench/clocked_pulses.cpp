// Host-paced and clocked step pulses side by side on the simulated bench, at
// no USB latency and at 1,000 us per D2XX call (what a real chip costs): the
// table of BENCHMARKS.md. usb_clocked_pulses runs the same over the libftdi1
// backend on an emulated chip.
#include <chrono>
#include <cstdio>

#include "PulseModeComparison.h"
#include "ftsim/Bench.h"
#include "ftsim/BenchBuilder.h"
#include "ftsim/DeviceSetup.h"
#include "ftsim/StepperSetup.h"

int main() {
    pulse_mode_comparison::printHeader();
    for (const unsigned latency : {0u, 1000u}) {
        ftsim::Bench bench =
            ftsim::BenchBuilder()
                .callDelay(std::chrono::microseconds(latency))
                .device(ftsim::DeviceSetup().identity(3).stepper(
                    ftsim::StepperSetup().stepsPerRevolution(19520).clockwiseActiveHigh(false)))
                .build();
        pulse_mode_comparison::compare("simulator", latency,
                                       [&] { return bench.device(0).stepper().stepTimes(); });
    }
    return 0;
}
