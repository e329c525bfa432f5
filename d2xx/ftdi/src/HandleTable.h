// The handles this process holds.
#ifndef D2XX_FTDI_HANDLETABLE_H
#define D2XX_FTDI_HANDLETABLE_H

#include <cstdint>
#include <map>
#include <memory>
#include <mutex>

#include "FtdiChip.h"
#include "ftd2xx.h"

namespace ftdi_backend {

/// Open chips by handle value. A handle is only looked up, never followed,
/// so a stale or made-up one answers FT_INVALID_HANDLE; a call in progress
/// keeps its chip alive even if another thread closes the handle meanwhile.
class HandleTable {
public:
    static HandleTable& instance();

    FT_HANDLE add(std::unique_ptr<FtdiChip> chip);
    std::shared_ptr<FtdiChip> find(FT_HANDLE handle) const;
    /// Removes and returns the chip behind `handle` (null when unknown).
    std::shared_ptr<FtdiChip> take(FT_HANDLE handle);
    /// The handle of the chip at `identity`'s bus address, or null.
    FT_HANDLE handleOf(const DeviceIdentity& identity, DeviceIdentity* opened) const;

private:
    mutable std::mutex m_mutex;
    std::map<std::uintptr_t, std::shared_ptr<FtdiChip>> m_chips;
};

}  // namespace ftdi_backend

#endif  // D2XX_FTDI_HANDLETABLE_H
