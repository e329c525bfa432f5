#ifndef STEP_BYTE_STREAM_H
#define STEP_BYTE_STREAM_H

#include <cstddef>
#include <cstdint>
#include <vector>

/// The bytes of a clocked stepper move on a grid of byte periods: per step,
/// the step line low for `lowBytes`, then high for `highBytes` (the same
/// shape a host-paced pulse has: 1 ms low, then the speed's milliseconds
/// high). A counted move ends with the step line low; a continuous one
/// (0 steps) goes on until the caller stops asking.
class StepByteStream {
public:
    /// `stepLow` and `stepHigh`: the port byte with the step line low and
    /// high; `lowBytes` and `highBytes` at least 1; `steps` 0 for a
    /// continuous move.
    StepByteStream(unsigned char stepLow, unsigned char stepHigh, uint64_t lowBytes,
                   uint64_t highBytes, uint64_t steps);

    /// Appends up to `limit` bytes of the move to `chunk` (cleared first).
    /// Returns the step pulses whose rising edge is among them.
    uint64_t next(std::vector<unsigned char>& chunk, size_t limit);

    /// Every byte of a counted move has been handed out.
    bool done() const;

private:
    const unsigned char m_low;
    const unsigned char m_high;
    const uint64_t m_lowBytes;
    const uint64_t m_highBytes;
    const uint64_t m_steps;
    uint64_t m_step = 0;        ///< the step under way, from 0
    uint64_t m_byteInStep = 0;  ///< its bytes handed out so far
    bool m_endWritten = false;  ///< the final low byte of a counted move
};

#endif  // STEP_BYTE_STREAM_H
