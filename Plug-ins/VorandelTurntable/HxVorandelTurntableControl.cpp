#include "HxVorandelTurntableControl.h"

#include <cmath>
#include <iterator>
#include <memory>
#include <mutex>
#include <optional>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "DiagnosticLog.h"
#include "FTDIController.h"
#include "HxDCMotor.h"
#include "HxStepperMotor.h"
#include "HxTurntableHardwarePrivate.h"
#include "TurntableCatalogue.h"
#include "VorandelTurntableControlPrivate.h"

namespace {

/// The FT245R's description string holds this text.
constexpr const char* kChipName = "245R";

bool isCatalogueRow(int id) {
    return id >= 0 && static_cast<size_t>(id) < TurntableCatalogue::ROW_COUNT;
}

using Private = HxVorandelTurntableControl::VorandelTurntableControlPrivate;

/// The open driver, held for the length of one call: a close on another
/// thread (or in a report) cannot free it under that call.
std::shared_ptr<FTDIController> heldDriver(Private& d) {
    std::lock_guard<std::mutex> lock(d.driverMutex);
    return d.driver;
}

/// Releases the closed drivers that nobody uses any more and whose workers
/// are all out; with `all`, every closed driver, waiting for its workers
/// (the destructor's case).
void releaseClosedDrivers(Private& d, bool all) {
    std::vector<std::shared_ptr<FTDIController>> released;
    {
        std::lock_guard<std::mutex> lock(d.driverMutex);
        for (auto it = d.closedDrivers.begin(); it != d.closedDrivers.end();) {
            if (all || (it->use_count() == 1 && !(*it)->HasWorkerInFlight())) {
                released.push_back(std::move(*it));
                it = d.closedDrivers.erase(it);
            } else {
                ++it;
            }
        }
    }
    // Destroyed here, outside the lock: a destructor joins its workers.
}

}  // namespace

HxVorandelTurntableControl::HxVorandelTurntableControl()
    : m_ftdichipController(nullptr), m_PImpl(new VorandelTurntableControlPrivate) {
    m_PImpl->exOS = nullptr;
}

HxVorandelTurntableControl::~HxVorandelTurntableControl() {
    // No worker may outlive the library code it runs: every closed driver is
    // destroyed here, and its destructor waits for its workers to be out
    // (detaching only the one this destructor runs on, from its report).
    closeDevice();
    releaseClosedDrivers(*m_PImpl, true);
    delete m_PImpl;
}

size_t HxVorandelTurntableControl::turntableIdToIndex(TurntableID turntableId) {
    // Rows 5 to 8 hold the models out of declaration order, but a model's
    // row is the one the identity records use to open it.
    const size_t row = TurntableCatalogue::rowOf(static_cast<TurntableIds::Id>(turntableId));
    return row < TurntableCatalogue::ROW_COUNT ? row : 0;
}

HxVorandelTurntableControl::TurntableID HxVorandelTurntableControl::indexToTurntableId(
    size_t index) {
    const TurntableModel* model = TurntableCatalogue::model(index);
    return model != nullptr ? static_cast<TurntableID>(model->id) : Generic_ExpertUse;
}

DevicesNamesList HxVorandelTurntableControl::catalogueNames() {
    DevicesNamesList names;
    for (const TurntableModel& model : TurntableCatalogue::models()) {
        names.push_back(model.label);
    }
    return names;
}

DevicesNamesList HxVorandelTurntableControl::availableDevices() const {
    const DevicesNamesList allSupportedDevicesNamesList = catalogueNames();

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
/// identified device is that device's model; a position beyond the catalogue
/// opens the expert row's.
const TurntableModel& resolveModel(size_t index, int16_t availableTurntableId) {
    const size_t row = (index == 0 && availableTurntableId != -1)
                           ? static_cast<size_t>(static_cast<int>(availableTurntableId))
                           : index;
    const TurntableModel* model = TurntableCatalogue::model(row);
    return model != nullptr ? *model : *TurntableCatalogue::model(0);
}

}  // namespace

