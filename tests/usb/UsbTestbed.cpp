#include "UsbTestbed.h"

#include <linux/usbdevice_fs.h>
#include <sys/ioctl.h>
#include <umockdev.h>

#include <algorithm>
#include <cerrno>
#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <stdexcept>

#include "UsbPort.h"

namespace {

// Device descriptor, then the configuration with one vendor-specific
// interface and the chip's two 64-byte bulk endpoints (IN 0x81, OUT 0x02).
const char* const kDescriptorsHex =
    "12010002000000080304016000060102030109022000010100a02d0904000002ffffff02"
    "0705810240000007050202400000";

UMockdevIoctlData* resolve(UMockdevIoctlData* data, std::size_t offset, std::size_t length) {
    GError* error = nullptr;
    UMockdevIoctlData* child = umockdev_ioctl_data_resolve(data, offset, length, &error);
    if (error != nullptr) {
        g_error_free(error);
        return nullptr;
    }
    return child;
}

}  // namespace

UsbTestbed& UsbTestbed::instance() {
    static UsbTestbed testbed;
    return testbed;
}

UsbTestbed::UsbTestbed() : m_testbed(umockdev_testbed_new()) {
    if (!umockdev_in_mock_environment()) {
        throw std::runtime_error(
            "the USB testbed needs libumockdev-preload.so.0 (run under umockdev-wrapper)");
    }
    GError* error = nullptr;
    umockdev_testbed_add_from_string(m_testbed,
                                     "P: /devices/usb1\n"
                                     "E: SUBSYSTEM=usb\n"
                                     "E: DEVTYPE=usb_device\n"
                                     "A: busnum=1\n"
                                     "A: devnum=1\n",
                                     &error);
    if (error != nullptr) {
        g_error_free(error);
    }
}

UsbTestbed::~UsbTestbed() {
    unplugAll();
    // The handlers stay bound until the testbed goes: a client of another
    // process may still be talking to them.
    g_object_unref(m_testbed);
    for (const std::unique_ptr<Port>& port : m_ports) {
        for (auto& entry : port->completed) {
            for (UMockdevIoctlData* urb : entry.second) {
                umockdev_ioctl_data_unref(urb);
            }
        }
        g_object_unref(port->handler);
    }
}

std::shared_ptr<EmulatedFt245r> UsbTestbed::plug(const ChipSetup& setup) {
    std::lock_guard<std::mutex> lock(m_mutex);
    auto port = std::make_unique<Port>();
    port->chip = std::make_shared<EmulatedFt245r>(setup);
    const int address = m_nextAddress++;
    char node[32];
    std::snprintf(node, sizeof node, "bus/usb/001/%03d", address);
    port->devNode = std::string("/dev/") + node;
    // Addresses are never reused, hub ports are: a chip plugged in takes
    // the lowest port that no chip on the bus holds.
    int hubPort = 1;
    while (std::any_of(m_ports.begin(), m_ports.end(), [&](const std::unique_ptr<Port>& other) {
        return !other->removed && other->hubPort == hubPort;
    })) {
        ++hubPort;
    }
    port->hubPort = hubPort;
    port->sysPath = "/sys/devices/usb1/1-" + std::to_string(hubPort);

    port->handler = umockdev_ioctl_base_new();
    g_signal_connect(port->handler, "handle-ioctl", G_CALLBACK(&UsbTestbed::onIoctl), port.get());
    GError* error = nullptr;
    if (!umockdev_testbed_attach_ioctl(m_testbed, port->devNode.c_str(), port->handler, &error)) {
        const std::string why = error != nullptr ? error->message : "unknown error";
        g_clear_error(&error);
        throw std::runtime_error("cannot attach the USB handler: " + why);
    }
    const std::string description =
        "P: /devices/usb1/1-" + std::to_string(hubPort) + "\n" +
        "N: " + node + "\n" +
        "E: SUBSYSTEM=usb\n"
        "E: DEVTYPE=usb_device\n"
        "E: DEVNAME=" + port->devNode + "\n" +
        "E: BUSNUM=001\n"
        "E: DEVNUM=" + std::string(node + 12) + "\n" +
        "A: busnum=1\n"
        "A: devnum=" + std::to_string(address) + "\n" +
        "A: bConfigurationValue=1\n"
        "A: idVendor=0403\n"
        "A: idProduct=6001\n"
        "A: bcdDevice=0600\n"
        "A: speed=12\n"
        "H: descriptors=" + kDescriptorsHex + "\n";
    if (!umockdev_testbed_add_from_string(m_testbed, description.c_str(), &error)) {
        const std::string why = error != nullptr ? error->message : "unknown error";
        g_clear_error(&error);
        throw std::runtime_error("cannot add the USB device: " + why);
    }
    umockdev_testbed_uevent(m_testbed, port->sysPath.c_str(), "add");
    std::shared_ptr<EmulatedFt245r> chip = port->chip;
    m_ports.push_back(std::move(port));
    return chip;
}

