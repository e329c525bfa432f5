#ifndef TESTS_TOOLS_TOOL_RUN_H
#define TESTS_TOOLS_TOOL_RUN_H

#include <chrono>
#include <string>
#include <vector>

/// One run of turntablectl (or another program) as a child process, the way
/// a person or a script runs it: arguments in, exit status and both output
/// streams out.
struct ToolRun {
    int exitCode = -1;  ///< the exit status; -1 when it did not exit normally
    int signal = 0;     ///< the signal that ended it, if any
    std::string out;    ///< standard output
    std::string err;    ///< standard error
    std::chrono::milliseconds interruptToExit{0};  ///< from SIGINT to exit, when interrupted

    /// Runs turntablectl with `args`, the plug-in and simulator of this build.
    static ToolRun turntablectl(const std::vector<std::string>& args);
    /// As turntablectl(), but sends SIGINT once standard output contains
    /// `waitFor` and at least `after` has passed since it was seen (for a
    /// step that begins just after its line, such as a spin's first move),
    /// `times` signals `gap` apart (20 ms, as from a key pressed twice, or
    /// longer, as from a person pressing it again), and measures how long
    /// the program takes to end after the first.
    static ToolRun turntablectlInterrupted(
        const std::vector<std::string>& args, const std::string& waitFor, int times = 1,
        std::chrono::milliseconds gap = std::chrono::milliseconds(20),
        std::chrono::milliseconds after = std::chrono::milliseconds(0));
    /// Runs any program (searched on PATH).
    static ToolRun program(const std::vector<std::string>& argv);

    /// The simulated board's counters from the summary line turntablectl
    /// prints; `found` is false when there is none.
    struct Board {
        bool found = false;
        long long position = 0;
        unsigned long long pulses = 0;
        unsigned long long lost = 0;
        unsigned shots = 0;
        unsigned long long dcCounts = 0;
    };
    Board board() const;

    /// Lines of standard output that contain `text`.
    std::vector<std::string> outLinesWith(const std::string& text) const;
    /// Everything, for failure messages.
    std::string describe() const;
};

#endif  // TESTS_TOOLS_TOOL_RUN_H
