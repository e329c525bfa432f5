// Injected faults of the simulated chip.
#ifndef FTSIM_FAULT_H
#define FTSIM_FAULT_H

#include "ftd2xx.h"

namespace ftsim {

/// How an injected port fault ends an FT_Write or FT_Read: with a status other
/// than FT_OK, or with FT_OK and fewer bytes moved than asked for.
struct Fault {
    FT_STATUS status = FT_IO_ERROR;
    bool isShort = false;  ///< true: FT_OK is returned and only `count` bytes move
    DWORD count = 0;

    /// The call fails with `status` and moves nothing.
    static Fault withStatus(FT_STATUS status) { return Fault{status, false, 0}; }
    /// The call returns FT_OK but moves only `bytesMoved` bytes (0 is allowed).
    static Fault shortTransfer(DWORD bytesMoved) { return Fault{FT_OK, true, bytesMoved}; }
};

/// Number of calls meaning "every call from now on".
constexpr unsigned kForever = ~0u;

/// The EEPROM calls that can be made to fail one by one.
enum class EepromCall { UASize, UARead, UAWrite, Read, Program };

}  // namespace ftsim

#endif  // FTSIM_FAULT_H
