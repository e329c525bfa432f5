#ifndef MOVE_DIAGNOSTICS_H
#define MOVE_DIAGNOSTICS_H

#include "DiagnosticLog.h"
#include "FTDIController.h"

/// The records of a move's life (move category, info level): its start with
/// the length and direction the motion was given, and its end with what
/// ended it, both written by the move's worker, so that the two lines carry
/// the same thread.
class MoveDiagnostics {
public:
    static void started(unsigned int counts, FTDIController::ENUM_ROTATION_DIRECTION direction) {
        if (DiagnosticLog::enabled(DiagnosticLog::Category::Move, DiagnosticLog::Level::Info))
            writeStarted(counts, direction);
    }

    /// `stopAsked` and `silent` are the move's own flags, read under the move
    /// lock; `angle` is the bookkept position after the move.
    static void ended(bool motionThrew, bool stopAsked, bool silent, double angle) {
        if (DiagnosticLog::enabled(DiagnosticLog::Category::Move, DiagnosticLog::Level::Info))
            writeEnded(motionThrew, stopAsked, silent, angle);
    }

private:
    static void writeStarted(unsigned int counts,
                             FTDIController::ENUM_ROTATION_DIRECTION direction);
    static void writeEnded(bool motionThrew, bool stopAsked, bool silent, double angle);
};

#endif  // MOVE_DIAGNOSTICS_H
