// The table list a host's environment (FTSIM_DEVICES) or turntablectl gives
// the simulator: what each form builds, and that every fault is named and
// builds nothing.
#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "ftsim/TableListParser.h"

using ftsim::TableSetup;
using ftsim::TableListParser;

namespace {

TableSetup only(const std::string& text) {
    const TableListParser::Result result = TableListParser::parse(text);
    EXPECT_TRUE(result.ok()) << text << ": " << result.error;
    EXPECT_EQ(result.tables.size(), 1u) << text;
    return result.tables.empty() ? TableSetup{} : result.tables.front();
}

}  // namespace

TEST(TableListParser, ModelsAreNamedByRowOrByNameInAnyCaseAndSpelling) {
    for (const char* text : {"3", " 3 ", "Cobalt Medium", "cobalt-medium", "Vorandel Cobalt Medium",
                             "COBALT_MEDIUM"}) {
        const TableSetup table = only(text);
        EXPECT_EQ(table.row, 3u) << text;
        EXPECT_EQ(table.label, "Vorandel Cobalt Medium");
        EXPECT_FALSE(table.dcBoard);
        EXPECT_TRUE(table.identified);
        EXPECT_EQ(table.stepsPerRevolution, 19520u);
        EXPECT_TRUE(table.enableActiveHigh);
        EXPECT_FALSE(table.clockwiseActiveHigh);
        EXPECT_EQ(table.usbLatencyMicroseconds, 0u);
        EXPECT_EQ(table.failOpenStatus, FT_STATUS(FT_OK));
        EXPECT_TRUE(table.tracePath.empty());
    }
    // Rows whose label and preset the plug-in pairs crosswise keep its pairing.
    EXPECT_EQ(only("Cobalt Large Series 2").row, 6u);
    EXPECT_EQ(only("Cobalt Large Series 2").stepsPerRevolution, 11200u);
    EXPECT_EQ(only("amber medium").row, 8u);
    EXPECT_EQ(only("Generic").row, 0u);
    EXPECT_EQ(only("Generic (Expert use)").stepsPerRevolution, 6400u);

    const TableSetup classic = only("classic");
    EXPECT_EQ(classic.row, 1u);
    EXPECT_TRUE(classic.dcBoard);
    EXPECT_EQ(classic.countNanoseconds, 20000000);
    EXPECT_EQ(classic.stepsPerRevolution, 0u);

    for (const char* empty : {"", "  "}) {
        const TableListParser::Result none = TableListParser::parse(empty);
        EXPECT_TRUE(none.ok());
        EXPECT_TRUE(none.tables.empty());
    }
}

TEST(TableListParser, SettingsChangeOnlyTheTableTheyFollow) {
    const TableListParser::Result result = TableListParser::parse(
        "3, unidentified, counts=240, usb-latency=1000, fail-open=2, trace=/tmp/a b.vcd ;"
        " classic,count-time=5; 9");
    ASSERT_TRUE(result.ok()) << result.error;
    ASSERT_EQ(result.tables.size(), 3u);
    const TableSetup& first = result.tables[0];
    EXPECT_FALSE(first.identified);
    EXPECT_EQ(first.stepsPerRevolution, 240u);
    EXPECT_FALSE(first.clockwiseActiveHigh);  // the model's polarity stays
    EXPECT_EQ(first.usbLatencyMicroseconds, 1000u);
    EXPECT_EQ(first.failOpenStatus, FT_STATUS(FT_DEVICE_NOT_FOUND));
    EXPECT_EQ(first.tracePath, "/tmp/a b.vcd");

    const TableSetup& second = result.tables[1];
    EXPECT_TRUE(second.dcBoard);
    EXPECT_TRUE(second.identified);
    EXPECT_EQ(second.countNanoseconds, 5000000);
    EXPECT_EQ(second.usbLatencyMicroseconds, 0u);
    EXPECT_TRUE(second.tracePath.empty());

    EXPECT_EQ(result.tables[2].row, 9u);
    EXPECT_EQ(result.tables[2].stepsPerRevolution, 11520u);
}

TEST(TableListParser, EveryFaultIsNamedWithItsTableAndBuildsNothing) {
    const std::vector<std::pair<const char*, const char*>> cases = {
        {"12", "table 1 (\"12\"): row 12 is not in the catalogue (rows 0 to 9)"},
        {"-1", "no model is named \"-1\""},
        {"Cobalt Mediun", "no model is named \"Cobalt Mediun\""},
        {"Vorandel Cobalt Large, Series 2", "unknown setting \"Series 2\""},
        {"3,speed=2", "unknown setting \"speed=2\""},
        {"3,counts=abc", "counts=abc is not a whole number from 1 to 10000000"},
        {"3,counts=0", "counts=0 is outside 1 to 10000000"},
        {"3,counts=99999999999999999999", "not a whole number"},
        {"3,counts=", "counts needs a value"},
        {"3,trace", "trace needs a value"},
        {"3,fail-open=19", "fail-open=19 is outside 1 to 18"},
        {"3,unidentified=yes", "unidentified takes no value"},
        {"3,counts=200,counts=300", "counts is given twice"},
        {"classic,counts=100", "counts applies to stepper tables"},
        {"3,count-time=5", "count-time applies to the Classic's DC motor only"},
        {"classic,count-time=0", "count-time=0 is outside 1 to 60000"},
        {"3,", "a setting is empty"},
        {"3;;1", "table 2 is empty"},
        {"3;", "table 2 is empty"},
        {"3; 1,counts=5", "table 2 (\"1,counts=5\"): counts applies"},
    };
    for (const auto& c : cases) {
        const TableListParser::Result result = TableListParser::parse(c.first);
        EXPECT_FALSE(result.ok()) << c.first;
        EXPECT_NE(result.error.find(c.second), std::string::npos)
            << c.first << " gave: " << result.error;
        EXPECT_TRUE(result.tables.empty()) << c.first;
    }
}
