#include "ChipListing.h"

#include <algorithm>
#include <cstring>

#include "D2xxDiagnostics.h"
#include "DeviceOpenTurns.h"
#include "IdentityRecord.h"

namespace {

// The list's text fields need not be terminated: copy at most their size.
template <size_t N>
std::string fieldText(const char (&field)[N]) {
    return std::string(field, strnlen(field, N));
}

}  // namespace

std::vector<ListedChip> ChipListing::list(const char* chipName, int32_t deviceKind) {
    std::vector<ListedChip> chips;
    DWORD deviceCount = 0;
    if (chipName == nullptr ||
        D2xxDiagnostics::checked("FT_CreateDeviceInfoList",
                                 FT_CreateDeviceInfoList(&deviceCount)) != FT_OK)
        return chips;
    // Said also when there is nothing: "no chip at all" is the first thing
    // to know about a turntable that is not found.
    TT_LOG(Device, Debug, "listing of \"%s\" chips: %lu devices in the D2XX list", chipName,
           static_cast<unsigned long>(deviceCount));
    if (deviceCount == 0)
        return chips;

    std::vector<FT_DEVICE_LIST_INFO_NODE> records(deviceCount);
    DWORD filledCount = deviceCount;
    if (D2xxDiagnostics::checked("FT_GetDeviceInfoList",
                                 FT_GetDeviceInfoList(records.data(), &filledCount)) != FT_OK)
        return chips;

    for (DWORD dev = 0; dev < std::min(filledCount, deviceCount); ++dev) {
        const FT_DEVICE_LIST_INFO_NODE& record = records[dev];
        ListedChip chip;
        chip.description = fieldText(record.Description);
        if (chip.description.find(chipName) == std::string::npos)
            continue;
        chip.deviceIndex = static_cast<int32_t>(dev);
        chip.serial = fieldText(record.SerialNumber);
        if (record.Flags & FT_FLAGS_OPENED) {
            chip.heldElsewhere = true;
            chip.openStatus = FT_DEVICE_NOT_OPENED;
            chips.push_back(chip);
            continue;
        }
        FT_HANDLE handle = nullptr;
        const std::lock_guard<std::mutex> turn(deviceOpenTurns());
        chip.openStatus =
            D2xxDiagnostics::checked("FT_Open", FT_Open(static_cast<int>(dev), &handle));
        if (chip.openStatus == FT_OK) {
            short writtenId = -1;
            if (readIdentityRecord(handle, deviceKind, &writtenId))
                chip.writtenId = writtenId;
            D2xxDiagnostics::checked("FT_Close", FT_Close(handle));
        }
        chips.push_back(chip);
    }
    return chips;
}
