// Locked access to the world for the test-side views.
#ifndef FTSIM_SRC_LOCKED_H
#define FTSIM_SRC_LOCKED_H

#include <mutex>
#include <stdexcept>
#include <string>

#include "DcModel.h"
#include "StepperModel.h"
#include "World.h"

namespace ftsim {

/// Runs `f(world)` with the bench lock held, the world brought up to now.
template <typename F>
auto withWorld(F f) {
    std::lock_guard<std::mutex> lock(worldMutex());
    World& w = world();
    w.runSchedule(now());
    return f(w);
}

/// What a test reads of the pins and the boards, it reads once the bytes the
/// chips held at the call have reached the pins: a write returns while its
/// bytes still play out, as on a real chip, and an observation made right
/// after it sees all of them (and none that a later purge or unplug drops).
inline void awaitHeldBytes() {
    TimeNs until = 0;
    {
        std::lock_guard<std::mutex> lock(worldMutex());
        World& w = world();
        const TimeNs time = now();
        w.runSchedule(time);
        until = w.drainedAt(time);
    }
    sleepUntil(until);
}

/// Runs `f(device)` with the bench lock held; throws std::out_of_range for an
/// unknown index.
template <typename F>
auto withDevice(int index, F f) {
    std::lock_guard<std::mutex> lock(worldMutex());
    World& w = world();
    w.runSchedule(now());
    SimDevice* device = w.deviceAt(index);
    if (!device)
        throw std::out_of_range("ftsim: no device " + std::to_string(index) + " on the bench");
    return f(*device, w);
}

/// withWorld once the bytes held at the call have reached the pins.
template <typename F>
auto observeWorld(F f) {
    awaitHeldBytes();
    return withWorld(f);
}

/// withDevice once the bytes held at the call have reached the pins.
template <typename F>
auto observeDevice(int index, F f) {
    awaitHeldBytes();
    return withDevice(index, f);
}

inline StepperModel& stepperOf(SimDevice& device) {
    if (device.kind != BoardKind::Stepper)
        throw std::logic_error("ftsim: device " + std::to_string(device.index) +
                               " has no stepper board");
    return static_cast<StepperModel&>(*device.board);
}

inline DcModel& dcOf(SimDevice& device) {
    if (device.kind != BoardKind::Dc)
        throw std::logic_error("ftsim: device " + std::to_string(device.index) +
                               " has no DC board");
    return static_cast<DcModel&>(*device.board);
}

}  // namespace ftsim

#endif  // FTSIM_SRC_LOCKED_H
