#include <cmath>
#include <cstdio>
#include <memory>
#include <optional>

#include <nlohmann/json.hpp>

#include "CommandFailure.h"
#include "Commands.h"
#include "MotionChecks.h"
#include "NumberRange.h"
#include "SpinOptions.h"
#include "SpinPlan.h"
#include "SpinSession.h"
#include "Wording.h"

namespace {

// The plug-in takes angles within 0.01 degrees of the origin as no move.
constexpr double kFinestStepDegrees = 0.02;

unsigned shotsOf(const SpinOptions& options) {
    if (!options.step) {
        return options.shots;
    }
    if (*options.step <= kFinestStepDegrees) {
        throw CommandFailure(EXIT_BAD_ARGUMENTS,
                             "--step " + Wording::number(*options.step) +
                                 ": steps of 0.02 degrees or less are too fine");
    }
    const double shots = 360.0 / *options.step;
    const double whole = std::round(shots);
    if (std::fabs(shots - whole) > 1e-6) {
        throw CommandFailure(EXIT_BAD_ARGUMENTS, "--step " + Wording::number(*options.step) +
                                                     ": the step must divide 360 degrees evenly");
    }
    return unsigned(whole);
}

int printPlan(const SpinPlan& plan, const CommandContext::Opened& opened,
              const SpinOptions& options, const std::optional<double>& seconds,
              const std::string& board) {
    const SpinPlan::Setup& setup = plan.setup();
    const char* direction = setup.counterclockwise ? "counter-clockwise" : "clockwise";
    if (options.json) {
        nlohmann::json shots = nlohmann::json::array();
        for (const SpinPlan::Shot& shot : plan.shots()) {
            shots.push_back(
                {{"shot", shot.number}, {"angle", shot.angle}, {"counts", shot.counts}});
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
    std::printf("Plan for %s: %s of %.2f deg %s, %s a turn\n", opened.label.c_str(),
                Wording::counted(setup.shots, "shot").c_str(), 360.0 / setup.shots, direction,
                Wording::counted(setup.countsPerRevolution, "count").c_str());
    for (const SpinPlan::Shot& shot : plan.shots()) {
        std::printf("  shot %u/%u at %.2f deg: %s\n", shot.number, setup.shots, shot.angle,
                    Wording::counted(shot.counts, "count").c_str());
    }
    std::printf("%s, %s, expected duration %s%s\n",
                Wording::counted(plan.shots().size(), "shot").c_str(),
                Wording::counted(plan.totalCounts(), "count").c_str(),
                Wording::expectedDuration(seconds).c_str(),
                options.onShot.empty() ? "" : " plus the on-shot command's");
    std::printf("Dry run: the turntable did not turn\n");
    if (!board.empty()) {
        std::printf("%s\n", board.c_str());
    }
    return EXIT_OK;
}

// The plan's own checks, before the turntable is opened.
unsigned checkedShots(const SpinOptions& options) {
    const unsigned shots = shotsOf(options);
    if (360.0 / shots <= kFinestStepDegrees) {
        throw CommandFailure(
            EXIT_BAD_ARGUMENTS,
            "--shots " + std::to_string(shots) + ": steps of 0.02 degrees or less are too fine");
    }
    if (options.from > shots) {
        throw CommandFailure(EXIT_BAD_ARGUMENTS, "--from " + std::to_string(options.from) +
                                                     ": the plan has " +
                                                     Wording::counted(shots, "shot"));
    }
    // Moves go one way only: a table beyond the first shot would have to turn back.
    if (options.tableAt > options.from) {
        throw CommandFailure(EXIT_BAD_ARGUMENTS, "--table-at " + std::to_string(options.tableAt) +
                                                     " cannot lie beyond --from " +
                                                     std::to_string(options.from));
    }
    return shots;
}

// What the opened turntable must offer for the plan.
void checkTurntable(CommandContext& context, const CommandContext::Opened& opened,
                    const SpinOptions& options, unsigned shots) {
    MotionChecks::requireCountsPerRevolution(opened);
    // A step below one count would be prepared as 0 counts, which the
    // plug-in runs as a rotation without end.
    if (shots > opened.counts) {
        throw CommandFailure(EXIT_BAD_ARGUMENTS,
                             "a step of " + Wording::number(360.0 / shots) +
                                 " degrees is less than one count of this turntable (" +
                                 Wording::counted(opened.counts, "count") + " a turn)");
    }
    if (options.counterclockwise) {
        MotionChecks::requireCounterclockwise(context.session(), opened);
    }
    if (options.shutter) {
        MotionChecks::requireCameraLines(context.session(), opened);
    }
}

int runSpin(CommandContext& context, const SpinOptions& options) {
    const unsigned shots = checkedShots(options);
    const CommandContext::Opened opened = context.openOrFail();
    checkTurntable(context, opened, options, shots);

    const SpinPlan plan(
        {shots, options.from, options.tableAt, opened.counts, options.counterclockwise});
    // Only a stepper board, the one that turns both ways, runs at a pace
    // the plug-in sets; the DC counter board runs at its motor's.
    const std::optional<double> expected = plan.expectedSeconds(
        !context.session().canMoveCounterclockwise(), context.plugin().rotationSpeed(),
        options.settleMilliseconds, options.shutter);
    if (options.dryRun) {
        return printPlan(plan, opened, options, expected,
                         options.json ? std::string() : context.boardSummary());
    }
    return SpinSession(context, options, plan, opened, expected).run();
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
                         "the spin goes on when it exits 0 and stops otherwise")
            ->check(NumberRange::nonEmpty("a shell command"));
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
