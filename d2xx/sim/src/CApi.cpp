// The C interface for tools: it acts on the process-wide world.
#include "ftsim_c.h"

#include <algorithm>
#include <cstring>

#include "Locked.h"
#include "TableCatalogue.h"
#include "TableInstaller.h"
#include "ftsim/TableListParser.h"
#include "ftsim/DeviceSetup.h"
#include "ftsim/Trace.h"

using namespace ftsim;

namespace {
int addDevice(const DeviceSetup& setup) {
    return withWorld([&](World& w) {
        const int index = w.addDevice(setup.config());
        w.trace.initialLines[index] = w.devices.back()->lines;
        return index;
    });
}

DeviceSetup baseSetup(const char* description, const char* serial, int identityRow) {
    DeviceSetup setup;
    if (description)
        setup.description(description);
    if (serial)
        setup.serial(serial);
    if (identityRow >= 0)
        setup.identity(std::int16_t(identityRow));
    return setup;
}

template <typename T, typename F>
T onDevice(int device, T fallback, F f) {
    try {
        return observeDevice(device, [&](SimDevice& d, World&) { return f(d); });
    } catch (const std::exception&) {
        return fallback;
    }
}
}  // namespace

extern "C" {

int ftsim_is_simulator(void) {
    return 1;
}

int ftsim_reset(void) {
    std::lock_guard<std::mutex> lock(worldMutex());
    if (benchAlive())
        return -1;  // the C++ Bench owns the world
    replaceWorld();
    return 0;
}

int ftsim_configure(const char* tables, char* error, unsigned long errorSize) {
    const auto fail = [&](const std::string& why) {
        if (error != nullptr && errorSize > 0) {
            const std::size_t n = std::min<std::size_t>(why.size(), errorSize - 1);
            std::memcpy(error, why.data(), n);
            error[n] = '\0';
        }
        return -1;
    };
    const TableListParser::Result parsed = TableListParser::parse(tables ? tables : "");
    if (!parsed.ok())
        return fail(parsed.error);
    std::lock_guard<std::mutex> lock(worldMutex());
    if (benchAlive())
        return fail("the simulated bench is owned by a Bench");
    replaceWorld();
    TableInstaller::install(world(), parsed.tables);
    return int(parsed.tables.size());
}

int ftsim_add_stepper_device(const char* description, const char* serial, int identityRow,
                             unsigned stepsPerRevolution, int enableActiveHigh,
                             int clockwiseActiveHigh) {
    try {
        return addDevice(baseSetup(description, serial, identityRow)
                             .stepper(StepperSetup()
                                          .stepsPerRevolution(stepsPerRevolution)
                                          .enableActiveHigh(enableActiveHigh != 0)
                                          .clockwiseActiveHigh(clockwiseActiveHigh != 0)));
    } catch (const std::exception&) {
        return -1;
    }
}

int ftsim_add_dc_device(const char* description, const char* serial, int identityRow,
                        unsigned long long countNanoseconds) {
    try {
        return addDevice(baseSetup(description, serial, identityRow)
                             .dcBoard(DcSetup().countNanoseconds(std::int64_t(countNanoseconds))));
    } catch (const std::exception&) {
        return -1;
    }
}

int ftsim_fail_open(int device, unsigned status) {
    return onDevice(device, -1, [&](SimDevice& d) {
        d.openFault = StatusPlan{FT_STATUS(status), status == FT_OK ? 0u : kForever};
        return 0;
    });
}

int ftsim_set_call_delay_us(unsigned microseconds) {
    withWorld([&](World& w) { w.callDelayNs = std::int64_t(microseconds) * 1000; });
    return 0;
}

int ftsim_write_vcd(int device, const char* path) {
    if (!path)
        return -1;
    return Trace().writeVcd(path, device) ? 0 : -1;
}

long long ftsim_stepper_position(int device) {
    return onDevice(device, 0LL, [](SimDevice& d) {
        return d.kind == BoardKind::Stepper ? (long long)stepperOf(d).position : 0LL;
    });
}

unsigned long long ftsim_stepper_pulses(int device) {
    return onDevice(device, 0ULL, [](SimDevice& d) {
        return d.kind == BoardKind::Stepper ? (unsigned long long)stepperOf(d).counted : 0ULL;
    });
}

unsigned long long ftsim_stepper_lost(int device) {
    return onDevice(device, 0ULL, [](SimDevice& d) {
        if (d.kind != BoardKind::Stepper)
            return 0ULL;
        const StepperModel& s = stepperOf(d);
        return (unsigned long long)(s.lostDisabled + s.lostFast);
    });
}

unsigned ftsim_shots(int device) {
    return onDevice(device, 0u, [](SimDevice& d) {
        return d.kind == BoardKind::Stepper ? unsigned(stepperOf(d).shots.size()) : 0u;
    });
}

unsigned long long ftsim_dc_counts(int device) {
    return onDevice(device, 0ULL, [](SimDevice& d) {
        return d.kind == BoardKind::Dc ? (unsigned long long)dcOf(d).countsAt(now()) : 0ULL;
    });
}

int ftsim_board_kind(int device) {
    return onDevice(device, 0, [](SimDevice& d) {
        return d.kind == BoardKind::Stepper ? 1 : d.kind == BoardKind::Dc ? 2 : 0;
    });
}

unsigned ftsim_counts_per_revolution(int device) {
    return onDevice(device, 0u, [](SimDevice& d) {
        if (d.kind == BoardKind::Stepper)
            return d.config.stepper.getStepsPerRevolution();
        return d.kind == BoardKind::Dc ? TableCatalogue::dcCountsPerRevolution() : 0u;
    });
}

int ftsim_device_count(void) {
    return withWorld([](World& w) { return int(w.devices.size()); });
}

}  // extern "C"
