#include "D2xxDiagnostics.h"
#include "FTDIController.h"
#include "IdentityRecord.h"

// Every D2XX call here takes the port lock for itself alone, so that a move's
// step pulses are never held up for longer than one access.

bool FTDIController::readFromEEPROM(short* writtenId) {
    return readIdentityRecord([this](const DeviceCall& call) { return m_port.call(call); },
                              m_companyDeviceType, writtenId);
}

bool FTDIController::writeToEEPROM(short writtenId) {
    // Programming takes long: it may neither run under a move nor let one
    // start meanwhile.
    if (!beginExclusivePortWork())
        return TT_LOG_REFUSAL(Device, "EEPROM write refused");
    const bool written = writeRecord(writtenId);
    endExclusivePortWork();
    return written;
}

bool FTDIController::writeRecord(short writtenId) {
    unsigned char bytes[IDENTITY_RECORD_SIZE];
    encodeIdentityRecord(m_companyDeviceType, writtenId, bytes);

    // A second pass follows a reprogramming. Normally it finds both strings
    // empty and gives up; a device that did not take the emptied strings is
    // given up on too rather than reprogrammed again.
    for (bool reprogrammed = false;; reprogrammed = true) {
        DWORD userAreaSize = 0;
        if (m_port.call([&](FT_HANDLE handle) {
                return D2xxDiagnostics::checked("FT_EE_UASize",
                                                FT_EE_UASize(handle, &userAreaSize));
            }) != FT_OK)
            return false;
        if (userAreaSize >= IDENTITY_RECORD_SIZE)
            return m_port.call([&](FT_HANDLE handle) {
                       return D2xxDiagnostics::checked(
                           "FT_EE_UAWrite", FT_EE_UAWrite(handle, bytes, IDENTITY_RECORD_SIZE));
                   }) == FT_OK;

        // The strings share the EEPROM with the user area: emptying the serial
        // number and the manufacturer id frees room for the record.
        char manufacturer[32] = {};
        char manufacturerId[16] = {};
        char description[64] = {};
        char serialNumber[16] = {};
        FT_PROGRAM_DATA data = {};
        data.Signature1 = 0;
        data.Signature2 = 0xFFFFFFFF;
        data.Version = 5;
        data.Manufacturer = manufacturer;
        data.ManufacturerId = manufacturerId;
        data.Description = description;
        data.SerialNumber = serialNumber;
        if (m_port.call([&](FT_HANDLE handle) {
                return D2xxDiagnostics::checked("FT_EE_Read", FT_EE_Read(handle, &data));
            }) != FT_OK)
            return false;
        if (manufacturerId[0] == '\0' && serialNumber[0] == '\0')
            return false;
        if (reprogrammed)
            return false;

        char empty[1] = {'\0'};
        data.SerialNumber = empty;
        data.ManufacturerId = empty;
        if (m_port.call([&](FT_HANDLE handle) {
                return D2xxDiagnostics::checked("FT_EE_Program", FT_EE_Program(handle, &data));
            }) != FT_OK)
            return false;
    }
}
