#include "HxDCMotor.h"

#include <cstdint>

#include "BoardPins.h"
#include "DiagnosticLog.h"
#include "MonotonicWait.h"

namespace {

// The counter's preset for a run of one count; also what stops the board.
constexpr unsigned char PRESET_ONE_COUNT = 14;
// The longest run the 4-bit counter can count.
constexpr uint8_t MAX_RUN_COUNTS = 16;

constexpr int START_ATTEMPTS = 100;
constexpr int STOP_ATTEMPTS = 20;
// How long the board gets to react to a start or a stop before it is asked.
constexpr int SETTLE_MS = 100;

// Whole milliseconds since `start` (a MonotonicWait::now() reading),
// truncated as Wait counts them; on the same clock as Wait, so a wall clock
// set back or forward cannot stretch or cut the window.
int millisecondsSince(int64_t start) {
    return static_cast<int>((MonotonicWait::now() - start) / 1000000);
}

}  // namespace

HxDCMotor::HxDCMotor(std::function<void()> moveEndReport)
    : FTDIController(VorandelTurntable) {
    SetTurntableProfile(TurntableProfile{/*bSupportsDirection=*/false, /*bSupportsSpeed=*/false,
                                         /*bSupportsLockUnlock=*/false});
    SetMoveEndReport(std::move(moveEndReport));
}

HxDCMotor::~HxDCMotor() {
    stopRotationWorker();
}

bool HxDCMotor::SetUpBoard() {
    enterAsyncBitBang(BoardPins::Dc::OUTPUTS);

    SetMaskBits(BoardPins::Dc::START, BITS_OFF);
    SetMaskBits(BoardPins::Dc::MODE_SET, BITS_OFF);
    SetMaskBits(BoardPins::Dc::COUNTER, PRESET_ONE_COUNT);
    LoadCounters();
    // A table left turning (its host gone, or the cable pulled during a
    // continuous move) keeps turning until its board sees the mode line low,
    // which the load above has just shown it. The connection books its
    // position from where the table stands, so the open waits for that.
    // The last error stays what the set-up's writes left: the look at the
    // status line is not part of what the open reports.
    const ENUM_ERROR setUpError = GetLastFTDIError();
    const bool foundTurning = ReadIsTurntableRotating() && GetLastFTDIError() == TT_ERROR_OK;
    SetFTDIError(setUpError);
    if (foundTurning) {
        TT_LOG(Driver, Info, "the table was turning when opened; stopping it");
        if (!StopBoard())
            TT_LOG(Driver, Error, "the table still shows turning after %d stop attempts",
                   STOP_ATTEMPTS);
    }
    return true;
}

bool HxDCMotor::StopBoard() {
    for (int attempt = 1; attempt <= STOP_ATTEMPTS; ++attempt) {
        SetMaskBits(BoardPins::Dc::COUNTER, PRESET_ONE_COUNT);
        writeChipByte();
        LoadCounters();
        SetMaskBits(BoardPins::Dc::MODE_SET, BITS_OFF);
        writeChipByte();
        Wait(SETTLE_MS);
        if (!ReadIsTurntableRotating())
            return true;
    }
    return false;
}

bool HxDCMotor::triggerShutterRelease() {
    return false;
}

bool HxDCMotor::StartRotationThread() {
    return launchRotationWorker(&HxDCMotor::rotationThread);
}

bool HxDCMotor::LoadCounters() {
    SetMaskBits(BoardPins::Dc::LOAD_COUNTERS, BITS_OFF);
    writeChipByte();
    SetMaskBits(BoardPins::Dc::LOAD_COUNTERS, BITS_ON);
    writeChipByte();
    return true;
}

