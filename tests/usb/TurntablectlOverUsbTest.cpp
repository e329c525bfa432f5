// turntablectl, as a person runs it, choosing the libftdi1 backend and
// turning an emulated turntable: the child process reaches this test's
// emulated USB bus through the environment it inherits.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "ToolRun.h"
#include "UsbTestbed.h"

namespace {

ChipSetup cobaltChip() {
    return ChipSetup()
        .withStepper(ftsim::StepperSetup().stepsPerRevolution(72).clockwiseActiveHigh(false))
        .identity(3);
}

class TurntablectlOverUsb : public ::testing::Test {
protected:
    void TearDown() override { UsbTestbed::instance().unplugAll(); }
};

}  // namespace

TEST_F(TurntablectlOverUsb, SpinTurnsTheTableOnceWithAShotAtEveryStop) {
    const auto chip = UsbTestbed::instance().plug(cobaltChip());
    const ToolRun run = ToolRun::turntablectl({"--d2xx", "libftdi1", "--counts-per-rev", "72",
                                               "--speed", "0", "spin", "--shots", "12",
                                               "--shutter", "--settle", "0"});
    ASSERT_EQ(0, run.exitCode) << run.describe();
    EXPECT_EQ(1u, run.outLinesWith("Spin done: 12 shots").size()) << run.describe();
    const ChipSnapshot seen = chip->snapshot();
    EXPECT_EQ(72u, seen.steps);
    EXPECT_EQ(72, std::llabs(seen.stepPosition));
    EXPECT_EQ(0u, seen.stepsLost);
    EXPECT_EQ(12u, seen.shots);
}

TEST_F(TurntablectlOverUsb, InfoNamesTheBackendInUse) {
    UsbTestbed::instance().plug(cobaltChip());
    const ToolRun run = ToolRun::turntablectl({"--d2xx", "libftdi1", "info"});
    ASSERT_EQ(0, run.exitCode) << run.describe();
    const std::vector<std::string> backend = run.outLinesWith("D2XX library:");
    ASSERT_EQ(1u, backend.size()) << run.describe();
    EXPECT_NE(std::string::npos, backend[0].find("libftdi1")) << backend[0];
    EXPECT_EQ(1u, run.outLinesWith("Model:                   Vorandel Cobalt Medium").size())
        << run.describe();
}
