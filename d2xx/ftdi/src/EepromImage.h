// The FT245R's 128-byte EEPROM as the chip stores it.
#ifndef D2XX_FTDI_EEPROMIMAGE_H
#define D2XX_FTDI_EEPROMIMAGE_H

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "ftd2xx.h"

namespace ftdi_backend {

/// The raw image of an R chip's internal EEPROM: a header, the
/// manufacturer, product and serial-number string descriptors from byte
/// 0x18, the user area after the serial number, and a checksum over words 0
/// to 0x3E stored at byte 0x7E. Every change rebuilds the checksum, or the
/// chip would fall back on its defaults at the next plug-in.
class EepromImage {
public:
    static constexpr std::size_t kBytes = 128;
    static constexpr std::size_t kWords = kBytes / 2;

    EepromImage() = default;
    explicit EepromImage(const std::array<std::uint8_t, kBytes>& bytes) : m_bytes(bytes) {}

    const std::array<std::uint8_t, kBytes>& bytes() const { return m_bytes; }
    std::uint16_t word(std::size_t index) const;

    std::string manufacturer() const { return stringAt(0x0E); }
    std::string description() const { return stringAt(0x10); }
    std::string serialNumber() const { return stringAt(0x12); }

    /// Bytes of the user area by the published formula: what the four
    /// strings leave, (48 - total string length) x 2. An R image keeps no
    /// manufacturer-id string, so that one counts as empty.
    DWORD userAreaSize() const;
    /// Up to `count` bytes of the user area from its start.
    std::vector<std::uint8_t> readUserArea(std::size_t count) const;
    /// Writes `data` at the start of the user area; false when it does not fit.
    bool writeUserArea(const std::uint8_t* data, std::size_t count);

    /// Lays the three strings out again from byte 0x18, keeping as much of
    /// the user area's content as the new layout leaves room for. False
    /// (image unchanged) when the strings do not fit.
    bool setStrings(const std::string& manufacturer, const std::string& description,
                    const std::string& serialNumber);

    /// The header fields an FT_PROGRAM_DATA carries for an R chip.
    void readHeader(FT_PROGRAM_DATA& data) const;
    void writeHeader(const FT_PROGRAM_DATA& data);

    /// The checksum the chip expects of the current contents.
    std::uint16_t computeChecksum() const;
    bool checksumValid() const;

private:
    std::string stringAt(std::size_t pointerByte) const;
    std::size_t userAreaOffset() const;
    void rebuildChecksum();

    std::array<std::uint8_t, kBytes> m_bytes{};
};

}  // namespace ftdi_backend

#endif  // D2XX_FTDI_EEPROMIMAGE_H
