// On the vendor's library (here a stand-in with no device attached)
// turntablectl drives real hardware: it sets up no simulated turntable and
// says that the simulator options do not apply.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "ToolRun.h"

namespace {

TEST(VendorLibrary, SimulatorOptionsSayTheyDoNotApply) {
    const ToolRun run =
        ToolRun::turntablectl({"--d2xx", NO_HARDWARE_D2XX_PATH, "list", "--sim-model", "5"});
    EXPECT_EQ(run.exitCode, 3) << run.describe();
    EXPECT_NE(run.err.find("do not apply"), std::string::npos) << run.err;
    EXPECT_NE(run.err.find("The turntable device cannot be found."), std::string::npos) << run.err;
}

TEST(VendorLibrary, NoNoteWithoutSimulatorOptions) {
    const ToolRun run = ToolRun::turntablectl({"--d2xx", NO_HARDWARE_D2XX_PATH, "list", "--json"});
    EXPECT_EQ(run.exitCode, 3) << run.describe();
    EXPECT_EQ(run.err.find("do not apply"), std::string::npos) << run.err;
    const nlohmann::json answer = nlohmann::json::parse(run.out);
    EXPECT_EQ(answer["backend"].get<std::string>(), "vendor library");
    EXPECT_FALSE(answer["found"].get<bool>());
}

TEST(VendorLibrary, MissingD2xxLibraryIsARuntimeFailure) {
    const ToolRun run = ToolRun::turntablectl({"--d2xx", "/nonexistent/libftd2xx.so", "list"});
    EXPECT_EQ(run.exitCode, 1) << run.describe();
    EXPECT_NE(run.err.find("cannot load the D2XX library"), std::string::npos) << run.err;
}

TEST(VendorLibrary, MissingPluginIsARuntimeFailure) {
    const ToolRun run = ToolRun::program(
        {TURNTABLECTL_PATH, "--plugin", "/nonexistent/libVorandelTurntable.so.1", "list"});
    EXPECT_EQ(run.exitCode, 1) << run.describe();
    EXPECT_NE(run.err.find("cannot load the plug-in"), std::string::npos) << run.err;
}

}  // namespace
