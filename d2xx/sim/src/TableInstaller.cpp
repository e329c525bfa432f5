#include "TableInstaller.h"

#include <cstdio>
#include <cstdlib>
#include <string>

#include "ExitTraces.h"
#include "World.h"
#include "ftsim/DeviceSetup.h"
#include "ftsim/TableListParser.h"

namespace ftsim {

namespace {

DeviceSetup deviceFor(const TableSetup& table, std::size_t index) {
    // Serials tell the tables of one list apart, the first keeping the plain one.
    std::string serial = "VT" + std::to_string(1000 + table.row);
    if (index > 0)
        serial += "-" + std::to_string(index + 1);
    DeviceSetup setup;
    setup.description("FT245R USB FIFO")
        .serial(serial)
        .failOpen(table.failOpenStatus)
        .byteClock(table.byteClockMultiple);
    if (table.identified)
        setup.identity(std::int16_t(table.row));
    if (table.dcBoard) {
        setup.dcBoard(DcSetup().countNanoseconds(table.countNanoseconds));
    } else {
        setup.stepper(StepperSetup()
                          .stepsPerRevolution(table.stepsPerRevolution)
                          .enableActiveHigh(table.enableActiveHigh)
                          .clockwiseActiveHigh(table.clockwiseActiveHigh));
    }
    return setup;
}

}  // namespace

void TableInstaller::install(World& world, const std::vector<TableSetup>& tables) {
    for (std::size_t i = 0; i < tables.size(); ++i) {
        const TableSetup& table = tables[i];
        const int index = world.addDevice(deviceFor(table, i).config());
        SimDevice& device = *world.devices.back();
        world.trace.initialLines[index] = device.lines;
        device.callDelayNs = std::int64_t(table.usbLatencyMicroseconds) * 1000;
        if (!table.tracePath.empty()) {
            world.exitTraces.emplace_back(index, table.tracePath);
            ExitTraces::arm();
        }
    }
}

void TableInstaller::installFromEnvironment(World& world) {
    const char* value = std::getenv(VARIABLE);
    if (value == nullptr)
        return;
    const TableListParser::Result parsed = TableListParser::parse(value);
    if (!parsed.ok()) {
        std::fprintf(stderr, "ftsim: %s: %s; no simulated turntable is attached\n", VARIABLE,
                     parsed.error.c_str());
        return;
    }
    install(world, parsed.tables);
}

}  // namespace ftsim
