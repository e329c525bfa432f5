#include <cstdio>

#include "CommandFailure.h"
#include "Commands.h"
#include "ExitCodes.h"

int runShutter(CommandContext& context) {
    const CommandContext::Opened opened = context.openOrFail();
    if (!context.plugin().shutterReleaseCameraHardware()) {
        throw CommandFailure(EXIT_RUNTIME_FAILURE,
                             opened.label + " has no camera lines: the shutter cannot be released");
    }
    std::printf("Shutter released on %s\n", opened.label.c_str());
    const std::string board = context.boardSummary();
    if (!board.empty()) {
        std::printf("%s\n", board.c_str());
    }
    return EXIT_OK;
}
