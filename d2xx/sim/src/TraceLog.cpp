#include "TraceLog.h"

namespace ftsim {

const char* TraceLog::name(std::uint8_t fn) {
    static const char* const names[] = {
        "FT_CreateDeviceInfoList",
        "FT_GetDeviceInfoList",
        "FT_Open",
        "FT_Close",
        "FT_SetBaudRate",
        "FT_SetLatencyTimer",
        "FT_EE_UASize",
        "FT_EE_UARead",
        "FT_EE_UAWrite",
        "FT_EE_Read",
        "FT_EE_Program",
        "FT_SetBitMode",
        "FT_GetBitMode",
        "FT_Purge",
        "FT_Write",
        "FT_Read",
    };
    return fn < sizeof(names) / sizeof(names[0]) ? names[fn] : "?";
}

void TraceLog::call(Fn fn, int device, std::uint32_t arg0, std::uint32_t arg1, FT_STATUS status,
                    TimeNs time, const std::uint8_t* data, std::uint32_t count) {
    if (!enabled)
        return;
    Record record{time, arg0, arg1, status, std::uint32_t(bytes.size()), 0, std::int16_t(device),
                  fn};
    if (data && count) {
        bytes.insert(bytes.end(), data, data + count);
        record.byteCount = count;
    }
    records.push_back(record);
}

void TraceLog::amend(std::size_t index, TimeNs time, FT_STATUS status, std::uint32_t arg1) {
    if (index < records.size() && records[index].time == time) {
        records[index].status = status;
        records[index].arg1 = arg1;
    }
}

void TraceLog::portByte(int device, std::uint8_t byte, TimeNs time, bool driven) {
    if (enabled)
        portBytes.push_back(PortByte{time, std::int16_t(device), byte, driven});
}

void TraceLog::lineChange(int device, TimeNs time, std::uint8_t lines) {
    if (enabled)
        lineChanges.push_back(LineChange{time, std::int16_t(device), lines});
}

void TraceLog::clear(TimeNs time, const std::map<int, std::uint8_t>& linesNow) {
    since = time;
    initialLines = linesNow;
    records.clear();
    bytes.clear();
    portBytes.clear();
    lineChanges.clear();
}

Call TraceLog::toCall(const Record& record) const {
    Call call;
    call.function = name(record.fn);
    call.device = record.device;
    call.arg0 = record.arg0;
    call.arg1 = record.arg1;
    call.status = record.status;
    call.time = record.time;
    call.bytes.assign(bytes.begin() + record.firstByte,
                      bytes.begin() + record.firstByte + record.byteCount);
    return call;
}

}  // namespace ftsim
