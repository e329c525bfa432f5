// availableDevices(): the name, the catalogue or the message for every set-up
// of the bench, and which device and model it leaves picked for opening.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "PluginTest.h"
#include "ftsim/Bench.h"
#include "ftsim/BenchBuilder.h"
#include "ftsim/DeviceSetup.h"
#include "ftsim/StepperSetup.h"

namespace {

const std::vector<std::string> kLabels = {
    "Vorandel Generic (Expert use)",   "Vorandel Classic",      "Vorandel Compact",
    "Vorandel Cobalt Medium",          "Vorandel Cobalt Large", "Vorandel Cobalt Extra Large",
    "Vorandel Cobalt Large, Series 2", "Vorandel Amber Large",  "Vorandel Amber Medium",
    "Vorandel Amber Extra Large",
};

const std::string kNotFoundMessage =
    "The turntable device cannot be found.\n"
    "\n"
    "- make sure driver is installed\n"
    "- make sure turntable is powered on\n"
    "- make sure turntable is connected via USB\n";

std::vector<std::string> asVector(const DevicesNamesList& list) {
    return std::vector<std::string>(list.begin(), list.end());
}

ftsim::DeviceSetup turntable() {
    return ftsim::DeviceSetup().stepper(ftsim::StepperSetup().stepsPerRevolution(72));
}

}  // namespace

class Discovery : public PluginTest {};

TEST_F(Discovery, IdentifiedTurntableListsOnlyItsModelName) {
    for (int16_t row = 0; row < 10; ++row) {
        ftsim::Bench bench = ftsim::BenchBuilder().device(turntable().identity(row)).build();
        HxVorandelTurntableControl plugin;
        EXPECT_EQ(std::vector<std::string>{kLabels[row]}, asVector(plugin.availableDevices()))
            << "row " << row;
        EXPECT_EQ("", plugin.lastError());
    }
}

TEST_F(Discovery, UnidentifiedTurntableListsTheWholeCatalogueInRowOrder) {
    ftsim::Bench bench = ftsim::BenchBuilder().device(turntable()).build();
    HxVorandelTurntableControl plugin;
    EXPECT_EQ(kLabels, asVector(plugin.availableDevices()));
    // The same names, for a host to look any row up in.
    EXPECT_EQ(kLabels, asVector(HxVorandelTurntableControl::catalogueNames()));
}

TEST_F(Discovery, NothingFoundGivesAnEmptyListAndTheFiveLineMessage) {
    ftsim::Bench bench = ftsim::BenchBuilder()
                             .device(turntable().description("FT232R USB UART"))
                             .device(turntable().description("ft245r lower case"))
                             .build();
    HxVorandelTurntableControl plugin;
    EXPECT_TRUE(plugin.availableDevices().empty());
    EXPECT_EQ(kNotFoundMessage, plugin.lastError());
}

TEST_F(Discovery, EmptyBenchGivesTheMessageAndOpenFindsNoDevice) {
    ftsim::Bench bench;
    HxVorandelTurntableControl plugin;
    EXPECT_TRUE(plugin.availableDevices().empty());
    EXPECT_EQ(kNotFoundMessage, plugin.lastError());

    plugin.openDevice(0);
    EXPECT_FALSE(plugin.isTurntableOpened());
    EXPECT_EQ("No available device found.", plugin.lastError());
}

TEST_F(Discovery, DiscoveryLeavesNoDeviceOpen) {
    ftsim::Bench bench =
        ftsim::BenchBuilder().device(turntable().identity(3)).device(turntable()).build();
    HxVorandelTurntableControl plugin;
    plugin.availableDevices();
    EXPECT_FALSE(bench.device(0).isOpen());
    EXPECT_FALSE(bench.device(1).isOpen());
}

TEST_F(Discovery, FirstIdentifiedDeviceWinsAndIsTheOneOpened) {
    ftsim::Bench bench = ftsim::BenchBuilder()
                             .device(turntable())
                             .device(turntable().identity(2))
                             .device(turntable().identity(5))
                             .build();
    HxVorandelTurntableControl plugin;
    EXPECT_EQ(std::vector<std::string>{"Vorandel Compact"}, asVector(plugin.availableDevices()));

    plugin.openDevice(0);
    ASSERT_TRUE(plugin.isTurntableOpened());
    EXPECT_FALSE(bench.device(0).isOpen());
    EXPECT_TRUE(bench.device(1).isOpen());
    EXPECT_FALSE(bench.device(2).isOpen());
    EXPECT_EQ(6400u, plugin.stepsPerRevolution());
}

