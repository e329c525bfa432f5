#ifndef TURNTABLECTL_RESUME_COMMAND_H
#define TURNTABLECTL_RESUME_COMMAND_H

#include <string>
#include <vector>

/// The command line that resumes a broken spin at shot `from`, with the
/// table standing at shot `tableAt`'s angle: the session's own arguments,
/// quoted for the shell, with its --from and --table-at replaced.
std::string resumeCommand(const std::vector<std::string>& commandLine, unsigned from,
                          unsigned tableAt);

/// `text` as one shell word.
std::string shellQuoted(const std::string& text);

#endif  // TURNTABLECTL_RESUME_COMMAND_H
