#include "StepperModel.h"

#include "BoardPins.h"

namespace ftsim {

namespace {
bool rose(std::uint8_t before, std::uint8_t after, std::uint8_t bit) {
    return !(before & bit) && (after & bit);
}
bool changed(std::uint8_t before, std::uint8_t after, std::uint8_t bit) {
    return (before ^ after) & bit;
}
}  // namespace

StepperModel::StepperModel(const StepperSetup& stepperSetup) : setup(stepperSetup) {
    enabled = !setup.getEnableActiveHigh();  // all lines start low
}

void StepperModel::onLines(std::uint8_t before, std::uint8_t after, TimeNs time) {
    enabled = (bool(after & BoardPins::Stepper::MOTOR_ENABLE) == setup.getEnableActiveHigh());

    // Lines changed in one byte change together: the step edge sees the
    // enable and direction levels of that same byte.
    if (rose(before, after, BoardPins::Stepper::STEP)) {
        const double rate = setup.getMaxStepRate();
        if (!enabled) {
            ++lostDisabled;
        } else if (rate > 0.0 && m_hasStepped && double(time - m_lastStep) < 1e9 / rate) {
            ++lostFast;
        } else {
            const bool clockwise = (bool(after & BoardPins::Stepper::MOTOR_DIRECTION) ==
                                    setup.getClockwiseActiveHigh());
            position += clockwise ? 1 : -1;
            ++counted;
            stepTimes.push_back(time);
            m_lastStep = time;
            m_hasStepped = true;
        }
    }
    if (changed(before, after, BoardPins::Stepper::FOCUS)) {
        const bool high = after & BoardPins::Stepper::FOCUS;
        lineEvents.push_back(LineEvent{LineEvent::Focus, high, time});
        if (high)
            m_focusRoseAt = time;
    }
    if (changed(before, after, BoardPins::Stepper::SHUTTER)) {
        const bool high = after & BoardPins::Stepper::SHUTTER;
        lineEvents.push_back(LineEvent{LineEvent::Shutter, high, time});
        // Focus falling in the same byte still counts: it is high up to that instant.
        const bool focusHigh = (before & BoardPins::Stepper::FOCUS) && m_focusRoseAt >= 0;
        if (high && focusHigh)
            shots.push_back(Shot{m_focusRoseAt, time});
    }
}

const char* StepperModel::pinName(int bit) const {
    static const char* const names[8] = {"enable", "dir",     "step", "usb_enable",
                                         "focus",  "shutter", "d6",   "d7"};
    return names[bit & 7];
}

}  // namespace ftsim
