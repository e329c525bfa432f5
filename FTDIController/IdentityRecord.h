#ifndef IDENTITY_RECORD_H
#define IDENTITY_RECORD_H

#include <cstdint>
#include <functional>

#include "ftd2xx.h"

// The 8-byte record at the start of the EEPROM user area that tells a
// turntable's chip from any other FT245R: signature 0xF4D1, version 1, the
// device kind and the writtenId, each 16 bits little-endian.

constexpr DWORD IDENTITY_RECORD_SIZE = 8;

/// One D2XX call on a device, made on the handle it is given.
using DeviceCall = std::function<FT_STATUS(FT_HANDLE)>;
/// Makes one call on a device and returns its status. An open controller
/// takes its port lock around each call and hands over the handle it holds
/// then, so that a move's pulses are never held up longer than one access.
using DeviceAccess = std::function<FT_STATUS(const DeviceCall&)>;

/// True when the user area starts with a record of kind `deviceKind`; then
/// *writtenId (when not null) receives its writtenId. False, *writtenId
/// unchanged, when a call fails, the area is shorter than the record, or the
/// signature or the kind differ. The version is not checked.
bool readIdentityRecord(const DeviceAccess& device, int32_t deviceKind, short* writtenId);

/// readIdentityRecord on a handle that no other thread uses (discovery's
/// briefly opened candidates).
bool readIdentityRecord(FT_HANDLE handle, int32_t deviceKind, short* writtenId);

/// The record of kind `deviceKind` carrying `writtenId`, as it is stored.
void encodeIdentityRecord(int32_t deviceKind, short writtenId,
                          unsigned char (&bytes)[IDENTITY_RECORD_SIZE]);

#endif  // IDENTITY_RECORD_H
