// The emulated chip's transmit buffer and byte clock, through the libftdi1
// backend: the same description of the clock as the simulated bench's.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <thread>
#include <vector>

#include "UsbTestbed.h"
#include "ftd2xx.h"

namespace {

// 625 baud, a divisor the R chips reach exactly: 10,000 bytes a second at
// the published 16 bytes per baud.
constexpr ULONG kBaud = 625;
constexpr auto kPeriod = std::chrono::microseconds(100);

class ClockedUsbChip : public ::testing::Test {
protected:
    void TearDown() override {
        if (m_handle != nullptr) {
            FT_Close(m_handle);
        }
        UsbTestbed::instance().unplugAll();
    }

    std::shared_ptr<EmulatedFt245r> plugAndOpen(unsigned multiple = 16) {
        auto chip = UsbTestbed::instance().plug(
            ChipSetup().withStepper(ftsim::StepperSetup()).byteClock(multiple));
        EXPECT_EQ(FT_STATUS(FT_OK), FT_Open(0, &m_handle));
        EXPECT_EQ(FT_STATUS(FT_OK), FT_SetBitMode(m_handle, 0xFF, FT_BITMODE_ASYNC_BITBANG));
        EXPECT_EQ(FT_STATUS(FT_OK), FT_SetBaudRate(m_handle, kBaud));
        return chip;
    }

    FT_STATUS write(const std::vector<std::uint8_t>& bytes) {
        DWORD written = 0;
        return FT_Write(m_handle, const_cast<std::uint8_t*>(bytes.data()), DWORD(bytes.size()),
                        &written);
    }

    FT_HANDLE m_handle = nullptr;
};

std::vector<std::uint8_t> pulseTrain(std::size_t pulses) {
    std::vector<std::uint8_t> bytes;
    for (std::size_t i = 0; i < pulses; ++i) {
        bytes.push_back(0x05);
        bytes.push_back(0x01);
    }
    return bytes;
}

}  // namespace

TEST_F(ClockedUsbChip, AWriteIsHeldOffOnlyWhileTheBufferIsFull) {
    const auto chip = plugAndOpen();
    EXPECT_EQ(kBaud, chip->snapshot().baudRate);  // the backend's divisor, in bit-bang mode too
    // 356 bytes: the last 100 wait for room, 99 byte periods at least (the
    // first byte leaves the moment it is written).
    const auto start = std::chrono::steady_clock::now();
    ASSERT_EQ(FT_STATUS(FT_OK), write(pulseTrain(178)));
    const auto took = std::chrono::steady_clock::now() - start;
    EXPECT_GE(took, 99 * kPeriod);
    EXPECT_LT(took, 356 * kPeriod);  // returned before the buffer drained
    const ChipSnapshot seen = chip->snapshot();
    EXPECT_EQ(178u, seen.steps);
    EXPECT_EQ(0u, seen.stepsLost);
}

TEST_F(ClockedUsbChip, AChipOfAnotherMultipleClocksAtThatMultiple) {
    const auto chip = plugAndOpen(4);  // 2,500 bytes a second: 400 us a byte
    const auto start = std::chrono::steady_clock::now();
    ASSERT_EQ(FT_STATUS(FT_OK), write(pulseTrain(153)));  // 50 bytes beyond the buffer
    EXPECT_GE(std::chrono::steady_clock::now() - start, 49 * 4 * kPeriod);
    EXPECT_EQ(153u, chip->snapshot().steps);
}

TEST_F(ClockedUsbChip, ATransmitPurgeDropsWhatHasNotReachedThePins) {
    const auto chip = plugAndOpen();
    ASSERT_EQ(FT_STATUS(FT_OK), write(pulseTrain(100)));
    ASSERT_EQ(FT_STATUS(FT_OK), FT_Purge(m_handle, FT_PURGE_TX));
    EXPECT_LT(chip->snapshot().steps, 100u);
}

TEST_F(ClockedUsbChip, AnUnplugDuringAHeldOffWriteFailsItAndLosesTheBuffer) {
    const auto chip = plugAndOpen();
    FT_STATUS status = FT_OK;
    std::thread writer([&] { status = write(pulseTrain(325)); });  // held off for ~39 ms
    std::this_thread::sleep_for(150 * kPeriod);
    UsbTestbed::instance().unplug(chip);
    writer.join();
    EXPECT_EQ(FT_STATUS(FT_IO_ERROR), status);
    // What the buffer held (256 bytes, 128 pulses) never reaches the pins.
    const ChipSnapshot seen = chip->snapshot();
    EXPECT_LT(seen.steps, 325u - 128u);
    std::this_thread::sleep_for(300 * kPeriod);
    EXPECT_EQ(seen.steps, chip->snapshot().steps);
}
