// --pulses: the step pulses of a run timed by the chip, what info says of
// the mode, and the byte clock of a chip that departs from the published
// figure, measured and logged.
#include <gtest/gtest.h>

#include <stdlib.h>

#include <string>

#include <nlohmann/json.hpp>

#include "ToolRun.h"

namespace {

TEST(PulsesOption, InfoShowsTheModeTheNextMoveTakes) {
    ::unsetenv("VORANDEL_TURNTABLE_PULSES");
    const ToolRun byDefault = ToolRun::turntablectl({"info", "--json"});
    const ToolRun clocked = ToolRun::turntablectl({"--pulses", "clocked", "info", "--json"});
    ASSERT_EQ(byDefault.exitCode, 0) << byDefault.describe();
    ASSERT_EQ(clocked.exitCode, 0) << clocked.describe();
    EXPECT_EQ(nlohmann::json::parse(byDefault.out)["stepPulses"].get<std::string>(), "paced");
    EXPECT_EQ(nlohmann::json::parse(clocked.out)["stepPulses"].get<std::string>(), "clocked");

    const ToolRun bad = ToolRun::turntablectl({"--pulses", "crystal", "info"});
    EXPECT_EQ(bad.exitCode, 2) << bad.describe();
}

TEST(PulsesOption, AClockedRunOnASlowByteClockMeasuresItAndTurnsTheCountsAsked) {
    ::unsetenv("VORANDEL_TURNTABLE_LOG");
    ::unsetenv("VORANDEL_TURNTABLE_LOG_FILE");
    const ToolRun run = ToolRun::turntablectl({"--pulses", "clocked", "--verbose", "rotate",
                                               "--counts", "300", "--sim-byte-clock", "4"});
    ASSERT_EQ(run.exitCode, 0) << run.describe();
    EXPECT_EQ(run.board().pulses, 300u);
    EXPECT_EQ(run.board().lost, 0u);
    EXPECT_NE(run.err.find(" driver info: chip byte clock: "), std::string::npos) << run.err;
    EXPECT_NE(run.err.find("4.000 bytes a second per baud; clocked moves run at 2500 baud"),
              std::string::npos)
        << run.err;
}

}  // namespace
