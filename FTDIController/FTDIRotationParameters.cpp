#include <cmath>
#include <cstdint>

#include "BoardPins.h"
#include "FTDIController.h"

namespace {

using Direction = FTDIController::ENUM_ROTATION_DIRECTION;

// A negative increment turns the other way; an undefined direction becomes
// clockwise.
Direction flipped(Direction direction) {
    return direction == FTDIController::TT_TURN_CLOCKWISE
               ? FTDIController::TT_TURN_COUNTER_CLOCKWISE
               : FTDIController::TT_TURN_CLOCKWISE;
}

// A clockwise move lowers the global angle.
double globalDegreesSign(Direction direction) {
    return direction == FTDIController::TT_TURN_CLOCKWISE ? -1.0 : 1.0;
}

// 2^63: counts at or above it have no signed 64-bit value.
const double FIRST_UNREPRESENTABLE_COUNT = 9223372036854775808.0;

}  // namespace

void FTDIController::SetRotationDirection(ENUM_ROTATION_DIRECTION direction) {
    m_rotationDirection.store(direction);
}

void FTDIController::SetRotationClockwise() {
    SetRotationDirection(TT_TURN_CLOCKWISE);
}

void FTDIController::SetRotationCounterClockwise() {
    SetRotationDirection(TT_TURN_COUNTER_CLOCKWISE);
}

void FTDIController::SetClockwiseActiveHigh(bool bClockwiseActiveHigh) {
    m_bClockwiseActiveHigh.store(bClockwiseActiveHigh);
}

void FTDIController::SetClockwiseActiveLow() {
    SetClockwiseActiveHigh(false);
}

void FTDIController::SetMotorEnableActiveHigh(bool bMotorEnableActiveHigh) {
    m_bMotorEnableActiveHigh.store(bMotorEnableActiveHigh);
}

void FTDIController::SetMotorEnableActiveLow() {
    SetMotorEnableActiveHigh(false);
}

void FTDIController::SetUSBEnableActiveHigh(bool bUSBEnableActiveHigh) {
    m_bUSBEnableActiveHigh.store(bUSBEnableActiveHigh);
}

void FTDIController::SetUSBEnableActiveLow() {
    SetUSBEnableActiveHigh(false);
}

void FTDIController::SetCountsPerRevolution(unsigned int nCountsPerRotation) {
    m_nCountsPerRevolution.store(nCountsPerRotation);
}

void FTDIController::SetRotationSpeed(unsigned int nSpeed) {
    m_nRotationSpeed.store(nSpeed);
}

void FTDIController::SetRotationGlobalOriginHere() {
    m_dCurrentGlobalPositionAngle.store(0.0);
}

void FTDIController::SetRotationContinuous() {
    m_nCountsToRotate.store(0);
}

FTDIController::ENUM_ROTATION_DIRECTION FTDIController::GetRotationDirection() const {
    return m_rotationDirection.load();
}

bool FTDIController::GetClockwiseIsActiveHigh() const {
    return m_bClockwiseActiveHigh.load();
}

bool FTDIController::GetMotorEnableIsActiveHigh() const {
    return m_bMotorEnableActiveHigh.load();
}

bool FTDIController::GetUSBEnableIsActiveHigh() const {
    return m_bUSBEnableActiveHigh.load();
}

int FTDIController::GetCountsPerRevolution() const {
    return static_cast<int>(m_nCountsPerRevolution.load());
}

int FTDIController::GetCountsToRotate() const {
    return static_cast<int>(m_nCountsToRotate.load());
}

unsigned int FTDIController::GetRotationSpeed() const {
    return m_nRotationSpeed.load();
}

bool FTDIController::GetLockMotorWhenIdle() const {
    return m_bLockMotorWhenIdle.load();
}

double FTDIController::GetRotationIncrementInDegrees() const {
    const unsigned int countsPerRevolution = m_nCountsPerRevolution.load();
    if (countsPerRevolution == 0)
        return 0.0;
    const double dDegreesPerCount =
        DEGREES_PER_REVOLUTION / static_cast<double>(countsPerRevolution);
    return static_cast<double>(m_nCountsToRotate.load()) * dDegreesPerCount;
}

void FTDIController::SetNextGlobalPositionAngle(double dAngle) {
    m_dMoveToGlobalPositionAngle.store(std::fmod(dAngle, DEGREES_PER_REVOLUTION));
}

void FTDIController::UpdateGlobalPositionAngleAfterRotation() {
    m_dCurrentGlobalPositionAngle.store(m_dMoveToGlobalPositionAngle.load());
}

