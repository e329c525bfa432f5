// Test-side view of a simulated stepper board.
#ifndef FTSIM_STEPPERVIEW_H
#define FTSIM_STEPPERVIEW_H

#include <cstdint>
#include <vector>
#include "ftsim/Export.h"

#include "ftsim/Time.h"

namespace ftsim {

/// A level change of the focus or shutter line.
struct LineEvent {
    enum Line { Focus, Shutter } line;
    bool level;
    TimeNs time;
};

/// A shot: the shutter rising while focus is high.
struct Shot {
    TimeNs focusRoseAt;    ///< when focus last went high before the shot
    TimeNs shutterRoseAt;  ///< the shutter's rising edge
};

/// View of the stepper board of one device. A step is a rising edge of bit 2
/// while bit 0 is at the enable level; bit 1 at that moment gives the direction
/// (+1 clockwise). Every accessor takes the bench lock; the view stays valid as
/// long as its bench.
class FTSIM_API StepperView {
public:
    explicit StepperView(int device) : m_device(device) {}

    /// Position in steps, clockwise positive, since the bench was built.
    std::int64_t position() const;
    /// Steps the motor took (in either direction).
    std::uint64_t pulsesCounted() const;
    /// Rising edges that moved nothing: while disabled, or too fast.
    std::uint64_t pulsesLost() const;
    std::uint64_t lostWhileDisabled() const;
    std::uint64_t lostTooFast() const;
    /// Times of the counted steps, in order.
    std::vector<TimeNs> stepTimes() const;
    /// Sets the fastest step rate the motor follows (0: no limit).
    void setMaxStepRate(double stepsPerSecond);
    double maxStepRate() const;
    unsigned stepsPerRevolution() const;
    bool enableActiveHigh() const;
    bool clockwiseActiveHigh() const;
    /// Whether the enable line is at its active level now.
    bool enabled() const;
    /// Focus and shutter level changes with their times.
    std::vector<LineEvent> lineEvents() const;
    unsigned shots() const;
    std::vector<Shot> shotTimes() const;

private:
    int m_device;
};

}  // namespace ftsim

#endif  // FTSIM_STEPPERVIEW_H
