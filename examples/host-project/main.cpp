// The smallest host: create the plug-in object, assign the callback slots,
// ask which turntable is attached, and open it when there is one.
#include <cstdio>

#include "HxTurntableHardwarePrivate.h"
#include "HxVorandelTurntableControl.h"

int main() {
    // The slots are the plug-in's process-wide callbacks; a host assigns all
    // three before it opens a turntable.
    TurntableHardwarePrivate::hardwareOpenSucceeded = [](HxTurntableHardware*, size_t index,
                                                         bool canMoveCounterclockwise) {
        std::printf("opened row %zu%s\n", index,
                    canMoveCounterclockwise ? "" : " (turns clockwise only)");
    };
    TurntableHardwarePrivate::hardwareDisconnected = [](HxTurntableHardware* sender, size_t index) {
        std::printf("could not open row %zu: %s\n", index, sender->lastError().c_str());
    };
    TurntableHardwarePrivate::turntableRotationStopped = [](HxTurntableHardware*) {};

    HxVorandelTurntableControl plugin;
    const DevicesNamesList names = plugin.availableDevices();
    std::printf("host-project: discovery answered %zu name(s)\n", names.size());
    if (names.empty()) {
        std::printf("%s", plugin.lastError().c_str());
        return 0;
    }
    for (const HxString& name : names) {
        std::printf("  %s\n", name.c_str());
    }
    plugin.openDevice(0);
    if (plugin.isTurntableOpened()) {
        std::printf("%u counts per revolution\n", plugin.stepsPerRevolution());
        plugin.closeDevice();
    }
    return 0;
}
