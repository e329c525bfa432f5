#ifndef HX_VORANDEL_TURNTABLE_CONTROL_H
#define HX_VORANDEL_TURNTABLE_CONTROL_H

#include <cstddef>
#include <cstdint>
#include <vector>

#include "HxExport.h"
#include "HxTurntableHardware.h"
#include "HxTypes.h"
#include "TurntableIds.h"

class FTDIController;

/// The plug-in object a host creates for Vorandel turntables: it finds the
/// attached turntable, opens it with the driver and settings of its model,
/// and moves it. While no turntable is open every motion and settings call
/// does nothing and answers false or 0.
///
/// Threads: every operation may be called from any host thread, also
/// concurrently, and from inside the turntableRotationStopped callback, which
/// runs on the worker thread of the move that has just ended. The destructor
/// may run while another thread is already waiting inside a call for this
/// object's move (stopRotation waiting for the report), but no call may
/// begin once it has (the callback of this object's own move may destroy
/// it). Each
/// call holds the open driver for its own length, so a close on another
/// thread never frees it under the call.
///
/// States. The connection: Closed -> Opening -> Open -> Closing -> Closed;
/// openDevice and closeDevice take turns, so a close waits for an open in
/// progress and a second close for the first, and the chip is closed exactly
/// once. The move (while Open): Idle -> Starting -> Running -> Stopping (port
/// work after the motion) -> Reporting (the callback, no lock held) -> Idle.
/// A start, a shot or an EEPROM write is admitted only while Open, in Idle or
/// Reporting, and while no stop, close, shot or EEPROM write of another
/// thread is under way.
///
/// The stop rule, for every stop form (stopRotation, stopAngleRotation,
/// closeDevice, the destructor): once the call has returned, nothing more
/// reaches the port for the stopped move and no rotation-stopped callback of
/// it begins. A callback already inside host code may still be running, on
/// its own thread: stopRotation and the destructor have waited for it,
/// stopAngleRotation and closeDevice have not (it may be waiting for them).
///
/// The position is what the board did: after every move, stopped or not,
/// the bookkept angle is the start angle plus the steps that reached the
/// stepper's pins or the counter runs the DC board ran.
/// Per operation below: [threads; states] what it then does.
class HX_EXPORT HxVorandelTurntableControl : public HxTurntableHardware {
public:
    /// The turntable models. A model is opened by its catalogue row; see
    /// turntableIdToIndex() and indexToTurntableId().
    enum TurntableID : int32_t {
        Generic_ExpertUse = TurntableIds::Generic_ExpertUse,
        Classic = TurntableIds::Classic,
        Compact = TurntableIds::Compact,
        Cobalt_M = TurntableIds::Cobalt_M,
        Cobalt_L = TurntableIds::Cobalt_L,
        Cobalt_L_S2 = TurntableIds::Cobalt_L_S2,
        Cobalt_XL = TurntableIds::Cobalt_XL,
        Amber_M = TurntableIds::Amber_M,
        Amber_L = TurntableIds::Amber_L,
        Amber_XL = TurntableIds::Amber_XL,
    };

    /// Private data; defined in VorandelTurntableControlPrivate.h.
    struct VorandelTurntableControlPrivate;

    /// How the last move ended (lastMoveOutcome()).
    enum MoveOutcome : int32_t {
        NoMoveYet = 0,      ///< no move has ended on the open turntable
        MoveCompleted = 1,  ///< it ran its whole count
        MoveStopped = 2,    ///< a stop or close cut it short, or it was continuous
        MoveFailed = 3,     ///< the board did not respond (never started, never ended a run)
    };

    HxVorandelTurntableControl();
    /// [any thread, also the callback; any state; no call beginning on
    /// another thread] Refuses every later open, cancels the move (no
    /// report), closes the turntable and waits until every worker this
    /// object ever had is out of its report, whichever thread holds what; so
    /// a callback must not wait for a thread that destroys the object. From
    /// the callback itself, that worker is left to return on its own: it
    /// touches nothing of the object after the callback.
    ~HxVorandelTurntableControl() override;

