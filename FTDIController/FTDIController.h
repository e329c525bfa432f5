#ifndef FTDI_CONTROLLER_H
#define FTDI_CONTROLLER_H

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "ftd2xx.h"

/// The device layer: one object owns at most one FT245R, opened through the
/// D2XX library and driven in asynchronous bit-bang mode.
///
/// It finds turntables (availableDeviceIndexes), opens and closes the device,
/// reads and writes the 8-byte identity record at the start of the EEPROM user
/// area, keeps the shadow byte of the data port with the one-byte pin layer,
/// keeps the rotation parameters and the bookkept global position, and runs
/// the start/stop protocol of the rotation worker whose body each motor driver
/// (HxDCMotor, HxStepperMotor) supplies.
///
/// Threads: the host calls the public operations from any thread; one worker
/// per move runs it and then reports its end. Every port access (the handle,
/// the shadow byte, the D2XX call) is serialised by an internal lock held for
/// that single access only, never across a Wait. Parameters and angles that
/// the worker and the host share are atomics. That state is private: drivers
/// reach the port only through the pin layer (GetPacket, SetMaskBits,
/// writeChipByte, ...), which takes the lock for them.
///
/// A move's life is one state machine, kept under one lock, with every
/// transition in FTDIWorker.cpp:
///
///   Idle --start--> Starting --worker launched--> Running
///   Running --stop, or the motion is over--> Stopping (flag false, the worker
///       still drives the port: stop sequence, motor release, position)
///   Stopping --port work over--> Reporting (the report runs, no lock held)
///   Reporting --report returned--> Idle
///   Reporting --start (from any thread)--> Starting
///   Idle or Reporting --shutter / EEPROM write--> Exclusive
///   Starting (refused) or Exclusive (over) --> Reporting while the last
///       report runs, else Idle
///
/// Starts are refused outside Idle and Reporting, from the report of a move
/// whose stop has been asked, and while a stop or close is under way; a
/// refused start changes nothing. Waits are on a condition variable, never
/// polled; only stopRotation and the destructor wait for host code (a report).
class FTDIController {
public:
    /// The kind of device sought or identified by the identity record.
    enum CompanyDeviceType : int32_t {
        UnknownDevice = 0,      ///< any device whose description matches; no record consulted
        VorandelTurntable = 1,  ///< a turntable; the kind both motor drivers declare
        VorandelRail = 2,       ///< a rail; declared only
    };

    /// One discovered device.
    struct IndexID {
        int32_t fdtiIndex;  ///< index in the D2XX device list, as openDevice takes it
        int32_t deviceID;   ///< writtenId of the identity record; -1 when not consulted
    };

    /// The devices found by one discovery, in D2XX list order.
    using DeviceIndexes = std::vector<IndexID>;

    /// What the board supports; set by each driver's constructor.
    struct TurntableProfile {
        bool bSupportsDirection;
        bool bSupportsSpeed;
        bool bSupportsLockUnlock;
    };

    /// Direction of the next move. A clockwise move lowers the global angle.
    enum ENUM_ROTATION_DIRECTION : int32_t {
        TT_TURN_UNDEFINED = 0,
        TT_TURN_CLOCKWISE = 1,
        TT_TURN_COUNTER_CLOCKWISE = 2,
    };

    /// The worker of one move: a thread plus its running flag (FTDIThread.h).
    struct FTDIThread;

    /// What a driver supplies for a move: the motion alone, on the worker
    /// thread. `counts` is the length read once at the start (0: until
    /// stopped); the motion ends when it is done or IsRotationRequested()
    /// turns false. Everything after (flag, motor release, position, report)
    /// is the base's.
    using RotationMotion = void (*)(FTDIController* controller, uint32_t counts);

    /// Error codes of the device layer, kept in m_lastError.
    enum ENUM_ERROR : int32_t {
        TT_ERROR_OK = 0,
        TT_ERROR_READ_FAILED = 1,
        TT_ERROR_WRITE_FAILED = 2,
        TT_ERROR_INITIALIZATION_FAILED = 3,
        TT_ERROR_NULL_HANDLE = 4,
        TT_ERROR_FUNCTION_NOT_IMPLEMENTED = 5,
        TT_ERROR_FUNCTION_NOT_SUPPORTED = 6,
        TT_ERROR_UNDEFINED_ROTATION_DIRECTION = 7,
        TT_ERROR_UNDEFINED_COUNTS_PER_REVOLUTION = 8,
    };

