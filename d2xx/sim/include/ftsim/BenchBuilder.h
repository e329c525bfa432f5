// Fluent construction of a Bench.
#ifndef FTSIM_BENCHBUILDER_H
#define FTSIM_BENCHBUILDER_H

#include <chrono>
#include <memory>
#include <vector>
#include "ftsim/Export.h"

#include "ftsim/DeviceSpec.h"

namespace ftsim {

class Bench;

/// Collects devices and options, then builds the Bench:
///   auto bench = BenchBuilder().device(DeviceSpec().identity(3).stepper(StepperSpec())).build();
class FTSIM_API BenchBuilder {
public:
    BenchBuilder& device(const DeviceSpec& spec);
    BenchBuilder& callDelay(std::chrono::microseconds delay);
    BenchBuilder& writeDelay(std::chrono::microseconds delay);
    BenchBuilder& traceEnabled(bool enabled);

    Bench build() const;
    std::unique_ptr<Bench> buildUnique() const;

private:
    std::vector<DeviceSpec> m_devices;
    std::chrono::microseconds m_callDelay{0};
    std::chrono::microseconds m_writeDelay{0};
    bool m_traceEnabled = true;
};

}  // namespace ftsim

#endif  // FTSIM_BENCHBUILDER_H
