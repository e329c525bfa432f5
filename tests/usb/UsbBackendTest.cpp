// The libftdi1 backend's D2XX functions on an FT245R emulated at the USB
// level: what the plug-in relies on, status for status.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include <ftdi.h>

#include "EepromImage.h"
#include "UsbTestbed.h"
#include "ftd2xx.h"

namespace {

class UsbBackend : public ::testing::Test {
protected:
    void TearDown() override {
        for (FT_HANDLE handle : m_handles) {
            FT_Close(handle);
        }
        UsbTestbed::instance().unplugAll();
    }

    std::vector<FT_DEVICE_LIST_INFO_NODE> list() {
        DWORD count = 0;
        EXPECT_EQ(FT_STATUS(FT_OK), FT_CreateDeviceInfoList(&count));
        std::vector<FT_DEVICE_LIST_INFO_NODE> records(count);
        DWORD filled = count;
        if (count > 0) {
            EXPECT_EQ(FT_STATUS(FT_OK), FT_GetDeviceInfoList(records.data(), &filled));
        }
        records.resize(filled);
        return records;
    }

    FT_HANDLE open(int index) {
        FT_HANDLE handle = nullptr;
        EXPECT_EQ(FT_STATUS(FT_OK), FT_Open(index, &handle));
        if (handle != nullptr) {
            m_handles.push_back(handle);
        }
        return handle;
    }

    void close(FT_HANDLE handle) {
        EXPECT_EQ(FT_STATUS(FT_OK), FT_Close(handle));
        m_handles.erase(std::remove(m_handles.begin(), m_handles.end(), handle), m_handles.end());
    }

    std::vector<FT_HANDLE> m_handles;
};

ChipSetup stepperChip() {
    return ChipSetup().withStepper(ftsim::StepperSetup().stepsPerRevolution(72));
}

}  // namespace

TEST_F(UsbBackend, ListsTheChipWithItsIdsStringsAndLocation) {
    UsbTestbed::instance().plug(stepperChip());
    const std::vector<FT_DEVICE_LIST_INFO_NODE> records = list();
    ASSERT_EQ(1u, records.size());
    EXPECT_EQ(0u, records[0].Flags);
    EXPECT_EQ(unsigned(FT_DEVICE_232R), records[0].Type);
    EXPECT_EQ(0x04036001u, records[0].ID);
    EXPECT_EQ(1u, records[0].LocId >> 4);  // bus 1
    EXPECT_STREQ("A1", records[0].SerialNumber);
    EXPECT_STREQ("FT245R USB FIFO", records[0].Description);
    EXPECT_EQ(nullptr, records[0].ftHandle);
}

TEST_F(UsbBackend, WrittenByteDrivesTheStepperBoardPins) {
    const auto chip = UsbTestbed::instance().plug(stepperChip());
    FT_HANDLE handle = open(0);
    ASSERT_NE(nullptr, handle);
    ASSERT_EQ(FT_STATUS(FT_OK), FT_SetBitMode(handle, 0xFF, FT_BITMODE_ASYNC_BITBANG));
    for (const unsigned char byte : {0x01, 0x05, 0x01}) {  // enabled, step high, step low
        DWORD written = 0;
        unsigned char value = byte;
        ASSERT_EQ(FT_STATUS(FT_OK), FT_Write(handle, &value, 1, &written));
        EXPECT_EQ(1u, written);
    }
    const ChipSnapshot seen = chip->snapshot();
    EXPECT_EQ(0xFF, seen.mask);
    EXPECT_EQ(FT_BITMODE_ASYNC_BITBANG, seen.mode);
    EXPECT_EQ(0x01, seen.lines);
    EXPECT_EQ(1u, seen.steps);
    EXPECT_EQ(-1, seen.stepPosition);  // direction line low: counter-clockwise
}

