// info, shutter and the identity record, each through the plug-in's public
// operations.
#include <gtest/gtest.h>

#include <stdlib.h>

#include <nlohmann/json.hpp>

#include "ToolRun.h"

namespace {

TEST(InfoCommand, ModelOptionOpensAnUnidentifiedTableAsThatRow) {
    const ToolRun run = ToolRun::turntablectl(
        {"--model", "1", "info", "--json", "--sim-model", "1", "--sim-unidentified"});
    ASSERT_EQ(run.exitCode, 0) << run.describe();
    const nlohmann::json info = nlohmann::json::parse(run.out);
    EXPECT_EQ(info["model"].get<std::string>(), "Vorandel Classic");
    EXPECT_EQ(info["countsPerRevolution"].get<unsigned>(), 72u);
    EXPECT_FALSE(info["canTurnCounterclockwise"].get<bool>());
    EXPECT_TRUE(info["identityRow"].is_null());
    EXPECT_EQ(info["backend"].get<std::string>(), "simulator");
}

TEST(InfoCommand, CountsPerRevolutionOverridesThePreset) {
    const ToolRun run = ToolRun::turntablectl({"--counts-per-rev", "400", "info", "--json"});
    ASSERT_EQ(run.exitCode, 0) << run.describe();
    EXPECT_EQ(nlohmann::json::parse(run.out)["countsPerRevolution"].get<unsigned>(), 400u);
}

TEST(InfoCommand, ShowsTheWorkersSchedulingAndThatTheEnvironmentSwitchesItOff) {
    unsetenv("VORANDEL_TURNTABLE_REALTIME");
    const ToolRun raised = ToolRun::turntablectl({"info", "--json"});
    setenv("VORANDEL_TURNTABLE_REALTIME", "off", 1);
    const ToolRun switchedOff = ToolRun::turntablectl({"info", "--json"});
    unsetenv("VORANDEL_TURNTABLE_REALTIME");
    ASSERT_EQ(raised.exitCode, 0) << raised.describe();
    ASSERT_EQ(switchedOff.exitCode, 0) << switchedOff.describe();
    const std::string mode = nlohmann::json::parse(raised.out)["moveScheduling"].get<std::string>();
    EXPECT_TRUE(mode == "real-time" || mode == "not permitted") << mode;
    EXPECT_EQ(nlohmann::json::parse(switchedOff.out)["moveScheduling"].get<std::string>(), "off");
}

TEST(ShutterCommand, ReleasesTheShutterOnceWithoutTurning) {
    const ToolRun run = ToolRun::turntablectl({"shutter"});
    ASSERT_EQ(run.exitCode, 0) << run.describe();
    EXPECT_EQ(run.board().shots, 1u);
    EXPECT_EQ(run.board().pulses, 0u);
}

TEST(IdentityCommand, ReadShowsTheRecordedRow) {
    const ToolRun run = ToolRun::turntablectl({"identity", "read", "--sim-model", "8"});
    ASSERT_EQ(run.exitCode, 0) << run.describe();
    EXPECT_EQ(run.out, "Identity record: row 8 (Vorandel Amber Medium)\n");
}

TEST(IdentityCommand, ReadSaysWhenThereIsNoRecord) {
    const ToolRun run = ToolRun::turntablectl({"identity", "read", "--sim-unidentified"});
    ASSERT_EQ(run.exitCode, 0) << run.describe();
    EXPECT_EQ(run.out, "No identity record on this turntable\n");
}

TEST(IdentityCommand, WriteProvisionsTheTurntableSoThatDiscoveryIdentifiesIt) {
    const ToolRun run = ToolRun::turntablectl({"identity", "write", "7", "--sim-unidentified"});
    ASSERT_EQ(run.exitCode, 0) << run.describe();
    EXPECT_EQ(run.outLinesWith("now identifies as Vorandel Amber Large").size(), 1u) << run.out;
}

}  // namespace
