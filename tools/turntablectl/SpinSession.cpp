#include "SpinSession.h"

#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <thread>

#include "ExitCodes.h"
#include "InterruptSignal.h"
#include "MotionChecks.h"
#include "ResumeCommand.h"
#include "Wording.h"

namespace {

using Clock = std::chrono::steady_clock;
constexpr auto kPoll = std::chrono::milliseconds(10);
// The worker clears its running flag just before it reports; a second is
// far more than that gap, even on a loaded machine under a sanitizer.
constexpr auto kReportGrace = std::chrono::seconds(1);

}  // namespace

SpinSession::SpinSession(CommandContext& context, const SpinOptions& options, const SpinPlan& plan,
                         const CommandContext::Opened& opened,
                         const std::optional<double>& expected)
    : m_context(context),
      m_options(options),
      m_plan(plan),
      m_opened(opened),
      m_expected(expected),
      m_shots(plan.setup().shots),
      m_report(options.json, isatty(STDOUT_FILENO) == 1, plan.setup().shots, options.from,
               expected),
      m_command(options.onShot, options.onShotTimeoutSeconds, options.json) {
    m_rest.shot = options.tableAt;
    m_rest.angle = SpinPlan::angleOf(options.tableAt, m_shots);
    m_rest.fromStart = plan.startCounts();
    // A table standing at a shot that a resumed session does not take again
    // stands at a taken one.
    m_rest.shotTaken = options.tableAt > 0 && options.tableAt < options.from;
}

int SpinSession::run() {
    begin();
    for (const SpinPlan::Shot& shot : m_plan.shots()) {
        if (!move(shot) || !settle(shot) || !shoot(shot)) {
            break;
        }
    }
    return end();
}

void SpinSession::begin() {
    const unsigned toTake = unsigned(m_plan.shots().size());
    std::string header =
        "Spinning " + m_opened.label + ": " +
        (m_options.from > 1 ? Wording::counted(toTake, "shot") + " of " + std::to_string(m_shots) +
                                  " (from shot " + std::to_string(m_options.from) + "), " +
                                  Wording::degrees(360.0 / m_shots) + " deg apart"
                            : Wording::counted(m_shots, "shot") + " of " +
                                  Wording::degrees(360.0 / m_shots) + " deg");
    header += m_options.shutter ? " with shutter release" : "";
    header += m_options.onShot.empty() ? "" : " and the on-shot command";
    header += ", " + Wording::counted(m_opened.counts, "count") + " a turn";
    m_report.say(header + ", expected " + Wording::expectedDuration(m_expected));

    m_lockBefore = m_context.plugin().isLockMotorWhenIdle();
    m_context.plugin().hardware().stepsSpinningWillStart();
    m_context.plugin().spinningWillStart();  // origin here; the motor holds between shots
}

bool SpinSession::move(const SpinPlan::Shot& shot) {
    if (interruptedHere()) {
        return false;
    }
    m_report.moving(shot.number, shot.angle);
    if (shot.counts > 0) {
        m_rest.atShot = false;
        m_rest.towards = shot.number;
        HostSession& session = m_context.session();
        const unsigned reportsBefore = session.stopReports();
        // The first Ctrl-C lets this move reach its shot; a later one stops it.
        InterruptSignal::setPatient(true);
        m_context.plugin().hardware().rotateDeviceToAngle(shot.target);
        const MoveEnd moveEnd = awaitMove(reportsBefore, shot);
        InterruptSignal::setPatient(false);
        if (moveEnd == MoveEnd::StoppedAtOnce) {
            return stop(EXIT_INTERRUPTED, "interrupted");
        }
        if (moveEnd == MoveEnd::GivenUp) {
            m_advice = MotionChecks::moveGivenUpAdvice();
            return stop(
                EXIT_RUNTIME_FAILURE, "move-failed",
                MotionChecks::moveGivenUp("the move to shot " + std::to_string(shot.number)));
        }
        if (moveEnd == MoveEnd::NotThere) {
            return stop(EXIT_RUNTIME_FAILURE, "move-failed",
                        "the move to shot " + std::to_string(shot.number) +
                            " ended short of it, or without the board's report of its end");
        }
    }
    m_rest = {true, shot.number, shot.angle, shot.fromStart, 0, false};
    m_report.moved(shot.number, shot.angle, shot.counts);
    return !interruptedHere();
}

