// The data port in asynchronous bit-bang mode: masks, samples, purges and faults.
#include <gtest/gtest.h>

#include <chrono>

#include "SimTestSupport.h"
#include "ftsim/Bench.h"

using namespace ftsim;
using simtest::readByte;
using simtest::writeByte;

namespace {

class Port : public ::testing::Test {
protected:
    void SetUp() override {
        bench = BenchBuilder()
                    .device(DeviceSetup().stepper(StepperSetup()))
                    .device(DeviceSetup().dcBoard(DcSetup()))
                    .buildUnique();
        stepper = simtest::open(0);
        dc = simtest::open(1);
        ASSERT_NE(stepper, nullptr);
        ASSERT_NE(dc, nullptr);
    }
    std::unique_ptr<Bench> bench;
    FT_HANDLE stepper = nullptr;
    FT_HANDLE dc = nullptr;
};

}  // namespace

TEST_F(Port, WritesBeforeBitBangMoveNothing) {
    // Enable, then a step edge: with the chip still in its reset mode.
    EXPECT_EQ(writeByte(stepper, 0x01), FT_STATUS(FT_OK));
    EXPECT_EQ(writeByte(stepper, 0x05), FT_STATUS(FT_OK));
    EXPECT_EQ(bench->device(0).stepper().pulsesCounted(), 0u);
    EXPECT_EQ(bench->device(0).pins(), 0);
    const auto writes = bench->trace().portWrites(0);
    ASSERT_EQ(writes.size(), 2u);
    EXPECT_FALSE(writes[1].driven);
}

TEST_F(Port, OnlyMaskedPinsAreDriven) {
    simtest::bitBang(stepper, 0x0F);
    EXPECT_EQ(bench->device(0).directionMask(), 0x0F);
    EXPECT_EQ(bench->device(0).bitMode(), FT_BITMODE_ASYNC_BITBANG);
    writeByte(stepper, 0xFF);
    EXPECT_EQ(bench->device(0).pins(), 0x0F);
    UCHAR pins = 0;
    EXPECT_EQ(FT_GetBitMode(stepper, &pins), FT_STATUS(FT_OK));
    EXPECT_EQ(pins, 0x0F);
    EXPECT_EQ(readByte(stepper), 0x0F);
    // The shutter (bit 5) is not an output: no shot, no focus change.
    EXPECT_TRUE(bench->device(0).stepper().lineEvents().empty());
}

TEST_F(Port, StatusInputReadsFromTheBoard) {
    simtest::bitBang(dc, 0xEF);
    writeByte(dc, 0x8E);
    EXPECT_EQ(readByte(dc), 0x8E | 0x10);  // standing: status high
}

TEST_F(Port, DrivingTheStatusPinHidesTheBoard) {
    simtest::bitBang(dc, 0xFF);  // wrong mask: bit 4 is an output now
    writeByte(dc, 0x80);
    EXPECT_EQ(readByte(dc) & 0x10, 0);
}

TEST_F(Port, ReadWithoutPurgeReturnsAStaleSample) {
    simtest::bitBang(stepper, 0xFF);
    writeByte(stepper, 0x01);
    EXPECT_EQ(readByte(stepper), 0x01);
    writeByte(stepper, 0x03);
    unsigned char byte = 0;
    DWORD read = 0;
    ASSERT_EQ(FT_Read(stepper, &byte, 1, &read), FT_STATUS(FT_OK));
    EXPECT_EQ(read, 1u);
    EXPECT_EQ(byte, 0x01);  // sampled before the last write
    EXPECT_EQ(readByte(stepper), 0x03);
}

TEST_F(Port, PurgesAreRecordedWithTheirMasks) {
    simtest::bitBang(stepper, 0xFF);
    bench->trace().clear();
    writeByte(stepper, 0x01);
    readByte(stepper);
    const auto calls = bench->trace().entries(0);
    ASSERT_EQ(calls.size(), 4u);
    EXPECT_EQ(calls[0].function, "FT_Purge");
    EXPECT_EQ(calls[0].mask(), unsigned(FT_PURGE_TX));
    EXPECT_EQ(calls[1].function, "FT_Write");
    EXPECT_EQ(calls[1].bytes, std::vector<std::uint8_t>{0x01});
    EXPECT_EQ(calls[2].function, "FT_Purge");
    EXPECT_EQ(calls[2].mask(), unsigned(FT_PURGE_RX));
    EXPECT_EQ(calls[3].function, "FT_Read");
}

