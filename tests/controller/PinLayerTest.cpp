#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "BoardPins.h"
#include "TestController.h"
#include "ftsim/Bench.h"
#include "ftsim/BenchBuilder.h"
#include "ftsim/DeviceSetup.h"

using ftsim::BenchBuilder;
using ftsim::DeviceSetup;
using ftsim::Fault;

namespace {

class PinLayer : public ::testing::Test {
protected:
    void SetUp() override {
        bench = BenchBuilder().device(DeviceSetup()).buildUnique();
        ASSERT_TRUE(controller.openDevice(0, nullptr));
        controller.setBitMode(BoardPins::Stepper::OUTPUTS, TestController::BITMODE_ASYNC_BITBANG);
        bench->trace().clear();
    }
    void TearDown() override { controller.closeDevice(); }

    std::vector<ftsim::Call> calls() const { return bench->trace().entries(0); }
    ftsim::Device& device() { return bench->device(0); }

    std::unique_ptr<ftsim::Bench> bench;
    TestController controller;
};

}  // namespace

TEST(MaskBits, KeepsBitsOutsideTheMaskAndTakesBitsInsideFromTheValue) {
    EXPECT_EQ(TestController::SetMaskBits(0xA5, BoardPins::Dc::COUNTER, 14), 0xAE);
    EXPECT_EQ(TestController::SetMaskBits(0xA5, 0, 0x5A), 0xA5);
    EXPECT_EQ(TestController::SetMaskBits(0xA5, 0xFF, 0x3C), 0x3C);
    EXPECT_EQ(TestController::SetMaskBits(0x00, BoardPins::Dc::START, TestController::BITS_ON),
              0x20);
    EXPECT_EQ(
        TestController::SetMaskBits(0xFF, BoardPins::Dc::LOAD_COUNTERS, TestController::BITS_OFF),
        0x7F);
    EXPECT_EQ(TestController::SetMaskBits(0x10, BoardPins::Dc::COUNTER, 0xF3), 0x13);
}

TEST(MaskBits, MemberFormChangesOnlyTheShadowByte) {
    ftsim::Bench bench;
    TestController controller;
    controller.SetMaskBits(BoardPins::Dc::COUNTER, 9);
    controller.SetMaskBits(BoardPins::Dc::LOAD_COUNTERS, TestController::BITS_ON);
    EXPECT_EQ(controller.GetPacket(), 0x89);
    controller.SetMaskBits(BoardPins::Dc::COUNTER, TestController::BITS_OFF);
    EXPECT_EQ(controller.GetPacket(), 0x80);
    EXPECT_EQ(bench.trace().size(), 0u);
}

TEST_F(PinLayer, WriteOfTheShadowPurgesTransmitThenWritesOneByte) {
    controller.SetMaskBits(0x41, TestController::BITS_ON);
    controller.SetMaskBits(BoardPins::Dc::START, TestController::BITS_ON);

    EXPECT_TRUE(controller.writeChipByte()) << "a good write answers true";

    const std::vector<ftsim::Call> trace = calls();
    ASSERT_EQ(callNames(trace), (std::vector<std::string>{"FT_Purge", "FT_Write"}));
    EXPECT_EQ(trace[0].mask(), static_cast<unsigned>(FT_PURGE_TX));
    EXPECT_EQ(trace[1].requested(), 1u);
    EXPECT_EQ(trace[1].bytes, (std::vector<std::uint8_t>{0x61}));
    EXPECT_EQ(device().pins(), 0x61);
    EXPECT_EQ(controller.GetLastFTDIError(), FTDIController::TT_ERROR_OK);
}

TEST_F(PinLayer, ExplicitByteLeavesTheShadowForTheNextWrite) {
    controller.SetMaskBits(BoardPins::Dc::COUNTER, 5);

    controller.writeChipByte(0xF0);
    EXPECT_EQ(controller.GetPacket(), 0x05);
    controller.writeChipByte();

    const std::vector<ftsim::PortWrite> writes = bench->trace().portWrites(0);
    ASSERT_EQ(writes.size(), 2u);
    EXPECT_EQ(writes[0].byte, 0xF0);
    EXPECT_EQ(writes[1].byte, 0x05);
}

TEST_F(PinLayer, FailedWriteRecordsTheErrorAndKeepsTheShadow) {
    controller.SetMaskBits(BoardPins::Stepper::MOTOR_ENABLE, TestController::BITS_ON);
    device().failWrites(Fault::withStatus(FT_IO_ERROR));

    EXPECT_FALSE(controller.writeChipByte());
    EXPECT_EQ(controller.GetLastFTDIError(), FTDIController::TT_ERROR_WRITE_FAILED);
    EXPECT_EQ(device().pins(), 0x00);
    EXPECT_EQ(controller.GetPacket(), 0x01);

    // The next write brings the port up to date and clears the error.
    controller.SetMaskBits(BoardPins::Stepper::USB_ENABLE, TestController::BITS_ON);
    controller.writeChipByte();
    EXPECT_EQ(controller.GetLastFTDIError(), FTDIController::TT_ERROR_OK);
    EXPECT_EQ(device().pins(), 0x09);
    EXPECT_EQ(bench->trace().count("FT_Write"), 2u) << "no retry";
}

