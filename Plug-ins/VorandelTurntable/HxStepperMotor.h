#ifndef HX_STEPPER_MOTOR_H
#define HX_STEPPER_MOTOR_H

#include <cstdint>
#include <functional>
#include <string>

#include "FTDIController.h"

/// Driver of the stepper board: enable, direction and step lines, the board's
/// USB-enable line and the camera's focus and shutter-release lines, all
/// outputs of the data port. Every step pulse is timed by the worker thread
/// itself, one port write per edge.
class HxStepperMotor : public FTDIController {
public:
    /// moveEndReport is called at the end of every move that is not
    /// cancelled, on the worker thread (the owner's way to hear of it); empty:
    /// no end is reported.
    explicit HxStepperMotor(std::function<void()> moveEndReport = {});

    /// Stops and joins a move that still runs, so that no worker outlives the
    /// driver it uses. The owner normally stops the move itself before.
    ~HxStepperMotor() override;


    /// Fires the camera: focus high, 500 ms, shutter high, 500 ms, then both
    /// low in one write. Blocks for at least 1000 ms and returns true. The
    /// sequence and a move exclude each other (every step pulse rewrites the
    /// whole port from its move's snapshot): while a move runs, or without a
    /// device, it refuses with false and writes nothing, and starts are
    /// refused while it runs. Allowed from the end-of-move report.
    bool triggerShutterRelease() override;

private:
    /// After openDevice has opened the handle: every pin an output in
    /// asynchronous bit-bang mode (reset, 10 ms, bit-bang), then the shadow
    /// byte with focus and shutter low (0 on a fresh driver). Nothing is
    /// written when the device cannot be opened.
    bool SetUpBoard() override;

    /// Prepares a move in one port write: direction by polarity, motor enable
    /// and USB-enable active, focus and shutter low. With the direction
    /// undefined it records TT_ERROR_UNDEFINED_ROTATION_DIRECTION, returns
    /// false and leaves every line as it was.
    bool Initialize() override;

    /// Starts rotationThread for this driver; false only while a move runs.
    bool StartRotationThread() override;

    /// The motion: one pulse (1 ms low, high write, speed ms, low write) per
    /// count, or until stopped when the count is 0, with the flag read after
    /// every pulse; a stop cuts a high time of more than 2 ms short within
    /// about 2 ms. Counts the pulses whose rising edge was written. The base
    /// then ends the move (motor release unless locked, position, report).
    static MotionOutcome rotationThread(FTDIController* thisController, uint32_t nNumberOfSteps);
};

#endif  // HX_STEPPER_MOTOR_H
