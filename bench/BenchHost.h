// What a benchmark needs of a host to drive the plug-in object: callback
// slots that accept every report, and the first table opened at full speed.
#ifndef BENCH_BENCHHOST_H
#define BENCH_BENCHHOST_H

#include <cstddef>

#include "HxTurntableHardwarePrivate.h"
#include "HxVorandelTurntableControl.h"

/// Installs report slots that ignore what they hear, for the lifetime of
/// the object; opens list position 0 as a host would.
class BenchHost {
public:
    BenchHost() {
        TurntableHardwarePrivate::hardwareOpenSucceeded = [](HxTurntableHardware*, size_t, bool) {};
        TurntableHardwarePrivate::hardwareDisconnected = [](HxTurntableHardware*, size_t) {};
    }
    ~BenchHost() {
        TurntableHardwarePrivate::hardwareOpenSucceeded = nullptr;
        TurntableHardwarePrivate::hardwareDisconnected = nullptr;
    }
    BenchHost(const BenchHost&) = delete;
    BenchHost& operator=(const BenchHost&) = delete;

    /// Discovery, then the first table opened and set to full speed; false
    /// when it did not open.
    static bool openFirstAtFullSpeed(HxVorandelTurntableControl& plugin) {
        plugin.availableDevices();
        plugin.openDevice(0);
        if (!plugin.isTurntableOpened()) {
            return false;
        }
        plugin.SetRotationSpeed(0);
        return true;
    }
};

#endif  // BENCH_BENCHHOST_H
