// The stepper board's move timed by the chip's crystal.
#include <algorithm>
#include <cmath>
#include <vector>

#include "BoardPins.h"
#include "ByteRateMeter.h"
#include "DiagnosticLog.h"
#include "HxStepperMotor.h"
#include "MonotonicWait.h"
#include "StepByteStream.h"

namespace {
/// Bytes a write hands the chip: 10 ms of the grid. With the chip's 256-byte
/// buffer full ahead of it, a stop waits for at most this chunk and the
/// buffer to play out.
constexpr size_t CHUNK_BYTES = 100;
/// The FT245R's transmit buffer.
constexpr size_t TRANSMIT_BUFFER_BYTES = 256;
/// What the device layer runs the chip at otherwise (one byte per write).
constexpr unsigned long PACED_BAUD_RATE = 1000000;
}  // namespace

double HxStepperMotor::measuredByteRate() const {
    return m_measuredByteRate.load();
}

double HxStepperMotor::bytesPerBaud() const {
    return m_bytesPerBaud.load();
}

unsigned long HxStepperMotor::gridBaudRate() const {
    return static_cast<unsigned long>(
        std::lround(GRID_BYTES_PER_MILLISECOND * 1000.0 / m_bytesPerBaud.load()));
}

unsigned long HxStepperMotor::takeMeasurement(double bytesPerSecond, unsigned long baud) {
    const double perBaud = ByteRateMeter::bytesPerBaud(bytesPerSecond, baud);
    m_bytesPerBaud.store(perBaud);
    m_measuredByteRate.store(bytesPerSecond);
    const unsigned long corrected = gridBaudRate();
    TT_LOG(Driver, Info,
           "chip byte clock: %.1f bytes/s measured at %lu baud, %.3f bytes a second per baud; "
           "clocked moves run at %lu baud for %u bytes/s",
           bytesPerSecond, baud, perBaud, corrected, GRID_BYTES_PER_MILLISECOND * 1000);
    return corrected;
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
    if (!setChipBaudRate(baud))
        return outcome;
    const bool measuring = m_measuredByteRate.load() == 0.0;
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
                if (corrected != baud && setChipBaudRate(corrected))
                    baud = corrected;
            }
        }
        if (stream.done() || !IsRotationRequested())
            break;
    }

    if (!portLost) {
        // A write of a buffer's worth of the resting level returns just as
        // the last byte of the move reaches the pins; the end of the move
        // then purges these idle bytes.
        const std::vector<unsigned char> idle(TRANSMIT_BUFFER_BYTES, stepLow);
        writeChipBytes(idle.data(), idle.size());
        setChipBaudRate(PACED_BAUD_RATE);
    }
    outcome.counts = pulsesWritten;
    return outcome;
}
