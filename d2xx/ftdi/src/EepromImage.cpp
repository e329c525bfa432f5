#include "EepromImage.h"

#include <algorithm>

namespace ftdi_backend {

namespace {

constexpr std::size_t kStringsStart = 0x18;
constexpr std::size_t kChecksumByte = 0x7E;
constexpr std::size_t kStringRoom = 48;  // characters the four strings share

// Byte 0x08: USB configuration attributes.
constexpr std::uint8_t kSelfPowered = 0x40;
constexpr std::uint8_t kRemoteWakeup = 0x20;
// Byte 0x0A: chip configuration.
constexpr std::uint8_t kPullDownsInSuspend = 0x04;
constexpr std::uint8_t kUseSerialNumber = 0x08;
// Byte 0x00: R chip options.
constexpr std::uint8_t kExternalOscillator = 0x02;
constexpr std::uint8_t kHighDriveIOs = 0x04;
constexpr std::uint8_t kVirtualComPortDriver = 0x08;

}  // namespace

std::uint16_t EepromImage::word(std::size_t index) const {
    return std::uint16_t(m_bytes[2 * index] | (m_bytes[2 * index + 1] << 8));
}

std::string EepromImage::stringAt(std::size_t pointerByte) const {
    const std::size_t offset = m_bytes[pointerByte] & 0x7F;
    const std::size_t length = m_bytes[pointerByte + 1];
    std::string text;
    if (length < 2 || offset + length > kChecksumByte) {
        return text;
    }
    // A string descriptor: length, type 3, then UTF-16LE characters.
    for (std::size_t i = offset + 2; i + 1 < offset + length; i += 2) {
        text.push_back(char(m_bytes[i]));
    }
    return text;
}

std::size_t EepromImage::userAreaOffset() const {
    return std::size_t(m_bytes[0x12] & 0x7F) + m_bytes[0x13];
}

DWORD EepromImage::userAreaSize() const {
    const std::size_t used = manufacturer().size() + description().size() + serialNumber().size();
    const std::size_t byFormula = used >= kStringRoom ? 0 : (kStringRoom - used) * 2;
    const std::size_t offset = userAreaOffset();
    const std::size_t room = offset >= kChecksumByte ? 0 : kChecksumByte - offset;
    return DWORD(std::min(byFormula, room));
}

std::vector<std::uint8_t> EepromImage::readUserArea(std::size_t count) const {
    const std::size_t n = std::min<std::size_t>(count, userAreaSize());
    const auto begin = m_bytes.begin() + std::ptrdiff_t(userAreaOffset());
    return std::vector<std::uint8_t>(begin, begin + std::ptrdiff_t(n));
}

bool EepromImage::writeUserArea(const std::uint8_t* data, std::size_t count) {
    if (count > userAreaSize()) {
        return false;
    }
    std::copy(data, data + count, m_bytes.begin() + std::ptrdiff_t(userAreaOffset()));
    rebuildChecksum();
    return true;
}

bool EepromImage::setStrings(const std::string& manufacturer, const std::string& description,
                             const std::string& serialNumber) {
    if (manufacturer.size() + description.size() + serialNumber.size() > kStringRoom) {
        return false;
    }
    const std::vector<std::uint8_t> keptUserArea = readUserArea(userAreaSize());

    std::fill(m_bytes.begin() + kStringsStart, m_bytes.begin() + kChecksumByte, 0);
    std::size_t at = kStringsStart;
    const auto place = [&](std::size_t pointerByte, const std::string& text) {
        const std::size_t length = 2 + 2 * text.size();
        m_bytes[pointerByte] = std::uint8_t(at | 0x80);
        m_bytes[pointerByte + 1] = std::uint8_t(length);
        m_bytes[at] = std::uint8_t(length);
        m_bytes[at + 1] = 0x03;
        for (std::size_t i = 0; i < text.size(); ++i) {
            m_bytes[at + 2 + 2 * i] = std::uint8_t(text[i]);
        }
        at += length;
    };
    place(0x0E, manufacturer);
    place(0x10, description);
    place(0x12, serialNumber);

    const std::size_t kept = std::min<std::size_t>(keptUserArea.size(), userAreaSize());
    std::copy(keptUserArea.begin(), keptUserArea.begin() + std::ptrdiff_t(kept),
              m_bytes.begin() + std::ptrdiff_t(userAreaOffset()));
    rebuildChecksum();
    return true;
}

void EepromImage::readHeader(FT_PROGRAM_DATA& data) const {
    data.VendorId = word(1);
    data.ProductId = word(2);
    data.MaxPower = WORD(m_bytes[0x09] * 2);  // stored in 2 mA units
    data.PnP = 1;
    data.SelfPowered = (m_bytes[0x08] & kSelfPowered) ? 1 : 0;
    data.RemoteWakeup = (m_bytes[0x08] & kRemoteWakeup) ? 1 : 0;
    data.UseExtOsc = (m_bytes[0x00] & kExternalOscillator) ? 1 : 0;
    data.HighDriveIOs = (m_bytes[0x00] & kHighDriveIOs) ? 1 : 0;
    data.EndpointSize = m_bytes[0x01];
    data.PullDownEnableR = (m_bytes[0x0A] & kPullDownsInSuspend) ? 1 : 0;
    data.SerNumEnableR = (m_bytes[0x0A] & kUseSerialNumber) ? 1 : 0;
    const std::uint8_t invert = m_bytes[0x0B];
    UCHAR* const inverts[8] = {&data.InvertTXD, &data.InvertRXD, &data.InvertRTS,
                               &data.InvertCTS, &data.InvertDTR, &data.InvertDSR,
                               &data.InvertDCD, &data.InvertRI};
    for (int bit = 0; bit < 8; ++bit) {
        *inverts[bit] = (invert >> bit) & 1;
    }
    data.Cbus0 = m_bytes[0x14] & 0x0F;
    data.Cbus1 = m_bytes[0x14] >> 4;
    data.Cbus2 = m_bytes[0x15] & 0x0F;
    data.Cbus3 = m_bytes[0x15] >> 4;
    data.Cbus4 = m_bytes[0x16] & 0x0F;
    data.RIsD2XX = (m_bytes[0x00] & kVirtualComPortDriver) ? 0 : 1;
}

void EepromImage::writeHeader(const FT_PROGRAM_DATA& data) {
    const auto put = [this](std::size_t index, std::uint16_t value) {
        m_bytes[2 * index] = std::uint8_t(value & 0xFF);
        m_bytes[2 * index + 1] = std::uint8_t(value >> 8);
    };
    const auto flag = [this](std::size_t byte, std::uint8_t bit, bool on) {
        m_bytes[byte] = std::uint8_t(on ? (m_bytes[byte] | bit) : (m_bytes[byte] & ~bit));
    };
    put(1, data.VendorId);
    put(2, data.ProductId);
    m_bytes[0x09] = std::uint8_t(std::min<unsigned>(data.MaxPower / 2, 0xFF));
    flag(0x08, kSelfPowered, data.SelfPowered != 0);
    flag(0x08, kRemoteWakeup, data.RemoteWakeup != 0);
    flag(0x00, kExternalOscillator, data.UseExtOsc != 0);
    flag(0x00, kHighDriveIOs, data.HighDriveIOs != 0);
    flag(0x00, kVirtualComPortDriver, data.RIsD2XX == 0);
    flag(0x0A, kPullDownsInSuspend, data.PullDownEnableR != 0);
    flag(0x0A, kUseSerialNumber, data.SerNumEnableR != 0);
    const UCHAR inverts[8] = {data.InvertTXD, data.InvertRXD, data.InvertRTS, data.InvertCTS,
                              data.InvertDTR, data.InvertDSR, data.InvertDCD, data.InvertRI};
    std::uint8_t invert = 0;
    for (int bit = 0; bit < 8; ++bit) {
        invert = std::uint8_t(invert | ((inverts[bit] ? 1 : 0) << bit));
    }
    m_bytes[0x0B] = invert;
    m_bytes[0x14] = std::uint8_t((data.Cbus0 & 0x0F) | (data.Cbus1 << 4));
    m_bytes[0x15] = std::uint8_t((data.Cbus2 & 0x0F) | (data.Cbus3 << 4));
    m_bytes[0x16] = std::uint8_t(data.Cbus4 & 0x0F);
    rebuildChecksum();
}

std::uint16_t EepromImage::computeChecksum() const {
    std::uint16_t checksum = 0xAAAA;
    for (std::size_t i = 0; i < kChecksumByte / 2; ++i) {
        checksum = std::uint16_t(checksum ^ word(i));
        checksum = std::uint16_t((checksum << 1) | (checksum >> 15));
    }
    return checksum;
}

bool EepromImage::checksumValid() const {
    return word(kChecksumByte / 2) == computeChecksum();
}

void EepromImage::rebuildChecksum() {
    const std::uint16_t checksum = computeChecksum();
    m_bytes[kChecksumByte] = std::uint8_t(checksum & 0xFF);
    m_bytes[kChecksumByte + 1] = std::uint8_t(checksum >> 8);
}

}  // namespace ftdi_backend
