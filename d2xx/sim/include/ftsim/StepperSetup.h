// Configuration of a simulated stepper board.
#ifndef FTSIM_STEPPERSETUP_H
#define FTSIM_STEPPERSETUP_H

namespace ftsim {

/// The stepper turntable behind a device: pin 0 enable, 1 direction, 2 step,
/// 3 USB enable, 4 focus, 5 shutter. The polarities belong to the turntable:
/// set them to match the model the driver is preset for.
class StepperSetup {
public:
    StepperSetup& stepsPerRevolution(unsigned steps) {
        m_stepsPerRevolution = steps;
        return *this;
    }
    /// Level of the enable line (bit 0) at which the driver takes steps.
    StepperSetup& enableActiveHigh(bool high) {
        m_enableActiveHigh = high;
        return *this;
    }
    /// Level of the direction line (bit 1) that turns clockwise (+1 step).
    StepperSetup& clockwiseActiveHigh(bool high) {
        m_clockwiseActiveHigh = high;
        return *this;
    }
    /// Fastest step rate the motor follows; rising edges closer than 1/rate to
    /// the previous counted step are lost. 0 (the default): no limit.
    StepperSetup& maxStepRate(double stepsPerSecond) {
        m_maxStepRate = stepsPerSecond;
        return *this;
    }

    unsigned getStepsPerRevolution() const { return m_stepsPerRevolution; }
    bool getEnableActiveHigh() const { return m_enableActiveHigh; }
    bool getClockwiseActiveHigh() const { return m_clockwiseActiveHigh; }
    double getMaxStepRate() const { return m_maxStepRate; }

private:
    unsigned m_stepsPerRevolution = 19520;
    bool m_enableActiveHigh = true;
    bool m_clockwiseActiveHigh = true;
    double m_maxStepRate = 0.0;
};

}  // namespace ftsim

#endif  // FTSIM_STEPPERSETUP_H
