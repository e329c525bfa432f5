// One simulated FTDI device: list record, EEPROM, chip port, faults and board.
#ifndef FTSIM_SRC_SIMDEVICE_H
#define FTSIM_SRC_SIMDEVICE_H

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "Board.h"
#include "ByteClock.h"
#include "TraceLog.h"
#include "ftd2xx.h"
#include "ftsim/DeviceConfig.h"
#include "ftsim/Fault.h"

namespace ftsim {

/// A port fault armed for some calls: `skip` calls pass, then `remaining` fail.
struct FaultPlan {
    Fault fault;
    unsigned skip = 0;
    unsigned remaining = 0;
    /// Consumes one call; true when this call is to fail.
    bool take();
};

/// A status fault armed for some calls.
struct StatusPlan {
    FT_STATUS status = FT_OK;
    unsigned remaining = 0;
    bool take();
};

/// State of one device, guarded by the bench lock.
class SimDevice {
public:
    SimDevice(int index, const DeviceConfig& config, TimeNs now);

    // Device list.
    const int index;
    DeviceConfig config;
    bool plugged = true;
    bool openHere = false;
    StatusPlan openFault;
    TimeNs unplugAt = -1;
    TimeNs unpluggedAt = -1;          ///< when it was last pulled out
    unsigned writesBeforeUnplug = 0;  ///< 0: not armed
    std::int64_t callDelayNs = 0;     ///< this device's USB cost per call, on top of the world's

    // Chip.
    ULONG baudRate = 9600;
    UCHAR latency = 16;
    UCHAR mode = FT_BITMODE_RESET;
    UCHAR mask = 0;
    ByteClock clock;                       ///< the transmit buffer and its byte clock
    std::uint8_t latch = 0;                ///< last byte put on the pins in bit-bang mode
    std::uint8_t lines = 0;                ///< levels the board sees on the chip-driven lines
    std::optional<std::uint8_t> rxOldest;  ///< oldest unread sample in the receive buffer
    FaultPlan writeFault;
    FaultPlan readFault;

    // EEPROM.
    std::string manufacturer;
    std::string manufacturerId;
    std::string description;
    std::string serial;
    std::vector<std::uint8_t> userArea;  ///< its size is the user-area size
    FT_PROGRAM_DATA image{};             ///< every field but the strings
    unsigned programs = 0;
    StatusPlan eepromFault[5];
    StatusPlan shortUaRead;  ///< `status` field unused; the count is in shortUaCount
    DWORD shortUaCount = 0;

    BoardKind kind;
    std::unique_ptr<Board> board;

    bool bitBang() const { return mode == FT_BITMODE_ASYNC_BITBANG; }
    /// The pins now: outputs as driven, inputs from the board.
    std::uint8_t pinsAt(TimeNs time);
    /// The chip drives `newLines` from `time` on (a write or a switch into bit-bang mode).
    void drive(std::uint8_t newLines, TimeNs time, TraceLog& trace);
    /// Puts on the pins every byte of the transmit buffer whose time has
    /// come by `time`, each at its own time.
    void advance(TimeNs time, TraceLog& trace);
    /// What FT_Open and a plug-in do to the chip: bit mode reset, defaults.
    void resetChip();
    void setIdentity(std::int16_t row, std::int16_t kind, std::int16_t version);
    void setUserArea(const std::vector<std::uint8_t>& bytes);
    /// Resizes the user area, keeping its first bytes.
    void resizeUserArea(DWORD size);

    /// Bytes the FT245R's EEPROM leaves for the user area with these strings.
    static DWORD userAreaSizeFor(const std::string& manufacturer, const std::string& manufacturerId,
                                 const std::string& description, const std::string& serial);
};

}  // namespace ftsim

#endif  // FTSIM_SRC_SIMDEVICE_H