    /// Does not close the device (the owner calls closeDevice first). Stops a
    /// move still running without reporting it, waits for every worker to be
    /// out (a report under way included) and joins it; subclasses stop their
    /// move in their own destructor (stopRotationWorker) because the motion
    /// uses them. Run on a worker's own thread (the report destroys the
    /// object) it detaches that one worker, which then returns from the
    /// report without touching the object again.
    virtual ~FTDIController();

    FTDIController(const FTDIController&) = delete;
    FTDIController& operator=(const FTDIController&) = delete;

    // ---- Discovery, connection and identity record ----

    /// Lists the attached devices that are not open anywhere and whose
    /// description contains chipName (byte-exact). For a kind other than
    /// UnknownDevice each candidate is opened briefly and listed only when its
    /// identity record carries that kind; UnknownDevice lists every candidate
    /// without opening it. A null chipName matches nothing. Leaves no device
    /// open and stores no error.
    static DeviceIndexes availableDeviceIndexes(const char* chipName, CompanyDeviceType deviceType);

    /// Opens the device at D2XX list index `index` at 1000000 baud with a 2 ms
    /// latency timer, writing nothing to the port. Index -1 fails with the text
    /// "No available device found."; a failing FT_Open stores a text by status
    /// (statuses above 5 leave the text as it was) and leaves no handle.
    /// errorString may be null. An object that already holds a handle closes
    /// it as closeDevice does (a running move is stopped first) and fails
    /// without text.
    virtual bool openDevice(int index, std::wstring* errorString);

    /// Closes the handle (also a null one) and forgets it. A move still
    /// running is stopped first without a report, and its port work waited
    /// for, so no worker uses a closed handle; a report already under way is
    /// not waited for (it no longer uses the port), and cannot start a move.
    /// Shutter or EEPROM work of another thread is waited for. From any
    /// thread, the report's included.
    void closeDevice();

    /// Stores the identity record (signature 0xF4D1, version 1, this object's
    /// kind, writtenId) in the first 8 bytes of the EEPROM user area. A user
    /// area below 8 bytes is enlarged by emptying the serial number and the
    /// manufacturer id, at most once per call. The EEPROM programming is slow,
    /// so it is refused (false, nothing written) while a move runs, and holds
    /// starts off while it runs; the port lock is taken for each access only.
    bool writeToEEPROM(short writtenId);

    /// True when the user area starts with a valid record of this object's
    /// kind; then *writtenId receives its writtenId (when writtenId is not
    /// null). On false *writtenId is unchanged.
    bool readFromEEPROM(short* writtenId);

    /// The last error code stored by SetFTDIError.
    ENUM_ERROR GetLastFTDIError() const;
    TurntableProfile GetTurntableProfile() const;

    /// Base: does nothing and returns false.
    virtual bool triggerShutterRelease();

    // ---- Rotation parameters and position ----

    /// Prepares the board (virtual Initialize) and starts the driver's worker
    /// (virtual StartRotationThread). False without a device
    /// (TT_ERROR_NULL_HANDLE) and when Initialize refuses
    /// (TT_ERROR_INITIALIZATION_FAILED). Also false, with nothing called and
    /// no code recorded, unless the move state is Idle or Reporting (the
    /// ended move's port work is over); from the report of a move whose stop
    /// has been asked; and while any stop or close is under way.
    /// Failure to create the thread propagates as std::system_error.
    bool startRotation();

    /// startRotation with the move's parameters set inside the same step:
    /// `prepare` runs only once the start is allowed (so no other start can
    /// slip in between), and whatever it changed of the direction, the count
    /// and the target angle is put back when the start fails or is refused.
    bool prepareAndStartRotation(const std::function<void()>& prepare);

