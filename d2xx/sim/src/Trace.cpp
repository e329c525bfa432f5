#include "ftsim/Trace.h"

#include <cstdio>
#include <sstream>

#include "Locked.h"
#include "VcdWriter.h"

namespace ftsim {

std::vector<std::string> Trace::calls() const {
    return calls(-2);
}

std::vector<std::string> Trace::calls(int device) const {
    return withWorld([&](World& w) {
        std::vector<std::string> names;
        for (const TraceLog::Record& record : w.trace.records)
            if (device == -2 || record.device == device)
                names.emplace_back(TraceLog::name(record.fn));
        return names;
    });
}

std::vector<Call> Trace::entries() const {
    return entries(-2);
}

std::vector<Call> Trace::entries(int device) const {
    return withWorld([&](World& w) {
        std::vector<Call> result;
        for (const TraceLog::Record& record : w.trace.records)
            if (device == -2 || record.device == device)
                result.push_back(w.trace.toCall(record));
        return result;
    });
}

std::size_t Trace::count(const std::string& function, int device) const {
    return withWorld([&](World& w) {
        std::size_t n = 0;
        for (const TraceLog::Record& record : w.trace.records)
            if ((device == -2 || record.device == device) && function == TraceLog::name(record.fn))
                ++n;
        return n;
    });
}

std::vector<PortWrite> Trace::portWrites(int device) const {
    return observeWorld([&](World& w) {
        std::vector<PortWrite> result;
        for (const TraceLog::PortByte& port : w.trace.portBytes)
            if (port.device == device)
                result.push_back(PortWrite{port.byte, port.time, port.driven});
        return result;
    });
}

std::vector<std::uint8_t> Trace::drivenBytes(int device) const {
    return observeWorld([&](World& w) {
        std::vector<std::uint8_t> result;
        for (const TraceLog::PortByte& port : w.trace.portBytes)
            if (port.device == device && port.driven)
                result.push_back(port.byte);
        return result;
    });
}

std::string Trace::toText() const {
    return withWorld([&](World& w) {
        std::ostringstream text;
        char line[160];
        for (const TraceLog::Record& record : w.trace.records) {
            std::snprintf(line, sizeof line, "%12.3f us  dev %2d  %-24s arg0=%-8u arg1=%-6u -> %u",
                          double(record.time - w.trace.since) / 1000.0, record.device,
                          TraceLog::name(record.fn), record.arg0, record.arg1, record.status);
            text << line;
            if (record.byteCount) {
                text << "  [";
                for (std::uint32_t i = 0; i < record.byteCount; ++i) {
                    std::snprintf(line, sizeof line, "%s%02X", i ? " " : "",
                                  w.trace.bytes[record.firstByte + i]);
                    text << line;
                }
                text << ']';
            }
            text << '\n';
        }
        return text.str();
    });
}

bool Trace::writeVcd(const std::string& path, int device) const {
    // Build the text under the lock, write the file outside it.
    std::string text;
    const bool known = observeWorld([&](World& w) {
        SimDevice* dev = w.deviceAt(device);
        if (!dev)
            return false;
        text = VcdWriter(w.trace, *dev).text(now());
        return true;
    });
    if (!known)
        return false;
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (!file)
        return false;
    const bool written = std::fwrite(text.data(), 1, text.size(), file) == text.size();
    return std::fclose(file) == 0 && written;
}

void Trace::clear() {
    withWorld([&](World& w) {
        std::map<int, std::uint8_t> lines;
        for (const auto& device : w.devices)
            lines[device->index] = device->lines;
        w.trace.clear(now(), lines);
    });
}

void Trace::setEnabled(bool enabled) {
    withWorld([&](World& w) { w.trace.enabled = enabled; });
}

bool Trace::enabled() const {
    return withWorld([&](World& w) { return w.trace.enabled; });
}

std::size_t Trace::size() const {
    return withWorld([&](World& w) { return w.trace.records.size(); });
}

}  // namespace ftsim
