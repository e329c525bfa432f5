#ifndef HX_TURNTABLE_HARDWARE_PRIVATE_H
#define HX_TURNTABLE_HARDWARE_PRIVATE_H

#include <cstddef>
#include <functional>
#include <limits>

#include "HxExport.h"

class HxTurntableHardware;

/// The turntable at `index` was opened; the flag tells whether it can turn counter-clockwise.
typedef std::function<void(HxTurntableHardware* sender, size_t index, bool canMoveCounterclockwise)>
    HxHardwareOpenSucceeded;
/// Opening the turntable at `index` failed; the sender's lastError() says why.
typedef std::function<void(HxTurntableHardware* sender, size_t index)> HxHardwareDisconnected;
/// The current rotation has ended. Runs on the plug-in's rotation worker thread.
typedef std::function<void(HxTurntableHardware* sender)> HxTurntableRotationStopped;

/// Private record of HxTurntableHardware. The host assigns the three
/// process-wide callback slots directly, before it opens a turntable, and
/// leaves them alone while one is open.
struct TurntableHardwarePrivate {
    /// The turntable the host chose; the largest size_t while none is chosen.
    size_t currentTurntableIndex = std::numeric_limits<size_t>::max();

    HX_EXPORT static HxHardwareOpenSucceeded hardwareOpenSucceeded;
    HX_EXPORT static HxHardwareDisconnected hardwareDisconnected;
    HX_EXPORT static HxTurntableRotationStopped turntableRotationStopped;
};

#endif  // HX_TURNTABLE_HARDWARE_PRIVATE_H