    /// Stops the current move and returns once it has ended: a running move
    /// gets its flag cleared, and the call waits for its stop sequence and its
    /// end-of-move report, also one already under way; a start from that
    /// report is refused, so the wait is one period plus the report. A report
    /// that waits for the thread calling this therefore deadlocks: such hosts
    /// use cancelRotation. False only without a device (TT_ERROR_NULL_HANDLE).
    /// Starts are refused while it runs. From the reporting worker itself it
    /// stops a move that report started and returns at once for its own.
    bool stopRotation();

    /// stopRotation without the stopped move's report: the stop waits for
    /// port work only, never for host code, and a report already under way
    /// is not waited for (a start from it is refused). Works without a device.
    void cancelRotation();

    /// True while some worker has not finished its report, so that the owner
    /// knows whether destroying this object would have to wait for one.
    bool HasWorkerInFlight() const;

    /// What the end of every move that is not cancelled calls, on the worker
    /// thread, with no lock held. Set once, before the first move.
    void SetMoveEndReport(std::function<void()> report);

    /// The running flag of the held worker; false when none is held.
    bool IsTurntableRotating() const;
    /// !IsTurntableRotating().
    bool IsTurntableStopped() const;

    /// Sets the next move's length in counts; a negative count flips the
    /// direction. 0 selects continuous rotation and keeps the target angle.
    /// Without counts per revolution it records
    /// TT_ERROR_UNDEFINED_COUNTS_PER_REVOLUTION and returns 0. Returns the
    /// stored count converted to int (INT_MIN stores 2147483648, which
    /// reads back as INT_MIN).
    int SetRotationIncrementInCounts(int iRotateCounts);

    /// Sets the next move's length in degrees, rounded half up to whole
    /// counts; a negative value flips the direction. Returns the increment
    /// actually set. 0.0, no counts per revolution, a non-finite value or one
    /// whose count does not fit a signed 64-bit integer: returns 0.0 and
    /// changes nothing.
    double SetRotationIncrementInDegrees(double dRotateDegrees);

    /// Continuous rotation for the next move: the stored count becomes 0;
    /// direction and angles are kept.
    void SetRotationContinuous();

    /// Turns an absolute target angle into an increment in the current
    /// direction (never the shorter way round). A non-finite target or the
    /// direction TT_TURN_UNDEFINED changes nothing.
    void SetRotationNextGlobalPositionInDegrees(double dGlobalDegree);

    /// The current angle becomes 0.0; the target angle is kept.
    void SetRotationGlobalOriginHere();

    void SetRotationDirection(ENUM_ROTATION_DIRECTION direction);
    void SetRotationClockwise();
    void SetRotationCounterClockwise();
    void SetClockwiseActiveHigh(bool bClockwiseActiveHigh);
    /// SetClockwiseActiveHigh(false).
    void SetClockwiseActiveLow();
    void SetMotorEnableActiveHigh(bool bMotorEnableActiveHigh);
    /// SetMotorEnableActiveHigh(false).
    void SetMotorEnableActiveLow();
    void SetUSBEnableActiveHigh(bool bUSBEnableActiveHigh);
    /// SetUSBEnableActiveHigh(false).
    void SetUSBEnableActiveLow();
    /// Counts per revolution; the stored count and the angles are kept.
    void SetCountsPerRevolution(unsigned int nCountsPerRotation);
    /// How long a stepper pulse is held, in milliseconds.
    void SetRotationSpeed(unsigned int nSpeed);

    /// Stores the lock flag. With changeControllerBits and the lock off, the
    /// motor-enable line goes to its inactive level in one port write;
    /// otherwise nothing is written (locking does not enable the motor).
    void SetLockMotorWhenIdle(bool bLock, bool changeControllerBits);

    ENUM_ROTATION_DIRECTION GetRotationDirection() const;
    bool GetClockwiseIsActiveHigh() const;
    bool GetMotorEnableIsActiveHigh() const;
    bool GetUSBEnableIsActiveHigh() const;
    int GetCountsPerRevolution() const;
    int GetCountsToRotate() const;
    /// The stored count in degrees; 0.0 without counts per revolution.
    double GetRotationIncrementInDegrees() const;
    unsigned int GetRotationSpeed() const;
    bool GetLockMotorWhenIdle() const;

protected:
    explicit FTDIController(CompanyDeviceType deviceType);

