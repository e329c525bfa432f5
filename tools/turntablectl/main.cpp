// turntablectl: the reference host. It loads the turntable plug-in the way a
// host photography application does and drives it from the command line.

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>

#include <CLI/CLI.hpp>

#include "CommandContext.h"
#include "CommandFailure.h"
#include "CommandSet.h"
#include "Commands.h"
#include "CommonOptions.h"
#include "ExitCodes.h"
#include "InterruptSignal.h"

namespace {

const char* kExitCodes =
    "Exit status: 0 done, 1 failure (plug-in, move, shutter or EEPROM), 2 bad arguments,\n"
    "3 no turntable found, 4 the turntable could not be opened, 5 model row out of range,\n"
    "6 spin's on-shot command failed, 7 it timed out, 130 stopped by Ctrl-C.";

// Runs the parsed command over the loaded plug-in; a failure is printed and
// becomes the exit status, and the turntable is closed on every way out.
int runParsed(const CommonOptions& common, const CommandSet::Run& run) {
    std::unique_ptr<CommandContext> context;
    int code = EXIT_OK;
    try {
        context = std::make_unique<CommandContext>(common);
        code = run ? run(*context) : EXIT_OK;
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

}  // namespace

int main(int argc, char** argv) {
    CLI::App app{
        "turntablectl: drives a Vorandel turntable through the plug-in, as a host "
        "application does. On the simulator it sets up a simulated turntable first."};
    app.footer(kExitCodes);
    app.fallthrough();
    app.require_subcommand(1);

    CommonOptions common;
    common.commandLine.assign(argv, argv + argc);
    addCommonOptions(app, common);

    CommandSet commands;
    addListCommand(app, commands);
    addSpinCommand(app, commands);
    addRotateCommand(app, commands);
    addShutterCommand(app, commands);
    addInfoCommand(app, commands);
    addIdentityCommand(app, commands);

    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& e) {
        const int code = app.exit(e);
        return code == 0 ? EXIT_OK : EXIT_BAD_ARGUMENTS;
    }
    noteSimulationOptions(app, common);

    // The plug-in reads its log settings once, from the environment of the
    // process that loads it.
    if (common.verbose && (setenv("VORANDEL_TURNTABLE_LOG", "debug", 1) != 0 ||
                           unsetenv("VORANDEL_TURNTABLE_LOG_FILE") != 0)) {
        std::perror("turntablectl: --verbose");
    }
    // The plug-in reads the pulse mode when a move starts.
    if (!common.pulses.empty() && setenv("VORANDEL_TURNTABLE_PULSES", common.pulses.c_str(), 1) != 0) {
        std::perror("turntablectl: --pulses");
    }

    InterruptSignal::install();
    return runParsed(common, commands.parsed());
}
