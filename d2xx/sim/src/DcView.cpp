#include "ftsim/DcView.h"

#include "Locked.h"

namespace ftsim {

namespace {
template <typename F>
auto onDc(int device, F f) {
    return observeDevice(device, [&](SimDevice& d, World&) { return f(dcOf(d)); });
}
}  // namespace

std::uint64_t DcView::countsTurned() const {
    return onDc(m_device, [](DcModel& dc) { return dc.countsAt(now()); });
}

std::uint64_t DcView::runsStarted() const {
    return onDc(m_device, [](DcModel& dc) { return std::uint64_t(dc.presets.size()); });
}

std::vector<std::uint8_t> DcView::runPresets() const {
    return onDc(m_device, [](DcModel& dc) { return dc.presets; });
}

std::vector<DcRun> DcView::runs() const {
    return onDc(m_device, [](DcModel& dc) { return dc.runs; });
}

std::uint64_t DcView::startEdges() const {
    return onDc(m_device, [](DcModel& dc) { return dc.startEdges; });
}

bool DcView::isTurning() const {
    return onDc(m_device, [](DcModel& dc) { return dc.turningAt(now()); });
}

std::uint8_t DcView::latchedPreset() const {
    return onDc(m_device, [](DcModel& dc) { return dc.latched; });
}

void DcView::setCountNanoseconds(std::int64_t ns) {
    onDc(m_device, [&](DcModel& dc) { dc.countNs = ns > 0 ? ns : 1; });
}

std::int64_t DcView::countNanoseconds() const {
    return onDc(m_device, [](DcModel& dc) { return dc.countNs; });
}

void DcView::setNeverStarts(bool never) {
    onDc(m_device, [&](DcModel& dc) { dc.neverStarts = never; });
}

}  // namespace ftsim
