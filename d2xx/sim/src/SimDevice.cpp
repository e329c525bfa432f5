#include "SimDevice.h"

#include <algorithm>
#include <cstring>

#include "DcModel.h"
#include "PlainBoard.h"
#include "StepperModel.h"

namespace ftsim {

bool FaultPlan::take() {
    if (remaining == 0)
        return false;
    if (skip > 0) {
        --skip;
        return false;
    }
    if (remaining != kForever)
        --remaining;
    return true;
}

bool StatusPlan::take() {
    if (remaining == 0)
        return false;
    if (remaining != kForever)
        --remaining;
    return true;
}

namespace {
std::string fieldText(const char* field, std::size_t size) {
    return std::string(field, strnlen(field, size));
}
}  // namespace

SimDevice::SimDevice(int deviceIndex, const DeviceConfig& deviceConfig, TimeNs now)
    : index(deviceIndex),
      config(deviceConfig),
      clock(deviceConfig.byteClockMultiple),
      kind(deviceConfig.board) {
    if (config.failOpen != FT_OK)
        openFault = StatusPlan{config.failOpen, kForever};

    manufacturer = config.manufacturer;
    manufacturerId = config.manufacturerId;
    description = config.eepromDescription
                      ? *config.eepromDescription
                      : fieldText(config.description.data(), config.description.size());
    serial = config.eepromSerial ? *config.eepromSerial
                                 : fieldText(config.serial.data(), config.serial.size());
    userArea.assign(config.userAreaSize
                        ? *config.userAreaSize
                        : userAreaSizeFor(manufacturer, manufacturerId, description, serial),
                    0);
    setUserArea(config.userArea);

    image.Signature1 = 0;
    image.Signature2 = 0xFFFFFFFF;
    image.Version = 2;
    image.VendorId = WORD(config.id >> 16);
    image.ProductId = WORD(config.id & 0xFFFF);
    image.MaxPower = 90;
    image.SerNumEnableR = 1;

    switch (kind) {
        case BoardKind::Stepper:
            board = std::make_unique<StepperModel>(config.stepper);
            break;
        case BoardKind::Dc:
            board = std::make_unique<DcModel>(config.dc, now);
            break;
        case BoardKind::Plain:
            board = std::make_unique<PlainBoard>();
            break;
    }
}

std::uint8_t SimDevice::pinsAt(TimeNs time) {
    const std::uint8_t in = board->inputs(time);
    if (bitBang())
        return std::uint8_t((latch & mask) | (in & ~mask));
    const std::uint8_t boardPins = board->inputMask();
    return std::uint8_t((lines & ~boardPins) | (in & boardPins));
}

void SimDevice::drive(std::uint8_t newLines, TimeNs time, TraceLog& trace) {
    // The board hears every driven write, also one that changes nothing: a
    // level-sensitive line (the DC mode line) acts on what a write shows.
    const std::uint8_t before = lines;
    lines = newLines;
    board->onLines(before, newLines, time);
    if (newLines != before)
        trace.lineChange(index, time, newLines);
}

void SimDevice::advance(TimeNs time, TraceLog& trace) {
    clock.advance(time, [&](std::uint8_t byte, TimeNs at) {
        const bool driven = bitBang();
        if (driven) {
            latch = byte;
            drive(std::uint8_t((lines & ~mask) | (byte & mask)), at, trace);
        }
        trace.portByte(index, byte, at, driven);
    });
}

void SimDevice::resetChip() {
    clock.clear();
    clock.setDivisor(ByteClock::POWER_UP_DIVISOR, now());
    baudRate = 9600;
    latency = 16;
    mode = FT_BITMODE_RESET;
    mask = 0;
    latch = 0;
    rxOldest.reset();
}

void SimDevice::setIdentity(std::int16_t row, std::int16_t deviceKind, std::int16_t version) {
    const auto word = [](std::int16_t v, int byte) {
        return std::uint8_t(std::uint16_t(v) >> (8 * byte));
    };
    const std::uint8_t record[8] = {0xD1,
                                    0xF4,
                                    word(version, 0),
                                    word(version, 1),
                                    word(deviceKind, 0),
                                    word(deviceKind, 1),
                                    word(row, 0),
                                    word(row, 1)};
    std::copy_n(record, std::min<std::size_t>(8, userArea.size()), userArea.begin());
}

void SimDevice::setUserArea(const std::vector<std::uint8_t>& bytes) {
    std::copy_n(bytes.begin(), std::min(bytes.size(), userArea.size()), userArea.begin());
}

void SimDevice::resizeUserArea(DWORD size) {
    userArea.resize(size, 0);
}

DWORD SimDevice::userAreaSizeFor(const std::string& manufacturer, const std::string& manufacturerId,
                                 const std::string& description, const std::string& serial) {
    const std::size_t used =
        manufacturer.size() + manufacturerId.size() + description.size() + serial.size();
    return used >= 48 ? 0 : DWORD((48 - used) * 2);
}

}  // namespace ftsim
