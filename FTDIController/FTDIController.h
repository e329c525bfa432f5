#ifndef FTDI_CONTROLLER_H
#define FTDI_CONTROLLER_H

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "DevicePort.h"
#include "MeasuredByteClock.h"
#include "ftd2xx.h"

/// The device layer: one object owns at most one FT245R, opened through the
/// D2XX library and driven in asynchronous bit-bang mode.
///
/// It finds turntables (availableDeviceIndexes), opens and closes the device,
/// reads and writes the 8-byte identity record at the start of the EEPROM user
/// area, keeps the shadow byte of the data port with the one-byte pin layer,
/// keeps the rotation parameters and the bookkept global position, and runs
/// the start/stop protocol of the rotation worker whose motion each motor
/// driver (HxDCMotor, HxStepperMotor) supplies.
///
/// It is made of parts with one concern each: the port (DevicePort: handle,
/// shadow byte and their lock), the rotation parameters and bookkept
/// position (RotationParameters), and the state machine of the connection
/// and its moves with their workers (FTDIThread), which this class runs.
///
/// Threads: the host calls the public operations from any thread; one worker
/// per move runs it and then reports its end. Two locks, never nested the
/// other way round:
/// - the state lock guards the connection's and the move's state machine,
///   the workers, the rotation parameters and the bookkept position; it is
///   never held across a D2XX call, a wait, a join, Initialize or a report;
/// - the port's own lock guards the handle and the shadow byte and is held
///   for one port access at a time, never across a wait.
/// The polarity flags, the speed and the lock flag are atomics that the
/// drivers read on their own. A motion reads nothing shared but its own
/// worker's running flag.
///
/// The connection and the move are one state machine, with every transition
/// in FTDIWorker.cpp:
///
///   connection: Closed --open--> Opening (handle opened, board set up)
///       --set up--> Open --close--> Closing (move cancelled, exclusive work
///       waited for, handle closed) --> Closed
///   move (only while Open): Idle --start--> Starting --launched--> Running
///       --stop, or the motion is over--> Stopping (the worker still drives
///       the port: stop sequence, motor release, position)
///       --port work over--> Reporting (the report runs, no lock held)
///       --report returned--> Idle;  Reporting --start--> Starting;
///       Idle or Reporting --shutter / EEPROM write--> Exclusive --> back
///
/// A start, a shutter release or an EEPROM write is admitted only while the
/// connection is Open, the move Idle or Reporting (not from the report of a
/// move whose stop was asked) and no stop or close is under way; a refused
/// one changes nothing. A close waits for an open in progress and for
/// another close, so the chip is closed exactly once. Waits are on a
/// condition variable, never polled; only stopRotation and the owner's wait
/// for its workers (waitForWorkersOut, the destructor) wait for host code.
///
/// The bookkept position after every move is what the board did: the start
/// angle plus the counts the motion reports as having reached the board.
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

    /// The worker of one move: its thread, running flag and lifecycle
    /// fields (FTDIThread.h).
    struct FTDIThread;
    /// The rotation parameters and the bookkept position (FTDIRotationParameters.h).
    struct RotationParameters;

    /// What a motion tells the base about the move it drove.
    struct MotionOutcome {
        /// Counts that reached the board: step pulses whose rising edge was
        /// written, counter runs that ran.
        uint64_t counts = 0;
        /// False when the board cannot tell how far it turned (a continuous
        /// run of the DC board): the position then becomes the move's
        /// prepared target.
        bool countsKnown = true;
        /// The board did not do what it was told (it never started, or never
        /// showed the end of a run).
        bool boardFailed = false;
    };

    /// What a driver supplies for a move: the motion alone, on the worker
    /// thread. `counts` is the move's length (0: until stopped); the motion
    /// ends when it is done or IsRotationRequested() turns false, and says
    /// what reached the board. Everything after (motor release, position,
    /// report) is the base's.
    using RotationMotion = MotionOutcome (*)(FTDIController* controller, uint32_t counts);

    /// How the last move ended.
    enum class MoveEnd { None, Completed, Stopped, Failed };

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
    /// open and stores no error. Within the process, the brief opens and the
    /// opens of openDevice take turns, so that one object's discovery never
    /// makes another object's open fail.
    static DeviceIndexes availableDeviceIndexes(const char* chipName, CompanyDeviceType deviceType);

    /// Closed: opens the device at D2XX list index `index` at 1000000 baud
    /// with a 2 ms latency timer, sets the board up (SetUpBoard) and becomes
    /// Open; starts, shutter releases and EEPROM writes are refused until
    /// then. Index -1 fails with the text "No available device found."; a
    /// failing FT_Open stores a text by status (statuses above 5 leave the
    /// text as it was) and leaves no handle. errorString may be null.
    /// Any other state (an open, a connection or a close of another thread):
    /// closes as closeDevice does and fails without text.
    virtual bool openDevice(int index, std::wstring* errorString);

    /// Waits for an open or a close of another thread to finish; then, when
    /// open, cancels the move (not reported, its port work waited for), waits
    /// for shutter or EEPROM work of another thread, closes the handle and
    /// becomes Closed. Once it returns nothing reaches the port and no
    /// report of this object begins; a report already under way is not
    /// waited for (it may be waiting for this thread) and cannot start a
    /// move. Closed: FT_Close on no handle, nothing else. From any thread,
    /// the report's included.
    void closeDevice();

    /// True while the connection is Open (set up, not being closed).
    bool IsOpen() const;

    /// Stores the identity record (signature 0xF4D1, version 1, this object's
    /// kind, writtenId) in the first 8 bytes of the EEPROM user area. A user
    /// area below 8 bytes is enlarged by emptying the serial number and the
    /// manufacturer id, at most once per call. The EEPROM programming is slow,
    /// so it is refused (false, nothing written) unless the connection is
    /// open with no move running, and holds starts off while it runs; the
    /// port lock is taken for each access only.
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

    /// The chip's byte clock in bit-bang mode as last measured (by a driver
    /// that streams bytes); base: not measured.
    virtual MeasuredByteClock GetMeasuredByteClock() const;
    /// Measures the chip's byte clock now with a stream that moves nothing;
    /// base: does nothing and answers not measured.
    virtual MeasuredByteClock MeasureByteClock();

    // ---- Rotation parameters and position ----

    /// Prepares the board (virtual Initialize) and starts the driver's worker
    /// (virtual StartRotationThread). False with TT_ERROR_NULL_HANDLE unless
    /// the connection is Open, and with TT_ERROR_INITIALIZATION_FAILED when
    /// Initialize refuses. Also false, with nothing called and no code
    /// recorded, unless the move state is Idle or Reporting (the ended
    /// move's port work is over); from the report of a move whose stop has
    /// been asked; and while any stop or close is under way.
    /// Failure to create the thread propagates as std::system_error.
    bool startRotation();

    /// startRotation with the move's parameters set inside the same step:
    /// `prepare` runs only once the start is admitted (so no other start can
    /// slip in between), and whatever it changed of the direction, the count
    /// and the target angle is put back when the start fails.
    bool prepareAndStartRotation(const std::function<void()>& prepare);

    /// Stops the current move and returns once it has ended: a running move
    /// gets its flag cleared (a wait of the motion ends within about 2 ms),
    /// and the call waits for its stop sequence and its end-of-move report,
    /// also one already under way; a start from that report is refused, so
    /// the wait is one step plus the report. A report that waits for the
    /// thread calling this therefore deadlocks: such hosts use
    /// cancelRotation. False only while the connection is Closed
    /// (TT_ERROR_NULL_HANDLE). Starts are refused while it runs. From the
    /// reporting worker itself it stops a move that report started and
    /// returns at once for its own.
    bool stopRotation();

    /// stopRotation without the stopped move's report: the stop waits for
    /// port work only, never for host code, and a report already under way
    /// is not waited for (a start from it is refused). Works without a device.
    void cancelRotation();

    /// Returns once every worker of this object has finished its report,
    /// except one running on the calling thread. For the owner, before it
    /// lets go of a closed driver whose reports reach it.
    void waitForWorkersOut();

    /// True while some worker has not finished its report.
    bool HasWorkerInFlight() const;

    /// What the end of every move that is not cancelled calls, on the worker
    /// thread, with no lock held, while the connection is open. Set once,
    /// before the first move.
    void SetMoveEndReport(std::function<void()> report);

    /// True from an admitted start until the move's port work is over
    /// (Starting, Running, Stopping); when it turns false a start is
    /// admitted, unless another thread's stop, close, shutter release or
    /// EEPROM write is under way.
    bool IsTurntableRotating() const;
    /// !IsTurntableRotating().
    bool IsTurntableStopped() const;

    /// How the last move of this object ended: Completed (its count done),
    /// Stopped (a stop, cancel or close cut it short), Failed (the board did
    /// not respond, or the motion failed); None before the first.
    MoveEnd GetLastMoveEnd() const;

    /// Sets the next move's length in counts; a negative count flips the
    /// direction. 0 selects continuous rotation and keeps the target angle.
    /// Without counts per revolution it records
    /// TT_ERROR_UNDEFINED_COUNTS_PER_REVOLUTION and returns 0. Returns the
    /// stored count converted to int (INT_MIN stores 2147483648, which
    /// reads back as INT_MIN). Never changes the running move.
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
    /// direction (never the shorter way round), from the bookkept position.
    /// While a move's port work is under way that position is not known
    /// yet: the target is then turned into an increment when the move ends,
    /// from where it ended. A non-finite target or the direction
    /// TT_TURN_UNDEFINED changes nothing.
    void SetRotationNextGlobalPositionInDegrees(double dGlobalDegree);

    /// The current angle becomes 0.0; the target angle is kept.
    void SetRotationGlobalOriginHere();

    /// The bookkept angle from the origin, in degrees (clockwise lowers it).
    double GetCurrentGlobalPositionAngle() const;

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
    /// motor-enable line goes to its inactive level in one port write, when
    /// the port is free: while a move drives the port nothing is written (a
    /// running motion's bytes never change under it), and the move's end
    /// applies the flag. Otherwise nothing is written (locking does not
    /// enable the motor).
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

    /// Base: true. Called by openDevice once the handle is open and before
    /// the connection counts as Open: the board's own set-up (bit mode,
    /// idle lines). False fails the open and closes the handle.
    virtual bool SetUpBoard();

    /// Base: true. Called by startRotation before every move.
    virtual bool Initialize();

    /// Base: starts nothing, false. Drivers start their worker through
    /// launchRotationWorker.
    virtual bool StartRotationThread();

    /// Claims the port for a sequence that a move must not interleave with
    /// (the shutter, EEPROM programming): true while the connection is Open
    /// and the move Idle or Reporting; starts are refused until
    /// endExclusivePortWork(). False (nothing claimed) otherwise.
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
    /// TT_ERROR_WRITE_FAILED (failed status or not exactly one byte) and
    /// returns whether the byte was written. The shadow byte is not changed.
    bool writeChipByte(unsigned char byteToWrite);
    /// Writes `count` bytes in one transfer, without a purge, so that the
    /// chip clocks them out of its transmit buffer one byte period apart;
    /// the call blocks while that buffer is full. True when every byte was
    /// taken; otherwise records TT_ERROR_WRITE_FAILED and returns false. The
    /// shadow byte is not changed. For the worker of a move or exclusive
    /// port work only: the port lock is not held while the write blocks
    /// (closing stops the move and waits for exclusive work before it
    /// releases the handle).
    bool writeChipBytes(const unsigned char* bytes, size_t count);
    /// FT_SetBaudRate on the held handle: the rate at which the chip clocks
    /// bytes out in bit-bang mode. False when the call fails.
    bool setChipBaudRate(unsigned long baudRate);
    /// Purges the transmit buffer: bytes written but not yet at the pins
    /// never get there. Nothing recorded.
    void dropQueuedChipBytes();
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
    /// Wait for the motion: the same wait, cut short within about
    /// 2 ms when the move's stop is asked. True when it waited in full.
    bool WaitUnlessStopped(int miliSec) const;

    /// The shadow byte, read under the port lock.
    unsigned char GetPacket() const;

    // ---- Position bookkeeping ----

    /// The target angle becomes fmod(dAngle, 360).
    void SetNextGlobalPositionAngle(double dAngle);
    /// The target angle becomes the current angle.
    void UpdateGlobalPositionAngleAfterRotation();

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
    /// The baud rate openDevice sets: every byte reaches the pins at once.
    static constexpr unsigned long OPEN_BAUD_RATE = 1000000;