    HxVorandelTurntableControl(const HxVorandelTurntableControl&) = delete;
    HxVorandelTurntableControl& operator=(const HxVorandelTurntableControl&) = delete;

    /// Looks for an attached turntable and remembers it for openDevice().
    /// Returns the name of the identified model, the whole catalogue (ten
    /// names, in row order) for a turntable that carries no identity record,
    /// or an empty list with an explanation in lastError() when none is found.
    /// [any thread; any state] Discoveries and opens of several objects in
    /// one process take turns at the devices, so they never make each other
    /// fail.
    DevicesNamesList availableDevices() const override;

    /// Opens the turntable that the latest availableDevices() found, as the
    /// model of catalogue row `index` (0 of a one-name list: the identified
    /// model), then calls the host's hardwareOpenSucceeded or
    /// hardwareDisconnected slot, on this thread, with `index`. On failure
    /// lastError() says why. [any thread, also the callback; any state] An
    /// open turntable is closed first, as closeDevice() does; waits for an
    /// open or close of another thread; fails while the object is being
    /// destroyed. Starts, shots and EEPROM writes of other threads are
    /// refused until the board is set up. A DC table found turning (left so
    /// by a host that went away) is stopped first, at most about 2 s, so
    /// that the position starts where it stands.
    void openDevice(size_t index) override;
    /// openDevice(size_t) without the callback; `*success` tells the outcome.
    void openDevice(size_t index, bool* success);
    /// [any thread, also the callback] Waits for an open or close of another
    /// thread, then closes: every later call finds the turntable closed.
    /// Running/Stopping: the move is cancelled (not reported) and its port
    /// work waited for (a step, or the DC board's stop sequence);
    /// Reporting: the report is not waited for, and a move, shot or EEPROM
    /// write it tries is refused; a shot or EEPROM write of another thread
    /// is waited for. Then the handle is closed. Makes no callback; does
    /// nothing while closed.
    void closeDevice() override;
    bool isTurntableOpened() const;

    /// Catalogue row of a model; 0 for a value that names no model.
    static size_t turntableIdToIndex(TurntableID turntableId);
    /// Model of a catalogue row; Generic_ExpertUse for rows above 9.
    static TurntableID indexToTurntableId(size_t index);
    /// The catalogue's ten names in row order, as availableDevices() lists
    /// them for a turntable without identity record: with it a host can name
    /// any row, also that of an identified turntable's one name.
    static DevicesNamesList catalogueNames();

    /// Counts in one revolution of the open turntable.
    uint32_t stepsPerRevolution() const override;
    /// [any thread; any state] Marks a host-driven stepped spin as running, so
    /// that the end of every move not cancelled is reported through the
    /// host's turntableRotationStopped slot, on the move's worker thread,
    /// once. Always true.
    bool stepsSpinningWillStart() override;
    /// [any thread, also the callback; any state] Ends the stepped spin and
    /// prepares, without starting it, the move back to the origin in the
    /// current direction, from where the table is: while a move drives the
    /// port, from where that move ends. Never waits.
    void stepsSpinningWillStop() override;
    /// Turns to `anglePos` degrees from the origin, clockwise for a positive
    /// angle, counter-clockwise for a negative one; an angle within 0.01 of
    /// zero (or NaN, or an infinite angle) does nothing and answers true.
    /// Returns at once; the move runs on a worker thread. [any thread; Idle,
    /// or while the last move is being reported (but not from the callback
    /// of a move whose stop was asked, nor from the callback of a connection
    /// closed since)] starts and answers true; otherwise (closed, a move
    /// starting, running or stopping, a shot or EEPROM write, a stop or
    /// close under way) refused with false, and the direction and bookkept
    /// target stay as they were.
    bool rotateDeviceToAngle(float anglePos) override;
    /// [any thread, also the callback] Ends the stepped spin, then cancels:
    /// Running/Stopping: the move is stopped, not reported, and its port
    /// work waited for (at most one step: a long step pulse ends within
    /// about 2 ms of the stop; on the DC board the start watch ends within
    /// about 2 ms and the stop sequence takes at least 100 ms); Reporting:
    /// returns at once, the report goes on, a move it tries to start is
    /// refused; Idle: nothing more. Never waits for host code.
    void stopAngleRotation() override;

