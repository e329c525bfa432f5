#ifndef FTDI_ROTATION_PARAMETERS_H
#define FTDI_ROTATION_PARAMETERS_H

#include <cstdint>
#include <optional>

#include "FTDIController.h"

/// What the host prepares for the next move, and the bookkept position: plain
/// data with the arithmetic that turns increments and absolute targets into
/// counts and angles. Not thread-safe by itself: the controller reads and
/// writes it only under its state lock.
struct FTDIController::RotationParameters {
    ENUM_ROTATION_DIRECTION direction = TT_TURN_CLOCKWISE;
    unsigned int countsPerRevolution = 0;
    /// Length of the next move; 0: continuous.
    unsigned int countsToRotate = 0;
    /// Bookkept angle from the origin; a clockwise move lowers it.
    double currentAngle = 0.0;
    /// The angle the prepared move is computed to end at.
    double targetAngle = 0.0;
    /// An absolute target asked for while a move drove the port: turned into
    /// an increment once that move's end is booked.
    std::optional<double> pendingTarget;

    /// countsToRotate in degrees; 0.0 without counts per revolution.
    double incrementInDegrees() const;
    /// The target angle becomes fmod(angle, 360).
    void setTarget(double angle);
    /// False (nothing changed) without counts per revolution.
    bool setIncrementInCounts(int counts);
    double setIncrementInDegrees(double degrees);
    void setNextGlobalPosition(double degrees);
    /// Books the end of a move that started at `startAngle` in `direction`
    /// and turned `counts` counts of `countsPerRevolution` a turn.
    void bookMove(double startAngle, ENUM_ROTATION_DIRECTION direction, uint64_t counts,
                  unsigned int countsPerTurn);
};

#endif  // FTDI_ROTATION_PARAMETERS_H
