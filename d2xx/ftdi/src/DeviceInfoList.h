// The D2XX device list, as FT_CreateDeviceInfoList builds it.
#ifndef D2XX_FTDI_DEVICEINFOLIST_H
#define D2XX_FTDI_DEVICEINFOLIST_H

#include <mutex>
#include <vector>

#include "DeviceIdentity.h"
#include "ftd2xx.h"

namespace ftdi_backend {

/// The records of the latest listing. A chip open in this process shows
/// the opened flag and its handle; one whose interface another process has
/// claimed shows only the opened flag, every other field empty, as the
/// vendor's library reports it.
class DeviceInfoList {
public:
    static DeviceInfoList& instance();

    /// Lists the buses again; false when USB cannot be reached at all.
    bool refresh(DWORD* count);
    /// Copies at most `capacity` records of the latest listing; returns how many.
    DWORD copy(FT_DEVICE_LIST_INFO_NODE* records, DWORD capacity) const;

private:
    struct Entry {
        DeviceIdentity identity;
        bool heldElsewhere = false;
    };

    mutable std::mutex m_mutex;
    std::vector<Entry> m_entries;
};

}  // namespace ftdi_backend

#endif  // D2XX_FTDI_DEVICEINFOLIST_H
