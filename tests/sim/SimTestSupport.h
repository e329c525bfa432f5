// Small D2XX helpers shared by the bench's own tests.
#ifndef TESTS_SIM_SIMTESTSUPPORT_H
#define TESTS_SIM_SIMTESTSUPPORT_H

#include <cstdint>

#include "ftd2xx.h"
#include "ftsim/Time.h"

namespace simtest {

inline FT_HANDLE open(int index) {
    FT_HANDLE handle = nullptr;
    return FT_Open(index, &handle) == FT_OK ? handle : nullptr;
}

/// One purge-then-write of a single byte, as the device layer does it.
inline FT_STATUS writeByte(FT_HANDLE handle, std::uint8_t byte) {
    FT_Purge(handle, FT_PURGE_TX);
    DWORD written = 0;
    FT_STATUS status = FT_Write(handle, &byte, 1, &written);
    return status == FT_OK && written != 1 ? FT_STATUS(FT_OTHER_ERROR) : status;
}

/// One purge-then-read of a single sample.
inline std::uint8_t readByte(FT_HANDLE handle) {
    FT_Purge(handle, FT_PURGE_RX);
    std::uint8_t byte = 0;
    DWORD read = 0;
    FT_Read(handle, &byte, 1, &read);
    return byte;
}

inline void bitBang(FT_HANDLE handle, std::uint8_t mask) {
    FT_SetBitMode(handle, mask, FT_BITMODE_RESET);
    FT_SetBitMode(handle, mask, FT_BITMODE_ASYNC_BITBANG);
}

/// Spins until `ns` nanoseconds have passed on the monotonic clock.
inline void spinFor(std::int64_t ns) {
    const ftsim::TimeNs until = ftsim::now() + ns;
    while (ftsim::now() < until) {
    }
}

}  // namespace simtest

#endif  // TESTS_SIM_SIMTESTSUPPORT_H
