// The FT245R EEPROM: strings, user area, identity records and failures.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "SimTestSupport.h"
#include "ftsim/Bench.h"

using namespace ftsim;

namespace {

class Eeprom : public ::testing::Test {
protected:
    void build(const DeviceSetup& setup) {
        bench = BenchBuilder().device(setup).buildUnique();
        handle = simtest::open(0);
        ASSERT_NE(handle, nullptr);
    }
    DWORD size() {
        DWORD bytes = 0;
        EXPECT_EQ(FT_EE_UASize(handle, &bytes), FT_STATUS(FT_OK));
        return bytes;
    }
    std::unique_ptr<Bench> bench;
    FT_HANDLE handle = nullptr;
};

}  // namespace

TEST_F(Eeprom, UserAreaIsWhatTheStringsLeave) {
    // 4 + 2 + 15 + 2 = 23 characters: (48 - 23) * 2 bytes.
    build(DeviceSetup().manufacturer("FTDI").manufacturerId("FT").serial("A1"));
    EXPECT_EQ(size(), 50u);
    EXPECT_EQ(bench->device(0).userAreaSize(), 50u);
}

TEST_F(Eeprom, LongStringsLeaveNoUserArea) {
    build(DeviceSetup().manufacturer(std::string(30, 'm')).eepromSerial("0123456789"));
    EXPECT_EQ(size(), 0u);
}

TEST_F(Eeprom, SizeOverrideHolds) {
    build(DeviceSetup().userAreaSize(7));
    EXPECT_EQ(size(), 7u);
}

TEST_F(Eeprom, IdentityHelperWritesTheRecordBytes) {
    build(DeviceSetup().identity(3));
    unsigned char bytes[8] = {};
    DWORD read = 0;
    ASSERT_EQ(FT_EE_UARead(handle, bytes, 8, &read), FT_STATUS(FT_OK));
    ASSERT_EQ(read, 8u);
    const unsigned char expected[8] = {0xD1, 0xF4, 0x01, 0x00, 0x01, 0x00, 0x03, 0x00};
    EXPECT_EQ(std::memcmp(bytes, expected, 8), 0);

    bench->device(0).setIdentity(-1, 2, 0x0102);
    ASSERT_EQ(FT_EE_UARead(handle, bytes, 8, &read), FT_STATUS(FT_OK));
    const unsigned char changed[8] = {0xD1, 0xF4, 0x02, 0x01, 0x02, 0x00, 0xFF, 0xFF};
    EXPECT_EQ(std::memcmp(bytes, changed, 8), 0);
}

TEST_F(Eeprom, UserAreaWriteIsReadBack) {
    build(DeviceSetup());
    unsigned char record[8] = {0xD1, 0xF4, 1, 0, 1, 0, 5, 0};
    ASSERT_EQ(FT_EE_UAWrite(handle, record, 8), FT_STATUS(FT_OK));
    const std::vector<std::uint8_t> area = bench->device(0).userArea();
    ASSERT_GE(area.size(), 8u);
    EXPECT_EQ(std::vector<std::uint8_t>(area.begin(), area.begin() + 8),
              std::vector<std::uint8_t>(record, record + 8));
}

TEST_F(Eeprom, WritesBeyondTheUserAreaStoreNothing) {
    build(DeviceSetup().userAreaSize(7));
    unsigned char record[8] = {0xD1, 0xF4, 1, 0, 1, 0, 5, 0};
    EXPECT_NE(FT_EE_UAWrite(handle, record, 8), FT_STATUS(FT_OK));
    EXPECT_EQ(bench->device(0).userArea(), std::vector<std::uint8_t>(7, 0));
    unsigned char bytes[8] = {};
    DWORD read = 99;
    EXPECT_EQ(FT_EE_UARead(handle, bytes, 8, &read), FT_STATUS(FT_OK));
    EXPECT_EQ(read, 7u);
}

TEST_F(Eeprom, ReadFillsTheCallersBuffersWithoutOverrun) {
    build(DeviceSetup()
              .manufacturer(std::string(40, 'M'))
              .manufacturerId("FT")
              .eepromDescription("FT245R USB FIFO")
              .eepromSerial(std::string(20, 'S')));
    // Buffers of the documented sizes, each followed by guard bytes.
    char manufacturer[32 + 4], manufacturerId[16 + 4], description[64 + 4], serial[16 + 4];
    std::memset(manufacturer, '#', sizeof manufacturer);
    std::memset(manufacturerId, '#', sizeof manufacturerId);
    std::memset(description, '#', sizeof description);
    std::memset(serial, '#', sizeof serial);
    FT_PROGRAM_DATA data{};
    data.Signature2 = 0xFFFFFFFF;
    data.Version = 5;
    data.Manufacturer = manufacturer;
    data.ManufacturerId = manufacturerId;
    data.Description = description;
    data.SerialNumber = serial;
    ASSERT_EQ(FT_EE_Read(handle, &data), FT_STATUS(FT_OK));
    EXPECT_EQ(std::string(manufacturer), std::string(31, 'M'));
    EXPECT_STREQ(manufacturerId, "FT");
    EXPECT_STREQ(description, "FT245R USB FIFO");
    EXPECT_EQ(std::string(serial), std::string(15, 'S'));
    EXPECT_EQ(std::string(manufacturer + 32, 4), "####");
    EXPECT_EQ(std::string(serial + 16, 4), "####");
    EXPECT_EQ(data.VendorId, 0x0403);
    EXPECT_EQ(data.ProductId, 0x6001);
    EXPECT_EQ(data.Manufacturer, manufacturer);  // the caller's pointers stay
}

