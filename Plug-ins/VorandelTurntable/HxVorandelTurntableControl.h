#ifndef HX_VORANDEL_TURNTABLE_CONTROL_H
#define HX_VORANDEL_TURNTABLE_CONTROL_H

#include <cstddef>
#include <cstdint>

#include "HxExport.h"
#include "HxTurntableHardware.h"
#include "HxTypes.h"

class FTDIController;

/// The plug-in object a host creates for Vorandel turntables: it finds the
/// attached turntable, opens it with the driver and settings of its model,
/// and moves it. While no turntable is open every motion and settings call
/// does nothing and answers false or 0.
class HX_EXPORT HxVorandelTurntableControl : public HxTurntableHardware {
public:
    /// The turntable models. A model is opened by its catalogue row; see
    /// turntableIdToIndex() and indexToTurntableId().
    enum TurntableID : int32_t {
        Generic_ExpertUse = 0,
        Classic = 100,
        Compact = 1000,
        Cobalt_M = 2000,
        Cobalt_L = 2100,
        Cobalt_L_S2 = 2101,
        Cobalt_XL = 2200,
        Amber_M = 3000,
        Amber_L = 3100,
        Amber_XL = 3200,
    };

    /// Private data; defined in VorandelTurntableControlPrivate.h.
    struct VorandelTurntableControlPrivate;

    HxVorandelTurntableControl();
    /// Closes a turntable that is still open, stopping its move first.
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
    /// lastError() says why. An open turntable is closed first.
    void openDevice(size_t index) override;
    /// openDevice(size_t) without the callback; `*success` tells the outcome.
    void openDevice(size_t index, bool* success);
    /// Stops a running move, waits for its worker and closes the turntable.
    /// Makes no callback; does nothing while closed.
    void closeDevice() override;
    bool isTurntableOpened() const;

    /// Catalogue row of a model; 0 for a value that names no model.
    static size_t turntableIdToIndex(TurntableID turntableId);
    /// Model of a catalogue row; Generic_ExpertUse for rows above 9.
    static TurntableID indexToTurntableId(size_t index);

    /// Counts in one revolution of the open turntable.
    uint32_t stepsPerRevolution() const override;
    /// Marks a host-driven stepped spin as running, so that the end of every
    /// move is reported through the host's turntableRotationStopped slot.
    /// Always true.
    bool stepsSpinningWillStart() override;
    /// Ends the stepped spin and prepares, without starting it, the move back
    /// to the origin in the current direction.
    void stepsSpinningWillStop() override;
    /// Turns to `anglePos` degrees from the origin, clockwise for a positive
    /// angle, counter-clockwise for a negative one; an angle within 0.01 of
    /// zero (or NaN) does nothing. Returns at once, always true; the move
    /// runs on a worker thread.
    bool rotateDeviceToAngle(float anglePos) override;
    /// Ends the stepped spin and stops a running move; the stopped move is
    /// not reported to the host.
    void stopAngleRotation() override;

    /// Makes the current position the origin and keeps the motor locked
    /// between moves.
    void spinningWillStart();

    /// Called by the drivers' workers, on the worker thread, at the end of
    /// every move: invokes the host's turntableRotationStopped slot while a
    /// stepped spin runs. An empty slot is skipped and an exception from the
    /// host's callback is swallowed, since neither may escape the worker.
    void turntableRotationStoppedHelper();

    /// Motion and settings of the open turntable. Each forwards to the
    /// device layer; while closed each does nothing and answers false or 0.
    bool startRotation();
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
    bool IsTurntableRotating();
    unsigned int rotationSpeed() const;
    bool isRotationClockwise() const;
    bool isClockwiseActiveHigh() const;
    bool isMotorEnableActiveHigh() const;
    bool isLockMotorWhenIdle() const;
    /// Fires the camera's focus and shutter lines (stepper boards only).
    bool shutterReleaseCameraHardware();
    /// Stores `writtenId` (a catalogue row) as the turntable's identity record.
    bool writeToEEPROM(short writtenId);
    /// Reads the identity record; `*writtenId` is changed only on success.
    bool readFromEEPROM(short* writtenId);

private:
    FTDIController* m_ftdichipController;
    VorandelTurntableControlPrivate* const m_PImpl;
};

#endif  // HX_VORANDEL_TURNTABLE_CONTROL_H
