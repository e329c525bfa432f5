#include "HxVorandelTurntableControl.h"

#include <array>
#include <cmath>
#include <iterator>
#include <mutex>
#include <sstream>
#include <string>

#include "FTDIController.h"
#include "HxDCMotor.h"
#include "HxStepperMotor.h"
#include "HxTurntableHardwarePrivate.h"
#include "VorandelTurntableControlPrivate.h"

namespace {

using TurntableID = HxVorandelTurntableControl::TurntableID;

/// Row by row: the label the host shows and the model the row opens. Rows 5
/// to 8 deliberately pair labels and models out of step: identity records in
/// the field store rows, and those rows must keep opening the models they
/// always opened.
struct CatalogueRow {
    const char* label;
    TurntableID model;
};

constexpr std::array<CatalogueRow, 10> kCatalogue = {{
    {"Vorandel Generic (Expert use)", HxVorandelTurntableControl::Generic_ExpertUse},
    {"Vorandel Classic", HxVorandelTurntableControl::Classic},
    {"Vorandel Compact", HxVorandelTurntableControl::Compact},
    {"Vorandel Cobalt Medium", HxVorandelTurntableControl::Cobalt_M},
    {"Vorandel Cobalt Large", HxVorandelTurntableControl::Cobalt_L},
    {"Vorandel Cobalt Extra Large", HxVorandelTurntableControl::Cobalt_L_S2},
    {"Vorandel Cobalt Large, Series 2", HxVorandelTurntableControl::Cobalt_XL},
    {"Vorandel Amber Large", HxVorandelTurntableControl::Amber_M},
    {"Vorandel Amber Medium", HxVorandelTurntableControl::Amber_L},
    {"Vorandel Amber Extra Large", HxVorandelTurntableControl::Amber_XL},
}};

/// The built-in mechanical settings of a model. The DC board (Classic) has
/// no direction or enable line, so only the stepper models set polarities.
struct ModelPreset {
    TurntableID model;
    unsigned int countsPerRevolution;
    bool lockMotorWhenIdle;
    bool setsLinePolarities;
    bool clockwiseActiveHigh;
};

constexpr std::array<ModelPreset, 9> kPresets = {{
    {HxVorandelTurntableControl::Classic, 72, true, false, false},
    {HxVorandelTurntableControl::Compact, 6400, false, true, false},
    {HxVorandelTurntableControl::Cobalt_M, 19520, false, true, false},
    {HxVorandelTurntableControl::Cobalt_L, 12062, false, true, false},
    {HxVorandelTurntableControl::Cobalt_L_S2, 13062, false, true, true},
    {HxVorandelTurntableControl::Cobalt_XL, 11200, false, true, true},
    {HxVorandelTurntableControl::Amber_M, 8220, false, true, false},
    {HxVorandelTurntableControl::Amber_L, 11520, false, true, false},
    {HxVorandelTurntableControl::Amber_XL, 11520, false, true, false},
}};

/// The FT245R's description string holds this text.
constexpr const char* kChipName = "245R";

bool isCatalogueRow(int id) {
    return id >= 0 && static_cast<size_t>(id) < kCatalogue.size();
}

}  // namespace

HxVorandelTurntableControl::HxVorandelTurntableControl()
    : m_ftdichipController(nullptr), m_PImpl(new VorandelTurntableControlPrivate) {
    m_PImpl->exOS = nullptr;
}

HxVorandelTurntableControl::~HxVorandelTurntableControl() {
    // A worker must never outlive the driver it runs on, and one whose report
    // closed the device must have left that report: closeDevice waits for both.
    closeDevice();
    delete m_PImpl;
}

size_t HxVorandelTurntableControl::turntableIdToIndex(TurntableID turntableId) {
    for (size_t row = 0; row < kCatalogue.size(); ++row) {
        if (kCatalogue[row].model == turntableId) {
            // Rows 5 to 8 hold the models out of declaration order, but a
            // model's row is the one the identity records use to open it.
            return row;
        }
    }
    return 0;
}

HxVorandelTurntableControl::TurntableID HxVorandelTurntableControl::indexToTurntableId(
    size_t index) {
    return index < kCatalogue.size() ? kCatalogue[index].model : Generic_ExpertUse;
}