void HxVorandelTurntableControl::openDevice(size_t index, bool* success) {
    closeDevice();

    const TurntableModel& model = resolveModel(index, m_PImpl->availableTurntableId);
    std::shared_ptr<FTDIController> driver;
    if (model.driver == TurntableDriver::DcMotor) {
        driver = std::make_shared<HxDCMotor>(this);
    } else {
        driver = std::make_shared<HxStepperMotor>(this);
    }
    {
        std::lock_guard<std::mutex> lock(m_PImpl->driverMutex);
        m_PImpl->driver = driver;
        m_ftdichipController = driver.get();
    }

    // The presets only set fields of the driver; the board sees them at the
    // next move.
    if (const std::optional<TurntablePreset>& preset = model.preset) {
        SetCountsPerRevolution(preset->countsPerRevolution);
        SetLockMotorWhenIdle(preset->lockMotorWhenIdle, false);
        if (const std::optional<LinePolarities>& polarities = preset->polarities) {
            SetMotorEnableActiveHigh(polarities->motorEnableActiveHigh);
            SetClockwiseActiveHigh(polarities->clockwiseActiveHigh);
        }
    }

    std::wstring errorString;
    const bool opened =
        driver->openDevice(static_cast<int>(m_PImpl->availableFtdiIndex), &errorString);
    TT_LOG(Plugin, Info, "open of row %zu on device %d %s", index,
           static_cast<int>(m_PImpl->availableFtdiIndex), opened ? "succeeded" : "failed");
    if (success != nullptr) {
        *success = opened;
    }
    if (!opened) {
        setLastError(wideToNativeString(errorString));
        std::lock_guard<std::mutex> lock(m_PImpl->driverMutex);
        if (m_PImpl->driver == driver) {
            m_PImpl->driver.reset();
            m_ftdichipController = nullptr;
        }
    }
}

void HxVorandelTurntableControl::openDevice(size_t index) {
    bool success = false;
    openDevice(index, &success);
    if (success) {
        // The DC board has no direction line, whichever list position named it.
        const bool isCounterclockwiseRotationSupported =
            resolveModel(index, m_PImpl->availableTurntableId).driver != TurntableDriver::DcMotor;
        hardwareOpenSucceeded(index, isCounterclockwiseRotationSupported);
    } else {
        hardwareDisconnected(index);
    }
}

void HxVorandelTurntableControl::closeDevice() {
    // The driver leaves the object at once, so every later call finds it
    // closed. Its move is cancelled (not reported: the host's callback could
    // otherwise start another one) and its handle closed; the driver itself
    // is released once no worker of it is left, which a report under way
    // (perhaps the one calling this) is not yet.
    std::shared_ptr<FTDIController> driver;
    {
        std::lock_guard<std::mutex> lock(m_PImpl->driverMutex);
        driver = std::move(m_PImpl->driver);
        m_PImpl->driver.reset();
        m_ftdichipController = nullptr;
        if (driver) {
            m_PImpl->closedDrivers.push_back(driver);
        }
    }
    if (driver) {
        driver->closeDevice();
        driver.reset();
    }
    releaseClosedDrivers(*m_PImpl, false);
}

bool HxVorandelTurntableControl::isTurntableOpened() const {
    std::lock_guard<std::mutex> lock(m_PImpl->driverMutex);
    return m_PImpl->driver != nullptr;
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
    const bool clockwise = anglePos > 0.01f;
    if (!clockwise && !(anglePos < -0.01f)) {
        return true;  // within 0.01 of zero, or NaN
    }
    const std::shared_ptr<FTDIController> driver = heldDriver(*m_PImpl);
    if (!driver) {
        return true;
    }
    // The direction and the target are set only once the start is allowed,
    // and put back if it fails, so that a refused start (a move still
    // running) leaves the bookkept position as it was.
    driver->prepareAndStartRotation([&driver, clockwise, anglePos] {
        if (clockwise) {
            driver->SetRotationClockwise();
        } else {
            driver->SetRotationCounterClockwise();
        }
        // The device layer counts clockwise travel as falling angles.
        const float devicePos = -anglePos;
        driver->SetRotationNextGlobalPositionInDegrees(static_cast<double>(devicePos));
    });
    return true;
}

