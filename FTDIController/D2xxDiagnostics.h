#ifndef D2XX_DIAGNOSTICS_H
#define D2XX_DIAGNOSTICS_H

#include "DiagnosticLog.h"
#include "ftd2xx.h"

/// Records of failed D2XX calls (device category, error level), so that a
/// status the device layer only turns into false, or ignores, is seen. Each
/// check is a comparison of the status and, only on a failure, the log's
/// enabled test.
class D2xxDiagnostics {
public:
    /// The status's name in the D2XX header ("FT_IO_ERROR"); "unknown
    /// status" for any other value.
    static const char* statusName(FT_STATUS status);

    /// Returns `status`; a failure is recorded as
    /// "<function> failed: <name> (status <n>)".
    static FT_STATUS checked(const char* function, FT_STATUS status) {
        if (status != FT_OK &&
            DiagnosticLog::enabled(DiagnosticLog::Category::Device, DiagnosticLog::Level::Error))
            writeFailure(function, status);
        return status;
    }

    /// A read or write that failed is recorded as "<function> failed: <name>
    /// (status <n>), <done> of <asked> bytes"; one that moved fewer bytes
    /// than asked as "<function> moved <done> of <asked> bytes (FT_OK)".
    static void checkTransfer(const char* function, FT_STATUS status, DWORD done, DWORD asked) {
        if ((status != FT_OK || done != asked) &&
            DiagnosticLog::enabled(DiagnosticLog::Category::Device, DiagnosticLog::Level::Error))
            writeTransferFailure(function, status, done, asked);
    }

private:
    static void writeFailure(const char* function, FT_STATUS status);
    static void writeTransferFailure(const char* function, FT_STATUS status, DWORD done,
                                     DWORD asked);
};

#endif  // D2XX_DIAGNOSTICS_H
