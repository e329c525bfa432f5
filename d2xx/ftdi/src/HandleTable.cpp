#include "HandleTable.h"

namespace ftdi_backend {

HandleTable& HandleTable::instance() {
    static HandleTable table;
    return table;
}

FT_HANDLE HandleTable::add(std::unique_ptr<FtdiChip> chip) {
    std::lock_guard<std::mutex> lock(m_mutex);
    const auto key = reinterpret_cast<std::uintptr_t>(chip.get());
    m_chips[key] = std::shared_ptr<FtdiChip>(std::move(chip));
    return reinterpret_cast<FT_HANDLE>(key);
}

std::shared_ptr<FtdiChip> HandleTable::find(FT_HANDLE handle) const {
    std::lock_guard<std::mutex> lock(m_mutex);
    const auto found = m_chips.find(reinterpret_cast<std::uintptr_t>(handle));
    return found != m_chips.end() ? found->second : nullptr;
}

std::shared_ptr<FtdiChip> HandleTable::take(FT_HANDLE handle) {
    std::lock_guard<std::mutex> lock(m_mutex);
    const auto found = m_chips.find(reinterpret_cast<std::uintptr_t>(handle));
    if (found == m_chips.end()) {
        return nullptr;
    }
    std::shared_ptr<FtdiChip> chip = found->second;
    m_chips.erase(found);
    return chip;
}

FT_HANDLE HandleTable::handleOf(const DeviceIdentity& identity, DeviceIdentity* opened) const {
    std::lock_guard<std::mutex> lock(m_mutex);
    for (const auto& entry : m_chips) {
        if (entry.second->identity().sameDevice(identity)) {
            *opened = entry.second->identity();
            return reinterpret_cast<FT_HANDLE>(entry.first);
        }
    }
    return nullptr;
}

}  // namespace ftdi_backend
