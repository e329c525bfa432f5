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

/// Runs `f(world)` with the bench lock held.
template <typename F>
auto withWorld(F f) {
    std::lock_guard<std::mutex> lock(worldMutex());
    return f(world());
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
