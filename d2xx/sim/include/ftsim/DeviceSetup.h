// Fluent description of one simulated FTDI device.
#ifndef FTSIM_DEVICESETUP_H
#define FTSIM_DEVICESETUP_H

#include <array>
#include <cstdint>
#include <string>
#include <vector>
#include "ftsim/Export.h"

#include "ftsim/DeviceConfig.h"

namespace ftsim {

/// One device of the bench: its device-list record, its EEPROM and its board.
/// Defaults: description "FT245R USB FIFO", serial "A1", type FT_DEVICE_232R,
/// id 0x04036001, location 0, EEPROM strings "FTDI" / "FT" / description /
/// serial, user area sized from the strings and all zero, no board.
class FTSIM_API DeviceSetup {
public:
    DeviceSetup();

    /// Description in the device list: the first 64 bytes of `text`; a text of
    /// 64 bytes or more fills the field with no terminating NUL.
    DeviceSetup& description(const std::string& text);
    /// The raw 64-byte description field.
    DeviceSetup& rawDescription(const std::array<char, 64>& field);
    /// Serial number in the device list (16-byte field, NUL-terminated when shorter).
    DeviceSetup& serial(const std::string& text);
    DeviceSetup& type(ULONG type);
    DeviceSetup& id(ULONG id);
    DeviceSetup& location(DWORD location);
    /// The device is held open by another process: listed with FT_FLAGS_OPENED
    /// and empty fields, and FT_Open on it fails.
    DeviceSetup& openElsewhere(bool open = true);
    /// FT_Open on this device fails with `status` (FT_OK: opens normally).
    DeviceSetup& failOpen(FT_STATUS status);

    DeviceSetup& manufacturer(const std::string& text);
    DeviceSetup& manufacturerId(const std::string& text);
    DeviceSetup& eepromDescription(const std::string& text);
    DeviceSetup& eepromSerial(const std::string& text);
    /// Fixes the user-area size instead of computing it from the strings
    /// (until an FT_EE_Program recomputes it).
    DeviceSetup& userAreaSize(DWORD bytes);
    /// Raw user-area bytes from offset 0 (bytes beyond the size are dropped).
    DeviceSetup& userArea(const std::vector<std::uint8_t>& bytes);
    /// Writes an identity record at user-area offset 0: D1 F4, then version,
    /// kind and row as little-endian 16-bit values.
    DeviceSetup& identity(std::int16_t row, std::int16_t kind = 1, std::int16_t version = 1);

    /// The chip clocks `multiple` x the baud rate bytes a second out of its
    /// transmit buffer in bit-bang mode (default 16, the published figure),
    /// to mimic a chip that departs from it. 1 to 64.
    DeviceSetup& byteClock(unsigned multiple);

    DeviceSetup& stepper(const StepperSetup& setup);
    DeviceSetup& dcBoard(const DcSetup& setup);
    /// No board: outputs go nowhere, inputs read 0.
    DeviceSetup& plain();

    const DeviceConfig& config() const { return m_config; }

private:
    DeviceConfig m_config;
};

}  // namespace ftsim

#endif  // FTSIM_DEVICESETUP_H
