// Compact storage of the bench's trace.
#ifndef FTSIM_SRC_TRACELOG_H
#define FTSIM_SRC_TRACELOG_H

#include <cstdint>
#include <map>
#include <vector>

#include "ftd2xx.h"
#include "ftsim/Call.h"

namespace ftsim {

/// Every D2XX call, port byte and line change, kept small because a full turn
/// of a stepper table is some 80,000 calls. Guarded by the bench lock.
class TraceLog {
public:
    enum Fn : std::uint8_t {
        CreateDeviceInfoList,
        GetDeviceInfoList,
        Open,
        Close,
        SetBaudRate,
        SetLatencyTimer,
        EE_UASize,
        EE_UARead,
        EE_UAWrite,
        EE_Read,
        EE_Program,
        SetBitMode,
        GetBitMode,
        Purge,
        Write,
        Read,
    };
    static const char* name(std::uint8_t fn);

    struct Record {
        TimeNs time;
        std::uint32_t arg0;
        std::uint32_t arg1;
        std::uint32_t status;
        std::uint32_t firstByte;
        std::uint32_t byteCount;
        std::int16_t device;
        std::uint8_t fn;
    };
    struct PortByte {
        TimeNs time;
        std::int16_t device;
        std::uint8_t byte;
        bool driven;
    };
    struct LineChange {
        TimeNs time;
        std::int16_t device;
        std::uint8_t lines;
    };

    void call(Fn fn, int device, std::uint32_t arg0, std::uint32_t arg1, FT_STATUS status,
              TimeNs time, const std::uint8_t* bytes = nullptr, std::uint32_t count = 0);
    /// Changes the outcome of call record `index` made at `time`, if it is
    /// still kept (a write that a later unplug cut short).
    void amend(std::size_t index, TimeNs time, FT_STATUS status, std::uint32_t arg1);
    void portByte(int device, std::uint8_t byte, TimeNs time, bool driven);
    void lineChange(int device, TimeNs time, std::uint8_t lines);
    /// Forgets everything; `linesNow` gives each device's levels at `time`.
    void clear(TimeNs time, const std::map<int, std::uint8_t>& linesNow);

    Call toCall(const Record& record) const;

    bool enabled = true;
    TimeNs since = 0;  ///< start of the record
    std::map<int, std::uint8_t> initialLines;
    std::vector<Record> records;
    std::vector<std::uint8_t> bytes;
    std::vector<PortByte> portBytes;
    std::vector<LineChange> lineChanges;
};

}  // namespace ftsim

#endif  // FTSIM_SRC_TRACELOG_H
