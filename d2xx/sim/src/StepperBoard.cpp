#include "ftsim/StepperBoard.h"

#include "Locked.h"

namespace ftsim {

namespace {
template <typename F>
auto onStepper(int device, F f) {
    return withDevice(device, [&](SimDevice& d, World&) { return f(stepperOf(d)); });
}
}  // namespace

std::int64_t StepperBoard::position() const {
    return onStepper(m_device, [](StepperModel& s) { return s.position; });
}

std::uint64_t StepperBoard::pulsesCounted() const {
    return onStepper(m_device, [](StepperModel& s) { return s.counted; });
}

std::uint64_t StepperBoard::pulsesLost() const {
    return onStepper(m_device, [](StepperModel& s) { return s.lostDisabled + s.lostFast; });
}

std::uint64_t StepperBoard::lostWhileDisabled() const {
    return onStepper(m_device, [](StepperModel& s) { return s.lostDisabled; });
}

std::uint64_t StepperBoard::lostTooFast() const {
    return onStepper(m_device, [](StepperModel& s) { return s.lostFast; });
}

std::vector<TimeNs> StepperBoard::stepTimes() const {
    return onStepper(m_device, [](StepperModel& s) { return s.stepTimes; });
}

void StepperBoard::setMaxStepRate(double stepsPerSecond) {
    onStepper(m_device, [&](StepperModel& s) { s.setup.maxStepRate(stepsPerSecond); });
}

double StepperBoard::maxStepRate() const {
    return onStepper(m_device, [](StepperModel& s) { return s.setup.getMaxStepRate(); });
}

unsigned StepperBoard::stepsPerRevolution() const {
    return onStepper(m_device, [](StepperModel& s) { return s.setup.getStepsPerRevolution(); });
}

bool StepperBoard::enableActiveHigh() const {
    return onStepper(m_device, [](StepperModel& s) { return s.setup.getEnableActiveHigh(); });
}

bool StepperBoard::clockwiseActiveHigh() const {
    return onStepper(m_device, [](StepperModel& s) { return s.setup.getClockwiseActiveHigh(); });
}

bool StepperBoard::enabled() const {
    return onStepper(m_device, [](StepperModel& s) { return s.enabled; });
}

std::vector<LineEvent> StepperBoard::lineEvents() const {
    return onStepper(m_device, [](StepperModel& s) { return s.lineEvents; });
}

unsigned StepperBoard::shots() const {
    return onStepper(m_device, [](StepperModel& s) { return unsigned(s.shots.size()); });
}

std::vector<Shot> StepperBoard::shotTimes() const {
    return onStepper(m_device, [](StepperModel& s) { return s.shots; });
}

}  // namespace ftsim
