#ifndef HX_VORANDEL_TURNTABLE_CONTROL_H
#define HX_VORANDEL_TURNTABLE_CONTROL_H

#include <cstddef>
#include <cstdint>

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
/// runs on the worker thread of the move that has just ended. Each call holds
/// the open driver for its own length, so a close on another thread never
/// frees it under the call. A move goes Idle -> Starting -> Running ->
/// Stopping (port work after the motion) -> Reporting (the callback) -> Idle;
/// the callback runs with no lock held. Only stopRotation() and the
/// destructor wait for a report under way, so a callback may wait for any
/// host thread that is not inside one of those two.
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

    HxVorandelTurntableControl();
    /// [any thread, also the callback; any state] Cancels the move (no
    /// report), closes the turntable and waits until every worker of this
    /// object is out of the library, a report under way included; so a
    /// callback must not wait for a thread that destroys the object. From the
    /// callback itself, that worker is left to return on its own: it touches
    /// nothing of the object after the callback.
    ~HxVorandelTurntableControl() override;

    HxVorandelTurntableControl(const HxVorandelTurntableControl&) = delete;
    HxVorandelTurntableControl& operator=(const HxVorandelTurntableControl&) = delete;

    /// Looks for an attached turntable and remembers it for openDevice().
    /// Returns the name of the identified model, the whole catalogue (ten
    /// names, in row order) for a turntable that carries no identity record,
    /// or an empty list with an explanation in lastError() when none is found.
    DevicesNamesList availableDevices() const override;

    /// Opens the turntable that the latest availableDevices() found, as the
    /// model of catalogue row `index` (0 of a one-name list: the identified
    /// model), then calls the host's hardwareOpenSucceeded or
    /// hardwareDisconnected slot, on this thread, with `index`. On failure
    /// lastError() says why. [any thread, also the callback; any state] An
    /// open turntable is closed first, as closeDevice() does.
    void openDevice(size_t index) override;
    /// openDevice(size_t) without the callback; `*success` tells the outcome.
    void openDevice(size_t index, bool* success);
    /// [any thread, also the callback] Closed at once for every later call.
    /// Running/Stopping: the move is cancelled (not reported) and its port
    /// work waited for; Reporting: the report is not waited for, and a move
    /// it tries to start is refused; a shot or EEPROM write of another thread
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
    /// current direction. Never waits.
    void stepsSpinningWillStop() override;
    /// Turns to `anglePos` degrees from the origin, clockwise for a positive
    /// angle, counter-clockwise for a negative one; an angle within 0.01 of
    /// zero (or NaN) does nothing. Returns at once, always true; the move
    /// runs on a worker thread. [any thread; Idle, or while the last move is
    /// being reported (but not from the callback of a move whose stop was
    /// asked)] starts; otherwise (a move starting, running or stopping, a
    /// shot or EEPROM write, a stop or close under way) refused, and the
    /// direction and bookkept target stay as they were.
    bool rotateDeviceToAngle(float anglePos) override;
    /// [any thread, also the callback] Ends the stepped spin, then cancels:
    /// Running/Stopping: the move is stopped, not reported, and its port
    /// work waited for (at most one step, or the DC board's start watch and
    /// stop sequence); Reporting: returns at once, the report goes on, a move
    /// it tries to start is refused; Idle: nothing more. Never waits for host
    /// code.
    void stopAngleRotation() override;

    /// Makes the current position the origin and keeps the motor locked
    /// between moves.
    void spinningWillStart();

    /// The end-of-move report the device layer calls, on the worker thread,
    /// at the end of every move not cancelled: invokes the host's
    /// turntableRotationStopped slot while a stepped spin runs. An empty slot
    /// is skipped and an exception from the host's callback is swallowed,
    /// since neither may escape the worker. The callback may destroy this
    /// object: nothing of it is touched afterwards.
    void turntableRotationStoppedHelper();

    /// Motion and settings of the open turntable. Each forwards to the
    /// device layer; while closed each does nothing and answers false or 0.
    /// [any thread, also the callback] Setters never wait; a setter of the
    /// count or target under a running move changes where that move's end
    /// puts the bookkept position.
    /// startRotation: allowed and refused as rotateDeviceToAngle; false when
    /// refused.
    bool startRotation();
    /// Running/Stopping/Reporting: stops the move and waits for its port work
    /// and its report (made while a spin is marked, also one under way); a
    /// start from that report is refused, so it returns within one step plus
    /// the report. A callback that waits for the thread inside this call
    /// deadlocks: hosts whose callback waits for their UI thread stop with
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
    /// [any thread] The running flag of the current move: true in Running,
    /// false from the moment a stop is asked or the motion is over.
    bool IsTurntableRotating();
    unsigned int rotationSpeed() const;
    bool isRotationClockwise() const;
    bool isClockwiseActiveHigh() const;
    bool isMotorEnableActiveHigh() const;
    bool isLockMotorWhenIdle() const;
    /// Fires the camera's focus and shutter lines (stepper boards only).
    /// [any thread; Idle, or while a report runs] takes a second, during
    /// which starts are refused; refused (false) while a move runs.
    bool shutterReleaseCameraHardware();
    /// Stores `writtenId` (a catalogue row) as the turntable's identity record.
    /// [any thread; Idle, or while a report runs] starts are refused meanwhile;
    /// refused (false, nothing written) while a move runs, so that EEPROM
    /// programming never stalls a move's pulses.
    bool writeToEEPROM(short writtenId);
    /// Reads the identity record; `*writtenId` is changed only on success.
    bool readFromEEPROM(short* writtenId);

private:
    /// The open driver, mirrored for the layout; the private record's shared
    /// pointer is the one the calls use.
    FTDIController* m_ftdichipController;
    VorandelTurntableControlPrivate* const m_PImpl;
};

#endif  // HX_VORANDEL_TURNTABLE_CONTROL_H
