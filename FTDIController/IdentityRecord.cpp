#include "IdentityRecord.h"

#include "D2xxDiagnostics.h"

namespace {

const uint16_t SIGNATURE = 62673;
const int16_t VERSION = 1;

uint16_t readLittleEndian(const unsigned char* bytes) {
    return static_cast<uint16_t>(bytes[0] | (bytes[1] << 8));
}

void writeLittleEndian(unsigned char* bytes, uint16_t value) {
    bytes[0] = static_cast<unsigned char>(value & 0xFF);
    bytes[1] = static_cast<unsigned char>(value >> 8);
}

}  // namespace

bool readIdentityRecord(const DeviceAccess& device, int32_t deviceKind, short* writtenId) {
    DWORD userAreaSize = 0;
    if (device([&](FT_HANDLE handle) {
            return D2xxDiagnostics::checked("FT_EE_UASize", FT_EE_UASize(handle, &userAreaSize));
        }) != FT_OK)
        return false;
    if (userAreaSize < IDENTITY_RECORD_SIZE)
        return false;

    unsigned char bytes[IDENTITY_RECORD_SIZE] = {};
    DWORD bytesRead = 0;
    const FT_STATUS status = device([&](FT_HANDLE handle) {
        return FT_EE_UARead(handle, bytes, IDENTITY_RECORD_SIZE, &bytesRead);
    });
    D2xxDiagnostics::checkTransfer("FT_EE_UARead", status, bytesRead, IDENTITY_RECORD_SIZE);
    if (status != FT_OK || bytesRead != IDENTITY_RECORD_SIZE)
        return false;

    if (readLittleEndian(bytes) != SIGNATURE)
        return false;
    if (static_cast<int32_t>(static_cast<int16_t>(readLittleEndian(bytes + 4))) != deviceKind)
        return false;

    if (writtenId)
        *writtenId = static_cast<int16_t>(readLittleEndian(bytes + 6));
    return true;
}

bool readIdentityRecord(FT_HANDLE handle, int32_t deviceKind, short* writtenId) {
    return readIdentityRecord([handle](const DeviceCall& call) { return call(handle); }, deviceKind,
                              writtenId);
}

void encodeIdentityRecord(int32_t deviceKind, short writtenId,
                          unsigned char (&bytes)[IDENTITY_RECORD_SIZE]) {
    writeLittleEndian(bytes, SIGNATURE);
    writeLittleEndian(bytes + 2, static_cast<uint16_t>(VERSION));
    writeLittleEndian(bytes + 4, static_cast<uint16_t>(static_cast<int16_t>(deviceKind)));
    writeLittleEndian(bytes + 6, static_cast<uint16_t>(writtenId));
}
