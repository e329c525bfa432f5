// The libftdi1 backend's D2XX functions on an FT245R emulated at the USB
// level: what the plug-in relies on, status for status.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

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
