// The stepper board's move timed by the chip's crystal.
#include <algorithm>
#include <cmath>
#include <vector>

#include "BoardPins.h"
#include "ByteRateMeter.h"
#include "DiagnosticLog.h"
#include "HxStepperMotor.h"
#include "MonotonicWait.h"
#include "RealtimeMoveScope.h"
#include "StepByteStream.h"

namespace {
/// Bytes a write hands the chip: 10 ms of the grid. With the chip's 256-byte
/// buffer full ahead of it, a stop waits for at most this chunk and the
/// buffer to play out.
constexpr size_t CHUNK_BYTES = 100;
/// The FT245R's transmit buffer.
constexpr size_t TRANSMIT_BUFFER_BYTES = 256;

/// The published figure for R chips: bytes a second per baud in bit-bang mode.
constexpr double PUBLISHED_BYTES_PER_BAUD = 16.0;
/// A measurement between moves times 0.3 s and at least 7 writes: nothing
/// waits for it to end, so it takes the time to outvote a busy host's stalls.
constexpr int64_t MEASURING_SPAN_NS = 300000000;
constexpr size_t MEASURING_INTERVALS = 7;
/// Writes a measurement makes at most: 1 s at the grid's byte rate, 4 s on a
/// chip at 4 bytes a second per baud.
constexpr unsigned MEASURING_WRITES_AT_MOST = 100;
}  // namespace

MeasuredByteClock HxStepperMotor::GetMeasuredByteClock() const {
    std::lock_guard<std::mutex> lock(m_byteClockMutex);
    return m_byteClock;
}

double HxStepperMotor::bytesPerBaud() const {
    std::lock_guard<std::mutex> lock(m_byteClockMutex);
    return m_byteClock.measured() ? m_byteClock.bytesPerBaud : PUBLISHED_BYTES_PER_BAUD;
}

unsigned long HxStepperMotor::gridBaudRate() const {
    return static_cast<unsigned long>(
        std::lround(GRID_BYTES_PER_MILLISECOND * 1000.0 / bytesPerBaud()));
}

bool HxStepperMotor::useChipBaudRate(unsigned long baud) {
    if (m_chipBaudRate.load() == baud)
        return true;
    if (!setChipBaudRate(baud)) {
        m_chipBaudRate.store(0);  // unknown: set it again next time
        return false;
    }
    m_chipBaudRate.store(baud);
    return true;
}

unsigned long HxStepperMotor::takeMeasurement(double bytesPerSecond, unsigned long baud) {
    const double perBaud = ByteRateMeter::bytesPerBaud(bytesPerSecond, baud);
    {
        std::lock_guard<std::mutex> lock(m_byteClockMutex);
        m_byteClock = MeasuredByteClock{bytesPerSecond, baud, perBaud};
    }
    const unsigned long corrected = gridBaudRate();
    TT_LOG(Driver, Info,
           "chip byte clock: %.1f bytes/s measured at %lu baud, %.3f bytes a second per baud; "
           "clocked moves run at %lu baud for %u bytes/s",
           bytesPerSecond, baud, perBaud, corrected, GRID_BYTES_PER_MILLISECOND * 1000);
    return corrected;
}

MeasuredByteClock HxStepperMotor::MeasureByteClock() {
    if (!beginExclusivePortWork()) {
        TT_LOG(Driver, Info, "byte clock measurement refused");
        return {};
    }
    // Timed as a move's writes are: at a real-time priority where the
    // process may, so that other busy processes do not make the returns
    // late (a measurement off by a tenth would set a wrong baud rate).
    const RealtimeMoveScope priority;
    // The port's present level, over and over: no line changes, so the
    // motor sees nothing while the chip's clock is timed.
    const std::vector<unsigned char> level(CHUNK_BYTES, GetPacket());
    const unsigned long baud = gridBaudRate();
    MeasuredByteClock result;
    if (useChipBaudRate(baud)) {
        ByteRateMeter meter(MEASURING_SPAN_NS, MEASURING_INTERVALS);
        for (unsigned write = 0; write < MEASURING_WRITES_AT_MOST && !meter.measured(); ++write) {
            const int64_t started = MonotonicWait::now();
            if (!writeChipBytes(level.data(), level.size()))
                break;
            meter.wrote(level.size(), started, MonotonicWait::now());
        }
        if (meter.measured()) {
            takeMeasurement(meter.bytesPerSecond(), baud);
            result = GetMeasuredByteClock();
        }
        // The chip stays at the grid's rate, as after a clocked move; the
        // level bytes still queued are dropped.
        dropQueuedChipBytes();
    }
    endExclusivePortWork();
    return result;
}

FTDIController::MotionOutcome HxStepperMotor::clockedMotion(uint32_t counts) {
    const unsigned char packet = GetPacket();
    const unsigned char stepLow = SetMaskBits(packet, BoardPins::Stepper::STEP, BITS_OFF);
    const unsigned char stepHigh = SetMaskBits(packet, BoardPins::Stepper::STEP, BITS_ON);
    // Today's pulse: 1 ms low (the direction, set by Initialize, leads the
    // first rising edge by that much too), then the speed's milliseconds
    // high, at least one byte.
    const uint64_t highBytes =
        std::max<uint64_t>(1, uint64_t(GetRotationSpeed()) * GRID_BYTES_PER_MILLISECOND);
    StepByteStream stream(stepLow, stepHigh, GRID_BYTES_PER_MILLISECOND, highBytes, counts);

    MotionOutcome outcome;
    unsigned long baud = gridBaudRate();
    if (!useChipBaudRate(baud))
        return outcome;
    const bool measuring = !GetMeasuredByteClock().measured();
    ByteRateMeter meter;

    uint64_t pulsesWritten = 0;
    bool portLost = false;
    std::vector<unsigned char> chunk;
    chunk.reserve(CHUNK_BYTES);
    while (true) {
        const uint64_t rising = stream.next(chunk, CHUNK_BYTES);
        if (chunk.empty())
            break;
        // The worker sleeps here while the chip's buffer is full.
        const int64_t writeStarted = MonotonicWait::now();
        if (!writeChipBytes(chunk.data(), chunk.size())) {
            portLost = true;
            break;
        }
        pulsesWritten += rising;
        if (measuring && !meter.measured()) {
            meter.wrote(chunk.size(), writeStarted, MonotonicWait::now());
            if (meter.measured()) {
                const unsigned long corrected = takeMeasurement(meter.bytesPerSecond(), baud);
                if (corrected != baud && useChipBaudRate(corrected))
                    baud = corrected;
            }
        }
        if (stream.done() || !IsRotationRequested())
            break;
    }

    if (!portLost) {
        // A write of a buffer's worth of the resting level returns just as
        // the last byte of the move reaches the pins. The motor's release at
        // the end of the move purges these idle bytes; with the motor kept
        // locked nothing is written then, so they are dropped here. The chip
        // stays at the grid's rate for the next clocked move.
        const std::vector<unsigned char> idle(TRANSMIT_BUFFER_BYTES, stepLow);
        if (writeChipBytes(idle.data(), idle.size()) && GetLockMotorWhenIdle())
            dropQueuedChipBytes();
    }
    outcome.counts = pulsesWritten;
    return outcome;
}
