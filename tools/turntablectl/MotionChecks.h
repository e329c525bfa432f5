#ifndef TURNTABLECTL_MOTION_CHECKS_H
#define TURNTABLECTL_MOTION_CHECKS_H

#include <string>

#include "CommandContext.h"
#include "CommandFailure.h"

/// Refusals that every command which drives the table makes the same way,
/// with the status and text a person sees.
namespace MotionChecks {

/// Moves by angle need counts per revolution; the expert row has none.
void requireCountsPerRevolution(const CommandContext::Opened& opened);
/// The Classic's counter board turns one way only.
void requireCounterclockwise(HostSession& session, const CommandContext::Opened& opened);
/// What a refused shutter release ends the command with: only the stepper
/// boards carry the camera lines.
CommandFailure shutterNotReleased(const CommandContext::Opened& opened);
/// Refuses, before anything turns, a shutter on a board without camera
/// lines: the DC board, which is also the one that turns one way only.
void requireCameraLines(HostSession& session, const CommandContext::Opened& opened);
/// Why a move that the plug-in gave up (MoveFailed: the board never showed
/// its end, or never started it) ended: `move` names the move ("the move",
/// "the move to shot 3").
std::string moveGivenUp(const std::string& move);
/// What to look at after such a move, as a sentence of its own.
std::string moveGivenUpAdvice();

}  // namespace MotionChecks

#endif  // TURNTABLECTL_MOTION_CHECKS_H
