// The FTDI chips on the USB buses, in a stable order.
#ifndef D2XX_FTDI_USBDEVICELIST_H
#define D2XX_FTDI_USBDEVICELIST_H

#include <cstddef>
#include <vector>

struct ftdi_context;
struct ftdi_device_list;
struct libusb_device;

namespace ftdi_backend {

/// The FTDI devices libftdi1 finds through `context`'s USB session, ordered
/// by bus and address so that a D2XX list index means the same device to
/// FT_GetDeviceInfoList and FT_Open. Holds a reference on each device.
class UsbDeviceList {
public:
    explicit UsbDeviceList(ftdi_context* context);
    ~UsbDeviceList();
    UsbDeviceList(const UsbDeviceList&) = delete;
    UsbDeviceList& operator=(const UsbDeviceList&) = delete;

    /// False when the USB session could not list the buses at all.
    bool valid() const { return m_valid; }
    std::size_t size() const { return m_devices.size(); }
    libusb_device* operator[](std::size_t index) const { return m_devices[index]; }

private:
    ftdi_device_list* m_list = nullptr;
    std::vector<libusb_device*> m_devices;
    bool m_valid = false;
};

}  // namespace ftdi_backend

#endif  // D2XX_FTDI_USBDEVICELIST_H
