// The plug-in's shared library, as built for every backend, driving
// emulated FT245R chips through the libftdi1 backend: discovery, the
// identity record, both boards' port traffic and an unplug mid-move.
#include <gtest/gtest.h>

#include <dlfcn.h>

#include <chrono>
#include <climits>
#include <cstdlib>
#include <string>
#include <vector>

#include "BoardPins.h"
#include "EepromImage.h"
#include "PluginTest.h"
#include "UsbTestbed.h"
#include "ftd2xx.h"

using std::chrono::milliseconds;

namespace {

std::vector<std::string> asVector(const DevicesNamesList& list) {
    return std::vector<std::string>(list.begin(), list.end());
}

/// The Cobalt Medium of the plug-in tests: row 3, 72 steps a turn.
ChipSetup cobaltChip() {
    return ChipSetup()
        .withStepper(ftsim::StepperSetup().stepsPerRevolution(72).clockwiseActiveHigh(false))
        .identity(3);
}

/// The Classic: row 1, the DC board, 5 ms a count.
ChipSetup classicChip() {
    return ChipSetup().withDc(ftsim::DcSetup().countNanoseconds(5000000)).identity(1);
}

}  // namespace

class PluginOverUsb : public PluginTest {
protected:
    void TearDown() override {
        UsbTestbed::instance().unplugAll();
        PluginTest::TearDown();
    }
};

TEST_F(PluginOverUsb, RunsOnTheLibftdiBackend) {
    Dl_info info{};
    ASSERT_NE(0, dladdr(reinterpret_cast<void*>(&FT_Open), &info));
    EXPECT_NE(std::string::npos, std::string(info.dli_fname).find("d2xx/ftdi/libftd2xx.so"))
        << info.dli_fname;
    EXPECT_NE(nullptr, dlsym(RTLD_DEFAULT, "tt_d2xx_backend_name"));

    // The plug-in object's code is the one shared library every suite
    // loads, not a copy built for this backend.
    HxVorandelTurntableControl plugin;
    void* const vtable = *reinterpret_cast<void**>(&plugin);
    ASSERT_NE(0, dladdr(vtable, &info));
    char* const loaded = realpath(info.dli_fname, nullptr);
    char* const built = realpath(PLUGIN_PATH, nullptr);
    ASSERT_NE(nullptr, loaded);
    ASSERT_NE(nullptr, built);
    EXPECT_STREQ(built, loaded);
    std::free(loaded);
    std::free(built);
}

TEST_F(PluginOverUsb, DiscoveryNamesTheIdentifiedModelOrListsTheCatalogue) {
    UsbTestbed::instance().plug(cobaltChip());
    {
        HxVorandelTurntableControl plugin;
        EXPECT_EQ(std::vector<std::string>{"Vorandel Cobalt Medium"},
                  asVector(plugin.availableDevices()));
        EXPECT_EQ("", plugin.lastError());
    }
    UsbTestbed::instance().unplugAll();

    UsbTestbed::instance().plug(ChipSetup().withStepper(ftsim::StepperSetup()));
    HxVorandelTurntableControl plugin;
    EXPECT_EQ(10u, plugin.availableDevices().size());
}

TEST_F(PluginOverUsb, DiscoverySkipsChipsHeldElsewhereAndOtherChips) {
    ChipSetup held = cobaltChip();
    held.heldElsewhere = true;
    UsbTestbed::instance().plug(held);
    ChipSetup uart = cobaltChip();
    uart.description = "FT232R USB UART";
    UsbTestbed::instance().plug(uart);

    HxVorandelTurntableControl plugin;
    EXPECT_TRUE(plugin.availableDevices().empty());
    EXPECT_NE(std::string::npos, plugin.lastError().find("cannot be found"));
}

