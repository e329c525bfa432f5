#ifndef TURNTABLECTL_SPIN_COMMAND_H
#define TURNTABLECTL_SPIN_COMMAND_H

#include <CLI/CLI.hpp>

#include "CommandContext.h"
#include "SpinOptions.h"

/// Adds `spin` and its options to `app`; they land in `options` once parsed.
CLI::App* addSpinCommand(CLI::App& app, SpinOptions& options);

/// `spin`: a host-driven stepped spin of one revolution, or its plan.
int runSpin(CommandContext& context, const SpinOptions& options);

#endif  // TURNTABLECTL_SPIN_COMMAND_H
