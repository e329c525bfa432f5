#ifndef TURNTABLECTL_SPIN_SESSION_H
#define TURNTABLECTL_SPIN_SESSION_H

#include <optional>
#include <string>

#include "CommandContext.h"
#include "ShotCommand.h"
#include "SpinOptions.h"
#include "SpinPlan.h"
#include "SpinReport.h"

/// One stepped spin, from its first move to its last event, in the steps a
/// photographer sees: move to a shot, settle, shoot (shutter, then the
/// on-shot command), and the report at the end. A session that cannot go
/// on (Ctrl-C, a failed command, a move without its end) ends with the
/// table at rest and says where it rests: at a shot, with the command that
/// resumes exactly there, or, stopped mid-move on request, between two.
///
/// Ctrl-C during a move lets that move reach its shot first, so that the
/// position stays known; a second Ctrl-C (after the first's second of
/// repeats) stops the table at once instead.
class SpinSession {
public:
    SpinSession(CommandContext& context, const SpinOptions& options, const SpinPlan& plan,
                const CommandContext::Opened& opened, const std::optional<double>& expected);

    /// Runs every shot of the plan; returns the exit status.
    int run();

private:
    /// Where the table is while the session runs and once it has ended.
    struct Rest {
        bool atShot = true;      ///< false: stopped mid-move, at no known angle
        unsigned shot = 0;       ///< the shot whose angle it stands at (0: the start)
        double angle = 0;        ///< that shot's plan angle
        long fromStart = 0;      ///< that position in counts from the start of the plan
        unsigned towards = 0;    ///< while not at a shot: the shot it was turning to
        bool shotTaken = false;  ///< the shot it stands at has been taken
    };

    void begin();
    /// Each step answers false when the session ends there.
    bool move(const SpinPlan::Shot& shot);
    bool settle(const SpinPlan::Shot& shot);
    bool shoot(const SpinPlan::Shot& shot);
    int end();

    /// Arrived: at its shot. GivenUp: the plug-in ended it, the board never
    /// having shown its end. NotThere: it ended short of its shot
    /// otherwise, or without a report.
    enum class MoveEnd { Arrived, StoppedAtOnce, GivenUp, NotThere };
    MoveEnd awaitMove(unsigned reportsBefore, const SpinPlan::Shot& shot);
    /// Ends the session here with exit status `code`.
    bool stop(int code, const std::string& reason, const std::string& failure = "");
    bool interruptedHere();
    std::string restText() const;

    CommandContext& m_context;
    const SpinOptions& m_options;
    const SpinPlan& m_plan;
    const CommandContext::Opened& m_opened;
    std::optional<double> m_expected;
    unsigned m_shots;
    SpinReport m_report;
    ShotCommand m_command;
    bool m_lockBefore = false;

    Rest m_rest;
    unsigned m_taken = 0;
    int m_code = 0;
    std::string m_reason = "done";
    std::string m_failure;
    std::string m_advice;  ///< a last line of what to look at, if any
};

#endif  // TURNTABLECTL_SPIN_SESSION_H