DevicesNamesList HxVorandelTurntableControl::availableDevices() const {
    DevicesNamesList allSupportedDevicesNamesList;
    for (const CatalogueRow& row : kCatalogue) {
        allSupportedDevicesNamesList.push_back(row.label);
    }

    // A record whose id names no catalogue row says nothing usable about the
    // model, so such a device counts as unidentified: it drops out here and
    // the second pass lists it with the whole catalogue.
    const FTDIController::DeviceIndexes identified =
        FTDIController::availableDeviceIndexes(kChipName, FTDIController::VorandelTurntable);
    for (const FTDIController::IndexID& device : identified) {
        if (!isCatalogueRow(device.deviceID)) {
            continue;
        }
        m_PImpl->availableFtdiIndex = static_cast<int16_t>(device.fdtiIndex);
        m_PImpl->availableTurntableId = static_cast<int16_t>(device.deviceID);
        DevicesNamesList::const_iterator DeviceNameIterator = allSupportedDevicesNamesList.begin();
        std::advance(DeviceNameIterator, device.deviceID);
        return DevicesNamesList{*DeviceNameIterator};
    }

    const FTDIController::DeviceIndexes unidentified =
        FTDIController::availableDeviceIndexes(kChipName, FTDIController::UnknownDevice);
    if (!unidentified.empty()) {
        m_PImpl->availableFtdiIndex = static_cast<int16_t>(unidentified.front().fdtiIndex);
        // The row of an earlier device must not carry over: row 0 of the full
        // catalogue would otherwise open this device with that device's model.
        m_PImpl->availableTurntableId = -1;
        return allSupportedDevicesNamesList;
    }

    std::wostringstream message;
    message << L"The turntable device cannot be found." << L"\n";
    message << L"\n";
    message << L"- make sure driver is installed" << L"\n";
    message << L"- make sure turntable is powered on" << L"\n";
    message << L"- make sure turntable is connected via USB" << L"\n";
    // The last error belongs to the object's state the host reads, not to
    // what discovery answers, so a const discovery still records it.
    const_cast<HxVorandelTurntableControl*>(this)->setLastError(wideToNativeString(message.str()));
    return DevicesNamesList();
}

namespace {

/// The model a host's list position opens: row 0 of the one-name list of an
/// identified device is that device's model.
TurntableID resolveModel(size_t index, int16_t availableTurntableId) {
    const size_t row = (index == 0 && availableTurntableId != -1)
                           ? static_cast<size_t>(static_cast<int>(availableTurntableId))
                           : index;
    return HxVorandelTurntableControl::indexToTurntableId(row);
}

}  // namespace

void HxVorandelTurntableControl::openDevice(size_t index, bool* success) {
    if (m_ftdichipController != nullptr) {
        closeDevice();
    }

    const TurntableID model = resolveModel(index, m_PImpl->availableTurntableId);
    if (model == Classic) {
        m_ftdichipController = new HxDCMotor(this);
    } else {
        m_ftdichipController = new HxStepperMotor(this);
    }

    // The presets only set fields of the driver; the board sees them at the
    // next move. Generic_ExpertUse has none: the expert sets everything.
    for (const ModelPreset& preset : kPresets) {
        if (preset.model != model) {
            continue;
        }
        SetCountsPerRevolution(preset.countsPerRevolution);
        SetLockMotorWhenIdle(preset.lockMotorWhenIdle, false);
        if (preset.setsLinePolarities) {
            SetMotorEnableActiveHigh(true);
            SetClockwiseActiveHigh(preset.clockwiseActiveHigh);
        }
    }

    std::wstring errorString;
    const bool opened = m_ftdichipController->openDevice(
        static_cast<int>(m_PImpl->availableFtdiIndex), &errorString);
    if (success != nullptr) {
        *success = opened;
    }
    if (!opened) {
        setLastError(wideToNativeString(errorString));
        delete m_ftdichipController;
        m_ftdichipController = nullptr;
    }
}

void HxVorandelTurntableControl::openDevice(size_t index) {
    bool success = false;
    openDevice(index, &success);
    if (success) {
        // The DC board has no direction line, whichever list position named it.
        const bool isCounterclockwiseRotationSupported =
            resolveModel(index, m_PImpl->availableTurntableId) != Classic;
        hardwareOpenSucceeded(index, isCounterclockwiseRotationSupported);
    } else {
        hardwareDisconnected(index);
    }
}

