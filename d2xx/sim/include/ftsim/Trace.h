// The record of everything the D2XX functions did on the bench.
#ifndef FTSIM_TRACE_H
#define FTSIM_TRACE_H

#include <cstddef>
#include <string>
#include <vector>
#include "ftsim/Export.h"

#include "ftsim/Call.h"

namespace ftsim {

/// View of the bench's trace: every D2XX call in order and every port byte
/// with its time. Copies are taken under the bench lock, so reading it while
/// other threads call D2XX is safe.
class FTSIM_API Trace {
public:
    /// Names of all calls in order ("FT_Open", "FT_SetBaudRate", ...).
    std::vector<std::string> calls() const;
    /// Names of the calls on one device (bench index), in order.
    std::vector<std::string> calls(int device) const;
    /// Full records of all calls, in order.
    std::vector<Call> entries() const;
    /// Full records of the calls on one device, in order.
    std::vector<Call> entries(int device) const;
    /// Number of calls of `function` (on `device`, or on any when -2).
    std::size_t count(const std::string& function, int device = -2) const;
    /// Bytes written to a device's port, one entry per byte, in order.
    std::vector<PortWrite> portWrites(int device) const;
    /// Driven output levels of a device's port after each write (driven bytes only).
    std::vector<std::uint8_t> drivenBytes(int device) const;
    /// One line per call: time (µs since the bench began), device, function, arguments, status.
    std::string toText() const;
    /// Writes a Value Change Dump of the device's eight pins, named by the
    /// board's line roles, timescale 1 µs. Returns false when the file cannot be written.
    bool writeVcd(const std::string& path, int device) const;
    /// Forgets every recorded call and port byte (pin histories restart from the present levels).
    void clear();
    /// Turns recording on or off (on by default). Boards and counters keep working.
    void setEnabled(bool enabled);
    bool enabled() const;
    std::size_t size() const;
};

}  // namespace ftsim

#endif  // FTSIM_TRACE_H