TEST_F(PinLayer, WriteOfNoByteIsAFailure) {
    device().failWrites(Fault::shortTransfer(0));
    controller.writeChipByte(0x10);
    EXPECT_EQ(controller.GetLastFTDIError(), FTDIController::TT_ERROR_WRITE_FAILED);
    EXPECT_EQ(calls().back().status, static_cast<FT_STATUS>(FT_OK));
}

TEST_F(PinLayer, ReadPurgesReceiveThenReadsOneMaskedByte) {
    controller.writeChipByte(0xFF);
    bench->trace().clear();

    EXPECT_EQ(controller.readChipByte(BoardPins::Dc::ROTATION_STATUS), 0x10);

    const std::vector<ftsim::Call> trace = calls();
    ASSERT_EQ(callNames(trace), (std::vector<std::string>{"FT_Purge", "FT_Read"}));
    EXPECT_EQ(trace[0].mask(), static_cast<unsigned>(FT_PURGE_RX));
    EXPECT_EQ(trace[1].requested(), 1u);
    EXPECT_EQ(controller.readChipByte(BoardPins::Dc::COUNTER), 0x0F);
    EXPECT_EQ(controller.GetLastFTDIError(), FTDIController::TT_ERROR_OK);

    controller.writeChipByte(0xEF);
    EXPECT_EQ(controller.readChipByte(BoardPins::Dc::ROTATION_STATUS), 0x00);
}

TEST_F(PinLayer, FailedReadRecordsTheErrorAndYieldsZero) {
    controller.writeChipByte(0xFF);
    device().failReads(Fault::withStatus(FT_IO_ERROR));
    EXPECT_EQ(controller.readChipByte(0xFF), 0x00);
    EXPECT_EQ(controller.GetLastFTDIError(), FTDIController::TT_ERROR_READ_FAILED);

    EXPECT_EQ(controller.readChipByte(0xFF), 0xFF);
    EXPECT_EQ(controller.GetLastFTDIError(), FTDIController::TT_ERROR_OK);
}

TEST_F(PinLayer, ReadThatDeliversNothingYieldsZeroWithoutError) {
    controller.writeChipByte(0xFF);
    controller.SetFTDIError(FTDIController::TT_ERROR_WRITE_FAILED);
    device().failReads(Fault::shortTransfer(0));
    EXPECT_EQ(controller.readChipByte(0xFF), 0x00);
    EXPECT_EQ(controller.GetLastFTDIError(), FTDIController::TT_ERROR_OK);
}

TEST_F(PinLayer, SetBitModePassesMaskAndModeAndRecordsNothing) {
    controller.SetFTDIError(FTDIController::TT_ERROR_READ_FAILED);
    controller.setBitMode(BoardPins::Dc::OUTPUTS, TestController::BITMODE_RESET);

    const std::vector<ftsim::Call> trace = calls();
    ASSERT_EQ(callNames(trace), (std::vector<std::string>{"FT_SetBitMode"}));
    EXPECT_EQ(trace[0].mask(), BoardPins::Dc::OUTPUTS);
    EXPECT_EQ(trace[0].mode(), TestController::BITMODE_RESET);
    EXPECT_EQ(controller.GetLastFTDIError(), FTDIController::TT_ERROR_READ_FAILED);
}

TEST_F(PinLayer, UnlockingReleasesTheEnableLineInOneWrite) {
    controller.SetMaskBits(BoardPins::Stepper::MOTOR_ENABLE | BoardPins::Stepper::USB_ENABLE,
                           TestController::BITS_ON);

    controller.SetLockMotorWhenIdle(true, true);
    controller.SetLockMotorWhenIdle(false, false);
    EXPECT_EQ(bench->trace().count("FT_Write"), 0u);
    EXPECT_FALSE(controller.GetLockMotorWhenIdle());

    controller.SetLockMotorWhenIdle(false, true);
    EXPECT_EQ(controller.GetPacket(), 0x08);
    ASSERT_EQ(bench->trace().portWrites(0).size(), 1u);
    EXPECT_EQ(bench->trace().portWrites(0)[0].byte, 0x08);
}

TEST_F(PinLayer, UnlockingWithEnableActiveLowDrivesTheLineHigh) {
    controller.SetMotorEnableActiveHigh(false);
    controller.SetLockMotorWhenIdle(false, true);
    EXPECT_EQ(controller.GetPacket(), 0x01);
    ASSERT_EQ(bench->trace().portWrites(0).size(), 1u);
    EXPECT_EQ(bench->trace().portWrites(0)[0].byte, 0x01);
}
