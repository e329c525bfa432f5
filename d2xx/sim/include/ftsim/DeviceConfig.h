// Everything that describes one simulated device when it is added to a bench.
#ifndef FTSIM_DEVICECONFIG_H
#define FTSIM_DEVICECONFIG_H

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "ftd2xx.h"
#include "ftsim/DcSetup.h"
#include "ftsim/StepperSetup.h"

namespace ftsim {

/// Which board sits behind the chip's data port.
enum class BoardKind { Plain, Stepper, Dc };

/// Plain record of a device's configuration; DeviceSetup fills it fluently.
struct DeviceConfig {
    std::array<char, 64> description{};  ///< device-list field; may be full without NUL
    std::array<char, 16> serial{};       ///< device-list field; may be full without NUL
    ULONG type = FT_DEVICE_232R;
    ULONG id = 0x04036001;
    DWORD location = 0;
    bool openElsewhere = false;
    FT_STATUS failOpen = FT_OK;

    // EEPROM strings; unset ones follow the device-list description and serial.
    std::string manufacturer = "FTDI";
    std::string manufacturerId = "FT";
    std::optional<std::string> eepromDescription;
    std::optional<std::string> eepromSerial;
    std::optional<DWORD> userAreaSize;   ///< overrides the size computed from the strings
    std::vector<std::uint8_t> userArea;  ///< bytes from offset 0; the rest reads 0

    /// Bytes a second per baud the chip clocks out in bit-bang mode (the
    /// published figure for R chips is 16; other chips have been reported
    /// to differ).
    unsigned byteClockMultiple = 16;

    BoardKind board = BoardKind::Plain;
    StepperSetup stepper;
    DcSetup dc;
};

}  // namespace ftsim

#endif  // FTSIM_DEVICECONFIG_H
