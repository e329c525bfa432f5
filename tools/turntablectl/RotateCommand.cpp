#include <climits>
#include <cmath>
#include <cstdio>
#include <memory>
#include <string>

#include "CommandFailure.h"
#include "Commands.h"
#include "ExitCodes.h"
#include "MotionChecks.h"
#include "NumberRange.h"
#include "RotateOptions.h"
#include "Wording.h"

namespace {

const char* directionName(bool clockwise) {
    return clockwise ? "clockwise" : "counter-clockwise";
}

// Counts the plug-in prepares for a move to `angle` from the origin, where a
// freshly opened turntable stands: the angle within one turn (a whole turn for
// a multiple of 360), rounded to counts with halves up, as the plug-in does.
long countsToAngle(double angle, unsigned countsPerRevolution) {
    double degrees = std::fmod(std::fabs(double(float(angle))), 360.0);
    if (degrees == 0.0) {
        degrees = 360.0;
    }
    return long(0.5 + degrees / (360.0 / countsPerRevolution));
}

// The plug-in runs a move of 0 counts as a rotation without end.
CommandFailure belowHalfACount() {
    return CommandFailure(EXIT_BAD_ARGUMENTS,
                          "the angle is less than half a count of this turntable");
}

int runRotate(CommandContext& context, const RotateOptions& options) {
    // A freshly opened turntable stands at its origin and turns to an angle
    // within one turn of it: a larger one would end where a smaller one does.
    if (options.toAngle && !(std::fabs(*options.toAngle) <= 360.0)) {
        throw CommandFailure(EXIT_BAD_ARGUMENTS,
                             "--to " + Wording::number(*options.toAngle) +
                                 ": give an angle from -360 to 360 degrees (the table turns "
                                 "at most one turn from its origin; --degrees turns further)");
    }
    // 0 counts would be taken as "turn until stopped".
    if (options.counts && *options.counts == 0) {
        throw CommandFailure(EXIT_BAD_ARGUMENTS,
                             "--counts 0 is no move; --continuous turns until Ctrl-C");
    }
    TurntablePlugin& plugin = context.plugin();
    HostSession& session = context.session();
    const CommandContext::Opened opened = context.openOrFail();

    const bool wantsCounterclockwise =
        options.counterclockwise || (options.counts && *options.counts < 0) ||
        (options.degrees && *options.degrees < 0) || (options.toAngle && *options.toAngle < 0);
    if (wantsCounterclockwise) {
        MotionChecks::requireCounterclockwise(session, opened);
    }
    if (!options.continuous) {
        MotionChecks::requireCountsPerRevolution(opened);
    }

    std::string what;
    if (options.toAngle) {
        // The host's angle interface: the sign picks the direction.
        if (std::fabs(*options.toAngle) <= 0.01) {
            std::printf("Nothing to do: %.2f deg is the origin\n", *options.toAngle);
            return EXIT_OK;
        }
        const long counts = countsToAngle(*options.toAngle, opened.counts);
        if (counts == 0) {
            throw belowHalfACount();
        }
        context.plugin().hardware().rotateDeviceToAngle(float(*options.toAngle));
        // The angle the table reaches, in whole counts, which may differ
        // from the one typed by up to half a count.
        const bool wholeTurn = counts >= long(opened.counts);
        const double reached = std::copysign(counts * 360.0 / opened.counts, *options.toAngle);
        char text[120];
        std::snprintf(text, sizeof text, "to %.2f deg (%s%s)", reached,
                      wholeTurn ? "one whole turn, " : "",
                      Wording::counted(counts, "count").c_str());
        what = text;
    } else {
        // A negative amount flips the direction set here (the plug-in's rule).
        if (options.counterclockwise) {
            plugin.SetRotationCounterClockwise();
        } else {
            plugin.SetRotationClockwise();
        }
        if (options.counts) {
            const int counts = plugin.SetRotationIncrementInCounts(*options.counts);
            what = "by " + Wording::counted((unsigned long long)counts, "count");
        } else if (options.degrees) {
            // The plug-in keeps the count of a move in 32 bits.
            if (std::fabs(*options.degrees) / 360.0 * opened.counts >= double(INT_MAX)) {
                throw CommandFailure(EXIT_BAD_ARGUMENTS,
                                     "--degrees: the angle is too large for one move (at most " +
                                         std::to_string(INT_MAX - 1) + " counts)");
            }
            const double degrees = plugin.SetRotationIncrementInDegrees(*options.degrees);
            if (degrees == 0.0) {
                throw belowHalfACount();
            }
            const long counts = std::lround(degrees * opened.counts / 360.0);
            char text[80];
            std::snprintf(text, sizeof text, "by %.4f deg (%s)", degrees,
                          Wording::counted(counts < 0 ? -counts : counts, "count").c_str());
            what = text;
        } else {
            plugin.SetRotationIncrementInCounts(0);  // 0 counts: turn until stopped
            what = "continuously";
        }
        if (!plugin.startRotation()) {
            throw CommandFailure(EXIT_RUNTIME_FAILURE, "the turntable did not start turning");
        }
    }
    const bool clockwise = plugin.isRotationClockwise();
    std::printf("Rotating %s %s %s%s\n", opened.label.c_str(), directionName(clockwise),
                what.c_str(),
                options.continuous && options.forSeconds <= 0 ? " (Ctrl-C stops)" : "");
    std::fflush(stdout);

    const HostSession::Wait end =
        session.waitWhileRotating(options.continuous ? options.forSeconds : 0, [] {});
    if (end != HostSession::Wait::Stopped) {
        plugin.stopRotation();  // returns once the worker has ended the move
    }
    // The plug-in ends a move whose board never shows its end (within its
    // run watch) and tells so only through the move's outcome.
    if (plugin.lastMoveOutcome() == HxVorandelTurntableControl::MoveFailed) {
        std::fflush(stdout);
        context.printBoardSummary();
        throw CommandFailure(EXIT_RUNTIME_FAILURE, MotionChecks::moveGivenUp("the move") + ".\n" +
                                                       MotionChecks::moveGivenUpAdvice());
    }
    if (end == HostSession::Wait::Interrupted) {
        std::fflush(stdout);
        std::fprintf(stderr, "Interrupted: the turntable stopped\n");
    } else {
        std::printf("Done\n");
    }
    context.printBoardSummary();
    return end == HostSession::Wait::Interrupted ? EXIT_INTERRUPTED : EXIT_OK;
}

}  // namespace

