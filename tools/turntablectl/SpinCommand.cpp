#include <unistd.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <memory>
#include <optional>
#include <thread>

#include <nlohmann/json.hpp>

#include "CommandFailure.h"
#include "Commands.h"
#include "InterruptSignal.h"
#include "MotionChecks.h"
#include "NumberRange.h"
#include "ResumeCommand.h"
#include "ShotCommand.h"
#include "SpinPlan.h"
#include "SpinReport.h"
#include "SpinOptions.h"

namespace {

std::string format(const char* pattern, double value) {
    char text[64];
    std::snprintf(text, sizeof text, pattern, value);
    return text;
}

// Waits `milliseconds` for the turntable to settle, redrawing the progress;
// false when Ctrl-C came first.
bool settle(unsigned milliseconds, SpinReport& report) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds);
    while (std::chrono::steady_clock::now() < end) {
        if (InterruptSignal::raised()) {
            return false;
        }
        report.tick();
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return !InterruptSignal::raised();
}

unsigned shotsOf(const SpinOptions& options) {
    if (!options.step) {
        return options.shots;
    }
    // --step lies above 0 and at most 360: at least one shot.
    const double shots = 360.0 / *options.step;
    const double whole = std::round(shots);
    if (std::fabs(shots - whole) > 1e-6) {
        throw CommandFailure(EXIT_BAD_ARGUMENTS, "--step must divide 360 degrees evenly");
    }
    return unsigned(whole);
}

std::string durationText(const std::optional<double>& seconds) {
    if (!seconds) {
        return "unknown (the DC motor keeps its own pace)";
    }
    return "at least " + (*seconds < 60 ? format("%.1f s", *seconds)
                                        : ProgressDisplay::formatDuration(*seconds));
}

int printPlan(const SpinPlan& plan, const CommandContext::Opened& opened,
              const SpinOptions& options, const std::optional<double>& seconds,
              const std::string& board) {
    const SpinPlan::Setup& setup = plan.setup();
    const char* direction = setup.counterclockwise ? "counter-clockwise" : "clockwise";
    if (options.json) {
        nlohmann::json shots = nlohmann::json::array();
        for (const SpinPlan::Shot& shot : plan.shots()) {
            shots.push_back({{"shot", shot.number}, {"angle", shot.angle}, {"counts", shot.counts}});
        }
        nlohmann::json answer = {{"model", opened.label},
                                 {"countsPerRevolution", setup.countsPerRevolution},
                                 {"direction", direction},
                                 {"planShots", setup.shots},
                                 {"from", setup.from},
                                 {"tableAt", setup.tableAt},
                                 {"settleMilliseconds", options.settleMilliseconds},
                                 {"shutter", options.shutter},
                                 {"totalCounts", plan.totalCounts()},
                                 {"expectedSeconds", nullptr},
                                 {"shots", shots}};
        if (!options.onShot.empty()) {
            answer["onShot"] = options.onShot;
        }
        if (seconds) {
            answer["expectedSeconds"] = *seconds;
        }
        std::printf("%s\n", answer.dump(2).c_str());
        return EXIT_OK;
    }
    std::printf("Plan for %s: %u shots of %.2f deg %s, %u counts a turn\n", opened.label.c_str(),
                setup.shots, 360.0 / setup.shots, direction, setup.countsPerRevolution);
    for (const SpinPlan::Shot& shot : plan.shots()) {
        std::printf("  shot %u/%u at %.2f deg: %ld counts\n", shot.number, setup.shots,
                    shot.angle, shot.counts);
    }
    std::printf("%zu shots, %ld counts, expected duration %s%s\n", plan.shots().size(),
                plan.totalCounts(), durationText(seconds).c_str(),
                options.onShot.empty() ? "" : " plus the on-shot command's");
    std::printf("Dry run: the turntable did not turn\n");
    if (!board.empty()) {
        std::printf("%s\n", board.c_str());
    }
    return EXIT_OK;
}