bool HxDCMotor::StartTurntable() {
    for (int tryStep = 1; tryStep <= START_ATTEMPTS; ++tryStep) {
        if (!IsRotationRequested())
            return false;
        SetMaskBits(BoardPins::Dc::START, BITS_OFF);
        writeChipByte();
        SetMaskBits(BoardPins::Dc::START, BITS_ON);
        writeChipByte();
        SetMaskBits(BoardPins::Dc::START, BITS_OFF);
        writeChipByte();
        // The status line is watched through the whole settle time, not only
        // at its end: a run shorter than that has already ended by then, and
        // reading it as "never started" would start it again and turn the
        // table too far.
        // The window is timed as a whole, so that the reads in it do not
        // lengthen it.
        // The first read follows the strobe whatever a stop says: a short run
        // the board has taken is counted as soon as it is seen.
        const int64_t settleStart = MonotonicWait::now();
        bool bSeenTurning = ReadIsTurntableRotating();
        for (int elapsed = 0; elapsed < SETTLE_MS && IsRotationRequested();
             elapsed = millisecondsSince(settleStart)) {
            if (bSeenTurning) {
                WaitUnlessStopped(SETTLE_MS - elapsed);
            } else {
                Wait(1);
                bSeenTurning = ReadIsTurntableRotating();
            }
        }
        if (bSeenTurning || ReadIsTurntableRotating())
            return true;
    }
    if (IsRotationRequested())
        TT_LOG(Driver, Error, "the board showed no run after %d starts", START_ATTEMPTS);
    return false;
}

bool HxDCMotor::ReadIsTurntableStopped() {
    return readChipByte(BoardPins::Dc::ROTATION_STATUS) != 0;
}

bool HxDCMotor::ReadIsTurntableRotating() {
    return !ReadIsTurntableStopped();
}

FTDIController::MotionOutcome HxDCMotor::rotationThread(FTDIController* thisController,
                                                        uint32_t nCounts) {
    auto* motor = static_cast<HxDCMotor*>(thisController);
    MotionOutcome outcome;

    // Wide enough for every stored count, and signed for the subtraction.
    int64_t nNumberOfSteps = nCounts;
    const bool bContinuousRotation = nNumberOfSteps == 0;
    outcome.countsKnown = !bContinuousRotation;
    bool bCompletedCounts = false;
    // Length of the run in progress; taken off the count once the table is
    // next seen standing. Only a run the board showed as started counts.
    uint8_t counter = 0;
    // When the table was first seen turning without a stand since.
    int64_t turningSince = -1;
    constexpr int64_t runWatchNs = static_cast<int64_t>(RUN_WATCH_MS) * 1000000;

    motor->SetMaskBits(BoardPins::Dc::MODE_SET, BITS_OFF);
    motor->writeChipByte();

    bool bContinueRotation = true;
    while (bContinueRotation) {
        if (motor->ReadIsTurntableStopped()) {
            turningSince = -1;
            if (bContinuousRotation) {
                motor->SetMaskBits(BoardPins::Dc::COUNTER, PRESET_ONE_COUNT);
                motor->writeChipByte();
                motor->LoadCounters();
                motor->SetMaskBits(BoardPins::Dc::MODE_SET, BITS_ON);
                motor->writeChipByte();
                if (!motor->StartTurntable() && motor->IsRotationRequested()) {
                    outcome.boardFailed = true;
                    break;
                }
            } else {
                nNumberOfSteps -= counter;
                counter = 0;
                if (nNumberOfSteps <= 0) {
                    bCompletedCounts = true;
                } else {
                    uint8_t run = static_cast<uint8_t>(nNumberOfSteps & 15);
                    motor->SetMaskBits(BoardPins::Dc::COUNTER,
                                       static_cast<unsigned char>(15 - run));
                    if (run == 0)
                        run = MAX_RUN_COUNTS;
                    motor->writeChipByte();
                    motor->LoadCounters();
                    motor->SetMaskBits(BoardPins::Dc::MODE_SET, BITS_OFF);
                    motor->writeChipByte();
                    if (motor->StartTurntable()) {
                        counter = run;
                        outcome.counts += run;
                    } else if (motor->IsRotationRequested()) {
                        outcome.boardFailed = true;
                        break;
                    }
                }
            }
        } else if (!bContinuousRotation) {
            // A counted run ends by itself; a table that never shows it
            // standing again is not doing what it was told.
            const int64_t now = MonotonicWait::now();
            if (turningSince < 0) {
                turningSince = now;
            } else if (now - turningSince > runWatchNs) {
                TT_LOG(Driver, Error, "the table showed no end of its run in %d ms",
                       RUN_WATCH_MS);
                outcome.boardFailed = true;
                break;
            }
        }

        const bool bThreadIsRunning = motor->IsRotationRequested();
        Wait(1);
        bContinueRotation = bThreadIsRunning && (!bCompletedCounts || bContinuousRotation);
    }

    // The stop sequence belongs to the board's motion: it runs at the end of
    // every move, also one whose count completed.
    motor->StopBoard();
    return outcome;
}