SpinSession::MoveEnd SpinSession::awaitMove(unsigned reportsBefore, const SpinPlan::Shot& shot) {
    HostSession& session = m_context.session();
    Clock::time_point idleSince = Clock::time_point::max();
    bool toldFinishing = false;
    for (;;) {
        if (session.stopReports() > reportsBefore) {
            // Booked before the report: this move's own outcome.
            switch (m_context.plugin().lastMoveOutcome()) {
                case HxVorandelTurntableControl::MoveCompleted:
                    return MoveEnd::Arrived;
                case HxVorandelTurntableControl::MoveFailed:
                    return MoveEnd::GivenUp;
                default:
                    return MoveEnd::NotThere;
            }
        }
        if (InterruptSignal::insisted()) {
            m_context.plugin().hardware().stopAngleRotation();
            return MoveEnd::StoppedAtOnce;
        }
        if (InterruptSignal::raised() && !toldFinishing) {
            toldFinishing = true;
            m_report.finish();
            m_report.warn("Ctrl-C: the turntable ends its move at shot " +
                          std::to_string(shot.number) +
                          " and stops there; Ctrl-C again stops it at once, between two shots");
        }
        m_report.tick();
        if (m_context.plugin().IsTurntableRotating()) {
            idleSince = Clock::time_point::max();
        } else if (idleSince == Clock::time_point::max()) {
            idleSince = Clock::now();
        } else if (Clock::now() - idleSince > kReportGrace) {
            return MoveEnd::NotThere;
        }
        std::this_thread::sleep_for(kPoll);
    }
}

bool SpinSession::settle(const SpinPlan::Shot& shot) {
    const auto end = Clock::now() + std::chrono::milliseconds(m_options.settleMilliseconds);
    while (Clock::now() < end) {
        if (interruptedHere()) {
            return false;
        }
        m_report.tick();
        std::this_thread::sleep_for(kPoll);
    }
    if (interruptedHere()) {
        return false;
    }
    m_report.settled(shot.number, shot.angle, m_options.settleMilliseconds);
    return true;
}

bool SpinSession::shoot(const SpinPlan::Shot& shot) {
    if (m_options.shutter && !m_context.plugin().shutterReleaseCameraHardware()) {
        return stop(EXIT_RUNTIME_FAILURE, "shutter-failed",
                    "the shutter was not released at shot " + std::to_string(shot.number));
    }
    if (!m_options.onShot.empty()) {
        // A shot whose shutter fired but whose command has not run is taken
        // again on resuming.
        if (interruptedHere()) {
            return false;
        }
        m_report.commandStarting();
        const ShotCommand::Result result =
            m_command.run({{"TURNTABLECTL_SHOT", std::to_string(shot.number)},
                           {"TURNTABLECTL_SHOTS", std::to_string(m_shots)},
                           {"TURNTABLECTL_ANGLE", Wording::degrees(shot.angle)},
                           {"TURNTABLECTL_MODEL", m_opened.label}});
        if (result.outcome == ShotCommand::Outcome::Interrupted) {
            return stop(EXIT_INTERRUPTED, "interrupted");
        }
        if (result.outcome != ShotCommand::Outcome::Succeeded) {
            m_report.commandFailed(shot.number, shot.angle, result, m_options.onShotTimeoutSeconds);
            const bool timedOut = result.outcome == ShotCommand::Outcome::TimedOut;
            return stop(timedOut ? EXIT_SHOT_COMMAND_TIMED_OUT : EXIT_SHOT_COMMAND_FAILED,
                        timedOut ? "command-timed-out" : "command-failed",
                        "the on-shot command " +
                            SpinReport::describe(result, m_options.onShotTimeoutSeconds) +
                            " at shot " + std::to_string(shot.number) + " of " +
                            std::to_string(m_shots));
        }
    }
    ++m_taken;
    m_rest.shotTaken = true;
    m_report.shotTaken(shot.number, shot.angle, m_options.shutter, !m_options.onShot.empty());
    // The next move must not start once Ctrl-C came, even during the shot.
    return !(shot.number < m_shots && interruptedHere());
}