void addRotateCommand(CLI::App& app, CommandSet& commands) {
    const auto options = std::make_shared<RotateOptions>();
    CLI::App* rotate =
        commands.add(app, "rotate", "Turn once, or until Ctrl-C",
                     [options](CommandContext& context) { return runRotate(context, *options); });
    CLI::Option* byCounts = rotate
                                ->add_option("--counts", options->counts,
                                             "Turn by this many counts (negative: the other way)")
                                ->check(NumberRange::anyWhole<int>());
    CLI::Option* byDegrees = rotate
                                 ->add_option("--degrees", options->degrees,
                                              "Turn by this many degrees, rounded to whole counts")
                                 ->check(NumberRange::finite());
    CLI::Option* toAngle =
        rotate
            ->add_option("--to", options->toAngle,
                         "Turn to this angle from the origin, clockwise if positive, "
                         "counter-clockwise if negative")
            ->check(NumberRange::finite());
    CLI::Option* continuous =
        rotate->add_flag("--continuous", options->continuous, "Turn until Ctrl-C");
    CLI::Option* ccw =
        rotate->add_flag("--ccw", options->counterclockwise, "Turn counter-clockwise");
    rotate
        ->add_option("--for", options->forSeconds,
                     "With --continuous: stop after this many seconds")
        ->check(NumberRange::above(0))
        ->needs(continuous);
    byCounts->excludes(byDegrees)->excludes(toAngle)->excludes(continuous);
    byDegrees->excludes(toAngle)->excludes(continuous);
    toAngle->excludes(continuous)->excludes(ccw);
    rotate->callback([options] {
        if (!options->counts && !options->degrees && !options->toAngle && !options->continuous) {
            throw CLI::RequiredError("one of --counts, --degrees, --to, --continuous");
        }
    });
}
