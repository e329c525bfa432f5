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

#include "ChipListing.h"
#include "D2xxDiagnostics.h"
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
    std::lock_guard<std::mutex> lock(d.mutex);
    return d.driver;
}

/// Every motion and settings call in one shape: the device layer's
/// operation on the open driver, or nothing (and `neutral`) while closed.
template <class Method, class... Args>
void forwardTo(Private& d, Method method, Args... args) {
    if (const std::shared_ptr<FTDIController> driver = heldDriver(d))
        ((*driver).*method)(args...);
}

template <class Result, class Method, class... Args>
Result answerFrom(Private& d, Result neutral, Method method, Args... args) {
    const std::shared_ptr<FTDIController> driver = heldDriver(d);
    return driver ? static_cast<Result>(((*driver).*method)(args...)) : neutral;
}

/// Lets go of the closed drivers whose workers are all out of their
/// reports. The last reference may be another thread's; the destructor of a
/// driver whose workers are out only joins them.
void releaseClosedDrivers(Private& d) {
    std::vector<std::shared_ptr<FTDIController>> released;
    {
        std::lock_guard<std::mutex> lock(d.mutex);
        for (auto it = d.closed.begin(); it != d.closed.end();) {
            if (!(*it)->HasWorkerInFlight()) {
                released.push_back(std::move(*it));
                it = d.closed.erase(it);
            } else {
                ++it;
            }
        }
    }
    // Dropped here, outside the lock.
}

/// Which connection's end-of-move report runs on this thread, if any: a
/// report belongs to its connection, and what it starts must not reach a
/// connection opened after it was closed.
struct ReportOnThisThread {
    const HxVorandelTurntableControl* control;
    const FTDIController* connection;
};
thread_local ReportOnThisThread t_report{nullptr, nullptr};

/// True inside a report of this control object's that came from a
/// connection other than `open` (closed since): it may not drive the port.
bool fromAnotherConnectionsReport(const HxVorandelTurntableControl* control,
                                  const FTDIController* open) {
    if (t_report.control != control || t_report.connection == open)
        return false;
    TT_LOG(Plugin, Info, "refused: asked from the report of a connection closed since");
    return true;
}

}  // namespace

HxVorandelTurntableControl::HxVorandelTurntableControl()
    : m_ftdichipController(nullptr), m_PImpl(new VorandelTurntableControlPrivate) {
    m_PImpl->exOS = nullptr;
}

HxVorandelTurntableControl::~HxVorandelTurntableControl() {
    Private& d = *m_PImpl;
    {
        std::lock_guard<std::mutex> turn(d.turn);
        {
            std::lock_guard<std::mutex> lock(d.mutex);
            d.destroying = true;
        }
        closeHoldingTurn();
    }
    // No report may outlive this object, whichever thread holds its driver:
    // every worker this object had is waited for here (all but the one this
    // destructor runs on, from its report), not by dropping references.
    std::vector<std::shared_ptr<FTDIController>> drivers;
    {
        std::lock_guard<std::mutex> lock(d.mutex);
        drivers.swap(d.closed);
    }
    for (const std::shared_ptr<FTDIController>& driver : drivers)
        driver->waitForWorkersOut();
    drivers.clear();
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
        {
            std::lock_guard<std::mutex> lock(m_PImpl->mutex);
            m_PImpl->availableFtdiIndex = static_cast<int16_t>(device.fdtiIndex);
            m_PImpl->availableTurntableId = static_cast<int16_t>(device.deviceID);
        }
        DevicesNamesList::const_iterator DeviceNameIterator = allSupportedDevicesNamesList.begin();
        std::advance(DeviceNameIterator, device.deviceID);
        return DevicesNamesList{*DeviceNameIterator};
    }

    const FTDIController::DeviceIndexes unidentified =
        FTDIController::availableDeviceIndexes(kChipName, FTDIController::UnknownDevice);
    if (!unidentified.empty()) {
        std::lock_guard<std::mutex> lock(m_PImpl->mutex);
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

/// The driver of a model's board, preset for the model; the connection is
/// still closed.
std::shared_ptr<FTDIController> makeDriver(const TurntableModel& model) {
    std::shared_ptr<FTDIController> driver;
    if (model.driver == TurntableDriver::DcMotor) {
        driver = std::make_shared<HxDCMotor>();
    } else {
        driver = std::make_shared<HxStepperMotor>();
    }
    // The presets only set fields of the driver; the board sees them at the
    // next move.
    if (const std::optional<TurntablePreset>& preset = model.preset) {
        driver->SetCountsPerRevolution(preset->countsPerRevolution);
        driver->SetLockMotorWhenIdle(preset->lockMotorWhenIdle, false);
        if (const std::optional<LinePolarities>& polarities = preset->polarities) {
            driver->SetMotorEnableActiveHigh(polarities->motorEnableActiveHigh);
            driver->SetClockwiseActiveHigh(polarities->clockwiseActiveHigh);
        }
    }
    return driver;
}

}  // namespace

