#include <unistd.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <thread>

#include "CommandFailure.h"
#include "Commands.h"
#include "InterruptSignal.h"
#include "ProgressDisplay.h"

namespace {

// Waits `milliseconds` for the turntable to settle, redrawing the progress;
// false when Ctrl-C came first.
bool settle(unsigned milliseconds, ProgressDisplay& progress) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds);
    while (std::chrono::steady_clock::now() < end) {
        if (InterruptSignal::raised()) {
            return false;
        }
        progress.tick();
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return !InterruptSignal::raised();
}

unsigned shotsOf(const SpinOptions& options) {
    if (!options.step) {
        return options.shots;
    }
    const double shots = 360.0 / *options.step;
    const double whole = std::round(shots);
    if (*options.step <= 0 || whole < 1 || std::fabs(shots - whole) > 1e-6) {
        throw CommandFailure(EXIT_BAD_ARGUMENTS, "--step must divide 360 degrees evenly");
    }
    return unsigned(whole);
}

}  // namespace

int runSpin(CommandContext& context, const SpinOptions& options) {
    const unsigned shots = shotsOf(options);
    if (shots == 0) {
        throw CommandFailure(EXIT_BAD_ARGUMENTS, "a spin takes at least one shot");
    }
    // The plug-in takes angles within 0.01 degrees of the origin as no move.
    if (360.0 / shots <= 0.02) {
        throw CommandFailure(EXIT_BAD_ARGUMENTS, "steps of 0.02 degrees or less are too fine");
    }
    TurntablePlugin& plugin = context.plugin();
    HxTurntableHardware& hardware = plugin.hardware();
    HostSession& session = context.session();

    const CommandContext::Opened opened = context.openOrFail();
    if (opened.counts == 0) {
        throw CommandFailure(EXIT_RUNTIME_FAILURE,
                             opened.label +
                                 " has no preset counts per revolution; name them "
                                 "with --counts");
    }
    // A step below one count would be prepared as 0 counts, which the
    // plug-in runs as a rotation without end.
    if (shots > opened.counts) {
        throw CommandFailure(EXIT_BAD_ARGUMENTS,
                             "a step of " + std::to_string(360.0 / shots) +
                                 " degrees is less than one count of this turntable (" +
                                 std::to_string(opened.counts) + " counts a turn)");
    }
    if (options.counterclockwise && !session.canMoveCounterclockwise()) {
        throw CommandFailure(EXIT_RUNTIME_FAILURE, opened.label + " turns clockwise only");
    }

    std::printf("Spinning %s: %u shots of %.2f deg%s, %u counts a turn\n", opened.label.c_str(),
                shots, 360.0 / shots, options.shutter ? " with shutter release" : "",
                opened.counts);
    std::fflush(stdout);

    const bool lockBefore = plugin.isLockMotorWhenIdle();
    ProgressDisplay progress(stdout, isatty(STDOUT_FILENO) == 1, shots);
    hardware.stepsSpinningWillStart();
    plugin.spinningWillStart();  // origin here; the motor holds between shots

    int code = EXIT_OK;
    unsigned taken = 0;
    for (unsigned shot = 1; shot <= shots && code == EXIT_OK; ++shot) {
        // Absolute targets from the origin: rounding of one step is made good
        // by the next, and the last target is exactly one turn.
        const float angle = shot == shots ? 360.0f : float(360.0 * shot / shots);
        const float target = options.counterclockwise ? -angle : angle;
        progress.moving(shot, target);

        const unsigned seen = session.stopReports();
        hardware.rotateDeviceToAngle(target);
        switch (session.waitForStopReport(seen, [&] { progress.tick(); })) {
            case HostSession::Wait::Stopped:
                break;
            case HostSession::Wait::Interrupted:
                code = EXIT_INTERRUPTED;
                continue;
            case HostSession::Wait::NotStarted:
            case HostSession::Wait::TimeUp:
                progress.finish();
                hardware.stopAngleRotation();
                throw CommandFailure(EXIT_RUNTIME_FAILURE,
                                     "the turntable did not turn towards "
                                     "shot " +
                                         std::to_string(shot));
        }
        if (!settle(options.settleMilliseconds, progress)) {
            code = EXIT_INTERRUPTED;
            continue;
        }
        if (options.shutter && !plugin.shutterReleaseCameraHardware()) {
            progress.finish();
            hardware.stopAngleRotation();
            throw CommandFailure(EXIT_RUNTIME_FAILURE,
                                 opened.label +
                                     " has no camera lines: the shutter cannot be "
                                     "released");
        }
        taken = shot;
        progress.shotTaken(shot, target, options.shutter);
    }
    progress.finish();

    if (code == EXIT_INTERRUPTED) {
        hardware.stopAngleRotation();
        std::printf("Interrupted: the turntable stopped after %u of %u shots (%.1f s)\n", taken,
                    shots, progress.elapsedSeconds());
    } else {
        hardware.stepsSpinningWillStop();
        std::printf("Spin done: %u shots over one turn in %.1f s\n", taken,
                    progress.elapsedSeconds());
    }
    // Leave the motor as the model keeps it when idle (most release it).
    plugin.SetLockMotorWhenIdle(lockBefore, true);
    const std::string board = context.boardSummary();
    if (!board.empty()) {
        std::printf("%s\n", board.c_str());
    }
    return code;
}