UsbTestbed::Port* UsbTestbed::portOf(const std::shared_ptr<EmulatedFt245r>& chip) {
    for (const std::unique_ptr<Port>& port : m_ports) {
        if (port->chip == chip) {
            return port.get();
        }
    }
    return nullptr;
}

void UsbTestbed::unplug(const std::shared_ptr<EmulatedFt245r>& chip) {
    std::lock_guard<std::mutex> lock(m_mutex);
    Port* port = portOf(chip);
    if (port == nullptr) {
        return;
    }
    {
        std::lock_guard<std::mutex> portLock(port->mutex);
        port->unplugged = true;
        port->chip->pullOut();
        if (port->removed) {
            return;
        }
        port->removed = true;
    }
    umockdev_testbed_uevent(m_testbed, port->sysPath.c_str(), "remove");
    umockdev_testbed_remove_device(m_testbed, port->sysPath.c_str());
}

void UsbTestbed::vanishDuringBulkOut(const std::shared_ptr<EmulatedFt245r>& chip,
                                     unsigned transfer) {
    std::lock_guard<std::mutex> lock(m_mutex);
    if (Port* port = portOf(chip)) {
        std::lock_guard<std::mutex> portLock(port->mutex);
        port->bulkOutsUntilVanishing = transfer;
    }
}

void UsbTestbed::unplugAll() {
    std::vector<std::shared_ptr<EmulatedFt245r>> chips;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        for (const std::unique_ptr<Port>& port : m_ports) {
            chips.push_back(port->chip);
        }
    }
    for (const auto& chip : chips) {
        unplug(chip);
    }
}

int UsbTestbed::onIoctl(UMockdevIoctlBase*, UMockdevIoctlClient* client, void* port) {
    return instance().answer(*static_cast<Port*>(port), client) ? TRUE : FALSE;
}

