#ifndef TURNTABLECTL_MOTION_CHECKS_H
#define TURNTABLECTL_MOTION_CHECKS_H

#include "CommandContext.h"

/// Refusals that every command which turns the table makes the same way:
/// each throws CommandFailure with the status and text a person sees.
namespace MotionChecks {

/// Moves by angle need counts per revolution; the expert row has none.
void requireCountsPerRevolution(const CommandContext::Opened& opened);
/// The Classic's counter board turns one way only.
void requireCounterclockwise(HostSession& session, const CommandContext::Opened& opened);

}  // namespace MotionChecks

#endif  // TURNTABLECTL_MOTION_CHECKS_H
