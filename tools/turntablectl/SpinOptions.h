#ifndef TURNTABLECTL_SPIN_OPTIONS_H
#define TURNTABLECTL_SPIN_OPTIONS_H

#include <optional>
#include <string>

/// What `spin` was asked to do.
struct SpinOptions {
    unsigned shots = 24;
    std::optional<double> step;         ///< degrees per shot, instead of shots
    bool shutter = false;               ///< release the shutter at each stop
    unsigned settleMilliseconds = 300;  ///< wait after each stop before the shot
    bool counterclockwise = false;

    std::string onShot;               ///< shell command run at each stop; empty: none
    double onShotTimeoutSeconds = 0;  ///< 0: the command may take as long as it needs
    unsigned from = 1;                ///< first shot of the plan to take
    unsigned tableAt = 0;             ///< shot whose angle the table stands at (0: the start)
    bool dryRun = false;              ///< print the plan, turn nothing
    bool json = false;                ///< plan and events as JSON on standard output
};

#endif  // TURNTABLECTL_SPIN_OPTIONS_H