TEST_F(PluginOverUsb, IdentityRecordWrittenIsStoredInTheChipAndDiscovered) {
    // Strings so long that the record does not fit until the serial number
    // is emptied: the plug-in reprograms the strings first.
    ChipSetup setup = ChipSetup().withStepper(ftsim::StepperSetup().stepsPerRevolution(72));
    setup.description = "FT245R USB FIFO, long-named turntable 01";  // 40 characters
    const auto chip = UsbTestbed::instance().plug(setup);
    {
        HxVorandelTurntableControl plugin;
        ASSERT_TRUE(discoverAndOpen(plugin, 3));
        EXPECT_TRUE(plugin.writeToEEPROM(7));
        plugin.closeDevice();
    }
    const std::array<std::uint8_t, 128> image = chip->snapshot().eeprom;
    EXPECT_EQ(2, image[0x13]);  // the serial number was emptied
    const std::size_t userArea = (image[0x12] & 0x7F) + image[0x13];
    EXPECT_EQ(0xD1, image[userArea]);
    EXPECT_EQ(7, image[userArea + 6]);
    EXPECT_TRUE(ftdi_backend::EepromImage(image).checksumValid());

    HxVorandelTurntableControl plugin;
    EXPECT_EQ(std::vector<std::string>{"Vorandel Amber Large"}, asVector(plugin.availableDevices()));
}

TEST_F(PluginOverUsb, StepperMovesPulseTheBoardOneStepPerCount) {
    const auto chip = UsbTestbed::instance().plug(cobaltChip());
    HxVorandelTurntableControl plugin;
    openCobalt(plugin);
    const ChipSnapshot opened = chip->snapshot();
    EXPECT_EQ(1000000u, opened.baudRate);
    EXPECT_EQ(2u, opened.latency);
    EXPECT_EQ(BoardPins::Stepper::OUTPUTS, opened.mask);
    EXPECT_EQ(FT_BITMODE_ASYNC_BITBANG, opened.mode);

    EXPECT_TRUE(plugin.rotateDeviceToAngle(30.0f));
    ASSERT_TRUE(finishMove(plugin));
    EXPECT_EQ(6, chip->snapshot().stepPosition);
    EXPECT_TRUE(plugin.rotateDeviceToAngle(-30.0f));
    ASSERT_TRUE(finishMove(plugin));

    const ChipSnapshot moved = chip->snapshot();
    EXPECT_EQ(-6, moved.stepPosition);
    EXPECT_EQ(18u, moved.steps);
    EXPECT_EQ(0u, moved.stepsLost);
    // Every port write is one single-byte transfer, each after a transmit purge.
    EXPECT_EQ(moved.written.size(), std::size_t(moved.bulkOutTransfers));
    EXPECT_GE(moved.written.size(), 2 * 18u);
    plugin.closeDevice();
}

TEST_F(PluginOverUsb, DcMoveLoadsTheCounterAndWatchesTheStatusLine) {
    const auto chip = UsbTestbed::instance().plug(classicChip());
    HxVorandelTurntableControl plugin;
    ASSERT_TRUE(discoverAndOpen(plugin, 0));
    EXPECT_EQ(BoardPins::Dc::OUTPUTS, chip->snapshot().mask);

    EXPECT_TRUE(plugin.rotateDeviceToAngle(30.0f));
    ASSERT_TRUE(finishMove(plugin));
    const ChipSnapshot moved = chip->snapshot();
    ASSERT_FALSE(moved.dcRuns.empty());
    EXPECT_EQ(6u, moved.dcCounts);
    EXPECT_EQ(15 - 6, moved.dcPresets.front());
    plugin.closeDevice();
}

// The chip vanishes while a port write is on the bus: that write still
// ends, every later one fails with an I/O error, and the move runs out its
// counts instead of hanging in a transfer that can never be collected.
TEST_F(PluginOverUsb, UnplugMidMoveEndsTheMoveAndCloses) {
    const auto chip = UsbTestbed::instance().plug(cobaltChip());
    HxVorandelTurntableControl plugin;
    openCobalt(plugin);
    plugin.SetCountsPerRevolution(720);
    const unsigned takenBefore = chip->snapshot().bulkOutTransfers;
    UsbTestbed::instance().vanishDuringBulkOut(chip, 10);
    EXPECT_TRUE(plugin.rotateDeviceToAngle(180.0f));  // 360 counts

    ASSERT_TRUE(finishMove(plugin, milliseconds(30000)));
    const ChipSnapshot seen = chip->snapshot();
    EXPECT_EQ(takenBefore + 10, seen.bulkOutTransfers);
    EXPECT_LT(seen.steps, 360u);
    UsbTestbed::instance().unplug(chip);
    plugin.closeDevice();
    EXPECT_FALSE(plugin.isTurntableOpened());
    EXPECT_TRUE(plugin.availableDevices().empty());
}
