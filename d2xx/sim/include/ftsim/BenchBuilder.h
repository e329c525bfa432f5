// Fluent construction of a Bench.
#ifndef FTSIM_BENCHBUILDER_H
#define FTSIM_BENCHBUILDER_H

#include <chrono>
#include <memory>
#include <vector>
#include "ftsim/Export.h"

#include "ftsim/DeviceSetup.h"

namespace ftsim {

class Bench;

/// Collects devices and options, then builds the Bench:
///   auto bench = BenchBuilder().device(DeviceSetup().identity(3).stepper(StepperSetup())).build();
class FTSIM_API BenchBuilder {
public:
    BenchBuilder& device(const DeviceSetup& setup);
    BenchBuilder& callDelay(std::chrono::microseconds delay);
    BenchBuilder& writeDelay(std::chrono::microseconds delay);
    BenchBuilder& traceEnabled(bool enabled);

    Bench build() const;
    std::unique_ptr<Bench> buildUnique() const;

private:
    std::vector<DeviceSetup> m_devices;
    std::chrono::microseconds m_callDelay{0};
    std::chrono::microseconds m_writeDelay{0};
    bool m_traceEnabled = true;
};

}  // namespace ftsim

#endif  // FTSIM_BENCHBUILDER_H
