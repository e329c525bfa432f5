#include "ftsim/StepperView.h"

#include "Locked.h"

namespace ftsim {

namespace {
template <typename F>
auto onStepper(int device, F f) {
    return observeDevice(device, [&](SimDevice& d, World&) { return f(stepperOf(d)); });
}
}  // namespace

std::int64_t StepperView::position() const {
    return onStepper(m_device, [](StepperModel& s) { return s.position; });
}

std::uint64_t StepperView::pulsesCounted() const {
    return onStepper(m_device, [](StepperModel& s) { return s.counted; });
}

std::uint64_t StepperView::pulsesLost() const {
    return onStepper(m_device, [](StepperModel& s) { return s.lostDisabled + s.lostFast; });
}

std::uint64_t StepperView::lostWhileDisabled() const {
    return onStepper(m_device, [](StepperModel& s) { return s.lostDisabled; });
}

std::uint64_t StepperView::lostTooFast() const {
    return onStepper(m_device, [](StepperModel& s) { return s.lostFast; });
}

std::vector<TimeNs> StepperView::stepTimes() const {
    return onStepper(m_device, [](StepperModel& s) { return s.stepTimes; });
}

void StepperView::setMaxStepRate(double stepsPerSecond) {
    onStepper(m_device, [&](StepperModel& s) { s.setup.maxStepRate(stepsPerSecond); });
}

double StepperView::maxStepRate() const {
    return onStepper(m_device, [](StepperModel& s) { return s.setup.getMaxStepRate(); });
}

unsigned StepperView::stepsPerRevolution() const {
    return onStepper(m_device, [](StepperModel& s) { return s.setup.getStepsPerRevolution(); });
}

bool StepperView::enableActiveHigh() const {
    return onStepper(m_device, [](StepperModel& s) { return s.setup.getEnableActiveHigh(); });
}

bool StepperView::clockwiseActiveHigh() const {
    return onStepper(m_device, [](StepperModel& s) { return s.setup.getClockwiseActiveHigh(); });
}

bool StepperView::enabled() const {
    return onStepper(m_device, [](StepperModel& s) { return s.enabled; });
}

std::vector<LineEvent> StepperView::lineEvents() const {
    return onStepper(m_device, [](StepperModel& s) { return s.lineEvents; });
}

unsigned StepperView::shots() const {
    return onStepper(m_device, [](StepperModel& s) { return unsigned(s.shots.size()); });
}

std::vector<Shot> StepperView::shotTimes() const {
    return onStepper(m_device, [](StepperModel& s) { return s.shots; });
}

}  // namespace ftsim
