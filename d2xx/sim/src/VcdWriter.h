// Value Change Dump of one device's pins.
#ifndef FTSIM_SRC_VCDWRITER_H
#define FTSIM_SRC_VCDWRITER_H

#include <string>

#include "SimDevice.h"
#include "TraceLog.h"

namespace ftsim {

/// Writes the eight pins of a device as seen by its board, from the start of
/// the trace until `until`, with a 1 µs timescale. Changes that fall into the
/// same microsecond are pushed one microsecond apart so that no edge vanishes.
class VcdWriter {
public:
    VcdWriter(const TraceLog& trace, SimDevice& device) : m_trace(trace), m_device(device) {}
    std::string text(TimeNs until) const;

private:
    const TraceLog& m_trace;
    SimDevice& m_device;
};

}  // namespace ftsim

#endif  // FTSIM_SRC_VCDWRITER_H