    /// Makes the current position the origin and keeps the motor locked
    /// between moves.
    void spinningWillStart();

    /// Invokes the host's turntableRotationStopped slot while a stepped spin
    /// runs; the open connection's end-of-move report calls it on the worker
    /// thread, at the end of every move not cancelled. An empty slot is
    /// skipped and an exception from the host's callback is swallowed, since
    /// neither may escape the worker. The callback may destroy this object:
    /// nothing of it is touched afterwards.
    void turntableRotationStoppedHelper();

    /// Motion and settings of the open turntable. Each forwards to the
    /// device layer; while closed each does nothing and answers false or 0.
    /// [any thread, also the callback; any state] Setters never wait and
    /// prepare the next move only: nothing a setter does changes the running
    /// move, its port bytes or where its end puts the bookkept position.
    /// startRotation: admitted and refused as rotateDeviceToAngle; false when
    /// refused.
    bool startRotation();
    /// Running/Stopping/Reporting: stops the move and waits for its port work
    /// and its report (made while a spin is marked, also one under way); a
    /// start from that report is refused, so it returns within one step (a
    /// long pulse is cut short within about 2 ms) plus the report. A
    /// callback that waits for the thread inside this call deadlocks: hosts
    /// whose callback waits for their UI thread stop with
    /// stopAngleRotation(). Idle: nothing. From the callback: stops a move
    /// that callback started and returns.
    void stopRotation();
    int SetRotationIncrementInCounts(int iRotateCounts);
    double SetRotationIncrementInDegrees(double dRotateDegrees);
    void SetRotationNextGlobalPositionInDegrees(double dGlobalDegree);
    void SetRotationGlobalOriginHere();
    /// Counts 0: the next move turns until it is stopped.
    void SetRotationContinuous();
    void SetCountsPerRevolution(unsigned int nCountsPerRotation);
    void SetClockwiseActiveHigh(bool bHighIsClocwise);
    void SetClockwiseActiveLow();
    void SetMotorEnableActiveHigh(bool bHighIsEnable);
    void SetMotorEnableActiveLow();
    /// Milliseconds each stepper pulse is held high.
    void SetRotationSpeed(unsigned int nSpeed);
    void SetRotationClockwise();
    void SetRotationCounterClockwise();
    void SetLockMotorWhenIdle(bool bLock, bool changeControllerBits);
    /// [any thread; any state] True from an admitted start until the move's
    /// port work is over (Starting, Running, Stopping); false in Idle and
    /// while the ended move is reported. When it turns false a start is
    /// admitted, unless another thread's stop, close, shot or EEPROM write is
    /// under way: a host that polls it can start the next move then.
    bool IsTurntableRotating();
    /// [any thread; any state] The bookkept angle of the open turntable from
    /// its origin, in rotateDeviceToAngle's sense (clockwise positive),
    /// between -360 and 360: where the last move ended, stopped or not.
    /// 0.0 while closed.
    double globalPositionInDegrees() const;
    /// [any thread; any state] How the last move of the open connection
    /// ended; NoMoveYet while closed, before its first move's end and while
    /// its first move runs.
    MoveOutcome lastMoveOutcome() const;
    unsigned int rotationSpeed() const;
    bool isRotationClockwise() const;
    bool isClockwiseActiveHigh() const;
    bool isMotorEnableActiveHigh() const;
    bool isLockMotorWhenIdle() const;
    /// Fires the camera's focus and shutter lines (stepper boards only).
    /// [any thread; Open, Idle, or while a report runs] takes a second,
    /// during which starts are refused and a close waits; refused (false)
    /// while a move runs, the board is being set up or closed, or from the
    /// callback of a connection closed since.
    bool shutterReleaseCameraHardware();
    /// Stores `writtenId` (a catalogue row) as the turntable's identity record.
    /// [any thread; Open, Idle, or while a report runs] starts are refused
    /// meanwhile; refused (false, nothing written) while a move runs, so
    /// that EEPROM programming never stalls a move's pulses, and as the
    /// shutter release is.
    bool writeToEEPROM(short writtenId);
    /// Reads the identity record; `*writtenId` is changed only on success.
    /// [any thread; any state]
    bool readFromEEPROM(short* writtenId);

