#include "DcModel.h"

#include <algorithm>

#include "BoardPins.h"

namespace ftsim {

DcModel::DcModel(const DcSetup& setup, TimeNs builtAt)
    : countNs(std::max<std::int64_t>(1, setup.getCountNanoseconds())),
      neverStarts(setup.getNeverStarts()) {
    if (setup.getStartTurning())
        runs.push_back(DcRun{builtAt, -1, latched, true, 0});
}

int DcModel::runningAt(TimeNs time) const {
    if (runs.empty())
        return -1;
    const DcRun& last = runs.back();
    if (time >= last.start && (last.end < 0 || time < last.end))
        return int(runs.size()) - 1;
    return -1;
}

bool DcModel::turningAt(TimeNs time) const {
    return runningAt(time) >= 0;
}

std::uint64_t DcModel::countsAt(TimeNs time) const {
    std::uint64_t total = 0;
    for (const DcRun& run : runs) {
        if (time <= run.start)
            continue;
        const std::uint64_t done = std::uint64_t((time - run.start) / countNs);
        total += run.end < 0 ? done : std::min<std::uint64_t>(done, run.counts);
    }
    return total;
}

void DcModel::onLines(std::uint8_t before, std::uint8_t after, TimeNs time) {
    if (!(before & BoardPins::Dc::LOAD_COUNTERS) && (after & BoardPins::Dc::LOAD_COUNTERS))
        latched = after & BoardPins::Dc::COUNTER;

    // A continuous run ends at the end of the count in progress once a write
    // shows the mode line low.
    const int current = runningAt(time);
    if (current >= 0 && runs[current].end < 0 && !(after & BoardPins::Dc::MODE_SET)) {
        DcRun& run = runs[current];
        const std::int64_t counts = (time - run.start) / countNs + 1;
        run.counts = std::uint32_t(counts);
        run.end = run.start + counts * countNs;
    }

    if (!(before & BoardPins::Dc::START) && (after & BoardPins::Dc::START)) {
        ++startEdges;
        if (!neverStarts && !turningAt(time)) {
            DcRun run{time, -1, latched, bool(after & BoardPins::Dc::MODE_SET), 0};
            if (!run.continuous) {
                run.counts = latched == 15 ? 16u : 15u - latched;
                run.end = time + std::int64_t(run.counts) * countNs;
            }
            runs.push_back(run);
            presets.push_back(latched);
        }
    }
}

std::uint8_t DcModel::inputs(TimeNs time) {
    return turningAt(time) ? 0 : BoardPins::Dc::ROTATION_STATUS;
}

std::vector<std::pair<TimeNs, std::uint8_t>> DcModel::inputChanges(TimeNs from, TimeNs to) const {
    std::vector<std::pair<TimeNs, std::uint8_t>> changes;
    for (const DcRun& run : runs) {
        if (run.start >= from && run.start <= to)
            changes.emplace_back(run.start, 0);
        if (run.end >= 0 && run.end >= from && run.end <= to)
            changes.emplace_back(run.end, BoardPins::Dc::ROTATION_STATUS);
    }
    return changes;
}

const char* DcModel::pinName(int bit) const {
    static const char* const names[8] = {"preset0", "preset1", "preset2", "preset3",
                                         "status",  "start",   "mode",    "load"};
    return names[bit & 7];
}

}  // namespace ftsim