TEST_F(UsbBackend, OpenedFlagShowsHandlesHereAndChipsHeldElsewhere) {
    UsbTestbed::instance().plug(stepperChip());
    ChipSetup held = stepperChip();
    held.heldElsewhere = true;
    held.serialNumber = "B2";
    UsbTestbed::instance().plug(held);

    FT_HANDLE handle = open(0);
    std::vector<FT_DEVICE_LIST_INFO_NODE> records = list();
    ASSERT_EQ(2u, records.size());
    EXPECT_EQ(unsigned(FT_FLAGS_OPENED), records[0].Flags);
    EXPECT_EQ(handle, records[0].ftHandle);
    EXPECT_STREQ("A1", records[0].SerialNumber);
    // Held by another process: only the flag is known.
    EXPECT_EQ(unsigned(FT_FLAGS_OPENED), records[1].Flags);
    EXPECT_EQ(0u, records[1].ID);
    EXPECT_STREQ("", records[1].Description);

    FT_HANDLE other = nullptr;
    EXPECT_EQ(FT_STATUS(FT_DEVICE_NOT_OPENED), FT_Open(0, &other));
    EXPECT_EQ(FT_STATUS(FT_DEVICE_NOT_OPENED), FT_Open(1, &other));
    EXPECT_EQ(FT_STATUS(FT_DEVICE_NOT_FOUND), FT_Open(2, &other));

    close(handle);
    records = list();
    EXPECT_EQ(0u, records[0].Flags);
    EXPECT_EQ(nullptr, records[0].ftHandle);
    EXPECT_EQ(FT_STATUS(FT_INVALID_HANDLE), FT_Close(handle));
}

TEST_F(UsbBackend, BaudLatencyBitModeAndPurgesReachTheChipAsD2xxMeansThem) {
    const auto chip = UsbTestbed::instance().plug(stepperChip());
    FT_HANDLE handle = open(0);
    ASSERT_EQ(FT_STATUS(FT_OK), FT_SetBaudRate(handle, 1000000));
    ASSERT_EQ(FT_STATUS(FT_OK), FT_SetLatencyTimer(handle, 2));
    ASSERT_EQ(FT_STATUS(FT_OK), FT_SetBitMode(handle, 0xEF, FT_BITMODE_ASYNC_BITBANG));
    // The same divisor in bit-bang mode, where libftdi1 alone would refuse it.
    ASSERT_EQ(FT_STATUS(FT_OK), FT_SetBaudRate(handle, 1000000));
    EXPECT_EQ(FT_STATUS(FT_INVALID_BAUD_RATE), FT_SetBaudRate(handle, 100));
    EXPECT_EQ(FT_STATUS(FT_INVALID_PARAMETER), FT_SetLatencyTimer(handle, 1));
    ASSERT_EQ(FT_STATUS(FT_OK), FT_Purge(handle, FT_PURGE_RX));
    ASSERT_EQ(FT_STATUS(FT_OK), FT_Purge(handle, FT_PURGE_TX));

    const ChipSnapshot seen = chip->snapshot();
    EXPECT_EQ(1000000u, seen.baudRate);
    EXPECT_EQ(2u, seen.latency);
    EXPECT_EQ(0xEF, seen.mask);
    EXPECT_EQ(FT_BITMODE_ASYNC_BITBANG, seen.mode);
    // SIO reset values: 2 drops what the chip holds for the host, 1 what it
    // has still to send to the pins.
    EXPECT_EQ((std::vector<std::uint16_t>{2, 1}), seen.purges);
}

TEST_F(UsbBackend, PinsReadBackTheBoardInputAndTheDrivenOutputs) {
    const auto chip =
        UsbTestbed::instance().plug(ChipSetup().withDc(ftsim::DcSetup().countNanoseconds(1000000)));
    FT_HANDLE handle = open(0);
    ASSERT_EQ(FT_STATUS(FT_OK), FT_SetBitMode(handle, 0xEF, FT_BITMODE_ASYNC_BITBANG));
    unsigned char byte = 0x40;  // mode line high, start low
    DWORD count = 0;
    ASSERT_EQ(FT_STATUS(FT_OK), FT_Write(handle, &byte, 1, &count));
    unsigned char pins = 0;
    ASSERT_EQ(FT_STATUS(FT_OK), FT_GetBitMode(handle, &pins));
    EXPECT_EQ(0x50, pins);  // standing: status input high
    ASSERT_EQ(FT_STATUS(FT_OK), FT_Purge(handle, FT_PURGE_RX));
    unsigned char sample = 0;
    ASSERT_EQ(FT_STATUS(FT_OK), FT_Read(handle, &sample, 1, &count));
    EXPECT_EQ(1u, count);
    EXPECT_EQ(0x50, sample);
    EXPECT_EQ(FT_STATUS(FT_INVALID_PARAMETER), FT_Read(handle, nullptr, 1, &count));
}