TEST_F(Discovery, DevicesOpenElsewhereAreSkipped) {
    ftsim::Bench bench = ftsim::BenchBuilder()
                             .device(turntable().identity(3).openElsewhere())
                             .device(turntable().openElsewhere())
                             .build();
    HxVorandelTurntableControl plugin;
    EXPECT_TRUE(plugin.availableDevices().empty());
    EXPECT_EQ(kNotFoundMessage, plugin.lastError());
}

TEST_F(Discovery, DeviceThisObjectHoldsOpenIsSkipped) {
    ftsim::Bench bench = ftsim::BenchBuilder().device(turntable().identity(3)).build();
    HxVorandelTurntableControl plugin;
    ASSERT_TRUE(discoverAndOpen(plugin, 0));
    EXPECT_TRUE(plugin.availableDevices().empty());
    EXPECT_EQ(kNotFoundMessage, plugin.lastError());
    EXPECT_TRUE(plugin.isTurntableOpened());
}

TEST_F(Discovery, RecordNamingNoCatalogueRowCountsAsUnidentified) {
    for (int16_t id : {int16_t(10), int16_t(-1), int16_t(-5), int16_t(32767)}) {
        ftsim::Bench bench = ftsim::BenchBuilder().device(turntable().identity(id)).build();
        HxVorandelTurntableControl plugin;
        EXPECT_EQ(kLabels, asVector(plugin.availableDevices())) << "id " << id;

        // Row 0 of the catalogue is the generic model, on that very device.
        plugin.openDevice(0);
        ASSERT_TRUE(plugin.isTurntableOpened()) << "id " << id;
        EXPECT_TRUE(bench.device(0).isOpen());
        EXPECT_EQ(0u, plugin.stepsPerRevolution()) << "id " << id;
        plugin.closeDevice();
    }
}

TEST_F(Discovery, ValidRecordAfterOneNamingNoRowIsTheIdentifiedDevice) {
    ftsim::Bench bench = ftsim::BenchBuilder()
                             .device(turntable().identity(12))
                             .device(turntable().identity(4))
                             .build();
    HxVorandelTurntableControl plugin;
    EXPECT_EQ(std::vector<std::string>{"Vorandel Cobalt Large"},
              asVector(plugin.availableDevices()));
    plugin.openDevice(0);
    EXPECT_TRUE(bench.device(1).isOpen());
    EXPECT_EQ(12062u, plugin.stepsPerRevolution());
}

TEST_F(Discovery, UnidentifiedDeviceAfterAnIdentifiedOneOpensTheGenericModel) {
    ftsim::Bench bench = ftsim::BenchBuilder().device(turntable().identity(4)).build();
    HxVorandelTurntableControl plugin;
    ASSERT_EQ(1u, plugin.availableDevices().size());

    // The identified table goes, an unidentified one comes.
    bench.device(0).unplug();
    const int replacement = bench.addDevice(turntable());
    EXPECT_EQ(kLabels, asVector(plugin.availableDevices()));

    plugin.openDevice(0);
    ASSERT_TRUE(plugin.isTurntableOpened());
    EXPECT_TRUE(bench.device(replacement).isOpen());
    EXPECT_EQ(0u, plugin.stepsPerRevolution());
    ASSERT_FALSE(openReports().empty());
    EXPECT_EQ(0u, openReports().back().index);
    EXPECT_TRUE(openReports().back().canMoveCounterclockwise);
}

TEST_F(Discovery, NothingFoundKeepsTheEarlierPick) {
    ftsim::Bench bench = ftsim::BenchBuilder().device(turntable().identity(6)).build();
    HxVorandelTurntableControl plugin;
    ASSERT_EQ(1u, plugin.availableDevices().size());

    bench.device(0).unplug();
    EXPECT_TRUE(plugin.availableDevices().empty());
    bench.device(0).plugIn();

    // Opened without a new discovery: still row 6 on device 0.
    plugin.openDevice(0);
    ASSERT_TRUE(plugin.isTurntableOpened());
    EXPECT_TRUE(bench.device(0).isOpen());
    EXPECT_EQ(11200u, plugin.stepsPerRevolution());
}

TEST_F(Discovery, UnidentifiedPassPicksTheFirstMatchingDevice) {
    ftsim::Bench bench = ftsim::BenchBuilder()
                             .device(turntable().description("FT232R USB UART"))
                             .device(turntable().identity(3, 2))
                             .device(turntable())
                             .build();
    HxVorandelTurntableControl plugin;
    // A rail's record does not identify a turntable; that device comes first.
    EXPECT_EQ(kLabels, asVector(plugin.availableDevices()));
    plugin.openDevice(3);
    EXPECT_TRUE(bench.device(1).isOpen());
    EXPECT_FALSE(bench.device(2).isOpen());
}

