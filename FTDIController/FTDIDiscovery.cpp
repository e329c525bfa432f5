#include <algorithm>
#include <cstring>
#include <mutex>
#include <vector>

#include "D2xxDiagnostics.h"
#include "DeviceOpenTurns.h"
#include "FTDIController.h"
#include "IdentityRecord.h"

namespace {

// The description field is 64 bytes and need not be terminated: search a
// terminated copy so that the search never runs past the record.
bool descriptionContains(const FT_DEVICE_LIST_INFO_NODE& record, const char* chipName) {
    char description[sizeof(record.Description) + 1];
    std::memcpy(description, record.Description, sizeof(record.Description));
    description[sizeof(record.Description)] = '\0';
    return std::strstr(description, chipName) != nullptr;
}

const wchar_t* openFailureText(FT_STATUS status) {
    switch (status) {
        case FT_INVALID_HANDLE:
            return L"Invalid handle.";
        case FT_DEVICE_NOT_FOUND:
            return L"Device not found";
        case FT_DEVICE_NOT_OPENED:
            return L"Device not opened";
        case FT_IO_ERROR:
            return L"IO Error";
        case FT_INSUFFICIENT_RESOURCES:
            return L"Insufficient resources";
        default:
            return nullptr;
    }
}

}  // namespace

std::mutex& deviceOpenTurns() {
    static std::mutex turns;
    return turns;
}

FTDIController::DeviceIndexes FTDIController::availableDeviceIndexes(const char* chipName,
                                                                     CompanyDeviceType deviceType) {
    DeviceIndexes result;
    if (chipName == nullptr)
        return result;

    DWORD deviceCount = 0;
    if (D2xxDiagnostics::checked("FT_CreateDeviceInfoList",
                                 FT_CreateDeviceInfoList(&deviceCount)) != FT_OK ||
        deviceCount == 0)
        return result;

    std::vector<FT_DEVICE_LIST_INFO_NODE> records(deviceCount);
    DWORD filledCount = deviceCount;
    // A failed listing may have filled nothing: read no record then.
    if (D2xxDiagnostics::checked("FT_GetDeviceInfoList",
                                 FT_GetDeviceInfoList(records.data(), &filledCount)) != FT_OK)
        return result;
    const DWORD usable = std::min(filledCount, deviceCount);

    for (DWORD dev = 0; dev < usable; ++dev) {
        FT_DEVICE_LIST_INFO_NODE& record = records[dev];
        if (record.Flags & FT_FLAGS_OPENED)
            continue;
        if (!descriptionContains(record, chipName))
            continue;
        if (deviceType == UnknownDevice) {
            result.push_back({static_cast<int32_t>(dev), -1});
            continue;
        }
        const std::lock_guard<std::mutex> turn(deviceOpenTurns());
        if (D2xxDiagnostics::checked("FT_Open", FT_Open(static_cast<int>(dev), &record.ftHandle)) !=
            FT_OK)
            continue;

        short writtenId = -1;
        if (readIdentityRecord(record.ftHandle, deviceType, &writtenId))
            result.push_back({static_cast<int32_t>(dev), static_cast<int32_t>(writtenId)});
        D2xxDiagnostics::checked("FT_Close", FT_Close(record.ftHandle));
    }
    TT_LOG(Device, Debug, "discovery of \"%s\": %zu of %lu devices listed", chipName, result.size(),
           static_cast<unsigned long>(usable));
    return result;
}

bool FTDIController::openHandle(int index, std::wstring* errorString) {
    FT_HANDLE handle = nullptr;
    FT_STATUS status;
    {
        const std::lock_guard<std::mutex> turn(deviceOpenTurns());
        status = D2xxDiagnostics::checked("FT_Open", FT_Open(index, &handle));
    }
    if (status != FT_OK) {
        if (errorString) {
            if (const wchar_t* text = openFailureText(status))
                *errorString = text;
        }
        return false;
    }
    D2xxDiagnostics::checked("FT_SetBaudRate", FT_SetBaudRate(handle, OPEN_BAUD_RATE));
    D2xxDiagnostics::checked("FT_SetLatencyTimer", FT_SetLatencyTimer(handle, 2));
    m_port.attach(handle);
    TT_LOG(Device, Debug, "device %d opened", index);
    return true;
}
