#include <cstdio>

#include "Commands.h"
#include "ExitCodes.h"
#include "MotionChecks.h"

namespace {

int runShutter(CommandContext& context) {
    const CommandContext::Opened opened = context.openOrFail();
    if (!context.plugin().shutterReleaseCameraHardware()) {
        throw MotionChecks::shutterNotReleased(opened);
    }
    std::printf("Shutter released on %s\n", opened.label.c_str());
    context.printBoardSummary();
    return EXIT_OK;
}

}  // namespace

void addShutterCommand(CLI::App& app, CommandSet& commands) {
    commands.add(app, "shutter", "Release the camera's shutter once", runShutter);
}
