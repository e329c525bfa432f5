#ifndef TURNTABLECTL_SHOT_COMMAND_H
#define TURNTABLECTL_SHOT_COMMAND_H

#include <string>
#include <utility>
#include <vector>

/// The photographer's command for one stop, run through /bin/sh in a
/// process group of its own, so that it and whatever it starts (a camera
/// tool and its helpers) can be ended together. It reads nothing from the
/// terminal: in a group of its own it would be stopped by the first read.
class ShotCommand {
public:
    enum class Outcome {
        Succeeded,    ///< exited 0
        Failed,       ///< exited with another status (`status`)
        Killed,       ///< ended by signal `status`
        TimedOut,     ///< ran past the time limit and was ended
        Interrupted,  ///< Ctrl-C came first; the command was ended
        NotStarted,   ///< the shell could not be started (`error`)
    };
    struct Result {
        Outcome outcome = Outcome::NotStarted;
        int status = 0;
        std::string error;
    };
    using Environment = std::vector<std::pair<std::string, std::string>>;

    /// `timeoutSeconds` 0: no limit. `outputToStderr`: the command's standard
    /// output goes to ours of errors, keeping our standard output for JSON.
    ShotCommand(std::string command, double timeoutSeconds, bool outputToStderr);

    /// Runs the command with `extra` added to this program's environment
    /// and waits for it.
    Result run(const Environment& extra) const;

private:
    std::string m_command;
    double m_timeoutSeconds;
    bool m_outputToStderr;
};

#endif  // TURNTABLECTL_SHOT_COMMAND_H
