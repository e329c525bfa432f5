// FT245R chips plugged into an emulated USB bus.
#ifndef TESTS_USB_USBTESTBED_H
#define TESTS_USB_USBTESTBED_H

#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "ChipSetup.h"
#include "EmulatedFt245r.h"

struct _UMockdevTestbed;
struct _UMockdevIoctlBase;
struct _UMockdevIoctlClient;
struct _UMockdevIoctlData;

/// A umockdev testbed (no root: it needs the program to run under
/// libumockdev-preload) on which each plugged chip is a USB device on bus
/// 1 whose usbdevfs ioctls the chip answers: libusb, and libftdi1 above
/// it, see a real FT245R. One per process, made before anything starts a
/// libusb session; child processes inherit it through the environment.
class UsbTestbed {
public:
    /// The process's testbed, made at the first call.
    static UsbTestbed& instance();
    ~UsbTestbed();

    /// Plugs a chip in; it is listed from the next enumeration on.
    std::shared_ptr<EmulatedFt245r> plug(const ChipSetup& setup);
    /// Pulls `chip` out: it leaves the bus and every request on it fails as
    /// on a vanished device, except reaping the transfers that completed
    /// before (usbfs allows that after a disconnect).
    void unplug(const std::shared_ptr<EmulatedFt245r>& chip);
    /// Makes `chip` vanish the moment it has taken the `transfer`-th bulk
    /// OUT transfer from now on: that transfer completes on the bus, but the
    /// host reaps it from a device already gone. unplug() then takes the
    /// chip off the bus listing.
    void vanishDuringBulkOut(const std::shared_ptr<EmulatedFt245r>& chip, unsigned transfer);
    /// Pulls every chip out.
    void unplugAll();

private:
    struct Port;

    UsbTestbed();
    static int onIoctl(_UMockdevIoctlBase* handler, _UMockdevIoctlClient* client, void* port);
    bool answer(Port& port, _UMockdevIoctlClient* client);
    Port* portOf(const std::shared_ptr<EmulatedFt245r>& chip);

    _UMockdevTestbed* m_testbed;
    std::mutex m_mutex;
    std::vector<std::unique_ptr<Port>> m_ports;
    int m_nextAddress = 2;
};

#endif  // TESTS_USB_USBTESTBED_H
