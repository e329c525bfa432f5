#include "FTDIRotationParameters.h"

#include <cmath>
#include <cstdint>

#include "BoardPins.h"

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

// ---- The arithmetic, on plain data ----

double FTDIController::RotationParameters::incrementInDegrees() const {
    if (countsPerRevolution == 0)
        return 0.0;
    const double dDegreesPerCount = DEGREES_PER_REVOLUTION / static_cast<double>(countsPerRevolution);
    return static_cast<double>(countsToRotate) * dDegreesPerCount;
}

void FTDIController::RotationParameters::setTarget(double angle) {
    targetAngle = std::fmod(angle, DEGREES_PER_REVOLUTION);
}

bool FTDIController::RotationParameters::setIncrementInCounts(int iRotateCounts) {
    if (countsPerRevolution == 0)
        return false;
    pendingTarget.reset();
    if (iRotateCounts == 0) {
        countsToRotate = 0;
        return true;
    }
    // Widened first: the magnitude of INT_MIN has no int.
    int64_t counts = iRotateCounts;
    if (counts < 0) {
        direction = flipped(direction);
        counts = -counts;
    }
    const double dGlobalDegreesSign = globalDegreesSign(direction);
    countsToRotate = static_cast<unsigned int>(counts);
    setTarget(currentAngle + incrementInDegrees() * dGlobalDegreesSign);
    return true;
}

double FTDIController::RotationParameters::setIncrementInDegrees(double dRotateDegrees) {
    if (countsPerRevolution == 0 || dRotateDegrees == 0.0)
        return 0.0;
    if (!std::isfinite(dRotateDegrees))
        return 0.0;

    const bool negative = dRotateDegrees < 0.0;
    const double dMagnitude = negative ? -dRotateDegrees : dRotateDegrees;
    const double dDegreesPerCount = DEGREES_PER_REVOLUTION / static_cast<double>(countsPerRevolution);
    const double dRoundedCounts = 0.5 + dMagnitude / dDegreesPerCount;
    // Converting a value without a signed 64-bit counterpart is undefined:
    // refuse it before anything changes.
    if (!(dRoundedCounts < FIRST_UNREPRESENTABLE_COUNT))
        return 0.0;

    pendingTarget.reset();
    if (negative)
        direction = flipped(direction);
    const double dGlobalDegreesSign = globalDegreesSign(direction);

    const int64_t counts = static_cast<int64_t>(dRoundedCounts);
    countsToRotate = static_cast<unsigned int>(static_cast<uint64_t>(counts));
    setTarget(currentAngle + incrementInDegrees() * dGlobalDegreesSign);
    return incrementInDegrees();
}

void FTDIController::RotationParameters::setNextGlobalPosition(double dGlobalDegree) {
    if (!std::isfinite(dGlobalDegree))
        return;

    dGlobalDegree = std::fmod(dGlobalDegree, DEGREES_PER_REVOLUTION);
    const double dGlobalStepsToTake = dGlobalDegree - currentAngle;

    if (direction == TT_TURN_CLOCKWISE) {
        if (dGlobalStepsToTake < 0.0)
            setIncrementInDegrees(-dGlobalStepsToTake);
        else
            setIncrementInDegrees(DEGREES_PER_REVOLUTION - dGlobalStepsToTake);
    }
    // Read again: a clockwise call with a negative argument (a difference
    // beyond 360) has flipped the direction, and the counter-clockwise
    // increment then replaces it.
    if (direction == TT_TURN_COUNTER_CLOCKWISE) {
        if (dGlobalStepsToTake > 0.0)
            setIncrementInDegrees(dGlobalStepsToTake);
        else
            setIncrementInDegrees(DEGREES_PER_REVOLUTION + dGlobalStepsToTake);
    }
}

void FTDIController::RotationParameters::bookMove(double startAngle,
                                                  ENUM_ROTATION_DIRECTION moveDirection,
                                                  uint64_t counts, unsigned int countsPerTurn) {
    if (countsPerTurn == 0)
        return;
    // The same arithmetic as the increment's target, so that a move that
    // ran its whole count ends exactly at the angle prepared for it.
    const double dDegreesPerCount = DEGREES_PER_REVOLUTION / static_cast<double>(countsPerTurn);
    const double travelled = static_cast<double>(counts) * dDegreesPerCount;
    currentAngle =
        std::fmod(startAngle + travelled * globalDegreesSign(moveDirection), DEGREES_PER_REVOLUTION);
}

// ---- The controller's operations: each one step under the state lock ----

