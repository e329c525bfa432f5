#ifndef HX_STEPPER_MOTOR_H
#define HX_STEPPER_MOTOR_H

#include <atomic>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>

#include "FTDIController.h"
#include "MeasuredByteClock.h"

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

    /// The chip's byte clock as the first clocked move or the latest
    /// MeasureByteClock measured it; not measured until then.
    MeasuredByteClock GetMeasuredByteClock() const override;
    /// Measures the chip's byte clock with a stream of the port's present
    /// level (every line stays where it is, nothing moves): some 0.35 s on a
    /// chip at the published 16 bytes a second per baud, 0.45 s at 4. Keeps
    /// and logs the result as a clocked move's measurement does, so clocked
    /// moves run at the corrected baud rate from then on, and answers it.
    /// A move and this exclude each other as the shutter does: refused (not
    /// measured, nothing written) while a move runs or without a device.
    /// Not measured either when the chip's writes never waited for it.
    MeasuredByteClock MeasureByteClock() override;
    /// Bytes a second per baud the chip clocks out: the published 16 until
    /// measured, then what was measured.
    double bytesPerBaud() const;

    /// Bytes a second of a clocked move's grid: 10 a millisecond, so that
    /// every wait of a step (whole milliseconds) is a whole number of bytes.
    static constexpr unsigned GRID_BYTES_PER_MILLISECOND = 10;

private:
    /// After openDevice has opened the handle: every pin an output in
    /// asynchronous bit-bang mode (reset, 10 ms, bit-bang), then the shadow
    /// byte with focus and shutter low (0 on a fresh driver). Nothing is
    /// written when the device cannot be opened.
    bool SetUpBoard() override;

    /// Prepares a move in one port write: direction by polarity, motor enable
    /// and USB-enable active, focus and shutter low. With the direction
    /// undefined it records TT_ERROR_UNDEFINED_ROTATION_DIRECTION, returns
    /// false and leaves every line as it was. Reads the pulse mode for the
    /// move; a clocked move writes nothing here: the first bytes of its
    /// stream carry these levels, 1 ms ahead of the first rising edge, and
    /// spare a real chip two USB round trips per move.
    bool Initialize() override;

    /// Starts rotationThread for this driver; false only while a move runs.
    bool StartRotationThread() override;

    /// The motion: one pulse (1 ms low, high write, speed ms, low write) per
    /// count, or until stopped when the count is 0, with the flag read after
    /// every pulse; a stop cuts a high time of more than 2 ms short within
    /// about 2 ms. Counts the pulses whose rising edge was written. The base
    /// then ends the move (motor release unless locked, position, report).
    static MotionOutcome rotationThread(FTDIController* thisController, uint32_t nNumberOfSteps);

    /// The same move timed by the chip's crystal (VORANDEL_TURNTABLE_PULSES=
    /// clocked): the pulses, each of today's shape on a grid of 100 us bytes,
    /// are written in chunks that the chip clocks out while the worker sleeps
    /// in the write. The chip is kept at most its buffer and one chunk ahead
    /// (some 36 ms), so a stop (no further chunk; what is queued plays out)
    /// takes effect within that; the move ends once every byte written has
    /// reached the pins, and the counts are the pulses written. The first
    /// clocked move measures the chip's byte clock and corrects the baud
    /// rate to it; the chip stays at that rate after the move.
    MotionOutcome clockedMotion(uint32_t counts);
    /// The baud rate that gives the grid's byte rate on this chip.
    unsigned long gridBaudRate() const;
    /// Sets the chip's baud rate unless it runs at `baud` already.
    bool useChipBaudRate(unsigned long baud);
    /// Takes a measured byte rate at `baud`: keeps the chip's bytes per
    /// baud, logs it and returns the baud rate that gives the grid now.
    unsigned long takeMeasurement(double bytesPerSecond, unsigned long baud);

    /// Whether the move being started is clocked: the mode is read once per
    /// start, by Initialize, and the motion follows it.
    std::atomic<bool> m_clockedMove{false};
    /// The baud rate the chip was last set to by this driver: the device
    /// layer opens it at 1,000,000, a clocked move leaves it at the grid's
    /// rate (the next clocked move then needs no call to set it), a paced
    /// move sets it back first.
    std::atomic<unsigned long> m_chipBaudRate{0};
    /// Guards m_byteClock, which the worker writes and host calls read.
    mutable std::mutex m_byteClockMutex;
    MeasuredByteClock m_byteClock;
};

#endif  // HX_STEPPER_MOTOR_H
