#include "HxStepperMotor.h"

#include <algorithm>
#include <climits>
#include <cstdint>

#include "BoardPins.h"
#include "DiagnosticLog.h"
#include "PulseMode.h"

HxStepperMotor::HxStepperMotor(std::function<void()> moveEndReport)
    : FTDIController(VorandelTurntable) {
    SetTurntableProfile(TurntableProfile{/*bSupportsDirection=*/true, /*bSupportsSpeed=*/true,
                                         /*bSupportsLockUnlock=*/true});
    SetMoveEndReport(std::move(moveEndReport));
}

HxStepperMotor::~HxStepperMotor() {
    stopRotationWorker();
}

bool HxStepperMotor::SetUpBoard() {
    m_chipBaudRate.store(OPEN_BAUD_RATE);
    enterAsyncBitBang(BoardPins::Stepper::OUTPUTS);

    SetMaskBits(BoardPins::Stepper::FOCUS, BITS_OFF);
    SetMaskBits(BoardPins::Stepper::SHUTTER, BITS_OFF);
    writeChipByte();
    return true;
}

bool HxStepperMotor::triggerShutterRelease() {
    // Every step pulse rewrites the whole port from its move's snapshot: the
    // shutter and a move exclude each other for the whole sequence.
    if (!beginExclusivePortWork())
        return TT_LOG_REFUSAL(Driver, "shutter release refused");

    SetMaskBits(BoardPins::Stepper::FOCUS, BITS_ON);
    writeChipByte();
    Wait(500);

    SetMaskBits(BoardPins::Stepper::SHUTTER, BITS_ON);
    writeChipByte();
    Wait(500);

    SetMaskBits(BoardPins::Stepper::FOCUS, BITS_OFF);
    SetMaskBits(BoardPins::Stepper::SHUTTER, BITS_OFF);
    writeChipByte();
    endExclusivePortWork();
    return true;
}

bool HxStepperMotor::Initialize() {
    const bool clockwiseHigh = GetClockwiseIsActiveHigh();
    switch (GetRotationDirection()) {
        case TT_TURN_CLOCKWISE:
            SetMaskBits(BoardPins::Stepper::MOTOR_DIRECTION, clockwiseHigh ? BITS_ON : BITS_OFF);
            break;
        case TT_TURN_COUNTER_CLOCKWISE:
            SetMaskBits(BoardPins::Stepper::MOTOR_DIRECTION, clockwiseHigh ? BITS_OFF : BITS_ON);
            break;
        default:
            return SetFTDIError(TT_ERROR_UNDEFINED_ROTATION_DIRECTION);
    }

    SetMaskBits(BoardPins::Stepper::MOTOR_ENABLE,
                GetMotorEnableIsActiveHigh() ? BITS_ON : BITS_OFF);
    SetMaskBits(BoardPins::Stepper::USB_ENABLE, GetUSBEnableIsActiveHigh() ? BITS_ON : BITS_OFF);
    SetMaskBits(BoardPins::Stepper::FOCUS, BITS_OFF);
    SetMaskBits(BoardPins::Stepper::SHUTTER, BITS_OFF);
    m_clockedMove.store(PulseMode::fromEnvironment() == PulseMode::Clocked);
    if (!m_clockedMove.load())
        writeChipByte();
    return true;
}

bool HxStepperMotor::StartRotationThread() {
    return launchRotationWorker(&HxStepperMotor::rotationThread);
}

FTDIController::MotionOutcome HxStepperMotor::rotationThread(FTDIController* thisController,
                                                             uint32_t nNumberOfSteps) {
    auto* stepperMotor = static_cast<HxStepperMotor*>(thisController);
    if (stepperMotor->m_clockedMove.load())
        return stepperMotor->clockedMotion(nNumberOfSteps);
    // A clocked move before this one left the chip at the grid's rate.
    stepperMotor->useChipBaudRate(OPEN_BAUD_RATE);

    const unsigned char packet = stepperMotor->GetPacket();
    const uint32_t nSpeed = stepperMotor->GetRotationSpeed();
    // Wait takes an int; a speed beyond it would turn into no wait at all.
    const int highTime = static_cast<int>(std::min<uint32_t>(nSpeed, INT_MAX));

    const bool bContinuousRotation = nNumberOfSteps == 0;
    bool bCompletedCounts = false;

    // Both pulse bytes are built once; the pulse bit never enters the shadow byte.
    const unsigned char dataOn = SetMaskBits(packet, BoardPins::Stepper::STEP, BITS_ON);
    const unsigned char dataOff = SetMaskBits(packet, BoardPins::Stepper::STEP, BITS_OFF);

    // A step reached the board when its rising edge was written; a stop
    // cuts a long high time short, and the pulse still ends low.
    MotionOutcome outcome;
    bool bContinueRotation = true;
    while (bContinueRotation) {
        Wait(1);
        if (stepperMotor->writeChipByte(dataOn))
            ++outcome.counts;
        stepperMotor->WaitUnlessStopped(highTime);
        stepperMotor->writeChipByte(dataOff);

        if (!bContinuousRotation && --nNumberOfSteps == 0)
            bCompletedCounts = true;

        const bool bThreadIsRunning = stepperMotor->IsRotationRequested();
        bContinueRotation = bThreadIsRunning && (!bCompletedCounts || bContinuousRotation);
    }
    return outcome;
}