bool SpinSession::interruptedHere() {
    return InterruptSignal::raised() && !stop(EXIT_INTERRUPTED, "interrupted");
}

bool SpinSession::stop(int code, const std::string& reason, const std::string& failure) {
    m_code = code;
    m_reason = reason;
    m_failure = failure;
    return false;
}

std::string SpinSession::restText() const {
    if (!m_rest.atShot) {
        const std::string before = m_rest.towards > 1 ? "shot " + std::to_string(m_rest.towards - 1)
                                                      : std::string("the start");
        return "between " + before + " and shot " + std::to_string(m_rest.towards) +
               ", at an angle it does not know (" +
               (m_code == EXIT_INTERRUPTED ? "it was stopped mid-move" : "its move failed") + ")";
    }
    return (m_rest.shot == 0 ? std::string("at the start")
                             : "at shot " + std::to_string(m_rest.shot)) +
           " (" + Wording::degrees(m_rest.angle) + " deg from the start, " +
           Wording::counted(
               (unsigned long long)(m_rest.fromStart < 0 ? -m_rest.fromStart : m_rest.fromStart),
               "count") +
           ")";
}

int SpinSession::end() {
    m_report.finish();
    HxTurntableHardware& hardware = m_context.plugin().hardware();
    const double seconds = m_report.elapsedSeconds();
    std::string resume;
    SpinReport::Resting resting;
    if (m_code == EXIT_OK) {
        // Prepares, without starting, the way back to the origin.
        hardware.stepsSpinningWillStop();
        const std::string range = m_options.from == 1 ? " over one turn"
                                                      : " (" + std::to_string(m_options.from) +
                                                            " to " + std::to_string(m_shots) +
                                                            " of " + std::to_string(m_shots) + ")";
        m_report.say("Spin done: " + Wording::counted(m_taken, "shot") + range + " in " +
                     Wording::number(double(long(seconds * 10 + 0.5)) / 10) + " s");
    } else {
        // Stops a move still under way (none, but for a failed one).
        hardware.stopAngleRotation();
        if (m_rest.atShot) {
            // Stopped before its first move, a resumed session resumes at its
            // own first shot, whatever shot it stands at.
            const unsigned from =
                std::max(m_rest.shotTaken ? m_rest.shot + 1 : m_rest.shot, m_options.from);
            if (from <= m_shots) {
                resume = resumeCommand(m_context.options().commandLine, from, m_rest.shot);
            }
            resting = {true, m_rest.shot, m_rest.angle, m_rest.fromStart};
        }
        const std::string stopped =
            "the turntable stopped after " + Wording::counted(m_taken, "shot") + " of " +
            std::to_string(m_plan.shots().size()) + " (" +
            Wording::number(double(long(seconds * 10 + 0.5)) / 10) + " s) and rests " + restText();
        const std::string hint = (resume.empty() ? "" : "\nResume with: " + resume) +
                                 (m_advice.empty() ? "" : "\n" + m_advice);
        m_report.warn((m_code == EXIT_INTERRUPTED ? "interrupted by Ctrl-C" : m_failure) + ": " +
                      stopped + hint);
    }
    m_report.ended(m_reason, m_taken, resume, resting);
    // Leave the motor as the model keeps it when idle (most release it).
    m_context.plugin().SetLockMotorWhenIdle(m_lockBefore, true);
    const std::string board = m_context.boardSummary();
    if (!board.empty()) {
        m_report.say(board);
    }
    return m_code;
}
