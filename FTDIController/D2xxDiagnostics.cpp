#include "D2xxDiagnostics.h"

namespace {

// In the order of their values, FT_OK first.
const char* const STATUS_NAMES[] = {
    "FT_OK",
    "FT_INVALID_HANDLE",
    "FT_DEVICE_NOT_FOUND",
    "FT_DEVICE_NOT_OPENED",
    "FT_IO_ERROR",
    "FT_INSUFFICIENT_RESOURCES",
    "FT_INVALID_PARAMETER",
    "FT_INVALID_BAUD_RATE",
    "FT_DEVICE_NOT_OPENED_FOR_ERASE",
    "FT_DEVICE_NOT_OPENED_FOR_WRITE",
    "FT_FAILED_TO_WRITE_DEVICE",
    "FT_EEPROM_READ_FAILED",
    "FT_EEPROM_WRITE_FAILED",
    "FT_EEPROM_ERASE_FAILED",
    "FT_EEPROM_NOT_PRESENT",
    "FT_EEPROM_NOT_PROGRAMMED",
    "FT_INVALID_ARGS",
    "FT_NOT_SUPPORTED",
    "FT_OTHER_ERROR",
    "FT_DEVICE_LIST_NOT_READY",
};

static_assert(sizeof(STATUS_NAMES) / sizeof(STATUS_NAMES[0]) == FT_DEVICE_LIST_NOT_READY + 1,
              "one name per status of the D2XX header");

}  // namespace

const char* D2xxDiagnostics::statusName(FT_STATUS status) {
    if (status < sizeof(STATUS_NAMES) / sizeof(STATUS_NAMES[0]))
        return STATUS_NAMES[status];
    return "unknown status";
}

void D2xxDiagnostics::writeFailure(const char* function, FT_STATUS status) {
    DiagnosticLog::write(DiagnosticLog::Category::Device, DiagnosticLog::Level::Error,
                         "%s failed: %s (status %lu)", function, statusName(status),
                         static_cast<unsigned long>(status));
}

void D2xxDiagnostics::writeTransferFailure(const char* function, FT_STATUS status, DWORD done,
                                           DWORD asked) {
    if (status == FT_OK) {
        DiagnosticLog::write(DiagnosticLog::Category::Device, DiagnosticLog::Level::Error,
                             "%s moved %lu of %lu bytes (FT_OK)", function,
                             static_cast<unsigned long>(done), static_cast<unsigned long>(asked));
        return;
    }
    DiagnosticLog::write(DiagnosticLog::Category::Device, DiagnosticLog::Level::Error,
                         "%s failed: %s (status %lu), %lu of %lu bytes", function,
                         statusName(status), static_cast<unsigned long>(status),
                         static_cast<unsigned long>(done), static_cast<unsigned long>(asked));
}