void FTDIController::SetNextGlobalPositionFromCounts(uint64_t counts) {
    const unsigned int countsPerRevolution = m_nCountsPerRevolution.load();
    if (countsPerRevolution == 0)
        return;
    // Whole turns change no angle; the rest keeps its precision.
    const double dDegrees = DEGREES_PER_REVOLUTION *
                            static_cast<double>(counts % countsPerRevolution) /
                            static_cast<double>(countsPerRevolution);
    SetNextGlobalPositionAngle(m_dCurrentGlobalPositionAngle.load() +
                               dDegrees * globalDegreesSign(m_rotationDirection.load()));
}

int FTDIController::SetRotationIncrementInCounts(int iRotateCounts) {
    if (GetCountsPerRevolution() == 0) {
        SetFTDIError(TT_ERROR_UNDEFINED_COUNTS_PER_REVOLUTION);
        return 0;
    }
    if (iRotateCounts == 0) {
        m_nCountsToRotate.store(0);
        return 0;
    }

    // Widened first: the magnitude of INT_MIN has no int.
    int64_t counts = iRotateCounts;
    if (counts < 0) {
        m_rotationDirection.store(flipped(m_rotationDirection.load()));
        counts = -counts;
    }
    const double dGlobalDegreesSign = globalDegreesSign(m_rotationDirection.load());

    m_nCountsToRotate.store(static_cast<unsigned int>(counts));
    SetNextGlobalPositionAngle(m_dCurrentGlobalPositionAngle.load() +
                               GetRotationIncrementInDegrees() * dGlobalDegreesSign);
    return static_cast<int>(m_nCountsToRotate.load());
}

double FTDIController::SetRotationIncrementInDegrees(double dRotateDegrees) {
    const unsigned int countsPerRevolution = m_nCountsPerRevolution.load();
    if (countsPerRevolution == 0 || dRotateDegrees == 0.0)
        return 0.0;
    if (!std::isfinite(dRotateDegrees))
        return 0.0;

    const bool negative = dRotateDegrees < 0.0;
    const double dMagnitude = negative ? -dRotateDegrees : dRotateDegrees;
    const double dDegreesPerCount =
        DEGREES_PER_REVOLUTION / static_cast<double>(countsPerRevolution);
    const double dRoundedCounts = 0.5 + dMagnitude / dDegreesPerCount;
    // Converting a value without a signed 64-bit counterpart is undefined:
    // refuse it before anything changes.
    if (!(dRoundedCounts < FIRST_UNREPRESENTABLE_COUNT))
        return 0.0;

    if (negative)
        m_rotationDirection.store(flipped(m_rotationDirection.load()));
    const double dGlobalDegreesSign = globalDegreesSign(m_rotationDirection.load());

    const int64_t counts = static_cast<int64_t>(dRoundedCounts);
    m_nCountsToRotate.store(static_cast<unsigned int>(static_cast<uint64_t>(counts)));
    SetNextGlobalPositionAngle(m_dCurrentGlobalPositionAngle.load() +
                               GetRotationIncrementInDegrees() * dGlobalDegreesSign);
    return GetRotationIncrementInDegrees();
}

void FTDIController::SetRotationNextGlobalPositionInDegrees(double dGlobalDegree) {
    if (!std::isfinite(dGlobalDegree))
        return;

    dGlobalDegree = std::fmod(dGlobalDegree, DEGREES_PER_REVOLUTION);
    const double dGlobalStepsToTake = dGlobalDegree - m_dCurrentGlobalPositionAngle.load();

    if (m_rotationDirection.load() == TT_TURN_CLOCKWISE) {
        if (dGlobalStepsToTake < 0.0)
            SetRotationIncrementInDegrees(-dGlobalStepsToTake);
        else
            SetRotationIncrementInDegrees(DEGREES_PER_REVOLUTION - dGlobalStepsToTake);
    }
    // Read again: a clockwise call with a negative argument (a difference
    // beyond 360) has flipped the direction, and the counter-clockwise
    // increment then replaces it.
    if (m_rotationDirection.load() == TT_TURN_COUNTER_CLOCKWISE) {
        if (dGlobalStepsToTake > 0.0)
            SetRotationIncrementInDegrees(dGlobalStepsToTake);
        else
            SetRotationIncrementInDegrees(DEGREES_PER_REVOLUTION + dGlobalStepsToTake);
    }
}

void FTDIController::SetLockMotorWhenIdle(bool bLock, bool changeControllerBits) {
    m_bLockMotorWhenIdle.store(bLock);
    if (!changeControllerBits || GetLockMotorWhenIdle())
        return;

    const unsigned char inactive = m_bMotorEnableActiveHigh.load() ? BITS_OFF : BITS_ON;
    std::lock_guard<std::mutex> lock(m_portMutex);
    m_packet = SetMaskBits(m_packet, BoardPins::Stepper::MOTOR_ENABLE, inactive);
    writeChipByteLocked(m_packet);
}
