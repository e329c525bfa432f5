#ifndef TURNTABLECTL_COMMAND_FAILURE_H
#define TURNTABLECTL_COMMAND_FAILURE_H

#include <stdexcept>
#include <string>

#include "ExitCodes.h"

/// Ends a command with a message for the person at the terminal and the exit
/// status a script relies on. main() prints it; the turntable is closed on
/// the way out.
class CommandFailure : public std::runtime_error {
public:
    CommandFailure(ExitCode code, const std::string& message)
        : std::runtime_error(message), m_code(code) {}
    ExitCode code() const { return m_code; }

private:
    ExitCode m_code;
};

#endif  // TURNTABLECTL_COMMAND_FAILURE_H
