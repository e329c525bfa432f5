#include "HxDCMotor.h"

#include <cstdint>

#include "BoardPins.h"
#include "DiagnosticLog.h"
#include "HxVorandelTurntableControl.h"
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

HxDCMotor::HxDCMotor(HxVorandelTurntableControl* vorandelTurntableControl)
    : FTDIController(VorandelTurntable), m_vorandelTurntableControl(vorandelTurntableControl) {
    SetTurntableProfile(TurntableProfile{/*bSupportsDirection=*/false, /*bSupportsSpeed=*/false,
                                         /*bSupportsLockUnlock=*/false});
    // The owner hears of the end of every move that is not cancelled; after
    // its callback the owner may be gone, so nothing follows the call.
    if (m_vorandelTurntableControl != nullptr)
        SetMoveEndReport(
            [control = m_vorandelTurntableControl] { control->turntableRotationStoppedHelper(); });
}

HxDCMotor::~HxDCMotor() {
    stopRotationWorker();
}

bool HxDCMotor::openDevice(int index, std::wstring* errorString) {
    if (!FTDIController::openDevice(index, errorString))
        return false;

    enterAsyncBitBang(BoardPins::Dc::OUTPUTS);

    SetMaskBits(BoardPins::Dc::START, BITS_OFF);
    SetMaskBits(BoardPins::Dc::MODE_SET, BITS_OFF);
    SetMaskBits(BoardPins::Dc::COUNTER, PRESET_ONE_COUNT);
    LoadCounters();
    return true;
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
        const int64_t settleStart = MonotonicWait::now();
        bool bSeenTurning = false;
        for (int elapsed = 0; elapsed < SETTLE_MS; elapsed = millisecondsSince(settleStart)) {
            if (bSeenTurning) {
                Wait(SETTLE_MS - elapsed);
            } else {
                bSeenTurning = ReadIsTurntableRotating();
                Wait(1);
            }
        }
        if (bSeenTurning || ReadIsTurntableRotating())
            return true;
    }
    TT_LOG(Driver, Error, "the board showed no run after %d starts", START_ATTEMPTS);
    return false;
}

bool HxDCMotor::ReadIsTurntableStopped() {
    return readChipByte(BoardPins::Dc::ROTATION_STATUS) != 0;
}

bool HxDCMotor::ReadIsTurntableRotating() {
    return !ReadIsTurntableStopped();
}

void HxDCMotor::rotationThread(FTDIController* thisController, uint32_t nCounts) {
    auto* motor = static_cast<HxDCMotor*>(thisController);

    // Wide enough for every stored count, and signed for the subtraction.
    int64_t nNumberOfSteps = nCounts;
    const bool bContinuousRotation = nNumberOfSteps == 0;
    bool bCompletedCounts = false;
    // Length of the run last started; subtracted when the table is next
    // seen standing, whether or not its start was confirmed.
    uint8_t counter = 0;

    motor->SetMaskBits(BoardPins::Dc::MODE_SET, BITS_OFF);
    motor->writeChipByte();

    bool bContinueRotation = true;
    while (bContinueRotation) {
        if (motor->ReadIsTurntableStopped()) {
            if (bContinuousRotation) {
                motor->SetMaskBits(BoardPins::Dc::COUNTER, PRESET_ONE_COUNT);
                motor->writeChipByte();
                motor->LoadCounters();
                motor->SetMaskBits(BoardPins::Dc::MODE_SET, BITS_ON);
                motor->writeChipByte();
                motor->StartTurntable();
            } else {
                nNumberOfSteps -= counter;
                if (nNumberOfSteps <= 0) {
                    bCompletedCounts = true;
                } else {
                    counter = static_cast<uint8_t>(nNumberOfSteps & 15);
                    motor->SetMaskBits(BoardPins::Dc::COUNTER,
                                       static_cast<unsigned char>(15 - counter));
                    if (counter == 0)
                        counter = MAX_RUN_COUNTS;
                    motor->writeChipByte();
                    motor->LoadCounters();
                    motor->SetMaskBits(BoardPins::Dc::MODE_SET, BITS_OFF);
                    motor->writeChipByte();
                    motor->StartTurntable();
                }
            }
        }

        const bool bThreadIsRunning = motor->IsRotationRequested();
        Wait(1);
        bContinueRotation = bThreadIsRunning && (!bCompletedCounts || bContinuousRotation);
    }

    // The stop sequence belongs to the board's motion: it runs at the end of
    // every move, also one whose count completed.
    int iNumberOfTries = 0;
    bool bStillTurning = true;
    while (bStillTurning) {
        ++iNumberOfTries;
        motor->SetMaskBits(BoardPins::Dc::COUNTER, PRESET_ONE_COUNT);
        motor->writeChipByte();
        motor->LoadCounters();
        motor->SetMaskBits(BoardPins::Dc::MODE_SET, BITS_OFF);
        motor->writeChipByte();
        Wait(SETTLE_MS);
        bStillTurning = motor->ReadIsTurntableRotating() && iNumberOfTries < STOP_ATTEMPTS;
    }
}