TEST_F(UsbBackend, UserAreaFollowsTheStringsAndKeepsTheChecksumValid) {
    ChipSetup setup = stepperChip().identity(3);
    const auto chip = UsbTestbed::instance().plug(setup);
    FT_HANDLE handle = open(0);
    DWORD size = 0;
    ASSERT_EQ(FT_STATUS(FT_OK), FT_EE_UASize(handle, &size));
    EXPECT_EQ(DWORD((48 - (4 + 15 + 2)) * 2), size);  // "FTDI", "FT245R USB FIFO", "A1"

    unsigned char record[8] = {};
    DWORD got = 0;
    ASSERT_EQ(FT_STATUS(FT_OK), FT_EE_UARead(handle, record, sizeof record, &got));
    EXPECT_EQ(8u, got);
    EXPECT_EQ(3, record[6]);

    unsigned char changed[8] = {0xD1, 0xF4, 1, 0, 1, 0, 7, 0};
    ASSERT_EQ(FT_STATUS(FT_OK), FT_EE_UAWrite(handle, changed, sizeof changed));
    std::vector<unsigned char> tooLong(size + 1, 0xAA);
    EXPECT_EQ(FT_STATUS(FT_INVALID_ARGS), FT_EE_UAWrite(handle, tooLong.data(), DWORD(tooLong.size())));

    const std::array<std::uint8_t, 128> image = chip->snapshot().eeprom;
    const std::size_t userArea = (image[0x12] & 0x7F) + image[0x13];
    EXPECT_TRUE(std::equal(changed, changed + 8, image.begin() + std::ptrdiff_t(userArea)));
    EXPECT_TRUE(ftdi_backend::EepromImage(image).checksumValid());

    // A new session reads what the chip stores, not a cached copy.
    close(handle);
    handle = open(0);
    ASSERT_EQ(FT_STATUS(FT_OK), FT_EE_UARead(handle, record, sizeof record, &got));
    EXPECT_EQ(7, record[6]);
}

TEST_F(UsbBackend, ProgramRewritesTheStringsAndEmptiedOnesEnlargeTheUserArea) {
    const auto chip = UsbTestbed::instance().plug(stepperChip().identity(5));
    FT_HANDLE handle = open(0);
    char manufacturer[32] = {}, manufacturerId[16] = {}, description[64] = {}, serial[16] = {};
    FT_PROGRAM_DATA data = {};
    data.Signature2 = 0xFFFFFFFF;
    data.Version = 5;
    data.Manufacturer = manufacturer;
    data.ManufacturerId = manufacturerId;
    data.Description = description;
    data.SerialNumber = serial;
    ASSERT_EQ(FT_STATUS(FT_OK), FT_EE_Read(handle, &data));
    EXPECT_STREQ("FTDI", manufacturer);
    EXPECT_STREQ("", manufacturerId);  // an R image stores none
    EXPECT_STREQ("FT245R USB FIFO", description);
    EXPECT_STREQ("A1", serial);
    EXPECT_EQ(0x0403, data.VendorId);
    EXPECT_EQ(0x6001, data.ProductId);
    EXPECT_EQ(90, data.MaxPower);

    char empty[1] = {'\0'};
    data.SerialNumber = empty;
    ASSERT_EQ(FT_STATUS(FT_OK), FT_EE_Program(handle, &data));
    DWORD size = 0;
    ASSERT_EQ(FT_STATUS(FT_OK), FT_EE_UASize(handle, &size));
    EXPECT_EQ(DWORD((48 - (4 + 15)) * 2), size);

    const std::array<std::uint8_t, 128> image = chip->snapshot().eeprom;
    EXPECT_TRUE(ftdi_backend::EepromImage(image).checksumValid());
    EXPECT_EQ(0x0403, image[0x02] | (image[0x03] << 8));  // vendor id kept
    EXPECT_EQ(2, image[0x13]);     // empty serial string descriptor
    // The identity record moved with the end of the serial number.
    const std::size_t userArea = (image[0x12] & 0x7F) + image[0x13];
    EXPECT_EQ(0xD1, image[userArea]);
    EXPECT_EQ(5, image[userArea + 6]);
}

