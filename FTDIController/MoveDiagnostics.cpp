#include "MoveDiagnostics.h"

namespace {

const char* directionName(FTDIController::ENUM_ROTATION_DIRECTION direction) {
    switch (direction) {
        case FTDIController::TT_TURN_CLOCKWISE:
            return "clockwise";
        case FTDIController::TT_TURN_COUNTER_CLOCKWISE:
            return "counter-clockwise";
        default:
            return "in no defined direction";
    }
}

}  // namespace

void MoveDiagnostics::writeStarted(unsigned int counts,
                                   FTDIController::ENUM_ROTATION_DIRECTION direction) {
    if (counts == 0) {
        DiagnosticLog::write(DiagnosticLog::Category::Move, DiagnosticLog::Level::Info,
                             "move started: continuous, %s", directionName(direction));
        return;
    }
    DiagnosticLog::write(DiagnosticLog::Category::Move, DiagnosticLog::Level::Info,
                         "move started: %u counts, %s", counts, directionName(direction));
}

void MoveDiagnostics::writeEnded(bool motionThrew, bool stopAsked, bool silent, double angle) {
    // A cancel or a close silences the move it stops; a plain stop does not.
    const char* how = motionThrew ? "its motion failed"
                      : silent    ? "cancelled, not reported"
                      : stopAsked ? "stopped"
                                  : "completed";
    DiagnosticLog::write(DiagnosticLog::Category::Move, DiagnosticLog::Level::Info,
                         "move ended: %s; at %.3f degrees", how, angle);
}