void HxVorandelTurntableControl::openDevice(size_t index, bool* success) {
    Private& d = *m_PImpl;
    bool opened = false;
    std::wstring errorString;
    int ftdiIndex = -1;
    {
        std::lock_guard<std::mutex> turn(d.turn);
        closeHoldingTurn();

        int16_t identifiedRow = -1;
        bool destroying = false;
        {
            std::lock_guard<std::mutex> lock(d.mutex);
            ftdiIndex = d.availableFtdiIndex;
            identifiedRow = d.availableTurntableId;
            destroying = d.destroying;
        }
        if (destroying) {
            errorString = L"The turntable control is being destroyed.";
        } else {
            const std::shared_ptr<FTDIController> driver =
                makeDriver(resolveModel(index, identifiedRow));
            driver->SetMoveEndReport(
                [this, connection = driver.get()] { reportMoveEndOf(connection); });
            // Published once open: until then every call finds the turntable
            // closed, and no close can come between (it waits for its turn).
            opened = driver->openDevice(ftdiIndex, &errorString);
            if (opened) {
                std::lock_guard<std::mutex> lock(d.mutex);
                d.driver = driver;
                m_ftdichipController = driver.get();
            }
        }
    }
    TT_LOG(Plugin, Info, "open of row %zu on device %d %s", index, ftdiIndex,
           opened ? "succeeded" : "failed");
    if (!opened) {
        setLastError(wideToNativeString(errorString));
    }
    if (success != nullptr) {
        *success = opened;
    }
}

void HxVorandelTurntableControl::openDevice(size_t index) {
    bool success = false;
    openDevice(index, &success);
    if (success) {
        // The DC board has no direction line, whichever list position named it.
        const std::shared_ptr<FTDIController> driver = heldDriver(*m_PImpl);
        const bool isCounterclockwiseRotationSupported =
            driver && driver->GetTurntableProfile().bSupportsDirection;
        hardwareOpenSucceeded(index, isCounterclockwiseRotationSupported);
    } else {
        hardwareDisconnected(index);
    }
}

void HxVorandelTurntableControl::closeDevice() {
    std::lock_guard<std::mutex> turn(m_PImpl->turn);
    closeHoldingTurn();
}

void HxVorandelTurntableControl::closeHoldingTurn() {
    // The driver leaves the object first, so every later call, and every
    // report not yet begun, finds it closed. Its move is cancelled (not
    // reported: the host's callback could otherwise start another one) and
    // its handle closed.
    Private& d = *m_PImpl;
    std::shared_ptr<FTDIController> driver;
    {
        std::lock_guard<std::mutex> lock(d.mutex);
        driver = std::move(d.driver);
        d.driver.reset();
        m_ftdichipController = nullptr;
        if (driver) {
            d.closed.push_back(driver);
        }
    }
    if (driver) {
        driver->closeDevice();
    }
    releaseClosedDrivers(d);
}

bool HxVorandelTurntableControl::isTurntableOpened() const {
    std::lock_guard<std::mutex> lock(m_PImpl->mutex);
    return m_PImpl->driver != nullptr;
}

