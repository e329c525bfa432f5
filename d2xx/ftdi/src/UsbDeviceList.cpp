#include "UsbDeviceList.h"

#include <libusb.h>
#include <ftdi.h>

#include <algorithm>

namespace ftdi_backend {

UsbDeviceList::UsbDeviceList(ftdi_context* context) {
    // Vendor and product 0: every id libftdi1 knows as an FTDI chip.
    const int found = ftdi_usb_find_all(context, &m_list, 0, 0);
    m_valid = found >= 0;
    for (ftdi_device_list* entry = m_list; entry != nullptr; entry = entry->next) {
        m_devices.push_back(entry->dev);
    }
    std::sort(m_devices.begin(), m_devices.end(), [](libusb_device* a, libusb_device* b) {
        const int busA = libusb_get_bus_number(a);
        const int busB = libusb_get_bus_number(b);
        return busA != busB ? busA < busB
                            : libusb_get_device_address(a) < libusb_get_device_address(b);
    });
}

UsbDeviceList::~UsbDeviceList() {
    if (m_list != nullptr) {
        ftdi_list_free(&m_list);
    }
}

}  // namespace ftdi_backend
