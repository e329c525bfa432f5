#ifndef TURNTABLECTL_ROTATE_OPTIONS_H
#define TURNTABLECTL_ROTATE_OPTIONS_H

#include <optional>

/// What `rotate` was asked to do: exactly one kind of move.
struct RotateOptions {
    std::optional<int> counts;
    std::optional<double> degrees;
    std::optional<double> toAngle;
    bool continuous = false;
    bool counterclockwise = false;
    double forSeconds = 0;  ///< continuous: stop after this long (0: until Ctrl-C)
};

#endif  // TURNTABLECTL_ROTATE_OPTIONS_H
