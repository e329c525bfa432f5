// Discovery and the failures a person meets first: no turntable, a failed
// open, bad arguments, a model row outside the catalogue.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "ToolRun.h"

namespace {

const char* kNoTurntable =
    "The turntable device cannot be found.\n"
    "\n"
    "- make sure driver is installed\n"
    "- make sure turntable is powered on\n"
    "- make sure turntable is connected via USB\n";

TEST(ListCommand, NamesTheIdentifiedDefaultTurntable) {
    const ToolRun run = ToolRun::turntablectl({"list"});
    ASSERT_EQ(run.exitCode, 0) << run.describe();
    EXPECT_EQ(run.out, "Vorandel Cobalt Medium\n");
}

TEST(ListCommand, JsonGivesTheRowOfTheIdentifiedModel) {
    const ToolRun run = ToolRun::turntablectl({"list", "--json", "--sim-model", "6"});
    ASSERT_EQ(run.exitCode, 0) << run.describe();
    const nlohmann::json answer = nlohmann::json::parse(run.out);
    EXPECT_TRUE(answer["found"].get<bool>());
    EXPECT_TRUE(answer["identified"].get<bool>());
    ASSERT_EQ(answer["models"].size(), 1u);
    EXPECT_EQ(answer["models"][0]["row"].get<int>(), 6);
    EXPECT_EQ(answer["models"][0]["label"].get<std::string>(), "Vorandel Cobalt Large, Series 2");
}

TEST(NoTurntable, ListPrintsThePluginsFiveLineMessageAndExits3) {
    const ToolRun run = ToolRun::turntablectl({"list", "--sim-none"});
    EXPECT_EQ(run.exitCode, 3) << run.describe();
    EXPECT_EQ(run.err, kNoTurntable);
    EXPECT_EQ(run.out, "");
}

TEST(NoTurntable, JsonCarriesTheMessageAndStillExits3) {
    const ToolRun run = ToolRun::turntablectl({"list", "--json", "--sim-none"});
    EXPECT_EQ(run.exitCode, 3) << run.describe();
    const nlohmann::json answer = nlohmann::json::parse(run.out);
    EXPECT_FALSE(answer["found"].get<bool>());
    EXPECT_EQ(answer["error"].get<std::string>(), kNoTurntable);
}

TEST(NoTurntable, SpinStopsBeforeMovingAndExits3) {
    const ToolRun run = ToolRun::turntablectl({"spin", "--shots", "4", "--sim-none"});
    EXPECT_EQ(run.exitCode, 3) << run.describe();
    EXPECT_EQ(run.err, kNoTurntable);
    EXPECT_TRUE(run.outLinesWith("shot").empty());
}

TEST(FailedOpen, ReportsThePluginsTextAndExits4) {
    const ToolRun run = ToolRun::turntablectl({"spin", "--shots", "4", "--sim-fail-open", "2"});
    EXPECT_EQ(run.exitCode, 4) << run.describe();
    EXPECT_NE(run.err.find("cannot open the turntable at position 0"), std::string::npos)
        << run.err;
    EXPECT_NE(run.err.find("FT_DEVICE_NOT_FOUND (status 2)"), std::string::npos) << run.err;
    EXPECT_TRUE(run.outLinesWith("shot").empty());
}

TEST(FailedOpen, AnyStatusIsNamed) {
    const ToolRun run = ToolRun::turntablectl({"info", "--sim-fail-open", "18"});
    EXPECT_EQ(run.exitCode, 4) << run.describe();
    EXPECT_NE(run.err.find("opening failed: "), std::string::npos) << run.err;
    EXPECT_NE(run.err.find("(status 18)"), std::string::npos) << run.err;
}

TEST(BadArguments, UnknownOptionPrintsCli11UsageAndExits2) {
    const ToolRun run = ToolRun::turntablectl({"spin", "--shots", "4", "--frobnicate"});
    EXPECT_EQ(run.exitCode, 2) << run.describe();
    EXPECT_NE(run.err.find("--frobnicate"), std::string::npos) << run.err;
    EXPECT_NE(run.err.find("--help"), std::string::npos) << run.err;
}

TEST(BadArguments, MissingCommandExits2) {
    const ToolRun run = ToolRun::turntablectl({});
    EXPECT_EQ(run.exitCode, 2) << run.describe();
}

TEST(BadArguments, RotateNeedsExactlyOneKindOfMove) {
    EXPECT_EQ(ToolRun::turntablectl({"rotate"}).exitCode, 2);
    EXPECT_EQ(ToolRun::turntablectl({"rotate", "--counts", "5", "--degrees", "5"}).exitCode, 2);
}

TEST(BadArguments, StepThatDoesNotDivideATurnExits2) {
    const ToolRun run = ToolRun::turntablectl({"spin", "--step", "25", "--sim-counts", "240"});
    EXPECT_EQ(run.exitCode, 2) << run.describe();
    EXPECT_EQ(run.board().pulses, 0u);
}

TEST(BadArguments, OutOfRangeNumbersNameTheOptionAndItsRangeInPlainNumbers) {
    const struct {
        std::vector<std::string> args;
        std::string message;
    } cases[] = {
        {{"spin", "--shots", "0"},
         "--shots: 0 is not allowed: give a whole number from 1 to 4294967295"},
        {{"spin", "--step", "400"},
         "--step: 400 is not allowed: give a number above 0 and at most 360"},
        {{"spin", "--on-shot", "true", "--on-shot-timeout", "0"},
         "--on-shot-timeout: 0 is not allowed: give a number above 0"},
        {{"--counts-per-rev", "-1", "info"},
         "--counts-per-rev: -1 is not allowed: give a whole number from 0 to 4294967295"},
        {{"--sim-counts", "10000001", "info"},
         "--sim-counts: 10000001 is not allowed: give a whole number from 0 to 10000000"},
        {{"rotate", "--counts", "2147483648"},
         "--counts: 2147483648 is not allowed: give a whole number from -2147483648 to 2147483647"},
        {{"rotate", "--degrees", "nan"}, "--degrees: nan is not allowed: give a finite number"},
        {{"--model", "99999999999999999999", "info"},
         "--model: 99999999999999999999 is not allowed"},
    };
    for (const auto& c : cases) {
        const ToolRun run = ToolRun::turntablectl(c.args);
        EXPECT_EQ(run.exitCode, 2) << run.describe();
        EXPECT_NE(run.err.find(c.message), std::string::npos) << run.err;
        EXPECT_EQ(run.board().pulses, 0u) << run.err;
    }
    // The simulator takes the largest value the option allows.
    EXPECT_EQ(ToolRun::turntablectl({"--sim-counts", "10000000", "info"}).exitCode, 0);
}

TEST(RowOutOfRange, ModelRowExits5) {
    const ToolRun run = ToolRun::turntablectl({"--model", "10", "info"});
    EXPECT_EQ(run.exitCode, 5) << run.describe();
    EXPECT_NE(run.err.find("rows 0 to 9"), std::string::npos) << run.err;
}

TEST(RowOutOfRange, NegativeAndSimulatedRowsExit5) {
    EXPECT_EQ(ToolRun::turntablectl({"--model=-1", "info"}).exitCode, 5);
    EXPECT_EQ(ToolRun::turntablectl({"list", "--sim-model", "12"}).exitCode, 5);
}

TEST(RowOutOfRange, IdentityWriteRefusesBeforeTouchingTheEeprom) {
    const ToolRun run = ToolRun::turntablectl({"identity", "write", "10"});
    EXPECT_EQ(run.exitCode, 5) << run.describe();
}

}  // namespace