    /// How fast the open turntable's chip clocks bytes out to its pins in
    /// bit-bang mode: what times the step pulses of a clocked move
    /// (VORANDEL_TURNTABLE_PULSES=clocked).
    struct ChipByteClock {
        double bytesPerSecond = 0.0;  ///< bytes clocked out a second; 0: not measured
        unsigned long baudRate = 0;   ///< the baud rate the chip ran at meanwhile
        /// Bytes a second per baud the plug-in takes the chip to clock from
        /// then on: 16 (the published figure for these chips) or 4 when the
        /// measurement is within 10 % of it, else the measured ratio.
        double bytesPerBaud = 0.0;
    };
    /// [any thread; any state] The byte clock as last measured on the open
    /// connection, by its first clocked move or by measureChipByteClock();
    /// all zero while closed, before a measurement and on the DC board.
    ChipByteClock chipByteClock() const;
    /// Measures the chip's byte clock now (stepper boards): streams bytes
    /// of the port's present level for some 0.35 s (0.45 s on a chip at 4
    /// bytes a second per baud), so no line changes and nothing moves,
    /// times the writes (at the real-time priority a move's worker gets,
    /// for the call's length), then keeps what it measured as chipByteClock(),
    /// logs it and answers it. Clocked moves run at the baud rate corrected
    /// by it from then on. [any thread; Open, Idle, or while a report runs]
    /// starts are refused meanwhile and a close waits; refused (all zero,
    /// nothing written) as the shutter release is, and on the DC board. All
    /// zero also when the chip's writes never waited for it.
    ChipByteClock measureChipByteClock();

    /// One attached turntable chip (an FT245R), as attachedTurntables()
    /// lists it.
    struct AttachedTurntable {
        size_t position = 0;    ///< its place in the list, as availableDevicesAt() takes it
        int deviceIndex = -1;   ///< its index in the D2XX device list
        HxString serial;        ///< the chip's USB serial number
        HxString description;   ///< the chip's USB description
        int catalogueRow = -1;  ///< the row its identity record names; -1: no usable record
        bool openable = false;  ///< it could be opened (its record was read if it has one)
        HxString problem;       ///< when not openable: why, for a person
    };
    /// [any thread; any state] Every attached turntable chip in D2XX list
    /// order, also those that cannot be opened now (held by this process, or
    /// failing), each opened briefly to read its identity record. A chip
    /// another process holds is not listed: the D2XX list then shows neither
    /// its description nor its serial. Touches no object's state;
    /// lastError() is not changed.
    static std::vector<AttachedTurntable> attachedTurntables();
    /// [any thread; any state] availableDevices() for one turntable: the one
    /// at `position` of attachedTurntables(). Answers as availableDevices()
    /// does and remembers that turntable for the next openDevice(); an
    /// empty list, with the reason in lastError() and nothing remembered,
    /// when there is no such position or the chip cannot be opened.
    DevicesNamesList availableDevicesAt(size_t position) const;

private:
    /// The end-of-move report of `connection`: the host's callback, unless
    /// that connection was closed or the spin ended before it could begin.
    HX_HIDDEN void reportMoveEndOf(const FTDIController* connection);
    /// closeDevice's work, with the turn of open and close already taken.
    HX_HIDDEN void closeHoldingTurn();

    /// The open driver, mirrored for the layout; the private record's shared
    /// pointer is the one the calls use.
    FTDIController* m_ftdichipController;
    VorandelTurntableControlPrivate* const m_PImpl;
};

#endif  // HX_VORANDEL_TURNTABLE_CONTROL_H
