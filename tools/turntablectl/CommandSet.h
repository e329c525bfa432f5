#ifndef TURNTABLECTL_COMMAND_SET_H
#define TURNTABLECTL_COMMAND_SET_H

#include <functional>
#include <string>
#include <utility>
#include <vector>

#include <CLI/CLI.hpp>

class CommandContext;

/// The program's commands. Each command adds itself, with its options, and
/// the function that runs it once the command line is parsed; main() only
/// picks the one the command line named.
class CommandSet {
public:
    /// Runs a parsed command; returns the exit status (ExitCodes.h) or
    /// throws CommandFailure.
    using Run = std::function<int(CommandContext&)>;

    /// Adds command `name` below `parent` (the program, or a command with
    /// commands of its own), run by `run`; its options go on the result.
    CLI::App* add(CLI::App& parent, const std::string& name, const std::string& description,
                  Run run);
    /// The run of the command the command line named; empty when none.
    Run parsed() const;

private:
    std::vector<std::pair<CLI::App*, Run>> m_commands;
};

#endif  // TURNTABLECTL_COMMAND_SET_H