bool HxVorandelTurntableControl::stepsSpinningWillStart() {
    std::lock_guard<std::mutex> lock(m_PImpl->mutex);
    m_PImpl->isHostAppSpinning = true;
    return true;
}

void HxVorandelTurntableControl::stepsSpinningWillStop() {
    SetRotationNextGlobalPositionInDegrees(360.0);
    std::lock_guard<std::mutex> lock(m_PImpl->mutex);
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
    if (!driver || fromAnotherConnectionsReport(this, driver.get())) {
        return false;
    }
    // The direction and the target are set only once the start is admitted,
    // and put back if it fails, so that a refused start (a move still
    // running) leaves the bookkept position as it was.
    return driver->prepareAndStartRotation([&driver, clockwise, anglePos] {
        if (clockwise) {
            driver->SetRotationClockwise();
        } else {
            driver->SetRotationCounterClockwise();
        }
        // The device layer counts clockwise travel as falling angles.
        const float devicePos = -anglePos;
        driver->SetRotationNextGlobalPositionInDegrees(static_cast<double>(devicePos));
    });
}

void HxVorandelTurntableControl::stopAngleRotation() {
    // The spin ends before the move is stopped, and the stop is a cancel, so
    // the stopped move is not reported: a host that starts its next step
    // from the report would otherwise set the turntable going again. A
    // report already under way is not waited for (it may be waiting for this
    // thread), but the next step it tries to start is refused.
    {
        std::lock_guard<std::mutex> lock(m_PImpl->mutex);
        m_PImpl->isHostAppSpinning = false;
    }
    forwardTo(*m_PImpl, &FTDIController::cancelRotation);
}

void HxVorandelTurntableControl::spinningWillStart() {
    SetRotationGlobalOriginHere();
    SetLockMotorWhenIdle(true, false);
}

void HxVorandelTurntableControl::reportMoveEndOf(const FTDIController* connection) {
    // Decided under the lock that close and stopAngleRotation take: once
    // either has returned, this report no longer begins.
    {
        std::lock_guard<std::mutex> lock(m_PImpl->mutex);
        if (m_PImpl->driver.get() != connection || !m_PImpl->isHostAppSpinning) {
            return;
        }
    }
    const ReportOnThisThread outer = t_report;
    t_report = ReportOnThisThread{this, connection};
    turntableRotationStoppedHelper();
    // The callback may have destroyed this object: only the thread's own
    // record is touched after it.
    t_report = outer;
}

