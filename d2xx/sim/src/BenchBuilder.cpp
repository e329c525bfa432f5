#include "ftsim/BenchBuilder.h"

#include "ftsim/Bench.h"

namespace ftsim {

BenchBuilder& BenchBuilder::device(const DeviceSetup& setup) {
    m_devices.push_back(setup);
    return *this;
}

BenchBuilder& BenchBuilder::callDelay(std::chrono::microseconds delay) {
    m_callDelay = delay;
    return *this;
}

BenchBuilder& BenchBuilder::writeDelay(std::chrono::microseconds delay) {
    m_writeDelay = delay;
    return *this;
}

BenchBuilder& BenchBuilder::traceEnabled(bool enabled) {
    m_traceEnabled = enabled;
    return *this;
}

Bench BenchBuilder::build() const {
    Bench bench(m_devices);
    bench.setCallDelay(m_callDelay);
    bench.setWriteDelay(m_writeDelay);
    bench.setTraceEnabled(m_traceEnabled);
    return bench;
}

std::unique_ptr<Bench> BenchBuilder::buildUnique() const {
    return std::make_unique<Bench>(build());
}

}  // namespace ftsim
