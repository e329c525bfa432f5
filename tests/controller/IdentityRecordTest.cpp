#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "IdentityRecord.h"
#include "TestController.h"
#include "ftsim/Bench.h"
#include "ftsim/BenchBuilder.h"
#include "ftsim/DeviceSetup.h"

using ftsim::BenchBuilder;
using ftsim::DeviceSetup;
using Bytes = std::vector<std::uint8_t>;

namespace {

Bytes firstEight(const Bytes& userArea) {
    return Bytes(userArea.begin(), userArea.begin() + std::min<std::size_t>(8, userArea.size()));
}

class IdentityRecord : public ::testing::Test {
protected:
    void open(const DeviceSetup& config) {
        bench = BenchBuilder().device(config).buildUnique();
        ASSERT_TRUE(controller.openDevice(0, nullptr));
        bench->trace().clear();
    }
    void TearDown() override { controller.closeDevice(); }

    std::unique_ptr<ftsim::Bench> bench;
    TestController controller;
};

}  // namespace

TEST_F(IdentityRecord, WritesTheEightRecordBytes) {
    open(DeviceSetup().userArea(Bytes(16, 0xEE)));

    EXPECT_TRUE(controller.writeToEEPROM(5));

    const Bytes userArea = bench->device(0).userArea();
    EXPECT_EQ(firstEight(userArea), (Bytes{0xD1, 0xF4, 0x01, 0x00, 0x01, 0x00, 0x05, 0x00}));
    ASSERT_GT(userArea.size(), 8u);
    EXPECT_EQ(userArea[8], 0xEE) << "bytes after the record are not written";
    EXPECT_EQ(callNames(bench->trace().entries(0)),
              (std::vector<std::string>{"FT_EE_UASize", "FT_EE_UAWrite"}));
    EXPECT_EQ(bench->trace().entries(0)[1].requested(), 8u);
    EXPECT_EQ(bench->device(0).eepromPrograms(), 0u);

    short id = 0;
    EXPECT_TRUE(controller.readFromEEPROM(&id));
    EXPECT_EQ(id, 5);
}

TEST_F(IdentityRecord, MinusOneIsStoredAsFFFF) {
    open(DeviceSetup());
    EXPECT_TRUE(controller.writeToEEPROM(-1));
    EXPECT_EQ(firstEight(bench->device(0).userArea()),
              (Bytes{0xD1, 0xF4, 0x01, 0x00, 0x01, 0x00, 0xFF, 0xFF}));
    controller.closeDevice();

    const FTDIController::DeviceIndexes found =
        FTDIController::availableDeviceIndexes("245R", FTDIController::VorandelTurntable);
    ASSERT_EQ(found.size(), 1u);
    EXPECT_EQ(found[0].deviceID, -1);
}

TEST_F(IdentityRecord, ReadsExactlyEightBytes) {
    open(DeviceSetup().identity(3));
    short id = 0;
    EXPECT_TRUE(controller.readFromEEPROM(&id));
    EXPECT_EQ(id, 3);
    EXPECT_EQ(callNames(bench->trace().entries(0)),
              (std::vector<std::string>{"FT_EE_UASize", "FT_EE_UARead"}));
    EXPECT_EQ(bench->trace().entries(0)[1].requested(), 8u);
}

TEST_F(IdentityRecord, UserAreaBelowEightBytesIsNotRead) {
    open(DeviceSetup().identity(3).userAreaSize(7));
    short id = 42;
    EXPECT_FALSE(controller.readFromEEPROM(&id));
    EXPECT_EQ(id, 42);
    EXPECT_EQ(bench->trace().count("FT_EE_UARead"), 0u);
}

TEST_F(IdentityRecord, ShortOrFailedReadsLeaveTheIdUnchanged) {
    open(DeviceSetup().identity(3));
    short id = 42;
    bench->device(0).shortUserAreaRead(7, 1);
    EXPECT_FALSE(controller.readFromEEPROM(&id));
    EXPECT_EQ(id, 42);

    bench->device(0).failEeprom(ftsim::EepromCall::UARead, FT_EEPROM_READ_FAILED, 1);
    EXPECT_FALSE(controller.readFromEEPROM(&id));
    EXPECT_EQ(id, 42);

    bench->device(0).failEeprom(ftsim::EepromCall::UASize, FT_IO_ERROR, 1);
    EXPECT_FALSE(controller.readFromEEPROM(&id));
    EXPECT_EQ(id, 42);

    EXPECT_TRUE(controller.readFromEEPROM(&id));
    EXPECT_EQ(id, 3);
}

TEST_F(IdentityRecord, RecordOfAnotherKindOrSignatureIsRejected) {
    open(DeviceSetup().identity(3, 2));
    short id = 42;
    EXPECT_FALSE(controller.readFromEEPROM(&id));
    bench->device(0).setUserArea({0xF4, 0xD1, 1, 0, 1, 0, 3, 0});
    EXPECT_FALSE(controller.readFromEEPROM(&id));
    EXPECT_EQ(id, 42);
}

TEST_F(IdentityRecord, SizeQueryFailureStopsTheWrite) {
    open(DeviceSetup());
    bench->device(0).failEeprom(ftsim::EepromCall::UASize, FT_IO_ERROR, 1);
    EXPECT_FALSE(controller.writeToEEPROM(5));
    EXPECT_EQ(bench->trace().count("FT_EE_UAWrite"), 0u);
}

