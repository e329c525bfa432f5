// turntablectl: the reference host. It loads the turntable plug-in the way a
// host photography application does and drives it from the command line.

#include <strings.h>

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
    // At most one; none is reported below, so that an unknown word is named
    // as such rather than as a missing command.
    app.require_subcommand(0, 1);
    app.set_version_flag("--version", std::string("turntablectl ") + TT_VERSION);

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
    if (app.get_subcommands().empty()) {
        std::fprintf(stderr,
                     "turntablectl: a command is required: list, spin, rotate, shutter, info or "
                     "identity\nRun with --help for more information.\n");
        return EXIT_BAD_ARGUMENTS;
    }
    noteSimulationOptions(app, common);
    if (const char* realtime = std::getenv("VORANDEL_TURNTABLE_REALTIME")) {
        // The plug-in takes any value but these four as "on": a typing
        // mistake would keep real-time scheduling on unnoticed.
        bool known = false;
        for (const char* word : {"0", "off", "no", "false", "1", "on", "yes", "true"}) {
            known = known || strcasecmp(realtime, word) == 0;
        }
        if (!known) {
            std::fprintf(stderr,
                         "turntablectl: VORANDEL_TURNTABLE_REALTIME=%s is not allowed: give 0, "
                         "off, no or false (real-time scheduling off), or 1, on, yes or true\n",
                         realtime);
            return EXIT_BAD_ARGUMENTS;
        }
    }

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
