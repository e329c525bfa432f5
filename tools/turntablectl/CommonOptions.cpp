#include "CommonOptions.h"

#include "NumberRange.h"
#include "ftsim_c.h"

namespace {

const char* const kSimulationGroup =
    "Simulated turntable (when the plug-in runs on the simulator; without these options "
    "the tables FTSIM_DEVICES names, else an identified table of row 3)";

// The options that describe the simulated table, standing for FTSIM_DEVICES.
const char* const kSimulatedTableOptions[] = {
    "--sim-model",     "--sim-unidentified", "--sim-none",     "--sim-counts",
    "--sim-usb-latency", "--sim-byte-clock", "--sim-count-time", "--sim-fail-open"};

}  // namespace

void addCommonOptions(CLI::App& app, CommonOptions& o) {
    app.add_option("--plugin", o.pluginPath,
                   "Plug-in library to load (default: the installed one beside this program, "
                   "else the one of its build tree)");
    app.add_option("--d2xx", o.d2xxPath,
                   "D2XX library (libftd2xx.so) to load before the plug-in: 'libftdi1' (real "
                   "turntables over libftdi1), 'simulator', or the path of one, e.g. the "
                   "vendor's");
    app.add_option("--model", o.model,
                   "Catalogue row to open the turntable as (default 0: the identified model, "
                   "or the expert row)")
        ->check(NumberRange::row());
    CLI::Option* table =
        app.add_option("--table", o.table,
                       "With several turntables attached: use the one at this position of "
                       "`list` (default: the first identified one)")
            ->check(NumberRange::whole(0, 1000));
    app.add_option("--serial", o.serial,
                   "With several turntables attached: use the one with this serial number "
                   "(as `list` shows it)")
        ->excludes(table)
        ->check(NumberRange::nonEmpty("a serial number"));
    app.add_option("--counts-per-rev", o.counts,
                   "Counts per revolution to use instead of the model's preset")
        ->check(NumberRange::wholeFrom<unsigned>(0));
    app.add_option("--speed", o.speed, "Stepper pulse high time in ms (0 is fastest)")
        ->check(NumberRange::wholeFrom<unsigned>(0));
    app.add_option("--pulses", o.pulses,
                   "How the stepper's step pulses are timed for this run: 'paced' (by the "
                   "plug-in's worker, one USB write per edge; the default) or 'clocked' (by the "
                   "chip's crystal: the asked speed on real tables); sets "
                   "VORANDEL_TURNTABLE_PULSES")
        ->check(CLI::IsMember({"clocked", "paced"}));
    app.add_flag("--verbose", o.verbose,
                 "Write the plug-in's diagnostic log (debug level) to standard error; "
                 "VORANDEL_TURNTABLE_LOG chooses levels and a file instead");

    app.add_option("--sim-model", o.simModel,
                   "Catalogue row the simulated turntable is built as (default 3; the rows are "
                   "the ones `list --sim-unidentified` names)")
        ->check(NumberRange::row())
        ->group(kSimulationGroup);
    app.add_flag_callback(
           "--sim-unidentified", [&o] { o.sim.identified = false; },
           "The simulated turntable carries no identity record")
        ->group(kSimulationGroup);
    app.add_flag_callback(
           "--sim-none", [&o] { o.sim.attached = false; }, "Attach no simulated turntable")
        ->group(kSimulationGroup);
    app.add_option("--sim-counts", o.sim.countsPerRevolution,
                   "Steps a turn of the simulated stepper board (also used as counts per "
                   "revolution unless --counts-per-rev says otherwise; stepper tables only)")
        ->check(NumberRange::whole(0, FTSIM_MAX_COUNTS))
        ->group(kSimulationGroup);
    app.add_option("--sim-usb-latency", o.sim.usbLatencyMicroseconds,
                   "Microseconds every D2XX call takes, as on a real USB chip (about 1000)")
        ->check(NumberRange::whole(0, FTSIM_MAX_USB_LATENCY_US))
        ->group(kSimulationGroup);
    app.add_option("--sim-byte-clock", o.sim.byteClockMultiple,
                   "Bytes a second per baud the simulated chip clocks out in bit-bang mode "
                   "(default 16, the published figure; 4 mimics a chip that departs from it)")
        ->check(NumberRange::whole(1, FTSIM_MAX_BYTE_CLOCK))
        ->group(kSimulationGroup);
    app.add_option("--sim-count-time", o.sim.dcCountMilliseconds,
                   "Milliseconds per count of a simulated DC counter table's motor (default "
                   "20; DC tables only)")
        ->check(NumberRange::whole(1, FTSIM_MAX_COUNT_TIME_MS))
        ->group(kSimulationGroup);
    app.add_option("--sim-fail-open", o.sim.failOpenStatus,
                   "Make opening fail with this D2XX status (e.g. 2, device not found)")
        ->check(NumberRange::whole(0, FTSIM_MAX_FAIL_OPEN_STATUS))
        ->group(kSimulationGroup);
    app.add_option("--trace", o.tracePath,
                   "Write the port's pin history as a VCD file (PulseView, sigrok-cli, GTKWave)")
        ->check(NumberRange::nonEmpty("a file name"))
        ->group(kSimulationGroup);
    // No table leaves nothing for the options that describe one.
    CLI::Option* none = app.get_option("--sim-none");
    for (const char* name : kSimulatedTableOptions) {
        if (app.get_option(name) != none) {
            none->excludes(app.get_option(name));
        }
    }
}

void noteSimulationOptions(const CLI::App& app, CommonOptions& o) {
    for (const char* name : kSimulatedTableOptions) {
        o.simTableGiven = o.simTableGiven || app.get_option(name)->count() > 0;
    }
    o.simOptionsGiven = o.simTableGiven || app.get_option("--trace")->count() > 0;
}
