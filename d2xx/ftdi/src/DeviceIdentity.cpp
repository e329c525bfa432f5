#include "DeviceIdentity.h"

#include <libusb.h>

#include "ftd2xx.h"

namespace ftdi_backend {

namespace {

// FT_DEVICE_* by the chip's bcdDevice, as the vendor's library reports them.
unsigned deviceTypeOf(std::uint16_t release) {
    switch (release & 0xFF00) {
    case 0x0200: return 1;   // FT_DEVICE_AM
    case 0x0400: return 0;   // FT_DEVICE_BM
    case 0x0500: return 4;   // FT_DEVICE_2232C
    case 0x0600: return FT_DEVICE_232R;
    case 0x0700: return 6;   // FT_DEVICE_2232H
    case 0x0800: return 7;   // FT_DEVICE_4232H
    case 0x0900: return 8;   // FT_DEVICE_232H
    case 0x1000: return 9;   // FT_DEVICE_X_SERIES
    default: return 3;       // FT_DEVICE_UNKNOWN
    }
}

std::string stringDescriptor(libusb_device_handle* handle, std::uint8_t index) {
    if (index == 0) {
        return "";
    }
    unsigned char text[128] = {};
    const int length = libusb_get_string_descriptor_ascii(handle, index, text, sizeof text);
    return length > 0 ? std::string(reinterpret_cast<char*>(text), std::size_t(length)) : "";
}

}  // namespace

DeviceIdentity DeviceIdentity::of(libusb_device* device) {
    DeviceIdentity identity;
    identity.bus = libusb_get_bus_number(device);
    identity.address = libusb_get_device_address(device);
    identity.location = (unsigned(identity.bus) << 4) | libusb_get_port_number(device);
    libusb_device_descriptor descriptor{};
    if (libusb_get_device_descriptor(device, &descriptor) == 0) {
        identity.type = deviceTypeOf(descriptor.bcdDevice);
        identity.id = (unsigned(descriptor.idVendor) << 16) | descriptor.idProduct;
    }
    return identity;
}

void DeviceIdentity::readStrings(libusb_device_handle* handle) {
    libusb_device_descriptor descriptor{};
    if (libusb_get_device_descriptor(libusb_get_device(handle), &descriptor) != 0) {
        return;
    }
    serialNumber = stringDescriptor(handle, descriptor.iSerialNumber);
    description = stringDescriptor(handle, descriptor.iProduct);
}

}  // namespace ftdi_backend
