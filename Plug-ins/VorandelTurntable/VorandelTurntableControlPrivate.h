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
///
/// Ownership and locking, in one place:
/// - `turn` is held for the whole of an open or a close (driver open or
///   close included, never host code), so the two take turns.
/// - `mutex` guards every other field and is held for field work only, never
///   across a call into a driver or into host code.
/// - A driver is published in `driver` once it is open. A close moves it to
///   `closed`. A closed driver leaves that list at the first open, close or
///   destruction after its last worker finished its report; whichever thread
///   then holds the last reference frees it (a host call holds one for its
///   own length), and its destructor only joins workers that are out. The
///   destructor waits for the workers of every driver in both places, so
///   reports never outlive this object whoever holds the drivers.
struct HxVorandelTurntableControl::VorandelTurntableControlPrivate {
    HxVorandelTurntableControlPrivateExOS* exOS = nullptr;

    std::mutex turn;
    std::mutex mutex;

    /// D2XX list index of the device the latest discovery picked; -1: none.
    int16_t availableFtdiIndex = -1;
    /// Catalogue row read from the picked device's identity record; -1: the
    /// device carries none (or no device was found yet).
    int16_t availableTurntableId = -1;
    /// True while the host runs a stepped spin.
    bool isHostAppSpinning = false;
    /// Set by the destructor: every later open fails.
    bool destroying = false;
    /// The open driver; every call holds a copy for its own length.
    std::shared_ptr<FTDIController> driver;
    /// Closed drivers whose workers may still be in their reports.
    std::vector<std::shared_ptr<FTDIController>> closed;
};

#endif  // VORANDEL_TURNTABLE_CONTROL_PRIVATE_H
