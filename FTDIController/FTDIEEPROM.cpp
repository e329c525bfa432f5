#include "D2xxDiagnostics.h"
#include "FTDIController.h"

namespace {

const DWORD RECORD_SIZE = 8;

uint16_t readLittleEndian(const unsigned char* bytes) {
    return static_cast<uint16_t>(bytes[0] | (bytes[1] << 8));
}

void writeLittleEndian(unsigned char* bytes, uint16_t value) {
    bytes[0] = static_cast<unsigned char>(value & 0xFF);
    bytes[1] = static_cast<unsigned char>(value >> 8);
}

}  // namespace

// Every D2XX call here takes the port lock for itself alone, so that a move's
// step pulses are never held up for longer than one access.

bool FTDIController::readFromEEPROM(short* writtenId) {
    return readRecord(writtenId);
}

bool FTDIController::readRecord(short* writtenId) {
    DWORD userAreaSize = 0;
    {
        std::lock_guard<std::mutex> lock(m_portMutex);
        if (D2xxDiagnostics::checked("FT_EE_UASize", FT_EE_UASize(m_ftdiHandle, &userAreaSize)) !=
            FT_OK)
            return false;
    }
    if (userAreaSize < RECORD_SIZE)
        return false;

    unsigned char bytes[RECORD_SIZE] = {};
    DWORD bytesRead = 0;
    {
        std::lock_guard<std::mutex> lock(m_portMutex);
        const FT_STATUS status = FT_EE_UARead(m_ftdiHandle, bytes, RECORD_SIZE, &bytesRead);
        D2xxDiagnostics::checkTransfer("FT_EE_UARead", status, bytesRead, RECORD_SIZE);
        if (status != FT_OK || bytesRead != RECORD_SIZE)
            return false;
    }

    EEPROMData record;
    record.signature = readLittleEndian(bytes);
    record.version = static_cast<int16_t>(readLittleEndian(bytes + 2));
    record.companyDeviceType = static_cast<int16_t>(readLittleEndian(bytes + 4));
    record.writtenId = static_cast<int16_t>(readLittleEndian(bytes + 6));

    if (record.signature != EEPROM_SIGNATURE)
        return false;
    if (static_cast<int32_t>(record.companyDeviceType) != static_cast<int32_t>(m_companyDeviceType))
        return false;

    if (writtenId)
        *writtenId = record.writtenId;
    return true;
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

    EEPROMData record;
    record.signature = EEPROM_SIGNATURE;
    record.version = EEPROM_VERSION;
    record.companyDeviceType = static_cast<int16_t>(m_companyDeviceType);
    record.writtenId = writtenId;

    unsigned char bytes[RECORD_SIZE];
    writeLittleEndian(bytes, record.signature);
    writeLittleEndian(bytes + 2, static_cast<uint16_t>(record.version));
    writeLittleEndian(bytes + 4, static_cast<uint16_t>(record.companyDeviceType));
    writeLittleEndian(bytes + 6, static_cast<uint16_t>(record.writtenId));

    // A second pass follows a reprogramming. Normally it finds both strings
    // empty and gives up; a device that did not take the emptied strings is
    // given up on too rather than reprogrammed again.
    for (bool reprogrammed = false;; reprogrammed = true) {
        DWORD userAreaSize = 0;
        {
            std::lock_guard<std::mutex> lock(m_portMutex);
            if (D2xxDiagnostics::checked("FT_EE_UASize",
                                         FT_EE_UASize(m_ftdiHandle, &userAreaSize)) != FT_OK)
                return false;
        }
        if (userAreaSize >= RECORD_SIZE) {
            std::lock_guard<std::mutex> lock(m_portMutex);
            return D2xxDiagnostics::checked(
                       "FT_EE_UAWrite", FT_EE_UAWrite(m_ftdiHandle, bytes, RECORD_SIZE)) == FT_OK;
        }

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
        {
            std::lock_guard<std::mutex> lock(m_portMutex);
            if (D2xxDiagnostics::checked("FT_EE_Read", FT_EE_Read(m_ftdiHandle, &data)) != FT_OK)
                return false;
        }
        if (manufacturerId[0] == '\0' && serialNumber[0] == '\0')
            return false;
        if (reprogrammed)
            return false;

        char empty[1] = {'\0'};
        data.SerialNumber = empty;
        data.ManufacturerId = empty;
        {
            std::lock_guard<std::mutex> lock(m_portMutex);
            if (D2xxDiagnostics::checked("FT_EE_Program", FT_EE_Program(m_ftdiHandle, &data)) !=
                FT_OK)
                return false;
        }
    }
}
