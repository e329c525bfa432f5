// One recorded D2XX call.
#ifndef FTSIM_CALL_H
#define FTSIM_CALL_H

#include <cstdint>
#include <string>
#include <vector>

#include "ftd2xx.h"
#include "ftsim/Time.h"

namespace ftsim {

/// A D2XX call as the bench saw it. The meaning of arg0/arg1 depends on the
/// function:
///   FT_CreateDeviceInfoList  arg0 count reported
///   FT_GetDeviceInfoList     arg0 records written
///   FT_Open                  arg0 list index asked for
///   FT_SetBaudRate           arg0 baud rate
///   FT_SetLatencyTimer       arg0 latency (ms)
///   FT_SetBitMode            arg0 direction mask, arg1 mode
///   FT_GetBitMode            arg0 pins reported
///   FT_Purge                 arg0 purge mask
///   FT_Write / FT_Read       arg0 bytes asked for, arg1 bytes moved, bytes: the data moved
///   FT_EE_UASize             arg0 size reported
///   FT_EE_UARead             arg0 bytes asked for, arg1 bytes read, bytes: the data
///   FT_EE_UAWrite            arg0 bytes given, bytes: the data
/// `device` is the bench index of the device the handle belongs to, -1 for
/// calls without a device (list calls, unknown handles, failed opens by index
/// out of range).
struct Call {
    std::string function;  ///< e.g. "FT_Write"
    int device = -1;
    std::uint32_t arg0 = 0;
    std::uint32_t arg1 = 0;
    FT_STATUS status = FT_OK;
    TimeNs time = 0;  ///< when the call reached the chip
    std::vector<std::uint8_t> bytes;

    std::uint32_t mask() const { return arg0; }
    std::uint32_t mode() const { return arg1; }
    std::uint32_t baud() const { return arg0; }
    std::uint32_t latency() const { return arg0; }
    std::uint32_t openIndex() const { return arg0; }
    std::uint32_t requested() const { return arg0; }
    std::uint32_t moved() const { return arg1; }
};

/// One byte that reached the data port through FT_Write.
struct PortWrite {
    std::uint8_t byte = 0;
    TimeNs time = 0;
    bool driven = false;  ///< false: the chip was not in asynchronous bit-bang mode
};

}  // namespace ftsim

#endif  // FTSIM_CALL_H
