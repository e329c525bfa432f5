// The chip's transmit buffer and byte clock in asynchronous bit-bang mode.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "SimTestSupport.h"
#include "ftsim/Bench.h"
#include "ftsim/TableListParser.h"

using namespace ftsim;

namespace {

// 625 baud: a divisor the R chips reach exactly (4,800), 10,000 bytes a
// second at the published 16 bytes per baud, 100 us a byte.
constexpr ULONG kBaud = 625;
constexpr TimeNs kPeriod = 100000;

/// A stepper chip in bit-bang mode at kBaud, clocking `multiple` bytes a
/// second per baud.
struct ClockedChip {
    explicit ClockedChip(unsigned multiple = 16)
        : bench(BenchBuilder().device(DeviceSetup().byteClock(multiple).stepper(StepperSetup()))
                    .build()),
          handle(simtest::open(0)) {
        simtest::bitBang(handle, 0xFF);
        FT_SetBaudRate(handle, kBaud);
    }
    FT_STATUS write(const std::vector<std::uint8_t>& bytes, DWORD* written = nullptr) {
        DWORD count = 0;
        const FT_STATUS status =
            FT_Write(handle, const_cast<std::uint8_t*>(bytes.data()), DWORD(bytes.size()), &count);
        if (written)
            *written = count;
        return status;
    }
    Bench bench;
    FT_HANDLE handle;
};

/// `pulses` step pulses, enable on, each one byte high and one byte low.
std::vector<std::uint8_t> pulseTrain(std::size_t pulses) {
    std::vector<std::uint8_t> bytes;
    for (std::size_t i = 0; i < pulses; ++i) {
        bytes.push_back(0x05);
        bytes.push_back(0x01);
    }
    return bytes;
}

}  // namespace

TEST(ByteClock, BytesOfAWriteReachThePinsOnePeriodApartOnAnExactGrid) {
    ClockedChip chip;
    const TimeNs start = now();
    // Two writes: the second joins the first's grid while bytes are held.
    ASSERT_EQ(chip.write(pulseTrain(50)), FT_STATUS(FT_OK));
    ASSERT_EQ(chip.write(pulseTrain(50)), FT_STATUS(FT_OK));
    // Both went into the buffer (200 bytes) without waiting for the pins.
    EXPECT_LT(now() - start, 100 * kPeriod);

    const std::vector<PortWrite> writes = chip.bench.trace().portWrites(0);
    ASSERT_EQ(writes.size(), 200u);
    for (std::size_t i = 1; i < writes.size(); ++i)
        ASSERT_EQ(writes[i].time - writes[0].time, TimeNs(i) * kPeriod) << "byte " << i;
    const std::vector<TimeNs> steps = chip.bench.device(0).stepper().stepTimes();
    ASSERT_EQ(steps.size(), 100u);
    for (std::size_t i = 1; i < steps.size(); ++i)
        EXPECT_EQ(steps[i] - steps[i - 1], 2 * kPeriod);
}

TEST(ByteClock, AWriteWaitsOnlyWhileTheBufferIsFull) {
    ClockedChip chip;
    // 256 bytes fill the buffer at once; each of the 100 more waits for one
    // to leave. The first byte leaves the moment it is written, so the last
    // one finds room after 99 byte periods (9.9 ms).
    const std::vector<std::uint8_t> bytes(256 + 100, 0x01);
    const TimeNs start = now();
    DWORD written = 0;
    ASSERT_EQ(chip.write(bytes, &written), FT_STATUS(FT_OK));
    const TimeNs took = now() - start;
    EXPECT_EQ(written, bytes.size());
    EXPECT_GE(took, 99 * kPeriod);
    EXPECT_LT(took, 256 * kPeriod);  // not until the buffer has drained

    // The write returns with bytes still held; they all reach the pins.
    EXPECT_EQ(chip.bench.trace().portWrites(0).size(), bytes.size());
}

