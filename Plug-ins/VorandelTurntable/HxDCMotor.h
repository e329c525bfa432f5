#ifndef HX_DC_MOTOR_H
#define HX_DC_MOTOR_H

#include <cstdint>
#include <functional>
#include <string>

#include "FTDIController.h"

/// Driver of the DC-motor counter board: a 4-bit hardware counter preset on
/// bits 0 to 3, a rotation-status input (bit 4, high while the table stands),
/// a start strobe, a run-mode line and a load strobe. The board counts each
/// run itself; the worker splits a move into runs of at most 16 counts, loads
/// and starts each run and watches the status line.
class HxDCMotor : public FTDIController {
public:
    /// moveEndReport is called at the end of every move that is not
    /// cancelled, on the worker thread (the owner's way to hear of it); empty:
    /// no end is reported.
    explicit HxDCMotor(std::function<void()> moveEndReport = {});

    /// Stops and joins a move that still runs, so that no worker outlives the
    /// driver it uses. The owner normally stops the move itself before.
    ~HxDCMotor() override;

    /// The board has no camera lines: false, touching neither the port nor
    /// the last error.
    bool triggerShutterRelease() override;

private:
    /// After openDevice has opened the handle: asynchronous bit-bang with the
    /// status pin as the only input (reset, 10 ms, bit-bang), then preset 14
    /// loaded in counted mode: one write with the load strobe low, one with
    /// it high. Nothing is written when the device cannot be opened. A table
    /// found turning then is stopped (the stop sequence) before the open
    /// ends, so that the connection's position starts where it stands.
    bool SetUpBoard() override;

    /// The stop sequence: preset 14 in counted mode, 100 ms, the status read,
    /// up to 20 attempts. True once the table shows standing.
    bool StopBoard();

    /// Starts rotationThread for this driver; false only while a move runs.
    bool StartRotationThread() override;

    /// The motion: waits for the table to stand, then loads and starts one
    /// run after another (the first N mod 16 counts, then 16 each; presets
    /// 15 - c, counted mode), or keeps restarting a continuous run when the
    /// count is 0, polling the status every 1 ms until the count is done or a
    /// stop is requested; then the stop sequence (preset 14, counted mode, up
    /// to 20 attempts of 100 ms). The base then ends the move (position,
    /// report). Every count up to 2^32 - 1 is run in full. Counts each run
    /// the board showed as started; a continuous run's counts are unknown.
    /// The move fails (and goes to the stop sequence) when a run never
    /// starts, or when the table shows turning for longer than the run watch
    /// in counted mode.
    static MotionOutcome rotationThread(FTDIController* thisController, uint32_t nCounts);

    /// Up to 100 attempts of a low, high, low start strobe and 100 ms, until
    /// the status line reports turning. The line is sampled every millisecond
    /// of those 100 ms, so that a run shorter than the settle time counts as
    /// started. False when it never reported turning, or when a stop was
    /// asked before it did (the watch ends within about 2 ms of the stop).
    bool StartTurntable();

    /// Takes the preset already in the shadow byte into the counter: one
    /// write with the load strobe low, one with it high. Always true.
    bool LoadCounters();

    /// One port read: the status line is high (the table stands).
    bool ReadIsTurntableStopped();

    /// !ReadIsTurntableStopped(): one port read. A failed read reads as turning.
    bool ReadIsTurntableRotating();

    /// How long a counted run may show the table turning before the board
    /// counts as not responding: far beyond the longest run of 16 counts, so
    /// it only ends a move on a board that never shows a run's end (jammed,
    /// or not a DC board).
    static constexpr int RUN_WATCH_MS = 30000;
};

#endif  // HX_DC_MOTOR_H