TEST_F(Discovery, IdentityRecordWrittenThroughThePluginIsReadBackAndDiscovered) {
    ftsim::Bench bench = ftsim::BenchBuilder().device(turntable()).build();
    HxVorandelTurntableControl plugin;
    ASSERT_TRUE(discoverAndOpen(plugin, 0));

    ASSERT_TRUE(plugin.writeToEEPROM(5));
    short readBack = -1;
    ASSERT_TRUE(plugin.readFromEEPROM(&readBack));
    EXPECT_EQ(5, readBack);
    const std::vector<uint8_t> userArea = bench.device(0).userArea();
    ASSERT_GE(userArea.size(), 8u);
    EXPECT_EQ((std::vector<uint8_t>{0xD1, 0xF4, 0x01, 0x00, 0x01, 0x00, 0x05, 0x00}),
              std::vector<uint8_t>(userArea.begin(), userArea.begin() + 8));

    plugin.closeDevice();
    EXPECT_EQ(std::vector<std::string>{"Vorandel Cobalt Extra Large"},
              asVector(plugin.availableDevices()));
}

// Several chips: the listing keeps every turntable chip with what a host
// shows for it, also those it cannot use, and a position chosen from it is
// the device that opens, with its own model.
TEST_F(Discovery, AttachedTurntablesListEveryChipAndAPositionOpensThatOne) {
    ftsim::Bench bench =
        ftsim::BenchBuilder()
            .device(turntable().identity(3).serial("S-FAIL").failOpen(FT_DEVICE_NOT_OPENED))
            .device(turntable().description("FT232R USB UART").serial("S-UART"))
            .device(turntable().serial("S-BLANK"))
            .device(turntable().identity(7).serial("S-AMBER"))
            // Another process's chip shows neither description nor serial.
            .device(turntable().identity(2).serial("S-HELD").openElsewhere())
            .build();
    auto tables = HxVorandelTurntableControl::attachedTurntables();
    ASSERT_EQ(3u, tables.size());
    const struct {
        int deviceIndex;
        const char* serial;
        int row;
        bool openable;
    } expected[] = {{0, "S-FAIL", -1, false}, {2, "S-BLANK", -1, true}, {3, "S-AMBER", 7, true}};
    for (size_t i = 0; i < tables.size(); ++i) {
        EXPECT_EQ(i, tables[i].position);
        EXPECT_EQ(expected[i].deviceIndex, tables[i].deviceIndex) << i;
        EXPECT_EQ(expected[i].serial, tables[i].serial) << i;
        EXPECT_EQ("FT245R USB FIFO", tables[i].description) << i;
        EXPECT_EQ(expected[i].row, tables[i].catalogueRow) << i;
        EXPECT_EQ(expected[i].openable, tables[i].openable) << i;
        EXPECT_EQ(expected[i].openable, tables[i].problem.empty()) << i;
    }
    EXPECT_NE(std::string::npos, tables[0].problem.find("FT_DEVICE_NOT_OPENED"));
    for (int device = 0; device < 4; ++device) {
        EXPECT_FALSE(bench.device(device).isOpen()) << device;  // the listing closed all
    }

    HxVorandelTurntableControl plugin;
    EXPECT_EQ(std::vector<std::string>{"Vorandel Amber Large"},
              asVector(plugin.availableDevicesAt(2)));
    plugin.openDevice(0);
    ASSERT_TRUE(plugin.isTurntableOpened());
    EXPECT_TRUE(bench.device(3).isOpen());
    EXPECT_FALSE(bench.device(2).isOpen());
    // Held by this process: listed, not openable, its record not read.
    tables = HxVorandelTurntableControl::attachedTurntables();
    ASSERT_EQ(3u, tables.size());
    EXPECT_FALSE(tables[2].openable);
    EXPECT_EQ(-1, tables[2].catalogueRow);
    EXPECT_NE(std::string::npos, tables[2].problem.find("already open"));
    plugin.closeDevice();

    // The unidentified one: the catalogue, and the row asked for.
    EXPECT_EQ(kLabels, asVector(plugin.availableDevicesAt(1)));
    plugin.openDevice(2);
    ASSERT_TRUE(plugin.isTurntableOpened());
    EXPECT_TRUE(bench.device(2).isOpen());
    EXPECT_EQ(6400u, plugin.stepsPerRevolution());  // the Compact's preset
    plugin.closeDevice();

    // A chip that cannot be opened, or no such position: nothing remembered,
    // so the next open still opens the table picked before.
    EXPECT_TRUE(plugin.availableDevicesAt(0).empty());
    EXPECT_NE(std::string::npos, plugin.lastError().find("S-FAIL"));
    EXPECT_TRUE(plugin.availableDevicesAt(3).empty());
    EXPECT_EQ("No turntable at position 3: 3 attached.", plugin.lastError());
    plugin.openDevice(2);
    ASSERT_TRUE(plugin.isTurntableOpened());
    EXPECT_TRUE(bench.device(2).isOpen());
}
