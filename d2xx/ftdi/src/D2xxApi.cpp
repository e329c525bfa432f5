// The D2XX functions, answered through libftdi1.
#include <memory>

#include "DeviceInfoList.h"
#include "FtdiChip.h"
#include "HandleTable.h"
#include "ftd2xx.h"

using ftdi_backend::DeviceInfoList;
using ftdi_backend::FtdiChip;
using ftdi_backend::HandleTable;

namespace {

/// Runs `body` on the chip behind `handle`; FT_INVALID_HANDLE for a null,
/// unknown or closed one.
template <typename Body>
FT_STATUS onChip(FT_HANDLE handle, Body body) {
    const std::shared_ptr<FtdiChip> chip = HandleTable::instance().find(handle);
    if (!chip) {
        return FT_INVALID_HANDLE;
    }
    return body(*chip);
}

}  // namespace

extern "C" {

FT_STATUS FT_CreateDeviceInfoList(LPDWORD lpdwNumDevs) {
    if (lpdwNumDevs == nullptr) {
        return FT_INVALID_PARAMETER;
    }
    return DeviceInfoList::instance().refresh(lpdwNumDevs) ? FT_OK : FT_IO_ERROR;
}

FT_STATUS FT_GetDeviceInfoList(FT_DEVICE_LIST_INFO_NODE* pDest, LPDWORD lpdwNumDevs) {
    if (pDest == nullptr || lpdwNumDevs == nullptr) {
        return FT_INVALID_PARAMETER;
    }
    // The caller sized its array from FT_CreateDeviceInfoList: never write more.
    *lpdwNumDevs = DeviceInfoList::instance().copy(pDest, *lpdwNumDevs);
    return FT_OK;
}

FT_STATUS FT_Open(int deviceNumber, FT_HANDLE* pHandle) {
    if (pHandle == nullptr) {
        return FT_INVALID_PARAMETER;
    }
    std::unique_ptr<FtdiChip> chip;
    const FT_STATUS status = FtdiChip::open(deviceNumber, &chip);
    if (status == FT_OK) {
        *pHandle = HandleTable::instance().add(std::move(chip));
    }
    return status;
}

FT_STATUS FT_Close(FT_HANDLE ftHandle) {
    const std::shared_ptr<FtdiChip> chip = HandleTable::instance().take(ftHandle);
    return chip ? chip->close() : FT_STATUS(FT_INVALID_HANDLE);
}

FT_STATUS FT_SetBaudRate(FT_HANDLE ftHandle, ULONG BaudRate) {
    return onChip(ftHandle, [&](FtdiChip& chip) { return chip.setBaudRate(BaudRate); });
}

FT_STATUS FT_SetLatencyTimer(FT_HANDLE ftHandle, UCHAR ucLatency) {
    return onChip(ftHandle, [&](FtdiChip& chip) { return chip.setLatencyTimer(ucLatency); });
}

FT_STATUS FT_EE_UASize(FT_HANDLE ftHandle, LPDWORD lpdwSize) {
    return onChip(ftHandle, [&](FtdiChip& chip) {
        return lpdwSize ? chip.userAreaSize(lpdwSize) : FT_STATUS(FT_INVALID_PARAMETER);
    });
}

FT_STATUS FT_EE_UARead(FT_HANDLE ftHandle, PUCHAR pucData, DWORD dwDataLen, LPDWORD lpdwBytesRead) {
    return onChip(ftHandle, [&](FtdiChip& chip) {
        return pucData && lpdwBytesRead ? chip.readUserArea(pucData, dwDataLen, lpdwBytesRead)
                                        : FT_STATUS(FT_INVALID_PARAMETER);
    });
}

FT_STATUS FT_EE_UAWrite(FT_HANDLE ftHandle, PUCHAR pucData, DWORD dwDataLen) {
    return onChip(ftHandle, [&](FtdiChip& chip) {
        return pucData ? chip.writeUserArea(pucData, dwDataLen) : FT_STATUS(FT_INVALID_PARAMETER);
    });
}

FT_STATUS FT_EE_Read(FT_HANDLE ftHandle, FT_PROGRAM_DATA* pData) {
    return onChip(ftHandle, [&](FtdiChip& chip) {
        return pData ? chip.readProgramData(pData) : FT_STATUS(FT_INVALID_PARAMETER);
    });
}

FT_STATUS FT_EE_Program(FT_HANDLE ftHandle, FT_PROGRAM_DATA* pData) {
    return onChip(ftHandle, [&](FtdiChip& chip) {
        return pData ? chip.program(pData) : FT_STATUS(FT_INVALID_PARAMETER);
    });
}

FT_STATUS FT_SetBitMode(FT_HANDLE ftHandle, UCHAR ucMask, UCHAR ucEnable) {
    return onChip(ftHandle, [&](FtdiChip& chip) { return chip.setBitMode(ucMask, ucEnable); });
}

FT_STATUS FT_GetBitMode(FT_HANDLE ftHandle, PUCHAR pucMode) {
    return onChip(ftHandle, [&](FtdiChip& chip) {
        return pucMode ? chip.pins(pucMode) : FT_STATUS(FT_INVALID_PARAMETER);
    });
}

FT_STATUS FT_Purge(FT_HANDLE ftHandle, ULONG Mask) {
    return onChip(ftHandle, [&](FtdiChip& chip) { return chip.purge(Mask); });
}

FT_STATUS FT_Write(FT_HANDLE ftHandle, LPVOID lpBuffer, DWORD dwBytesToWrite,
                   LPDWORD lpBytesWritten) {
    return onChip(ftHandle, [&](FtdiChip& chip) {
        return lpBuffer && lpBytesWritten
                   ? chip.write(static_cast<const unsigned char*>(lpBuffer), dwBytesToWrite,
                                lpBytesWritten)
                   : FT_STATUS(FT_INVALID_PARAMETER);
    });
}

FT_STATUS FT_Read(FT_HANDLE ftHandle, LPVOID lpBuffer, DWORD dwBytesToRead,
                  LPDWORD lpBytesReturned) {
    return onChip(ftHandle, [&](FtdiChip& chip) {
        return lpBuffer && lpBytesReturned
                   ? chip.read(static_cast<unsigned char*>(lpBuffer), dwBytesToRead,
                               lpBytesReturned)
                   : FT_STATUS(FT_INVALID_PARAMETER);
    });
}

/// Names this implementation for tools that tell the user which D2XX
/// library runs (the vendor's has no such function).
FTD2XX_API const char* tt_d2xx_backend_name(void) {
    return "libftdi1";
}

}  // extern "C"