int runSpin(CommandContext& context, const SpinOptions& options) {
    const unsigned shots = shotsOf(options);
    // The plug-in takes angles within 0.01 degrees of the origin as no move.
    if (360.0 / shots <= 0.02) {
        throw CommandFailure(EXIT_BAD_ARGUMENTS, "steps of 0.02 degrees or less are too fine");
    }
    if (options.from > shots) {
        throw CommandFailure(EXIT_BAD_ARGUMENTS, "--from " + std::to_string(options.from) +
                                                     ": the plan has " + std::to_string(shots) +
                                                     " shots");
    }
    // Moves go one way only: a table beyond the first shot would have to turn back.
    if (options.tableAt > options.from) {
        throw CommandFailure(EXIT_BAD_ARGUMENTS, "--table-at cannot lie beyond --from");
    }
    TurntablePlugin& plugin = context.plugin();
    HxTurntableHardware& hardware = plugin.hardware();
    HostSession& session = context.session();

    const CommandContext::Opened opened = context.openOrFail();
    MotionChecks::requireCountsPerRevolution(opened);
    // A step below one count would be prepared as 0 counts, which the
    // plug-in runs as a rotation without end.
    if (shots > opened.counts) {
        throw CommandFailure(EXIT_BAD_ARGUMENTS,
                             "a step of " + std::to_string(360.0 / shots) +
                                 " degrees is less than one count of this turntable (" +
                                 std::to_string(opened.counts) + " counts a turn)");
    }
    if (options.counterclockwise) {
        MotionChecks::requireCounterclockwise(session, opened);
    }

    const SpinPlan plan(
        {shots, options.from, options.tableAt, opened.counts, options.counterclockwise});
    // Only a stepper board, the one that turns both ways, runs at a pace
    // the plug-in sets; the DC counter board runs at its motor's.
    const std::optional<double> expected =
        plan.expectedSeconds(!session.canMoveCounterclockwise(), plugin.rotationSpeed(),
                             options.settleMilliseconds, options.shutter);
    if (options.dryRun) {
        return printPlan(plan, opened, options, expected,
                         options.json ? std::string() : context.boardSummary());
    }

    SpinReport report(options.json, isatty(STDOUT_FILENO) == 1, shots);
    std::string header = "Spinning " + opened.label + ": " + std::to_string(shots) +
                         " shots of " + format("%.2f", 360.0 / shots) + " deg";
    header += options.shutter ? " with shutter release" : "";
    header += options.onShot.empty() ? "" : " and the on-shot command";
    header += ", " + std::to_string(opened.counts) + " counts a turn";
    if (options.from > 1) {
        header += ", from shot " + std::to_string(options.from);
    }
    report.say(header + ", expected " + durationText(expected));

    const ShotCommand command(options.onShot, options.onShotTimeoutSeconds, options.json);
    const bool lockBefore = plugin.isLockMotorWhenIdle();
    hardware.stepsSpinningWillStart();
    plugin.spinningWillStart();  // origin here; the motor holds between shots

    int code = EXIT_OK;
    std::string reason = "done";
    std::string failure;
    unsigned taken = 0;
    // The shot whose angle the table stands at, while it stands at one.
    bool atShot = true;
    unsigned standsAt = options.tableAt;
    double standsAtAngle = SpinPlan::angleOf(options.tableAt, shots);
    for (const SpinPlan::Shot& shot : plan.shots()) {
        report.moving(shot.number, shot.angle);
        if (shot.counts > 0) {
            atShot = false;
            const unsigned seen = session.stopReports();
            hardware.rotateDeviceToAngle(shot.target);
            const HostSession::Wait end = session.waitForStopReport(seen, [&] { report.tick(); });
            if (end == HostSession::Wait::Interrupted) {
                code = EXIT_INTERRUPTED;
                break;
            }
            if (end != HostSession::Wait::Stopped) {
                report.finish();
                hardware.stopAngleRotation();
                throw CommandFailure(EXIT_RUNTIME_FAILURE,
                                     "the turntable did not turn towards shot " +
                                         std::to_string(shot.number));
            }
        }
        atShot = true;
        standsAt = shot.number;
        standsAtAngle = shot.angle;
        report.moved(shot.number, shot.angle, shot.counts);
        if (!settle(options.settleMilliseconds, report)) {
            code = EXIT_INTERRUPTED;
            break;
        }
        report.settled(shot.number, shot.angle, options.settleMilliseconds);
        if (options.shutter && !plugin.shutterReleaseCameraHardware()) {
            report.finish();
            hardware.stopAngleRotation();
            throw MotionChecks::shutterNotReleased(opened);
        }
        if (!options.onShot.empty()) {
            report.commandStarting();
            const ShotCommand::Result result =
                command.run({{"TURNTABLECTL_SHOT", std::to_string(shot.number)},
                             {"TURNTABLECTL_SHOTS", std::to_string(shots)},
                             {"TURNTABLECTL_ANGLE", format("%.2f", shot.angle)},
                             {"TURNTABLECTL_MODEL", opened.label}});
            if (result.outcome == ShotCommand::Outcome::Interrupted) {
                code = EXIT_INTERRUPTED;
                break;
            }
            if (result.outcome != ShotCommand::Outcome::Succeeded) {
                report.commandFailed(shot.number, shot.angle, result,
                                     options.onShotTimeoutSeconds);
                const bool timedOut = result.outcome == ShotCommand::Outcome::TimedOut;
                code = timedOut ? EXIT_SHOT_COMMAND_TIMED_OUT : EXIT_SHOT_COMMAND_FAILED;
                reason = timedOut ? "command-timed-out" : "command-failed";
                failure = "the on-shot command " +
                          SpinReport::describe(result, options.onShotTimeoutSeconds) +
                          " at shot " + std::to_string(shot.number) + " of " +
                          std::to_string(shots);
                break;
            }
        }
        ++taken;
        report.shotTaken(shot.number, shot.angle, options.shutter, !options.onShot.empty());
    }
    report.finish();

    // The plug-in's own ends of a host spin: stopAngleRotation stops a move
    // still under way; stepsSpinningWillStop prepares, without starting, the
    // way back to the origin.
    std::string resume;
    if (code == EXIT_OK) {
        hardware.stepsSpinningWillStop();
        report.say(options.from == 1
                       ? "Spin done: " + std::to_string(taken) + " shots over one turn in " +
                             format("%.1f", report.elapsedSeconds()) + " s"
                       : "Spin done: shots " + std::to_string(options.from) + " to " +
                             std::to_string(shots) + " in " +
                             format("%.1f", report.elapsedSeconds()) + " s");
    } else {
        hardware.stopAngleRotation();
        if (code == EXIT_INTERRUPTED) {
            reason = "interrupted";
        }
        std::string where = "between two shots";
        if (atShot) {
            resume = resumeCommand(context.options().commandLine, standsAt);
            where = "at shot " + std::to_string(standsAt) + " (" + format("%.2f", standsAtAngle) +
                    " deg from the start)";
        }
        const std::string stop = "the turntable stopped after " + std::to_string(taken) +
                                 " of " + std::to_string(plan.shots().size()) + " shots (" +
                                 format("%.1f", report.elapsedSeconds()) + " s) and rests " +
                                 where;
        const std::string hint = resume.empty() ? "" : "\nResume with: " + resume;
        if (code == EXIT_INTERRUPTED) {
            report.say("Interrupted: " + stop + hint);
        } else {
            report.warn(failure + ": " + stop + hint);
        }
    }
    report.ended(reason, taken, resume);
    // Leave the motor as the model keeps it when idle (most release it).
    plugin.SetLockMotorWhenIdle(lockBefore, true);
    const std::string board = context.boardSummary();
    if (!board.empty()) {
        report.say(board);
    }
    return code;
}

}  // namespace

