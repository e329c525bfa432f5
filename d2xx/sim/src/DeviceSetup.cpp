#include "ftsim/DeviceSetup.h"

#include <algorithm>
#include <cstring>

namespace ftsim {

namespace {
template <std::size_t N>
void fill(std::array<char, N>& field, const std::string& text) {
    field.fill('\0');
    std::memcpy(field.data(), text.data(), std::min(N, text.size()));
}
}  // namespace

DeviceSetup::DeviceSetup() {
    fill(m_config.description, "FT245R USB FIFO");
    fill(m_config.serial, "A1");
}

DeviceSetup& DeviceSetup::description(const std::string& text) {
    fill(m_config.description, text);
    return *this;
}

DeviceSetup& DeviceSetup::rawDescription(const std::array<char, 64>& field) {
    m_config.description = field;
    return *this;
}

DeviceSetup& DeviceSetup::serial(const std::string& text) {
    fill(m_config.serial, text);
    return *this;
}

DeviceSetup& DeviceSetup::type(ULONG type) {
    m_config.type = type;
    return *this;
}

DeviceSetup& DeviceSetup::id(ULONG id) {
    m_config.id = id;
    return *this;
}

DeviceSetup& DeviceSetup::location(DWORD location) {
    m_config.location = location;
    return *this;
}

DeviceSetup& DeviceSetup::openElsewhere(bool open) {
    m_config.openElsewhere = open;
    return *this;
}

DeviceSetup& DeviceSetup::failOpen(FT_STATUS status) {
    m_config.failOpen = status;
    return *this;
}

DeviceSetup& DeviceSetup::manufacturer(const std::string& text) {
    m_config.manufacturer = text;
    return *this;
}

DeviceSetup& DeviceSetup::manufacturerId(const std::string& text) {
    m_config.manufacturerId = text;
    return *this;
}

DeviceSetup& DeviceSetup::eepromDescription(const std::string& text) {
    m_config.eepromDescription = text;
    return *this;
}

DeviceSetup& DeviceSetup::eepromSerial(const std::string& text) {
    m_config.eepromSerial = text;
    return *this;
}

DeviceSetup& DeviceSetup::userAreaSize(DWORD bytes) {
    m_config.userAreaSize = bytes;
    return *this;
}

DeviceSetup& DeviceSetup::userArea(const std::vector<std::uint8_t>& bytes) {
    m_config.userArea = bytes;
    return *this;
}

DeviceSetup& DeviceSetup::identity(std::int16_t row, std::int16_t kind, std::int16_t version) {
    const auto lo = [](std::int16_t v) { return std::uint8_t(std::uint16_t(v) & 0xFF); };
    const auto hi = [](std::int16_t v) { return std::uint8_t(std::uint16_t(v) >> 8); };
    std::vector<std::uint8_t>& area = m_config.userArea;
    if (area.size() < 8)
        area.resize(8, 0);
    const std::uint8_t record[8] = {0xD1,     0xF4,     lo(version), hi(version),
                                    lo(kind), hi(kind), lo(row),     hi(row)};
    std::copy(record, record + 8, area.begin());
    return *this;
}

DeviceSetup& DeviceSetup::byteClock(unsigned multiple) {
    m_config.byteClockMultiple = multiple;
    return *this;
}

DeviceSetup& DeviceSetup::stepper(const StepperSetup& setup) {
    m_config.board = BoardKind::Stepper;
    m_config.stepper = setup;
    return *this;
}

DeviceSetup& DeviceSetup::dcBoard(const DcSetup& setup) {
    m_config.board = BoardKind::Dc;
    m_config.dc = setup;
    return *this;
}

DeviceSetup& DeviceSetup::plain() {
    m_config.board = BoardKind::Plain;
    return *this;
}

}  // namespace ftsim
