#include "DeviceInfoList.h"

#include <libusb.h>
#include <ftdi.h>

#include <algorithm>
#include <cstring>

#include "HandleTable.h"
#include "UsbDeviceList.h"

namespace ftdi_backend {

namespace {

/// Looks at a chip no handle of ours holds: whether another program has
/// claimed it, and else its strings. A chip that ftdi_sio holds is free to
/// open (libftdi1 detaches the driver), so it is not reported as held.
bool inspect(libusb_device* device, DeviceIdentity* identity) {
    libusb_device_handle* handle = nullptr;
    if (libusb_open(device, &handle) != 0) {
        return false;  // no access (permissions): listed with its ids only
    }
    bool held = false;
    if (libusb_kernel_driver_active(handle, 0) != 1) {
        const int claimed = libusb_claim_interface(handle, 0);
        held = claimed == LIBUSB_ERROR_BUSY;
        if (claimed == 0) {
            libusb_release_interface(handle, 0);
        }
    }
    if (!held) {
        identity->readStrings(handle);
    }
    libusb_close(handle);
    return held;
}

void copyField(char* destination, std::size_t size, const std::string& text) {
    std::memcpy(destination, text.data(), std::min(text.size(), size - 1));
}

}  // namespace

DeviceInfoList& DeviceInfoList::instance() {
    static DeviceInfoList list;
    return list;
}

bool DeviceInfoList::refresh(DWORD* count) {
    std::vector<Entry> entries;
    ftdi_context* context = ftdi_new();
    if (context == nullptr) {
        return false;
    }
    bool valid = false;
    {
        const UsbDeviceList devices(context);
        valid = devices.valid();
        for (std::size_t i = 0; i < devices.size(); ++i) {
            Entry entry;
            entry.identity = DeviceIdentity::of(devices[i]);
            DeviceIdentity opened;
            if (HandleTable::instance().handleOf(entry.identity, &opened) == nullptr) {
                entry.heldElsewhere = inspect(devices[i], &entry.identity);
            }
            entries.push_back(entry);
        }
    }
    ftdi_free(context);
    if (!valid) {
        return false;
    }
    std::lock_guard<std::mutex> lock(m_mutex);
    m_entries = std::move(entries);
    *count = DWORD(m_entries.size());
    return true;
}

DWORD DeviceInfoList::copy(FT_DEVICE_LIST_INFO_NODE* records, DWORD capacity) const {
    std::lock_guard<std::mutex> lock(m_mutex);
    const DWORD count = std::min<DWORD>(capacity, DWORD(m_entries.size()));
    for (DWORD i = 0; i < count; ++i) {
        FT_DEVICE_LIST_INFO_NODE& node = records[i];
        std::memset(&node, 0, sizeof node);
        const Entry& entry = m_entries[i];
        if (entry.heldElsewhere) {
            node.Flags = FT_FLAGS_OPENED;  // another process holds it: nothing else is known
            continue;
        }
        DeviceIdentity identity = entry.identity;
        node.ftHandle = HandleTable::instance().handleOf(entry.identity, &identity);
        node.Flags = node.ftHandle != nullptr ? FT_FLAGS_OPENED : 0;
        node.Type = identity.type;
        node.ID = identity.id;
        node.LocId = identity.location;
        copyField(node.SerialNumber, sizeof node.SerialNumber, identity.serialNumber);
        copyField(node.Description, sizeof node.Description, identity.description);
    }
    return count;
}

}  // namespace ftdi_backend