TEST(ByteClock, ATransmitPurgeDropsWhatHasNotReachedThePins) {
    ClockedChip chip;
    ASSERT_EQ(chip.write(pulseTrain(100)), FT_STATUS(FT_OK));
    ASSERT_EQ(FT_Purge(chip.handle, FT_PURGE_TX), FT_STATUS(FT_OK));
    // Far fewer than the 200 bytes reached the pins, and every step counted
    // is one of them.
    const std::vector<PortWrite> writes = chip.bench.trace().portWrites(0);
    EXPECT_LT(writes.size(), 100u);
    std::size_t rising = 0;
    for (std::size_t i = 0; i < writes.size(); ++i)
        rising += writes[i].byte == 0x05;
    EXPECT_EQ(chip.bench.device(0).stepper().pulsesCounted(), rising);

    // The next byte is on the pins at once.
    ASSERT_EQ(chip.write({0x00}), FT_STATUS(FT_OK));
    EXPECT_EQ(chip.bench.device(0).pins(), 0x00);
}

TEST(ByteClock, AnUnplugLosesWhatTheBufferHoldsAndCutsAWaitingWriteShort) {
    ClockedChip chip;
    // Pulled out 15 ms after the write began: about 150 bytes have reached
    // the pins, 256 more are held and lost, and the write, still waiting
    // for room for its last 244, fails.
    const std::vector<std::uint8_t> train = pulseTrain(325);
    chip.bench.device(0).unplugAt(now() + 150 * kPeriod);
    DWORD written = 0;
    EXPECT_EQ(chip.write(train, &written), FT_STATUS(FT_IO_ERROR));
    EXPECT_LT(written, train.size());
    EXPECT_GE(written, 256u);

    const std::vector<PortWrite> writes = chip.bench.trace().portWrites(0);
    EXPECT_EQ(std::size_t(written), writes.size() + 256);
    EXPECT_EQ(chip.bench.device(0).stepper().pulsesCounted(), (writes.size() + 1) / 2);
    const std::vector<Call> calls = chip.bench.trace().entries(0);
    ASSERT_FALSE(calls.empty());
    EXPECT_EQ(calls.back().function, "FT_Write");
    EXPECT_EQ(calls.back().status, FT_STATUS(FT_IO_ERROR));
}

TEST(ByteClock, AChipOfAnotherMultipleClocksAtThatMultiple) {
    ClockedChip chip(4);  // 2,500 bytes a second at 625 baud: 400 us a byte
    ASSERT_EQ(chip.write(pulseTrain(5)), FT_STATUS(FT_OK));
    const std::vector<PortWrite> writes = chip.bench.trace().portWrites(0);
    ASSERT_EQ(writes.size(), 10u);
    EXPECT_EQ(writes[9].time - writes[0].time, 9 * 4 * kPeriod);
}

TEST(ByteClock, TheRateFollowsTheNearestDivisorOfTheGenerator) {
    // 7,000 baud is no divisor of 3 MBd: the chip takes 3,000,000 / 428.625
    // (6,999.1 baud); 16 bytes a baud make 8,929.69 ns a byte, each byte on
    // the whole nanosecond at or before its exact time.
    ClockedChip chip;
    ASSERT_EQ(FT_SetBaudRate(chip.handle, 7000), FT_STATUS(FT_OK));
    EXPECT_EQ(chip.bench.device(0).baudRate(), 7000u);
    ASSERT_EQ(chip.write(std::vector<std::uint8_t>(8, 0x01)), FT_STATUS(FT_OK));
    const std::vector<PortWrite> writes = chip.bench.trace().portWrites(0);
    ASSERT_EQ(writes.size(), 8u);
    EXPECT_EQ(writes[7].time - writes[0].time, 62507);  // 7 x 8,929.69

    EXPECT_EQ(FT_SetBaudRate(chip.handle, 182), FT_STATUS(FT_INVALID_BAUD_RATE));
}

TEST(ByteClock, TheTableListSetsTheMultiple) {
    const TableListParser::Result parsed = TableListParser::parse("cobalt medium, byte-clock=4; 3");
    ASSERT_TRUE(parsed.ok()) << parsed.error;
    EXPECT_EQ(parsed.tables[0].byteClockMultiple, 4u);
    EXPECT_EQ(parsed.tables[1].byteClockMultiple, 16u);
    for (const std::string bad : {"3,byte-clock=0", "3,byte-clock=65", "3,byte-clock=x"}) {
        const TableListParser::Result refused = TableListParser::parse(bad);
        EXPECT_FALSE(refused.ok()) << bad;
        EXPECT_NE(refused.error.find("byte-clock="), std::string::npos) << refused.error;
    }
}
