// Host-paced and clocked step pulses side by side through the plug-in's
// shared library on the libftdi1 backend and an FT245R emulated at the USB
// level (run it under tests/usb/run-under-umockdev.sh); clocked_pulses runs
// the same on the simulated bench.
#include "PulseModeComparison.h"
#include "UsbTestbed.h"

int main() {
    const auto chip = UsbTestbed::instance().plug(
        ChipSetup()
            .withStepper(ftsim::StepperSetup().stepsPerRevolution(19520).clockwiseActiveHigh(false))
            .identity(3));
    pulse_mode_comparison::printHeader();
    pulse_mode_comparison::compare("emulated USB chip, libftdi1", 0,
                                   [&] { return chip->snapshot().stepTimes; });
    UsbTestbed::instance().unplugAll();
    return 0;
}