void FTDIController::SetRotationDirection(ENUM_ROTATION_DIRECTION direction) {
    std::lock_guard<std::mutex> lock(m_moveMutex);
    m_parameters->direction = direction;
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
    std::lock_guard<std::mutex> lock(m_moveMutex);
    m_parameters->countsPerRevolution = nCountsPerRotation;
}

void FTDIController::SetRotationSpeed(unsigned int nSpeed) {
    m_nRotationSpeed.store(nSpeed);
}

void FTDIController::SetRotationGlobalOriginHere() {
    std::lock_guard<std::mutex> lock(m_moveMutex);
    m_parameters->currentAngle = 0.0;
}

void FTDIController::SetRotationContinuous() {
    std::lock_guard<std::mutex> lock(m_moveMutex);
    m_parameters->pendingTarget.reset();
    m_parameters->countsToRotate = 0;
}

double FTDIController::GetCurrentGlobalPositionAngle() const {
    std::lock_guard<std::mutex> lock(m_moveMutex);
    return m_parameters->currentAngle;
}

FTDIController::ENUM_ROTATION_DIRECTION FTDIController::GetRotationDirection() const {
    std::lock_guard<std::mutex> lock(m_moveMutex);
    return m_parameters->direction;
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
    std::lock_guard<std::mutex> lock(m_moveMutex);
    return static_cast<int>(m_parameters->countsPerRevolution);
}

int FTDIController::GetCountsToRotate() const {
    std::lock_guard<std::mutex> lock(m_moveMutex);
    return static_cast<int>(m_parameters->countsToRotate);
}

unsigned int FTDIController::GetRotationSpeed() const {
    return m_nRotationSpeed.load();
}

bool FTDIController::GetLockMotorWhenIdle() const {
    return m_bLockMotorWhenIdle.load();
}

double FTDIController::GetRotationIncrementInDegrees() const {
    std::lock_guard<std::mutex> lock(m_moveMutex);
    return m_parameters->incrementInDegrees();
}

void FTDIController::SetNextGlobalPositionAngle(double dAngle) {
    std::lock_guard<std::mutex> lock(m_moveMutex);
    m_parameters->setTarget(dAngle);
}

void FTDIController::UpdateGlobalPositionAngleAfterRotation() {
    std::lock_guard<std::mutex> lock(m_moveMutex);
    m_parameters->currentAngle = m_parameters->targetAngle;
}

int FTDIController::SetRotationIncrementInCounts(int iRotateCounts) {
    std::lock_guard<std::mutex> lock(m_moveMutex);
    if (!m_parameters->setIncrementInCounts(iRotateCounts)) {
        SetFTDIError(TT_ERROR_UNDEFINED_COUNTS_PER_REVOLUTION);
        return 0;
    }
    return static_cast<int>(m_parameters->countsToRotate);
}

double FTDIController::SetRotationIncrementInDegrees(double dRotateDegrees) {
    std::lock_guard<std::mutex> lock(m_moveMutex);
    return m_parameters->setIncrementInDegrees(dRotateDegrees);
}

void FTDIController::SetRotationNextGlobalPositionInDegrees(double dGlobalDegree) {
    std::lock_guard<std::mutex> lock(m_moveMutex);
    if (!std::isfinite(dGlobalDegree))
        return;
    // Where a move still drives the port, the position it will end at is
    // not known yet: the target waits for that move's end.
    if (m_moveState == MoveState::Running || m_moveState == MoveState::Stopping) {
        m_parameters->pendingTarget = dGlobalDegree;
        return;
    }
    m_parameters->setNextGlobalPosition(dGlobalDegree);
}

void FTDIController::SetLockMotorWhenIdle(bool bLock, bool changeControllerBits) {
    m_bLockMotorWhenIdle.store(bLock);
    if (!changeControllerBits || bLock)
        return;
    // The port is claimed for the one write, so that it never lands between
    // two writes of a running move (on the DC board the enable line is the
    // counter preset's lowest bit); a move that runs now applies the flag
    // at its end.
    if (!beginExclusivePortWork())
        return;
    releaseMotorUnlessLocked();
    endExclusivePortWork();
}

void FTDIController::releaseMotorUnlessLocked() {
    if (GetLockMotorWhenIdle())
        return;
    const unsigned char inactive = m_bMotorEnableActiveHigh.load() ? BITS_OFF : BITS_ON;
    recordWrite(m_port.writeShadowWithBits(BoardPins::Stepper::MOTOR_ENABLE, inactive));
}