private:
    /// The states of the connection and of the move; see the class comment.
    enum class ConnectionState { Closed, Opening, Open, Closing };
    enum class MoveState { Idle, Starting, Running, Stopping, Reporting, Exclusive };
    /// The states as the diagnostic log names them.
    static const char* stateName(MoveState state);
    static const char* stateName(ConnectionState state);

    /// Points in the lifecycle where a test may hold a thread, to run another
    /// operation exactly inside a narrow window.
    enum class SeamPoint {
        BoardSetUpStarting,  ///< open: the handle is open, the board not yet set up
        StartAdmitted,       ///< start: admitted (Starting), the worker not launched
        ReportStarting,      ///< worker: Reporting, the report decided but not yet called
    };
    using SeamHook = void (*)(const FTDIController* controller, SeamPoint point);
    /// Null outside tests: one load per point, none in the pulse loop.
    static std::atomic<SeamHook> s_seamHook;
    void atSeam(SeamPoint point) const;

    // Tests read the bookkept state through this one named door.
    friend class FTDIControllerTestAccess;

    using WorkerPtr = std::shared_ptr<FTDIThread>;

    /// Records TT_ERROR_OK or TT_ERROR_WRITE_FAILED; returns `written`.
    bool recordWrite(bool written);
    bool writeRecord(short writtenId);
    /// Opens the handle (Opening); false, nothing held, when FT_Open fails.
    bool openHandle(int index, std::wstring* errorString);
    void closeHandle();
    void releaseMotorUnlessLocked();

    void runMove(const WorkerPtr& self);
    void endMoveBookkeeping(const FTDIThread& self, const MotionOutcome& outcome, bool threw);
    bool startAllowed(std::thread::id self) const;
    bool stopCurrentMove(std::unique_lock<std::mutex>& lock, bool silent);
    /// stopRotation and cancelRotation: stops the current move (its report
    /// not waited for when silent), then joins the workers that are out.
    void stopAndRelease(bool silent);
    void waitForExclusiveWork(std::unique_lock<std::mutex>& lock);
    std::vector<WorkerPtr> takeFinishedWorkers(std::thread::id self);
    static void joinAndRelease(std::vector<WorkerPtr>& workers);
    void leaveStarting();
    MoveState restingState() const;

    /// The handle, the shadow byte and their lock: one access at a time.
    DevicePort m_port;
    std::atomic<ENUM_ERROR> m_lastError;
    std::atomic<bool> m_bClockwiseActiveHigh;
    std::atomic<bool> m_bMotorEnableActiveHigh;
    std::atomic<bool> m_bUSBEnableActiveHigh;
    std::atomic<unsigned int> m_nRotationSpeed;
    std::atomic<bool> m_bLockMotorWhenIdle;
    /// The worker of the current or last move; null when none is held.
    /// Written under the state lock, read lock-free by the motion.
    std::atomic<FTDIThread*> m_rotationThread;
    TurntableProfile m_turntableProfile;

    const CompanyDeviceType m_companyDeviceType;

    /// The state lock: guards every field below and the lifecycle fields of
    /// every FTDIThread. Never held across a D2XX call, a wait, a join,
    /// Initialize or a report.
    mutable std::mutex m_moveMutex;
    /// Signalled on every change of state and on every finished worker.
    std::condition_variable m_moveChanged;
    ConnectionState m_connection;
    MoveState m_moveState;
    /// Stops and closes under way; starts are refused while any is.
    int m_stopsUnderWay;
    /// Every worker not yet joined: the current one and ended ones.
    std::vector<WorkerPtr> m_workers;
    std::function<void()> m_moveEndReport;
    /// Direction, counts, angles: what the host prepares and the moves book.
    std::unique_ptr<RotationParameters> m_parameters;
    MoveEnd m_lastMoveEnd;
};

#endif  // FTDI_CONTROLLER_H