void HxVorandelTurntableControl::closeDevice() {
    // The end of the move stopped here is not reported: the host's callback
    // could start another move on a driver that is about to go. A report
    // already under way finishes first, so any move it starts is the one
    // stopped below. That report may also have closed the device itself, so
    // the driver is looked at only once it is over.
    m_PImpl->isClosing = true;
    { std::lock_guard<std::recursive_mutex> reportDone(m_PImpl->reportMutex); }
    if (m_ftdichipController != nullptr) {
        m_ftdichipController->stopRotation();
    }
    m_PImpl->isClosing = false;
    if (m_ftdichipController == nullptr) {
        return;
    }

    m_ftdichipController->closeDevice();
    delete m_ftdichipController;
    m_ftdichipController = nullptr;
}

bool HxVorandelTurntableControl::isTurntableOpened() const {
    return m_ftdichipController != nullptr;
}

bool HxVorandelTurntableControl::stepsSpinningWillStart() {
    m_PImpl->isHostAppSpinning = true;
    return true;
}

void HxVorandelTurntableControl::stepsSpinningWillStop() {
    SetRotationNextGlobalPositionInDegrees(360.0);
    m_PImpl->isHostAppSpinning = false;
}

bool HxVorandelTurntableControl::rotateDeviceToAngle(float anglePos) {
    // An infinite angle names no target: the device layer would keep the
    // previous move's increment, and starting that would turn the table
    // while its bookkept position stayed where it was.
    if (std::isinf(anglePos)) {
        return true;
    }
    if (anglePos > 0.01f) {
        SetRotationClockwise();
    } else if (anglePos < -0.01f) {
        SetRotationCounterClockwise();
    } else {
        return true;  // within 0.01 of zero, or NaN
    }
    // The device layer counts clockwise travel as falling angles.
    const float devicePos = -anglePos;
    SetRotationNextGlobalPositionInDegrees(static_cast<double>(devicePos));
    startRotation();
    return true;
}

void HxVorandelTurntableControl::stopAngleRotation() {
    // The spin ends before the move is stopped, so the stopped move is not
    // reported: a host that starts its next step from the report would
    // otherwise set the turntable going again. A report already under way
    // finishes first, and a move it started is the one stopped below.
    m_PImpl->isHostAppSpinning = false;
    { std::lock_guard<std::recursive_mutex> reportDone(m_PImpl->reportMutex); }
    if (IsTurntableRotating()) {
        stopRotation();
    }
}

void HxVorandelTurntableControl::spinningWillStart() {
    SetRotationGlobalOriginHere();
    SetLockMotorWhenIdle(true, false);
}

void HxVorandelTurntableControl::turntableRotationStoppedHelper() {
    VorandelTurntableControlPrivate& d = *m_PImpl;
    // Checked before the lock as well: a stop running on the host's own
    // callback holds the lock while it joins this worker.
    if (!d.isHostAppSpinning || d.isClosing) {
        return;
    }
    std::lock_guard<std::recursive_mutex> reporting(d.reportMutex);
    if (!d.isHostAppSpinning || d.isClosing) {
        return;
    }
    // This runs on the worker thread: nothing may escape it, or the host's
    // whole process ends.
    if (!TurntableHardwarePrivate::turntableRotationStopped) {
        return;
    }
    try {
        turntableRotationStopped();
    } catch (...) {
    }
}

bool HxVorandelTurntableControl::startRotation() {
    return m_ftdichipController != nullptr && m_ftdichipController->startRotation();
}

void HxVorandelTurntableControl::stopRotation() {
    if (m_ftdichipController != nullptr) {
        m_ftdichipController->stopRotation();
    }
}

int HxVorandelTurntableControl::SetRotationIncrementInCounts(int iRotateCounts) {
    if (m_ftdichipController == nullptr) {
        return 0;
    }
    return m_ftdichipController->SetRotationIncrementInCounts(iRotateCounts);
}

double HxVorandelTurntableControl::SetRotationIncrementInDegrees(double dRotateDegrees) {
    if (m_ftdichipController == nullptr) {
        return 0.0;
    }
    return m_ftdichipController->SetRotationIncrementInDegrees(dRotateDegrees);
}

void HxVorandelTurntableControl::SetRotationNextGlobalPositionInDegrees(double dGlobalDegree) {
    if (m_ftdichipController != nullptr) {
        m_ftdichipController->SetRotationNextGlobalPositionInDegrees(dGlobalDegree);
    }
}