TEST_F(IdentityRecord, FailedUserAreaWriteReportsFalse) {
    open(DeviceSetup());
    bench->device(0).failEeprom(ftsim::EepromCall::UAWrite, FT_EEPROM_WRITE_FAILED, 1);
    EXPECT_FALSE(controller.writeToEEPROM(5));
}

TEST_F(IdentityRecord, SmallUserAreaIsEnlargedByEmptyingSerialAndManufacturerId) {
    open(DeviceSetup()
             .manufacturer("Vorandel")
             .manufacturerId("VD")
             .eepromDescription("FT245R USB FIFO")
             .eepromSerial("VD123456")
             .userAreaSize(4));

    EXPECT_TRUE(controller.writeToEEPROM(5));

    ftsim::Device& device = bench->device(0);
    EXPECT_EQ(device.eepromPrograms(), 1u);
    EXPECT_EQ(device.eepromSerial(), "");
    EXPECT_EQ(device.manufacturerId(), "");
    EXPECT_EQ(device.manufacturer(), "Vorandel");
    EXPECT_EQ(device.eepromDescription(), "FT245R USB FIFO");
    EXPECT_EQ(firstEight(device.userArea()),
              (Bytes{0xD1, 0xF4, 0x01, 0x00, 0x01, 0x00, 0x05, 0x00}));
    EXPECT_EQ(callNames(bench->trace().entries(0)),
              (std::vector<std::string>{"FT_EE_UASize", "FT_EE_Read", "FT_EE_Program",
                                        "FT_EE_UASize", "FT_EE_UAWrite"}));
}

TEST_F(IdentityRecord, NoReprogrammingWhenSerialAndManufacturerIdAreAlreadyEmpty) {
    open(DeviceSetup().manufacturerId("").eepromSerial("").userAreaSize(4));
    EXPECT_FALSE(controller.writeToEEPROM(5));
    EXPECT_EQ(bench->device(0).eepromPrograms(), 0u);
    EXPECT_EQ(bench->trace().count("FT_EE_UAWrite"), 0u);
}

TEST_F(IdentityRecord, ReprogramsAtMostOncePerCall) {
    // Long manufacturer and description strings leave no room even after the
    // serial number and manufacturer id are emptied.
    open(DeviceSetup()
             .manufacturer("Vorandel Motion Systems")
             .manufacturerId("VD")
             .eepromDescription("FT245R USB FIFO turntable bx")
             .eepromSerial("VD123456"));
    ASSERT_LT(bench->device(0).userAreaSize(), 8u);

    EXPECT_FALSE(controller.writeToEEPROM(5));
    EXPECT_EQ(bench->device(0).eepromPrograms(), 1u);
    EXPECT_EQ(bench->trace().count("FT_EE_Program"), 1u);
    EXPECT_EQ(bench->trace().count("FT_EE_UAWrite"), 0u);
}

TEST_F(IdentityRecord, FailedEepromReadOrProgramStopsTheWrite) {
    open(DeviceSetup().userAreaSize(4));
    bench->device(0).failEeprom(ftsim::EepromCall::Read, FT_EEPROM_READ_FAILED, 1);
    EXPECT_FALSE(controller.writeToEEPROM(5));
    EXPECT_EQ(bench->trace().count("FT_EE_Program"), 0u);

    bench->device(0).failEeprom(ftsim::EepromCall::Program, FT_EEPROM_WRITE_FAILED, 1);
    EXPECT_FALSE(controller.writeToEEPROM(5));
    EXPECT_EQ(bench->device(0).eepromPrograms(), 0u);
    EXPECT_EQ(bench->trace().count("FT_EE_UAWrite"), 0u);
}

// The reader on its own, as discovery uses it on a briefly opened candidate
// and the open controller through its port lock.
TEST(IdentityRecordReader, ReadsTheEncodedRecordOfItsKindOnly) {
    const auto bench = BenchBuilder().device(DeviceSetup().userArea(Bytes(16, 0))).buildUnique();
    FT_HANDLE handle = nullptr;
    ASSERT_EQ(FT_Open(0, &handle), FT_OK);
    unsigned char bytes[IDENTITY_RECORD_SIZE];
    encodeIdentityRecord(FTDIController::VorandelTurntable, -2, bytes);
    ASSERT_EQ(FT_EE_UAWrite(handle, bytes, IDENTITY_RECORD_SIZE), FT_OK);

    short id = 0;
    EXPECT_TRUE(readIdentityRecord(handle, FTDIController::VorandelTurntable, &id));
    EXPECT_EQ(id, -2);
    id = 9;
    EXPECT_FALSE(readIdentityRecord(handle, FTDIController::VorandelRail, &id));
    EXPECT_EQ(id, 9);
    FT_Close(handle);
}

TEST(IdentityRecordReader, AsksTheAccessOnceForEveryCall) {
    const auto bench = BenchBuilder().device(DeviceSetup().userArea(Bytes(16, 0))).buildUnique();
    FT_HANDLE handle = nullptr;
    ASSERT_EQ(FT_Open(0, &handle), FT_OK);
    int accesses = 0;
    const DeviceAccess counted = [&](const DeviceCall& call) {
        ++accesses;
        return call(handle);
    };

    EXPECT_FALSE(readIdentityRecord(counted, FTDIController::VorandelTurntable, nullptr));
    EXPECT_EQ(accesses, 2) << "the user-area size and the record, each in an access of its own";
    EXPECT_EQ(callNames(bench->trace().entries(0)),
              (std::vector<std::string>{"FT_Open", "FT_EE_UASize", "FT_EE_UARead"}));
    FT_Close(handle);
}
