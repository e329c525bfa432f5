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

TEST(PulsesOption, InfoInClockedModeMeasuresTheChipsByteClockWithoutTurningTheTable) {
    ::unsetenv("VORANDEL_TURNTABLE_PULSES");
    for (const char* multiple : {"16", "4"}) {
        const ToolRun run = ToolRun::turntablectl(
            {"--pulses", "clocked", "info", "--json", "--sim-byte-clock", multiple});
        ASSERT_EQ(run.exitCode, 0) << run.describe();
        const nlohmann::json clock = nlohmann::json::parse(run.out)["chipByteClock"];
        ASSERT_TRUE(clock.is_object()) << run.out;
        const double perBaud = std::stod(multiple);
        EXPECT_EQ(clock["bytesPerBaud"].get<double>(), perBaud);
        EXPECT_EQ(clock["baudRate"].get<unsigned long>(), 625u);
        EXPECT_NEAR(clock["bytesPerSecond"].get<double>(), 625.0 * perBaud, 0.1 * 625.0 * perBaud);
        EXPECT_EQ(run.board().pulses, 0u);
        EXPECT_EQ(run.board().lost, 0u);
    }

    const ToolRun text =
        ToolRun::turntablectl({"--pulses", "clocked", "info", "--sim-byte-clock", "4"});
    ASSERT_EQ(text.exitCode, 0) << text.describe();
    EXPECT_NE(text.out.find("Chip byte clock:         2"), std::string::npos) << text.out;
    EXPECT_NE(text.out.find(" bytes/s at 625 baud: 4 bytes a second per baud (the published "
                            "figure is 16)"),
              std::string::npos)
        << text.out;

    // Host-paced, info leaves the chip alone.
    const ToolRun paced = ToolRun::turntablectl({"info", "--json"});
    ASSERT_EQ(paced.exitCode, 0) << paced.describe();
    EXPECT_TRUE(nlohmann::json::parse(paced.out)["chipByteClock"].is_null()) << paced.out;
}

TEST(PulsesOption, AClockedRunOnASlowByteClockMeasuresItAndTurnsTheCountsAsked) {
    ::unsetenv("VORANDEL_TURNTABLE_LOG");
    ::unsetenv("VORANDEL_TURNTABLE_LOG_FILE");
    const ToolRun run = ToolRun::turntablectl(
        {"--pulses", "clocked", "--verbose", "rotate", "--counts", "300", "--sim-byte-clock", "4"});
    ASSERT_EQ(run.exitCode, 0) << run.describe();
    EXPECT_EQ(run.board().pulses, 300u);
    EXPECT_EQ(run.board().lost, 0u);
    EXPECT_NE(run.err.find(" driver info: chip byte clock: "), std::string::npos) << run.err;
    EXPECT_NE(run.err.find("4.000 bytes a second per baud; clocked moves run at 2500 baud"),
              std::string::npos)
        << run.err;
}

}  // namespace