void HxVorandelTurntableControl::stopAngleRotation() {
    // The spin ends before the move is stopped, and the stop is a cancel, so
    // the stopped move is not reported: a host that starts its next step
    // from the report would otherwise set the turntable going again. A
    // report already under way is not waited for (it may be waiting for this
    // thread), but the next step it tries to start is refused.
    m_PImpl->isHostAppSpinning = false;
    if (const std::shared_ptr<FTDIController> driver = heldDriver(*m_PImpl)) {
        driver->cancelRotation();
    }
}

void HxVorandelTurntableControl::spinningWillStart() {
    SetRotationGlobalOriginHere();
    SetLockMotorWhenIdle(true, false);
}

void HxVorandelTurntableControl::turntableRotationStoppedHelper() {
    // This runs on the worker thread: nothing may escape it, or the host's
    // whole process ends. The host's callback may destroy this object, so
    // nothing of it is touched after the call.
    if (!m_PImpl->isHostAppSpinning || !TurntableHardwarePrivate::turntableRotationStopped) {
        return;
    }
    try {
        turntableRotationStopped();
    } catch (...) {
        DiagnosticLog::writeCurrentException(DiagnosticLog::Category::Plugin,
                                             "the host's rotation-stopped callback");
    }
}

bool HxVorandelTurntableControl::startRotation() {
    const std::shared_ptr<FTDIController> driver = heldDriver(*m_PImpl);
    return driver && driver->startRotation();
}

void HxVorandelTurntableControl::stopRotation() {
    const std::shared_ptr<FTDIController> driver = heldDriver(*m_PImpl);
    if (driver) {
        driver->stopRotation();
    }
}

int HxVorandelTurntableControl::SetRotationIncrementInCounts(int iRotateCounts) {
    const std::shared_ptr<FTDIController> driver = heldDriver(*m_PImpl);
    if (!driver) {
        return 0;
    }
    return driver->SetRotationIncrementInCounts(iRotateCounts);
}

double HxVorandelTurntableControl::SetRotationIncrementInDegrees(double dRotateDegrees) {
    const std::shared_ptr<FTDIController> driver = heldDriver(*m_PImpl);
    if (!driver) {
        return 0.0;
    }
    return driver->SetRotationIncrementInDegrees(dRotateDegrees);
}

void HxVorandelTurntableControl::SetRotationNextGlobalPositionInDegrees(double dGlobalDegree) {
    const std::shared_ptr<FTDIController> driver = heldDriver(*m_PImpl);
    if (driver) {
        driver->SetRotationNextGlobalPositionInDegrees(dGlobalDegree);
    }
}

void HxVorandelTurntableControl::SetRotationGlobalOriginHere() {
    const std::shared_ptr<FTDIController> driver = heldDriver(*m_PImpl);
    if (driver) {
        driver->SetRotationGlobalOriginHere();
    }
}

void HxVorandelTurntableControl::SetRotationContinuous() {
    const std::shared_ptr<FTDIController> driver = heldDriver(*m_PImpl);
    if (driver) {
        driver->SetRotationContinuous();
    }
}

void HxVorandelTurntableControl::SetCountsPerRevolution(unsigned int nCountsPerRotation) {
    const std::shared_ptr<FTDIController> driver = heldDriver(*m_PImpl);
    if (driver) {
        driver->SetCountsPerRevolution(nCountsPerRotation);
    }
}

void HxVorandelTurntableControl::SetClockwiseActiveHigh(bool bHighIsClocwise) {
    const std::shared_ptr<FTDIController> driver = heldDriver(*m_PImpl);
    if (driver) {
        driver->SetClockwiseActiveHigh(bHighIsClocwise);
    }
}

