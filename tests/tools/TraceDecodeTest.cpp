// The port trace of a spin, decoded by sigrok's stepper_motor decoder, shows
// the steps the simulated board counted.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "ToolRun.h"

namespace {

bool sigrokAvailable() {
    return ToolRun::program({"sigrok-cli", "--version"}).exitCode == 0;
}

// The decoder annotates the position between one rising step edge and the
// next, so it never annotates the position after the last step.
long long decodedSteps(const std::string& annotations, size_t* lines) {
    long long last = 0;
    *lines = 0;
    size_t at = 0;
    while ((at = annotations.find("stepper_motor-1: ", at)) != std::string::npos) {
        at += 17;
        last = std::strtoll(annotations.c_str() + at, nullptr, 10);
        ++*lines;
    }
    return *lines == 0 ? 0 : std::llabs(last) + 1;
}

TEST(TraceFile, SpinTraceDecodesToTheStepsTheBoardCounted) {
    if (!sigrokAvailable()) {
        GTEST_SKIP() << "sigrok-cli is not installed";
    }
    const std::string trace = "/tmp/turntablectl-trace-" + std::to_string(getpid()) + ".vcd";
    const ToolRun spin = ToolRun::turntablectl(
        {"spin", "--shots", "6", "--sim-counts", "120", "--settle", "0", "--trace", trace});
    ASSERT_EQ(spin.exitCode, 0) << spin.describe();
    EXPECT_NE(spin.err.find("port trace written to " + trace), std::string::npos) << spin.err;
    ASSERT_EQ(spin.board().pulses, 120u);

    const ToolRun decode =
        ToolRun::program({"sigrok-cli", "-I", "vcd", "-i", trace, "-P",
                          "stepper_motor:step=step:dir=dir", "-A", "stepper_motor=position"});
    std::remove(trace.c_str());
    ASSERT_EQ(decode.exitCode, 0) << decode.describe();
    size_t annotations = 0;
    EXPECT_EQ(decodedSteps(decode.out, &annotations), std::llabs(spin.board().position));
    EXPECT_EQ(annotations + 1, spin.board().pulses);
}

TEST(TraceFile, UnwritablePathIsRefusedBeforeAnythingTurns) {
    for (const char* command : {"rotate", "spin"}) {
        std::vector<std::string> args = {command, "--trace", "/nonexistent/dir/t.vcd",
                                         "--sim-counts", "240"};
        const std::vector<std::string> move =
            std::string(command) == "rotate"
                ? std::vector<std::string>{"--counts", "2"}
                : std::vector<std::string>{"--shots", "4", "--dry-run"};
        args.insert(args.end(), move.begin(), move.end());
        const ToolRun run = ToolRun::turntablectl(args);
        EXPECT_EQ(run.exitCode, 2) << run.describe();
        EXPECT_NE(run.err.find("--trace /nonexistent/dir/t.vcd: cannot write there: No such file "
                               "or directory"),
                  std::string::npos)
            << run.err;
        EXPECT_EQ(run.out, "") << command;
    }
}

}  // namespace
