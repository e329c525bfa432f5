// Helpers shared by the motor-driver tests: a bench per test, the step pulses
// and port bytes read back from its trace, and a counter of the host's
// rotation-stopped reports.
#ifndef TESTS_DRIVERS_DRIVER_BENCH_H
#define TESTS_DRIVERS_DRIVER_BENCH_H

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <thread>
#include <vector>

#include "FTDIController.h"
#include "FTDIControllerTestAccess.h"
#include "HxTurntableHardwarePrivate.h"
#include "HxVorandelTurntableControl.h"
#include "Waiting.h"
#include "ftsim/Bench.h"
#include "ftsim/BenchBuilder.h"
#include "ftsim/DcSetup.h"
#include "ftsim/DeviceSetup.h"
#include "ftsim/StepperSetup.h"

namespace drivertest {

constexpr std::int64_t NS_PER_MS = 1000000;
// The driver and the bench both time on the monotonic clock, but read it at
// slightly different points of a call; lower bounds allow for that.
constexpr std::int64_t CLOCK_SLACK_NS = 50000;

inline std::unique_ptr<ftsim::Bench> stepperBench(const ftsim::StepperSetup& setup) {
    return ftsim::BenchBuilder().device(ftsim::DeviceSetup().stepper(setup)).buildUnique();
}

inline std::unique_ptr<ftsim::Bench> dcBench(const ftsim::DcSetup& setup) {
    return ftsim::BenchBuilder().device(ftsim::DeviceSetup().dcBoard(setup)).buildUnique();
}

/// The driver under test, wired to a control object; the bookkept angles and
/// the open handle are read through FTDIControllerTestAccess.
template <class Driver>
class Probe : public Driver {
public:
    /// The end of every move is reported to `control` (none when null), as
    /// the control object wires its own drivers.
    explicit Probe(HxVorandelTurntableControl* control)
        : Driver(control == nullptr ? std::function<void()>()
                                    : [control] { control->turntableRotationStoppedHelper(); }) {}
};

/// One high pulse of a port bit, from the byte that raised it to the one that
/// lowered it (fall is -1 while it is still high).
struct Pulse {
    ftsim::TimeNs rise;
    ftsim::TimeNs fall;
};

/// The high pulses of `mask` in a run of port writes, the bit low before them.
inline std::vector<Pulse> pulsesOf(const std::vector<ftsim::PortWrite>& writes, std::uint8_t mask) {
    std::vector<Pulse> pulses;
    bool high = false;
    for (const ftsim::PortWrite& write : writes) {
        const bool now = (write.byte & mask) != 0;
        if (now && !high)
            pulses.push_back(Pulse{write.time, -1});
        else if (!now && high)
            pulses.back().fall = write.time;
        high = now;
    }
    return pulses;
}

inline std::vector<std::uint8_t> bytesOf(const std::vector<ftsim::PortWrite>& writes) {
    std::vector<std::uint8_t> bytes;
    for (const ftsim::PortWrite& write : writes)
        bytes.push_back(write.byte);
    return bytes;
}

using ttsupport::waitUntil;

/// Waits until the driver's move has ended by itself, then joins its worker
/// (stopRotation of an ended move only releases it), so that the end-of-move
/// steps are complete when this returns true.
inline bool waitForMoveEnd(FTDIController& driver,
                           std::chrono::milliseconds timeout = std::chrono::seconds(20)) {
    if (!waitUntil([&] { return !driver.IsTurntableRotating(); }, timeout))
        return false;
    driver.stopRotation();
    return true;
}

/// A control object in a host spin, counting the rotation-stopped reports
/// that reach the host's slot. Only one may live at a time (the slot is
/// process-wide); the drivers under test must be gone before it.
class StopReports {
public:
    StopReports() {
        TurntableHardwarePrivate::turntableRotationStopped = [this](HxTurntableHardware* sender) {
            if (sender == &m_control)
                ++m_count;
            else
                ++m_foreign;
        };
        m_control.stepsSpinningWillStart();
    }
    ~StopReports() { TurntableHardwarePrivate::turntableRotationStopped = nullptr; }

    StopReports(const StopReports&) = delete;
    StopReports& operator=(const StopReports&) = delete;

    HxVorandelTurntableControl* control() { return &m_control; }
    int count() const { return m_count.load(); }
    int foreign() const { return m_foreign.load(); }

private:
    HxVorandelTurntableControl m_control;
    std::atomic<int> m_count{0};
    std::atomic<int> m_foreign{0};
};

}  // namespace drivertest

#endif  // TESTS_DRIVERS_DRIVER_BENCH_H
