#ifndef VORANDEL_TURNTABLE_CONTROL_PRIVATE_H
#define VORANDEL_TURNTABLE_CONTROL_PRIVATE_H

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

#include "FTDIController.h"
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

    /// Guards the three fields below (and the public mirror
    /// m_ftdichipController); held for pointer work only, never across a
    /// call into a driver.
    std::mutex driverMutex;
    /// The open driver; every call holds a copy for its own length.
    std::shared_ptr<FTDIController> driver;
    /// Closed drivers not released yet: some worker of theirs was still in
    /// its report, or some call still held them.
    std::vector<std::shared_ptr<FTDIController>> closedDrivers;
};

#endif  // VORANDEL_TURNTABLE_CONTROL_PRIVATE_H
