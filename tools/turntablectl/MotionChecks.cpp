#include "MotionChecks.h"

#include "CommandFailure.h"

namespace MotionChecks {

void requireCountsPerRevolution(const CommandContext::Opened& opened) {
    if (opened.counts == 0) {
        throw CommandFailure(EXIT_RUNTIME_FAILURE,
                             opened.label +
                                 " has no preset counts per revolution; name them "
                                 "with --counts-per-rev");
    }
}

void requireCounterclockwise(HostSession& session, const CommandContext::Opened& opened) {
    if (!session.canMoveCounterclockwise()) {
        throw CommandFailure(EXIT_RUNTIME_FAILURE, opened.label + " turns clockwise only");
    }
}

CommandFailure shutterNotReleased(const CommandContext::Opened& opened) {
    return CommandFailure(EXIT_RUNTIME_FAILURE,
                          opened.label + " has no camera lines: the shutter cannot be released");
}

void requireCameraLines(HostSession& session, const CommandContext::Opened& opened) {
    if (!session.canMoveCounterclockwise()) {
        throw shutterNotReleased(opened);
    }
}

std::string moveGivenUp(const std::string& move) {
    return move + " ended without the board's report of its end: the plug-in gave it up";
}

std::string moveGivenUpAdvice() {
    // Mostly a board of another kind than the model opened: a stepper board
    // driven as the Classic never shows a counted run's end.
    return "Is --model right for this turntable? `turntablectl info` tells what it identifies as.";
}

}  // namespace MotionChecks
