// The simulated FT245R bench: the world the D2XX functions see.
#ifndef FTSIM_BENCH_H
#define FTSIM_BENCH_H

#include <chrono>
#include <cstddef>
#include <memory>
#include "ftsim/Export.h"

#include "ftsim/BenchBuilder.h"
#include "ftsim/Device.h"
#include "ftsim/DeviceSetup.h"
#include "ftsim/Trace.h"

namespace ftsim {

/// The world behind the D2XX functions. Constructing a Bench installs a fresh
/// world (the one the C API built before is dropped); destroying it leaves an
/// empty one: open handles become invalid and devices vanish. Only one Bench
/// may live at a time; a second one aborts the program with a message.
/// Movable; a moved-from Bench owns nothing.
class FTSIM_API Bench {
public:
    /// An empty bench with no device attached.
    Bench();
    /// A bench with these devices, in list order.
    explicit Bench(const std::vector<DeviceSetup>& devices);
    ~Bench();
    Bench(Bench&& other) noexcept;
    Bench& operator=(Bench&& other) noexcept;
    Bench(const Bench&) = delete;
    Bench& operator=(const Bench&) = delete;

    /// Attaches one more device (the end of the list); returns its index.
    int addDevice(const DeviceSetup& setup);
    /// Device by bench index; throws std::out_of_range for an unknown index.
    Device& device(int index);
    std::size_t deviceCount() const;
    Trace& trace();
    void setTraceEnabled(bool enabled);

    /// Every D2XX call on a device takes at least this long (0: no delay).
    void setCallDelay(std::chrono::microseconds delay);
    /// Every FT_Write takes at least this long, on top of the call delay.
    void setWriteDelay(std::chrono::microseconds delay);
    /// When the bench began (times in the text trace and VCD count from here).
    TimeNs startTime() const;

private:
    struct Impl;
    std::unique_ptr<Impl> m_impl;
};

}  // namespace ftsim

#endif  // FTSIM_BENCH_H
