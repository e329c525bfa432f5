// One emulated device node of the testbed.
#ifndef TESTS_USB_USBPORT_H
#define TESTS_USB_USBPORT_H

#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <string>

#include "EmulatedFt245r.h"
#include "UsbTestbed.h"

struct _UMockdevIoctlBase;
struct _UMockdevIoctlClient;
struct _UMockdevIoctlData;

/// A chip's place on the bus: its sysfs path, its device node, the ioctl
/// handler bound to that node, the transfers completed and not yet reaped,
/// and which client has claimed the interface.
struct UsbTestbed::Port {
    std::shared_ptr<EmulatedFt245r> chip;
    int hubPort = 0;  ///< the root hub's port, 1 up
    std::string sysPath;
    std::string devNode;
    _UMockdevIoctlBase* handler = nullptr;
    std::mutex mutex;
    /// URBs completed for each client (a libusb handle) and not yet reaped.
    std::map<_UMockdevIoctlClient*, std::deque<_UMockdevIoctlData*>> completed;
    _UMockdevIoctlClient* claimedBy = nullptr;
    bool unplugged = false;  ///< every request but a reap fails
    bool removed = false;    ///< gone from sysfs too
    /// Bulk OUT transfers left until the chip vanishes; 0: none planned.
    unsigned bulkOutsUntilVanishing = 0;
};

#endif  // TESTS_USB_USBPORT_H
