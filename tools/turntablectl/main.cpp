// turntablectl: the reference host. It loads the turntable plug-in the way a
// host photography application does and drives it from the command line.

#include <cstdio>
#include <memory>
#include <string>

#include <CLI/CLI.hpp>

#include "CommandContext.h"
#include "CommandFailure.h"
#include "Commands.h"
#include "CommonOptions.h"
#include "ExitCodes.h"
#include "InterruptSignal.h"
#include "SpinCommand.h"

namespace {

const char* kExitCodes =
    "Exit status: 0 done, 1 failure (plug-in, move, shutter or EEPROM), 2 bad arguments,\n"
    "3 no turntable found, 4 the turntable could not be opened, 5 model row out of range,\n"
    "6 spin's on-shot command failed, 7 it timed out, 130 stopped by Ctrl-C.";

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
                   "or the expert row)");
    app.add_option("--counts-per-rev", o.counts,
                   "Counts per revolution to use instead of the model's preset");
    app.add_option("--speed", o.speed, "Stepper pulse high time in ms (0 is fastest)");

    const char* group =
        "Simulated turntable (when the plug-in runs on the simulator; without these options "
        "the tables FTSIM_DEVICES names, else an identified Cobalt Medium)";
    app.add_option("--sim-model", o.simModel,
                   "Catalogue row the simulated turntable is built as (default 3, Cobalt "
                   "Medium; 1 is the Classic DC table)")
        ->group(group);
    app.add_flag_callback(
           "--sim-unidentified", [&o] { o.sim.identified = false; },
           "The simulated turntable carries no identity record")
        ->group(group);
    app.add_flag_callback(
           "--sim-none", [&o] { o.sim.attached = false; }, "Attach no simulated turntable")
        ->group(group);
    app.add_option("--sim-counts", o.sim.countsPerRevolution,
                   "Steps a turn of the simulated stepper board (also used as counts per "
                   "revolution unless --counts-per-rev says otherwise; stepper tables only)")
        ->group(group);
    app.add_option("--sim-usb-latency", o.sim.usbLatencyMicroseconds,
                   "Microseconds every D2XX call takes, as on a real USB chip (about 1000)")
        ->group(group);
    app.add_option("--sim-count-time", o.sim.dcCountMilliseconds,
                   "Milliseconds per count of the simulated Classic's motor (default 20; "
                   "the Classic only)")
        ->group(group);
    app.add_option("--sim-fail-open", o.sim.failOpenStatus,
                   "Make opening fail with this D2XX status (e.g. 2, device not found)")
        ->group(group);
    app.add_option("--trace", o.tracePath,
                   "Write the port's pin history as a VCD file (PulseView, sigrok-cli, GTKWave)")
        ->group(group);
}

}  // namespace

int main(int argc, char** argv) {
    CLI::App app{
        "turntablectl: drives a Vorandel turntable through the plug-in, as a host "
        "application does. On the simulator it sets up a simulated turntable first."};
    app.footer(kExitCodes);
    app.fallthrough();
    app.require_subcommand(1);

    CommonOptions common;
    addCommonOptions(app, common);

    bool listJson = false;
    CLI::App* list = app.add_subcommand("list", "Discover the attached turntable");
    list->add_flag("--json", listJson, "Answer in JSON");

    SpinOptions spin;
    spin.commandLine.assign(argv, argv + argc);
    CLI::App* spinCommand = addSpinCommand(app, spin);

    RotateOptions rotate;
    CLI::App* rotateCommand = app.add_subcommand("rotate", "Turn once, or until Ctrl-C");
    CLI::Option* byCounts = rotateCommand->add_option(
        "--counts", rotate.counts, "Turn by this many counts (negative: the other way)");
    CLI::Option* byDegrees = rotateCommand->add_option(
        "--degrees", rotate.degrees, "Turn by this many degrees, rounded to whole counts");
    CLI::Option* toAngle = rotateCommand->add_option(
        "--to", rotate.toAngle,
        "Turn to this angle from the origin, clockwise if positive, counter-clockwise if negative");
    CLI::Option* continuous =
        rotateCommand->add_flag("--continuous", rotate.continuous, "Turn until Ctrl-C");
    CLI::Option* ccw =
        rotateCommand->add_flag("--ccw", rotate.counterclockwise, "Turn counter-clockwise");
    rotateCommand
        ->add_option("--for", rotate.forSeconds, "With --continuous: stop after this many seconds")
        ->needs(continuous);
    byCounts->excludes(byDegrees)->excludes(toAngle)->excludes(continuous);
    byDegrees->excludes(toAngle)->excludes(continuous);
    toAngle->excludes(continuous)->excludes(ccw);
    rotateCommand->callback([&] {
        if (!rotate.counts && !rotate.degrees && !rotate.toAngle && !rotate.continuous) {
            throw CLI::RequiredError("one of --counts, --degrees, --to, --continuous");
        }
    });

    CLI::App* shutter = app.add_subcommand("shutter", "Release the camera's shutter once");

    bool infoJson = false;
    CLI::App* info = app.add_subcommand("info", "Model and settings of the turntable");
    info->add_flag("--json", infoJson, "Answer in JSON");

    CLI::App* identity =
        app.add_subcommand("identity", "The model identity record in the turntable's EEPROM");
    identity->require_subcommand(1);
    CLI::App* identityRead = identity->add_subcommand("read", "Read the identity record");
    long long identityRow = 0;
    CLI::App* identityWrite =
        identity->add_subcommand("write", "Provision the turntable as catalogue row ROW");
    identityWrite->add_option("ROW", identityRow, "Catalogue row, 0 to 9")->required();

    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& e) {
        const int code = app.exit(e);
        return code == 0 ? EXIT_OK : EXIT_BAD_ARGUMENTS;
    }

    for (const char* name :
         {"--sim-model", "--sim-unidentified", "--sim-none", "--sim-counts", "--sim-usb-latency",
          "--sim-count-time", "--sim-fail-open"}) {
        common.simTableGiven = common.simTableGiven || app.get_option(name)->count() > 0;
    }
    common.simOptionsGiven = common.simTableGiven || app.get_option("--trace")->count() > 0;

    InterruptSignal::install();
    std::unique_ptr<CommandContext> context;
    int code = EXIT_OK;
    try {
        context = std::make_unique<CommandContext>(common);
        if (list->parsed()) {
            code = runList(*context, listJson);
        } else if (spinCommand->parsed()) {
            code = runSpin(*context, spin);
        } else if (rotateCommand->parsed()) {
            code = runRotate(*context, rotate);
        } else if (shutter->parsed()) {
            code = runShutter(*context);
        } else if (info->parsed()) {
            code = runInfo(*context, infoJson);
        } else if (identityRead->parsed()) {
            code = runIdentityRead(*context);
        } else if (identityWrite->parsed()) {
            code = runIdentityWrite(*context, identityRow);
        }
    } catch (const CommandFailure& failure) {
        std::fflush(stdout);
        std::string message = failure.what();
        if (message.empty() || message.back() != '\n') {
            message += '\n';
        }
        std::fprintf(stderr, "%s%s",
                     failure.code() == EXIT_NO_TURNTABLE ? "" : "turntablectl: ", message.c_str());
        code = failure.code();
    }
    if (context) {
        code = context->finish(code);
    }
    return code;
}