void HxVorandelTurntableControl::SetRotationGlobalOriginHere() {
    if (m_ftdichipController != nullptr) {
        m_ftdichipController->SetRotationGlobalOriginHere();
    }
}

void HxVorandelTurntableControl::SetRotationContinuous() {
    if (m_ftdichipController != nullptr) {
        m_ftdichipController->SetRotationContinuous();
    }
}

void HxVorandelTurntableControl::SetCountsPerRevolution(unsigned int nCountsPerRotation) {
    if (m_ftdichipController != nullptr) {
        m_ftdichipController->SetCountsPerRevolution(nCountsPerRotation);
    }
}

void HxVorandelTurntableControl::SetClockwiseActiveHigh(bool bHighIsClocwise) {
    if (m_ftdichipController != nullptr) {
        m_ftdichipController->SetClockwiseActiveHigh(bHighIsClocwise);
    }
}

void HxVorandelTurntableControl::SetClockwiseActiveLow() {
    SetClockwiseActiveHigh(false);
}

void HxVorandelTurntableControl::SetMotorEnableActiveHigh(bool bHighIsEnable) {
    if (m_ftdichipController != nullptr) {
        m_ftdichipController->SetMotorEnableActiveHigh(bHighIsEnable);
    }
}

void HxVorandelTurntableControl::SetMotorEnableActiveLow() {
    SetMotorEnableActiveHigh(false);
}

void HxVorandelTurntableControl::SetRotationSpeed(unsigned int nSpeed) {
    if (m_ftdichipController != nullptr) {
        m_ftdichipController->SetRotationSpeed(nSpeed);
    }
}

void HxVorandelTurntableControl::SetRotationClockwise() {
    if (m_ftdichipController != nullptr) {
        m_ftdichipController->SetRotationClockwise();
    }
}

void HxVorandelTurntableControl::SetRotationCounterClockwise() {
    if (m_ftdichipController != nullptr) {
        m_ftdichipController->SetRotationCounterClockwise();
    }
}

void HxVorandelTurntableControl::SetLockMotorWhenIdle(bool bLock, bool changeControllerBits) {
    if (m_ftdichipController != nullptr) {
        m_ftdichipController->SetLockMotorWhenIdle(bLock, changeControllerBits);
    }
}

bool HxVorandelTurntableControl::IsTurntableRotating() {
    return m_ftdichipController != nullptr && m_ftdichipController->IsTurntableRotating();
}

unsigned int HxVorandelTurntableControl::rotationSpeed() const {
    return m_ftdichipController != nullptr ? m_ftdichipController->GetRotationSpeed() : 0;
}

bool HxVorandelTurntableControl::isRotationClockwise() const {
    return m_ftdichipController != nullptr &&
           m_ftdichipController->GetRotationDirection() == FTDIController::TT_TURN_CLOCKWISE;
}

uint32_t HxVorandelTurntableControl::stepsPerRevolution() const {
    if (m_ftdichipController == nullptr) {
        return 0;
    }
    return static_cast<uint32_t>(m_ftdichipController->GetCountsPerRevolution());
}

bool HxVorandelTurntableControl::isClockwiseActiveHigh() const {
    return m_ftdichipController != nullptr && m_ftdichipController->GetClockwiseIsActiveHigh();
}

bool HxVorandelTurntableControl::isMotorEnableActiveHigh() const {
    return m_ftdichipController != nullptr && m_ftdichipController->GetMotorEnableIsActiveHigh();
}

bool HxVorandelTurntableControl::isLockMotorWhenIdle() const {
    return m_ftdichipController != nullptr && m_ftdichipController->GetLockMotorWhenIdle();
}

bool HxVorandelTurntableControl::shutterReleaseCameraHardware() {
    return m_ftdichipController != nullptr && m_ftdichipController->triggerShutterRelease();
}

bool HxVorandelTurntableControl::writeToEEPROM(short writtenId) {
    return m_ftdichipController != nullptr && m_ftdichipController->writeToEEPROM(writtenId);
}

bool HxVorandelTurntableControl::readFromEEPROM(short* writtenId) {
    return m_ftdichipController != nullptr && m_ftdichipController->readFromEEPROM(writtenId);
}