bool UsbTestbed::answer(Port& port, UMockdevIoctlClient* client) {
    const unsigned long request = umockdev_ioctl_client_get_request(client);
    UMockdevIoctlData* arg = umockdev_ioctl_client_get_arg(client);
    std::unique_lock<std::mutex> lock(port.mutex);
    // As usbfs does, a vanished device still hands out the transfers that
    // completed before it went: libusb keeps reaping until one is left, and
    // a transfer that can never be reaped would never end.
    const bool reap = request == USBDEVFS_REAPURB || request == USBDEVFS_REAPURBNDELAY;
    if (port.unplugged && !reap) {
        umockdev_ioctl_client_complete(client, -1, ENODEV);
        return true;
    }
    switch (request) {
    case USBDEVFS_GET_CAPABILITIES:
    case USBDEVFS_GETDRIVER:
    case USBDEVFS_IOCTL:
        // No kernel driver is bound: there is nothing to detach.
        umockdev_ioctl_client_complete(client, -1, ENODATA);
        return true;
    case USBDEVFS_CLAIMINTERFACE:
        if (port.chip->setup().heldElsewhere ||
            (port.claimedBy != nullptr && port.claimedBy != client)) {
            umockdev_ioctl_client_complete(client, -1, EBUSY);
        } else {
            port.claimedBy = client;
            umockdev_ioctl_client_complete(client, 0, 0);
        }
        return true;
    case USBDEVFS_RELEASEINTERFACE:
        if (port.claimedBy == client) {
            port.claimedBy = nullptr;
        }
        umockdev_ioctl_client_complete(client, 0, 0);
        return true;
    case USBDEVFS_SETCONFIGURATION:
    case USBDEVFS_CLEAR_HALT:
    case USBDEVFS_RESET:
        umockdev_ioctl_client_complete(client, 0, 0);
        return true;
    case USBDEVFS_SUBMITURB: {
        // The argument is the caller's pointer to its URB, whose buffer
        // pointer leads to the data.
        UMockdevIoctlData* urbData = resolve(arg, 0, sizeof(usbdevfs_urb));
        if (urbData == nullptr) {
            umockdev_ioctl_client_complete(client, -1, EFAULT);
            return true;
        }
        auto* urb = reinterpret_cast<usbdevfs_urb*>(urbData->data);
        UMockdevIoctlData* buffer = nullptr;
        if (urb->buffer_length > 0) {
            buffer = resolve(urbData, offsetof(usbdevfs_urb, buffer),
                             std::size_t(urb->buffer_length));
            if (buffer == nullptr) {
                umockdev_ioctl_data_unref(urbData);
                umockdev_ioctl_client_complete(client, -1, EFAULT);
                return true;
            }
        }
        std::uint8_t* bytes = buffer != nullptr ? buffer->data : nullptr;
        int result = -EPIPE;
        if (urb->type == USBDEVFS_URB_TYPE_CONTROL && urb->buffer_length >= 8) {
            result = port.chip->control(bytes, bytes + 8, urb->buffer_length - 8);
        } else if (urb->type == USBDEVFS_URB_TYPE_BULK && urb->endpoint == 0x02) {
            std::int64_t heldOffUntil = 0;
            result = port.chip->bulkOut(bytes, urb->buffer_length, &heldOffUntil);
            if (heldOffUntil != 0) {
                // The chip holds the transfer off while its buffer is full:
                // the caller's submit blocks (it sleeps, as a host waiting
                // on a real chip does), and an unplug meanwhile cuts it short.
                lock.unlock();
                const int taken = port.chip->holdOff(heldOffUntil, result);
                lock.lock();
                if (taken < result) {
                    urb->status = -ENODEV;
                    urb->actual_length = taken;
                    umockdev_ioctl_data_unref(buffer);
                    port.completed[client].push_back(urbData);
                    umockdev_ioctl_client_complete(client, 0, 0);
                    return true;
                }
            }
        } else if (urb->type == USBDEVFS_URB_TYPE_BULK && urb->endpoint == 0x81) {
            result = port.chip->bulkIn(bytes, urb->buffer_length);
        }
        urb->status = result < 0 ? result : 0;
        urb->actual_length = result < 0 ? 0 : result;
        if (buffer != nullptr) {
            umockdev_ioctl_data_unref(buffer);
        }
        port.completed[client].push_back(urbData);
        if (urb->type == USBDEVFS_URB_TYPE_BULK && urb->endpoint == 0x02 &&
            port.bulkOutsUntilVanishing > 0 && --port.bulkOutsUntilVanishing == 0) {
            port.unplugged = true;
            port.chip->pullOut();
        }
        umockdev_ioctl_client_complete(client, 0, 0);
        return true;
    }
    case USBDEVFS_REAPURB:
    case USBDEVFS_REAPURBNDELAY: {
        std::deque<UMockdevIoctlData*>& queue = port.completed[client];
        if (queue.empty()) {
            umockdev_ioctl_client_complete(client, -1, port.unplugged ? ENODEV : EAGAIN);
            return true;
        }
        UMockdevIoctlData* urb = queue.front();
        queue.pop_front();
        // The argument points at the caller's slot for the URB's address; the
        // URB itself was written back when it was submitted.
        UMockdevIoctlData* slot = resolve(arg, 0, sizeof(void*));
        if (slot == nullptr) {
            umockdev_ioctl_data_unref(urb);
            umockdev_ioctl_client_complete(client, -1, EFAULT);
            return true;
        }
        const gulong address = urb->client_addr;
        std::memcpy(slot->data, &address, sizeof(void*));
        umockdev_ioctl_data_unref(slot);
        umockdev_ioctl_data_unref(urb);
        umockdev_ioctl_client_complete(client, 0, 0);
        return true;
    }
    case USBDEVFS_DISCARDURB:
        // Every transfer completes at once: there is nothing left to cancel.
        umockdev_ioctl_client_complete(client, -1, EINVAL);
        return true;
    default:
        umockdev_ioctl_client_complete(client, -1, ENOTTY);
        return true;
    }
}