TEST_F(Eeprom, ProgramStoresStringsAndResizesTheUserArea) {
    build(DeviceSetup()
              .manufacturer("Manufacturer Name Here")
              .manufacturerId("MANUFA")
              .eepromDescription("FT245R USB FIFO")
              .eepromSerial("SERIAL01")
              .identity(4));
    EXPECT_EQ(size(), 0u);  // 22 + 6 + 15 + 8 = 51 characters
    char manufacturer[32], manufacturerId[16], description[64], serial[16];
    FT_PROGRAM_DATA data{};
    data.Signature2 = 0xFFFFFFFF;
    data.Version = 5;
    data.Manufacturer = manufacturer;
    data.ManufacturerId = manufacturerId;
    data.Description = description;
    data.SerialNumber = serial;
    ASSERT_EQ(FT_EE_Read(handle, &data), FT_STATUS(FT_OK));
    char empty[1] = {'\0'};
    data.ManufacturerId = empty;
    data.SerialNumber = empty;
    ASSERT_EQ(FT_EE_Program(handle, &data), FT_STATUS(FT_OK));
    EXPECT_EQ(bench->device(0).manufacturerId(), "");
    EXPECT_EQ(bench->device(0).eepromSerial(), "");
    EXPECT_EQ(bench->device(0).manufacturer(), "Manufacturer Name Here");
    EXPECT_EQ(bench->device(0).eepromPrograms(), 1u);
    EXPECT_EQ(size(), 22u);  // (48 - 37) * 2
}

TEST_F(Eeprom, EveryCallCanBeMadeToFail) {
    build(DeviceSetup().identity(3));
    Device& device = bench->device(0);
    DWORD value = 0;
    unsigned char bytes[8] = {};
    FT_PROGRAM_DATA data{};

    device.failEeprom(EepromCall::UASize, FT_EEPROM_NOT_PRESENT, 1);
    EXPECT_EQ(FT_EE_UASize(handle, &value), FT_STATUS(FT_EEPROM_NOT_PRESENT));
    EXPECT_EQ(FT_EE_UASize(handle, &value), FT_STATUS(FT_OK));  // one call only

    device.failEeprom(EepromCall::UARead, FT_EEPROM_READ_FAILED);
    EXPECT_EQ(FT_EE_UARead(handle, bytes, 8, &value), FT_STATUS(FT_EEPROM_READ_FAILED));
    EXPECT_EQ(FT_EE_UARead(handle, bytes, 8, &value), FT_STATUS(FT_EEPROM_READ_FAILED));

    device.failEeprom(EepromCall::UAWrite, FT_EEPROM_WRITE_FAILED);
    EXPECT_EQ(FT_EE_UAWrite(handle, bytes, 8), FT_STATUS(FT_EEPROM_WRITE_FAILED));
    EXPECT_EQ(device.userArea()[0], 0xD1);  // untouched

    device.failEeprom(EepromCall::Read, FT_EEPROM_READ_FAILED);
    EXPECT_EQ(FT_EE_Read(handle, &data), FT_STATUS(FT_EEPROM_READ_FAILED));
    device.failEeprom(EepromCall::Program, FT_EEPROM_WRITE_FAILED);
    EXPECT_EQ(FT_EE_Program(handle, &data), FT_STATUS(FT_EEPROM_WRITE_FAILED));
    EXPECT_EQ(device.eepromPrograms(), 0u);

    device.clearEepromFaults();
    EXPECT_EQ(FT_EE_UARead(handle, bytes, 8, &value), FT_STATUS(FT_OK));
    EXPECT_EQ(value, 8u);
}

TEST_F(Eeprom, ShortUserAreaReadReportsFewerBytes) {
    build(DeviceSetup().identity(3));
    bench->device(0).shortUserAreaRead(5, 1);
    unsigned char bytes[8] = {};
    DWORD read = 0;
    EXPECT_EQ(FT_EE_UARead(handle, bytes, 8, &read), FT_STATUS(FT_OK));
    EXPECT_EQ(read, 5u);
    EXPECT_EQ(bytes[5], 0);  // only five bytes were delivered
    EXPECT_EQ(FT_EE_UARead(handle, bytes, 8, &read), FT_STATUS(FT_OK));
    EXPECT_EQ(read, 8u);
}