TEST_F(Port, ReadBeforeBitBangDeliversNothing) {
    unsigned char byte = 0xAA;
    DWORD read = 7;
    EXPECT_EQ(FT_Read(dc, &byte, 1, &read), FT_STATUS(FT_OK));
    EXPECT_EQ(read, 0u);
}

TEST_F(Port, WriteFaultsForOneCallForNCallsAndFromThenOn) {
    simtest::bitBang(stepper, 0xFF);
    Device& device = bench->device(0);
    device.failWrites(Fault::withStatus(FT_IO_ERROR));
    EXPECT_EQ(writeByte(stepper, 0x01), FT_STATUS(FT_IO_ERROR));
    EXPECT_EQ(device.pins(), 0);  // a failed write drives nothing
    EXPECT_EQ(writeByte(stepper, 0x01), FT_STATUS(FT_OK));

    device.failWrites(Fault::shortTransfer(0), 2);
    unsigned char byte = 0x03;
    DWORD written = 9;
    EXPECT_EQ(FT_Write(stepper, &byte, 1, &written), FT_STATUS(FT_OK));
    EXPECT_EQ(written, 0u);
    EXPECT_EQ(FT_Write(stepper, &byte, 1, &written), FT_STATUS(FT_OK));
    EXPECT_EQ(written, 0u);
    EXPECT_EQ(device.pins(), 0x01);
    EXPECT_EQ(FT_Write(stepper, &byte, 1, &written), FT_STATUS(FT_OK));
    EXPECT_EQ(written, 1u);

    device.failWrites(Fault::withStatus(FT_FAILED_TO_WRITE_DEVICE), kForever, 1);
    EXPECT_EQ(writeByte(stepper, 0x00), FT_STATUS(FT_OK));  // skipped
    for (int i = 0; i < 5; ++i)
        EXPECT_EQ(writeByte(stepper, 0x01), FT_STATUS(FT_FAILED_TO_WRITE_DEVICE));
    device.clearPortFaults();
    EXPECT_EQ(writeByte(stepper, 0x01), FT_STATUS(FT_OK));
}

TEST_F(Port, ReadFaults) {
    simtest::bitBang(dc, 0xEF);
    bench->device(1).failReads(Fault::withStatus(FT_IO_ERROR), 1);
    unsigned char byte = 0;
    DWORD read = 0;
    EXPECT_EQ(FT_Read(dc, &byte, 1, &read), FT_STATUS(FT_IO_ERROR));
    bench->device(1).failReadsFromNow(Fault::shortTransfer(0));
    for (int i = 0; i < 3; ++i) {
        read = 1;
        EXPECT_EQ(FT_Read(dc, &byte, 1, &read), FT_STATUS(FT_OK));
        EXPECT_EQ(read, 0u);
    }
}

TEST_F(Port, MultiByteWriteDrivesEveryByteInOrder) {
    simtest::bitBang(stepper, 0xFF);
    const unsigned char pulses[] = {0x01, 0x05, 0x01, 0x05, 0x01};
    DWORD written = 0;
    ASSERT_EQ(FT_Write(stepper, const_cast<unsigned char*>(pulses), 5, &written), FT_STATUS(FT_OK));
    EXPECT_EQ(written, 5u);
    EXPECT_EQ(bench->device(0).stepper().pulsesCounted(), 2u);
    const auto writes = bench->trace().portWrites(0);
    ASSERT_EQ(writes.size(), 5u);
    for (std::size_t i = 1; i < writes.size(); ++i)
        EXPECT_GT(writes[i].time, writes[i - 1].time);
}

TEST_F(Port, CallDelayMakesEveryCallTakeThatLong) {
    simtest::bitBang(stepper, 0xFF);
    bench->setCallDelay(std::chrono::microseconds(1000));
    const TimeNs before = now();
    for (int i = 0; i < 5; ++i)
        writeByte(stepper, std::uint8_t(i));  // purge + write: two calls each
    EXPECT_GE(now() - before, 10 * 1000000LL);
    bench->setCallDelay(std::chrono::microseconds(0));
    bench->setWriteDelay(std::chrono::microseconds(2000));
    const TimeNs start = now();
    writeByte(stepper, 0);
    EXPECT_GE(now() - start, 2000000LL);
}