TEST_F(UsbBackend, UnpluggedChipAnswersIoErrorsAndItsHandleStillCloses) {
    const auto chip = UsbTestbed::instance().plug(stepperChip());
    FT_HANDLE handle = open(0);
    ASSERT_EQ(FT_STATUS(FT_OK), FT_SetBitMode(handle, 0xFF, FT_BITMODE_ASYNC_BITBANG));
    UsbTestbed::instance().unplug(chip);

    unsigned char byte = 0x01;
    DWORD count = 7;
    EXPECT_EQ(FT_STATUS(FT_IO_ERROR), FT_Write(handle, &byte, 1, &count));
    EXPECT_EQ(0u, count);
    EXPECT_EQ(FT_STATUS(FT_IO_ERROR), FT_Read(handle, &byte, 1, &count));
    EXPECT_EQ(FT_STATUS(FT_IO_ERROR), FT_Purge(handle, FT_PURGE_RX));
    EXPECT_EQ(FT_STATUS(FT_IO_ERROR), FT_Close(handle));
    m_handles.clear();
    EXPECT_EQ(FT_STATUS(FT_INVALID_HANDLE), FT_Write(handle, &byte, 1, &count));
    EXPECT_TRUE(list().empty());
}

TEST_F(UsbBackend, WriteOnTheBusWhenTheChipVanishesEndsAndTheNextFails) {
    const auto chip = UsbTestbed::instance().plug(stepperChip());
    FT_HANDLE handle = open(0);
    ASSERT_EQ(FT_STATUS(FT_OK), FT_SetBitMode(handle, 0xFF, FT_BITMODE_ASYNC_BITBANG));
    UsbTestbed::instance().vanishDuringBulkOut(chip, 1);

    unsigned char byte = 0x01;
    DWORD count = 0;
    EXPECT_EQ(FT_STATUS(FT_OK), FT_Write(handle, &byte, 1, &count));
    EXPECT_EQ(1u, count);
    EXPECT_EQ(FT_STATUS(FT_IO_ERROR), FT_Write(handle, &byte, 1, &count));
    EXPECT_EQ(0u, count);
    EXPECT_EQ(1u, chip->snapshot().bulkOutTransfers);
    EXPECT_EQ(FT_STATUS(FT_IO_ERROR), FT_Close(handle));
    m_handles.clear();
}

TEST_F(UsbBackend, EepromChecksumIsTheOneLibftdiBuildsIntoAnRImage) {
    // libftdi1 writes images that real chips accept: its builder is the
    // reference the backend's (and the emulated chip's) checksum must meet.
    // It builds for an opened chip only; nothing is written to it.
    UsbTestbed::instance().plug(stepperChip());
    ftdi_context* context = ftdi_new();
    ASSERT_NE(nullptr, context);
    ASSERT_EQ(0, ftdi_usb_open(context, 0x0403, 0x6001));
    ASSERT_EQ(TYPE_R, context->type);
    ASSERT_EQ(0, ftdi_eeprom_initdefaults(context, const_cast<char*>("Maker"),
                                          const_cast<char*>("FT245R USB FIFO"),
                                          const_cast<char*>("S123")));
    ASSERT_GE(ftdi_eeprom_build(context), 0);
    std::array<std::uint8_t, 128> built{};
    ASSERT_EQ(0, ftdi_get_eeprom_buf(context, built.data(), int(built.size())));
    ftdi_usb_close(context);
    ftdi_free(context);

    const ftdi_backend::EepromImage image(built);
    EXPECT_TRUE(image.checksumValid());
    EXPECT_EQ("S123", image.serialNumber());
    std::array<std::uint8_t, 128> changed = built;
    changed[0x20] ^= 0x01;
    EXPECT_FALSE(ftdi_backend::EepromImage(changed).checksumValid());
}
