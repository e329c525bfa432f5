// The D2XX functions, answered by the simulated world.
#include <algorithm>
#include <cstring>

#include "World.h"
#include "ftd2xx.h"
#include "ftsim/Time.h"

namespace ftsim {
namespace {

/// Arguments and data of a call, for the trace, and how long it blocks.
struct Rec {
    std::uint32_t arg0 = 0;
    std::uint32_t arg1 = 0;
    const std::uint8_t* bytes = nullptr;
    std::uint32_t count = 0;
    /// The call returns no earlier than this (a write waiting for room in
    /// the transmit buffer); 0: no such wait.
    TimeNs blockedUntil = 0;
};

/// A real USB transfer blocks the caller without using the processor: the
/// bench sleeps through the delay and spins only its last stretch, so that
/// it stays accurate on a loaded machine and a caller's processor time is
/// its own. Never under the lock.
void spendDelay(std::int64_t ns) {
    if (ns <= 0)
        return;
    constexpr std::int64_t kSpunStretch = 200000;
    const TimeNs until = now() + ns;
    sleepUntil(until - kSpunStretch);
    while (now() < until) {
    }
}

/// Runs `call(world, time, delay, blockedUntil)` with the world locked and
/// brought up to now, then spends the USB delay the call set, unlocked, and
/// sleeps (a chip holding off the transfer costs no processor time) until
/// `blockedUntil` when that is later.
template <typename Call>
FT_STATUS inWorld(Call call) {
    std::int64_t delay = 0;
    TimeNs blockedUntil = 0;
    FT_STATUS status = FT_OK;
    {
        std::lock_guard<std::mutex> lock(worldMutex());
        World& w = d2xxWorld();
        const TimeNs time = now();
        w.runSchedule(time);
        status = call(w, time, delay, blockedUntil);
    }
    spendDelay(delay);
    sleepUntil(blockedUntil);
    return status;
}

/// Runs `body` on the device behind `handle` with the world locked. Null,
/// unknown and closed handles give FT_INVALID_HANDLE; handles of unplugged
/// devices FT_IO_ERROR. The handle value is only looked up, never followed.
template <typename Body>
FT_STATUS onDevice(TraceLog::Fn fn, FT_HANDLE handle, Rec rec, Body body) {
    return inWorld([&](World& w, TimeNs time, std::int64_t& delay, TimeNs& blockedUntil) {
        FT_STATUS status = FT_OK;
        int index = -1;
        const auto found = w.handles.find(reinterpret_cast<std::uintptr_t>(handle));
        if (handle == nullptr || found == w.handles.end()) {
            status = FT_INVALID_HANDLE;
        } else {
            index = found->second.device;
            if (found->second.dead) {
                status = FT_IO_ERROR;
                if (fn == TraceLog::Close)
                    w.handles.erase(found);  // the handle is released all the same
            } else {
                status = body(w, *w.devices[std::size_t(index)], time, rec);
            }
            delay = w.callDelayNs + w.devices[std::size_t(index)]->callDelayNs +
                    (fn == TraceLog::Write ? w.writeDelayNs : 0);
        }
        w.trace.call(fn, index, rec.arg0, rec.arg1, status, time, rec.bytes, rec.count);
        blockedUntil = rec.blockedUntil;
        return status;
    });
}

FT_STATUS eepromFault(SimDevice& device, EepromCall call) {
    StatusPlan& plan = device.eepromFault[int(call)];
    return plan.take() ? plan.status : FT_STATUS(FT_OK);
}

/// Copies `text` into a caller's buffer of `size` bytes, always NUL-terminated.
void copyText(char* destination, std::size_t size, const std::string& text) {
    if (!destination)
        return;
    const std::size_t n = std::min(text.size(), size - 1);
    std::memcpy(destination, text.data(), n);
    destination[n] = '\0';
}

/// Reads a caller's string, at most `size - 1` bytes (the vendor's buffer sizes).
std::string takeText(const char* source, std::size_t size) {
    return source ? std::string(source, strnlen(source, size - 1)) : std::string();
}

// Buffer sizes the vendor documents for the FT_PROGRAM_DATA strings.
constexpr std::size_t kManufacturerSize = 32;
constexpr std::size_t kManufacturerIdSize = 16;
constexpr std::size_t kDescriptionSize = 64;
constexpr std::size_t kSerialSize = 16;

}  // namespace
}  // namespace ftsim

