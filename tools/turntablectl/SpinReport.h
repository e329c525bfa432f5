#ifndef TURNTABLECTL_SPIN_REPORT_H
#define TURNTABLECTL_SPIN_REPORT_H

#include <optional>
#include <string>

#include <nlohmann/json.hpp>

#include "ProgressDisplay.h"
#include "ShotCommand.h"

/// What a spin tells as it goes. For a person: the progress display (a bar
/// on a terminal, a line per shot elsewhere). With --json: one JSON object a
/// line per event on standard output, for a script or a GUI to follow, and
/// the person's lines on standard error.
class SpinReport {
public:
    /// `firstShot` and `expectedSeconds` as for ProgressDisplay.
    SpinReport(bool json, bool terminal, unsigned shots, unsigned firstShot,
               std::optional<double> expectedSeconds);

    /// A line for the person.
    void say(const std::string& text);
    /// A line about what went wrong, always on standard error.
    void warn(const std::string& text);

    void moving(unsigned shot, double angle);
    void moved(unsigned shot, double angle, long counts);
    void settled(unsigned shot, double angle, unsigned milliseconds);
    /// The on-shot command is about to write to the terminal.
    void commandStarting();
    void shotTaken(unsigned shot, double angle, bool shutter, bool command);
    void commandFailed(unsigned shot, double angle, const ShotCommand::Result& result,
                       double timeoutSeconds);
    /// Where a stopped session left the table.
    struct Resting {
        bool atShot = false;  ///< false: between two shots, at no known angle
        unsigned shot = 0;    ///< 0: the start of the plan
        double angle = 0;
        long countsFromStart = 0;
    };
    /// The last event: `reason` is "done", "command-failed", "command-timed-out",
    /// "interrupted", "move-failed" or "shutter-failed"; `resume` empty when
    /// the session cannot be resumed exactly (the table is not at a shot's angle).
    void ended(const std::string& reason, unsigned taken, const std::string& resume,
               const Resting& resting);

    void tick();
    void finish();
    double elapsedSeconds() const { return m_progress.elapsedSeconds(); }
    bool json() const { return m_json; }

    /// How the command failed, for a person.
    static std::string describe(const ShotCommand::Result& result, double timeoutSeconds);

private:
    void emit(nlohmann::json event);

    bool m_json;
    ProgressDisplay m_progress;
};

#endif  // TURNTABLECTL_SPIN_REPORT_H