    /// Base: true. Called by startRotation before every move.
    virtual bool Initialize();

    /// Base: starts nothing, false. Drivers start their worker through
    /// launchRotationWorker.
    virtual bool StartRotationThread();

    /// Claims the port for a sequence that a move must not interleave with
    /// (the shutter, EEPROM programming): true in Idle and in Reporting;
    /// starts are refused until
    /// endExclusivePortWork(). False (nothing claimed) otherwise or without a
    /// device.
    bool beginExclusivePortWork();
    void endExclusivePortWork();

    /// Stores error in m_lastError and returns false, for every code.
    bool SetFTDIError(ENUM_ERROR error);

    /// What the board supports; each driver's constructor sets it once.
    void SetTurntableProfile(const TurntableProfile& profile);

    // ---- Pin layer ----

    /// (packet AND NOT mask) OR (mask AND value).
    static unsigned char SetMaskBits(unsigned char packet, unsigned char mask, unsigned char value);
    /// Updates the shadow byte only; nothing is sent.
    void SetMaskBits(unsigned char mask, unsigned char value);
    /// Sends the shadow byte: writeChipByte(shadow).
    bool writeChipByte();
    /// Purges the transmit buffer and writes one byte; records TT_ERROR_OK or
    /// TT_ERROR_WRITE_FAILED (failed status or not exactly one byte). The
    /// caller learns the outcome from GetLastFTDIError() only: the result is
    /// the one SetFTDIError gives for every code, false, so it is false after
    /// a good write too. The shadow byte is not changed.
    bool writeChipByte(unsigned char byteToWrite);
    /// Writes `count` bytes in one transfer, without a purge, so that the
    /// chip clocks them out of its transmit buffer one byte period apart;
    /// the call blocks while that buffer is full. True when every byte was
    /// taken; otherwise records TT_ERROR_WRITE_FAILED and returns false. The
    /// shadow byte is not changed. For the worker of a move only: the port
    /// lock is not held while the write blocks (closing stops the move
    /// before it releases the handle).
    bool writeChipBytes(const unsigned char* bytes, size_t count);
    /// FT_SetBaudRate on the held handle: the rate at which the chip clocks
    /// bytes out in bit-bang mode. False when the call fails.
    bool setChipBaudRate(unsigned long baudRate);
    /// Purges the receive buffer and reads one fresh sample of the port;
    /// records TT_ERROR_OK or TT_ERROR_READ_FAILED; returns the byte AND mask
    /// (0 when the read fails or delivers nothing).
    unsigned char readChipByte(unsigned char mask);
    /// FT_SetBitMode(handle, mask, mode); nothing recorded.
    void setBitMode(unsigned char mask, unsigned char mode);
    /// How every board is switched on after opening: bit mode reset, 10 ms
    /// for the chip to settle, then asynchronous bit-bang with `outputs` as
    /// the driven lines.
    void enterAsyncBitBang(unsigned char outputs);
    /// Returns once miliSec whole milliseconds have passed on the monotonic
    /// clock (MonotonicWait): it sleeps most of the time and spins only the
    /// last stretch. Zero and negative values return at once.
    static void Wait(int miliSec);

    /// The shadow byte, read under the port lock.
    unsigned char GetPacket() const;

    // ---- Position bookkeeping ----

    /// The target angle becomes fmod(dAngle, 360).
    void SetNextGlobalPositionAngle(double dAngle);
    /// The target angle becomes the current angle (end of every move).
    void UpdateGlobalPositionAngleAfterRotation();
    /// For a motion that knows how many counts reached the board: the target
    /// angle becomes the current angle moved by `counts` in the move's
    /// direction, so that the end of the move bookkeeps those.
    void SetNextGlobalPositionFromCounts(uint64_t counts);

    // ---- Worker protocol for the drivers ----

