#include "ftsim/Device.h"

#include "Locked.h"

namespace ftsim {

Device& Device::failOpen(FT_STATUS status) {
    withDevice(m_index, [&](SimDevice& d, World&) {
        d.openFault = StatusPlan{status, status == FT_OK ? 0u : kForever};
    });
    return *this;
}

Device& Device::failWrites(Fault fault, unsigned calls, unsigned skip) {
    withDevice(m_index, [&](SimDevice& d, World&) {
        d.writeFault = FaultPlan{fault, skip, calls};
    });
    return *this;
}

Device& Device::failReads(Fault fault, unsigned calls, unsigned skip) {
    withDevice(m_index, [&](SimDevice& d, World&) { d.readFault = FaultPlan{fault, skip, calls}; });
    return *this;
}

Device& Device::clearPortFaults() {
    withDevice(m_index, [&](SimDevice& d, World&) {
        d.writeFault = FaultPlan{};
        d.readFault = FaultPlan{};
    });
    return *this;
}

Device& Device::failEeprom(EepromCall which, FT_STATUS status, unsigned calls) {
    withDevice(m_index, [&](SimDevice& d, World&) {
        d.eepromFault[int(which)] = StatusPlan{status, status == FT_OK ? 0u : calls};
    });
    return *this;
}

Device& Device::shortUserAreaRead(DWORD count, unsigned calls) {
    withDevice(m_index, [&](SimDevice& d, World&) {
        d.shortUaRead = StatusPlan{FT_OK, calls};
        d.shortUaCount = count;
    });
    return *this;
}

Device& Device::clearEepromFaults() {
    withDevice(m_index, [&](SimDevice& d, World&) {
        for (StatusPlan& plan : d.eepromFault)
            plan = StatusPlan{};
        d.shortUaRead = StatusPlan{};
    });
    return *this;
}

Device& Device::setOpenElsewhere(bool open) {
    withDevice(m_index, [&](SimDevice& d, World&) { d.config.openElsewhere = open; });
    return *this;
}

Device& Device::unplug() {
    withDevice(m_index, [&](SimDevice& d, World& w) { w.unplug(d.index, now()); });
    return *this;
}

Device& Device::unplugAfterWrites(unsigned writes) {
    withDevice(m_index, [&](SimDevice& d, World& w) {
        if (writes == 0)
            w.unplug(d.index, now());
        else
            d.writesBeforeUnplug = writes;
    });
    return *this;
}

Device& Device::unplugAt(TimeNs time) {
    withDevice(m_index, [&](SimDevice& d, World&) { d.unplugAt = time; });
    return *this;
}

Device& Device::plugIn() {
    withDevice(m_index, [&](SimDevice& d, World&) {
        if (!d.plugged) {
            d.plugged = true;
            d.resetChip();  // a power cycle of the chip; the board keeps its state
        }
        d.unplugAt = -1;
    });
    return *this;
}

bool Device::isPlugged() const {
    return withDevice(m_index, [&](SimDevice& d, World&) { return d.plugged; });
}

bool Device::isOpen() const {
    return withDevice(m_index, [&](SimDevice& d, World&) { return d.openHere; });
}

ULONG Device::baudRate() const {
    return withDevice(m_index, [&](SimDevice& d, World&) { return d.baudRate; });
}

UCHAR Device::latencyTimer() const {
    return withDevice(m_index, [&](SimDevice& d, World&) { return d.latency; });
}

UCHAR Device::bitMode() const {
    return withDevice(m_index, [&](SimDevice& d, World&) { return d.mode; });
}

UCHAR Device::directionMask() const {
    return withDevice(m_index, [&](SimDevice& d, World&) { return d.mask; });
}

UCHAR Device::pins() const {
    return observeDevice(m_index, [&](SimDevice& d, World&) { return UCHAR(d.pinsAt(now())); });
}

std::vector<std::uint8_t> Device::userArea() const {
    return withDevice(m_index, [&](SimDevice& d, World&) { return d.userArea; });
}

DWORD Device::userAreaSize() const {
    return withDevice(m_index, [&](SimDevice& d, World&) { return DWORD(d.userArea.size()); });
}

Device& Device::setUserArea(const std::vector<std::uint8_t>& bytes) {
    withDevice(m_index, [&](SimDevice& d, World&) { d.setUserArea(bytes); });
    return *this;
}

Device& Device::setUserAreaSize(DWORD bytes) {
    withDevice(m_index, [&](SimDevice& d, World&) { d.resizeUserArea(bytes); });
    return *this;
}

Device& Device::setIdentity(std::int16_t row, std::int16_t kind, std::int16_t version) {
    withDevice(m_index, [&](SimDevice& d, World&) { d.setIdentity(row, kind, version); });
    return *this;
}

std::string Device::manufacturer() const {
    return withDevice(m_index, [&](SimDevice& d, World&) { return d.manufacturer; });
}

std::string Device::manufacturerId() const {
    return withDevice(m_index, [&](SimDevice& d, World&) { return d.manufacturerId; });
}

std::string Device::eepromDescription() const {
    return withDevice(m_index, [&](SimDevice& d, World&) { return d.description; });
}

std::string Device::eepromSerial() const {
    return withDevice(m_index, [&](SimDevice& d, World&) { return d.serial; });
}

unsigned Device::eepromPrograms() const {
    return withDevice(m_index, [&](SimDevice& d, World&) { return d.programs; });
}

StepperView& Device::stepper() {
    withDevice(m_index, [&](SimDevice& d, World&) { stepperOf(d); });
    return m_stepper;
}

DcView& Device::dc() {
    withDevice(m_index, [&](SimDevice& d, World&) { dcOf(d); });
    return m_dc;
}

}  // namespace ftsim
