// The process-wide simulated world behind the D2XX functions.
#ifndef FTSIM_SRC_WORLD_H
#define FTSIM_SRC_WORLD_H

#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

#include "SimDevice.h"
#include "TraceLog.h"
#include "ftsim/DeviceConfig.h"

namespace ftsim {

/// An open handle: the token the caller holds, mapped to its device.
struct HandleEntry {
    int device;
    bool dead;  ///< its device was unplugged: every call gives FT_IO_ERROR
};

/// Devices, handles and trace. Everything is reached under worldMutex().
class World {
public:
    World();

    int addDevice(const DeviceConfig& config);
    /// Brings every device up to `time`: bytes due at the pins reach them,
    /// unplugs scheduled for `time` or earlier happen.
    void runSchedule(TimeNs time);
    /// Pulls `device` out at `time` (brought up to then): its handles die and
    /// its transmit buffer is lost.
    void unplug(int device, TimeNs time);
    /// When every byte the chips hold now has reached the pins; `time` when
    /// none is held.
    TimeNs drainedAt(TimeNs time) const;
    /// Bench indexes of the devices in the D2XX list, in list order.
    std::vector<int> listed() const;
    /// A fresh handle token for `device`. Tokens are never reused, so a stale
    /// handle from an earlier world or a closed device is always unknown.
    FT_HANDLE newHandle(int device);
    SimDevice* deviceAt(int index);

    TimeNs start;
    std::vector<std::unique_ptr<SimDevice>> devices;
    std::unordered_map<std::uintptr_t, HandleEntry> handles;
    TraceLog trace;
    std::int64_t callDelayNs = 0;
    std::int64_t writeDelayNs = 0;
    DWORD listedCount = 0;  ///< devices counted by the last FT_CreateDeviceInfoList
    /// VCD files (device, path) to write when the program ends.
    std::vector<std::pair<int, std::string>> exitTraces;
};

/// The lock around the world.
std::mutex& worldMutex();
/// The current world, for the control interface: once it has been reached
/// this way the environment no longer decides it. Call with worldMutex() held.
World& world();
/// The current world, for the D2XX functions: the first call of a program
/// that never set the world up builds it from FTSIM_DEVICES. Call with
/// worldMutex() held.
World& d2xxWorld();
/// Installs a fresh, empty world; call with worldMutex() held.
void replaceWorld();
/// Whether a C++ Bench owns the world; call with worldMutex() held.
bool& benchAlive();

}  // namespace ftsim

#endif  // FTSIM_SRC_WORLD_H
