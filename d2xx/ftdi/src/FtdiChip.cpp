#include "FtdiChip.h"

#include <libusb.h>
#include <ftdi.h>

#include <algorithm>
#include <chrono>
#include <cstring>

#include "HandleTable.h"
#include "UsbDeviceList.h"

namespace ftdi_backend {

namespace {

// FTDI vendor request that writes one EEPROM word (libftdi1 refuses single
// words on R chips, and its whole-image write resets the chip first).
constexpr std::uint8_t kWriteEepromRequest = 0x91;
constexpr std::uint8_t kVendorOut = 0x40;  // LIBUSB_REQUEST_TYPE_VENDOR | OUT | DEVICE

// How long FT_Read keeps collecting samples before it answers with fewer
// bytes than asked (a chip in bit-bang mode always has some).
constexpr std::chrono::milliseconds kReadPatience{500};
constexpr int kTransferTimeoutMs = 1000;

// Buffer sizes the vendor documents for the FT_PROGRAM_DATA strings.
constexpr std::size_t kManufacturerSize = 32;
constexpr std::size_t kManufacturerIdSize = 16;
constexpr std::size_t kDescriptionSize = 64;
constexpr std::size_t kSerialSize = 16;

void copyText(char* destination, std::size_t size, const std::string& text) {
    if (destination == nullptr) {
        return;
    }
    const std::size_t n = std::min(text.size(), size - 1);
    std::memcpy(destination, text.data(), n);
    destination[n] = '\0';
}

std::string takeText(const char* source, std::size_t size) {
    return source != nullptr ? std::string(source, strnlen(source, size - 1)) : std::string();
}

}  // namespace

FT_STATUS FtdiChip::open(int index, std::unique_ptr<FtdiChip>* chip) {
    ftdi_context* context = ftdi_new();
    if (context == nullptr) {
        return FT_INSUFFICIENT_RESOURCES;
    }
    FT_STATUS status = FT_OK;
    DeviceIdentity identity;
    {
        const UsbDeviceList devices(context);
        if (index < 0 || std::size_t(index) >= devices.size()) {
            status = FT_DEVICE_NOT_FOUND;
        } else {
            libusb_device* device = devices[std::size_t(index)];
            identity = DeviceIdentity::of(device);
            DeviceIdentity openedHere;
            // libftdi1 detaches ftdi_sio itself, claims the interface, resets
            // the chip and sets 9600 baud; an interface claimed elsewhere
            // fails there, one open here is refused first, as the vendor's
            // library does.
            if (HandleTable::instance().handleOf(identity, &openedHere) != nullptr ||
                ftdi_usb_open_dev(context, device) < 0) {
                status = FT_DEVICE_NOT_OPENED;
            } else {
                identity.readStrings(context->usb_dev);
            }
        }
    }
    if (status != FT_OK) {
        ftdi_free(context);
        return status;
    }
    context->usb_read_timeout = kTransferTimeoutMs;
    context->usb_write_timeout = kTransferTimeoutMs;
    chip->reset(new FtdiChip(context, identity));
    return FT_OK;
}

FtdiChip::FtdiChip(ftdi_context* context, const DeviceIdentity& identity)
    : m_context(context), m_identity(identity) {}

FtdiChip::~FtdiChip() {
    close();
}

FT_STATUS FtdiChip::close() {
    std::lock_guard<std::mutex> lock(m_mutex);
    if (m_context == nullptr) {
        return FT_OK;
    }
    const int result = ftdi_usb_close(m_context);
    ftdi_free(m_context);
    m_context = nullptr;
    return result < 0 ? FT_IO_ERROR : FT_OK;
}

FT_STATUS FtdiChip::setBaudRate(ULONG baudRate) {
    // The R chips' divisors reach from 183 baud to 3 Mbaud.
    if (baudRate < 183 || baudRate > 3000000) {
        return FT_INVALID_BAUD_RATE;
    }
    std::lock_guard<std::mutex> lock(m_mutex);
    // A D2XX rate means the same divisor in every mode; libftdi1 would
    // multiply it by 4 once bit-bang mode is on.
    const unsigned char bitBang = m_context->bitbang_enabled;
    m_context->bitbang_enabled = 0;
    const int result = ftdi_set_baudrate(m_context, int(baudRate));
    m_context->bitbang_enabled = bitBang;
    return result == 0 ? FT_OK : FT_IO_ERROR;
}

FT_STATUS FtdiChip::setLatencyTimer(UCHAR milliseconds) {
    if (milliseconds < 2) {
        return FT_INVALID_PARAMETER;
    }
    std::lock_guard<std::mutex> lock(m_mutex);
    return ftdi_set_latency_timer(m_context, milliseconds) == 0 ? FT_OK : FT_IO_ERROR;
}

FT_STATUS FtdiChip::setBitMode(UCHAR mask, UCHAR mode) {
    std::lock_guard<std::mutex> lock(m_mutex);
    if (ftdi_set_bitmode(m_context, mask, mode) != 0) {
        return FT_IO_ERROR;
    }
    m_bitBang = mode != FT_BITMODE_RESET;
    return FT_OK;
}

FT_STATUS FtdiChip::pins(UCHAR* levels) {
    std::lock_guard<std::mutex> lock(m_mutex);
    unsigned char value = 0;
    if (ftdi_read_pins(m_context, &value) != 0) {
        return FT_IO_ERROR;
    }
    *levels = value;
    return FT_OK;
}

FT_STATUS FtdiChip::purge(ULONG mask) {
    std::lock_guard<std::mutex> lock(m_mutex);
    // FT_PURGE_RX drops what the chip holds for the host (libftdi1's
    // tciflush, which also empties its own read buffer); FT_PURGE_TX what is
    // still on its way to the pins (tcoflush).
    if ((mask & FT_PURGE_RX) && ftdi_tciflush(m_context) != 0) {
        return FT_IO_ERROR;
    }
    if ((mask & FT_PURGE_TX) && ftdi_tcoflush(m_context) != 0) {
        return FT_IO_ERROR;
    }
    return FT_OK;
}

FT_STATUS FtdiChip::write(const std::uint8_t* data, DWORD count, DWORD* written) {
    std::lock_guard<std::mutex> lock(m_mutex);
    *written = 0;
    const int result = ftdi_write_data(m_context, data, int(count));
    if (result < 0) {
        return FT_IO_ERROR;
    }
    *written = DWORD(result);
    return FT_OK;
}

FT_STATUS FtdiChip::read(std::uint8_t* data, DWORD count, DWORD* got) {
    std::lock_guard<std::mutex> lock(m_mutex);
    *got = 0;
    const auto giveUpAt = std::chrono::steady_clock::now() + kReadPatience;
    while (*got < count) {
        const int result = ftdi_read_data(m_context, data + *got, int(count - *got));
        if (result < 0) {
            return FT_IO_ERROR;
        }
        *got += DWORD(result);
        // Outside bit-bang mode nothing feeds the chip's buffer: answer what came.
        if (!m_bitBang || std::chrono::steady_clock::now() >= giveUpAt) {
            break;
        }
    }
    return FT_OK;
}

FT_STATUS FtdiChip::loadImage() {
    if (m_image) {
        return FT_OK;
    }
    std::array<std::uint8_t, EepromImage::kBytes> bytes{};
    for (std::size_t word = 0; word < EepromImage::kWords; ++word) {
        unsigned short value = 0;
        if (ftdi_read_eeprom_location(m_context, int(word), &value) != 0) {
            return FT_IO_ERROR;
        }
        bytes[2 * word] = std::uint8_t(value & 0xFF);
        bytes[2 * word + 1] = std::uint8_t(value >> 8);
    }
    m_image = EepromImage(bytes);
    return FT_OK;
}

FT_STATUS FtdiChip::storeImage(const EepromImage& image) {
    // The R chip's internal EEPROM takes words in pairs: an even word is
    // kept until its odd partner arrives, so a changed word goes out with
    // the rest of its pair.
    for (std::size_t pair = 0; pair < EepromImage::kWords; pair += 2) {
        if (image.word(pair) == m_image->word(pair) &&
            image.word(pair + 1) == m_image->word(pair + 1)) {
            continue;
        }
        for (std::size_t word = pair; word < pair + 2; ++word) {
            if (libusb_control_transfer(m_context->usb_dev, kVendorOut, kWriteEepromRequest,
                                        image.word(word), std::uint16_t(word), nullptr, 0,
                                        kTransferTimeoutMs) < 0) {
                m_image.reset();  // the chip's copy is no longer known
                return FT_IO_ERROR;
            }
        }
    }
    m_image = image;
    return FT_OK;
}

FT_STATUS FtdiChip::userAreaSize(DWORD* size) {
    std::lock_guard<std::mutex> lock(m_mutex);
    if (const FT_STATUS status = loadImage()) {
        return status;
    }
    *size = m_image->userAreaSize();
    return FT_OK;
}

FT_STATUS FtdiChip::readUserArea(std::uint8_t* data, DWORD count, DWORD* got) {
    std::lock_guard<std::mutex> lock(m_mutex);
    if (const FT_STATUS status = loadImage()) {
        return status;
    }
    const std::vector<std::uint8_t> bytes = m_image->readUserArea(count);
    std::copy(bytes.begin(), bytes.end(), data);
    *got = DWORD(bytes.size());
    return FT_OK;
}

FT_STATUS FtdiChip::writeUserArea(const std::uint8_t* data, DWORD count) {
    std::lock_guard<std::mutex> lock(m_mutex);
    if (const FT_STATUS status = loadImage()) {
        return status;
    }
    EepromImage changed = *m_image;
    if (!changed.writeUserArea(data, count)) {
        return FT_INVALID_ARGS;  // nothing is written
    }
    return storeImage(changed);
}

FT_STATUS FtdiChip::readProgramData(FT_PROGRAM_DATA* data) {
    std::lock_guard<std::mutex> lock(m_mutex);
    if (const FT_STATUS status = loadImage()) {
        return status;
    }
    m_image->readHeader(*data);
    copyText(data->Manufacturer, kManufacturerSize, m_image->manufacturer());
    // An R image has no manufacturer-id string: it reads as empty.
    copyText(data->ManufacturerId, kManufacturerIdSize, "");
    copyText(data->Description, kDescriptionSize, m_image->description());
    copyText(data->SerialNumber, kSerialSize, m_image->serialNumber());
    return FT_OK;
}

FT_STATUS FtdiChip::program(const FT_PROGRAM_DATA* data) {
    std::lock_guard<std::mutex> lock(m_mutex);
    if (const FT_STATUS status = loadImage()) {
        return status;
    }
    // The manufacturer id has no place in an R image and is not stored.
    EepromImage changed = *m_image;
    changed.writeHeader(*data);
    if (!changed.setStrings(takeText(data->Manufacturer, kManufacturerSize),
                            takeText(data->Description, kDescriptionSize),
                            takeText(data->SerialNumber, kSerialSize))) {
        return FT_EEPROM_WRITE_FAILED;
    }
    return storeImage(changed);
}

}  // namespace ftdi_backend
