#ifndef TURNTABLECTL_COMMANDS_H
#define TURNTABLECTL_COMMANDS_H

#include <optional>

#include "CommandContext.h"

// One function per command; each returns the exit status (ExitCodes.h) or
// throws CommandFailure.

/// `list`: what discovery answers. (`spin` registers and runs itself: SpinCommand.h.)
int runList(CommandContext& context, bool json);

struct RotateOptions {
    std::optional<int> counts;
    std::optional<double> degrees;
    std::optional<double> toAngle;
    bool continuous = false;
    bool counterclockwise = false;
    double forSeconds = 0;  ///< continuous: stop after this long (0: until Ctrl-C)
};
/// `rotate`: one move by counts, by degrees, to an angle, or continuously.
int runRotate(CommandContext& context, const RotateOptions& options);

/// `shutter`: one focus and shutter release.
int runShutter(CommandContext& context);

/// `info`: model and settings of the opened turntable.
int runInfo(CommandContext& context, bool json);

/// `identity read` and `identity write ROW`.
int runIdentityRead(CommandContext& context);
int runIdentityWrite(CommandContext& context, long long row);

#endif  // TURNTABLECTL_COMMANDS_H