    /// The one way a driver's StartRotationThread starts its worker, which
    /// runs motion(this, counts) and then the end of the move. Only valid
    /// inside startRotation (the state is Starting); the worker sees its flag
    /// true and m_rotationThread holding it from its first read on. If the
    /// thread cannot be created, nothing changes and std::system_error
    /// propagates.
    bool launchRotationWorker(RotationMotion motion);

    /// Cancels a running move and waits for every worker to be out; for the
    /// drivers' destructors, so that no motion outlives the driver it uses.
    void stopRotationWorker();

    /// Motion side, lock-free: whether the current move is to go on.
    bool IsRotationRequested() const;

    // ---- Constants ----

    static const unsigned char BITS_ON = 255;
    static const unsigned char BITS_OFF = 0;
    static const unsigned char BITMODE_RESET = 0;
    static const unsigned char BITMODE_ASYNC_BITBANG = 1;
    static constexpr double DEGREES_PER_REVOLUTION = 360.0;

private:
    /// The states of the move lifecycle; see the class comment.
    enum class MoveState { Idle, Starting, Running, Stopping, Reporting, Exclusive };
    /// The state as the diagnostic log names it.
    static const char* stateName(MoveState state);

    // Tests read the bookkept state through this one named door.
    friend class FTDIControllerTestAccess;

    bool writeChipByteLocked(unsigned char byteToWrite);
    /// Runs one D2XX call on the held handle under the port lock.
    FT_STATUS callOnPort(const std::function<FT_STATUS(FT_HANDLE)>& call);
    bool writeRecord(short writtenId);
    bool holdsHandle() const;

    void runMove(FTDIThread* self);
    bool startAllowed(std::thread::id self) const;
    bool stopCurrentMove(std::unique_lock<std::mutex>& lock, bool silent);
    /// stopRotation and cancelRotation: stops the current move (its report
    /// not waited for when silent), then joins the workers that are out.
    void stopAndRelease(bool silent);
    void waitForExclusiveWork(std::unique_lock<std::mutex>& lock);
    std::vector<FTDIThread*> takeFinishedWorkers(std::thread::id self);
    static void joinAndRelease(std::vector<FTDIThread*>& workers);
    void leaveStarting();
    MoveState restingState() const;

    /// The open device, null when none; only under the port lock.
    FT_HANDLE m_ftdiHandle;
    /// Shadow of the wanted output levels; only under the port lock.
    unsigned char m_packet;
    std::atomic<ENUM_ERROR> m_lastError;
    std::atomic<ENUM_ROTATION_DIRECTION> m_rotationDirection;
    std::atomic<bool> m_bClockwiseActiveHigh;
    std::atomic<bool> m_bMotorEnableActiveHigh;
    std::atomic<bool> m_bUSBEnableActiveHigh;
    std::atomic<unsigned int> m_nCountsPerRevolution;
    std::atomic<unsigned int> m_nCountsToRotate;
    std::atomic<double> m_dCurrentGlobalPositionAngle;
    std::atomic<double> m_dMoveToGlobalPositionAngle;
    std::atomic<unsigned int> m_nRotationSpeed;
    std::atomic<bool> m_bLockMotorWhenIdle;
    /// The worker of the current or last move; null when none is held.
    /// Written under the move lock, read lock-free by the motion.
    std::atomic<FTDIThread*> m_rotationThread;
    TurntableProfile m_turntableProfile;

    const CompanyDeviceType m_companyDeviceType;

    /// Serialises every port access; held for one access only.
    mutable std::mutex m_portMutex;

    /// The move lock: guards the lifecycle fields below and those of every
    /// FTDIThread. Never held across a Wait, a join, Initialize or a report.
    mutable std::mutex m_moveMutex;
    /// Signalled on every change of state and on every finished worker.
    std::condition_variable m_moveChanged;
    MoveState m_moveState;
    /// Stops and closes under way; starts are refused while any is.
    int m_stopsUnderWay;
    /// Every worker not yet joined: the current one and ended ones.
    std::vector<FTDIThread*> m_workers;
    std::function<void()> m_moveEndReport;
};

#endif  // FTDI_CONTROLLER_H
