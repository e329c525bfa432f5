#ifndef TURNTABLECTL_COMMANDS_H
#define TURNTABLECTL_COMMANDS_H

#include <CLI/CLI.hpp>

#include "CommandContext.h"
#include "CommandSet.h"

// One function per command, in the command's own file: each adds the command
// and its options to `app`, and the function that runs it to `commands`.

/// `list`: what discovery answers.
void addListCommand(CLI::App& app, CommandSet& commands);
/// `spin`: a host-driven stepped spin of one revolution, or its plan.
void addSpinCommand(CLI::App& app, CommandSet& commands);
/// `rotate`: one move by counts, by degrees, to an angle, or continuously.
void addRotateCommand(CLI::App& app, CommandSet& commands);
/// `shutter`: one focus and shutter release.
void addShutterCommand(CLI::App& app, CommandSet& commands);
/// `info`: model and settings of the opened turntable.
void addInfoCommand(CLI::App& app, CommandSet& commands);
/// `identity read` and `identity write ROW`: the model identity record.
void addIdentityCommand(CLI::App& app, CommandSet& commands);

#endif  // TURNTABLECTL_COMMANDS_H