using namespace ftsim;

extern "C" {

FT_STATUS FT_CreateDeviceInfoList(LPDWORD lpdwNumDevs) {
    std::lock_guard<std::mutex> lock(worldMutex());
    World& w = d2xxWorld();
    const TimeNs time = now();
    w.runSchedule(time);
    FT_STATUS status = FT_INVALID_PARAMETER;
    if (lpdwNumDevs) {
        w.listedCount = DWORD(w.listed().size());
        *lpdwNumDevs = w.listedCount;
        status = FT_OK;
    }
    w.trace.call(TraceLog::CreateDeviceInfoList, -1, w.listedCount, 0, status, time);
    return status;
}

FT_STATUS FT_GetDeviceInfoList(FT_DEVICE_LIST_INFO_NODE* pDest, LPDWORD lpdwNumDevs) {
    std::lock_guard<std::mutex> lock(worldMutex());
    World& w = d2xxWorld();
    const TimeNs time = now();
    w.runSchedule(time);
    if (!pDest || !lpdwNumDevs) {
        w.trace.call(TraceLog::GetDeviceInfoList, -1, 0, 0, FT_INVALID_PARAMETER, time);
        return FT_INVALID_PARAMETER;
    }
    // The caller sized its array from FT_CreateDeviceInfoList: never write more.
    const std::vector<int> listed = w.listed();
    const DWORD count = std::min<DWORD>(DWORD(listed.size()), w.listedCount);
    for (DWORD i = 0; i < count; ++i) {
        const SimDevice& device = *w.devices[std::size_t(listed[i])];
        FT_DEVICE_LIST_INFO_NODE& node = pDest[i];
        std::memset(&node, 0, sizeof node);
        if (device.config.openElsewhere) {
            node.Flags = FT_FLAGS_OPENED;  // another process holds it: nothing else is known
            continue;
        }
        node.Flags = device.openHere ? FT_FLAGS_OPENED : 0;
        node.Type = device.config.type;
        node.ID = device.config.id;
        node.LocId = device.config.location;
        std::memcpy(node.SerialNumber, device.config.serial.data(), sizeof node.SerialNumber);
        std::memcpy(node.Description, device.config.description.data(), sizeof node.Description);
        if (device.openHere) {
            for (const auto& entry : w.handles)
                if (entry.second.device == device.index && !entry.second.dead)
                    node.ftHandle = reinterpret_cast<FT_HANDLE>(entry.first);
        }
    }
    *lpdwNumDevs = count;
    w.trace.call(TraceLog::GetDeviceInfoList, -1, count, 0, FT_OK, time);
    return FT_OK;
}

FT_STATUS FT_Open(int deviceNumber, FT_HANDLE* pHandle) {
    return inWorld([&](World& w, TimeNs time, std::int64_t& delay, TimeNs&) {
        FT_STATUS status = FT_OK;
        const std::vector<int> listed = w.listed();
        int index = -1;
        if (!pHandle) {
            status = FT_INVALID_PARAMETER;
        } else if (deviceNumber < 0 || std::size_t(deviceNumber) >= listed.size()) {
            status = FT_DEVICE_NOT_FOUND;
        } else {
            index = listed[std::size_t(deviceNumber)];
            SimDevice& device = *w.devices[std::size_t(index)];
            delay = w.callDelayNs + device.callDelayNs;
            if (device.openFault.take()) {
                status = device.openFault.status;
            } else if (device.openHere || device.config.openElsewhere) {
                status = FT_DEVICE_NOT_OPENED;  // what the vendor's library answers
            } else {
                device.openHere = true;
                device.resetChip();
                *pHandle = w.newHandle(index);
            }
        }
        w.trace.call(TraceLog::Open, index, std::uint32_t(deviceNumber), 0, status, time);
        return status;
    });
}

FT_STATUS FT_Close(FT_HANDLE ftHandle) {
    return onDevice(TraceLog::Close, ftHandle, Rec{},
                    [&](World& w, SimDevice& device, TimeNs, Rec&) {
                        w.handles.erase(reinterpret_cast<std::uintptr_t>(ftHandle));
                        device.openHere = false;
                        return FT_STATUS(FT_OK);
                    });
}

FT_STATUS FT_SetBaudRate(FT_HANDLE ftHandle, ULONG BaudRate) {
    return onDevice(TraceLog::SetBaudRate, ftHandle, Rec{BaudRate},
                    [&](World&, SimDevice& device, TimeNs time, Rec&) {
                        // The R chips' divisors reach from 183 baud to 3 Mbaud;
                        // the generator runs at the divisor nearest the rate.
                        if (BaudRate < 183 || BaudRate > 3000000)
                            return FT_STATUS(FT_INVALID_BAUD_RATE);
                        device.baudRate = BaudRate;
                        device.clock.setDivisor(ByteClock::divisorFor(BaudRate), time);
                        return FT_STATUS(FT_OK);
                    });
}

FT_STATUS FT_SetLatencyTimer(FT_HANDLE ftHandle, UCHAR ucLatency) {
    return onDevice(TraceLog::SetLatencyTimer, ftHandle, Rec{ucLatency},
                    [&](World&, SimDevice& device, TimeNs, Rec&) {
                        if (ucLatency < 2)
                            return FT_STATUS(FT_INVALID_PARAMETER);
                        device.latency = ucLatency;
                        return FT_STATUS(FT_OK);
                    });
}

FT_STATUS FT_EE_UASize(FT_HANDLE ftHandle, LPDWORD lpdwSize) {
    return onDevice(TraceLog::EE_UASize, ftHandle, Rec{},
                    [&](World&, SimDevice& device, TimeNs, Rec& rec) {
                        if (!lpdwSize)
                            return FT_STATUS(FT_INVALID_PARAMETER);
                        if (FT_STATUS fault = eepromFault(device, EepromCall::UASize))
                            return fault;
                        *lpdwSize = DWORD(device.userArea.size());
                        rec.arg0 = *lpdwSize;
                        return FT_STATUS(FT_OK);
                    });
}

FT_STATUS FT_EE_UARead(FT_HANDLE ftHandle, PUCHAR pucData, DWORD dwDataLen, LPDWORD lpdwBytesRead) {
    return onDevice(TraceLog::EE_UARead, ftHandle, Rec{dwDataLen},
                    [&](World&, SimDevice& device, TimeNs, Rec& rec) {
                        if (!pucData || !lpdwBytesRead)
                            return FT_STATUS(FT_INVALID_PARAMETER);
                        if (FT_STATUS fault = eepromFault(device, EepromCall::UARead))
                            return fault;
                        DWORD count = std::min<DWORD>(dwDataLen, DWORD(device.userArea.size()));
                        if (device.shortUaRead.take())
                            count = std::min(count, device.shortUaCount);
                        std::memcpy(pucData, device.userArea.data(), count);
                        *lpdwBytesRead = count;
                        rec.arg1 = count;
                        rec.bytes = pucData;
                        rec.count = count;
                        return FT_STATUS(FT_OK);
                    });
}

FT_STATUS FT_EE_UAWrite(FT_HANDLE ftHandle, PUCHAR pucData, DWORD dwDataLen) {
    return onDevice(TraceLog::EE_UAWrite, ftHandle, Rec{dwDataLen},
                    [&](World&, SimDevice& device, TimeNs, Rec& rec) {
                        if (!pucData)
                            return FT_STATUS(FT_INVALID_PARAMETER);
                        rec.bytes = pucData;
                        rec.count = dwDataLen;
                        if (FT_STATUS fault = eepromFault(device, EepromCall::UAWrite))
                            return fault;
                        if (dwDataLen > device.userArea.size())
                            return FT_STATUS(FT_INVALID_ARGS);  // nothing is written
                        std::memcpy(device.userArea.data(), pucData, dwDataLen);
                        return FT_STATUS(FT_OK);
                    });
}

FT_STATUS FT_EE_Read(FT_HANDLE ftHandle, FT_PROGRAM_DATA* pData) {
    return onDevice(TraceLog::EE_Read, ftHandle, Rec{},
                    [&](World&, SimDevice& device, TimeNs, Rec&) {
                        if (!pData)
                            return FT_STATUS(FT_INVALID_PARAMETER);
                        if (FT_STATUS fault = eepromFault(device, EepromCall::Read))
                            return fault;
                        FT_PROGRAM_DATA filled = device.image;
                        // The caller owns the header and the four buffers.
                        filled.Signature1 = pData->Signature1;
                        filled.Signature2 = pData->Signature2;
                        filled.Version = pData->Version;
                        filled.Manufacturer = pData->Manufacturer;
                        filled.ManufacturerId = pData->ManufacturerId;
                        filled.Description = pData->Description;
                        filled.SerialNumber = pData->SerialNumber;
                        *pData = filled;
                        copyText(pData->Manufacturer, kManufacturerSize, device.manufacturer);
                        copyText(pData->ManufacturerId, kManufacturerIdSize, device.manufacturerId);
                        copyText(pData->Description, kDescriptionSize, device.description);
                        copyText(pData->SerialNumber, kSerialSize, device.serial);
                        return FT_STATUS(FT_OK);
                    });
}

FT_STATUS FT_EE_Program(FT_HANDLE ftHandle, FT_PROGRAM_DATA* pData) {
    return onDevice(
        TraceLog::EE_Program, ftHandle, Rec{}, [&](World&, SimDevice& device, TimeNs, Rec&) {
            if (!pData)
                return FT_STATUS(FT_INVALID_PARAMETER);
            if (FT_STATUS fault = eepromFault(device, EepromCall::Program))
                return fault;
            device.manufacturer = takeText(pData->Manufacturer, kManufacturerSize);
            device.manufacturerId = takeText(pData->ManufacturerId, kManufacturerIdSize);
            device.description = takeText(pData->Description, kDescriptionSize);
            device.serial = takeText(pData->SerialNumber, kSerialSize);
            device.image = *pData;
            device.image.Manufacturer = nullptr;
            device.image.ManufacturerId = nullptr;
            device.image.Description = nullptr;
            device.image.SerialNumber = nullptr;
            // The user area is what the strings leave of the EEPROM.
            device.resizeUserArea(SimDevice::userAreaSizeFor(
                device.manufacturer, device.manufacturerId, device.description, device.serial));
            ++device.programs;
            return FT_STATUS(FT_OK);
        });
}

FT_STATUS FT_SetBitMode(FT_HANDLE ftHandle, UCHAR ucMask, UCHAR ucEnable) {
    return onDevice(TraceLog::SetBitMode, ftHandle, Rec{ucMask, ucEnable},
                    [&](World& w, SimDevice& device, TimeNs time, Rec&) {
                        device.mask = ucMask;
                        device.mode = ucEnable;
                        if (device.bitBang()) {
                            // Output pins take the latch at once; the chip starts
                            // filling its receive buffer with samples.
                            device.drive(
                                std::uint8_t((device.lines & ~ucMask) | (device.latch & ucMask)),
                                time, w.trace);
                            device.rxOldest = device.pinsAt(time);
                        } else {
                            device.rxOldest.reset();
                        }
                        return FT_STATUS(FT_OK);
                    });
}

FT_STATUS FT_GetBitMode(FT_HANDLE ftHandle, PUCHAR pucMode) {
    return onDevice(TraceLog::GetBitMode, ftHandle, Rec{},
                    [&](World&, SimDevice& device, TimeNs time, Rec& rec) {
                        if (!pucMode)
                            return FT_STATUS(FT_INVALID_PARAMETER);
                        *pucMode = device.pinsAt(time);
                        rec.arg0 = *pucMode;
                        return FT_STATUS(FT_OK);
                    });
}

FT_STATUS FT_Purge(FT_HANDLE ftHandle, ULONG Mask) {
    return onDevice(TraceLog::Purge, ftHandle, Rec{Mask},
                    [&](World&, SimDevice& device, TimeNs, Rec&) {
                        if (Mask & FT_PURGE_RX)
                            device.rxOldest.reset();
                        // What has not yet reached the pins never will.
                        if (Mask & FT_PURGE_TX)
                            device.clock.clear();
                        return FT_STATUS(FT_OK);
                    });
}

FT_STATUS FT_Write(FT_HANDLE ftHandle, LPVOID lpBuffer, DWORD dwBytesToWrite,
                   LPDWORD lpBytesWritten) {
    TimeNs start = 0;
    TimeNs blockedUntil = 0;
    std::size_t traced = 0;
    const FT_STATUS status = onDevice(TraceLog::Write, ftHandle, Rec{dwBytesToWrite},
                    [&](World& w, SimDevice& device, TimeNs time, Rec& rec) {
                        if (!lpBuffer || !lpBytesWritten)
                            return FT_STATUS(FT_INVALID_PARAMETER);
                        *lpBytesWritten = 0;
                        DWORD count = dwBytesToWrite;
                        if (device.writeFault.take()) {
                            if (!device.writeFault.fault.isShort)
                                return device.writeFault.fault.status;
                            count = std::min(count, device.writeFault.fault.count);
                        }
                        const auto* data = static_cast<const std::uint8_t*>(lpBuffer);
                        if (device.bitBang()) {
                            // The bytes go through the transmit buffer and its
                            // byte clock; the call waits while it is full.
                            const TimeNs accepted = device.clock.push(data, count, time);
                            if (accepted > time) {
                                rec.blockedUntil = blockedUntil = accepted;
                                start = time;
                                traced = w.trace.records.size();
                            }
                            device.advance(time, w.trace);
                        } else {
                            for (DWORD i = 0; i < count; ++i)
                                w.trace.portByte(device.index, data[i], time, false);
                        }
                        *lpBytesWritten = count;
                        rec.arg1 = count;
                        rec.bytes = data;
                        rec.count = count;
                        if (device.writesBeforeUnplug > 0 && --device.writesBeforeUnplug == 0)
                            w.unplug(device.index, time);
                        return FT_STATUS(FT_OK);
                    });
    if (status != FT_OK || blockedUntil == 0)
        return status;
    // A chip pulled out while the write waited for room took only the bytes
    // that had entered its buffer by then, and the write fails.
    std::lock_guard<std::mutex> lock(worldMutex());
    World& w = d2xxWorld();
    w.runSchedule(now());
    const auto found = w.handles.find(reinterpret_cast<std::uintptr_t>(ftHandle));
    if (found == w.handles.end() || !found->second.dead)
        return status;
    const SimDevice& device = *w.devices[std::size_t(found->second.device)];
    if (device.unpluggedAt < start || device.unpluggedAt >= blockedUntil)
        return status;
    *lpBytesWritten = DWORD(device.clock.acceptedBy(device.unpluggedAt));
    w.trace.amend(traced, start, FT_IO_ERROR, *lpBytesWritten);
    return FT_IO_ERROR;
}

FT_STATUS FT_Read(FT_HANDLE ftHandle, LPVOID lpBuffer, DWORD dwBytesToRead,
                  LPDWORD lpBytesReturned) {
    return onDevice(TraceLog::Read, ftHandle, Rec{dwBytesToRead},
                    [&](World&, SimDevice& device, TimeNs time, Rec& rec) {
                        if (!lpBuffer || !lpBytesReturned)
                            return FT_STATUS(FT_INVALID_PARAMETER);
                        *lpBytesReturned = 0;
                        // Outside bit-bang mode nothing feeds the receive buffer.
                        DWORD count = device.bitBang() ? dwBytesToRead : 0;
                        if (device.readFault.take()) {
                            if (!device.readFault.fault.isShort)
                                return device.readFault.fault.status;
                            count = std::min(count, device.readFault.fault.count);
                        }
                        auto* data = static_cast<std::uint8_t*>(lpBuffer);
                        for (DWORD i = 0; i < count; ++i) {
                            // Without a purge the first byte is the oldest sample waiting.
                            if (i == 0 && device.rxOldest)
                                data[i] = *device.rxOldest;
                            else
                                data[i] = device.pinsAt(time);
                        }
                        if (device.bitBang())
                            device.rxOldest = device.pinsAt(time);
                        *lpBytesReturned = count;
                        rec.arg1 = count;
                        rec.bytes = data;
                        rec.count = count;
                        return FT_STATUS(FT_OK);
                    });
}

}  // extern "C"
