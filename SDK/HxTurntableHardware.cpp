#include "HxTurntableHardware.h"

#include <mutex>

#include "HxAbstractPluginPrivate.h"

HxHardwareOpenSucceeded TurntableHardwarePrivate::hardwareOpenSucceeded;
HxHardwareDisconnected TurntableHardwarePrivate::hardwareDisconnected;
HxTurntableRotationStopped TurntableHardwarePrivate::turntableRotationStopped;

HxTurntableHardware::HxTurntableHardware() : m_PImpl(new TurntableHardwarePrivate) {}

HxTurntableHardware::~HxTurntableHardware() {
    delete m_PImpl;
}

bool HxTurntableHardware::stepsSpinningWillStart() {
    return false;
}
void HxTurntableHardware::stepsSpinningWillStop() {}
void HxTurntableHardware::stopAngleRotation() {}

void HxTurntableHardware::setCurrentTurntableIndex(size_t index) {
    std::lock_guard<std::mutex> lock(AbstractPluginPrivate::asyncMutex);
    m_PImpl->currentTurntableIndex = index;
}

size_t HxTurntableHardware::currentTurntableIndex() const {
    std::lock_guard<std::mutex> lock(AbstractPluginPrivate::asyncMutex);
    return m_PImpl->currentTurntableIndex;
}

void HxTurntableHardware::hardwareOpenSucceeded(size_t index, bool canMoveCounterclockwise) {
    TurntableHardwarePrivate::hardwareOpenSucceeded(this, index, canMoveCounterclockwise);
}

void HxTurntableHardware::hardwareDisconnected(size_t index) {
    TurntableHardwarePrivate::hardwareDisconnected(this, index);
}

void HxTurntableHardware::turntableRotationStopped() {
    TurntableHardwarePrivate::turntableRotationStopped(this);
}

float HxTurntableHardware::stepsToDegrees(short /*steps*/) const {
    return 0.0f;
}

short HxTurntableHardware::degreesToSteps(float /*degrees*/) const {
    return 0;
}