void HxVorandelTurntableControl::SetClockwiseActiveLow() {
    SetClockwiseActiveHigh(false);
}

void HxVorandelTurntableControl::SetMotorEnableActiveHigh(bool bHighIsEnable) {
    const std::shared_ptr<FTDIController> driver = heldDriver(*m_PImpl);
    if (driver) {
        driver->SetMotorEnableActiveHigh(bHighIsEnable);
    }
}

void HxVorandelTurntableControl::SetMotorEnableActiveLow() {
    SetMotorEnableActiveHigh(false);
}

void HxVorandelTurntableControl::SetRotationSpeed(unsigned int nSpeed) {
    const std::shared_ptr<FTDIController> driver = heldDriver(*m_PImpl);
    if (driver) {
        driver->SetRotationSpeed(nSpeed);
    }
}

void HxVorandelTurntableControl::SetRotationClockwise() {
    const std::shared_ptr<FTDIController> driver = heldDriver(*m_PImpl);
    if (driver) {
        driver->SetRotationClockwise();
    }
}

void HxVorandelTurntableControl::SetRotationCounterClockwise() {
    const std::shared_ptr<FTDIController> driver = heldDriver(*m_PImpl);
    if (driver) {
        driver->SetRotationCounterClockwise();
    }
}

void HxVorandelTurntableControl::SetLockMotorWhenIdle(bool bLock, bool changeControllerBits) {
    const std::shared_ptr<FTDIController> driver = heldDriver(*m_PImpl);
    if (driver) {
        driver->SetLockMotorWhenIdle(bLock, changeControllerBits);
    }
}

bool HxVorandelTurntableControl::IsTurntableRotating() {
    const std::shared_ptr<FTDIController> driver = heldDriver(*m_PImpl);
    return driver && driver->IsTurntableRotating();
}

unsigned int HxVorandelTurntableControl::rotationSpeed() const {
    const std::shared_ptr<FTDIController> driver = heldDriver(*m_PImpl);
    return driver ? driver->GetRotationSpeed() : 0;
}

bool HxVorandelTurntableControl::isRotationClockwise() const {
    const std::shared_ptr<FTDIController> driver = heldDriver(*m_PImpl);
    return driver &&
           driver->GetRotationDirection() == FTDIController::TT_TURN_CLOCKWISE;
}

uint32_t HxVorandelTurntableControl::stepsPerRevolution() const {
    const std::shared_ptr<FTDIController> driver = heldDriver(*m_PImpl);
    if (!driver) {
        return 0;
    }
    return static_cast<uint32_t>(driver->GetCountsPerRevolution());
}

bool HxVorandelTurntableControl::isClockwiseActiveHigh() const {
    const std::shared_ptr<FTDIController> driver = heldDriver(*m_PImpl);
    return driver && driver->GetClockwiseIsActiveHigh();
}

bool HxVorandelTurntableControl::isMotorEnableActiveHigh() const {
    const std::shared_ptr<FTDIController> driver = heldDriver(*m_PImpl);
    return driver && driver->GetMotorEnableIsActiveHigh();
}

bool HxVorandelTurntableControl::isLockMotorWhenIdle() const {
    const std::shared_ptr<FTDIController> driver = heldDriver(*m_PImpl);
    return driver && driver->GetLockMotorWhenIdle();
}

bool HxVorandelTurntableControl::shutterReleaseCameraHardware() {
    const std::shared_ptr<FTDIController> driver = heldDriver(*m_PImpl);
    return driver && driver->triggerShutterRelease();
}

bool HxVorandelTurntableControl::writeToEEPROM(short writtenId) {
    const std::shared_ptr<FTDIController> driver = heldDriver(*m_PImpl);
    return driver && driver->writeToEEPROM(writtenId);
}

bool HxVorandelTurntableControl::readFromEEPROM(short* writtenId) {
    const std::shared_ptr<FTDIController> driver = heldDriver(*m_PImpl);
    return driver && driver->readFromEEPROM(writtenId);
}
