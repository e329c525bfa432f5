// Every catalogue row as turntablectl shows it, read from the plug-in the way
// a host reads it, against the plug-in's own table.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include <nlohmann/json.hpp>

#include "ToolRun.h"
#include "TurntableCatalogue.h"

namespace {

// A model without preset keeps the device layer's line levels, and the
// simulator builds the expert row's table with 6400 steps a turn.
constexpr LinePolarities kDeviceLayerPolarities{true, true};
constexpr unsigned kSimulatedExpertSteps = 6400;

TEST(CatalogueRows, ListNamesEveryRowOfATurntableWithoutRecordInOrder) {
    const ToolRun text = ToolRun::turntablectl({"list", "--sim-unidentified"});
    const ToolRun json = ToolRun::turntablectl({"list", "--json", "--sim-unidentified"});
    ASSERT_EQ(text.exitCode, 0) << text.describe();
    ASSERT_EQ(json.exitCode, 0) << json.describe();
    const nlohmann::json answer = nlohmann::json::parse(json.out);
    EXPECT_FALSE(answer["identified"].get<bool>());
    ASSERT_EQ(answer["models"].size(), TurntableCatalogue::ROW_COUNT);
    EXPECT_EQ(text.outLinesWith("Vorandel").size(), TurntableCatalogue::ROW_COUNT);
    for (size_t row = 0; row < TurntableCatalogue::ROW_COUNT; ++row) {
        const std::string label = TurntableCatalogue::model(row)->label;
        EXPECT_EQ(answer["models"][row]["row"].get<size_t>(), row);
        EXPECT_EQ(answer["models"][row]["label"].get<std::string>(), label);
        char line[120];
        std::snprintf(line, sizeof line, "%3zu  %s", row, label.c_str());
        EXPECT_EQ(text.outLinesWith(line).size(), 1u) << line << "\n" << text.out;
    }
}

TEST(CatalogueRows, InfoShowsEveryIdentifiedRowWithItsLabelDriverAndPreset) {
    for (size_t row = 0; row < TurntableCatalogue::ROW_COUNT; ++row) {
        const TurntableModel& model = *TurntableCatalogue::model(row);
        const ToolRun run =
            ToolRun::turntablectl({"info", "--json", "--sim-model", std::to_string(row)});
        ASSERT_EQ(run.exitCode, 0) << run.describe();
        const nlohmann::json info = nlohmann::json::parse(run.out);
        const std::string what = "row " + std::to_string(row);

        EXPECT_EQ(info["model"].get<std::string>(), model.label) << what;
        EXPECT_EQ(info["row"].get<size_t>(), row) << what;
        EXPECT_EQ(info["identityRow"].get<size_t>(), row) << what;
        EXPECT_EQ(info["openedAsRow"].get<size_t>(), 0u) << what;
        EXPECT_TRUE(info["identified"].get<bool>()) << what;
        EXPECT_EQ(info["canTurnCounterclockwise"].get<bool>(),
                  model.driver == TurntableDriver::StepperMotor)
            << what;

        const LinePolarities polarities =
            model.preset && model.preset->polarities ? *model.preset->polarities
                                                     : kDeviceLayerPolarities;
        EXPECT_EQ(info["motorEnableActiveHigh"].get<bool>(), polarities.motorEnableActiveHigh)
            << what;
        EXPECT_EQ(info["clockwiseActiveHigh"].get<bool>(), polarities.clockwiseActiveHigh) << what;
        EXPECT_EQ(info["lockMotorWhenIdle"].get<bool>(),
                  model.preset ? model.preset->lockMotorWhenIdle : true)
            << what;
        EXPECT_EQ(info["countsPerRevolution"].get<unsigned>(),
                  model.preset ? model.preset->countsPerRevolution : kSimulatedExpertSteps)
            << what;
    }
}

}  // namespace