void HxVorandelTurntableControl::turntableRotationStoppedHelper() {
    // This runs on the worker thread: nothing may escape it, or the host's
    // whole process ends. The host's callback may destroy this object, so
    // nothing of it is touched after the call.
    bool spinning = false;
    {
        std::lock_guard<std::mutex> lock(m_PImpl->mutex);
        spinning = m_PImpl->isHostAppSpinning;
    }
    if (!spinning || !TurntableHardwarePrivate::turntableRotationStopped) {
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
    return driver && !fromAnotherConnectionsReport(this, driver.get()) && driver->startRotation();
}

void HxVorandelTurntableControl::stopRotation() {
    forwardTo(*m_PImpl, &FTDIController::stopRotation);
}

int HxVorandelTurntableControl::SetRotationIncrementInCounts(int iRotateCounts) {
    return answerFrom(*m_PImpl, 0, &FTDIController::SetRotationIncrementInCounts, iRotateCounts);
}

double HxVorandelTurntableControl::SetRotationIncrementInDegrees(double dRotateDegrees) {
    return answerFrom(*m_PImpl, 0.0, &FTDIController::SetRotationIncrementInDegrees,
                      dRotateDegrees);
}

void HxVorandelTurntableControl::SetRotationNextGlobalPositionInDegrees(double dGlobalDegree) {
    forwardTo(*m_PImpl, &FTDIController::SetRotationNextGlobalPositionInDegrees, dGlobalDegree);
}

void HxVorandelTurntableControl::SetRotationGlobalOriginHere() {
    forwardTo(*m_PImpl, &FTDIController::SetRotationGlobalOriginHere);
}

void HxVorandelTurntableControl::SetRotationContinuous() {
    forwardTo(*m_PImpl, &FTDIController::SetRotationContinuous);
}

void HxVorandelTurntableControl::SetCountsPerRevolution(unsigned int nCountsPerRotation) {
    forwardTo(*m_PImpl, &FTDIController::SetCountsPerRevolution, nCountsPerRotation);
}

void HxVorandelTurntableControl::SetClockwiseActiveHigh(bool bHighIsClocwise) {
    forwardTo(*m_PImpl, &FTDIController::SetClockwiseActiveHigh, bHighIsClocwise);
}

void HxVorandelTurntableControl::SetClockwiseActiveLow() {
    SetClockwiseActiveHigh(false);
}

void HxVorandelTurntableControl::SetMotorEnableActiveHigh(bool bHighIsEnable) {
    forwardTo(*m_PImpl, &FTDIController::SetMotorEnableActiveHigh, bHighIsEnable);
}

void HxVorandelTurntableControl::SetMotorEnableActiveLow() {
    SetMotorEnableActiveHigh(false);
}

void HxVorandelTurntableControl::SetRotationSpeed(unsigned int nSpeed) {
    forwardTo(*m_PImpl, &FTDIController::SetRotationSpeed, nSpeed);
}

void HxVorandelTurntableControl::SetRotationClockwise() {
    forwardTo(*m_PImpl, &FTDIController::SetRotationClockwise);
}

void HxVorandelTurntableControl::SetRotationCounterClockwise() {
    forwardTo(*m_PImpl, &FTDIController::SetRotationCounterClockwise);
}

void HxVorandelTurntableControl::SetLockMotorWhenIdle(bool bLock, bool changeControllerBits) {
    forwardTo(*m_PImpl, &FTDIController::SetLockMotorWhenIdle, bLock, changeControllerBits);
}

bool HxVorandelTurntableControl::IsTurntableRotating() {
    return answerFrom(*m_PImpl, false, &FTDIController::IsTurntableRotating);
}

double HxVorandelTurntableControl::globalPositionInDegrees() const {
    // The device layer counts clockwise travel as falling angles.
    const double deviceAngle =
        answerFrom(*m_PImpl, 0.0, &FTDIController::GetCurrentGlobalPositionAngle);
    return deviceAngle == 0.0 ? 0.0 : -deviceAngle;
}

HxVorandelTurntableControl::MoveOutcome HxVorandelTurntableControl::lastMoveOutcome() const {
    switch (answerFrom(*m_PImpl, FTDIController::MoveEnd::None, &FTDIController::GetLastMoveEnd)) {
        case FTDIController::MoveEnd::Completed:
            return MoveCompleted;
        case FTDIController::MoveEnd::Stopped:
            return MoveStopped;
        case FTDIController::MoveEnd::Failed:
            return MoveFailed;
        case FTDIController::MoveEnd::None:
            break;
    }
    return NoMoveYet;
}

unsigned int HxVorandelTurntableControl::rotationSpeed() const {
    return answerFrom(*m_PImpl, 0u, &FTDIController::GetRotationSpeed);
}

bool HxVorandelTurntableControl::isRotationClockwise() const {
    return answerFrom(*m_PImpl, FTDIController::TT_TURN_UNDEFINED,
                      &FTDIController::GetRotationDirection) == FTDIController::TT_TURN_CLOCKWISE;
}

uint32_t HxVorandelTurntableControl::stepsPerRevolution() const {
    return static_cast<uint32_t>(answerFrom(*m_PImpl, 0, &FTDIController::GetCountsPerRevolution));
}

bool HxVorandelTurntableControl::isClockwiseActiveHigh() const {
    return answerFrom(*m_PImpl, false, &FTDIController::GetClockwiseIsActiveHigh);
}

bool HxVorandelTurntableControl::isMotorEnableActiveHigh() const {
    return answerFrom(*m_PImpl, false, &FTDIController::GetMotorEnableIsActiveHigh);
}

bool HxVorandelTurntableControl::isLockMotorWhenIdle() const {
    return answerFrom(*m_PImpl, false, &FTDIController::GetLockMotorWhenIdle);
}

bool HxVorandelTurntableControl::shutterReleaseCameraHardware() {
    const std::shared_ptr<FTDIController> driver = heldDriver(*m_PImpl);
    return driver && !fromAnotherConnectionsReport(this, driver.get()) &&
           driver->triggerShutterRelease();
}

bool HxVorandelTurntableControl::writeToEEPROM(short writtenId) {
    const std::shared_ptr<FTDIController> driver = heldDriver(*m_PImpl);
    return driver && !fromAnotherConnectionsReport(this, driver.get()) &&
           driver->writeToEEPROM(writtenId);
}

bool HxVorandelTurntableControl::readFromEEPROM(short* writtenId) {
    return answerFrom(*m_PImpl, false, &FTDIController::readFromEEPROM, writtenId);
}

namespace {
HxVorandelTurntableControl::ChipByteClock hostView(const MeasuredByteClock& clock) {
    HxVorandelTurntableControl::ChipByteClock view;
    view.bytesPerSecond = clock.bytesPerSecond;
    view.baudRate = clock.baudRate;
    view.bytesPerBaud = clock.bytesPerBaud;
    return view;
}
}  // namespace

HxVorandelTurntableControl::ChipByteClock HxVorandelTurntableControl::chipByteClock() const {
    return hostView(
        answerFrom(*m_PImpl, MeasuredByteClock{}, &FTDIController::GetMeasuredByteClock));
}

HxVorandelTurntableControl::ChipByteClock HxVorandelTurntableControl::measureChipByteClock() {
    const std::shared_ptr<FTDIController> driver = heldDriver(*m_PImpl);
    if (!driver || fromAnotherConnectionsReport(this, driver.get()))
        return {};
    return hostView(driver->MeasureByteClock());
}

std::vector<HxVorandelTurntableControl::AttachedTurntable>
HxVorandelTurntableControl::attachedTurntables() {
    std::vector<AttachedTurntable> tables;
    for (const ListedChip& chip : ChipListing::list(kChipName, FTDIController::VorandelTurntable)) {
        AttachedTurntable table;
        table.position = tables.size();
        table.deviceIndex = chip.deviceIndex;
        table.serial = chip.serial;
        table.description = chip.description;
        // As in discovery: a record naming no row says nothing about the model.
        table.catalogueRow = isCatalogueRow(chip.writtenId) ? chip.writtenId : -1;
        table.openable = chip.openStatus == FT_OK;
        if (chip.heldElsewhere) {
            table.problem = "already open in this program";
        } else if (!table.openable) {
            table.problem = std::string("opening failed: ") +
                            D2xxDiagnostics::statusName(static_cast<FT_STATUS>(chip.openStatus)) +
                            " (status " + std::to_string(chip.openStatus) + ")";
        }
        tables.push_back(table);
    }
    return tables;
}

DevicesNamesList HxVorandelTurntableControl::availableDevicesAt(size_t position) const {
    const std::vector<AttachedTurntable> tables = attachedTurntables();
    // The last error belongs to the object's state the host reads; a const
    // discovery records it as availableDevices() does.
    auto* self = const_cast<HxVorandelTurntableControl*>(this);
    if (position >= tables.size()) {
        self->setLastError("No turntable at position " + std::to_string(position) + ": " +
                           std::to_string(tables.size()) + " attached.");
        return DevicesNamesList();
    }
    const AttachedTurntable& table = tables[position];
    if (!table.openable) {
        self->setLastError("The turntable at position " + std::to_string(position) + " (serial " +
                           table.serial + ") cannot be opened: " + table.problem + ".");
        return DevicesNamesList();
    }
    {
        std::lock_guard<std::mutex> lock(m_PImpl->mutex);
        m_PImpl->availableFtdiIndex = static_cast<int16_t>(table.deviceIndex);
        m_PImpl->availableTurntableId = static_cast<int16_t>(table.catalogueRow);
    }
    if (table.catalogueRow == -1) {
        return catalogueNames();
    }
    return DevicesNamesList{TurntableCatalogue::model(size_t(table.catalogueRow))->label};
}
