#include "World.h"

#include <algorithm>

#include "TableInstaller.h"
#include "ftsim/Time.h"

namespace ftsim {

namespace {
std::unique_ptr<World>& worldSlot() {
    static std::unique_ptr<World> slot = std::make_unique<World>();
    return slot;
}
std::uintptr_t g_nextToken = 0x7f5100;
/// Whether the world's content is decided: set up through the control
/// interface, or taken from the environment.
bool g_settled = false;
}  // namespace

std::mutex& worldMutex() {
    static std::mutex mutex;
    return mutex;
}

World& world() {
    g_settled = true;
    return *worldSlot();
}

World& d2xxWorld() {
    if (!g_settled) {
        g_settled = true;
        TableInstaller::installFromEnvironment(*worldSlot());
    }
    return *worldSlot();
}

void replaceWorld() {
    g_settled = true;
    worldSlot() = std::make_unique<World>();
}

bool& benchAlive() {
    static bool alive = false;
    return alive;
}

World::World() : start(now()) {
    trace.since = start;
}

int World::addDevice(const DeviceConfig& config) {
    const int index = int(devices.size());
    devices.push_back(std::make_unique<SimDevice>(index, config, now()));
    return index;
}

void World::runSchedule(TimeNs time) {
    for (auto& device : devices) {
        if (device->unplugAt >= 0 && time >= device->unplugAt) {
            const TimeNs at = device->unplugAt;
            device->unplugAt = -1;
            unplug(device->index, at);
        }
        device->advance(time, trace);
    }
}

void World::unplug(int device, TimeNs time) {
    SimDevice& dev = *devices.at(std::size_t(device));
    dev.advance(time, trace);
    dev.clock.clear();
    dev.unpluggedAt = time;
    dev.plugged = false;
    dev.openHere = false;
    dev.writesBeforeUnplug = 0;
    for (auto& entry : handles)
        if (entry.second.device == device)
            entry.second.dead = true;
}

TimeNs World::drainedAt(TimeNs time) const {
    TimeNs drained = time;
    for (const auto& device : devices)
        drained = std::max(drained, device->clock.drainedAt(time));
    return drained;
}

std::vector<int> World::listed() const {
    std::vector<int> result;
    for (const auto& device : devices)
        if (device->plugged)
            result.push_back(device->index);
    return result;
}

FT_HANDLE World::newHandle(int device) {
    const std::uintptr_t token = g_nextToken;
    g_nextToken += 0x10;
    handles[token] = HandleEntry{device, false};
    return reinterpret_cast<FT_HANDLE>(token);
}

SimDevice* World::deviceAt(int index) {
    if (index < 0 || std::size_t(index) >= devices.size())
        return nullptr;
    return devices[std::size_t(index)].get();
}

}  // namespace ftsim
