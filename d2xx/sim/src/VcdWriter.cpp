#include "VcdWriter.h"

#include <algorithm>
#include <sstream>

namespace ftsim {

std::string VcdWriter::text(TimeNs until) const {
    const TimeNs origin = m_trace.since;
    const std::uint8_t inMask = m_device.board->inputMask();

    // Output-line changes from the trace, input changes from the board model.
    struct Change {
        TimeNs time;
        bool input;
        std::uint8_t value;
    };
    std::vector<Change> changes;
    for (const TraceLog::LineChange& change : m_trace.lineChanges)
        if (change.device == m_device.index)
            changes.push_back(Change{change.time, false, change.lines});
    for (const auto& change : m_device.board->inputChanges(origin, until))
        changes.push_back(Change{change.first, true, change.second});
    std::stable_sort(changes.begin(), changes.end(),
                     [](const Change& a, const Change& b) { return a.time < b.time; });

    const auto found = m_trace.initialLines.find(m_device.index);
    std::uint8_t out = found != m_trace.initialLines.end() ? found->second : 0;
    std::uint8_t in = m_device.board->inputs(origin) & inMask;
    // Inputs the board reports at the origin: a run may already be under way.
    const auto level = [&] { return std::uint8_t((out & ~inMask) | (in & inMask)); };

    std::ostringstream vcd;
    vcd << "$date simulated FT245R bench $end\n"
        << "$version ftsim $end\n"
        << "$timescale 1 us $end\n"
        << "$scope module ft245r $end\n";
    for (int bit = 0; bit < 8; ++bit)
        vcd << "$var wire 1 " << char('!' + bit) << ' ' << m_device.board->pinName(bit)
            << " $end\n";
    vcd << "$upscope $end\n$enddefinitions $end\n";

    std::uint8_t shown = level();
    vcd << "#0\n$dumpvars\n";
    for (int bit = 0; bit < 8; ++bit)
        vcd << ((shown >> bit) & 1) << char('!' + bit) << '\n';
    vcd << "$end\n";

    long long lastStamp = 0;
    for (const Change& change : changes) {
        if (change.input)
            in = change.value;
        else
            out = change.value;
        const std::uint8_t next = level();
        if (next == shown)
            continue;
        long long stamp = std::max<long long>(0, (change.time - origin) / 1000);
        stamp = std::max(stamp, lastStamp + 1);
        vcd << '#' << stamp << '\n';
        for (int bit = 0; bit < 8; ++bit)
            if (((next ^ shown) >> bit) & 1)
                vcd << ((next >> bit) & 1) << char('!' + bit) << '\n';
        shown = next;
        lastStamp = stamp;
    }
    const long long end = std::max<long long>(lastStamp + 1, (until - origin) / 1000);
    vcd << '#' << end << '\n';
    return vcd.str();
}

}  // namespace ftsim
