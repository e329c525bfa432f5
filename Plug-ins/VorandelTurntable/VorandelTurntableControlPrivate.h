#ifndef VORANDEL_TURNTABLE_CONTROL_PRIVATE_H
#define VORANDEL_TURNTABLE_CONTROL_PRIVATE_H

#include <atomic>
#include <cstdint>
#include <mutex>

#include "HxVorandelTurntableControl.h"

/// Room for a per-platform extension; nothing on Linux defines or uses it.
struct HxVorandelTurntableControlPrivateExOS;

/// Private data of HxVorandelTurntableControl.
struct HxVorandelTurntableControl::VorandelTurntableControlPrivate {
    VorandelTurntableControlPrivate()
        : availableFtdiIndex(-1), availableTurntableId(-1), isHostAppSpinning(false) {}

    HxVorandelTurntableControlPrivateExOS* exOS = nullptr;
    /// D2XX list index of the device the latest discovery picked; -1: none.
    int16_t availableFtdiIndex;
    /// Catalogue row read from the picked device's identity record; -1: the
    /// device carries none (or no device was found yet).
    int16_t availableTurntableId;
    /// True while the host runs a stepped spin; read by the worker thread.
    std::atomic<bool> isHostAppSpinning;

    /// Set while closeDevice() stops a move, so that the end of that move is
    /// not reported: the host's callback could otherwise start another one.
    std::atomic<bool> isClosing{false};
    /// Held by the worker while it reports the end of a move to the host.
    /// Stopping takes it to wait out a report in progress, which may be
    /// starting the next move from the worker thread. Recursive because the
    /// host's callback may itself call stopAngleRotation().
    std::recursive_mutex reportMutex;
};

#endif  // VORANDEL_TURNTABLE_CONTROL_PRIVATE_H
