// What the device list says about one chip.
#ifndef D2XX_FTDI_DEVICEIDENTITY_H
#define D2XX_FTDI_DEVICEIDENTITY_H

#include <cstdint>
#include <string>

struct libusb_device;
struct libusb_device_handle;

namespace ftdi_backend {

/// The fields of a D2XX device-list record that come from the USB device.
struct DeviceIdentity {
    std::uint8_t bus = 0;
    std::uint8_t address = 0;
    unsigned type = 0;        ///< FT_DEVICE_* from the chip's release number
    unsigned id = 0;          ///< vendor id << 16 | product id
    unsigned location = 0;    ///< bus << 4 | port, as the vendor's library forms it
    std::string serialNumber;
    std::string description;

    /// Ids, type and location from the device descriptor (no I/O).
    static DeviceIdentity of(libusb_device* device);
    /// Reads the serial number and product strings through an open handle.
    void readStrings(libusb_device_handle* handle);

    bool sameDevice(const DeviceIdentity& other) const {
        return bus == other.bus && address == other.address;
    }
};

}  // namespace ftdi_backend

#endif  // D2XX_FTDI_DEVICEIDENTITY_H