void addSpinCommand(CLI::App& app, CommandSet& commands) {
    const auto held = std::make_shared<SpinOptions>();
    SpinOptions& options = *held;
    CLI::App* spin =
        commands.add(app, "spin", "Stepped spin of one revolution, stopping for each shot",
                     [held](CommandContext& context) { return runSpin(context, *held); });
    CLI::Option* shots = spin->add_option("--shots", options.shots, "Shots in the turn")
                             ->check(NumberRange::wholeFrom<unsigned>(1));
    spin->add_option("--step", options.step, "Degrees between shots (divides 360)")
        ->excludes(shots)
        ->check(NumberRange::above(0, 360));
    spin->add_flag("--shutter", options.shutter, "Release the camera's shutter at each stop");
    spin->add_option("--settle", options.settleMilliseconds,
                     "Milliseconds to wait after each stop before the shot")
        ->check(NumberRange::wholeFrom<unsigned>(0))
        ->capture_default_str();
    spin->add_flag("--ccw", options.counterclockwise, "Turn counter-clockwise");
    CLI::Option* onShot =
        spin->add_option("--on-shot", options.onShot,
                         "Shell command run at each stop (after the shutter pulse with "
                         "--shutter), with TURNTABLECTL_SHOT, _SHOTS, _ANGLE and _MODEL set; "
                         "the spin goes on when it exits 0 and stops otherwise");
    spin->add_option("--on-shot-timeout", options.onShotTimeoutSeconds,
                     "Seconds the on-shot command may take before it is ended (default: no limit)")
        ->check(NumberRange::above(0))
        ->needs(onShot);
    CLI::Option* from =
        spin->add_option("--from", options.from,
                         "Start at this shot of the plan, turning to its angle first")
            ->check(NumberRange::wholeFrom<unsigned>(1));
    spin->add_option("--table-at", options.tableAt,
                     "With --from: the shot whose angle the table stands at (0, the default: the "
                     "start of the plan), as a stopped session reports it")
        ->check(NumberRange::wholeFrom<unsigned>(0))
        ->needs(from);
    spin->add_flag("--dry-run", options.dryRun,
                   "Print the plan (shots, angles, counts, expected duration) and turn nothing");
    spin->add_flag("--json", options.json,
                   "The plan, or one event a line while spinning, as JSON on standard output");
}
