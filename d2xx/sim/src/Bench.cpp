#include "ftsim/Bench.h"

#include <cstdio>
#include <cstdlib>

#include "Locked.h"

namespace ftsim {

struct Bench::Impl {
    std::vector<std::unique_ptr<Device>> devices;  ///< views, made on first use
    Trace trace;
};

namespace {
/// Claims the world for a new Bench; a second live Bench is a programming error.
void claimWorld() {
    std::lock_guard<std::mutex> lock(worldMutex());
    if (benchAlive()) {
        std::fputs(
            "ftsim: a second Bench was constructed while one is alive; "
            "only one simulated bench can exist at a time\n",
            stderr);
        std::abort();
    }
    benchAlive() = true;
    replaceWorld();
}
}  // namespace

Bench::Bench() : m_impl(std::make_unique<Impl>()) {
    claimWorld();
}

Bench::Bench(const std::vector<DeviceSetup>& devices) : Bench() {
    for (const DeviceSetup& setup : devices)
        addDevice(setup);
}

Bench::~Bench() {
    if (!m_impl)
        return;
    std::lock_guard<std::mutex> lock(worldMutex());
    replaceWorld();
    benchAlive() = false;
}

Bench::Bench(Bench&& other) noexcept = default;

Bench& Bench::operator=(Bench&& other) noexcept {
    if (this != &other) {
        if (m_impl) {
            std::lock_guard<std::mutex> lock(worldMutex());
            replaceWorld();
            benchAlive() = false;
        }
        m_impl = std::move(other.m_impl);
    }
    return *this;
}

int Bench::addDevice(const DeviceSetup& setup) {
    return withWorld([&](World& w) {
        const int index = w.addDevice(setup.config());
        // The trace draws the new device from its levels now.
        w.trace.initialLines[index] = w.devices.back()->lines;
        return index;
    });
}

Device& Bench::device(int index) {
    std::lock_guard<std::mutex> lock(worldMutex());
    if (index < 0 || std::size_t(index) >= world().devices.size())
        throw std::out_of_range("ftsim: no device " + std::to_string(index) + " on the bench");
    auto& views = m_impl->devices;
    if (views.size() <= std::size_t(index))
        views.resize(std::size_t(index) + 1);
    if (!views[std::size_t(index)])
        views[std::size_t(index)] = std::make_unique<Device>(index);
    return *views[std::size_t(index)];
}

std::size_t Bench::deviceCount() const {
    return withWorld([](World& w) { return w.devices.size(); });
}

Trace& Bench::trace() {
    return m_impl->trace;
}

void Bench::setTraceEnabled(bool enabled) {
    m_impl->trace.setEnabled(enabled);
}

void Bench::setCallDelay(std::chrono::microseconds delay) {
    withWorld([&](World& w) {
        w.callDelayNs = std::chrono::duration_cast<std::chrono::nanoseconds>(delay).count();
    });
}

void Bench::setWriteDelay(std::chrono::microseconds delay) {
    withWorld([&](World& w) {
        w.writeDelayNs = std::chrono::duration_cast<std::chrono::nanoseconds>(delay).count();
    });
}

TimeNs Bench::startTime() const {
    return withWorld([](World& w) { return w.start; });
}

}  // namespace ftsim
